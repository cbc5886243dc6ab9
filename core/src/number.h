// Number text shared by the tools: reading a number a user typed, and the four
// printers (fixed decimals, grouped, significant digits, shortest round trip).
// All are plain functions without state. Coordinates, in their own notations,
// are read by the geo helpers instead.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pelloriand/decimal.h"

namespace pelloriand::number {

// parse_number
//
// Reads one number text as a double: surrounding White_Space ignored, one
// optional sign, then either a "0x", "0b" or "0o" integer (signed 128-bit
// range) or a decimal with optional fraction and exponent, or the words "inf",
// "infinity", "nan" in any case. An empty or blank text is 0. Returns nothing
// when the text is no number ("1,5", "12 km", "0x1.8p3").
//
// Example:
//   parse_number(" .5 ") == 0.5;  parse_number("-0x-10") == 16
[[nodiscard]] std::optional<double> parse_number(std::string_view text);

// format_decimals
//
// Prints x with exactly n decimals (n is 1 to 6), rounding the exact binary
// value to the nearest, halves up. "-" is kept on negative values that round to
// zero, but not on -0 itself. NaN and the infinities print "NaN", "inf", "-inf".
//
// Example:
//   format_decimals(2.675, 2) == "2.67"   // the double lies below the tie
//   format_decimals(0.125, 2) == "0.13"
[[nodiscard]] std::string format_decimals(double x, unsigned n);

// The double-precision path of format_decimals, for values whose scaled
// magnitude does not fit the exact 128-bit computation.
[[nodiscard]] std::string format_decimals_fallback(double x, unsigned n);

// format_grouped
//
// Prints x with at most n decimals (n is 0 to 2): the double product x * 10^n
// rounded half away from zero, trailing zeros dropped, "," between groups of
// three integer digits, "-" whenever the sign bit is set.
//
// Example:
//   format_grouped(1234567.891, 2) == "1,234,567.89";  format_grouped(-0.004, 2) == "-0"
[[nodiscard]] std::string format_grouped(double x, unsigned n);

// round_digits
//
// Keeps the first k digits, rounding half up on the first dropped digit; a
// carry may leave fewer than k digits ([1,2,9,7] kept to 3 gives [1,3]).
[[nodiscard]] DecimalDigits round_digits(DecimalDigits d, unsigned k);

// trim_fraction_zeros
//
// Drops trailing "0"s after the first "." and then a bare ".".
//
// Example:
//   trim_fraction_zeros("2.500") == "2.5";  trim_fraction_zeros("100") == "100"
[[nodiscard]] std::string_view trim_fraction_zeros(std::string_view text);

// trim_exponent_zeros
//
// trim_fraction_zeros applied to the part before the first "e".
//
// Example:
//   trim_exponent_zeros("1.500000000e+5") == "1.5e+5"
[[nodiscard]] std::string trim_exponent_zeros(std::string_view text);

// format_significant
//
// At most 10 significant digits, fixed notation for decimal exponents -3 to 4
// and exponent notation otherwise, trailing zeros removed; magnitudes from 1e21
// and below 1e-9 get exactly 7 digits, untrimmed. Non-finite values print "∞".
//
// Example:
//   format_significant(2.0 / 3) == "0.6666666667";  format_significant(1e21) == "1.000000e+21"
[[nodiscard]] std::string format_significant(double x);

// format_shortest
//
// The shortest round-trip digits, plain for magnitudes from 1e-6 to below 1e21
// and exponent notation with at least two exponent digits elsewhere; "NaN",
// "Infinity", "-Infinity"; both zeros print "0".
//
// Example:
//   format_shortest(1.5e-7) == "1.5e-07";  format_shortest(0.1 + 0.2) == "0.30000000000000004"
[[nodiscard]] std::string format_shortest(double x);

// Appends the same text as format_shortest to `out`, without a temporary.
void append_shortest(std::string& out, double x);

}  // namespace pelloriand::number
