// UTM / MGRS grid helpers and the utm, mgrs and pluscode tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "number.h"
#include "pelloriand/tool.h"
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

struct ToolRow {
  std::string input;
  std::string expected;
  bool ok = true;
};

ToolRow error(std::string input, std::string sentence) {
  return {std::move(input), std::move(sentence), false};
}

void check_rows(ToolResult (*tool)(std::string_view), const std::vector<ToolRow>& rows) {
  for (const ToolRow& row : rows) {
    const ToolResult r = tool(row.input);
    EXPECT_EQ(r.text(), row.expected) << "input: " << row.input;
    EXPECT_EQ(r.is_ok(), row.ok) << "input: " << row.input;
  }
}

TEST(UtmTool, ForwardAndReverse) {
  const std::string usage = "Expected lat,lng or UTM like 18S 322764 4314187";
  const std::string washington = "lat/lng:  38.958734, -77.045520";
  check_rows(
      utm_tool,
      {
          {"38.8977, -77.0365",
           "zone:      18S (northern hemisphere)\neasting:   323,394 m\nnorthing:  4,307,396 m\n"
           "lat/lng:   38.897700, -77.036500"},
          {"-33.8688, 151.2093",
           "zone:      56H (southern hemisphere)\neasting:   334,369 m\nnorthing:  6,250,948 m\n"
           "lat/lng:   -33.868800, 151.209300"},
          {"60.5, 5",
           "zone:      32V (northern hemisphere)\neasting:   280,356 m\nnorthing:  6,713,774 m\n"
           "lat/lng:   60.500000, 5.000000"},
          {"0, 0",
           "zone:      31N (northern hemisphere)\neasting:   166,021 m\nnorthing:  0 m\n"
           "lat/lng:   0.000000, 0.000000"},
          {"18S 322764 4314187", washington},
          {"18s 322764 4314187", washington},
          {"18 S 322764 4314187", washington},
          {"18 322764 4314187", washington},
          {"18\tS\t322764\t4314187", washington},
          {"56H 334369 6250948", "lat/lng:  -33.868803, 151.209304"},
          {"56 334369 6250948", "lat/lng:  56.374117, 150.317946"},
          {"07N 500000 0", "lat/lng:  0.000000, -141.000000"},
          {"18N 500000 10000000", "lat/lng:  0.000000, -75.000000"},
          {"18M 500000 9999000", "lat/lng:  -0.009047, -75.000000"},
          error("18S322764 4314187", usage),
          error("18S 322764,4314187", usage),
          error("18S 322,764 4,314,187", usage),
          error("18 500000", usage),
          error("18", usage),
          error("18 S", usage),
          error("S 500000 0", usage),
          error("18S 322764 4314187 x", usage),
          error("18S\v322764 4314187", usage),
          error("18S 322764 -4314187", usage),
          error("85, 0", "Outside the MGRS latitude range (80°S–84°N)"),
          error("-80.5, 0", "Outside the MGRS latitude range (80°S–84°N)"),
          error("00N 500000 0", "Invalid UTM zone: 0"),
          error("61N 500000 0", "Invalid UTM zone: 61"),
          error("18A 500000 0", "Invalid latitude band: A"),
          error("18N 1000001 0", "Easting/northing out of range"),
          error("18N 500000 " + std::string(400, '9'), "Easting/northing out of range"),
          error("18 500000 9999000", "Coordinates fall outside the UTM range"),
          error("", "Empty input"),
      });
  // Longitude 180 is the eastern edge of zone 60, not a zone 61; and a text
  // whose first numbers form a pair is converted forward.
  EXPECT_EQ(utm_tool("0, 180").text().substr(0, 37), "zone:      60N (northern hemisphere)\n");
  EXPECT_EQ(utm_tool("18S 20 30").text().substr(0, 37), "zone:      34K (southern hemisphere)\n");
}

TEST(MgrsTool, ForwardAndReverse) {
  const std::string usage = "Expected MGRS like 18S UJ 2287 0696";
  const std::string ten = "lat/lng:  38.893671, -77.042430\nprecision: ±10 m";
  check_rows(mgrs_tool,
             {
                 {"38.8977, -77.0365",
                  "mgrs:     18SUJ 23394 07395\nutm:      zone 18, E 323,394 m, N 4,307,396 m\n"
                  "lat/lng:  38.897700, -77.036500"},
                 {"-33.8688, 151.2093",
                  "mgrs:     56HLH 34368 50948\nutm:      zone 56, E 334,369 m, N 6,250,948 m\n"
                  "lat/lng:  -33.868800, 151.209300"},
                 {"0, 0",
                  "mgrs:     31NAA 66021 00000\nutm:      zone 31, E 166,021 m, N 0 m\n"
                  "lat/lng:  0.000000, 0.000000"},
                 {"18S UJ 2287 0696", ten},
                 {"18s uj 2287 0696", ten},
                 {"18S_UJ_2287_0696", ten},
                 {"18S-UJ-2287-0696", ten},
                 {"18SUJ2287006960", "lat/lng:  38.893671, -77.042430\nprecision: ±1 m"},
                 {"18S UJ 23394 07396", "lat/lng:  38.897703, -77.036504\nprecision: ±1 m"},
                 {"31NEA0000000000", "lat/lng:  0.000000, 3.000000\nprecision: ±1 m"},
                 // The forward reference of (-71.838273, 143.539321): the first candidate
                 // of the 2,000 km cycle diverges to longitude 5566° inside the band
                 // window; the second is the south-west corner of the point's metre.
                 {"54DWF 88318 27246", "lat/lng:  -71.838279, 143.539293\nprecision: ±1 m"},
                 // Squares whose corner lies outside the band they reach into: the
                 // 100 km square of 56.0142N 10.8426E starts south of band V, and a
                 // Svalbard square of zone 35 starts 4° west of the widened zone.
                 {"32VPH", "lat/lng:  55.934976, 10.600782\nprecision: ±100000 m"},
                 {"35XLK", "lat/lng:  80.004743, 16.624991\nprecision: ±100000 m"},
                 error("18S UJ\t2287 0696", usage),
                 error("18S UJ 2287 0696 x", usage),
                 error("hello", usage),
                 error("183UJ", usage),
                 error("18SU", usage),
                 error("61NAA", "Invalid UTM zone: 61"),
                 error("00NAA", "Invalid UTM zone: 0"),
                 error("18IUJ", "Invalid latitude band: I"),
                 error("18SAJ", "Column A is not valid in zone 18"),
                 error("17SUJ", "Column U is not valid in zone 17"),
                 error("18SUI", "Invalid row letter: I"),
                 error("18SUJ 123", "MGRS needs an even number of digits (up to 10)"),
                 error("18SUJ12345678901", "MGRS needs an even number of digits (up to 10)"),
                 error("18SUJ" + std::string(2 << 20, '1'),
                       "MGRS needs an even number of digits (up to 10)"),
                 error("31NEV9999999999", "Grid reference falls outside its latitude band"),
                 error("85, 0", "Outside the MGRS latitude range (80°S–84°N)"),
                 error(" ", "Empty input"),
             });
  for (const char* same : {"18SUJ", "4QFJ12345678", "04QFJ12345678"}) {
    EXPECT_TRUE(mgrs_tool(same).is_ok()) << same;
  }
  EXPECT_EQ(mgrs_tool("4QFJ12345678").text(), mgrs_tool("04QFJ12345678").text());
  const std::pair<const char*, const char*> references[] = {
      {"40.7128, -74.0060", "18TWL 83959 07350"},
      {"60.5, 5", "32VKN 80356 13774"},
      {"78, 15", "33XWG 00000 58369"},
      {"-71.838273, 143.539321", "54DWF 88318 27246"},
  };
  for (const auto& [point, reference] : references) {
    EXPECT_EQ(mgrs_tool(point).text().substr(10, 17), reference) << point;
  }
  EXPECT_EQ(mgrs_tool("18SUJ").text().substr(mgrs_tool("18SUJ").text().find('\n')),
            "\nprecision: ±100000 m");
}

// Random points over the whole grid, band edges, Norway and Svalbard among
// them: the forward reference cut to each precision from 1 m to 100 km reads
// back as the south-west corner of the square that holds the point, in the
// point's own 2,000 km cycle.
TEST(MgrsTool, EveryCutOfAForwardReferenceReadsBack) {
  std::mt19937 random(20261210);
  const auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 1500; ++i) {
    const double edge = -80.0 + 8.0 * static_cast<double>(i % 21);
    points.emplace_back(uniform(-80, 84), uniform(-180, 180));
    points.emplace_back(std::clamp(edge + uniform(-0.6, 0.6), -80.0, 83.999999),
                        uniform(-180, 180));
    points.emplace_back(uniform(55.5, 64.5), uniform(2.5, 12.5));
    points.emplace_back(uniform(71.5, 83.999999), uniform(-0.5, 42.5));
  }
  for (const auto& [lat, lng] : points) {
    const std::string input =
        number::format_decimals(lat, 6) + ", " + number::format_decimals(lng, 6);
    const std::string forward = mgrs_tool(input).text();
    ASSERT_EQ(forward.substr(0, 10), "mgrs:     ") << input;
    const std::string reference =
        forward.substr(10, forward.find('\n') - 10);  // "18SUJ 23394 07395"
    const std::size_t gap = reference.find(' ');
    const std::string head = reference.substr(0, gap);
    const std::string e = reference.substr(gap + 1, 5), n = reference.substr(gap + 7, 5);
    const int zone = std::stoi(head.substr(0, 2));
    const bool southern = head[2] < 'N';
    const double point_lat = std::strtod(input.c_str(), nullptr);
    const double point_lng = std::strtod(input.c_str() + input.find(", ") + 2, nullptr);
    const UtmCoordinates grid = latlon_to_utm(point_lat, point_lng, zone);
    for (int k = 0; k <= 5; ++k) {
      const double size = std::pow(10.0, 5 - k);
      const double easting = std::floor(grid.easting / size) * size;
      const double northing = std::floor(grid.northing / size) * size - (southern ? 1e7 : 0);
      const LatLng corner = utm_inverse(zone, easting, northing);
      const std::string cut = head + e.substr(0, k) + n.substr(0, k);
      EXPECT_EQ(mgrs_tool(cut).text(), "lat/lng:  " + number::format_decimals(corner.latitude, 6) +
                                           ", " + number::format_decimals(corner.longitude, 6) +
                                           "\nprecision: ±" +
                                           std::to_string(static_cast<int>(size)) + " m")
          << input << " -> " << cut;
    }
  }
}

TEST(PluscodeTool, EncodeAndDecode) {
  const std::string length = "Plus-code length is 2, 4, 6, 8, 10…15";
  const std::string short_code = "Short codes need a reference location — paste a full code";
  const auto zurich = [](std::string code) {
    return "plus:     " + code + "\nlat/lng:  47.365590, 8.524997";
  };
  check_rows(
      pluscode_tool,
      {
          {"40.7128, -74.0060", "plus:     87G7PX7V+4J\nlat/lng:  40.712800, -74.006000"},
          {"38.8977, -77.0365", "plus:     87C4VXX7+3C\nlat/lng:  38.897700, -77.036500"},
          {"47.365590, 8.524997", zurich("8FVC9G8F+6X")},
          {"47.365590, 8.524997, 11", zurich("8FVC9G8F+6XQ")},
          {"47.365590, 8.524997, 15", zurich("8FVC9G8F+6XQQ435")},
          {"47.365590, 8.524997, 8", zurich("8FVC9G8F+")},
          {"47.365590, 8.524997, 6", zurich("8FVC9G00+")},
          {"47.365590, 8.524997, 2", zurich("8F000000+")},
          {"90, 180", "plus:     C2X2X2X2+X2\nlat/lng:  90.000000, 180.000000"},
          {"90, 0, 15", "plus:     CFX2X2X2+X2RRRRR\nlat/lng:  90.000000, 0.000000"},
          {"-90, -180", "plus:     22222222+22\nlat/lng:  -90.000000, -180.000000"},
          {"0, 0", "plus:     6FG22222+22\nlat/lng:  0.000000, 0.000000"},
          {"87G7PX7V+4J",
           "center:   40.712812, -74.005938\ncell:     ±7 m lat × ±5 m lng (10 chars)"},
          {"8fvc9g8f+6x",
           "center:   47.365562, 8.524938\ncell:     ±7 m lat × ±5 m lng (10 chars)"},
          {"8FVC9G8F6X+",
           "center:   47.365562, 8.524938\ncell:     ±7 m lat × ±5 m lng (10 chars)"},
          {"8FVC9G8F+",
           "center:   47.366250, 8.523750\ncell:     ±139 m lat × ±94 m lng (8 chars)"},
          {"8FVC9G8F+6XQQ",
           "center:   47.365592, 8.524996\ncell:     ±1 m lat × ±1 m lng (12 chars)"},
          {"9C3W9QCJ+2VX",
           "center:   51.370112, -1.217766\ncell:     ±1 m lat × ±1 m lng (11 chars)"},
          {"8FVC9G8F+6XQQ435" + std::string(2 << 20, 'X'),
           "center:   47.365590, 8.524997\ncell:     ±1 m lat × ±1 m lng (15 chars)"},
          error("47.365590, 8.524997, 9", length),
          error("47.365590, 8.524997, 10.5", length),
          error("47.365590, 8.524997, 16", length),
          error("91, 0", "Latitude must be within ±90°, longitude within ±180°"),
          error("0, 190", "Latitude must be within ±90°, longitude within ±180°"),
          error("abc", "Expected lat,lng or a plus code like 87G7PX7V+4J"),
          error("1 " + std::string(400, '9'), "Expected lat,lng or a plus code like 87G7PX7V+4J"),
          error("8FVC0000+", short_code),
          error("8FVC9G00+", short_code),
          error("+", short_code),
          error("8FVC9G8F+6A", "\"A\" is not a plus-code character"),
          error("8FVC9G8F+6é", "\"É\" is not a plus-code character"),
          error("+48.85, 2.35", "\".\" is not a plus-code character"),
          error("8FVC9G8F+6",
                "Plus codes have 8 or 10 to 15 digits — one digit after \"+\" is incomplete"),
          error("F2222222+22", "\"F\" cannot start a plus code (latitude digits run to C)"),
          error("2W222222+22",
                "\"W\" cannot be a plus code's second digit (longitude digits run to V)"),
          error("", "Empty input"),
      });
  // Encoding then decoding lands inside the encoded cell.
  for (double lat : {-89.9, -33.8688, -0.00001, 0.0, 40.7128, 89.99999}) {
    for (double lng : {-179.99999, -74.006, 0.0, 8.524997, 179.99999}) {
      for (int len : {8, 10, 11, 15}) {
        const std::string in = number::format_decimals(lat, 6) + " " +
                               number::format_decimals(lng, 6) + " " + std::to_string(len);
        const std::string code = pluscode_tool(in).text().substr(10, 16);
        const std::string decoded = pluscode_tool(code.substr(0, code.find('\n'))).text();
        ASSERT_EQ(decoded.substr(0, 10), "center:   ") << in << " -> " << code;
        const double clat = std::strtod(decoded.c_str() + 10, nullptr);
        const double clng = std::strtod(decoded.c_str() + decoded.find(", ") + 2, nullptr);
        const double half =
            len <= 10 ? (len == 8 ? 0.0025 : 0.000125) / 2 : 0.000125 / std::pow(5, len - 10) / 2;
        EXPECT_NEAR(clat, lat, half + 1e-6) << in << " -> " << code;
        EXPECT_NEAR(clng, lng, 0.0025 / 2 + 1e-6) << in << " -> " << code;
      }
    }
  }
}

TEST(GridTools, LargeInputsAnswerWithTheirSentences) {
  const std::string digits(2 << 20, '7');
  std::string many_numbers;
  for (int i = 0; i < 200000; ++i) many_numbers += "1.5x";
  EXPECT_EQ(utm_tool(digits).text(), "Expected lat,lng or UTM like 18S 322764 4314187");
  EXPECT_EQ(utm_tool("18 " + digits + " 0").text(), "Easting/northing out of range");
  EXPECT_EQ(utm_tool(many_numbers).text(), "Expected lat,lng or UTM like 18S 322764 4314187");
  EXPECT_EQ(mgrs_tool(digits).text(), "Expected MGRS like 18S UJ 2287 0696");
  EXPECT_EQ(mgrs_tool(many_numbers).text(), "Expected MGRS like 18S UJ 2287 0696");
  EXPECT_EQ(pluscode_tool(digits).text(), "Expected lat,lng or a plus code like 87G7PX7V+4J");
  EXPECT_EQ(pluscode_tool(many_numbers + " 9").text(), "Plus-code length is 2, 4, 6, 8, 10…15");
  EXPECT_EQ(pluscode_tool("+" + std::string(2 << 20, '1')).text(),
            "\"1\" is not a plus-code character");
  EXPECT_EQ(pluscode_tool("+" + digits).text().substr(0, 47),
            "center:   15.263156, -74.736833\ncell:     ±1 m");
  EXPECT_EQ(pluscode_tool("Infinity, NaN").text(),
            "Expected lat,lng or a plus code like 87G7PX7V+4J");
}

// Forward then reverse through the tools' own texts: the metre reference
// names the south-west corner of the point's metre, so the reading comes back
// within about 1.5 m; the UTM text is rounded to the metre likewise.
TEST(GridTools, RoundTripThroughTheirTexts) {
  const auto numbers_of = [](const std::string& line, std::size_t from) {
    const std::size_t comma = line.find(", ", from);
    if (comma == std::string::npos) return std::pair{std::nan(""), std::nan("")};
    return std::pair{std::strtod(line.c_str() + from, nullptr),
                     std::strtod(line.c_str() + comma + 2, nullptr)};
  };
  for (double lat : {-79.99, -72.001, -71.999, -40.0, -8.0005, -0.0001, 0.0001, 7.9999, 38.8977,
                     55.999, 56.001, 63.999, 71.999, 72.001, 80.0, 83.999}) {
    for (double lng : {-179.999, -120.5, -77.0365, -3.0001, 0.0001, 2.9999, 3.0001, 8.999, 9.001,
                       11.999, 20.999, 21.001, 32.999, 41.999, 42.001, 151.2093, 179.999, 180.0}) {
      const std::string input =
          number::format_decimals(lat, 6) + ", " + number::format_decimals(lng, 6);
      const std::string forward = mgrs_tool(input).text();
      ASSERT_EQ(forward.substr(0, 10), "mgrs:     ") << input;
      // Written without spaces: "31NFA 00011 00011" would read as the pair (11, 11).
      std::string reference = forward.substr(10, forward.find('\n') - 10);
      std::erase(reference, ' ');
      const ToolResult back = mgrs_tool(reference);
      ASSERT_TRUE(back.is_ok()) << input << " -> " << forward << " -> " << back.text();
      const auto [blat, blng] = numbers_of(back.text(), 10);
      const double metres_per_degree = 111320.0;
      EXPECT_NEAR(blat, lat, 2 / metres_per_degree) << input;
      EXPECT_NEAR(blng, lng, 2 / (metres_per_degree * std::cos(lat * 3.141592653589793 / 180)))
          << input;

      const std::string utm = utm_tool(input).text();
      const std::size_t zone_end = utm.find(' ', 11);
      std::string easting = utm.substr(utm.find("easting:") + 11);
      easting = easting.substr(0, easting.find(' '));
      std::string northing = utm.substr(utm.find("northing:") + 11);
      northing = northing.substr(0, northing.find(' '));
      for (std::string* s : {&easting, &northing}) std::erase(*s, ',');
      const std::string text = utm.substr(11, zone_end - 11) + " " + easting + " " + northing;
      const ToolResult utm_back = utm_tool(text);
      ASSERT_TRUE(utm_back.is_ok()) << input << " -> " << text << " -> " << utm_back.text();
      const auto [ulat, ulng] = numbers_of(utm_back.text(), 10);
      EXPECT_NEAR(ulat, lat, 1 / metres_per_degree) << text;
      EXPECT_NEAR(ulng, std::fmod(lng + 180, 360) - 180 == -180 && lng == 180 ? 180 : lng,
                  1 / (metres_per_degree * std::cos(lat * 3.141592653589793 / 180)))
          << text;
    }
  }
}

}  // namespace
}  // namespace pelloriand::tools::geo
