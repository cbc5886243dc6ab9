// The geometry tool `geom`: its entry, the GeoJSON feature model it shares
// with the buffer and intersection (geom_buffer.cpp, geom_intersect.cpp), and
// the area, length and centroid operations.
//
// Areas and centroids of geographic input (every position within ±180 / ±90)
// are computed in UTM metres of the zone of the bounding-box centre, so they
// are exact for the projected shape and distorted by the projection's scale
// away from that zone's central meridian; lengths of geographic input are
// haversine distances on a sphere of radius 6371008.8 m. Planar input is
// measured in its own units. Rings are measured closed whether or not their
// last position repeats the first, and the winding of rings does not matter.
#include "tools/geom.h"

#include <fmt/format.h>

#include <boost/json/monotonic_resource.hpp>
#include <cmath>
#include <limits>
#include <new>

#include "geodesy.h"
#include "number.h"
#include "text.h"
#include "tools/entries.h"
#include "tools/geo.h"

namespace pelloriand::tools::geom {
namespace {

using geodesy::RADIANS_PER_DEGREE;
constexpr double FALSE_NORTHING = 10000000.0;
constexpr double SQUARE_METRES_PER_ACRE = 4046.856;
constexpr double METRES_PER_MILE = 1609.344;

constexpr std::string_view PARSE_ERROR = "Could not parse input as GeoJSON";
constexpr std::string_view EXPECTED_GEOJSON = "Expected GeoJSON";
constexpr std::string_view DEGENERATE = "Degenerate polygon (zero area)";

using boost::json::array;

[[noreturn]] void fail(std::string sentence) {
  throw GeomError{std::move(sentence)};
}

double number_of(const JsonValue& v) {
  if (v.is_double()) return v.get_double();
  if (v.is_int64()) return static_cast<double>(v.get_int64());
  return static_cast<double>(v.get_uint64());
}

bool is_position(const array& a) {
  return !a.empty() && a[0].is_number();
}

Point position_of(const array& a) {
  return {number_of(a[0]), a.size() > 1 && a[1].is_number() ? number_of(a[1]) : 0.0};
}

// The sentence for coordinates that pass validation but do not have the
// nesting the geometry's type calls for.
[[noreturn]] void shape_error(std::string_view type) {
  if (type == "Point") fail("Point coordinates must be a position [x, y]");
  if (type == "LineString") fail("LineString coordinates must be an array of [x, y] positions");
  if (type == "MultiLineString")
    fail("MultiLineString coordinates must be an array of LineStrings of [x, y] positions");
  if (type == "MultiPolygon")
    fail(
        "MultiPolygon coordinates must be an array of Polygons, each an array of rings of "
        "[x, y] positions");
  fail("Polygon coordinates must be an array of rings, each an array of [x, y] positions");
}

const array& array_of(const JsonValue& value, std::string_view type) {
  const array* a = value.if_array();
  if (a == nullptr) shape_error(type);
  return *a;
}

const JsonValue& geometry_coordinates(const JsonValue& geometry) {
  const boost::json::object* o = geometry.if_object();
  if (o == nullptr) fail(std::string(EXPECTED_GEOJSON));
  if (geometry_type(geometry) == "GeometryCollection") fail("GeometryCollection is not supported");
  const JsonValue* coordinates = o->if_contains("coordinates");
  if (coordinates == nullptr) fail(std::string(EXPECTED_GEOJSON));
  return *coordinates;
}

void check_finite_coordinates(const JsonValue& tree) {
  // Every failure has the same sentence, so the order of the walk is free.
  std::vector<const JsonValue*> pending{&tree};
  while (!pending.empty()) {
    const array* a = pending.back()->if_array();
    pending.pop_back();
    if (a == nullptr || a->empty()) continue;
    if ((*a)[0].is_number()) {
      if (a->size() < 2 || !(*a)[1].is_number() || !std::isfinite(number_of((*a)[0])) ||
          !std::isfinite(number_of((*a)[1])))
        fail("Coordinates must be finite numbers");
      continue;
    }
    for (const JsonValue& member : *a) pending.push_back(&member);
  }
}

// Appends the tree's positions in document order.
void flatten_coordinates(const JsonValue& tree, PointList& out) {
  const array* root = tree.if_array();
  if (root == nullptr) return;
  if (is_position(*root)) {
    out.push_back(position_of(*root));
    return;
  }
  struct Frame {
    const array* members;
    std::size_t next;
  };
  std::vector<Frame> stack{{root, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.members->size()) {
      stack.pop_back();
      continue;
    }
    const array* a = (*frame.members)[frame.next++].if_array();
    if (a == nullptr || a->empty()) continue;
    if (is_position(*a)) {
      out.push_back(position_of(*a));
    } else {
      stack.push_back({a, 0});
    }
  }
}

void project_rings(const std::optional<UtmZone>& zone, std::vector<PointList>& rings) {
  if (!zone) return;
  for (PointList& ring : rings)
    for (Point& p : ring) p = utm_project(*zone, p);
}

// The rings of each polygon of a Polygon or MultiPolygon geometry.
std::vector<std::vector<PointList>> geometry_polygons(const JsonValue& geometry,
                                                      std::string_view type) {
  const JsonValue& coordinates = geometry_coordinates(geometry);
  std::vector<std::vector<PointList>> polygons;
  if (type == "Polygon") {
    polygons.push_back(read_polygon(coordinates, type));
  } else {
    for (const JsonValue& member : array_of(coordinates, type))
      polygons.push_back(read_polygon(member, type));
  }
  return polygons;
}

// ---------------------------------------------------------------------------
// Area
// ---------------------------------------------------------------------------

double features_area(const FeatureList& features, const std::optional<UtmZone>& zone) {
  double total = 0;
  for (const Feature& feature : features) {
    const JsonValue& geometry = feature_geometry(feature);
    const std::string_view type = geometry_type(geometry);
    if (type != "Polygon" && type != "MultiPolygon")
      fail(fmt::format("Area needs a Polygon or MultiPolygon (got {})", type));
    double area = 0;
    for (std::vector<PointList>& rings : geometry_polygons(geometry, type)) {
      project_rings(zone, rings);
      area += polygon_area(rings);
    }
    total += area;
  }
  return total;
}

// ---------------------------------------------------------------------------
// Length
// ---------------------------------------------------------------------------

// A LineString's positions; every member of a position must be a number.
PointList line_positions(const JsonValue& value, std::string_view type) {
  PointList points;
  for (const JsonValue& member : array_of(value, type)) {
    const array* position = member.if_array();
    if (position == nullptr || position->size() < 2) shape_error(type);
    for (const JsonValue& n : *position)
      if (!n.is_number()) shape_error(type);
    points.push_back({number_of((*position)[0]), number_of((*position)[1])});
  }
  return points;
}

double line_length(const PointList& points, bool geographic) {
  double total = 0;
  if (!geographic) {
    for (std::size_t i = 1; i < points.size(); ++i)
      total += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return total;
  }
  // Each position's cosine of latitude serves both its segments.
  double cos_phi0 = points.empty() ? 0 : std::cos(points[0].y * RADIANS_PER_DEGREE);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const Point a = points[i - 1];
    const Point b = points[i];
    const double cos_phi1 = std::cos(b.y * RADIANS_PER_DEGREE);
    total += geodesy::haversine_distance((b.y - a.y) * RADIANS_PER_DEGREE,
                                         (b.x - a.x) * RADIANS_PER_DEGREE, cos_phi0 * cos_phi1);
    cos_phi0 = cos_phi1;
  }
  return total;
}

double features_length(const FeatureList& features, bool geographic) {
  double total = 0;
  for (const Feature& feature : features) {
    const JsonValue& geometry = feature_geometry(feature);
    const std::string_view type = geometry_type(geometry);
    double length = 0;
    if (type == "LineString") {
      length = line_length(line_positions(geometry_coordinates(geometry), type), geographic);
    } else if (type == "MultiLineString") {
      for (const JsonValue& line : array_of(geometry_coordinates(geometry), type))
        length += line_length(line_positions(line, type), geographic);
    } else {
      fail(fmt::format("Length needs a LineString or MultiLineString (got {})", type));
    }
    total += length;
  }
  return total;
}

std::string length_text(double total, bool geographic) {
  const unsigned d = !(total >= 100000) ? 1 : 0;
  return fmt::format("length:    {} m{}\n           {} km · {} mi",
                     number::format_grouped(total, d), geographic ? " (geodesic)" : "",
                     number::format_grouped(total / 1000, d),
                     number::format_grouped(total / METRES_PER_MILE, d));
}

// ---------------------------------------------------------------------------
// Centroid
// ---------------------------------------------------------------------------

// Twice the signed area and the first moments of one ring about `origin`,
// closing edge included, turned so that the area is not negative. Moments
// about a point of the polygon keep their digits: about the UTM origin, the
// products of coordinates of millions of metres cancel to nothing for a
// polygon a few metres across.
struct RingMoments {
  double a = 0, mx = 0, my = 0;
};

RingMoments ring_moments(const PointList& ring, Point origin) {
  RingMoments m;
  const std::size_t n = ring.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point p{ring[i].x - origin.x, ring[i].y - origin.y};
    const Point& next = ring[i + 1 == n ? 0 : i + 1];
    const Point q{next.x - origin.x, next.y - origin.y};
    const double c = p.x * q.y - q.x * p.y;
    m.a += c;
    m.mx += (p.x + q.x) * c;
    m.my += (p.y + q.y) * c;
  }
  if (m.a < 0) m = {-m.a, -m.mx, -m.my};
  return m;
}

Point features_centroid(const FeatureList& features, const std::optional<UtmZone>& zone) {
  double sum_x = 0, sum_y = 0;
  for (const Feature& feature : features) {
    const JsonValue& geometry = feature_geometry(feature);
    const std::string_view type = geometry_type(geometry);
    if (type != "Polygon" && type != "MultiPolygon") {
      PointList points;
      flatten_coordinates(geometry_coordinates(geometry), points);
      double x = 0, y = 0;
      for (const Point& p : points) {
        x += p.x;
        y += p.y;
      }
      const auto count = static_cast<double>(points.size());
      sum_x += points.empty() ? std::numeric_limits<double>::quiet_NaN() : x / count;
      sum_y += points.empty() ? std::numeric_limits<double>::quiet_NaN() : y / count;
      continue;
    }
    double sx = 0, sy = 0, weight = 0;
    for (std::vector<PointList>& rings : geometry_polygons(geometry, type)) {
      project_rings(zone, rings);
      // Holes are taken away whichever way they are wound relative to the
      // exterior, so RFC 7946 input (clockwise holes) is measured correctly.
      const Point origin = rings[0].front();
      RingMoments total = ring_moments(rings[0], origin);
      for (std::size_t h = 1; h < rings.size(); ++h) {
        const RingMoments hole = ring_moments(rings[h], origin);
        total.a -= hole.a;
        total.mx -= hole.mx;
        total.my -= hole.my;
      }
      if (total.a == 0) fail(std::string(DEGENERATE));
      const double w = polygon_area(rings);
      sx += w * (origin.x + total.mx / (3 * total.a));
      sy += w * (origin.y + total.my / (3 * total.a));
      weight += w;
    }
    if (weight == 0) fail(std::string(DEGENERATE));
    Point c{sx / weight, sy / weight};
    if (zone) c = utm_unproject(*zone, c);
    sum_x += c.x;
    sum_y += c.y;
  }
  const auto count = static_cast<double>(features.size());
  return {sum_x / count, sum_y / count};
}

std::string centroid_text(Point c) {
  std::string out =
      fmt::format("centroid:  {}, {}\npoint:     {{\"type\":\"Point\",\"coordinates\":",
                  number::format_decimals(c.x, 6), number::format_decimals(c.y, 6));
  append_position(out, c);
  out += '}';
  return out;
}

std::string run_geom(std::string_view input, const ToolOptions* options) {
  const std::string_view operation = find_target(options).value_or("area");
  const std::string_view trimmed = text::trim(input);
  if (trimmed.empty()) fail("Empty input");
  if (operation == "intersect") return intersect_text(trimmed);

  std::string_view geojson = trimmed;
  double radius = 0;
  if (operation == "buffer") {
    const BufferInput split = split_buffer_input(trimmed);
    geojson = split.geojson;
    radius = split.radius;
  }

  boost::json::monotonic_resource resource;
  const std::optional<JsonValue> document = json::read_json(geojson, &resource);
  if (!document) fail(std::string(PARSE_ERROR));
  const std::optional<FeatureList> features = normalize_features(*document);
  if (!features) fail(std::string(PARSE_ERROR));
  if (features->empty()) fail("Empty geometry");
  if (std::optional<std::string> error = validate_features(*features)) fail(std::move(*error));

  const std::optional<UtmZone> zone = choose_projection(*features);
  if (operation == "area")
    return format_area(features_area(*features, zone), projection_note(zone));
  if (operation == "length")
    return length_text(features_length(*features, zone.has_value()), zone.has_value());
  if (operation == "centroid") return centroid_text(features_centroid(*features, zone));
  if (operation == "buffer") return buffer_geometry(*features, zone, radius);
  fail(fmt::format("Unknown operation: {}", operation));
}

}  // namespace

std::optional<FeatureList> normalize_features(const JsonValue& value) {
  const boost::json::object* o = value.if_object();
  if (o == nullptr) return std::nullopt;
  const JsonValue* type = o->if_contains("type");
  if (type == nullptr || !type->is_string()) return std::nullopt;
  const std::string_view t = type->get_string();
  if (t == "Feature") return FeatureList{{&value, false}};
  if (t == "FeatureCollection") {
    const JsonValue* members = o->if_contains("features");
    if (members == nullptr || !members->is_array()) return std::nullopt;
    FeatureList list;
    list.reserve(members->get_array().size());
    for (const JsonValue& member : members->get_array()) list.push_back({&member, false});
    return list;
  }
  if (t == "GeometryCollection" || !o->contains("coordinates")) return std::nullopt;
  return FeatureList{{&value, true}};
}

const JsonValue& feature_geometry(const Feature& feature) {
  if (feature.bare_geometry) return *feature.value;
  if (const boost::json::object* o = feature.value->if_object())
    if (const JsonValue* geometry = o->if_contains("geometry")) return *geometry;
  fail("Null geometry");
}

std::string_view geometry_type(const JsonValue& geometry) {
  if (const boost::json::object* o = geometry.if_object())
    if (const JsonValue* type = o->if_contains("type"))
      if (type->is_string()) return type->get_string();
  return {};
}

std::optional<std::string> validate_features(const FeatureList& features) {
  try {
    for (const Feature& feature : features)
      check_finite_coordinates(geometry_coordinates(feature_geometry(feature)));
  } catch (GeomError& e) {
    return std::move(e.sentence);
  }
  return std::nullopt;
}

void collect_positions(const FeatureList& features, PointList& out) {
  for (const Feature& feature : features) {
    try {
      flatten_coordinates(geometry_coordinates(feature_geometry(feature)), out);
    } catch (const GeomError&) {
      // A feature without usable coordinates holds no position.
    }
  }
}

std::optional<UtmZone> choose_projection(const FeatureList& features) {
  PointList points;
  collect_positions(features, points);
  if (points.empty()) return std::nullopt;
  double min_x = std::numeric_limits<double>::infinity(), max_x = -min_x;
  double min_y = min_x, max_y = max_x;
  // The same box with every negative longitude plus 360.
  double min_shifted = min_x, max_shifted = max_x;
  for (const Point& p : points) {
    if (!(std::abs(p.x) <= 180 && std::abs(p.y) <= 90)) return std::nullopt;
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
    const double shifted = p.x < 0 ? p.x + 360 : p.x;
    min_shifted = std::min(min_shifted, shifted);
    max_shifted = std::max(max_shifted, shifted);
  }
  const double cy = (min_y + max_y) * 0.5;
  // Only an input that fits within half the globe once unwrapped has a zone
  // to be measured in; wider ones keep the box as it comes.
  const double shifted_width = max_shifted - min_shifted;
  if (shifted_width < max_x - min_x && shifted_width < 180) {
    double cx = (min_shifted + max_shifted) * 0.5;
    if (cx > 180) cx -= 360;
    return UtmZone{geo::utm_zone(cx, cy), cy < 0, true};
  }
  const double cx = (min_x + max_x) * 0.5;
  return UtmZone{geo::utm_zone(cx, cy), cy < 0};
}

std::string projection_note(const std::optional<UtmZone>& zone) {
  return zone ? fmt::format(" (via UTM {})", zone->number) : std::string();
}

Point utm_project(const UtmZone& zone, Point p) {
  double longitude = p.x;
  if (zone.unwrap) {
    const double central = geo::central_meridian(zone.number);
    if (longitude - central > 180) longitude -= 360;
    if (longitude - central < -180) longitude += 360;
  }
  const geo::UtmCoordinates u = geo::latlon_to_utm(p.y, longitude, zone.number);
  double northing = u.northing;
  // latlon_to_utm adds the false northing to southern points only; use one
  // origin for the whole input instead.
  const bool southern_point = p.y < 0;
  if (southern_point && !zone.south) northing -= FALSE_NORTHING;
  if (!southern_point && zone.south) northing += FALSE_NORTHING;
  return {u.easting, northing};
}

Point utm_unproject(const UtmZone& zone, Point p) {
  const geo::LatLng g = geo::utm_inverse(zone.number, p.x, zone.south ? p.y - FALSE_NORTHING : p.y);
  double longitude = g.longitude;
  if (zone.unwrap) {
    if (longitude > 180) longitude -= 360;
    if (longitude < -180) longitude += 360;
  }
  return {longitude, g.latitude};
}

Point read_position(const JsonValue& value, std::string_view type) {
  const array* a = value.if_array();
  if (a == nullptr || a->size() < 2 || !(*a)[0].is_number() || !(*a)[1].is_number())
    shape_error(type);
  return {number_of((*a)[0]), number_of((*a)[1])};
}

void read_ring(const JsonValue& value, std::string_view type, PointList& out) {
  const array& positions = array_of(value, type);
  if (positions.empty()) shape_error(type);
  out.reserve(out.size() + positions.size());
  for (const JsonValue& position : positions) out.push_back(read_position(position, type));
}

std::vector<PointList> read_polygon(const JsonValue& value, std::string_view type) {
  const array& rings = array_of(value, type);
  if (rings.empty()) shape_error(type);
  std::vector<PointList> out(rings.size());
  for (std::size_t i = 0; i < rings.size(); ++i) read_ring(rings[i], type, out[i]);
  return out;
}

double ring_signed_area(const PointList& ring) {
  const std::size_t n = ring.size();
  if (n < 2) return 0;
  double sum = 0;
  for (std::size_t i = 0; i + 1 < n; ++i)
    sum += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
  // Zero for a closed ring; closes an open one.
  sum += ring[n - 1].x * ring[0].y - ring[0].x * ring[n - 1].y;
  return 0.5 * sum;
}

double polygon_area(const std::vector<PointList>& rings) {
  if (rings.empty()) return 0;
  double area = std::abs(ring_signed_area(rings[0]));
  for (std::size_t i = 1; i < rings.size(); ++i) area -= std::abs(ring_signed_area(rings[i]));
  return area;
}

std::string format_area(double area, std::string_view note) {
  const auto grouped = [](double v) { return number::format_grouped(v, !(v >= 100) ? 2 : 0); };
  return fmt::format("area:      {} m²{}\n           {} km² · {} ha · {} acres", grouped(area),
                     note, grouped(area / 1000000), grouped(area / 10000),
                     grouped(area / SQUARE_METRES_PER_ACRE));
}

void append_position(std::string& out, Point p) {
  const auto coordinate = [&out](double v) {
    if (std::isfinite(v)) {
      number::append_shortest(out, v);
    } else {
      out += "null";
    }
  };
  out += '[';
  coordinate(p.x);
  out += ',';
  coordinate(p.y);
  out += ']';
}

void append_ring(std::string& out, const PointList& ring) {
  out += '[';
  for (std::size_t i = 0; i < ring.size(); ++i) {
    if (i > 0) out += ',';
    append_position(out, ring[i]);
  }
  out += ']';
}

}  // namespace pelloriand::tools::geom

namespace pelloriand::tools {

ToolResult geom_tool(std::string_view input, const ToolOptions* options) {
  try {
    return ToolResult::output(geom::run_geom(input, options));
  } catch (geom::GeomError& e) {
    return ToolResult::error(std::move(e.sentence));
  } catch (const std::bad_alloc&) {
    // Inputs are small enough that running out of memory says the service
    // is short of it, not that the geometry is at fault: the caller says so.
    throw;
  } catch (const std::exception&) {
    return ToolResult::error("The geometry could not be processed");
  }
}

}  // namespace pelloriand::tools
