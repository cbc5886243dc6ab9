// Coordinate text (number scanning, latitude/longitude pairs, DMS printing)
// and four coordinate tools: dms, geohash, mercator (spherical Web Mercator,
// EPSG:3857) and geodesic (haversine on the 6371008.8 m mean sphere).
//
// Every reader here is linear in its input: a text of millions of digits is
// scanned a bounded number of times and converted once. Angles print with six
// decimals (about 0.1 m), seconds of arc with one.
#include "tools/geo.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "geodesy.h"
#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {

using geodesy::degrees_via_pi;
using geodesy::radians_via_pi;
using geodesy::WGS84_A;

namespace geo {
namespace {

bool is_sign(char c) {
  return c == '+' || c == '-';
}

// End of the run of ASCII digits starting at `p`.
std::size_t digits_end(std::string_view text, std::size_t p) {
  while (p < text.size() && text::is_digit(text[p])) ++p;
  return p;
}

// Where the unsigned part of a number starting at `p` ends: digits, then a "."
// and digits only when a digit follows the ".".
std::size_t number_end(std::string_view text, std::size_t digits_start) {
  std::size_t e = digits_end(text, digits_start);
  if (e + 1 < text.size() && text[e] == '.' && text::is_digit(text[e + 1]))
    e = digits_end(text, e + 1);
  return e;
}

// The value of text[begin, end): an optional sign, then digits with an
// optional fraction. Without an exponent the only range failures are overflow
// (a non-zero integer part of 309+ digits) and underflow to zero.
double convert(std::string_view text, std::size_t begin, std::size_t end) {
  bool negative = false;
  if (is_sign(text[begin])) {
    negative = text[begin] == '-';
    ++begin;
  }
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    bool nonzero_integer = false;
    for (std::size_t k = begin; k < end && text[k] != '.'; ++k) {
      if (text[k] != '0') {
        nonzero_integer = true;
        break;
      }
    }
    value = nonzero_integer ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

// Characters that may stand between a latitude and a longitude.
bool is_pair_separator(char32_t c) {
  return text::is_white_space(c) || c == U'°' || c == U'N' || c == U'S' || c == U'n' || c == U's' ||
         c == U',' || c == U';';
}

constexpr std::string_view DEGREE = "°";

// The text between the two numbers of a pair: white space, optionally "°" and
// white space, optionally one of N S n s, then one or more of white space, ","
// and ";". Returns the hemisphere letter (upper case, or 0 for none), or
// nothing when the text does not have that shape.
std::optional<char> read_pair_separator(std::string_view between) {
  std::size_t p = 0;
  bool head_ends_in_space = false;
  const auto skip = [&] {
    const std::size_t before = p;
    text::skip_white_space(between, p);
    if (p > before) head_ends_in_space = true;
  };
  skip();
  if (between.substr(p).starts_with(DEGREE)) {
    p += DEGREE.size();
    head_ends_in_space = false;
    skip();
  }
  char letter = 0;
  if (p < between.size() && std::string_view("NSns").find(between[p]) != std::string_view::npos) {
    letter = between[p] == 'S' || between[p] == 's' ? 'S' : 'N';
    ++p;
    head_ends_in_space = false;
  }
  // Only white space after the number: its last character is the separator.
  if (p == between.size()) {
    if (letter == 0 && head_ends_in_space) return letter;
    return std::nullopt;
  }
  while (p < between.size()) {
    const char32_t c = text::next_code_point(between, p);
    if (!(text::is_white_space(c) || c == U',' || c == U';')) return std::nullopt;
  }
  return letter;
}

}  // namespace

std::optional<NumberScan> scan_number(std::string_view text, std::size_t start) {
  std::size_t q = start;
  if (q < text.size() && is_sign(text[q])) ++q;
  if (q >= text.size() || !text::is_digit(text[q])) return std::nullopt;
  const std::size_t end = number_end(text, q);
  return NumberScan{convert(text, start, end), end};
}

std::vector<double> collect_numbers(std::string_view text) {
  std::vector<double> numbers;
  std::size_t p = 0;
  while (p < text.size()) {
    if (const auto n = scan_number(text, p)) {
      numbers.push_back(n->value);
      p = n->end;
    } else {
      ++p;
    }
  }
  return numbers;
}

std::vector<std::vector<double>> split_after_letters(std::string_view text,
                                                     std::u32string_view letters,
                                                     std::size_t max_pieces) {
  std::vector<std::vector<double>> pieces;
  if (max_pieces == 0) return pieces;
  std::size_t piece_start = 0;
  std::size_t p = 0;
  while (p < text.size()) {
    const std::size_t at = p;
    const char32_t c = text::next_code_point(text, p);
    if (letters.find(c) == std::u32string_view::npos) continue;
    pieces.push_back(collect_numbers(text.substr(piece_start, at - piece_start)));
    if (pieces.size() == max_pieces) return pieces;
    piece_start = p;
  }
  pieces.push_back(collect_numbers(text.substr(piece_start)));
  return pieces;
}

// Every start byte is tried in order, but the work per start is shared: all
// starts inside one number end at the same byte, and whether a second number
// can follow depends only on that end. So each digit run is measured at most
// twice, each separator run walked once, and only the winning pair converted.
std::optional<LatLng> parse_coordinates(std::string_view input) {
  const std::string_view text = text::trim(input);
  const std::size_t size = text.size();

  std::size_t run_start = std::string_view::npos, run_end = 0;    // digits holding the start
  std::size_t frac_start = std::string_view::npos, frac_end = 0;  // digits after its "."
  std::size_t judged_end = std::string_view::npos;                // first number's end last judged
  std::optional<char> judged_letter;                              // its separator's letter
  std::size_t judged_second = 0;                                  // where its second number starts

  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t q = is_sign(text[i]) ? i + 1 : i;
    if (q >= size || !text::is_digit(text[q])) continue;
    if (run_start == std::string_view::npos || q < run_start || q >= run_end) {
      run_start = q;
      run_end = digits_end(text, q);
    }
    std::size_t e1 = run_end;
    if (e1 + 1 < size && text[e1] == '.' && text::is_digit(text[e1 + 1])) {
      if (frac_start != e1 + 1) {
        frac_start = e1 + 1;
        frac_end = digits_end(text, frac_start);
      }
      e1 = frac_end;
    }

    if (e1 != judged_end) {
      judged_end = e1;
      judged_letter.reset();
      std::size_t k = e1;
      while (k < size) {
        std::size_t next = k;
        if (!is_pair_separator(text::next_code_point(text, next))) break;
        k = next;
      }
      // Digits and signs cannot stand between the numbers, so the first other
      // character is the only place the second number can start.
      const bool second_starts =
          k < size && (text::is_digit(text[k]) ||
                       (is_sign(text[k]) && k + 1 < size && text::is_digit(text[k + 1])));
      if (k > e1 && second_starts) {
        judged_letter = read_pair_separator(text.substr(e1, k - e1));
        judged_second = k;
      }
    }
    if (!judged_letter) continue;

    LatLng point{convert(text, i, e1), 0};
    const NumberScan second = *scan_number(text, judged_second);
    point.longitude = second.value;

    std::size_t p = second.end;
    text::skip_white_space(text, p);
    if (text.substr(p).starts_with(DEGREE)) {
      p += DEGREE.size();
      text::skip_white_space(text, p);
    }
    if (*judged_letter == 'S') point.latitude = -std::abs(point.latitude);
    if (p < size && (text[p] == 'W' || text[p] == 'w'))
      point.longitude = -std::abs(point.longitude);

    if (std::abs(point.latitude) <= 90 && std::abs(point.longitude) <= 180) return point;
    return std::nullopt;
  }
  return std::nullopt;
}

std::string format_dms(double value, bool is_latitude) {
  const char* letter = is_latitude ? (value < 0 ? "S" : "N") : (value < 0 ? "W" : "E");
  const double a = std::abs(value);
  double d = std::floor(a);
  const double f = a - d;
  double m = std::floor(f * 60);
  double s = std::round((f - m / 60) * 3600 * 10) / 10;
  if (s >= 60) {
    s -= 60;
    m += 1;
  }
  if (m > 59) {
    m -= 60;
    d += 1;
  }
  return fmt::format("{:.0f}°{:02.0f}′{:0>4}″{}", d, m, number::format_decimals(s, 1), letter);
}

}  // namespace geo

namespace {

using geo::collect_numbers;
using geo::LatLng;
using number::format_decimals;
using number::format_grouped;

bool all_finite(const std::vector<double>& numbers) {
  for (double x : numbers) {
    if (!std::isfinite(x)) return false;
  }
  return true;
}

bool in_lat_lng_range(double latitude, double longitude) {
  return std::abs(latitude) <= 90 && std::abs(longitude) <= 180;
}

// "a.aaaaaa, b.bbbbbb", the pair as every coordinate tool prints it.
std::string six_decimal_pair(double a, double b) {
  return format_decimals(a, 6) + ", " + format_decimals(b, 6);
}

// ---- dms ------------------------------------------------------------------

constexpr std::string_view DMS_EXPECTED = "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W";
constexpr std::u32string_view COMPASS_LETTERS = U"NnSsEeWw";

bool is_dms_mark(char32_t c) {
  return c == U'"' || c == U'\'' || c == U'°' || c == U'º' || c == U'′' || c == U'″';
}

char hemisphere_letter(char32_t c) {
  switch (c) {
    case U'N':
    case U'n':
      return 'N';
    case U'S':
    case U's':
      return 'S';
    case U'E':
    case U'e':
      return 'E';
    case U'W':
    case U'w':
      return 'W';
    default:
      return 0;
  }
}

struct DmsGroup {
  double value = 0;
  bool holds = true;  // minutes and seconds below 60
};

// Degrees, then minutes, then seconds; the minutes and seconds take the sign
// of the degrees so "-38 30" is -38.5.
DmsGroup group_value(const double* numbers, std::size_t count) {
  const double d = numbers[0];
  const double k = (d == 0 || d > 0) ? 1.0 : -1.0;
  if (count == 1) return {d, true};
  const double m = numbers[1];
  if (count == 2) return {d + k * (m / 60), m < 60};
  const double s = numbers[2];
  return {d + k * (s / 3600 + m / 60), m < 60 && s < 60};
}

// The degrees-minutes-seconds reading, or nothing when it does not hold together.
std::optional<LatLng> read_dms(std::string_view text) {
  std::string cleaned;
  cleaned.reserve(text.size());
  char letters[2] = {0, 0};
  std::size_t letter_count = 0;
  bool marked = false;
  for (std::size_t p = 0; p < text.size();) {
    const std::size_t at = p;
    const char32_t c = text::next_code_point(text, p);
    if (is_dms_mark(c) || c == U',') {
      marked = marked || c != U',';
      cleaned.push_back(' ');
      continue;
    }
    if (const char h = hemisphere_letter(c)) {
      if (letter_count < 2) letters[letter_count] = h;
      ++letter_count;
    }
    cleaned.append(text.substr(at, p - at));
  }
  if (!marked && letter_count == 0) return std::nullopt;

  const std::vector<double> numbers = collect_numbers(cleaned);
  if (numbers.empty()) return std::nullopt;

  DmsGroup lat, lng;
  bool grouped = false;
  if (letter_count >= 2) {
    const auto pieces = geo::split_after_letters(cleaned, COMPASS_LETTERS, 2);
    if (!pieces[0].empty() && !pieces[1].empty()) {
      lat = group_value(pieces[0].data(), std::min<std::size_t>(pieces[0].size(), 3));
      lng = group_value(pieces[1].data(), std::min<std::size_t>(pieces[1].size(), 3));
      grouped = true;
    }
  }
  if (!grouped) {
    const std::size_t n = numbers.size();
    if (n != 2 && n != 4 && n != 6) return std::nullopt;
    lat = group_value(numbers.data(), n / 2);
    lng = group_value(numbers.data() + n / 2, n / 2);
  }

  if (letter_count >= 1) {
    if (letters[0] == 'N') lat.value = std::abs(lat.value);
    if (letters[0] == 'S') lat.value = -std::abs(lat.value);
    const char lng_letter = letter_count >= 2 ? letters[1] : letters[0];
    if (lng_letter == 'E') lng.value = std::abs(lng.value);
    if (lng_letter == 'W') lng.value = -std::abs(lng.value);
  }
  if (!(lat.holds && lng.holds && in_lat_lng_range(lat.value, lng.value))) return std::nullopt;
  return LatLng{lat.value, lng.value};
}

// ---- geohash --------------------------------------------------------------

constexpr std::string_view GEOHASH_ALPHABET = "0123456789bcdefghjkmnpqrstuvwxyz";
constexpr std::string_view GEOHASH_EXPECTED = "Expected lat,lng or a geohash like ezs42b";
constexpr double METRES_PER_DEGREE = 111320;

bool is_geohash_text(std::string_view text) {
  for (char c : text) {
    if (GEOHASH_ALPHABET.find(text::ascii_lower(c)) == std::string_view::npos) return false;
  }
  return true;
}

// One bisection step of a geohash cell edge pair.
struct Interval {
  double lower, upper;
};

ToolResult geohash_encode(std::string_view text) {
  const std::vector<double> numbers = collect_numbers(text);
  if (numbers.size() < 2 || !all_finite(numbers))
    return ToolResult::error(std::string(GEOHASH_EXPECTED));
  const double latitude = numbers[0], longitude = numbers[1];
  if (!in_lat_lng_range(latitude, longitude))
    return ToolResult::error(std::string(geo::LAT_LNG_RANGE_ERROR));
  std::size_t length = 9;
  if (numbers.size() > 2) {
    const double precision = numbers[2];
    if (!(precision >= 1 && precision <= 12 && precision == std::floor(precision))) {
      return ToolResult::error("Precision is 1–12 characters");
    }
    length = static_cast<std::size_t>(precision);
  }
  Interval lat{-90, 90}, lng{-180, 180};
  std::string hash;
  bool longitude_bit = true;
  for (std::size_t digit = 0; digit < length; ++digit) {
    unsigned value = 0;
    for (int bit = 0; bit < 5; ++bit) {
      Interval& axis = longitude_bit ? lng : lat;
      const double x = longitude_bit ? longitude : latitude;
      const double mid = (axis.upper + axis.lower) * 0.5;
      value <<= 1;
      if (x >= mid) {
        value |= 1;
        axis.lower = mid;
      } else {
        axis.upper = mid;
      }
      longitude_bit = !longitude_bit;
    }
    hash.push_back(GEOHASH_ALPHABET[value]);
  }
  return ToolResult::output("geohash:  " + hash +
                            "\nlat/lng:  " + six_decimal_pair(latitude, longitude));
}

ToolResult geohash_decode(std::string_view text) {
  if (text.size() > 12) return ToolResult::error("Geohashes run 1–12 characters");
  Interval lat{-90, 90}, lng{-180, 180};
  bool longitude_bit = true;
  for (char c : text) {
    const auto value = static_cast<unsigned>(GEOHASH_ALPHABET.find(text::ascii_lower(c)));
    for (int bit = 4; bit >= 0; --bit) {
      Interval& axis = longitude_bit ? lng : lat;
      const double mid = (axis.lower + axis.upper) * 0.5;
      if ((value >> bit) & 1U) {
        axis.lower = mid;
      } else {
        axis.upper = mid;
      }
      longitude_bit = !longitude_bit;
    }
  }
  const double centre_lat = (lat.upper + lat.lower) * 0.5;
  const double centre_lng = (lng.upper + lng.lower) * 0.5;
  const double h_lat = (lat.upper - lat.lower) * 0.5;
  const double h_lng = (lng.upper - lng.lower) * 0.5;
  const double m_lat = std::round(h_lat * METRES_PER_DEGREE);
  const double m_lng =
      std::round(std::cos(radians_via_pi(centre_lat)) * (h_lng * METRES_PER_DEGREE));
  return ToolResult::output("center:   " + six_decimal_pair(centre_lat, centre_lng) +
                            "\ncell:     ±" + format_grouped(m_lat, 0) + " m lat × ±" +
                            format_grouped(m_lng, 0) + " m lng");
}

// ---- mercator -------------------------------------------------------------

constexpr double MERCATOR_LATITUDE_LIMIT = 85.05112878;
constexpr double MERCATOR_METRE_LIMIT = 20037509;

// ---- geodesic -------------------------------------------------------------

constexpr std::string_view COMPASS_POINTS[16] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                                 "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};

}  // namespace

ToolResult dms_tool(std::string_view input) {
  const std::string_view text = text::trim(input);
  if (text.empty()) return ToolResult::error("Empty input");
  if (const auto point = read_dms(text)) {
    return ToolResult::output("decimal:  " + six_decimal_pair(point->latitude, point->longitude));
  }
  const auto point = geo::parse_coordinates(text);
  if (!point) return ToolResult::error(std::string(DMS_EXPECTED));
  return ToolResult::output("dms:      " + geo::format_dms(point->latitude, true) + " " +
                            geo::format_dms(point->longitude, false));
}

ToolResult geohash_tool(std::string_view input) {
  const std::string_view text = text::trim(input);
  if (text.empty()) return ToolResult::error("Empty input");
  return is_geohash_text(text) ? geohash_decode(text) : geohash_encode(text);
}

ToolResult mercator_tool(std::string_view input) {
  const std::string_view text = text::trim(input);
  if (text.empty()) return ToolResult::error("Empty input");
  if (const auto point = geo::parse_coordinates(text)) {
    if (std::abs(point->latitude) > MERCATOR_LATITUDE_LIMIT) {
      return ToolResult::error("Web Mercator is undefined beyond ±85.05112878°");
    }
    const double x = radians_via_pi(point->longitude) * WGS84_A;
    const double y =
        std::log(std::tan(radians_via_pi(point->latitude) * 0.5 + geodesy::PI / 4)) * WGS84_A;
    return ToolResult::output(
        "mercator:  " + format_grouped(std::round(x), 0) + ", " + format_grouped(std::round(y), 0) +
        "  (EPSG:3857, m)\nlat/lng:   " + six_decimal_pair(point->latitude, point->longitude));
  }
  const std::vector<double> numbers = collect_numbers(text);
  if (numbers.size() != 2 || !all_finite(numbers)) {
    return ToolResult::error("Expected lat,lng or meters like -8655844, 4698913");
  }
  const double x = numbers[0], y = numbers[1];
  if (std::abs(x) > MERCATOR_METRE_LIMIT || std::abs(y) > MERCATOR_METRE_LIMIT) {
    return ToolResult::error("Meters out of range");
  }
  const double latitude = degrees_via_pi(std::atan(std::sinh(y / WGS84_A)));
  const double longitude = degrees_via_pi(x / WGS84_A);
  return ToolResult::output("lat/lng:  " + six_decimal_pair(latitude, longitude));
}

ToolResult geodesic_tool(std::string_view input) {
  const std::vector<double> numbers = collect_numbers(input);
  if (numbers.size() != 4 || !all_finite(numbers)) {
    return ToolResult::error("Usage: lat1,lng1 lat2,lng2  e.g. 40.7128,-74.0060 51.5074,-0.1278");
  }
  const double lat1 = numbers[0], lng1 = numbers[1], lat2 = numbers[2], lng2 = numbers[3];
  if (!in_lat_lng_range(lat1, lng1) || !in_lat_lng_range(lat2, lng2)) {
    return ToolResult::error(std::string(geo::LAT_LNG_RANGE_ERROR));
  }
  const double phi1 = radians_via_pi(lat1), phi2 = radians_via_pi(lat2);
  const double dlam = radians_via_pi(lng2 - lng1);
  const double d = geodesy::haversine_distance(radians_via_pi(lat2 - lat1), dlam,
                                               std::cos(phi1) * std::cos(phi2));

  const double y = std::sin(dlam) * std::cos(phi2);
  const double x =
      std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dlam);
  const double theta = std::fmod(degrees_via_pi(std::atan2(y, x)) + 360, 360);

  const unsigned decimals = d < 100000 ? 1 : 0;
  const auto sector = static_cast<unsigned>(std::round(theta / 22.5)) % 16;
  return ToolResult::output("distance:  " + format_grouped(d / 1000, decimals) +
                            " km\n           " + format_grouped(d / 1609.344, decimals) +
                            " mi\n           " + format_grouped(d / 1852, decimals) +
                            " nmi\nbearing:   " + format_decimals(theta, 1) + "° " +
                            std::string(COMPASS_POINTS[sector]) + " (initial)");
}

}  // namespace pelloriand::tools
