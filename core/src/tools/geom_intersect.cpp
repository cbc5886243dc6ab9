// The geometry tool's intersection of two Polygons: read as two GeoJSON texts
// separated by a blank line, or as one text of exactly two features;
// each made valid and intersected by GEOS in the input's own coordinates; every result
// ring written counter-clockwise (exteriors) or clockwise (holes) from its
// lowest-x, lowest-y point, so the text does not depend on how the inputs were
// wound or where their rings started. The area is measured as the area
// operation measures it (UTM metres for geographic input).
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/geom.h"
#include "tools/geom_geos.h"

namespace pelloriand::tools::geom {
namespace {

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

// A Polygon's rings; MultiPolygons (and anything else) are refused with the
// intersection's own sentence.
std::vector<PointList> polygon_rings(const JsonValue& geometry) {
  const std::string_view type = geometry_type(geometry);
  if (type != "Polygon") throw GeomError{std::string(NOT_POLYGONS)};
  return read_polygon(geometry.as_object().at("coordinates"), type);
}

// The intersection of two polygons, each first made valid by GEOS's
// make-valid: the rings are noded where they cross or touch and the faces
// they enclose an odd number of times are kept, so a folded ring keeps both
// its lobes, a spike or a collinear ring adds no area, and a hole that
// escapes its exterior becomes area of its own.
std::vector<std::vector<PointList>> intersect_polygons(const std::vector<PointList>& a,
                                                       const std::vector<PointList>& b) {
  for (const auto* rings : {&a, &b})
    for (const PointList& ring : *rings)
      for (const Point& p : ring)
        if (!(std::abs(p.x) <= LIBRARY_COORDINATE_LIMIT &&
              std::abs(p.y) <= LIBRARY_COORDINATE_LIMIT))
          throw GeomError{"The Polygons have coordinates too large to intersect"};
  Geos geos;
  geos.failure = "Intersection failed — the polygon library could not intersect these Polygons";
  const Geos::Owned first = geos.own(GEOSMakeValid_r(geos.handle(), geos.polygon(a).get()));
  const Geos::Owned second = geos.own(GEOSMakeValid_r(geos.handle(), geos.polygon(b).get()));
  const Geos::Owned overlap =
      geos.own(GEOSIntersection_r(geos.handle(), first.get(), second.get()));
  std::vector<std::vector<PointList>> result;
  geos.polygons_of(overlap.get(), result);
  return result;
}

void append_oriented(std::string& out, const std::vector<PointList>& polygon, double& area,
                     const std::optional<UtmZone>& zone) {
  std::vector<PointList> rings(polygon.size());
  for (std::size_t k = 0; k < polygon.size(); ++k) orient_ring(polygon[k], k == 0, rings[k]);
  out += '[';
  for (std::size_t i = 0; i < rings.size(); ++i) {
    if (i > 0) out += ',';
    append_ring(out, rings[i]);
  }
  out += ']';

  if (zone) {
    // Measured on the library's own rings, projected point by point.
    std::vector<PointList> projected = polygon;
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

  const std::vector<PointList> a = polygon_rings(feature_geometry(first));
  const std::vector<PointList> b = polygon_rings(feature_geometry(second));
  const std::vector<std::vector<PointList>> result = intersect_polygons(a, b);
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
