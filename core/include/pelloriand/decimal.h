// The shortest round-trip decimal digits of a double, from which every number
// printer builds its text; the HTTP layer prints "durationMs" and request
// positions with them, most in the plain layout append_plain writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// append_plain
//
// Appends the digits `d` stand for in plain decimal notation, never with an
// exponent: as many zeros as the exponent asks, a "." only before a fraction.
//
// Example:
//   append_plain(out, decimal_digits(-1.5e-3)) appends "-0.0015";
//   append_plain(out, decimal_digits(1200)) appends "1200"
void append_plain(std::string& out, const DecimalDigits& d);

// append_plain_real
//
// append_plain, then ".0" where the digits have no fraction, as a real number
// is shown in the HTTP layer's messages and timings.
//
// Example:
//   append_plain_real(out, decimal_digits(1200)) appends "1200.0"
void append_plain_real(std::string& out, const DecimalDigits& d);

}  // namespace pelloriand::number
