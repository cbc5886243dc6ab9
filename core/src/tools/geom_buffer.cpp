// The geometry tool's buffer: a 32-sided circle around each Point, and around
// each Polygon the polygon itself grown by the radius: the union of the
// polygon with one rectangle per edge and one 32-gon per vertex of every ring
// (so holes shrink by the radius and vanish when narrower than twice it).
//
// Geographic Points get their circle directly in degrees (the radius in
// metres over a sphere of 6371008.8 m, longitudes widened by 1 / cos latitude);
// geographic Polygons are buffered in UTM metres of the input's zone and
// turned back into degrees. Result rings are written counter-clockwise
// (exteriors) or clockwise (holes), closed, from where GEOS starts them.
#include <fmt/format.h>

#include <algorithm>
#include <boost/geometry/algorithms/intersects.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "geodesy.h"
#include "text.h"
#include "tools/geom.h"
#include "tools/geom_geos.h"

namespace pelloriand::tools::geom {
namespace {

namespace bgi = boost::geometry::index;
using BgPoint = boost::geometry::model::d2::point_xy<double>;
using BgBox = boost::geometry::model::box<BgPoint>;

constexpr std::string_view USAGE =
    "Usage: <geojson> <radius>  e.g. {\"type\":\"Point\",\"coordinates\":[0,0]} 100";
constexpr double EARTH_RADIUS = geodesy::MEAN_EARTH_RADIUS;
constexpr double RADIANS_TO_DEGREES = geodesy::DEGREES_PER_RADIAN;
constexpr double DEGREES_TO_RADIANS = geodesy::RADIANS_PER_DEGREE;
constexpr double LOWEST_COSINE = 1e-6;
constexpr int CIRCLE_SIDES = 32;
constexpr std::string_view MERGE_FAILED =
    "Buffer failed — the polygon library could not merge the pieces";

// The angle of circle point i, in the order of operations that fixes its bits.
double circle_angle(int i) {
  return static_cast<double>(i) * 6.283185307179586 * 0.03125;
}

using text::is_digit;

// A decimal double: sign, digits with an optional point (digits on at least
// one side), optional exponent; or inf, infinity, nan in any case.
std::optional<double> parse_radius(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::string_view word = s.substr(i);
  const bool is_word = text::ascii_iequals(word, "inf") || text::ascii_iequals(word, "infinity") ||
                       text::ascii_iequals(word, "nan");
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

struct Box {
  double min_x = std::numeric_limits<double>::infinity();
  double min_y = min_x;
  double max_x = -min_x;
  double max_y = -min_x;
  void expand(Point p) {
    min_x = std::min(min_x, p.x);
    min_y = std::min(min_y, p.y);
    max_x = std::max(max_x, p.x);
    max_y = std::max(max_y, p.y);
  }
  // The box widened by `margin` on every side, for the R-trees.
  [[nodiscard]] BgBox bg(double margin = 0) const {
    return BgBox({min_x - margin, min_y - margin}, {max_x + margin, max_y + margin});
  }
};

// The pieces of one closed ring, in ring order: the circle at each vertex,
// then the rectangle of width 2r along the edge leaving it. An edge of no
// length has no rectangle; a vertex that repeats the one before it adds the
// same circle again, so it is left out.
void ring_pieces(const PointList& ring, double r, std::vector<PointList>& out) {
  const std::size_t n = ring.size();
  if (n <= 2) return;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    const Point a = ring[k];
    const Point b = k + 2 == n ? ring[0] : ring[k + 1];
    const Point before = ring[k == 0 ? n - 2 : k - 1];
    if (k == 0 || before.x != a.x || before.y != a.y) out.push_back(circle(a, r, r));
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    if (!(l2 > 0)) continue;
    const double l = std::sqrt(l2);
    const Point o{dy / l * r, -dx / l * r};
    out.push_back({{a.x + o.x, a.y + o.y},
                   {b.x + o.x, b.y + o.y},
                   {b.x - o.x, b.y - o.y},
                   {a.x - o.x, a.y - o.y},
                   {a.x + o.x, a.y + o.y}});
  }
}

// Even-odd point location among the edges of a closed ring, with the edges
// sorted into horizontal strips so that a query reads only the edges of its
// strip.
class RingLocator {
 public:
  explicit RingLocator(const PointList& ring) {
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      edges_.push_back({ring[i], ring[i + 1]});
      low_ = std::min({low_, ring[i].y, ring[i + 1].y});
      high_ = std::max({high_, ring[i].y, ring[i + 1].y});
    }
    if (edges_.empty() || !(high_ > low_)) return;
    // As many strips as keep each edge in a few of them on average.
    std::size_t strips = std::max<std::size_t>(1, edges_.size() / 4);
    for (;;) {
      count_ = strips;
      height_ = (high_ - low_) / static_cast<double>(strips);
      std::size_t total = 0;
      for (const auto& e : edges_) total += span(e).second - span(e).first + 1;
      if (total <= 16 * edges_.size() || strips == 1) break;
      strips /= 2;
    }
    strips_.assign(strips, {});
    for (std::uint32_t i = 0; i < edges_.size(); ++i) {
      const auto [from, to] = span(edges_[i]);
      for (std::size_t s = from; s <= to; ++s) strips_[s].push_back(i);
    }
  }

  // Whether `p` lies inside an odd number of rings.
  [[nodiscard]] bool inside(Point p) const {
    if (strips_.empty() || !(p.y >= low_ && p.y <= high_)) return false;
    const std::size_t s = strip(p.y);
    bool odd = false;
    for (const std::uint32_t i : strips_[s]) {
      const auto& [a, b] = edges_[i];
      if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x))
        odd = !odd;
    }
    return odd;
  }

 private:
  [[nodiscard]] std::size_t strip(double y) const {
    const double t = (y - low_) / height_;
    return std::min(static_cast<std::size_t>(std::max(t, 0.0)), count_ - 1);
  }
  [[nodiscard]] std::pair<std::size_t, std::size_t> span(const std::pair<Point, Point>& e) const {
    return {strip(std::min(e.first.y, e.second.y)), strip(std::max(e.first.y, e.second.y))};
  }

  std::vector<std::pair<Point, Point>> edges_;
  std::vector<std::vector<std::uint32_t>> strips_;
  double low_ = std::numeric_limits<double>::infinity();
  double high_ = -std::numeric_limits<double>::infinity();
  double height_ = 1;
  std::size_t count_ = 1;  // strips
};

// Leaves out the holes that change nothing: a hole whose own band fills it
// (every point of a hole lies within half its box's narrower side of its rim,
// and the pieces cover everything within r cos(pi/32) of a ring), whose band
// meets no other ring, inside a simple exterior and in no other hole's box.
// Its band then lies inside the polygon's area with the hole filled, so
// filling it gives the same union; the many small holes of a land-use map
// cost nothing this way.
void drop_filled_holes(std::vector<PointList>& rings, double r, const Geos& geos) {
  if (rings.size() < 2) return;
  if (GEOSisSimple_r(geos.handle(), geos.linear_ring(rings[0]).get()) != 1) return;
  std::vector<std::pair<BgBox, std::size_t>> edges, holes;
  std::vector<Box> boxes(rings.size());
  for (std::size_t k = 0; k < rings.size(); ++k) {
    const PointList& ring = rings[k];
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
      Box edge;
      edge.expand(ring[i]);
      edge.expand(ring[i + 1]);
      edges.emplace_back(edge.bg(), k);
      boxes[k].expand(ring[i]);
    }
    if (k > 0 && !ring.empty()) holes.emplace_back(boxes[k].bg(), k);
  }
  using Tree = bgi::rtree<std::pair<BgBox, std::size_t>, bgi::rstar<16>>;
  const Tree edge_tree(edges);
  const Tree hole_tree(holes);
  const RingLocator exterior(rings[0]);
  std::vector<PointList> kept;
  kept.push_back(std::move(rings[0]));
  for (std::size_t k = 1; k < rings.size(); ++k) {
    const Box& b = boxes[k];
    const bool narrow = std::min(b.max_x - b.min_x, b.max_y - b.min_y) <= 2 * r * 0.995;
    const BgBox reach = b.bg(r);
    const auto other = [k](const std::pair<BgBox, std::size_t>& e) { return e.second != k; };
    const auto alone = [&](const Tree& tree, const BgBox& box) {
      return tree.qbegin(bgi::intersects(box) && bgi::satisfies(other)) == tree.qend();
    };
    if (narrow && !rings[k].empty() && alone(edge_tree, reach) &&
        alone(hole_tree, BgBox({rings[k][0].x, rings[k][0].y}, {rings[k][0].x, rings[k][0].y})) &&
        exterior.inside(rings[k][0]))
      continue;
    kept.push_back(std::move(rings[k]));
  }
  rings = std::move(kept);
}

// The largest coordinate magnitude and the larger side of the rings' box.
struct Extent {
  double size = 0;
  double magnitude = 0;
};
Extent rings_extent(const std::vector<PointList>& rings) {
  Box box;
  for (const PointList& ring : rings)
    for (const Point& p : ring) box.expand(p);
  if (!(box.max_x >= box.min_x)) return {};
  return {std::max(box.max_x - box.min_x, box.max_y - box.min_y),
          std::max({std::abs(box.min_x), std::abs(box.max_x), std::abs(box.min_y),
                    std::abs(box.max_y)})};
}

// The band's corners are coordinates plus or minus r, rounded to steps of
// about (magnitude + r) x 2^-52. Once a step exceeds 2^-10 of the polygon's
// size, the rounding erases its shape, so the band must resolve the polygon
// to at least 1/1024 of its size: magnitude + r at most size x 2^42. A
// polygon of one repeated point has no shape to lose.
bool band_resolves(const Extent& extent, double r) {
  return extent.size == 0 || extent.magnitude + r <= std::ldexp(extent.size, 42);
}

// The polygon grown by r: its area (as make-valid reads it, so a folded or
// self-touching ring keeps its lobes and a spike adds nothing) united with one
// rectangle per edge and one 32-gon per vertex of every ring, holes included.
//
// GEOS unites them in one unary union: pieces grouped by an STR tree are
// united pairwise up the tree, so a piece deep inside others is gone early,
// and the overlay falls back on snapping where floating point cannot decide.
// Building the union from the uncovered sides of the pieces instead (noding
// them and keeping the faces some piece covers) gives the same region, but
// measured slower on long rings and many times slower where the radius dwarfs
// the edges, since then every side meets thousands of pieces.
std::vector<std::vector<PointList>> buffer_polygon(std::vector<PointList> rings, double r) {
  for (PointList& ring : rings)
    if (!ring.empty() && (ring.front().x != ring.back().x || ring.front().y != ring.back().y))
      ring.push_back(ring.front());
  const Extent extent = rings_extent(rings);
  if (!(extent.magnitude <= LIBRARY_COORDINATE_LIMIT) || !(r <= LIBRARY_COORDINATE_LIMIT) ||
      !band_resolves(extent, r))
    throw GeomError{"Radius or coordinates too large to buffer a Polygon"};

  Geos geos;
  geos.failure = MERGE_FAILED;
  drop_filled_holes(rings, r, geos);
  std::vector<PointList> pieces;
  for (const PointList& ring : rings) ring_pieces(ring, r, pieces);
  if (pieces.empty()) return {};
  std::vector<Geos::Owned> parts;
  parts.reserve(pieces.size() + 1);
  for (const PointList& piece : pieces) parts.push_back(geos.polygon(piece));
  // The polygon's own area, read as make-valid reads it (see intersect).
  parts.push_back(geos.own(GEOSMakeValid_r(geos.handle(), geos.polygon(rings).get())));
  const Geos::Owned all = geos.collection(GEOS_GEOMETRYCOLLECTION, std::move(parts));
  const Geos::Owned merged = geos.own(GEOSUnaryUnion_r(geos.handle(), all.get()));
  std::vector<std::vector<PointList>> result;
  geos.polygons_of(merged.get(), result);
  // Counter-clockwise exteriors and clockwise holes, as GeoJSON wants them.
  for (std::vector<PointList>& polygon : result)
    for (std::size_t k = 0; k < polygon.size(); ++k)
      if ((ring_signed_area(polygon[k]) > 0) != (k == 0))
        std::reverse(polygon[k].begin(), polygon[k].end());
  return result;
}

void append_polygon(std::string& out, const std::vector<PointList>& rings,
                    const std::optional<UtmZone>& zone) {
  out += '[';
  for (std::size_t k = 0; k < rings.size(); ++k) {
    if (k > 0) out += ',';
    if (!zone) {
      append_ring(out, rings[k]);
      continue;
    }
    PointList points = rings[k];
    for (Point& p : points) p = utm_unproject(*zone, p);
    append_ring(out, points);
  }
  out += ']';
}

void append_polygons(std::string& out, const std::vector<std::vector<PointList>>& polygons,
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
      std::vector<std::vector<PointList>> buffered;
      try {
        buffered = buffer_polygon(std::move(rings), radius);
      } catch (const GeomError&) {
        throw;
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        throw GeomError{std::string(MERGE_FAILED)};
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
