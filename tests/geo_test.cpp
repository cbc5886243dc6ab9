// Coordinate text helpers and the dms, geohash, mercator and geodesic tools.
#include "tools/geo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

using geo::LatLng;

// A tool row: input, then the whole output text or error sentence.
struct ToolRow {
  std::string input;
  std::string expected;
  bool ok = true;
};

void check_rows(ToolResult (*tool)(std::string_view), const std::vector<ToolRow>& rows) {
  for (const ToolRow& row : rows) {
    const ToolResult r = tool(row.input);
    EXPECT_EQ(r.text(), row.expected) << "input: " << row.input;
    EXPECT_EQ(r.is_ok(), row.ok) << "input: " << row.input;
  }
}

ToolRow error(std::string input, std::string sentence) {
  return {std::move(input), std::move(sentence), false};
}

TEST(ScanNumber, SignDigitsAndFractionOnly) {
  using geo::scan_number;
  EXPECT_EQ(scan_number("x-12.5.3", 1)->value, -12.5);
  EXPECT_EQ(scan_number("x-12.5.3", 1)->end, 6u);
  EXPECT_EQ(scan_number("+3", 0)->value, 3);
  EXPECT_EQ(scan_number("1e5", 0)->end, 1u);
  EXPECT_EQ(scan_number("7.", 0)->end, 1u);
  EXPECT_FALSE(scan_number(".5", 0));
  EXPECT_FALSE(scan_number("-", 0));
  EXPECT_FALSE(scan_number("-x", 0));
  EXPECT_FALSE(scan_number("5", 1));
  EXPECT_EQ(scan_number(std::string(400, '9'), 0)->value, HUGE_VAL);
  EXPECT_EQ(scan_number("-" + std::string(400, '9'), 0)->value, -HUGE_VAL);
  EXPECT_EQ(scan_number("0." + std::string(400, '0') + "1", 0)->value, 0.0);
  EXPECT_EQ(scan_number("0.1000000000000000055511151231257827", 0)->value, 0.1);
}

TEST(CollectNumbers, EveryNumberInOrder) {
  using V = std::vector<double>;
  EXPECT_EQ(geo::collect_numbers(""), V{});
  EXPECT_EQ(geo::collect_numbers("+3 -4"), (V{3, -4}));
  EXPECT_EQ(geo::collect_numbers("1-2"), (V{1, -2}));
  EXPECT_EQ(geo::collect_numbers("38.5.3"), (V{38.5, 3}));
  EXPECT_EQ(geo::collect_numbers("-.5 .5 N2 12,5"), (V{5, 5, 2, 12, 5}));
  EXPECT_EQ(geo::collect_numbers("NaN Infinity 1e400"), (V{1, 400}));
}

TEST(SplitAfterLetters, PiecesKeepEmptyEnds) {
  using L = std::vector<std::vector<double>>;
  const std::u32string_view compass = U"NnSsEeWw";
  EXPECT_EQ(geo::split_after_letters("38 53 35 N 77 02 44 W", compass),
            (L{{38, 53, 35}, {77, 2, 44}, {}}));
  EXPECT_EQ(geo::split_after_letters("N1°2", U"N°"), (L{{}, {1}, {2}}));
  EXPECT_EQ(geo::split_after_letters("", compass), (L{{}}));
  EXPECT_EQ(geo::split_after_letters("1 N 2 N 3 N 4", compass, 2), (L{{1}, {2}}));
}

TEST(ParseCoordinates, FirstAcceptablePair) {
  struct Row {
    std::string input;
    std::optional<std::pair<double, double>> expected;
  };
  const Row rows[] = {
      {"40.7128, -74.0060", {{40.7128, -74.006}}},
      {"40.7128° N, 74.0060° W", {{40.7128, -74.006}}},
      {"48.85N, 2.35E", {{48.85, 2.35}}},
      {"48.8566;2.3522", {{48.8566, 2.3522}}},
      {"12,-34", {{12, -34}}},
      {"12, 34,", {{12, 34}}},
      {" \u3000 12\u00a0 34 \t", {{12, 34}}},
      {"-33.9 S 151.2 E", {{-33.9, 151.2}}},
      {"-10 N, 20", {{-10, 20}}},
      {"10 20 W", {{10, -20}}},
      {"10 20 ° w", {{10, -20}}},
      {"12 34 56", {{12, 34}}},
      {"abc 12, 34", {{12, 34}}},
      {"1e5 2", {{5, 2}}},
      {"10 s; 20", {{-10, 20}}},
      {"10°N 20", {{10, 20}}},
      {"10 E, 20", std::nullopt},
      {"12-34", std::nullopt},
      {"10°20", std::nullopt},
      {"10 N20", std::nullopt},
      {"lat 40.7 lng -74.0", std::nullopt},
      {"38°53′35″N 77°02′44″W", std::nullopt},
      {"95, 10", std::nullopt},
      {"12", std::nullopt},
      {"", std::nullopt},
      {"1" + std::string(400, '0') + " 2", std::nullopt},
  };
  for (const Row& row : rows) {
    const auto got = geo::parse_coordinates(row.input);
    ASSERT_EQ(got.has_value(), row.expected.has_value()) << "input: " << row.input;
    if (got) {
      EXPECT_EQ(got->latitude, row.expected->first) << "input: " << row.input;
      EXPECT_EQ(got->longitude, row.expected->second) << "input: " << row.input;
    }
  }
}

// The reader shares work between start positions to stay linear; this is the
// search written out literally (every start, every second start, every cut of
// the text between), to compare against on random short texts.
std::optional<LatLng> parse_coordinates_literally(std::string_view input) {
  const std::string_view t = text::trim(input);
  const auto is_ws = [](char32_t c) { return text::is_white_space(c); };
  const auto chars_of = [](std::string_view s) {
    std::u32string out;
    for (std::size_t p = 0; p < s.size();) out.push_back(text::next_code_point(s, p));
    return out;
  };
  for (std::size_t i = 0; i < t.size(); ++i) {
    const auto first = geo::scan_number(t, i);
    if (!first) continue;
    for (std::size_t j = first->end + 1; j <= t.size(); ++j) {
      const auto second = geo::scan_number(t, j);
      if (!second) continue;
      const std::u32string b = chars_of(t.substr(first->end, j - first->end));
      std::optional<char32_t> letter;
      bool accepted = false;
      for (std::size_t cut = 0; cut < b.size() && !accepted; ++cut) {
        std::size_t k = 0;
        while (k < cut && is_ws(b[k])) ++k;
        if (k < cut && b[k] == U'°') {
          ++k;
          while (k < cut && is_ws(b[k])) ++k;
        }
        char32_t l = 0;
        if (k < cut && std::u32string_view(U"NSns").find(b[k]) != std::u32string_view::npos)
          l = b[k++];
        if (k != cut) continue;
        bool tail = true;
        for (std::size_t m = cut; m < b.size(); ++m)
          tail = tail && (is_ws(b[m]) || b[m] == U',' || b[m] == U';');
        if (tail) {
          accepted = true;
          letter = l;
        }
      }
      if (!accepted) continue;
      LatLng p{first->value, second->value};
      std::size_t q = second->end;
      text::skip_white_space(t, q);
      if (t.substr(q).starts_with("°")) {
        q += 2;
        text::skip_white_space(t, q);
      }
      if (*letter == U'S' || *letter == U's') p.latitude = -std::abs(p.latitude);
      if (q < t.size() && (t[q] == 'W' || t[q] == 'w')) p.longitude = -std::abs(p.longitude);
      if (std::abs(p.latitude) <= 90 && std::abs(p.longitude) <= 180) return p;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

TEST(ParseCoordinates, AgreesWithTheLiteralSearch) {
  const std::string_view pieces[] = {"1", "2", "9", "95", ".", "-", "+",      " ", ",",      ";",
                                     "°", "N", "s", "E",  "w", "x", "\u00a0", "′", "123.45", "0"};
  std::uint32_t seed = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string input;
    seed = seed * 1664525 + 1013904223;
    const int count = 1 + static_cast<int>(seed >> 28);
    for (int k = 0; k < count; ++k) {
      seed = seed * 1664525 + 1013904223;
      input += pieces[(seed >> 16) % std::size(pieces)];
    }
    const auto fast = geo::parse_coordinates(input);
    const auto literal = parse_coordinates_literally(input);
    ASSERT_EQ(fast.has_value(), literal.has_value()) << "input: " << input;
    if (fast) {
      EXPECT_EQ(fast->latitude, literal->latitude) << "input: " << input;
      EXPECT_EQ(fast->longitude, literal->longitude) << "input: " << input;
    }
  }
}

TEST(FormatDms, RoundsAndCarries) {
  EXPECT_EQ(geo::format_dms(38.8930556, true), "38°53′35.0″N");
  EXPECT_EQ(geo::format_dms(-77.0455556, false), "77°02′44.0″W");
  EXPECT_EQ(geo::format_dms(40.7128, true), "40°42′46.1″N");
  EXPECT_EQ(geo::format_dms(0, false), "0°00′00.0″E");
  EXPECT_EQ(geo::format_dms(-0.0, true), "0°00′00.0″N");
  EXPECT_EQ(geo::format_dms(-0.5, true), "0°30′00.0″S");
  EXPECT_EQ(geo::format_dms(10.99999999, true), "11°00′00.0″N");
  EXPECT_EQ(geo::format_dms(89.9999999, true), "90°00′00.0″N");
  EXPECT_EQ(geo::format_dms(-180, false), "180°00′00.0″W");
}

TEST(DmsTool, BothDirections) {
  const std::string expected = "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W";
  check_rows(dms_tool, {
                           {"38°53′35″N 77°02′44″W", "decimal:  38.893056, -77.045556"},
                           {"N 38 53 35 W 77 2 44", "decimal:  38.893056, -77.045556"},
                           {"38°53'35\"N 77°02'44\"W", "decimal:  38.893056, -77.045556"},
                           {"38º53′35″N, 77º02′44″W", "decimal:  38.893056, -77.045556"},
                           {"38.8977 N, 77.0365 W", "decimal:  38.897700, -77.036500"},
                           {"38°53.5′N 77°2.75′W", "decimal:  38.891667, -77.045833"},
                           {"38 53 35 N 77 02 44", "decimal:  38.893056, 77.045556"},
                           {"38°53′35″ 77°02′44″W", "decimal:  38.893056, -77.045556"},
                           {"77°02′44″W 38°53′35″N", "decimal:  77.045556, 38.893056"},
                           {"0°30′S 0°30′W", "decimal:  -0.500000, -0.500000"},
                           {"10 -30 N 20 E", "decimal:  9.500000, 20.000000"},
                           {"-38 30 N 20 E", "decimal:  38.500000, 20.000000"},
                           {"1 2 3 4 N 5 E", "decimal:  1.034167, 5.000000"},
                           {"38° 77°", "decimal:  38.000000, 77.000000"},
                           {"12.5 60 N 3 E", "dms:      12°30′00.0″N 60°00′00.0″E"},
                           {"40.7128, -74.0060", "dms:      40°42′46.1″N 74°00′21.6″W"},
                           {"40.7128 -74.0060", "dms:      40°42′46.1″N 74°00′21.6″W"},
                           {"38.5 77.5", "dms:      38°30′00.0″N 77°30′00.0″E"},
                           error("91 N 10 E", expected),
                           error("38 N", expected),
                           error("hello", expected),
                           {"38° 53′ 60″ N 77 E",
                            "dms:      38°00′00.0″N 53°00′00.0″E"},  // seconds 60: decimal reading
                           error("", "Empty input"),
                           error(" \t\u3000 ", "Empty input"),
                       });
}

TEST(GeohashTool, EncodeAndDecode) {
  const std::string expected = "Expected lat,lng or a geohash like ezs42b";
  const std::string precision = "Precision is 1–12 characters";
  check_rows(
      geohash_tool,
      {
          {"57.64911, 10.40744", "geohash:  u4pruydqq\nlat/lng:  57.649110, 10.407440"},
          {"57.64911, 10.40744, 11", "geohash:  u4pruydqqvj\nlat/lng:  57.649110, 10.407440"},
          {"0 0 1", "geohash:  s\nlat/lng:  0.000000, 0.000000"},
          {"-90 -180 12", "geohash:  000000000000\nlat/lng:  -90.000000, -180.000000"},
          {"90, 180, 12", "geohash:  zzzzzzzzzzzz\nlat/lng:  90.000000, 180.000000"},
          {"48.85 N 2.35 W", "geohash:  u09tvkz5y\nlat/lng:  48.850000, 2.350000"},
          {"48.85, 2.35, 5.0", "geohash:  u09tv\nlat/lng:  48.850000, 2.350000"},
          {"ezs42", "center:   42.604980, -5.603027\ncell:     ±2,446 m lat × ±1,800 m lng"},
          {"EZS42", "center:   42.604980, -5.603027\ncell:     ±2,446 m lat × ±1,800 m lng"},
          {"12", "center:   -87.187500, -118.125000\ncell:     ±313,088 m lat × ±30,725 m lng"},
          {"s", "center:   22.500000, 22.500000\ncell:     ±2,504,700 m lat × ±2,314,041 m lng"},
          {"u4pruydqqvj", "center:   57.649111, 10.407440\ncell:     ±0 m lat × ±0 m lng"},
          error("abc", expected),
          error("ezs42!", expected),
          error("1 " + std::string(400, '9'), expected),
          error("0123456789bcd", "Geohashes run 1–12 characters"),
          error("48.85, 2.35, 13", precision),
          error("48.85, 2.35, 0", precision),
          error("48.85, 2.35, 5.5", precision),
          error("91, 0", "Latitude must be within ±90°, longitude within ±180°"),
          error("91, 0, 13", "Latitude must be within ±90°, longitude within ±180°"),
          error("", "Empty input"),
      });
}

TEST(MercatorTool, ForwardAndReverse) {
  const std::string expected = "Expected lat,lng or meters like -8655844, 4698913";
  check_rows(
      mercator_tool,
      {
          {"40.7128, -74.0060",
           "mercator:  -8,238,310, 4,970,072  (EPSG:3857, m)\nlat/lng:   40.712800, -74.006000"},
          {"48.8566 N, 2.3522 E",
           "mercator:  261,846, 6,250,564  (EPSG:3857, m)\nlat/lng:   48.856600, 2.352200"},
          {"-85.05112878, 0",
           "mercator:  0, -20,037,508  (EPSG:3857, m)\nlat/lng:   -85.051129, 0.000000"},
          {"1 2 3", "mercator:  222,639, 111,325  (EPSG:3857, m)\nlat/lng:   1.000000, 2.000000"},
          {"-8655844, 4698913", "lat/lng:  38.840939, -77.756770"},
          {"20037509, 0", "lat/lng:  0.000000, 180.000006"},
          error("85.1, 0", "Web Mercator is undefined beyond ±85.05112878°"),
          error("20037510, 0", "Meters out of range"),
          error("abc", expected),
          error("a1 b2 c3", expected),
          error(std::string(400, '9') + " 0", expected),
          error("", "Empty input"),
      });
}

TEST(GeodesicTool, DistanceAndBearing) {
  const std::string usage = "Usage: lat1,lng1 lat2,lng2  e.g. 40.7128,-74.0060 51.5074,-0.1278";
  const std::string range = "Latitude must be within ±90°, longitude within ±180°";
  check_rows(
      geodesic_tool,
      {
          {"40.7128,-74.0060 51.5074,-0.1278",
           "distance:  5,570 km\n           3,461 mi\n           3,008 nmi\nbearing:   51.2° NE "
           "(initial)"},
          {"0 0 0 0",
           "distance:  0 km\n           0 mi\n           0 nmi\nbearing:   0.0° N (initial)"},
          {"0 0 0 1",
           "distance:  111 km\n           69 mi\n           60 nmi\nbearing:   90.0° E (initial)"},
          {"51.5 -0.12 51.6 -0.12",
           "distance:  11.1 km\n           6.9 mi\n           6 nmi\nbearing:   0.0° N (initial)"},
          {"10 10 -10 -170",
           "distance:  20,015 km\n           12,437 mi\n           10,807 nmi\nbearing:   270.0° W "
           "(initial)"},
          error("1 2 3", usage),
          error("", usage),
          error("1 2 3 " + std::string(400, '9'), usage),
          error("91 0 0 0", range),
          error("0 0 0 181", range),
      });
}

// Hostile inputs must answer with the tools' own sentences. The coordinate
// reader tries every start byte, so its shared work must keep it linear: a
// quadratic reading of these runs for hours, far past the test's time limit
// (bench/geo_bench.cpp times them).
TEST(CoordinateTools, LargeInputsAnswerWithTheirSentences) {
  const std::string digits(2 << 20, '7');
  const std::string spaced_digits = digits + std::string(1 << 20, ' ') + "x";
  std::string many_numbers;
  for (int i = 0; i < 200000; ++i) many_numbers += "1.5x";
  std::string separators = "1";
  for (int i = 0; i < 300000; ++i) separators += " , ;";
  separators += "N";
  const std::string fractions = "1." + std::string(1 << 20, '2') + "." + std::string(1 << 20, '3');

  EXPECT_FALSE(geo::parse_coordinates(digits));
  EXPECT_FALSE(geo::parse_coordinates(spaced_digits));
  EXPECT_FALSE(geo::parse_coordinates(separators));
  EXPECT_FALSE(geo::parse_coordinates(fractions));
  EXPECT_EQ(dms_tool(digits).text(), "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W");
  EXPECT_EQ(dms_tool(many_numbers + "N").text(),
            "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W");
  EXPECT_EQ(dms_tool(std::string(1 << 20, 'N')).text(),
            "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W");
  EXPECT_EQ(geohash_tool(digits + " 1").text(), "Expected lat,lng or a geohash like ezs42b");
  EXPECT_EQ(geohash_tool(digits).text(), "Geohashes run 1–12 characters");
  EXPECT_EQ(mercator_tool(many_numbers).text(),
            "Expected lat,lng or meters like -8655844, 4698913");
  EXPECT_EQ(geodesic_tool(many_numbers).text(),
            "Usage: lat1,lng1 lat2,lng2  e.g. 40.7128,-74.0060 51.5074,-0.1278");
  EXPECT_EQ(mercator_tool("NaN, Infinity").text(),
            "Expected lat,lng or meters like -8655844, 4698913");
  // A pair far into a long text is still found.
  EXPECT_EQ(mercator_tool(separators + " 10, 20").text(),
            "mercator:  2,226,390, 1,118,890  (EPSG:3857, m)\nlat/lng:   10.000000, 20.000000");
}

}  // namespace
}  // namespace pelloriand::tools
