// The unit registry behind the `unit` tool: 1456 unit names in 16 dimensions,
// each with its factor to the dimension's base unit, indexed once on first use.
// The tool's entry, unit_tool, is declared with the other entries in
// tools/entries.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelloriand::units {

// Dimension
//
// The kinds of quantity, numbered as stored in UnitDef::dimension. Base units
// (factor 1): radian, square meter, bit, joule, newton, hertz, lux, meter,
// candela per square meter, candela, gram, watt, pascal, kelvin, second, cubic
// meter.
enum class Dimension : std::uint8_t {
  angle,
  area,
  digital_storage,
  energy,
  force,
  frequency,
  illuminance,
  length,
  luminance,
  luminous_intensity,
  mass,
  power,
  pressure,
  temperature,
  time,
  volume,
};

// UnitDef
//
// A quantity q in this unit is (q + offset) x factor in the base unit; only
// the Celsius and Fahrenheit scales have an offset.
struct UnitDef {
  double factor = 1;
  Dimension dimension = Dimension::angle;
  std::optional<double> offset;
};

// UnitAlias
//
// One row of the unit table: a name, compared byte for byte, and its unit.
struct UnitAlias {
  std::string name;
  UnitDef unit;
};

// family_units
//
// The names made by putting the 15 SI prefixes (micro with both its symbols)
// before the prefixable units: 1043 rows, "kilometer", "µm", "square
// centimeter", "kWh" among them.
[[nodiscard]] std::vector<UnitAlias> family_units();

// build_unit_table
//
// The whole table: family_units() followed by the 413 single units
// ("acre", "lbs", "imp gal", ...). No name occurs twice.
[[nodiscard]] std::vector<UnitAlias> build_unit_table();

// find_unit
//
// Exact lookup of a name in the index, which is built from build_unit_table()
// on the first call (concurrent first callers wait; later calls take no lock).
//
// Example:
//   find_unit("km")->factor == 1000;  find_unit("KM") == nullptr
[[nodiscard]] const UnitDef* find_unit(std::string_view name);

// The number of names in the index.
[[nodiscard]] std::size_t unit_index_size();

// unit_symbol
//
// The short name the tool uses for four long names ("milliliters" -> "ml",
// "kilograms" -> "kg", "miles" -> "mi", "meters" -> "m"); any other name is
// returned unchanged.
[[nodiscard]] std::string_view unit_symbol(std::string_view name);

// is_known_unit
//
// True when the name is one of the four long names of unit_symbol or a name of
// the index.
[[nodiscard]] bool is_known_unit(std::string_view name);

// resolve_name
//
// The name the tool uses for a unit as the user typed it: the typed name when
// it is known as typed, else its lower-cased form when that is known, else
// none. Trying the typed spelling first keeps the case-only pairs apart ("Pm"
// peta, "pm" pico; "MB" megabyte, "mb" millibit), while "KM" still finds "km".
//
// Example:
//   *resolve_name("MB") == "MB";  *resolve_name("KM") == "km"
[[nodiscard]] std::optional<std::string> resolve_name(std::string_view typed);

}  // namespace pelloriand::units
