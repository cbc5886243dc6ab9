#include "units.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "pelloriand/tool.h"

namespace pelloriand::units {
namespace {

// Runs first so that the threads race to build the index.
TEST(Units, ConcurrentFirstUse) {
  std::vector<std::thread> threads;
  std::vector<std::string> answers(8);
  for (std::size_t i = 0; i < answers.size(); ++i) {
    threads.emplace_back(
        [&answers, i] { answers[i] = run_tool("unit", "5 km mi", nullptr).text(); });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& a : answers) EXPECT_EQ(a, "3.106855961 mi");
}

TEST(Units, TableSizeAndUniqueNames) {
  EXPECT_EQ(family_units().size(), 1043u);
  const std::vector<UnitAlias> table = build_unit_table();
  EXPECT_EQ(table.size(), 1456u);
  std::set<std::string> names;
  for (const UnitAlias& row : table) names.insert(row.name);
  EXPECT_EQ(names.size(), 1456u);
  EXPECT_EQ(unit_index_size(), 1456u);
}

TEST(Units, FactorsFromEveryDimension) {
  struct Row {
    std::string_view name;
    Dimension dimension;
    double factor;
  };
  const Row rows[] = {
      {"arcsec", Dimension::angle, 4.84813681109536e-06},
      {"square centimeter", Dimension::area, 0.0001},
      {"km²", Dimension::area, 1e6},
      {"mu", Dimension::area, 666.6666666666666},
      {"MB", Dimension::digital_storage, 8e6},
      {"mb", Dimension::digital_storage, 0.001},
      {"KiB", Dimension::digital_storage, 8192},
      {"kWh", Dimension::energy, 3600000},
      {"watt-hour", Dimension::energy, 3600},
      {"megawatt-hours", Dimension::energy, 3.6e9},
      {"W⋅h", Dimension::energy, 3600},
      {"kN", Dimension::force, 1000},
      {"lbf", Dimension::force, 4.448222},
      {"GHz", Dimension::frequency, 1e9},
      {"fc", Dimension::illuminance, 10.764},
      {"kilometer", Dimension::length, 1000},
      {"µm", Dimension::length, 1e-06},
      {"μm", Dimension::length, 1e-06},
      {"'", Dimension::length, 0.3048},
      {"\"", Dimension::length, 0.0254},
      {"M", Dimension::length, 1852},
      {"kilocandelas per square metre", Dimension::luminance, 1000},
      {"nit", Dimension::luminance, 1},
      {"mcd", Dimension::luminous_intensity, 0.001},
      {"lbs", Dimension::mass, 453.59237},
      {"kg", Dimension::mass, 1000},
      {"hp", Dimension::power, 745.699872},
      {"millibar", Dimension::pressure, 100},
      {"bar", Dimension::pressure, 100000},
      {"hPa", Dimension::pressure, 100},
      {"mK", Dimension::temperature, 0.001},
      {"rankine", Dimension::temperature, 0.5555555555555556},
      {"ms", Dimension::time, 0.001},
      {"fortnight", Dimension::time, 1209600},
      {"cubic millimeter", Dimension::volume, 1e-09},
      {"hectoliter", Dimension::volume, 0.1},
      {"imp gal", Dimension::volume, 0.00454609},
  };
  for (const Row& row : rows) {
    const UnitDef* u = find_unit(row.name);
    ASSERT_NE(u, nullptr) << row.name;
    EXPECT_EQ(u->dimension, row.dimension) << row.name;
    EXPECT_EQ(u->factor, row.factor) << row.name;
    EXPECT_FALSE(u->offset) << row.name;
  }
  EXPECT_EQ(find_unit("watt-hours"), nullptr);  // only its prefixed forms exist
  EXPECT_EQ(find_unit("°C")->offset, 273.15);
  EXPECT_EQ(find_unit("fahrenheit")->offset, 459.67);
}

struct Row {
  std::string_view input;
  std::string_view expected;
};

void expect_outputs(std::span<const Row> rows) {
  for (const Row& row : rows) {
    const ToolResult r = run_tool("unit", row.input, nullptr);
    EXPECT_TRUE(r.is_ok()) << row.input << " -> " << r.text();
    EXPECT_EQ(r.text(), row.expected) << row.input;
  }
}

TEST(Units, Conversions) {
  const Row rows[] = {
      {"5 km mi", "3.106855961 mi"},
      {"5 KM MI", "3.106855961 mi"},
      {"\u30005\u00a0km\tnautical   miles ", "2.699784017 nautical miles"},
      {"100 celsius fahrenheit", "212 fahrenheit"},
      {"212 fahrenheit celsius", "100 celsius"},
      {"0 kelvin celsius", "-273.15 celsius"},
      {"1 kilowatt-hour joules", "3.6e+6 joules"},
      {"1 celsius rankine", "493.47 rankine"},
      {"90 m h", "1.5 h"},
      {"90 meters h", "1.5 h"},
      {"30 min m", "30 m"},
      {"1 dm2 m2", "0.01 m2"},
      {"2 lbs kg", "0.90718474 kg"},
      {"0x10 m ft", "52.49343832 ft"},
      {"1 m2 acres", "2.471053815e-4 acres"},
      {"3 milliliters l", "0.003 l"},
      // Offsets that cancel leave round-off, which reads as 0; tiny results of
      // plain factors stay.
      {"32 fahrenheit celsius", "0 celsius"},
      {"491.67 rankine celsius", "0 celsius"},
      {"273.15 kelvin celsius", "0 celsius"},
      {"-459.67 fahrenheit kelvin", "0 kelvin"},
      {"-273.15 celsius fahrenheit", "-459.67 fahrenheit"},
      {"32.0018 fahrenheit celsius", "0.001 celsius"},
      {"1e-12 m km", "1.000000e-15 km"},
  };
  expect_outputs(rows);
}

// A name is looked up as typed before it is lower-cased, so names that differ
// only in case keep their own units, and the answer prints the target in the
// table's spelling.
TEST(Units, NamesThatDifferOnlyInCase) {
  const Row rows[] = {
      {"1 Pm m", "1e+15 m"},
      {"1 pm m", "1.000000e-12 m"},
      {"1 Mm km", "1000 km"},
      {"1 mm km", "1e-6 km"},
      {"5 MB KB", "5000 KB"},
      {"5 mb kb", "5e-6 kb"},
      {"1 Mb kb", "1000 kb"},
      {"1 PB GB", "1e+6 GB"},
      {"1 Ms s", "1e+6 s"},
      {"1 ms s", "0.001 s"},
      {"1 S s", "1.000000e-13 s"},
      {"1 M m", "1852 m"},
      {"1 kWh J", "3.6e+6 J"},
      {"1 Pa bar", "1e-5 bar"},
      {"100 °C °F", "212 °F"},
      {"100 F C", "37.77777778 C"},
      {"1 L ml", "1000 ml"},
      {"1 GHz Hz", "1e+9 Hz"},
      {"1 mi US survey feet", "5279.98944 US survey feet"},
      // Capitals with no entry of their own fall back to lower case, as before.
      {"5 KM MI", "3.106855961 mi"},
      {"2 LBS KG", "0.90718474 kg"},
      {"1 Meters Miles", "6.213711922e-4 miles"},
  };
  expect_outputs(rows);
}

// Every name of the table is reachable as typed: a one-word name converts to
// itself, and any name is a target printed as the table spells it.
TEST(Units, EveryTableNameAsTyped) {
  const std::vector<UnitAlias> table = build_unit_table();
  std::map<Dimension, std::string> one_word;  // a source name per dimension
  for (const UnitAlias& row : table) {
    if (row.name.find(' ') == std::string::npos) one_word.emplace(row.unit.dimension, row.name);
  }
  for (const UnitAlias& row : table) {
    const std::string& name = row.name;
    if (name.find(' ') == std::string::npos) {
      EXPECT_EQ(run_tool("unit", "1 " + name + " " + name, nullptr).text(), "1 " + name);
    }
    const ToolResult r =
        run_tool("unit", "1 " + one_word[row.unit.dimension] + " " + name, nullptr);
    EXPECT_TRUE(r.is_ok() && r.text().ends_with(" " + name)) << name << " -> " << r.text();
  }
}

TEST(Units, Errors) {
  const Row rows[] = {
      {"", "Usage:  <value> <from-unit> <to-unit>  e.g.  5 km mi"},
      {"5 km", "Usage:  <value> <from-unit> <to-unit>  e.g.  5 km mi"},
      {"abc km mi", "\"abc\" is not a number"},
      {"inf km mi", "\"inf\" is not a number"},
      {"5 m kg", "Cannot convert between different measures: m and kg"},
      {"5 kilograms m", "Cannot convert between different measures: kg and m"},
      {"1 KWH J", "Unknown unit: \"kwh\""},  // neither as typed nor lower-cased
      {"1 square meter acres", "Unknown unit: \"square\""},
      {"1 m furlong", "Unknown unit: \"furlong\""},
      {"1 °c K", "Unknown unit: \"°c\""},
      {"1 K Pa", "Cannot convert between different measures: K and Pa"},
  };
  for (const Row& row : rows) {
    const ToolResult r = run_tool("unit", row.input, nullptr);
    EXPECT_FALSE(r.is_ok()) << row.input;
    EXPECT_EQ(r.text(), row.expected) << row.input;
  }
}

TEST(Units, TwoMebibyteTargetNameIsEchoedWhole) {
  std::string many = "1 m";
  while (many.size() < (2u << 20)) many += " m";
  const ToolResult r = run_tool("unit", many, nullptr);
  EXPECT_FALSE(r.is_ok());
  EXPECT_EQ(r.text().size(), many.size() - 4 + std::string_view("Unknown unit: \"\"").size());
}

}  // namespace
}  // namespace pelloriand::units
