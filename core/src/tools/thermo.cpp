// The thermodynamic properties tool `thermo`: saturation pressure and boiling
// point of water (Antoine equation for water, log10 p[mmHg] = 8.07131 -
// 1730.63 / (233.426 + t[°C]), trusted from 1 to 100 °C and extrapolated
// beyond), liquid water density interpolated linearly in a 13-point table
// (0 to 100 °C), and the ideal-gas density of seven gases.
//
// Temperatures are held in kelvin and pressures in kPa; results print with
// fixed decimals. The input is read in one left-to-right pass, so any number
// of tokens costs linear time.
#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>
#include <variant>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

struct Fluid {
  std::string_view display_name;
  double molar_mass;  // g/mol
  bool is_gas;
  std::string_view key;
  std::string_view aliases[2];
};

const Fluid FLUIDS[] = {
    {"Water", 18.01528, false, "water", {"h2o", "steam"}},
    {"Air", 28.96546, true, "air", {}},
    {"Nitrogen", 28.0134, true, "n2", {"nitrogen"}},
    {"Oxygen", 31.9988, true, "o2", {"oxygen"}},
    {"Carbon dioxide", 44.0095, true, "co2", {"carbon-dioxide"}},
    {"Helium", 4.0026, true, "he", {"helium"}},
    {"Argon", 39.948, true, "ar", {"argon"}},
    {"Methane", 16.0425, true, "ch4", {"methane"}},
};

// (°C, kg/m³) in rising temperature.
constexpr double WATER_DENSITY_TABLE[][2] = {
    {0, 999.84},  {4, 1000},    {10, 999.7},   {20, 998.21}, {25, 997.05},
    {30, 995.65}, {40, 992.22}, {50, 988.04},  {60, 983.2},  {70, 977.76},
    {80, 971.8},  {90, 965.31}, {100, 958.35},
};

enum class Quantity : std::uint8_t { temperature, pressure };

// A unit word converts v to kelvin (v + offset) x scale, or to kPa v x scale.
struct UnitWord {
  std::string_view word;
  Quantity quantity;
  double offset;
  double scale;
};

const UnitWord UNIT_WORDS[] = {
    {"c", Quantity::temperature, 273.15, 1},
    {"°c", Quantity::temperature, 273.15, 1},
    {"celsius", Quantity::temperature, 273.15, 1},
    {"f", Quantity::temperature, 459.67, 0.5555555555555556},
    {"°f", Quantity::temperature, 459.67, 0.5555555555555556},
    {"fahrenheit", Quantity::temperature, 459.67, 0.5555555555555556},
    {"k", Quantity::temperature, 0, 1},
    {"kelvin", Quantity::temperature, 0, 1},
    {"pa", Quantity::pressure, 0, 0.001},
    {"kpa", Quantity::pressure, 0, 1},
    {"mpa", Quantity::pressure, 0, 1000},
    {"bar", Quantity::pressure, 0, 100},
    {"mbar", Quantity::pressure, 0, 0.1},
    {"atm", Quantity::pressure, 0, 101.325},
    {"psi", Quantity::pressure, 0, 6.89476},
    {"mmhg", Quantity::pressure, 0, 0.133322},
    {"torr", Quantity::pressure, 0, 0.133322},
};

// Antoine constants for water, p in mmHg and t in °C.
constexpr double ANTOINE_A = 8.07131;
constexpr double ANTOINE_B = 1730.63;
constexpr double ANTOINE_C = 233.426;
constexpr double KPA_PER_MMHG = 0.133322;
constexpr double KPA_PER_ATM = 101.325;
constexpr double KELVIN_AT_0_C = 273.15;

enum class Property : std::uint8_t { none, psat, tsat, density };

constexpr std::string_view OUTSIDE_DOME = "Outside the liquid–vapor dome";

const Fluid* find_fluid(std::string_view token) {
  for (const Fluid& f : FLUIDS) {
    if (f.key == token || f.aliases[0] == token ||
        (!f.aliases[1].empty() && f.aliases[1] == token)) {
      return &f;
    }
  }
  return nullptr;
}

const UnitWord* find_unit_word(std::string_view token) {
  for (const UnitWord& u : UNIT_WORDS) {
    if (u.word == token) return &u;
  }
  return nullptr;
}

std::string format_celsius(double kelvin) {
  return number::format_decimals(kelvin - KELVIN_AT_0_C, 2) + " °C";
}

// Linear interpolation between the two table points around t (°C); nothing
// outside 0 to 100 °C.
std::optional<double> water_density(double t) {
  for (std::size_t i = 0; i + 1 < std::size(WATER_DENSITY_TABLE); ++i) {
    const auto [a, rho_a] = WATER_DENSITY_TABLE[i];
    const auto [b, rho_b] = WATER_DENSITY_TABLE[i + 1];
    if (a <= t && t <= b) return rho_a + (rho_b - rho_a) * ((t - a) / (b - a));
  }
  return std::nullopt;
}

// A temperature that misses the table only by the round-off of its unit
// conversion is read as the table's end: 212 °F arrives as 100.00000000000006
// °C. The slack, a millionth of a millionth of the kelvin value, lies far
// above that round-off and far below the answer's two decimals.
double snap_to_table(double t, double kelvin) {
  const double slack = 1e-12 * kelvin;
  const double first = WATER_DENSITY_TABLE[0][0];
  const double last = WATER_DENSITY_TABLE[std::size(WATER_DENSITY_TABLE) - 1][0];
  if (t < first && first - t <= slack) return first;
  if (t > last && t - last <= slack) return last;
  return t;
}

// Each require_* gives the quantity when it was given, else the sentence that
// asks for it.
using Required = std::variant<double, std::string>;

Required require_water_density_temperature(std::optional<double> t) {
  if (t) return *t;
  return std::string("Water density needs a temperature, e.g. water 25 c density");
}

Required require_psat_temperature(std::optional<double> t) {
  if (t) return *t;
  return std::string("Saturation pressure needs a temperature, e.g. water 100 c psat");
}

Required require_gas_temperature(std::optional<double> t, std::string_view fluid_word) {
  if (t) return *t;
  return fmt::format("Gas density needs a temperature, e.g. {} 25 c density", fluid_word);
}

Required require_tsat_pressure(std::optional<double> p) {
  if (p) return *p;
  return std::string("Saturation temperature needs a pressure, e.g. water 101.325 kpa tsat");
}

ToolResult gas_density(const Fluid& fluid, std::string_view fluid_word, Property property,
                       std::optional<double> t, std::optional<double> p) {
  if (property != Property::none && property != Property::density) {
    return ToolResult::error(fmt::format(
        "Saturation properties are tabulated for water — try \"{} 25 c density\"", fluid_word));
  }
  const Required temperature = require_gas_temperature(t, fluid_word);
  if (auto* e = std::get_if<std::string>(&temperature)) return ToolResult::error(*e);
  const double kelvin = std::get<double>(temperature);
  // At 0 K the ideal-gas density is infinite, not an answer.
  if (kelvin == 0) return ToolResult::error("Gas density needs a temperature above absolute zero");
  const double kpa = p.value_or(KPA_PER_ATM);
  // Specific gas constant R / M in J/(kg K), taken first.
  const double specific_r = 8314.462 / fluid.molar_mass;
  const double density = kpa * 1000 / (kelvin * specific_r);
  return ToolResult::output(fmt::format(
      "{} @ {}, {} kPa\ndensity:        {} kg/m³\nmolar mass:     {} g/mol", fluid.display_name,
      format_celsius(kelvin), number::format_decimals(kpa, 3), number::format_decimals(density, 3),
      number::format_decimals(fluid.molar_mass, 2)));
}

ToolResult water_density_report(std::optional<double> t) {
  const Required temperature = require_water_density_temperature(t);
  if (auto* e = std::get_if<std::string>(&temperature)) return ToolResult::error(*e);
  const double kelvin = std::get<double>(temperature);
  const std::optional<double> density =
      water_density(snap_to_table(kelvin - KELVIN_AT_0_C, kelvin));
  if (!density) return ToolResult::error("Water density is tabulated for 0–100 °C");
  return ToolResult::output(fmt::format("Water @ {}\ndensity:        {} kg/m³",
                                        format_celsius(kelvin),
                                        number::format_decimals(*density, 2)));
}

ToolResult boiling_point(std::optional<double> p) {
  const Required pressure = require_tsat_pressure(p);
  if (auto* e = std::get_if<std::string>(&pressure)) return ToolResult::error(*e);
  const double kpa = std::get<double>(pressure);
  const double mmhg = kpa / KPA_PER_MMHG;
  if (mmhg > 165500) {
    return ToolResult::error("Above the critical point (22.06 MPa) — no saturation line there");
  }
  const double t = ANTOINE_B / (ANTOINE_A - std::log10(mmhg)) - ANTOINE_C;
  if (!(-1 < t && t < 374)) return ToolResult::error(std::string(OUTSIDE_DOME));
  return ToolResult::output(fmt::format("Water @ {} kPa\nboiling point:  {} °C",
                                        number::format_decimals(kpa, 3),
                                        number::format_decimals(t, 2)));
}

ToolResult saturation_pressure(std::optional<double> t) {
  const Required temperature = require_psat_temperature(t);
  if (auto* e = std::get_if<std::string>(&temperature)) return ToolResult::error(*e);
  const double kelvin = std::get<double>(temperature);
  const double celsius = kelvin - KELVIN_AT_0_C;
  const double mmhg = std::pow(10.0, ANTOINE_A - ANTOINE_B / (ANTOINE_C + celsius));
  if (!(0.01 < mmhg && mmhg < 170000)) return ToolResult::error(std::string(OUTSIDE_DOME));
  const double kpa = KPA_PER_MMHG * mmhg;
  const std::string_view note = (1 <= celsius && celsius <= 100)
                                    ? ""
                                    : "\nnote:           outside the 1–100 °C Antoine range "
                                      "(extrapolated)";
  return ToolResult::output(
      fmt::format("Water @ {}\nsaturation pressure: {} kPa  ({} atm, {} mmHg){}",
                  format_celsius(kelvin), number::format_decimals(kpa, kpa >= 100 ? 2 : 4),
                  number::format_decimals(kpa / KPA_PER_ATM, 4),
                  number::format_decimals(mmhg, mmhg >= 100 ? 1 : 3), note));
}

}  // namespace

ToolResult thermo_tool(std::string_view input) {
  const std::string lowered = text::to_lower(text::trim(input));
  const std::string_view s = lowered;

  // Tokens at runs of White_Space, handed out one at a time.
  std::size_t pos = 0;
  auto next_token = [&] { return text::next_token(s, pos); };

  const std::string_view fluid_word = next_token();
  const std::size_t after_fluid = pos;
  if (fluid_word.empty() || next_token().empty()) {
    return ToolResult::error("Usage: <fluid> <value> <unit> [property]  e.g. water 100 c psat");
  }
  pos = after_fluid;
  const Fluid* fluid = find_fluid(fluid_word);
  if (fluid == nullptr) {
    return ToolResult::error(
        fmt::format("Unknown fluid \"{}\" — try water, air, n2, o2, co2, he, ar, ch4", fluid_word));
  }

  Property property = Property::none;
  std::optional<double> t;  // K
  std::optional<double> p;  // kPa
  for (std::string_view token = next_token(); !token.empty(); token = next_token()) {
    if (token == "psat") {
      property = Property::psat;
    } else if (token == "tsat") {
      property = Property::tsat;
    } else if (token == "density") {
      property = Property::density;
    } else if (token != "sat") {
      const std::optional<double> v = number::parse_number(token);
      if (!v || !std::isfinite(*v)) {
        return ToolResult::error(fmt::format("\"{}\" is not a number", token));
      }
      const std::string_view unit_token = next_token();
      const UnitWord* unit = find_unit_word(unit_token);
      if (unit == nullptr) {
        return ToolResult::error(
            fmt::format("Unknown unit \"{}\" — temperature (c/f/k) or pressure (kpa/bar/atm/psi/…)",
                        unit_token));
      }
      if (unit->quantity == Quantity::temperature) {
        t = (*v + unit->offset) * unit->scale;
      } else {
        p = *v * unit->scale;
      }
    }
  }
  if (t && *t < 0) return ToolResult::error("Temperature is below absolute zero");
  if (p && !(*p > 0)) return ToolResult::error("Pressure must be positive");

  if (fluid->is_gas) return gas_density(*fluid, fluid_word, property, t, p);
  if (property == Property::density) return water_density_report(t);
  if (property == Property::tsat || (property == Property::none && p && !t)) {
    return boiling_point(p);
  }
  return saturation_pressure(t);
}

}  // namespace pelloriand::tools
