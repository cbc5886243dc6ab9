// The geometry tool's shared ground: the GeoJSON feature model (features held
// as pointers into one parsed Boost.JSON document, never copied), structured
// readers for the coordinate shapes the operations need, the UTM frame in which
// geographic input is measured. The entry and the area, length and centroid operations live in
// geom.cpp, the buffer in geom_buffer.cpp, the intersection in geom_intersect.cpp and the bridge to
// GEOS in geom_geos.cpp.
//
// Input limits: documents are read by json::read_json, so they nest at most
// json::MAX_READ_DEPTH levels and every number is a finite double.
// Coordinates handed to GEOS are held below
// LIBRARY_COORDINATE_LIMIT so that its products of two coordinates stay
// finite. No walker recurses on input structure.
#pragma once

#include <boost/json/monotonic_resource.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json.h"

namespace pelloriand::tools::geom {

using json::JsonValue;

// Every failure below the entry is thrown as one of these and turned into the
// tool's error at the entry; nothing else is thrown on purpose.
struct GeomError {
  std::string sentence;
};

struct Point {
  double x = 0;  // longitude (degrees) when geographic, else planar units
  double y = 0;  // latitude (degrees) when geographic
};
using PointList = std::vector<Point>;

// The planar frame of a geographic input.
struct UtmZone {
  int number = 0;
  bool south = false;
  // The input crosses the antimeridian: longitudes are taken within 180
  // degrees of the zone's central meridian, so that 179.5 and -179.5 lie one
  // degree apart.
  bool unwrap = false;
};

// One feature of the input: either a member of the document that should be a
// Feature object, or a bare geometry standing for a Feature whose "geometry" it
// is. Points into the parsed document, which must outlive it.
struct Feature {
  const JsonValue* value = nullptr;
  bool bare_geometry = false;
};
using FeatureList = std::vector<Feature>;

inline constexpr double LIBRARY_COORDINATE_LIMIT = 1e100;

// normalize_features
//
// The Features of a Feature, a FeatureCollection or a bare geometry (any other
// "type" text with a "coordinates" member). Nothing for anything else,
// including a GeometryCollection at the top.
[[nodiscard]] std::optional<FeatureList> normalize_features(const JsonValue& value);

// feature_geometry: the "geometry" member (null included); throws "Null geometry".
[[nodiscard]] const JsonValue& feature_geometry(const Feature& feature);

// The "type" text of a geometry, empty when it has none.
[[nodiscard]] std::string_view geometry_type(const JsonValue& geometry);

// validate_features
//
// Checks every Feature in order: a geometry, an object with "coordinates"
// (not a GeometryCollection), and every position with two finite numbers.
// Returns the first failure's sentence.
[[nodiscard]] std::optional<std::string> validate_features(const FeatureList& features);

// collect_positions: every position of every Feature, in document order.
void collect_positions(const FeatureList& features, PointList& out);

// choose_projection: the UTM zone of the bounding-box centre when every
// position is within ±180 / ±90, else nothing. When the longitudes lie closer
// together taken modulo 360 (each negative one plus 360) than as they are,
// and then span less than 180 degrees, the box is that of the shifted
// longitudes and the zone unwraps them.
[[nodiscard]] std::optional<UtmZone> choose_projection(const FeatureList& features);

// The " (via UTM {})" note of the reports, or empty.
[[nodiscard]] std::string projection_note(const std::optional<UtmZone>& zone);

// utm_project / utm_unproject
//
// (longitude, latitude) to (easting, northing) and back. Every point of one
// input is projected with the same northing origin (the 10,000 km false
// northing exactly when the zone is south), so a shape that crosses the
// equator stays in one piece.
[[nodiscard]] Point utm_project(const UtmZone& zone, Point p);
[[nodiscard]] Point utm_unproject(const UtmZone& zone, Point p);

// Structured readers. Each throws the shape sentence of `type` when the value
// does not have the structure: a ring needs at least one position, a polygon at
// least one ring, a position at least two numbers.
[[nodiscard]] Point read_position(const JsonValue& value, std::string_view type);
void read_ring(const JsonValue& value, std::string_view type, PointList& out);
// The rings of one Polygon's "coordinates": exterior first, then the holes.
[[nodiscard]] std::vector<PointList> read_polygon(const JsonValue& value, std::string_view type);

// Signed shoelace area of a ring; the edge from the last point back to the
// first counts, so an open ring measures as its closed form.
[[nodiscard]] double ring_signed_area(const PointList& ring);
// |exterior| minus |each hole|.
[[nodiscard]] double polygon_area(const std::vector<PointList>& rings);

// format_area: the two area lines of the reports.
[[nodiscard]] std::string format_area(double area, std::string_view note);

// Appends a written position: [x,y], each null when not finite.
void append_position(std::string& out, Point p);
void append_ring(std::string& out, const PointList& ring);

// The operations' entries, called by geom_tool.
[[nodiscard]] std::string buffer_geometry(const FeatureList& features,
                                          const std::optional<UtmZone>& zone, double radius);
[[nodiscard]] std::string intersect_text(std::string_view text);

// split_buffer_input
//
// Splits "<geojson> <radius>" at its last white-space character; the GeoJSON
// must end in "}" or "]" just before it and the radius must be a decimal
// number (or inf / nan). Throws the usage or sign sentence.
struct BufferInput {
  std::string_view geojson;
  double radius = 0;
};
[[nodiscard]] BufferInput split_buffer_input(std::string_view text);

// orient_ring
//
// Appends a ring written counter-clockwise (exterior) or clockwise (hole),
// starting at its lowest-x, then lowest-y point and closed again.
void orient_ring(const PointList& ring, bool exterior, PointList& out);

}  // namespace pelloriand::tools::geom
