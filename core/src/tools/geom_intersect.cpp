// The geometry tool's intersection of two Polygons: read as two GeoJSON texts
// separated by a blank line, or as one text of exactly two features;
// intersected by Boost.Geometry in the input's own coordinates; every result
// ring written counter-clockwise (exteriors) or clockwise (holes) from its
// lowest-x, lowest-y point, so the text does not depend on how the inputs were
// wound or where their rings started. The area is measured as the area
// operation measures it (UTM metres for geographic input).
// Boost.Geometry's overlay code trips g++ 12's flow analysis with false
// "may be used uninitialized" reports from inside its own headers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <fmt/format.h>

#include <algorithm>
#include <boost/geometry/algorithms/difference.hpp>
#include <boost/geometry/algorithms/intersection.hpp>
#include <exception>

#include "tools/geom.h"

namespace pelloriand::tools::geom {
namespace {

namespace bg = boost::geometry;

constexpr std::string_view BOTH_PARSE_ERROR = "Could not parse both geometries as GeoJSON";
constexpr std::string_view NOT_POLYGONS = "Intersection failed — needs two overlapping Polygons";

// Splits at every "\n\n", left to right, without overlap.
std::vector<std::string_view> split_blank_lines(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find("\n\n", start);
    if (at == std::string_view::npos) break;
    pieces.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

// A Polygon's rings for the library; MultiPolygons (and anything else) are
// refused with the intersection's own sentence.
BgPolygon library_polygon(const JsonValue& geometry, std::string_view label) {
  const std::string_view type = geometry_type(geometry);
  if (type != "Polygon") throw GeomError{std::string(NOT_POLYGONS)};
  BgPolygon polygon = make_polygon(read_polygon(geometry.as_object().at("coordinates"), type));
  switch (prepare_polygon(polygon)) {
    case PolygonState::too_large:
      throw GeomError{fmt::format("The {} Polygon has coordinates too large to intersect", label)};
    case PolygonState::invalid:
      throw GeomError{
          fmt::format("The {} Polygon is not valid (its rings cross or overlap)", label)};
    case PolygonState::degenerate:
      // No area, so nothing to overlap.
      polygon.clear();
      break;
    case PolygonState::usable:
      break;
  }
  return polygon;
}

// The intersection of two polygons, taken as the overlap of their filled
// exteriors less all holes of either. Handing the library two polygons with
// many holes each would test every hole against every ring of the other
// side; this way the holes are united among their neighbours only, and the
// final difference sets a few rings against many.
BgMultiPolygon intersect_polygons(const BgPolygon& a, const BgPolygon& b) {
  const auto filled = [](const BgPolygon& polygon) {
    BgPolygon exterior;
    exterior.outer() = polygon.outer();
    return exterior;
  };
  BgMultiPolygon overlap;
  bg::intersection(filled(a), filled(b), overlap);
  std::vector<BgMultiPolygon> holes;
  holes.reserve(a.inners().size() + b.inners().size());
  for (const BgPolygon* polygon : {&a, &b})
    for (const auto& hole : polygon->inners()) {
      BgPolygon piece;
      piece.outer().assign(hole.rbegin(), hole.rend());
      holes.push_back(BgMultiPolygon{std::move(piece)});
    }
  if (overlap.empty() || holes.empty()) return overlap;
  BgMultiPolygon result;
  bg::difference(overlap, cascaded_union(std::move(holes)), result);
  return result;
}

void append_oriented(std::string& out, const BgPolygon& polygon, double& area,
                     const std::optional<UtmZone>& zone) {
  std::vector<PointList> rings;
  rings.reserve(polygon.inners().size() + 1);
  rings.emplace_back();
  orient_ring(ring_points(polygon.outer()), true, rings.back());
  for (const auto& hole : polygon.inners()) {
    rings.emplace_back();
    orient_ring(ring_points(hole), false, rings.back());
  }
  out += '[';
  for (std::size_t i = 0; i < rings.size(); ++i) {
    if (i > 0) out += ',';
    append_ring(out, rings[i]);
  }
  out += ']';

  if (zone) {
    // Measured on the library's own rings, projected point by point.
    std::vector<PointList> projected;
    projected.push_back(ring_points(polygon.outer()));
    for (const auto& hole : polygon.inners()) projected.push_back(ring_points(hole));
    for (PointList& ring : projected)
      for (Point& p : ring) p = utm_project(*zone, p);
    area += polygon_area(projected);
  } else {
    area += polygon_area(rings);
  }
}

}  // namespace

void orient_ring(const PointList& ring, bool exterior, PointList& out) {
  std::size_t n = ring.size();
  if (n >= 2 && ring.front().x == ring.back().x && ring.front().y == ring.back().y) --n;
  out.assign(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(n));
  if (n == 0) return;
  double s = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Point p = out[i];
    const Point q = out[i + 1 == n ? 0 : i + 1];
    s += p.x * q.y - p.y * q.x;
  }
  if ((s > 0) != exterior) std::reverse(out.begin(), out.end());
  std::size_t start = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (out[i].x < out[start].x || (out[i].x == out[start].x && out[i].y < out[start].y)) start = i;
  std::rotate(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
  out.push_back(out.front());
}

std::string intersect_text(std::string_view text) {
  const std::vector<std::string_view> pieces = split_blank_lines(text);
  boost::json::monotonic_resource resource;
  std::optional<JsonValue> documents[2];
  Feature first, second;
  if (pieces.size() == 2) {
    std::optional<FeatureList> lists[2];
    for (int i = 0; i < 2; ++i) {
      documents[i] = json::read_json(pieces[static_cast<std::size_t>(i)], &resource);
      if (documents[i]) lists[i] = normalize_features(*documents[i]);
      if (!lists[i] || lists[i]->empty()) throw GeomError{std::string(BOTH_PARSE_ERROR)};
    }
    first = lists[0]->front();
    second = lists[1]->front();
  } else {
    documents[0] = json::read_json(text, &resource);
    std::optional<FeatureList> list;
    if (documents[0]) list = normalize_features(*documents[0]);
    if (!list) throw GeomError{"Could not parse input as GeoJSON"};
    if (list->size() != 2)
      throw GeomError{"Intersect needs two geometries — separate them with a blank line"};
    first = (*list)[0];
    second = (*list)[1];
  }

  const FeatureList pair{first, second};
  const char* const labels[2] = {"first", "second"};
  for (int i = 0; i < 2; ++i) {
    const std::string_view type =
        geometry_type(feature_geometry(pair[static_cast<std::size_t>(i)]));
    if (type != "Polygon" && type != "MultiPolygon")
      throw GeomError{fmt::format("The {} geometry must be a Polygon or MultiPolygon", labels[i])};
  }
  if (std::optional<std::string> error = validate_features(pair))
    throw GeomError{std::move(*error)};

  const BgPolygon a = library_polygon(feature_geometry(first), labels[0]);
  const BgPolygon b = library_polygon(feature_geometry(second), labels[1]);
  BgMultiPolygon result;
  if (!a.outer().empty() && !b.outer().empty()) {
    try {
      result = intersect_polygons(a, b);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      throw GeomError{
          "Intersection failed — the polygon library could not intersect these Polygons"};
    }
  }
  if (result.empty()) return "intersection: (empty — no overlap)";

  const std::optional<UtmZone> zone = choose_projection(pair);
  std::string out = "intersection: ";
  double area = 0;
  if (result.size() == 1) {
    out += "{\"type\":\"Polygon\",\"coordinates\":";
    append_oriented(out, result.front(), area, zone);
    out += '}';
  } else {
    out += "{\"type\":\"MultiPolygon\",\"coordinates\":[";
    for (std::size_t i = 0; i < result.size(); ++i) {
      if (i > 0) out += ',';
      append_oriented(out, result[i], area, zone);
    }
    out += "]}";
  }
  out += '\n';
  out += format_area(area, projection_note(zone));
  return out;
}

}  // namespace pelloriand::tools::geom
