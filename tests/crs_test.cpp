// The crs engine and tool: the EPSG table and definition reader, the quoted
// reference points, round trips for every code, and a comparison against the
// cs2cs program (skipped when it is not installed).
#include "tools/crs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "pelloriand/tool.h"

namespace pelloriand::tools::crs {
namespace {

constexpr double DEG = 0.017453292519943295;
constexpr std::string_view WGS84_GEO = "+proj=longlat +datum=WGS84 +no_defs";

std::string definition_of(std::string_view code) {
  const std::optional<std::string> d = epsg_to_proj4(code);
  EXPECT_TRUE(d.has_value()) << code;
  return d.value_or("");
}

TEST(CrsTable, KnownCodesAndTheUtmRule) {
  struct Row {
    std::string_view code;
    std::optional<std::string> definition;
  };
  const Row rows[] = {
      {"EPSG:4326", "+proj=longlat +datum=WGS84 +no_defs"},
      {"EPSG:32633", "+proj=utm +zone=33 +datum=WGS84 +units=m +no_defs"},
      {"EPSG:32733", "+proj=utm +zone=33 +datum=WGS84 +units=m +no_defs +south"},
      {"EPSG:32701", "+proj=utm +zone=1 +datum=WGS84 +units=m +no_defs +south"},
      {"EPSG:32660", "+proj=utm +zone=60 +datum=WGS84 +units=m +no_defs"},
      {"EPSG:32661", std::nullopt},
      {"EPSG:32600", std::nullopt},
      {"EPSG:32700", std::nullopt},
      {"EPSG:36601", std::nullopt},
      {"epsg:4326", std::nullopt},
      {"EPSG:04326", std::nullopt},
      {"EPSG:9999", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(epsg_to_proj4(row.code), row.definition) << row.code;

  EXPECT_EQ(parse_epsg_utm("EPSG:32761"), (UtmCode{61, true}));
  EXPECT_EQ(parse_epsg_utm("EPSG:32699"), (UtmCode{99, false}));
  EXPECT_EQ(parse_epsg_utm("EPSG:3260a"), std::nullopt);
  EXPECT_EQ(parse_epsg_utm("EPSG:326011"), std::nullopt);
}

TEST(CrsParse, TableCodesGiveTheirEllipsoidAndShiftKind) {
  struct Row {
    std::string_view code;
    std::string_view proj;
    double a;
    double rf;
    ShiftKind kind;
    std::optional<std::string> datum;
    bool sphere;
  };
  const std::optional<std::string> WGS84 = "WGS84";
  const Row rows[] = {
      {"EPSG:4326", "longlat", 6378137, 298.257223563, ShiftKind::zero, WGS84, false},
      {"EPSG:3857", "merc", 6378137, 0, ShiftKind::none, "none", true},
      {"EPSG:2154", "lcc", 6378137, 298.257222101, ShiftKind::zero, std::nullopt, false},
      {"EPSG:25832", "etmerc", 6378137, 298.257222101, ShiftKind::zero, std::nullopt, false},
      {"EPSG:27700", "tmerc", 6377563.396, 0, ShiftKind::seven_parameter, std::nullopt, false},
      {"EPSG:23032", "etmerc", 6378388, 297, ShiftKind::three_parameter, std::nullopt, false},
      {"EPSG:2056", "somerc", 6377397.155, 299.1528128, ShiftKind::three_parameter, std::nullopt,
       false},
      {"EPSG:3413", "stere", 6378137, 298.257223563, ShiftKind::zero, WGS84, false},
      {"EPSG:32733", "etmerc", 6378137, 298.257223563, ShiftKind::zero, WGS84, false},
  };
  for (const Row& row : rows) {
    const Projection p = parse_proj4(definition_of(row.code));
    EXPECT_EQ(p.proj, row.proj) << row.code;
    EXPECT_EQ(p.ellipsoid.a, row.a) << row.code;
    EXPECT_EQ(p.ellipsoid.rf, row.rf) << row.code;
    EXPECT_EQ(p.shift.kind, row.kind) << row.code;
    EXPECT_EQ(p.datum, row.datum) << row.code;
    EXPECT_EQ(p.sphere, row.sphere) << row.code;
  }
  const Projection airy = parse_proj4(definition_of("EPSG:27700"));
  EXPECT_EQ(airy.ellipsoid.b, 6356256.91);
  ASSERT_EQ(airy.shift.params.size(), 7u);
  EXPECT_DOUBLE_EQ(airy.shift.params[3], 0.15 * 4.84813681109536e-06);
  EXPECT_DOUBLE_EQ(airy.shift.params[4], 0.247 * 4.84813681109536e-06);
  EXPECT_DOUBLE_EQ(airy.shift.params[5], 0.842 * 4.84813681109536e-06);
  EXPECT_DOUBLE_EQ(airy.shift.params[6], 0.999979511);
  EXPECT_EQ(parse_proj4(definition_of("EPSG:23032")).shift.params,
            (std::vector<double>{-87, -98, -121, 0, 0, 0, 0}));
  EXPECT_EQ(parse_proj4(definition_of("EPSG:3857")).k_0, 1);
}

TEST(CrsParse, KeyRules) {
  // The WGS84 datum pins its ellipsoid.
  const Projection pinned = parse_proj4("+proj=longlat +datum=WGS84 +ellps=intl");
  EXPECT_EQ(pinned.ellipsoid.a, 6378137);
  EXPECT_EQ(pinned.shift.kind, ShiftKind::zero);

  // UTM overrides the scale, origin and false northing it is given.
  const Projection utm = parse_proj4("+proj=utm +zone=33 +k_0=2 +south +x_0=7 +lat_0=10");
  EXPECT_EQ(utm.proj, "etmerc");
  EXPECT_EQ(utm.k_0, 0.9996);
  EXPECT_EQ(utm.y_0, 10000000);
  EXPECT_EQ(utm.x_0, 500000);
  EXPECT_EQ(utm.lat_0, 0);
  EXPECT_DOUBLE_EQ(utm.lon_0, 15 * DEG);
  // Without a zone it comes from lon_0: 10° lies in zone 32 (central meridian 9°).
  EXPECT_DOUBLE_EQ(parse_proj4("+proj=utm +lon_0=10").lon_0, 9 * DEG);
  EXPECT_DOUBLE_EQ(parse_proj4("+proj=utm +zone=x +lon_0=-75").lon_0, -75 * DEG);

  EXPECT_TRUE(parse_proj4("+proj=merc +a=6378137 +b=6378137").sphere);
  const Projection bare = parse_proj4("+proj=merc");
  EXPECT_TRUE(bare.sphere);
  EXPECT_EQ(bare.ellipsoid.a, 6378137);
  EXPECT_EQ(bare.shift.kind, ShiftKind::none);
  EXPECT_TRUE(std::isnan(bare.lat_ts));

  // Keys fold case, values do not; the last of a repeated key wins.
  EXPECT_EQ(parse_proj4("+PROJ=merc").proj, "merc");
  EXPECT_EQ(parse_proj4("+proj=MERC").proj, "MERC");
  EXPECT_EQ(parse_proj4("+proj=lcc +proj=merc").proj, "merc");
  EXPECT_EQ(parse_proj4("+proj=latlong").proj, "longlat");
  EXPECT_EQ(parse_proj4("+proj=x +x_0=12 +x_0=oops").x_0, 0);
  EXPECT_EQ(parse_proj4("+proj=x +lat_ts=oops").lat_ts, 0);
  EXPECT_DOUBLE_EQ(parse_proj4("+proj=x +lat_0=4.5e1").lat_0, 45 * DEG);

  // Unreadable towgs84 pieces are skipped.
  EXPECT_EQ(parse_proj4("+towgs84=1,x,2").shift.params, (std::vector<double>{1, 2, 0}));
  EXPECT_EQ(parse_proj4("+towgs84=1,x,2").shift.kind, ShiftKind::three_parameter);
  EXPECT_EQ(parse_proj4("+towgs84=0,0,0,0,0,0,0").shift.kind, ShiftKind::zero);
  EXPECT_EQ(parse_proj4("+towgs84=0,0,0,0,0,0,1").shift.kind, ShiftKind::seven_parameter);
}

struct Reference {
  std::string_view from, to;
  double x, y;  // input: longitude, latitude (degrees) or meters
  double want_x, want_y;
  double tolerance;  // same unit as the output
};

TEST(CrsTransform, ReferencePoints) {
  const Reference rows[] = {
      {"EPSG:4326", "EPSG:2154", 2.3522, 48.8566, 652469.02, 6862035.26, 0.005},
      {"EPSG:2154", "EPSG:4326", 652469.02, 6862035.26, 2.3522, 48.8566, 5e-7},
      {"EPSG:4326", "EPSG:32618", -74.006, 40.7128, 583959.37, 4507351.00, 0.005},
      {"EPSG:4326", "EPSG:26918", -74.006, 40.7128, 583959.37, 4507351.00, 0.005},
      {"EPSG:4326", "EPSG:27700", -0.1246, 51.5007, 530269.90, 179640.72, 0.005},
      {"EPSG:4326", "EPSG:32756", 151.2093, -33.8688, 334368.63, 6250948.35, 0.005},
      {"EPSG:4326", "EPSG:4326", 12.5, -7.25, 12.5, -7.25, 1e-12},
      {"EPSG:4326", "EPSG:3413", 10, 90, 0, 0, 1e-6},
  };
  for (const Reference& r : rows) {
    const std::optional<Point> got = transform_point(parse_proj4(definition_of(r.from)),
                                                     parse_proj4(definition_of(r.to)), r.x, r.y);
    ASSERT_TRUE(got.has_value()) << r.from << " -> " << r.to;
    EXPECT_NEAR(got->x, r.want_x, r.tolerance) << r.from << " -> " << r.to;
    EXPECT_NEAR(got->y, r.want_y, r.tolerance) << r.from << " -> " << r.to;
  }
}

TEST(CrsTransform, FailuresAndNonFiniteAnswers) {
  const Projection geo = parse_proj4(WGS84_GEO);
  const Projection web = parse_proj4(definition_of("EPSG:3857"));
  const Projection arctic = parse_proj4(definition_of("EPSG:3413"));
  const Projection utm33 = parse_proj4(definition_of("EPSG:32633"));

  EXPECT_EQ(transform_point(geo, web, 0, 90), std::nullopt);
  EXPECT_EQ(transform_point(geo, web, 0, -90), std::nullopt);

  // The antipode of a polar centre, the opposite pole, has no image at any
  // longitude; a point near it is merely far away.
  for (const double lon : {135.0, 0.0, -45.0}) {
    const std::optional<Point> antipode = transform_point(geo, arctic, lon, -90);
    ASSERT_TRUE(antipode);
    EXPECT_TRUE(std::isnan(antipode->x) && std::isnan(antipode->y)) << lon;
  }
  const std::optional<Point> far = transform_point(geo, arctic, 0, -89.9999);
  ASSERT_TRUE(far);
  EXPECT_TRUE(std::isfinite(far->x) && std::fabs(far->y) > 1e12);

  // Beyond the Krueger series' bound both ways give +inf.
  const std::optional<Point> east = transform_point(utm33, geo, 30000000, 0);
  ASSERT_TRUE(east);
  EXPECT_EQ(east->x, HUGE_VAL);
  EXPECT_EQ(east->y, HUGE_VAL);
  const std::optional<Point> wide = transform_point(geo, utm33, 15 + 120, 10);
  ASSERT_TRUE(wide);
  EXPECT_TRUE(std::isfinite(wide->x) && std::isfinite(wide->y));
}

// Points inside each system's area, as longitude and latitude (degrees).
struct CodePoints {
  std::string code;
  std::vector<Point> points;
  double cs2cs_tolerance;  // meters
};

std::vector<CodePoints> spread() {
  std::vector<CodePoints> out = {
      {"EPSG:4326", {{10, 50}, {-120, -45}, {179.5, 89}}, 1e-3},
      {"EPSG:3857", {{2.35, 48.85}, {-74, 40.7}, {151, -33.9}, {0, 84}}, 1e-3},
      {"EPSG:2154", {{2.35, 48.85}, {-4.5, 48.4}, {7.7, 48.6}, {3, 43}, {9.5, 41.4}}, 1e-3},
      // The series form drifts from an exact transverse Mercator away from -2°.
      {"EPSG:27700", {{-0.12, 51.5}, {-3.2, 55.95}, {-5.7, 50.07}, {1.7, 52.6}, {-1, 60}}, 5e-3},
      {"EPSG:25832", {{9, 50}, {6, 54}, {12, 47.5}}, 1e-3},
      {"EPSG:25833", {{15, 52}, {13.4, 52.5}, {18, 69}}, 1e-3},
      {"EPSG:23032", {{9, 50}, {5, 60}, {12, 38}}, 1e-3},
      {"EPSG:26918", {{-74, 40.7}, {-77, 38.9}, {-72, 44}}, 1e-3},
      {"EPSG:2056", {{7.44, 46.95}, {6.1, 46.2}, {10.4, 46.6}, {8.54, 47.37}}, 1e-3},
      {"EPSG:3413", {{-45, 75}, {0, 80}, {100, 65}, {-150, 89}}, 1e-3},
      {"EPSG:3031", {{0, -75}, {166, -77.8}, {-60, -65}, {90, -89}}, 1e-3},
  };
  for (int zone : {1, 2, 17, 30, 31, 32, 33, 45, 59, 60}) {
    const double cm = 6.0 * zone - 183;
    for (bool south : {false, true}) {
      CodePoints cp{(south ? "EPSG:327" : "EPSG:326") + std::string(zone < 10 ? "0" : "") +
                        std::to_string(zone),
                    {},
                    1e-3};
      for (double lat : {0.5, 30.0, 60.0, 83.0}) {
        for (double offset : {-3.0, 0.0, 3.0}) {
          cp.points.push_back({cm + offset, south ? -lat : lat});
        }
      }
      out.push_back(std::move(cp));
    }
  }
  return out;
}

// Ground distance (meters) between two longitude/latitude points (degrees)
// that are close together.
double ground_distance(Point p, Point q) {
  constexpr double R = 6371000;
  const double dlon = std::remainder(p.x - q.x, 360.0) * DEG * std::cos(p.y * DEG);
  return R * std::hypot(dlon, (p.y - q.y) * DEG);
}

// The projections alone invert each other to well under a millimetre. A
// transform through a datum shift drops the ellipsoidal height it gains (tens
// of meters); coming back from height 0 lands about 1 mm away, where the two
// ellipsoids' normals differ, so those round trips get 2 mm.
TEST(CrsTransform, RoundTripsStayWithinAMillimetre) {
  const Projection geo = parse_proj4(WGS84_GEO);
  for (const CodePoints& cp : spread()) {
    const Projection p = parse_proj4(definition_of(cp.code));
    for (const Point& g : cp.points) {
      const std::optional<Point> plane = forward_projection(p, g.x * DEG, g.y * DEG);
      ASSERT_TRUE(plane) << cp.code << " " << g.x << " " << g.y;
      const std::optional<Point> inverse = inverse_projection(p, plane->x, plane->y);
      ASSERT_TRUE(inverse) << cp.code << " " << g.x << " " << g.y;
      EXPECT_LT(ground_distance({inverse->x / DEG, inverse->y / DEG}, g), 1e-3)
          << cp.code << " " << g.x << " " << g.y;
    }
    const bool shifted =
        p.shift.kind == ShiftKind::three_parameter || p.shift.kind == ShiftKind::seven_parameter;
    const double tolerance = shifted ? 2e-3 : 1e-3;
    for (const Point& g : cp.points) {
      const std::optional<Point> grid = transform_point(geo, p, g.x, g.y);
      ASSERT_TRUE(grid) << cp.code << " " << g.x << " " << g.y;
      const std::optional<Point> back = transform_point(p, geo, grid->x, grid->y);
      ASSERT_TRUE(back) << cp.code << " " << g.x << " " << g.y;
      EXPECT_LT(ground_distance(*back, g), tolerance) << cp.code << " " << g.x << " " << g.y;
      const std::optional<Point> again = transform_point(geo, p, back->x, back->y);
      ASSERT_TRUE(again) << cp.code << " " << g.x << " " << g.y;
      const double d = p.proj == "longlat" ? ground_distance(*again, *grid)
                                           : std::hypot(again->x - grid->x, again->y - grid->y);
      EXPECT_LT(d, tolerance) << cp.code << " " << g.x << " " << g.y;
    }
  }
}

// ---- Against an independent implementation ----

bool have_cs2cs() {
  return std::system("command -v cs2cs >/dev/null 2>&1") == 0;
}

// Runs cs2cs once for a batch of points; each answer is x, y as cs2cs prints
// them (degrees for longlat, meters otherwise).
std::vector<Point> cs2cs(std::string_view from, std::string_view to, const std::vector<Point>& in) {
  std::ostringstream command;
  command.precision(17);
  command << "printf '%s\\n'";
  for (const Point& p : in) command << " '" << p.x << ' ' << p.y << "'";
  command << " | cs2cs -f %.10f " << from << " +to " << to;
  std::vector<Point> out;
  FILE* pipe = popen(command.str().c_str(), "r");
  if (pipe == nullptr) return out;
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    Point p;
    if (std::sscanf(line, "%lf %lf", &p.x, &p.y) == 2) out.push_back(p);
  }
  pclose(pipe);
  return out;
}

TEST(CrsTransform, AgreesWithCs2cs) {
  if (!have_cs2cs()) GTEST_SKIP() << "cs2cs is not installed";
  const Projection geo = parse_proj4(WGS84_GEO);
  for (const CodePoints& cp : spread()) {
    const std::string def = definition_of(cp.code);
    const Projection p = parse_proj4(def);
    const std::vector<Point> want = cs2cs(WGS84_GEO, def, cp.points);
    ASSERT_EQ(want.size(), cp.points.size()) << cp.code;
    for (std::size_t i = 0; i < want.size(); ++i) {
      const Point g = cp.points[i];
      const std::optional<Point> got = transform_point(geo, p, g.x, g.y);
      ASSERT_TRUE(got) << cp.code;
      const double d = p.proj == "longlat" ? ground_distance(*got, want[i])
                                           : std::hypot(got->x - want[i].x, got->y - want[i].y);
      EXPECT_LT(d, cp.cs2cs_tolerance) << cp.code << " " << g.x << " " << g.y;
    }
  }
}

// Systems with different datums meet through WGS 84: the pivot must land
// where the reference lands.
TEST(CrsTransform, PivotPairsAgreeWithCs2cs) {
  if (!have_cs2cs()) GTEST_SKIP() << "cs2cs is not installed";
  struct Pair {
    std::string_view from, to;
    Point lonlat;  // where the point lies
  };
  const Pair pairs[] = {
      {"EPSG:27700", "EPSG:2154", {-1.5, 50.5}}, {"EPSG:2154", "EPSG:27700", {1.5, 50.8}},
      {"EPSG:2056", "EPSG:23032", {8.5, 47}},    {"EPSG:3857", "EPSG:27700", {-2, 53}},
      {"EPSG:23032", "EPSG:25832", {9, 50}},
  };
  const Projection geo = parse_proj4(WGS84_GEO);
  for (const Pair& pair : pairs) {
    const std::string from_def = definition_of(pair.from), to_def = definition_of(pair.to);
    const Projection from = parse_proj4(from_def), to = parse_proj4(to_def);
    const std::optional<Point> start = transform_point(geo, from, pair.lonlat.x, pair.lonlat.y);
    ASSERT_TRUE(start);
    const std::vector<Point> want = cs2cs(from_def, to_def, {*start});
    ASSERT_EQ(want.size(), 1u) << pair.from << " -> " << pair.to;
    const std::optional<Point> got = transform_point(from, to, start->x, start->y);
    ASSERT_TRUE(got);
    EXPECT_LT(std::hypot(got->x - want[0].x, got->y - want[0].y), 5e-3)
        << pair.from << " -> " << pair.to;
  }
}

// Aspects and variants the table does not use, each on its own ellipsoid with
// no datum step: the projection formulas alone, forward against the reference
// and back again.
TEST(CrsTransform, OtherAspectsAgreeWithCs2csAndInvert) {
  if (!have_cs2cs()) GTEST_SKIP() << "cs2cs is not installed";
  struct Row {
    std::string_view projection;
    std::string_view ellipsoid;
    std::vector<Point> points;  // longitude, latitude (degrees)
  };
  const Row rows[] = {
      {"+proj=stere +lat_0=52 +lon_0=5 +k=0.9999 +x_0=155000 +y_0=463000",
       "+ellps=bessel",
       {{5, 52}, {3.5, 51}, {7.2, 53.5}, {-20, 30}}},
      {"+proj=stere +lat_0=0 +lon_0=-60 +k=1", "+ellps=intl", {{-60, 0}, {-40, 20}, {-90, -50}}},
      {"+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=30",
       "+a=6371000 +b=6371000",
       {{30, -90}, {0, -70}, {150, -50}}},
      {"+proj=stere +lat_0=40 +lon_0=10", "+a=6371000 +b=6371000", {{10, 40}, {30, 60}, {-20, 10}}},
      {"+proj=lcc +lat_1=-30 +lat_2=-45 +lat_0=-40 +lon_0=140 +x_0=1000000",
       "+ellps=GRS80",
       {{140, -40}, {130, -25}, {150, -50}}},
      {"+proj=lcc +lat_1=45 +lat_0=45 +lon_0=-100 +k_0=0.9998",
       "+ellps=WGS84",
       {{-100, 45}, {-80, 30}, {-120, 60}}},
      {"+proj=merc +lat_ts=30 +lon_0=100 +x_0=50",
       "+ellps=WGS84",
       {{100, 0}, {120, 60}, {80, -70}}},
      {"+proj=tmerc +lat_0=0 +lon_0=20 +k=0.9999",
       "+a=6371000 +b=6371000",
       {{20, 0}, {50, 40}, {-10, -60}}},
      {"+proj=tmerc +lat_0=30 +lon_0=-100 +k=0.9996 +x_0=200000",
       "+ellps=GRS80",
       {{-100, 30}, {-98, 45}, {-103, 10}}},
      {"+proj=utm +zone=20 +south", "+ellps=intl", {{-63, -10}, {-70, -50}, {-57, -1}}},
      {"+proj=somerc +lat_0=47.14 +lon_0=19.05 +k_0=0.99993 +x_0=650000 +y_0=200000",
       "+ellps=GRS80",
       {{19.05, 47.14}, {16.5, 45.8}, {22.8, 48.5}}},
  };
  for (const Row& row : rows) {
    const std::string from_def = "+proj=longlat " + std::string(row.ellipsoid);
    const std::string to_def = std::string(row.projection) + " " + std::string(row.ellipsoid);
    const Projection from = parse_proj4(from_def), to = parse_proj4(to_def);
    const std::vector<Point> want = cs2cs(from_def, to_def, row.points);
    ASSERT_EQ(want.size(), row.points.size()) << to_def;
    for (std::size_t i = 0; i < want.size(); ++i) {
      const Point g = row.points[i];
      const std::optional<Point> got = transform_point(from, to, g.x, g.y);
      ASSERT_TRUE(got) << to_def << " " << g.x << " " << g.y;
      EXPECT_LT(std::hypot(got->x - want[i].x, got->y - want[i].y), 1e-3)
          << to_def << " " << g.x << " " << g.y << ": " << got->x << " " << got->y << " vs "
          << want[i].x << " " << want[i].y;
      const std::optional<Point> back = transform_point(to, from, got->x, got->y);
      ASSERT_TRUE(back) << to_def << " " << g.x << " " << g.y;
      EXPECT_LT(ground_distance(*back, g), 1e-3) << to_def << " " << g.x << " " << g.y;
    }
  }
}

// ---- The tool ----

const std::string UNKNOWN_HINT =
    "\" — try EPSG:4326, 3857, 2154, 27700, 25832/33, 326xx, 2056, 3413, 3031";
const std::string USAGE =
    "Usage: <x/lat> <y/lng> <from> <to>  e.g. 48.8566 2.3522 EPSG:4326 EPSG:2154";

TEST(CrsTool, Answers) {
  struct Row {
    std::string_view input;
    std::string_view output;
  };
  const Row rows[] = {
      {"48.8566 2.3522 EPSG:4326 EPSG:2154",
       "in:   48.856600, 2.352200 (EPSG:4326)\nout:  652,469.02 E, 6,862,035.26 N (EPSG:2154)"},
      {"48.8566, 2.3522 2154",
       "in:   48.856600, 2.352200 (EPSG:4326)\nout:  652,469.02 E, 6,862,035.26 N (EPSG:2154)"},
      {"652469.02 6862035.26 EPSG:2154",
       "in:   652,469.02 E, 6,862,035.26 N (EPSG:2154)\nout:  48.856600, 2.352200 (EPSG:4326)"},
      {" \u3000epsg:3857\t48 2\n",
       "in:   48.000000, 2.000000 (EPSG:4326)\nout:  222,638.98 E, 6,106,854.83 N (EPSG:3857)"},
      {"40.7128 -74.006 EPSG:32618",
       "in:   40.712800, -74.006000 (EPSG:4326)\nout:  583,959.37 E, 4,507,351 N (EPSG:32618)"},
      {"583959.37 4507351 EPSG:32618 EPSG:26918",
       "in:   583,959.37 E, 4,507,351 N (EPSG:32618)\nout:  583,959.37 E, 4,507,351 N "
       "(EPSG:26918)"},
      {"-33.8688 +151.2093 32756",
       "in:   -33.868800, 151.209300 (EPSG:4326)\nout:  334,368.63 E, 6,250,948.35 N "
       "(EPSG:32756)"},
      {"51.5007 -0.1246 EPSG:27700,,",
       "in:   51.500700, -0.124600 (EPSG:4326)\nout:  530,269.9 E, 179,640.72 N (EPSG:27700)"},
      {"1 2 EPSG:4326 EPSG:4326",
       "in:   1.000000, 2.000000 (EPSG:4326)\nout:  1.000000, 2.000000 (EPSG:4326)"},
  };
  for (const Row& row : rows) {
    const ToolResult r = run_tool("crs", row.input, nullptr);
    EXPECT_TRUE(r.is_ok()) << row.input << ": " << r.text();
    EXPECT_EQ(r.text(), row.output) << row.input;
  }
}

TEST(CrsTool, ErrorsInTheirOrder) {
  struct Row {
    std::string_view input;
    std::string error;
  };
  const Row rows[] = {
      {" \t ", "Empty input"},
      {"48,2 EPSG:2154", "Cannot parse \"48,2\" — expected numbers and EPSG codes"},
      {"1e5 2 EPSG:2154", "Cannot parse \"1e5\" — expected numbers and EPSG codes"},
      {".5 2 EPSG:2154", "Cannot parse \".5\" — expected numbers and EPSG codes"},
      {"5. 2 EPSG:2154", "Cannot parse \"5.\" — expected numbers and EPSG codes"},
      {"1,5, 2 EPSG:2154", "Cannot parse \"1,5,\" — expected numbers and EPSG codes"},
      {"1 2 3 , EPSG:4326", "Cannot parse \",\" — expected numbers and EPSG codes"},
      {"1 2 EPSG: 3", "Cannot parse \"EPSG:\" — expected numbers and EPSG codes"},
      {"48 2 1234 EPSG:2154", USAGE},
      {"1 2 3 EPSG:4326", USAGE},
      {"1 2 3", USAGE},
      {"EPSG:4326", USAGE},
      {"1 2", "Name a CRS, e.g. … EPSG:4326 EPSG:2154"},
      {"1 2 EPSG:4326 EPSG:3857 EPSG:2154", "At most two CRS codes"},
      {"48 2 EPSG:9999", "Unknown CRS \"EPSG:9999" + UNKNOWN_HINT},
      {"48 2 32661", "Unknown CRS \"EPSG:32661" + UNKNOWN_HINT},
      {"48 2 32699 EPSG:9999", "Unknown CRS \"EPSG:32699" + UNKNOWN_HINT},
      {"48 2 EPSG:4326 EPSG:04326", "Unknown CRS \"EPSG:04326" + UNKNOWN_HINT},
      {"90 0 EPSG:3857", "Transformation failed — point out of scope for this CRS?"},
      // Answers with a NaN or infinite coordinate are failures too: the south
      // pole in the north polar system, a latitude past the pole in Mercator,
      // a zone 270° away, an easting beyond the series' reach.
      {"-90 135 EPSG:3413", "Transformation failed — point out of scope for this CRS?"},
      {"-90 0 EPSG:3413", "Transformation failed — point out of scope for this CRS?"},
      {"90 0 EPSG:3031", "Transformation failed — point out of scope for this CRS?"},
      {"95 10 EPSG:4326 EPSG:3857", "Transformation failed — point out of scope for this CRS?"},
      {"377632.63 9226132.38 EPSG:32748 EPSG:32703",
       "Transformation failed — point out of scope for this CRS?"},
      {"30000000 0 EPSG:32633 EPSG:4326",
       "Transformation failed — point out of scope for this CRS?"},
  };
  for (const Row& row : rows) {
    const ToolResult r = run_tool("crs", row.input, nullptr);
    EXPECT_FALSE(r.is_ok()) << row.input;
    EXPECT_EQ(r.text(), row.error) << row.input;
  }
}

TEST(CrsTool, LargeInputsAnswerQuickly) {
  std::string many;
  for (int i = 0; i < 200000; ++i) many += "EPSG:4326 ";
  EXPECT_EQ(run_tool("crs", "1 2 " + many, nullptr).text(), "At most two CRS codes");
  std::string digits(2 << 20, '9');
  EXPECT_EQ(run_tool("crs", digits + " 2 EPSG:3857", nullptr).text(),
            "Transformation failed — point out of scope for this CRS?");
}

}  // namespace
}  // namespace pelloriand::tools::crs
