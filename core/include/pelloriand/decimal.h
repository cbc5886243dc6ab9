// The shortest round-trip decimal digits of a double, from which every number
// printer builds its text; the HTTP layer prints "durationMs" and request
// positions with them.
#pragma once

#include <array>
#include <cstdint>

namespace pelloriand::number {

// DecimalDigits
//
// The shortest round-trip digits of a double: value = d1.d2d3... x 10^exponent.
// No leading or trailing zero digit, except that zero is the single digit 0.
struct DecimalDigits {
  std::array<std::uint8_t, 24> digits{};
  std::uint8_t count = 0;
  std::int32_t exponent = 0;
  bool negative = false;  // the plain text starts with "-", -0 included
};

// decimal_digits
//
// Example:
//   decimal_digits(-120.5) == {digits [1,2,0,5], exponent 2, negative}
[[nodiscard]] DecimalDigits decimal_digits(double x);

}  // namespace pelloriand::number
