// The geometry tool's buffer: a 32-sided circle around each Point, and around
// each Polygon the polygon itself grown by the radius, built as the union of
// the polygon with one rectangle per edge and one 32-gon per vertex of every
// ring (so holes shrink by the radius and vanish when narrower than twice it).
//
// Geographic Points get their circle directly in degrees (the radius in
// metres over a sphere of 6371008.8 m, longitudes widened by 1 / cos latitude);
// geographic Polygons are buffered in UTM metres of the input's zone and
// turned back into degrees. The union runs pairwise over neighbouring pieces,
// so a ring of n vertices costs O(n log n) rather than n growing unions. Result
// rings are written in the point order Boost.Geometry returns them
// (counter-clockwise exteriors, clockwise holes, closed).
// Boost.Geometry's overlay code trips g++ 12's flow analysis with false
// "may be used uninitialized" reports from inside its own headers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <fmt/format.h>

#include <algorithm>
#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/algorithms/correct.hpp>
#include <boost/geometry/algorithms/difference.hpp>
#include <boost/geometry/algorithms/envelope.hpp>
#include <boost/geometry/algorithms/intersects.hpp>
#include <boost/geometry/algorithms/union.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "geodesy.h"
#include "text.h"
#include "tools/geom.h"

namespace pelloriand::tools::geom {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

constexpr std::string_view USAGE =
    "Usage: <geojson> <radius>  e.g. {\"type\":\"Point\",\"coordinates\":[0,0]} 100";
constexpr double EARTH_RADIUS = geodesy::MEAN_EARTH_RADIUS;
constexpr double RADIANS_TO_DEGREES = geodesy::DEGREES_PER_RADIAN;
constexpr double DEGREES_TO_RADIANS = geodesy::RADIANS_PER_DEGREE;
constexpr double LOWEST_COSINE = 1e-6;
constexpr int CIRCLE_SIDES = 32;

// The angle of circle point i, in the order of operations that fixes its bits.
double circle_angle(int i) {
  return static_cast<double>(i) * 6.283185307179586 * 0.03125;
}

bool ascii_equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char c = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

using text::is_digit;

// A decimal double: sign, digits with an optional point (digits on at least
// one side), optional exponent; or inf, infinity, nan in any case.
std::optional<double> parse_radius(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::string_view word = s.substr(i);
  const bool is_word = ascii_equal_ignoring_case(word, "inf") ||
                       ascii_equal_ignoring_case(word, "infinity") ||
                       ascii_equal_ignoring_case(word, "nan");
  if (!is_word) {
    std::size_t digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
      ++i;
      while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      std::size_t exponent_digits = 0;
      while (i < s.size() && is_digit(s[i])) ++i, ++exponent_digits;
      if (exponent_digits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
  }
  // The grammar is checked; strtod (C locale: the service never sets one)
  // rounds correctly and gives infinity or zero beyond the double range.
  const std::string copy(s);
  return std::strtod(copy.c_str(), nullptr);
}

PointList circle(Point centre, double rx, double ry) {
  PointList points;
  points.reserve(CIRCLE_SIDES + 1);
  for (int i = 0; i <= CIRCLE_SIDES; ++i) {
    const double theta = circle_angle(i);
    points.push_back({centre.x + std::cos(theta) * rx, centre.y + std::sin(theta) * ry});
  }
  return points;
}

BgPolygon piece(std::initializer_list<Point> points) {
  BgPolygon polygon;
  for (const Point& p : points) polygon.outer().emplace_back(p.x, p.y);
  bg::correct(polygon);
  return polygon;
}

BgPolygon piece(const PointList& points) {
  BgPolygon polygon;
  polygon.outer().reserve(points.size());
  for (const Point& p : points) polygon.outer().emplace_back(p.x, p.y);
  bg::correct(polygon);
  return polygon;
}

// The rectangles of width 2r along the edges of a closed ring and the 32-gons
// at its vertices, each rectangle followed by the circle at its start so that
// neighbours in the list are neighbours on the ring. Pieces that round to no
// area add nothing to the union and are left out.
void ring_pieces(const PointList& ring, double r, std::vector<BgMultiPolygon>& out) {
  const std::size_t n = ring.size();
  if (n <= 2) return;
  const auto add = [&out](BgPolygon polygon) {
    if (bg::area(polygon) > 0) out.push_back(BgMultiPolygon{std::move(polygon)});
  };
  for (std::size_t k = 0; k + 1 < n; ++k) {
    const Point a = ring[k];
    const Point b = k + 2 == n ? ring[0] : ring[k + 1];
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    if (l2 > 0) {
      const double l = std::sqrt(l2);
      const Point o{dy / l * r, -dx / l * r};
      add(piece({{a.x + o.x, a.y + o.y},
                 {b.x + o.x, b.y + o.y},
                 {b.x - o.x, b.y - o.y},
                 {a.x - o.x, a.y - o.y},
                 {a.x + o.x, a.y + o.y}}));
    }
    add(piece(circle(a, r, r)));
  }
}

// A sort key that keeps near shapes near: the centre of the shape's box,
// quantised to 16 bits per axis over `extent`, with the bits of x and y
// interleaved (a Z-order curve).
std::uint32_t z_order(const BgBox& box, const BgBox& extent) {
  const auto cell = [](double v, double low, double high) {
    const double t = high > low ? (v - low) / (high - low) : 0;
    return static_cast<std::uint32_t>(std::clamp(t, 0.0, 1.0) * 65535.0);
  };
  const auto spread = [](std::uint32_t v) {
    v = (v | (v << 8)) & 0x00ff00ffu;
    v = (v | (v << 4)) & 0x0f0f0f0fu;
    v = (v | (v << 2)) & 0x33333333u;
    return (v | (v << 1)) & 0x55555555u;
  };
  const double x = (box.min_corner().x() + box.max_corner().x()) / 2;
  const double y = (box.min_corner().y() + box.max_corner().y()) / 2;
  return spread(cell(x, extent.min_corner().x(), extent.max_corner().x())) |
         (spread(cell(y, extent.min_corner().y(), extent.max_corner().y())) << 1);
}

// The union of two sets of polygons. The library tests every ring that meets
// no ring of the other side against the whole other side, so uniting two
// sets of many scattered polygons is quadratic; polygons whose box misses the
// other side's box are therefore kept out of the library's union and copied.
BgMultiPolygon unite(BgMultiPolygon a, BgMultiPolygon b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const BgBox box_a = bg::return_envelope<BgBox>(a);
  const BgBox box_b = bg::return_envelope<BgBox>(b);
  BgMultiPolygon result, near_a, near_b;
  const auto split = [&result](BgMultiPolygon& from, const BgBox& other, BgMultiPolygon& near) {
    for (BgPolygon& polygon : from) {
      if (bg::intersects(bg::return_envelope<BgBox>(polygon.outer()), other))
        near.push_back(std::move(polygon));
      else
        result.push_back(std::move(polygon));
    }
  };
  split(a, box_b, near_a);
  split(b, box_a, near_b);
  if (near_a.empty() || near_b.empty()) {
    for (BgPolygon& polygon : near_a) result.push_back(std::move(polygon));
    for (BgPolygon& polygon : near_b) result.push_back(std::move(polygon));
    return result;
  }
  BgMultiPolygon united;
  bg::union_(near_a, near_b, united);
  for (BgPolygon& polygon : united) result.push_back(std::move(polygon));
  return result;
}

// Pairwise, neighbours in the list first: at pass p the part at i takes in
// the one at i + 2^p, for i a multiple of 2^(p+1); n log n for a chain of n
// parts.
BgMultiPolygon pairwise_union(std::vector<BgMultiPolygon> parts) {
  if (parts.empty()) return {};
  const std::size_t n = parts.size();
  for (std::size_t step = 1; step < n; step *= 2)
    for (std::size_t i = 0; i + step < n; i += 2 * step)
      parts[i] = unite(std::move(parts[i]), std::move(parts[i + step]));
  return std::move(parts.front());
}

BgMultiPolygon piece_from_hole(const BgRing& hole) {
  BgPolygon polygon;
  polygon.outer().assign(hole.rbegin(), hole.rend());
  return BgMultiPolygon{std::move(polygon)};
}

}  // namespace

BgMultiPolygon cascaded_union(std::vector<BgMultiPolygon> parts) {
  if (parts.empty()) return {};
  // Sorted along a Z-order curve, neighbours in the list are neighbours in the
  // plane, so each pairwise union below meets mostly its own surroundings.
  std::vector<std::pair<std::uint32_t, std::size_t>> order;
  order.reserve(parts.size());
  std::vector<BgBox> boxes;
  boxes.reserve(parts.size());
  BgBox extent;
  bg::assign_inverse(extent);
  for (const BgMultiPolygon& part : parts) {
    boxes.push_back(bg::return_envelope<BgBox>(part));
    bg::expand(extent, boxes.back());
  }
  for (std::size_t i = 0; i < parts.size(); ++i) order.emplace_back(z_order(boxes[i], extent), i);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<BgMultiPolygon> sorted;
  sorted.reserve(parts.size());
  for (const auto& entry : order) sorted.push_back(std::move(parts[entry.second]));
  return pairwise_union(std::move(sorted));
}

namespace {

// The band of one ring: the union of its rectangles and circles.
BgMultiPolygon ring_band(const BgRing& ring, double r) {
  std::vector<BgMultiPolygon> pieces;
  ring_pieces(ring_points(ring), r, pieces);
  // Already in ring order, which keeps each partial union one short stretch.
  return pairwise_union(std::move(pieces));
}

// Whether every point of a hole lies within the inradius of the 32-gons
// (cos(pi/32) of r) of its rim, where a rectangle or a vertex circle covers
// it: a point of the hole lies within half the box's narrower side of the rim
// (along x or along y), so a hole that narrow keeps no core.
bool hole_is_narrow(const BgBox& box, double r) {
  const double narrow = std::min(box.max_corner().x() - box.min_corner().x(),
                                 box.max_corner().y() - box.min_corner().y());
  return narrow <= 2 * r * 0.995;
}

// What the band of a hole leaves uncovered inside it.
BgMultiPolygon hole_core(const BgRing& hole, const BgMultiPolygon& band) {
  BgMultiPolygon core;
  bg::difference(piece_from_hole(hole), band, core);
  return core;
}

// The exterior ring's edges by their boxes, to find holes whose band stays
// inside the filled exterior.
class RimIndex {
 public:
  explicit RimIndex(const BgRing& ring) {
    std::vector<BgBox> edges;
    edges.reserve(ring.size());
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      BgBox box(ring[i], ring[i]);
      bg::expand(box, ring[i + 1]);
      edges.push_back(box);
    }
    tree_ = Tree(edges);
  }
  // Whether no edge's box meets `box`.
  [[nodiscard]] bool clear_of(const BgBox& box) const {
    return tree_.qbegin(bgi::intersects(box)) == tree_.qend();
  }

 private:
  using Tree = bgi::rtree<BgBox, bgi::rstar<16>>;
  Tree tree_;
};

// The extent of a polygon: the larger side of its box, and the largest
// coordinate magnitude.
struct Extent {
  double size = 0;
  double magnitude = 0;
};
Extent polygon_extent(const BgPolygon& polygon) {
  const BgBox box = bg::return_envelope<BgBox>(polygon);
  return {std::max(box.max_corner().x() - box.min_corner().x(),
                   box.max_corner().y() - box.min_corner().y()),
          std::max({std::abs(box.min_corner().x()), std::abs(box.max_corner().x()),
                    std::abs(box.min_corner().y()), std::abs(box.max_corner().y())})};
}

// The band's corners are coordinates plus or minus r, rounded to steps of
// about (magnitude + r) x 2^-52. Once a step exceeds 2^-10 of the polygon's
// size, the rounding erases its shape: neighbouring pieces collapse onto
// nearly coincident copies, which the library merges very slowly or wrongly
// (an empty result at 1e20 around a polygon 1,000 wide). So the band must
// resolve the polygon to at least 1/1024 of its size: magnitude + r at most
// size x 2^42. A polygon of one repeated point has no shape to lose.
bool band_resolves(const BgPolygon& polygon, double r) {
  const Extent extent = polygon_extent(polygon);
  return extent.size == 0 || extent.magnitude + r <= std::ldexp(extent.size, 42);
}

// The polygon united with the bands of all its rings, assembled without
// overlaying many rings on many: every band is united in one spatial cascade
// together with the filled exterior, and each hole then keeps only its core,
// the part its band leaves uncovered. Cores lie inside the filled exterior,
// away from every edge of the union, so they become its holes as they are.
// A core is measured against its own hole's band only: where two holes come
// within a hair (under 0.5 % of r) of each other, the other's band may cover
// a sliver of it that stays carved out.
BgMultiPolygon buffer_polygon(const std::vector<PointList>& rings, double r) {
  BgPolygon polygon = make_polygon(rings);
  const PolygonState state = prepare_polygon(polygon);
  if (state == PolygonState::too_large || !(r <= LIBRARY_COORDINATE_LIMIT) ||
      !band_resolves(polygon, r))
    throw GeomError{"Radius or coordinates too large to buffer a Polygon"};
  if (state == PolygonState::invalid)
    throw GeomError{"Cannot buffer a Polygon whose rings cross or overlap"};

  std::vector<BgMultiPolygon> bands;
  bands.reserve(polygon.inners().size() + 2);
  bands.push_back(ring_band(polygon.outer(), r));
  BgMultiPolygon cores;
  const RimIndex rim(polygon.outer());
  for (const auto& hole : polygon.inners()) {
    BgBox reach = bg::return_envelope<BgBox>(hole);
    const bool narrow = hole_is_narrow(reach, r);
    // A narrow hole is filled by its band; when the band's box also stays
    // clear of the exterior ring, the band lies inside the filled exterior
    // and adds nothing to it.
    reach.min_corner().x(reach.min_corner().x() - r);
    reach.min_corner().y(reach.min_corner().y() - r);
    reach.max_corner().x(reach.max_corner().x() + r);
    reach.max_corner().y(reach.max_corner().y() + r);
    if (narrow && state == PolygonState::usable && rim.clear_of(reach)) continue;
    bands.push_back(ring_band(hole, r));
    if (!narrow && state == PolygonState::usable)
      for (BgPolygon& core : hole_core(hole, bands.back())) cores.push_back(std::move(core));
  }
  if (state == PolygonState::degenerate) return cascaded_union(std::move(bands));
  BgPolygon filled;
  filled.outer() = std::move(polygon.outer());
  bands.push_back(BgMultiPolygon{std::move(filled)});
  BgMultiPolygon grown = cascaded_union(std::move(bands));
  if (cores.empty()) return grown;
  const bool cores_simple = std::all_of(cores.begin(), cores.end(),
                                        [](const BgPolygon& c) { return c.inners().empty(); });
  if (grown.size() != 1 || !cores_simple) {
    // Not the expected shape (rounding); let the library sort it out.
    BgMultiPolygon result;
    bg::difference(grown, cores, result);
    return result;
  }
  for (BgPolygon& core : cores)
    grown.front().inners().emplace_back(core.outer().rbegin(), core.outer().rend());
  return grown;
}

void append_polygon(std::string& out, const BgPolygon& polygon,
                    const std::optional<UtmZone>& zone) {
  const auto ring = [&](const auto& library_ring) {
    PointList points = ring_points(library_ring);
    if (zone)
      for (Point& p : points) p = utm_unproject(*zone, p);
    append_ring(out, points);
  };
  out += '[';
  ring(polygon.outer());
  for (const auto& hole : polygon.inners()) {
    out += ',';
    ring(hole);
  }
  out += ']';
}

void append_polygons(std::string& out, const BgMultiPolygon& polygons,
                     const std::optional<UtmZone>& zone) {
  if (polygons.size() == 1) {
    out += "{\"type\":\"Polygon\",\"coordinates\":";
    append_polygon(out, polygons.front(), zone);
    out += '}';
    return;
  }
  out += "{\"type\":\"MultiPolygon\",\"coordinates\":[";
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    if (i > 0) out += ',';
    append_polygon(out, polygons[i], zone);
  }
  out += "]}";
}

}  // namespace

BufferInput split_buffer_input(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end;
    if (text::is_white_space(text::previous_code_point(text, start))) {
      const std::string_view geojson = text.substr(0, start);
      if (geojson.empty() || (geojson.back() != '}' && geojson.back() != ']'))
        throw GeomError{std::string(USAGE)};
      const std::optional<double> radius = parse_radius(text.substr(end));
      if (!radius) throw GeomError{std::string(USAGE)};
      if (!(*radius > 0)) throw GeomError{"Radius must be positive"};
      return {geojson, *radius};
    }
    end = start;
  }
  throw GeomError{std::string(USAGE)};
}

std::string buffer_geometry(const FeatureList& features, const std::optional<UtmZone>& zone,
                            double radius) {
  std::vector<std::string> results;
  results.reserve(features.size());
  for (const Feature& feature : features) {
    const JsonValue& geometry = feature_geometry(feature);
    const std::string_view type = geometry_type(geometry);
    std::string result;
    if (type == "Point") {
      const Point centre = read_position(geometry.as_object().at("coordinates"), type);
      double rx = radius, ry = radius;
      if (zone) {
        ry = radius / EARTH_RADIUS * RADIANS_TO_DEGREES;
        rx = ry / std::max(std::cos(centre.y * DEGREES_TO_RADIANS), LOWEST_COSINE);
      }
      result = "{\"type\":\"Polygon\",\"coordinates\":[";
      append_ring(result, circle(centre, rx, ry));
      result += "]}";
    } else {
      if (type != "Polygon")
        throw GeomError{fmt::format("buffer/intersect currently support Polygons (got {})", type)};
      std::vector<PointList> rings = read_polygon(geometry.as_object().at("coordinates"), type);
      if (zone)
        for (PointList& ring : rings)
          for (Point& p : ring) p = utm_project(*zone, p);
      BgMultiPolygon buffered;
      try {
        buffered = buffer_polygon(rings, radius);
      } catch (const GeomError&) {
        throw;
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        throw GeomError{"Buffer failed — the polygon library could not merge the pieces"};
      }
      append_polygons(result, buffered, zone);
    }
    results.push_back(std::move(result));
  }

  std::string out = "buffer:    ";
  if (results.size() == 1) {
    out += results.front();
    return out;
  }
  out += "{\"type\":\"GeometryCollection\",\"geometries\":[";
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (i > 0) out += ',';
    out += results[i];
  }
  out += "]}";
  return out;
}

}  // namespace pelloriand::tools::geom
