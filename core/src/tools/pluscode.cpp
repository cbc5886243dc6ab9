// The pluscode tool: Open Location Code encoding of a latitude/longitude pair
// (2 to 15 digits) and decoding of a full code into its cell's centre and
// half-size.
//
// Encoding works in integer units (1/25,000,000° of latitude and 1/8,192,000°
// of longitude, the finest grid digit's cell) so that no digit depends on a
// floating-point remainder; decoding sums whole units of 1/8000° for the pair
// digits. Centres print to six decimals; cell sizes are metres on the
// 6371008.8 m mean sphere, at least 1.
#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "geodesy.h"
#include "number.h"
#include "text.h"
#include "tools/entries.h"
#include "tools/geo.h"

namespace pelloriand::tools {
namespace {

using geodesy::MEAN_EARTH_RADIUS;
using geodesy::radians_via_pi;
using number::format_decimals;
using number::format_grouped;

constexpr std::string_view PLUS_CODE_ALPHABET = "23456789CFGHJMPQRVWX";
constexpr double LATITUDE_UNITS = 25000000;  // per degree, finest grid row
constexpr double LONGITUDE_UNITS = 8192000;  // per degree, finest grid column
constexpr double PAIR_UNITS = 8000;          // per degree, finest pair digit
constexpr std::size_t MAX_DIGITS = 15;

ToolResult encode(std::string_view text) {
  const std::vector<double> numbers = geo::collect_numbers(text);
  bool finite = numbers.size() >= 2;
  for (double x : numbers) finite = finite && std::isfinite(x);
  if (!finite) return ToolResult::error("Expected lat,lng or a plus code like 87G7PX7V+4J");
  const double input_latitude = numbers[0], input_longitude = numbers[1];
  if (!(std::abs(input_latitude) <= 90 && std::abs(input_longitude) <= 180)) {
    return ToolResult::error(std::string(geo::LAT_LNG_RANGE_ERROR));
  }
  int length = 10;
  if (numbers.size() > 2) {
    const double l = numbers[2];
    const bool whole = l >= 2 && l <= 15 && l == std::floor(l);
    if (!whole || (l < 10 && std::fmod(l, 2) != 0)) {
      return ToolResult::error("Plus-code length is 2, 4, 6, 8, 10…15");
    }
    length = static_cast<int>(l);
  }

  double latitude = input_latitude;
  // The north pole has no cell above it: it belongs to the top cell of the length asked for.
  if (latitude == 90) {
    latitude = length <= 10 ? 90 - std::pow(20.0, 2 - length / 2)
                            : 90 - 0.000125 / std::pow(5.0, length - 10);
  }
  const double longitude = std::fmod(std::fmod(input_longitude + 180, 360) + 360, 360) - 180;

  std::int64_t s = std::llround((latitude + 90) * LATITUDE_UNITS);
  std::int64_t u = std::llround((longitude + 180) * LONGITUDE_UNITS);

  char grid[5] = {};
  if (length > 10) {
    for (int k = 4; k >= 0; --k) {
      grid[k] = PLUS_CODE_ALPHABET[static_cast<std::size_t>(4 * (s % 5) + (u % 4))];
      s /= 5;
      u /= 4;
    }
  } else {
    s /= 3125;
    u /= 1024;
  }
  char pairs[10] = {};
  for (int k = 4; k >= 0; --k) {
    pairs[2 * k + 1] = PLUS_CODE_ALPHABET[static_cast<std::size_t>(u % 20)];
    u /= 20;
    pairs[2 * k] = PLUS_CODE_ALPHABET[static_cast<std::size_t>(s % 20)];
    s /= 20;
  }

  std::string full(pairs, 8);
  full.push_back('+');
  full.append(pairs + 8, 2);
  full.append(grid, 5);
  std::string code;
  if (length >= 8) {
    code = full.substr(0, static_cast<std::size_t>(length) + 1);
  } else {
    code = full.substr(0, static_cast<std::size_t>(length));
    code.append(static_cast<std::size_t>(8 - length), '0');
    code.push_back('+');
  }
  return ToolResult::output("plus:     " + code +
                            "\nlat/lng:  " + format_decimals(input_latitude, 6) + ", " +
                            format_decimals(input_longitude, 6));
}

ToolResult decode(std::string_view text) {
  // Only the first 15 significant characters can matter, so a long paste is
  // never copied or case-mapped whole.
  std::string kept;
  std::size_t count = 0;
  for (std::size_t p = 0; p < text.size() && count < MAX_DIGITS;) {
    const std::size_t at = p;
    const char32_t c = text::next_code_point(text, p);
    if (c == U'+' || c == U'0') continue;
    kept.append(text.substr(at, p - at));
    ++count;
  }
  std::string upper = text::to_upper(kept);
  count = 0;
  for (std::size_t p = 0; p < upper.size();) {
    (void)text::next_code_point(upper, p);
    if (++count == MAX_DIGITS) {
      upper.resize(p);
      break;
    }
  }
  if (upper.size() <= 7) {
    return ToolResult::error("Short codes need a reference location — paste a full code");
  }

  int values[MAX_DIGITS] = {};
  for (std::size_t p = 0, k = 0; p < upper.size(); ++k) {
    const std::size_t at = p;
    (void)text::next_code_point(upper, p);
    const std::size_t value =
        p - at == 1 ? PLUS_CODE_ALPHABET.find(upper[at]) : std::string_view::npos;
    if (value == std::string_view::npos) {
      return ToolResult::error(
          fmt::format("\"{}\" is not a plus-code character", upper.substr(at, p - at)));
    }
    values[k] = static_cast<int>(value);
  }
  const std::size_t n = upper.size();  // all ASCII now
  // A lone digit after the "+" leaves the last pair without its longitude
  // digit; guessing one would name a cell the code does not.
  if (n == 9) {
    return ToolResult::error(
        "Plus codes have 8 or 10 to 15 digits — one digit after \"+\" is incomplete");
  }
  // The first pair counts 20° steps from 90°S and 180°W: past C (160°) or V
  // (340°) the cell would lie beyond the pole or the antimeridian.
  if (values[0] > 8) {
    return ToolResult::error(
        fmt::format("\"{}\" cannot start a plus code (latitude digits run to C)", upper[0]));
  }
  if (values[1] > 17) {
    return ToolResult::error(fmt::format(
        "\"{}\" cannot be a plus code's second digit (longitude digits run to V)", upper[1]));
  }

  const std::size_t m = std::min<std::size_t>(n, 10);
  std::int64_t latitude_sum = -720000, longitude_sum = -1440000, place = 160000;
  for (std::size_t p = 0; 2 * p < m; ++p) {
    latitude_sum += values[2 * p] * place;
    longitude_sum += values[2 * p + 1] * place;
    if (2 * p < m - 2) place /= 20;
  }
  double height = static_cast<double>(place) / PAIR_UNITS;
  double width = height;
  std::int64_t latitude_grid = 0, longitude_grid = 0;
  if (n > 10) {
    std::int64_t row_place = 625, column_place = 256;
    for (std::size_t k = 10; k < n; ++k) {
      latitude_grid += (values[k] / 4) * row_place;
      longitude_grid += (values[k] % 4) * column_place;
      if (k + 1 < n) {
        row_place /= 5;
        column_place /= 4;
      }
    }
    height = static_cast<double>(row_place) / LATITUDE_UNITS;
    width = static_cast<double>(column_place) / LONGITUDE_UNITS;
  }
  const double south = static_cast<double>(latitude_grid) / LATITUDE_UNITS +
                       static_cast<double>(latitude_sum) / PAIR_UNITS;
  const double west = static_cast<double>(longitude_grid) / LONGITUDE_UNITS +
                      static_cast<double>(longitude_sum) / PAIR_UNITS;
  const double m_lat = std::max(1.0, std::round(radians_via_pi(height / 2) * MEAN_EARTH_RADIUS));
  const double m_lng = std::max(1.0, std::round(std::cos(radians_via_pi(south)) *
                                                (radians_via_pi(width / 2) * MEAN_EARTH_RADIUS)));
  return ToolResult::output("center:   " + format_decimals(south + height / 2, 6) + ", " +
                            format_decimals(west + width / 2, 6) + "\ncell:     ±" +
                            format_grouped(m_lat, 0) + " m lat × ±" + format_grouped(m_lng, 0) +
                            " m lng (" + std::to_string(n) + " chars)");
}

}  // namespace

ToolResult pluscode_tool(std::string_view input) {
  const std::string_view text = text::trim(input);
  if (text.empty()) return ToolResult::error("Empty input");
  return text.find('+') != std::string_view::npos ? decode(text) : encode(text);
}

}  // namespace pelloriand::tools
