// The crs tool: the EPSG table, the definition reader, the point transform
// with its datum shifts, and the tool entry that reads "lat lon FROM TO".
// The projection formulas themselves are in crs_projections.cpp; the sources
// and the precision promised are in crs.h.
#include "tools/crs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "geodesy.h"
#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace crs {
namespace {

using geodesy::RADIANS_PER_DEGREE;
constexpr double ARC_SECOND = 4.84813681109536e-06;  // π/648000 (radians)

struct CrsRow {
  std::string_view code;
  std::string_view definition;
};

constexpr CrsRow CRS_TABLE[] = {
    {"EPSG:4326", "+proj=longlat +datum=WGS84 +no_defs"},
    {"EPSG:3857",
     "+proj=merc +a=6378137 +b=6378137 +lat_ts=0 +lon_0=0 +x_0=0 +y_0=0 +k=1 +units=m "
     "+nadgrids=@null +no_defs"},
    {"EPSG:2154",
     "+proj=lcc +lat_1=49 +lat_2=44 +lat_0=46.5 +lon_0=3 +x_0=700000 +y_0=6600000 +ellps=GRS80 "
     "+towgs84=0,0,0,0,0,0,0 +units=m +no_defs"},
    {"EPSG:27700",
     "+proj=tmerc +lat_0=49 +lon_0=-2 +k=0.9996012717 +x_0=400000 +y_0=-100000 +ellps=airy "
     "+towgs84=446.448,-125.157,542.06,0.15,0.247,0.842,-20.489 +units=m +no_defs"},
    {"EPSG:25832", "+proj=utm +zone=32 +ellps=GRS80 +towgs84=0,0,0,0,0,0,0 +units=m +no_defs"},
    {"EPSG:25833", "+proj=utm +zone=33 +ellps=GRS80 +towgs84=0,0,0,0,0,0,0 +units=m +no_defs"},
    {"EPSG:23032",
     "+proj=utm +zone=32 +ellps=intl +towgs84=-87,-98,-121,0,0,0,0 +units=m +no_defs"},
    {"EPSG:26918", "+proj=utm +zone=18 +ellps=GRS80 +towgs84=0,0,0,0,0,0,0 +units=m +no_defs"},
    {"EPSG:2056",
     "+proj=somerc +lat_0=46.9524055555556 +lon_0=7.43958333333333 +k_0=1 +x_0=2600000 "
     "+y_0=1200000 +ellps=bessel +towgs84=674.374,15.056,405.346,0,0,0,0 +units=m +no_defs"},
    {"EPSG:3413",
     "+proj=stere +lat_0=90 +lat_ts=70 +lon_0=-45 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m "
     "+no_defs"},
    {"EPSG:3031",
     "+proj=stere +lat_0=-90 +lat_ts=-71 +lon_0=0 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m "
     "+no_defs"},
};

// The WGS 84 geographic system every shifted datum passes through.
constexpr std::string_view WGS84_LONGLAT_DEFINITION =
    "+title=WGS 84 (long/lat) +proj=longlat +ellps=WGS84 +datum=WGS84 +units=degrees";

struct EllipsoidRow {
  std::string_view name;
  double a;                  // semi-major axis (meters)
  std::optional<double> b;   // semi-minor axis (meters), when defined directly
  std::optional<double> rf;  // inverse flattening, when defined by it
};

const EllipsoidRow ELLIPSOIDS[] = {
    {"WGS84", geodesy::WGS84_A, std::nullopt, 298.257223563},
    {"GRS80", 6378137, std::nullopt, 298.257222101},
    {"airy", 6377563.396, 6356256.91, std::nullopt},
    {"intl", 6378388, std::nullopt, 297},
    {"bessel", 6377397.155, std::nullopt, 299.1528128},
};

std::optional<std::string_view> table_definition(std::string_view code) {
  for (const CrsRow& row : CRS_TABLE) {
    if (row.code == code) return row.definition;
  }
  return std::nullopt;
}

bool all_digits(std::string_view s) {
  for (char c : s) {
    if (!text::is_digit(c)) return false;
  }
  return true;
}

bool is_ascii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Correctly rounded double of a text already checked to be decimal (an
// optional "-", digits, "." and exponent in a form from_chars reads). Values
// beyond the range become ±inf or ±0, as rounding demands.
double decimal_value(std::string_view checked) {
  double value = 0;
  const auto [end, ec] = std::from_chars(checked.data(), checked.data() + checked.size(), value);
  if (ec == std::errc::result_out_of_range)
    return std::strtod(std::string(checked).c_str(), nullptr);
  return value;
}

// A definition value as a number: optional sign, digits with at most one
// point, optional exponent; "inf", "infinity" and "nan" in any case. No
// surrounding white space.
std::optional<double> parse_value(std::string_view v) {
  bool negative = false;
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
    negative = v[0] == '-';
    v.remove_prefix(1);
  }
  double value;
  if (text::ascii_iequals(v, "inf") || text::ascii_iequals(v, "infinity")) {
    value = std::numeric_limits<double>::infinity();
  } else if (text::ascii_iequals(v, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else {
    std::size_t i = 0, digits = 0;
    while (i < v.size() && text::is_digit(v[i])) ++i, ++digits;
    if (i < v.size() && v[i] == '.') {
      ++i;
      while (i < v.size() && text::is_digit(v[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
      ++i;
      if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
      const std::size_t start = i;
      while (i < v.size() && text::is_digit(v[i])) ++i;
      if (i == start) return std::nullopt;
    }
    if (i != v.size()) return std::nullopt;
    value = decimal_value(v);
  }
  return negative ? -value : value;
}

// A signed 32-bit decimal: optional sign, digits, no overflow.
std::optional<std::int32_t> parse_int32(std::string_view v) {
  if (!v.empty() && v[0] == '+') v.remove_prefix(1);
  if (v.empty() || v[0] == '+') return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
  return value;
}

// The "+key=value" pieces of one definition; a later key overrides an earlier one.
class DefinitionKeys {
 public:
  explicit DefinitionKeys(std::string_view definition) {
    entries_.reserve(16);
    std::size_t start = 0;
    while (start <= definition.size()) {
      std::size_t end = definition.find('+', start);
      if (end == std::string_view::npos) end = definition.size();
      const std::string_view piece = text::trim(definition.substr(start, end - start));
      start = end + 1;
      if (piece.empty()) continue;
      const std::size_t eq = piece.find('=');
      const std::string_view key = piece.substr(0, eq);
      const std::string_view value = eq == std::string_view::npos ? "true" : piece.substr(eq + 1);
      entries_.emplace_back(lower_key(key), value);
    }
  }

  [[nodiscard]] std::optional<std::string_view> find(std::string_view key) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      if (it->first == key) return it->second;
    }
    return std::nullopt;
  }

  // Present with a readable number; nothing when absent or unreadable.
  [[nodiscard]] std::optional<double> number(std::string_view key) const {
    const std::optional<std::string_view> value = find(key);
    return value ? parse_value(*value) : std::nullopt;
  }

  // Absent or unreadable give `fallback`.
  [[nodiscard]] double number_or(std::string_view key, double fallback) const {
    return number(key).value_or(fallback);
  }

 private:
  static std::string lower_key(std::string_view key) {
    return is_ascii(key) ? text::to_ascii_lower(key) : text::to_lower(key);
  }

  std::vector<std::pair<std::string, std::string_view>> entries_;
};

Ellipsoid read_ellipsoid(const DefinitionKeys& keys, std::string_view ellps, bool& sphere) {
  double a = geodesy::WGS84_A;
  std::optional<double> b, rf;
  for (const EllipsoidRow& row : ELLIPSOIDS) {
    if (row.name == ellps) {
      a = row.a;
      b = row.b;
      rf = row.rf;
      break;
    }
  }
  if (const auto v = keys.number("a")) a = *v;
  if (const auto v = keys.number("b")) b = *v;
  if (const auto v = keys.number("rf")) rf = *v;
  sphere = false;
  if (rf) {
    if (!b) b = a * (1 - 1 / *rf);
    if (*rf == 0) {
      b = a;
      sphere = true;
    }
  } else {
    rf = 0;
    if (!b) b = a;
  }
  if (!sphere && std::fabs(a - *b) < 1e-10) {
    b = a;
    sphere = true;
  }
  Ellipsoid el;
  el.a = a;
  el.b = *b;
  el.rf = *rf;
  const double a2_b2 = a * a - el.b * el.b;
  el.es = a2_b2 / (a * a);
  el.e = std::sqrt(el.es);
  el.ep2 = a2_b2 / (el.b * el.b);
  return el;
}

// Lists shorter than the shape they are read as are padded with zeros: a
// translation missing from a three-value list, a rotation or scale missing
// from a seven-value list, means no shift in that term.
DatumShift read_shift(const std::optional<std::vector<double>>& towgs84, const Ellipsoid& el) {
  DatumShift shift;
  shift.a = el.a;
  shift.b = el.b;
  shift.es = el.es;
  shift.ep2 = el.ep2;
  if (!towgs84) return shift;
  std::vector<double> t = *towgs84;
  if (t.size() > 3) {
    if (t.size() < 7) t.resize(7, 0.0);
    if (t[3] != 0 || t[4] != 0 || t[5] != 0 || t[6] != 0) {
      for (int i = 3; i < 6; ++i) t[i] *= ARC_SECOND;
      t[6] = 1 + t[6] / 1000000;
      shift.params = std::move(t);
      shift.kind = ShiftKind::seven_parameter;
      return shift;
    }
  } else if (t.size() < 3) {
    t.resize(3, 0.0);
  }
  shift.kind = t[0] == 0 && t[1] == 0 && t[2] == 0 ? ShiftKind::zero : ShiftKind::three_parameter;
  shift.params = std::move(t);
  return shift;
}

bool has_parameters(const DatumShift& s) {
  return s.kind == ShiftKind::three_parameter || s.kind == ShiftKind::seven_parameter;
}

bool is_wgs84_datum(const Projection& p) {
  return p.datum && *p.datum == "WGS84";
}

bool same_params(const DatumShift& s, const DatumShift& d) {
  if (s.kind == ShiftKind::three_parameter) {
    return s.params[0] == d.params[0] && s.params[1] == d.params[1] && s.params[2] == d.params[2];
  }
  if (s.kind == ShiftKind::seven_parameter) return s.params == d.params;
  return true;
}

bool skips_datum_step(const DatumShift& s, const DatumShift& d) {
  if (s.kind == d.kind && s.a == d.a && std::fabs(s.es - d.es) <= 5e-11 && same_params(s, d)) {
    return true;
  }
  if (s.kind == ShiftKind::none || d.kind == ShiftKind::none) return true;
  return !has_parameters(s) && !has_parameters(d) && s.a == d.a && s.es == d.es;
}

// Bursa-Wolf, coordinate-frame rotation: t0..t2 translations (meters),
// Rx, Ry, Rz = t3..t5 (radians), M = t6 (scale factor).
Geocentric shift_to_wgs84(const DatumShift& s, Geocentric g) {
  const std::vector<double>& t = s.params;
  if (s.kind == ShiftKind::three_parameter) return {g.X + t[0], g.Y + t[1], g.Z + t[2]};
  if (s.kind != ShiftKind::seven_parameter) return g;
  const double Rx = t[3], Ry = t[4], Rz = t[5], M = t[6];
  return {M * (g.X - Rz * g.Y + Ry * g.Z) + t[0], M * (Rz * g.X + g.Y - Rx * g.Z) + t[1],
          M * (-Ry * g.X + Rx * g.Y + g.Z) + t[2]};
}

Geocentric shift_from_wgs84(const DatumShift& s, Geocentric g) {
  const std::vector<double>& t = s.params;
  if (s.kind == ShiftKind::three_parameter) return {g.X - t[0], g.Y - t[1], g.Z - t[2]};
  if (s.kind != ShiftKind::seven_parameter) return g;
  const double Rx = t[3], Ry = t[4], Rz = t[5], M = t[6];
  const double x = (g.X - t[0]) / M, y = (g.Y - t[1]) / M, z = (g.Z - t[2]) / M;
  return {x + Rz * y - Ry * z, -Rz * x + y + Rx * z, Ry * x - Rx * y + z};
}

std::optional<Point> transform_direct(const Projection& from, const Projection& to, double x,
                                      double y) {
  std::optional<Point> geo = inverse_projection(from, x, y);
  if (!geo) return std::nullopt;
  if (!skips_datum_step(from.shift, to.shift)) {
    Geocentric g = geodetic_to_geocentric(from.shift.a, from.shift.es, geo->x, geo->y);
    g = shift_from_wgs84(to.shift, shift_to_wgs84(from.shift, g));
    *geo = geocentric_to_geodetic(to.shift.a, to.shift.es, g);
  }
  return forward_projection(to, geo->x, geo->y);
}

}  // namespace

std::optional<UtmCode> parse_epsg_utm(std::string_view code) {
  if (code.size() != 10 || code.substr(0, 5) != "EPSG:") return std::nullopt;
  if (code[5] != '3' || (code[6] != '2' && code[6] != '6') || (code[7] != '6' && code[7] != '7') ||
      !all_digits(code.substr(5))) {
    return std::nullopt;
  }
  int v = 0;
  for (char c : code.substr(5)) v = v * 10 + (c - '0');
  if (v >= 32701) return UtmCode{v - 32700, true};
  return UtmCode{v - 32600, false};
}

std::optional<std::string> epsg_to_proj4(std::string_view code) {
  if (const auto definition = table_definition(code)) return std::string(*definition);
  const std::optional<UtmCode> utm = parse_epsg_utm(code);
  if (!utm || utm->zone < 1 || utm->zone > 60) return std::nullopt;
  std::string out = "+proj=utm +zone=";
  out += std::to_string(utm->zone);
  out += " +datum=WGS84 +units=m +no_defs";
  if (utm->south) out += " +south";
  return out;
}

Projection parse_proj4(std::string_view definition) {
  const DefinitionKeys keys(definition);
  Projection p;

  if (const auto v = keys.find("proj")) p.proj = *v;
  if (p.proj == "latlong" || p.proj == "lonlat" || p.proj == "latlon") p.proj = "longlat";

  if (const auto v = keys.find("datum")) p.datum = std::string(*v);
  if (keys.find("nadgrids") == "@null") p.datum = "none";

  std::string_view ellps = keys.find("ellps").value_or("");

  std::optional<std::vector<double>> towgs84;
  if (const auto v = keys.find("towgs84")) {
    towgs84.emplace();
    towgs84->reserve(7);
    std::size_t start = 0;
    while (start <= v->size()) {
      std::size_t end = v->find(',', start);
      if (end == std::string_view::npos) end = v->size();
      if (const auto value = parse_value(v->substr(start, end - start))) {
        towgs84->push_back(*value);
      }
      start = end + 1;
    }
  }

  // A datum named WGS84 pins the ellipsoid and means "already WGS 84".
  if (p.datum == "WGS84") {
    if (!towgs84) towgs84 = std::vector<double>{0, 0, 0};
    ellps = "WGS84";
  }

  p.lat_0 = keys.number_or("lat_0", 0) * RADIANS_PER_DEGREE;
  p.lat_1 = keys.number_or("lat_1", 0) * RADIANS_PER_DEGREE;
  p.lat_2 = keys.number_or("lat_2", 0) * RADIANS_PER_DEGREE;
  p.lon_0 = keys.number_or("lon_0", 0) * RADIANS_PER_DEGREE;
  p.lat_ts = keys.find("lat_ts") ? keys.number_or("lat_ts", 0) * RADIANS_PER_DEGREE
                                 : std::numeric_limits<double>::quiet_NaN();

  p.x_0 = keys.number_or("x_0", 0);
  p.y_0 = keys.number_or("y_0", 0);
  p.k_0 = keys.find("k_0") ? keys.number_or("k_0", 0) : keys.number_or("k", 0);

  std::optional<std::int32_t> zone;
  if (const auto v = keys.find("zone")) zone = parse_int32(*v);
  const bool south = keys.find("south").has_value();

  if (p.proj == "utm") {
    p.proj = "etmerc";
    // 64-bit so that a saturated zone and its magnitude cannot overflow.
    std::int64_t z;
    if (zone) {
      z = *zone;
    } else {
      const double lon = wrap_longitude(p.lon_0);
      const double f = std::floor((lon + geodesy::PI) * 30 / geodesy::PI);
      constexpr double lo = std::numeric_limits<std::int32_t>::min();
      constexpr double hi = std::numeric_limits<std::int32_t>::max();
      z = std::isnan(f) ? 0 : static_cast<std::int64_t>(std::clamp(f, lo, hi));
      z += 1;
    }
    p.lat_0 = 0;
    p.lon_0 = (6.0 * static_cast<double>(z < 0 ? -z : z) - 183) * RADIANS_PER_DEGREE;
    p.x_0 = 500000;
    p.y_0 = south ? 10000000 : 0;
    p.k_0 = 0.9996;
  }

  p.ellipsoid = read_ellipsoid(keys, ellps, p.sphere);
  p.shift = read_shift(towgs84, p.ellipsoid);

  if (p.lat_1 == 0) p.lat_1 = p.lat_0;
  if (p.k_0 == 0) p.k_0 = 1;
  set_up_projection(p);
  return p;
}

std::optional<Point> transform_point(const Projection& from, const Projection& to, double x,
                                     double y) {
  if ((has_parameters(from.shift) && !is_wgs84_datum(to)) ||
      (has_parameters(to.shift) && !is_wgs84_datum(from))) {
    static const Projection wgs84 = parse_proj4(WGS84_LONGLAT_DEFINITION);
    const std::optional<Point> mid = transform_direct(from, wgs84, x, y);
    if (!mid) return std::nullopt;
    return transform_direct(wgs84, to, mid->x, mid->y);
  }
  return transform_direct(from, to, x, y);
}

}  // namespace crs

// ---- The tool ----

namespace {

constexpr std::string_view WGS84_CODE = "EPSG:4326";

// KnownSystem
//
// A code the tool answers for, with its definition already parsed.
struct KnownSystem {
  std::string code;
  crs::Projection projection;
};

// The parsed system of a code from the table or the WGS 84 UTM rule, or null.
// All of them are parsed on the first call, once: a function-local static is
// initialised exactly once even when threads race to it (C++ [stmt.dcl]/4),
// so each call only looks its two systems up.
const crs::Projection* known_projection(std::string_view code) {
  static const std::vector<KnownSystem> known = [] {
    std::vector<std::string> codes;
    for (const crs::CrsRow& row : crs::CRS_TABLE) codes.emplace_back(row.code);
    for (int zone = 1; zone <= 60; ++zone) {
      codes.push_back("EPSG:" + std::to_string(32600 + zone));
      codes.push_back("EPSG:" + std::to_string(32700 + zone));
    }
    std::vector<KnownSystem> out;
    for (std::string& c : codes) {
      crs::Projection p = crs::parse_proj4(*crs::epsg_to_proj4(c));
      out.push_back({std::move(c), std::move(p)});
    }
    return out;
  }();
  const auto it = std::find_if(known.begin(), known.end(),
                               [&](const KnownSystem& k) { return k.code == code; });
  return it == known.end() ? nullptr : &it->projection;
}

std::string upper_token(std::string_view t) {
  return crs::is_ascii(t) ? text::to_ascii_upper(t) : text::to_upper(t);
}

bool is_code_text(std::string_view u) {
  return u.size() > 5 && u.substr(0, 5) == "EPSG:" && crs::all_digits(u.substr(5));
}

// A plain decimal: optional sign, digits, optionally "." and digits.
std::optional<double> plain_decimal(std::string_view t) {
  std::string_view body = t;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
  const std::size_t point = body.find('.');
  const std::string_view whole = body.substr(0, point);
  if (whole.empty() || !crs::all_digits(whole)) return std::nullopt;
  if (point != std::string_view::npos) {
    const std::string_view fraction = body.substr(point + 1);
    if (fraction.empty() || !crs::all_digits(fraction)) return std::nullopt;
  }
  const double value = crs::decimal_value(body);
  return t[0] == '-' ? -value : value;
}

std::string point_text(bool geographic, double first, double second) {
  if (geographic) {
    return number::format_decimals(first, 6) + ", " + number::format_decimals(second, 6);
  }
  return number::format_grouped(first, 2) + " E, " + number::format_grouped(second, 2) + " N";
}

}  // namespace

ToolResult crs_tool(std::string_view input) {
  const std::string_view trimmed = text::trim(input);
  if (trimmed.empty()) return ToolResult::error("Empty input");

  double numbers[2] = {0, 0};
  std::size_t number_count = 0;
  std::string codes[2];
  std::size_t code_count = 0;

  std::size_t pos = 0;
  for (std::string_view token; !(token = text::next_token(trimmed, pos)).empty();) {
    std::string_view t = token;
    while (!t.empty() && t.back() == ',') t.remove_suffix(1);
    std::string u = upper_token(t);
    std::optional<std::string> code;
    if (is_code_text(u)) {
      code = std::move(u);
    } else if ((u.size() == 4 || u.size() == 5) && crs::all_digits(u)) {
      std::string candidate = "EPSG:" + u;
      if (crs::table_definition(candidate) || crs::parse_epsg_utm(candidate)) {
        code = std::move(candidate);
      }
    }
    if (code) {
      if (code_count < 2) codes[code_count] = std::move(*code);
      ++code_count;
      continue;
    }
    const std::optional<double> value = plain_decimal(t);
    if (!value) {
      return ToolResult::error("Cannot parse \"" + std::string(token) +
                               "\" — expected numbers and EPSG codes");
    }
    if (number_count < 2) numbers[number_count] = *value;
    ++number_count;
  }

  if (number_count != 2) {
    return ToolResult::error(
        "Usage: <x/lat> <y/lng> <from> <to>  e.g. 48.8566 2.3522 EPSG:4326 EPSG:2154");
  }
  if (code_count == 0) return ToolResult::error("Name a CRS, e.g. … EPSG:4326 EPSG:2154");
  if (code_count > 2) return ToolResult::error("At most two CRS codes");

  std::string source, target;
  if (code_count == 2) {
    source = std::move(codes[0]);
    target = std::move(codes[1]);
  } else if (std::fabs(numbers[0]) <= 90 && std::fabs(numbers[1]) <= 180) {
    source = WGS84_CODE;
    target = std::move(codes[0]);
  } else {
    source = std::move(codes[0]);
    target = WGS84_CODE;
  }

  const crs::Projection* systems[2] = {known_projection(source), known_projection(target)};
  const std::string* names[2] = {&source, &target};
  for (int i = 0; i < 2; ++i) {
    if (systems[i] == nullptr) {
      return ToolResult::error("Unknown CRS \"" + *names[i] +
                               "\" — try EPSG:4326, 3857, 2154, 27700, 25832/33, 326xx, 2056, "
                               "3413, 3031");
    }
  }
  const crs::Projection& from = *systems[0];
  const crs::Projection& to = *systems[1];

  const bool geographic_in = source == WGS84_CODE;
  const double x = geographic_in ? numbers[1] : numbers[0];
  const double y = geographic_in ? numbers[0] : numbers[1];
  // A projection taken past its reach answers NaN or infinity rather than
  // nothing (the south pole in a north polar projection); that is a failure,
  // not a point.
  const std::optional<crs::Point> out = crs::transform_point(from, to, x, y);
  if (!out || !std::isfinite(out->x) || !std::isfinite(out->y)) {
    return ToolResult::error("Transformation failed — point out of scope for this CRS?");
  }

  const bool geographic_out = target == WGS84_CODE;
  std::string answer = "in:   ";
  answer += point_text(geographic_in, numbers[0], numbers[1]);
  answer += " (" + source + ")\nout:  ";
  answer += geographic_out ? point_text(true, out->y, out->x) : point_text(false, out->x, out->y);
  answer += " (" + target + ")";
  return ToolResult::output(std::move(answer));
}

}  // namespace pelloriand::tools
