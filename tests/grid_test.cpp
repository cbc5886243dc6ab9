// UTM / MGRS grid helpers and the utm, mgrs and pluscode tools.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "number.h"
#include "tools/entries.h"
#include "tools/geo.h"

namespace pelloriand::tools::geo {
namespace {

TEST(UtmZone, SixDegreeZonesWithNorwayAndSvalbard) {
  struct Row {
    double longitude, latitude;
    int zone;
  };
  const Row rows[] = {
      {-77.0365, 38.8977, 18},
      {-180, 0, 1},
      {179.99, 0, 60},
      {180, 0, 60},
      {180, -45, 60},
      {5, 60.5, 32},
      {2.5, 60.5, 31},
      {11.99, 63.99, 32},
      {5, 64, 31},
      {5, 55.99, 31},
      {15, 78, 33},
      {8.9, 78, 31},
      {40, 78, 37},
      {21, 72, 35},
      {42, 78, 38},
      {10, 83.9, 33},
      {10, 84, 32},
      {10, 71.99, 32},
      {-0.0, 0, 31},
      {-6, 0, 30},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(utm_zone(r.longitude, r.latitude), r.zone) << r.longitude << ", " << r.latitude;
  }
  EXPECT_EQ(utm_zone(std::nan(""), 0), 0);
  EXPECT_EQ(utm_zone(1e300, 0), std::numeric_limits<int>::max());
}

TEST(UtmForward, ReferencePoints) {
  struct Row {
    double latitude, longitude;
    int zone;
    double easting, northing;
  };
  const Row rows[] = {
      {38.8977, -77.0365, 18, 323394, 4307396},
      {-33.8688, 151.2093, 56, 334369, 6250948},
      {0, 0, 31, 166021, 0},
      {60.5, 5, 32, 280356, 6713774},
  };
  for (const Row& r : rows) {
    const UtmCoordinates u = latlon_to_utm(r.latitude, r.longitude, r.zone);
    EXPECT_EQ(std::round(u.easting), r.easting) << r.latitude << ", " << r.longitude;
    EXPECT_EQ(std::round(u.northing), r.northing) << r.latitude << ", " << r.longitude;
  }
}

TEST(UtmInverse, ReferencePoints) {
  struct Row {
    int zone;
    double easting, northing;
    const char* latitude;
    const char* longitude;
  };
  const Row rows[] = {
      {18, 322764, 4314187, "38.958734", "-77.045520"},
      {56, 334369, 6250948 - 10000000.0, "-33.868803", "151.209304"},
      {56, 334369, 6250948, "56.374117", "150.317946"},
      {18, 500000, 10000000, "0.000000", "-75.000000"},
  };
  for (const Row& r : rows) {
    const LatLng p = utm_inverse(r.zone, r.easting, r.northing);
    EXPECT_EQ(number::format_decimals(p.latitude, 6), r.latitude) << r.easting << " " << r.northing;
    EXPECT_EQ(number::format_decimals(p.longitude, 6), r.longitude)
        << r.easting << " " << r.northing;
  }
}

// Forward then inverse over both hemispheres, zone edges (including the
// widened Norway and Svalbard zones) and band edges: within a standard zone the
// point comes back to well within the six decimals the tools print; 6° from
// the central meridian, which only the widened zones reach, the truncated
// series drift by about one unit of the sixth decimal (a few centimetres).
TEST(UtmRoundTrip, ForwardThenInverseReturnsThePoint) {
  std::vector<std::pair<double, double>> points;
  for (double lat : {-80.0, -79.9, -72.0, -56.0, -33.8688, -8.0, -0.000001, 0.0, 0.5, 8.0, 38.8977,
                     55.99, 56.0, 63.99, 64.0, 71.99, 72.0, 78.0, 83.99}) {
    for (double lng : {-180.0, -179.99, -77.0365, -3.0, -0.01, 0.0, 2.99, 3.0, 8.99, 9.0, 11.99,
                       20.99, 32.99, 41.99, 42.0, 151.2093, 179.99, 180.0}) {
      points.emplace_back(lat, lng);
    }
  }
  for (const auto& [lat, lng] : points) {
    const int zone = utm_zone(lng, lat);
    ASSERT_GE(zone, 1);
    ASSERT_LE(zone, 60);
    const UtmCoordinates u = latlon_to_utm(lat, lng, zone);
    EXPECT_GT(u.easting, 100000) << lat << ", " << lng;
    EXPECT_LT(u.easting, 900000) << lat << ", " << lng;
    const double northing = lat < 0 ? u.northing - 10000000.0 : u.northing;
    const LatLng back = utm_inverse(zone, u.easting, northing);
    const bool widened = std::abs(lng - ((zone - 1) * 6 - 177)) > 3.0;
    const double tolerance = widened ? 2e-6 : 5e-8;
    EXPECT_NEAR(back.latitude, lat, tolerance) << lat << ", " << lng;
    EXPECT_NEAR(back.longitude, lng, tolerance) << lat << ", " << lng;
  }
}

TEST(MgrsBand, EightDegreeBandsWithWideX) {
  struct Row {
    double latitude;
    std::optional<char> band;
  };
  const Row rows[] = {
      {-80, 'C'},
      {-72.0001, 'C'},
      {-72, 'D'},
      {-0.000001, 'M'},
      {0, 'N'},
      {-0.0, 'N'},
      {71.99, 'W'},
      {72, 'X'},
      {79.9, 'X'},
      {83.9, 'X'},
      {84, std::nullopt},
      {-80.5, std::nullopt},
      {std::nan(""), std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(mgrs_band(r.latitude), r.band) << r.latitude;
}

TEST(MgrsSquare, LettersBothWays) {
  struct Row {
    int zone;
    double easting, northing;
    char column, row;
  };
  const Row rows[] = {
      {18, 323394, 4307396, 'U', 'J'}, {31, 166021, 0, 'A', 'A'},
      {32, 280356, 6713774, 'K', 'N'}, {33, 500000, 8658369, 'W', 'G'},
      {56, 334369, 6250948, 'L', 'H'},
  };
  for (const Row& r : rows) {
    const SquareLetters s = mgrs_square_letters(r.zone, r.easting, r.northing);
    EXPECT_EQ(s.column, r.column) << r.zone << " " << r.easting;
    EXPECT_EQ(s.row, r.row) << r.zone << " " << r.northing;
    // The letters lead back to the square's south-west corner.
    EXPECT_EQ(mgrs_column_easting(r.zone, s.column), std::floor(r.easting / 100000) * 100000);
    EXPECT_EQ(mgrs_row_northing(r.zone, s.row),
              std::fmod(std::floor(r.northing / 100000), 20) * 100000);
  }
  EXPECT_EQ(mgrs_column_easting(18, 'A'), std::nullopt);
  EXPECT_EQ(mgrs_column_easting(17, 'U'), std::nullopt);
  EXPECT_EQ(mgrs_row_northing(18, 'I'), std::nullopt);
  EXPECT_EQ(mgrs_row_northing(18, 'W'), std::nullopt);
  // Eastings no zone reaches are held to the outer columns instead of reading past the set.
  EXPECT_EQ(mgrs_square_letters(1, -5e6, 0).column, 'A');
  EXPECT_EQ(mgrs_square_letters(1, 5e9, 0).column, 'H');
}

}  // namespace
}  // namespace pelloriand::tools::geo
