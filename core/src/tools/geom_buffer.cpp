// The geometry tool's buffer: a 32-sided circle around each Point, and around
// each Polygon the polygon itself grown by the radius, built as the union of
// the polygon with one rectangle per edge and one 32-gon per vertex of every
// ring (so holes shrink by the radius and vanish when narrower than twice it).
//
// Geographic Points get their circle directly in degrees (the radius in
// metres over a sphere of 6371008.8 m, longitudes widened by 1 / cos latitude);
// geographic Polygons are buffered in UTM metres of the input's zone and
// turned back into degrees. The union runs pairwise over neighbouring pieces,
// so a ring of n vertices costs O(n log n) rather than n growing unions, and
// the lower levels of large unions run on all cores. Result
// rings are written in the point order Boost.Geometry returns them
// (counter-clockwise exteriors, clockwise holes, closed).
// Boost.Geometry's overlay code trips g++ 12's flow analysis with false
// "may be used uninitialized" reports from inside its own headers.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/algorithms/correct.hpp>
#include <boost/geometry/algorithms/union.hpp>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

#include "text.h"
#include "tools/geom.h"

namespace pelloriand::tools::geom {
namespace {

namespace bg = boost::geometry;

constexpr std::string_view USAGE =
    "Usage: <geojson> <radius>  e.g. {\"type\":\"Point\",\"coordinates\":[0,0]} 100";
constexpr double EARTH_RADIUS = 6371008.8;  // (meters)
constexpr double RADIANS_TO_DEGREES = 57.29577951308232;
constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;
constexpr double LOWEST_COSINE = 1e-6;
constexpr int CIRCLE_SIDES = 32;
// Below this many pieces (rings of about 2,000 vertices) one thread unites
// them in a few milliseconds and starting others would not pay.
constexpr std::size_t PARALLEL_UNION_PIECES = 4096;

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

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

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

// Unites pieces[begin, end) pairwise, neighbours first, into pieces[begin]:
// at pass p the piece at begin + i takes in the one at begin + i + 2^p, for i
// a multiple of 2^(p+1). The caller's pieces start at `step`-sized blocks
// already united.
void unite_range(std::vector<BgMultiPolygon>& pieces, std::size_t begin, std::size_t end,
                 std::size_t step = 1) {
  for (; begin + step < end; step *= 2) {
    for (std::size_t i = begin; i + step < end; i += 2 * step) {
      BgMultiPolygon united;
      bg::union_(pieces[i], pieces[i + step], united);
      pieces[i] = std::move(united);
      pieces[i + step] = {};
    }
  }
}

// The union of all pieces. Large inputs unite blocks of a power-of-two size on
// threads of their own first; the blocks are aligned to that size, so the tree
// of unions, and with it every bit of the result, is the same as on one thread.
BgMultiPolygon cascaded_union(std::vector<BgMultiPolygon> pieces) {
  if (pieces.empty()) return {};
  const std::size_t n = pieces.size();
  const std::size_t threads = std::max(1u, std::thread::hardware_concurrency());
  std::size_t block = 1;  // the size of the blocks already united
  if (n >= PARALLEL_UNION_PIECES && threads > 1) {
    block = std::bit_ceil((n + threads - 1) / threads);
    std::vector<std::exception_ptr> failures((n + block - 1) / block);
    std::vector<std::thread> workers;
    const auto unite_block = [&](std::size_t b) {
      try {
        unite_range(pieces, b * block, std::min(n, (b + 1) * block));
      } catch (...) {
        failures[b] = std::current_exception();
      }
    };
    for (std::size_t b = 1; b < failures.size(); ++b) workers.emplace_back(unite_block, b);
    unite_block(0);
    for (std::thread& worker : workers) worker.join();
    for (const std::exception_ptr& failure : failures)
      if (failure) std::rethrow_exception(failure);
  }
  unite_range(pieces, 0, n, block);
  return std::move(pieces.front());
}

BgMultiPolygon buffer_polygon(const std::vector<PointList>& rings, double r) {
  BgPolygon polygon = make_polygon(rings);
  const PolygonState state = prepare_polygon(polygon);
  if (state == PolygonState::too_large || !(r <= LIBRARY_COORDINATE_LIMIT))
    throw GeomError{"Radius or coordinates too large to buffer a Polygon"};
  if (state == PolygonState::invalid)
    throw GeomError{"Cannot buffer a Polygon whose rings cross or overlap"};

  std::vector<BgMultiPolygon> pieces;
  const auto add_ring = [&](const auto& ring) { ring_pieces(ring_points(ring), r, pieces); };
  add_ring(polygon.outer());
  for (const auto& hole : polygon.inners()) add_ring(hole);
  BgMultiPolygon band = cascaded_union(std::move(pieces));
  if (state == PolygonState::degenerate) return band;
  BgMultiPolygon result;
  bg::union_(band, BgMultiPolygon{std::move(polygon)}, result);
  return result;
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
