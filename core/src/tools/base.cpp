// The `base` tool: one whole number in decimal, hexadecimal, binary and octal.
// The number is read with parse_number, so it is a double: every accepted
// value (|v| <= 2^127) is an integer that fits an unsigned 128-bit magnitude
// exactly, and the three power-of-two bases print that magnitude exactly.
// Above 2^53 the decimal line shows the double's shortest round-trip digits
// written out positionally, so its low digits can differ from the magnitude.
#include <fmt/format.h>

#include <cmath>
#include <string>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

using Magnitude = unsigned __int128;

constexpr double TWO_POW_53 = 9007199254740992.0;
const double TWO_POW_127 = std::ldexp(1.0, 127);

// `m` in base 2, 8, 10 or 16 (lower-case digits), no leading zeros.
std::string digits_in_base(Magnitude m, unsigned base) {
  char buffer[128];  // 2^127 has 128 binary digits at most
  std::size_t n = sizeof buffer;
  do {
    buffer[--n] = "0123456789abcdef"[static_cast<unsigned>(m % base)];
    m /= base;
  } while (m != 0);
  return std::string(buffer + n, sizeof buffer - n);
}

// The shortest digits of `v` (a whole number) written out to the units.
std::string shortest_positional(double v) {
  const number::DecimalDigits d = number::decimal_digits(v);
  std::string out = d.negative ? "-" : "";
  for (std::uint8_t i = 0; i < d.count; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
  const int zeros = d.exponent + 1 - d.count;
  if (zeros > 0) out.append(static_cast<std::size_t>(zeros), '0');
  return out;
}

}  // namespace

ToolResult base_tool(std::string_view input) {
  const std::string_view t = text::trim(input);
  if (t.empty()) return ToolResult::error("Empty input");
  const std::optional<double> parsed = number::parse_number(t);
  if (!parsed || !std::isfinite(*parsed) || *parsed != std::trunc(*parsed) ||
      std::fabs(*parsed) > TWO_POW_127) {
    return ToolResult::error(fmt::format("\"{}\" is not a valid number", t));
  }
  const double v = *parsed;
  const std::string sign = v < 0 ? "-" : "";
  const auto magnitude = static_cast<Magnitude>(std::fabs(v));
  const std::string decimal =
      std::fabs(v) <= TWO_POW_53 ? sign + digits_in_base(magnitude, 10) : shortest_positional(v);
  return ToolResult::output(
      fmt::format("decimal:  {}\nhex:      0x{}{}\nbinary:   0b{}{}\noctal:    0o{}{}", decimal,
                  sign, digits_in_base(magnitude, 16), sign, digits_in_base(magnitude, 2), sign,
                  digits_in_base(magnitude, 8)));
}

}  // namespace pelloriand::tools
