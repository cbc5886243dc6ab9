// The unit registry and the `unit` tool.
//
// Prefixed families are expanded at index time: each of the 15 SI prefixes is
// put before every word and symbol form, and the factor is the double nearest
// to the decimal F x 10^(e x k), read from its decimal text so that
// "square centimeter" is exactly the double 0.0001 and not 1 x 0.01 x 0.01.
// Single units carry their factors as listed. Conversions are one product of
// doubles, printed with 10 significant digits.
#include "units.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::units {
namespace {

using D = Dimension;

struct Prefix {
  std::string_view word;
  std::string_view symbols;  // "|"-separated: micro has two
  int power;
};

const Prefix PREFIXES[] = {
    {"peta", "P", 15}, {"tera", "T", 12},  {"giga", "G", 9},    {"mega", "M", 6},
    {"kilo", "k", 3},  {"hecto", "h", 2},  {"deca", "da", 1},   {"", "", 0},
    {"deci", "d", -1}, {"centi", "c", -2}, {"milli", "m", -3},  {"micro", "μ|µ", -6},
    {"nano", "n", -9}, {"pico", "p", -12}, {"femto", "f", -15},
};

// A prefixable unit. Its base factor F is mantissa x 10^exponent10, kept in
// decimal so that every prefixed factor can be rounded once from its exact
// decimal value.
struct Family {
  Dimension dimension;
  std::string_view words;    // "|"-separated
  std::string_view symbols;  // "|"-separated
  int mantissa;
  int exponent10;
  int power;                            // 2 for square units, 3 for cubic ones
  std::string_view prefixed_only = {};  // a word form that has no unprefixed name
};

const Family FAMILIES[] = {
    {D::area, "square meter|square metre|square meters|square metres", "m²|m2", 1, 0, 2},
    {D::digital_storage, "bit|bits", "b", 1, 0, 1},
    {D::digital_storage, "byte|bytes", "B", 8, 0, 1},
    {D::energy, "joule|joules", "J", 1, 0, 1},
    {D::energy, "watt-hour|watt-hours", "W⋅h|W h|Wh", 36, 2, 1, "watt-hours"},
    {D::force, "newton|newtons", "N", 1, 0, 1},
    {D::frequency, "hertz", "Hz", 1, 0, 1},
    {D::illuminance, "lux", "lx", 1, 0, 1},
    {D::length, "meter|metre|meters|metres", "m", 1, 0, 1},
    {D::luminance,
     "candela per square meter|candelas per square meter|candela per square metre|candelas per "
     "square metre",
     "cd/m2|cd/m²", 1, 0, 1},
    {D::luminous_intensity, "candela", "cd", 1, 0, 1},
    {D::mass, "gram|grams", "g", 1, 0, 1},
    {D::power, "watt|watts", "W", 1, 0, 1},
    {D::pressure, "pascal|pascals", "Pa", 1, 0, 1},
    {D::pressure, "bar|bars", "bar", 1, 5, 1},
    {D::temperature, "kelvin|kelvins", "K", 1, 0, 1},
    {D::time, "second|seconds", "s", 1, 0, 1},
    {D::volume, "cubic meter|cubic meters", "m3|m³", 1, 0, 3},
    {D::volume, "liter|liters|litre|litres", "l|L", 1, -3, 1},
};

// Units without prefixes: a group of "|"-separated names sharing one factor.
struct Single {
  Dimension dimension;
  std::string_view names;
  double factor;
  std::optional<double> offset = std::nullopt;
};

const Single SINGLES[] = {
    {D::angle, "radian|radians|rad|rads|r", 1},
    {D::angle, "turn|turns", 6.283185307179586},
    {D::angle, "degree|degrees|deg|degs|°", 0.017453292519943295},
    {D::angle, "gradian|gradians|gon|gons|grad|grads|grade|grades", 0.015707963267948967},
    {D::angle, "arcminute|arcminutes|minutes of arc|arcmin|arcmins", 0.0002908882086657216},
    {D::angle, "arcsecond|arcseconds|seconds of arc|arcsec|arcsecs", 4.84813681109536e-06},

    {D::area, "acre|acres|ac", 4046.8564224},
    {D::area, "centiare|centiares|ca", 1},
    {D::area, "deciare|deciares|da", 10},
    {D::area, "are|ares", 100},
    {D::area, "decare|decares|daa", 1000},
    {D::area, "hectare|hectares|ha", 10000},
    {D::area, "square foot|square feet|sq ft|ft²|ft2", 0.09290304},
    {D::area, "square inch|square inches|sq in|in²|in2", 0.00064516},
    {D::area, "square yard|square yards|sq yd|yd²|yd2", 0.83612736},
    {D::area, "square mile|square miles|sq mi|mi²|mi2", 2589988.110336},
    {D::area, "mǔ|mu", 666.6666666666666},

    {D::digital_storage, "pebibit|pebibits|Pib", 1125899906842624},
    {D::digital_storage, "tebibit|tebibits|Tib", 1099511627776},
    {D::digital_storage, "gibibit|gibibits|Gib", 1073741824},
    {D::digital_storage, "mebibit|mebibits|Mib", 1048576},
    {D::digital_storage, "kibibit|kibibits|Kib", 1024},
    {D::digital_storage, "Kb", 1000},
    {D::digital_storage, "KB", 8000},
    {D::digital_storage, "nibble|nibbles|semioctet|semioctets|halfbyte|halfbytes", 4},
    {D::digital_storage, "octect|octects", 8},
    {D::digital_storage, "pebibyte|pebibytes|PiB", 9007199254740992},
    {D::digital_storage, "tebibyte|tebibytes|TiB", 8796093022208},
    {D::digital_storage, "gibibyte|gibibytes|GiB", 8589934592},
    {D::digital_storage, "mebibyte|mebibytes|MiB", 8388608},
    {D::digital_storage, "kibibyte|kibibytes|KiB", 8192},
    {D::digital_storage, "hextet|hextets", 16},

    {D::force, "dyne|dynes|dyn", 1e-05},
    {D::force, "pound of force|pound-force|lbf", 4.448222},
    {D::force, "kip|klb|kipf|klbf", 4448.2216},
    {D::force, "poundal|poundals|pdl", 0.138255},
    {D::force, "kilogram-force|kilopond|kiloponds|kgf|kp", 9.80665},
    {D::force, "tonne-force|metric ton-force|megagram-force|megapond|tf|Mp", 9806.65},

    {D::illuminance, "lumen per square meter|lm/m2|lm/m²", 1},
    {D::illuminance, "foot-candle|foot candle|fc|ft-c", 10.764},
    {D::illuminance, "phot|ph", 10000},

    {D::length, "foot|feet|ft|'", 0.3048},
    {D::length, "US survey foot|US survey feet|U.S. survey foot|U.S. survey feet",
     0.3048006096012192},
    {D::length, "inch|inches|in|\"", 0.0254},
    {D::length, "yard|yards|yd", 0.9144},
    {D::length, "mile|miles|mi", 1609.344},
    {D::length, "nautical mile|nautical miles|M|NM|nmi", 1852},
    {D::length, "light-year|light-years|ly", 9460730472580800},
    {D::length, "parsec|parsecs|pc", 3.085677581491367e+16},
    {D::length, "pica|picas", 0.0042333},
    {D::length, "point|points", 0.0003528},

    {D::luminance, "nit|nits|nt", 1},

    {D::luminous_intensity, "candlepower|cp|CP", 1},
    {D::luminous_intensity, "hefnerkerze|HK", 0.92},

    {D::mass, "mcg", 1e-06},
    {D::mass, "tonne|tonnes|metric ton|metric tons|t", 1000000},
    {D::mass, "kilotonne|kilotonnes|kt", 1000000000},
    {D::mass, "megatonne|megatonnes|Mt", 1000000000000},
    {D::mass, "gigatonne|gigatonnes|Gt", 1000000000000000},
    {D::mass, "pound|pounds|lb|lbs", 453.59237},
    {D::mass, "grain|grains|gr", 0.06479891},
    {D::mass, "stone|stones|st", 6350.29318},
    {D::mass, "ounce|ounces|oz", 28.349523125},
    {D::mass, "short hundredweight|cental", 45360},
    {D::mass, "long hundredweight|imperial hundredweight|cwt", 50800},
    {D::mass, "short ton|short tons|US ton|US tons", 907184.74},
    {D::mass, "long ton|long tons|imperial ton|imperial tons|displacement ton|displacement tons",
     1016046.9088},
    {D::mass, "troy ounce|oz t|toz", 31.1034768},

    {D::power, "horsepower|mechanical horsepower|hp", 745.699872},

    {D::pressure, "torr|torrs|Torr", 133.32236842105263},
    {D::pressure, "millitorr|mTorr", 0.13332236842105263},
    {D::pressure, "atmosphere|atmospheres|atm", 101325},
    {D::pressure, "pound per square inch|pounds per square inch|psi|lbf/in2|lbf/in²", 6894.757},
    {D::pressure, "inch of water|inches of water|inAq|Aq", 249.0889},
    {D::pressure, "inch of mercury|inches of mercury|inHg|Hg", 3386.389},

    {D::temperature, "fahrenheit|F|°F", 0.5555555555555556, 459.67},
    {D::temperature, "celsius|C|°C", 1, 273.15},
    {D::temperature, "rankine|R", 0.5555555555555556},

    {D::time, "minute|minutes|min", 60},
    {D::time, "hour|hours|h", 3600},
    {D::time, "milliday|millidays|md", 86.4},
    {D::time, "day|days|d", 86400},
    {D::time, "week|weeks|wk", 604800},
    {D::time, "fortnight|fortnights|fn", 1209600},
    {D::time, "month|months|mo", 2592000},
    {D::time, "year|years|a|y|yr", 31536000},
    {D::time, "decade|decades|dec", 315360000},
    {D::time, "century|centuries", 3153600000},
    {D::time, "millennium|millennia", 31536000000},
    {D::time, "moment|moments", 90},
    {D::time, "shake|shakes", 1e-08},
    {D::time, "time unit|TU", 0.001024},
    {D::time, "svedberg|svedbergs|S", 1e-13},

    {D::volume, "cubic metre|cubic metres|stere|steres", 1},
    {D::volume, "cubic mile|cubic miles|cu mi|mi3|mi³", 4168181825.4405794},
    {D::volume, "acre-foot|acre-feet|ac⋅ft|ac ft", 1233.48183754752},
    {D::volume, "cubic yard|cubic yards|cu yd|yd3|yd³", 0.764554857984},
    {D::volume, "cubic foot|cubic feet|cu ft|ft3|ft³", 0.028316846592},
    {D::volume, "board foot|board feet", 0.002359737},
    {D::volume, "cubic inch|cubic inches|cu in|in3|in³", 1.6387064e-05},
    {D::volume, "measurement ton|measurement tons|MTON", 1.133},
    {D::volume, "imperial barrel|imperial barrels|imp bbl", 0.16365924},
    {D::volume, "imperial bushel|imperial bushels|imp bsh|imp bu", 0.03636872},
    {D::volume, "imperial peck|imperial pecks|pk|imp pk", 0.00909218},
    {D::volume, "imperial gallon|imperial gallons|imp gal", 0.00454609},
    {D::volume, "imperial quart|imperial quarts|imp qt", 0.0011365225},
    {D::volume, "imperial pint|imperial pints|imp pt", 0.00056826125},
    {D::volume, "imperial fluid ounce|imperial fluid ounces|imp fl oz", 2.84130625e-05},
    {D::volume, "teaspoon|teaspoons|US teaspoon|US teaspoons|tsp", 4.92892159375e-06},
    {D::volume, "tablespoon|tablespoons|US tablespoon|US tablespoons|tbsp", 1.478676478125e-05},
    {D::volume, "US fluid ounce|US fluid ounces|fl oz|fl. oz.|oz. fl.", 2.95735295625e-05},
    {D::volume, "cup|cups|c", 0.0002365882365},
    {D::volume, "US legal cup|US legal cups|US lc", 0.00024},
    {D::volume, "pint|pints|US liquid pint|US liquid pints|pt|p", 0.000473176473},
    {D::volume, "quart|quarts|US liquid quart|US liquid quarts|qt", 0.000946352946},
    {D::volume, "gallon|gallons|US liquid gallon|US liquid gallons|gal", 0.003785411784},
    {D::volume, "US bushel|US bushels|US bsh|US bu", 0.03523907016688},
    {D::volume, "US peck|US pk", 0.00880976754172},
    {D::volume, "US dry gallon|US dry gal", 0.00440488377086},
    {D::volume, "US dry barrel|US dry barrels|US dry bbl", 0.1156},
    {D::volume, "US dry quart|US dry qt", 0.001101220942715},
    {D::volume, "US dry pint|US dry pt", 0.0005506104713575},
};

// Calls f with each "|"-separated part of `list` (once with "" for "").
template <class F>
void for_each_name(std::string_view list, F&& f) {
  for (;;) {
    const std::size_t bar = list.find('|');
    f(list.substr(0, bar));
    if (bar == std::string_view::npos) break;
    list.remove_prefix(bar + 1);
  }
}

double decimal_factor(int mantissa, int exponent10) {
  const std::string text = fmt::format("{}e{}", mantissa, exponent10);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The prefix word goes before the unit word, after "square " or "cubic ".
std::string prefixed_word(std::string_view word, std::string_view prefix) {
  std::size_t at = 0;
  for (std::string_view lead : {std::string_view("square "), std::string_view("cubic ")}) {
    if (word.starts_with(lead)) at = lead.size();
  }
  std::string out(word.substr(0, at));
  out.append(prefix);
  out.append(word.substr(at));
  return out;
}

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

using UnitIndex = std::unordered_map<std::string, UnitDef, StringHash, std::equal_to<>>;

UnitIndex build_unit_index() {
  std::vector<UnitAlias> table = build_unit_table();
  UnitIndex index;
  index.reserve(table.size());
  for (UnitAlias& row : table) index.insert_or_assign(std::move(row.name), row.unit);
  return index;
}

const UnitIndex& unit_index() {
  // Built by the first caller; concurrent first callers wait on the guard.
  static std::once_flag once;
  static UnitIndex index;
  std::call_once(once, [] { index = build_unit_index(); });
  return index;
}

struct SymbolRow {
  std::string_view name;
  std::string_view symbol;
};

constexpr SymbolRow UNIT_SYMBOLS[] = {
    {"milliliters", "ml"}, {"kilograms", "kg"}, {"miles", "mi"}, {"meters", "m"}};

constexpr std::string_view USAGE = "Usage:  <value> <from-unit> <to-unit>  e.g.  5 km mi";

std::string unknown_unit(std::string_view name) {
  return fmt::format("Unknown unit: \"{}\"", name);
}

// a + b for a temperature offset. When the two nearly cancel, what is left
// below 1e-12 of the operands is their round-off, not a temperature: 32
// fahrenheit is 273.15000000000006 K, which would leave 5.684342e-14 celsius.
double add_offset(double a, double b) {
  const double sum = a + b;
  return std::fabs(sum) < 1e-12 * std::fmax(std::fabs(a), std::fabs(b)) ? 0 : sum;
}

}  // namespace

std::vector<UnitAlias> family_units() {
  std::vector<UnitAlias> out;
  out.reserve(1043);
  for (const Family& f : FAMILIES) {
    for (const Prefix& p : PREFIXES) {
      const UnitDef unit{decimal_factor(f.mantissa, f.exponent10 + f.power * p.power), f.dimension,
                         std::nullopt};
      const std::size_t first = out.size();
      for_each_name(f.words, [&](std::string_view word) {
        if (p.power == 0 && word == f.prefixed_only) return;
        out.push_back({prefixed_word(word, p.word), unit});
      });
      for_each_name(p.symbols, [&](std::string_view prefix) {
        for_each_name(f.symbols, [&](std::string_view symbol) {
          std::string name = std::string(prefix) + std::string(symbol);
          // "bar" is both the word and the symbol of the unprefixed bar.
          for (std::size_t i = first; i < out.size(); ++i) {
            if (out[i].name == name) return;
          }
          out.push_back({std::move(name), unit});
        });
      });
    }
  }
  return out;
}

std::vector<UnitAlias> build_unit_table() {
  std::vector<UnitAlias> table = family_units();
  for (const Single& s : SINGLES) {
    for_each_name(s.names, [&](std::string_view name) {
      table.push_back({std::string(name), UnitDef{s.factor, s.dimension, s.offset}});
    });
  }
  return table;
}

const UnitDef* find_unit(std::string_view name) {
  const UnitIndex& index = unit_index();
  const auto it = index.find(name);
  return it == index.end() ? nullptr : &it->second;
}

std::size_t unit_index_size() {
  return unit_index().size();
}

std::string_view unit_symbol(std::string_view name) {
  for (const SymbolRow& row : UNIT_SYMBOLS) {
    if (row.name == name) return row.symbol;
  }
  return name;
}

bool is_known_unit(std::string_view name) {
  return unit_symbol(name) != name || find_unit(name) != nullptr;
}

std::optional<std::string> resolve_name(std::string_view typed) {
  if (is_known_unit(typed)) return std::string(typed);
  std::string lower = text::to_lower(typed);
  if (is_known_unit(lower)) return lower;
  return std::nullopt;
}

}  // namespace pelloriand::units

namespace pelloriand::tools {

ToolResult unit_tool(std::string_view input) {
  using namespace pelloriand::units;
  // Tokens at runs of White_Space; only the first three roles matter, the
  // rest of the tokens form the target name.
  std::string_view tokens[2];
  std::size_t count = 0;
  std::string to;
  std::size_t pos = 0;
  for (std::string_view token; !(token = text::next_token(input, pos)).empty(); ++count) {
    if (count < 2) {
      tokens[count] = token;
    } else {
      if (count > 2) to.push_back(' ');
      to.append(token);
    }
  }
  if (count < 3) return ToolResult::error(std::string(USAGE));

  const std::optional<double> v = number::parse_number(tokens[0]);
  if (!v || !std::isfinite(*v)) {
    return ToolResult::error(fmt::format("\"{}\" is not a number", tokens[0]));
  }
  const std::optional<std::string> from = resolve_name(tokens[1]);
  if (!from) return ToolResult::error(unknown_unit(text::to_lower(tokens[1])));
  const std::optional<std::string> to_name = resolve_name(to);
  if (!to_name) return ToolResult::error(unknown_unit(text::to_lower(to)));
  to = *to_name;

  const std::string_view a = unit_symbol(*from);
  const std::string_view b = unit_symbol(to);
  const UnitDef* u = find_unit(a);
  const UnitDef* w = find_unit(b);
  if (u == nullptr) return ToolResult::error(unknown_unit(*from));
  if (w == nullptr) return ToolResult::error(unknown_unit(to));
  if (u->dimension != w->dimension) {
    // A bare "m" beside a time unit means minutes, not meters.
    if (u->dimension == Dimension::time && b == "m") {
      w = find_unit("min");
    } else if (w->dimension == Dimension::time && a == "m") {
      u = find_unit("min");
    } else {
      return ToolResult::error(
          fmt::format("Cannot convert between different measures: {} and {}", a, b));
    }
  }
  double r = (u->offset ? add_offset(*v, *u->offset) : *v) * (u->factor / w->factor);
  if (w->offset) r = add_offset(r, -*w->offset);
  std::string out = number::format_significant(r);
  out.push_back(' ');
  out.append(to);
  return ToolResult::output(std::move(out));
}

}  // namespace pelloriand::tools
