// Number reading and printing; see number.h for what each function promises.
//
// Shortest round-trip digits come from std::to_chars (scientific form), from
// which the plain, significant and exponent texts are laid out here. The fixed
// decimal printer works on the exact binary value with 128-bit integers so that
// 2.675 prints "2.67": its double lies just below the tie.
#include "number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "text.h"

namespace pelloriand::number {
namespace {

using u128 = unsigned __int128;

constexpr u128 U128_MAX = ~u128{0};

// 2^128 as a double, the first product that saturates.
constexpr double TWO_POW_128 = 340282366920938463463374607431768211456.0;

int digit_value(char c) {
  if (text::is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return 99;
}

// The rest of a "0x"/"0b"/"0o" text: an optional sign, then digits of `base`,
// within the signed 128-bit range.
std::optional<double> parse_prefixed(std::string_view lower, unsigned base) {
  bool negative = false;
  if (!lower.empty() && (lower[0] == '+' || lower[0] == '-')) {
    negative = lower[0] == '-';
    lower.remove_prefix(1);
  }
  if (lower.empty()) return std::nullopt;
  const u128 limit = (u128{1} << 127) - (negative ? 0 : 1);
  u128 value = 0;
  for (char c : lower) {
    const int d = digit_value(c);
    if (d >= static_cast<int>(base)) return std::nullopt;
    if (value > (limit - static_cast<unsigned>(d)) / base) return std::nullopt;
    value = value * base + static_cast<unsigned>(d);
  }
  // Both conversions round to the nearest double; 2^127 itself is exact.
  const double magnitude = static_cast<double>(value);
  return negative ? -magnitude : magnitude;
}

// A decimal text by the grammar: sign, digits with at most one point (at least
// one digit), optional exponent; or inf / infinity / nan.
std::optional<double> parse_decimal(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (text::ascii_iequals(s, "inf") || text::ascii_iequals(s, "infinity")) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (text::ascii_iequals(s, "nan")) return std::numeric_limits<double>::quiet_NaN();

  std::size_t i = 0;
  const std::size_t int_begin = i;
  while (i < s.size() && text::is_digit(s[i])) ++i;
  const std::string_view int_digits = s.substr(int_begin, i - int_begin);
  std::string_view frac_digits;
  if (i < s.size() && s[i] == '.') {
    const std::size_t frac_begin = ++i;
    while (i < s.size() && text::is_digit(s[i])) ++i;
    frac_digits = s.substr(frac_begin, i - frac_begin);
  }
  if (int_digits.empty() && frac_digits.empty()) return std::nullopt;
  std::string_view exponent;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    const std::size_t exp_begin = ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t exp_digits = i;
    while (i < s.size() && text::is_digit(s[i])) ++i;
    if (i == exp_digits) return std::nullopt;
    exponent = s.substr(exp_begin, i - exp_begin);
  }
  if (i != s.size()) return std::nullopt;

  // Re-assemble in the one form every reader accepts: d+[.d+][e[-]d+].
  std::string buffer;
  buffer.reserve(s.size() + 4);
  if (negative) buffer.push_back('-');
  buffer.append(int_digits.empty() ? std::string_view("0") : int_digits);
  if (!frac_digits.empty()) {
    buffer.push_back('.');
    buffer.append(frac_digits);
  }
  if (!exponent.empty()) {
    buffer.push_back('e');
    buffer.append(exponent[0] == '+' ? exponent.substr(1) : exponent);
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Overflow to infinity or underflow to zero; strtod rounds these the same
    // way and reports the limit value instead of leaving the result untouched.
    return std::strtod(buffer.c_str(), nullptr);
  }
  if (ec != std::errc() || end != buffer.data() + buffer.size()) return std::nullopt;
  return value;
}

void append_u128(std::string& out, u128 v) {
  char buf[40];
  char* p = buf + sizeof buf;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  out.append(p, buf + sizeof buf);
}

void append_padded(std::string& out, u128 v, unsigned width) {
  std::string digits;
  append_u128(digits, v);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out.append(digits);
}

u128 pow10_u128(unsigned n) {
  u128 p = 1;
  for (unsigned i = 0; i < n; ++i) p *= 10;
  return p;
}

// round(10^n * |x|) in double precision, saturated into 128 bits.
u128 scaled_by_double(double x, unsigned n) {
  const double product = std::round(std::pow(10.0, n) * std::fabs(x));
  if (!(product >= 0)) return 0;  // negative or NaN
  if (product >= TWO_POW_128) return U128_MAX;
  return static_cast<u128>(product);
}

std::string fixed_text(bool negative, u128 scaled, unsigned n) {
  const u128 unit = pow10_u128(n);
  std::string out;
  if (negative) out.push_back('-');
  append_u128(out, scaled / unit);
  if (n > 0) {
    out.push_back('.');
    append_padded(out, scaled % unit, n);
  }
  return out;
}

// The exact scaled value |x| * 10^n rounded half up, when it fits 128 bits.
std::optional<u128> scaled_exactly(double x, unsigned n) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e;
  if (biased == 0) {
    e = -1074;
  } else {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  if (n > 27) return std::nullopt;  // 5^n no longer fits beside the significand
  u128 five_n = 1;
  for (unsigned i = 0; i < n; ++i) five_n *= 5;
  const u128 big_n = u128{m} * five_n;
  const int b = e + static_cast<int>(n);
  if (b < -100 || b > 100) return std::nullopt;
  if (b < 0) {
    const unsigned shift = static_cast<unsigned>(-b);
    return (big_n + (u128{1} << (shift - 1))) >> shift;
  }
  if (big_n >= (u128{1} << (127 - b))) return std::nullopt;
  return big_n << b;
}

// Shortest digits as "d.ddde±xx" from to_chars.
struct ShortestText {
  char buf[32];
  std::size_t size;
};

ShortestText shortest_scientific(double x) {
  ShortestText t;
  const auto result = std::to_chars(t.buf, t.buf + sizeof t.buf, x, std::chars_format::scientific);
  t.size = static_cast<std::size_t>(result.ptr - t.buf);
  return t;
}

void pad_digits(DecimalDigits& d, unsigned count) {
  while (d.count < count) d.digits[d.count++] = 0;
}

void append_exponent(std::string& out, int e) {
  out.push_back(e >= 0 ? '+' : '-');
  out.append(std::to_string(e >= 0 ? e : -e));
}

}  // namespace

std::optional<double> parse_number(std::string_view input) {
  std::string_view s = text::trim(input);
  if (s.empty()) return 0.0;
  double sign = 1;
  if (s[0] == '+' || s[0] == '-') {
    sign = s[0] == '-' ? -1 : 1;
    s.remove_prefix(1);
  }
  if (s.size() >= 2 && s[0] == '0') {
    const char p = text::ascii_lower(s[1]);
    const unsigned base = p == 'x' ? 16 : p == 'b' ? 2 : p == 'o' ? 8 : 0;
    if (base != 0) {
      const std::optional<double> value = parse_prefixed(text::to_ascii_lower(s.substr(2)), base);
      if (!value) return std::nullopt;
      return sign * *value;
    }
  }
  if (s.empty()) return std::nullopt;
  std::string fixed;
  if (s.front() == '.' || s.back() == '.') {
    if (s.front() == '.') fixed.push_back('0');
    fixed.append(s);
    if (s.back() == '.') fixed.push_back('0');
    s = fixed;
  }
  const std::optional<double> value = parse_decimal(s);
  if (!value) return std::nullopt;
  return sign * *value;
}

std::string format_decimals(double x, unsigned n) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  if (x == 0) return fixed_text(false, 0, n);
  const std::optional<u128> scaled = scaled_exactly(x, n);
  if (!scaled) return format_decimals_fallback(x, n);
  return fixed_text(std::signbit(x), *scaled, n);
}

std::string format_decimals_fallback(double x, unsigned n) {
  return fixed_text(std::signbit(x), scaled_by_double(x, n), n);
}

std::string format_grouped(double x, unsigned n) {
  const u128 unit = pow10_u128(n);
  const u128 scaled = scaled_by_double(x, n);
  std::string integer;
  append_u128(integer, scaled / unit);
  std::string out;
  if (std::signbit(x)) out.push_back('-');
  for (std::size_t i = 0; i < integer.size(); ++i) {
    if (i != 0 && (integer.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(integer[i]);
  }
  if (n > 0) {
    std::string fraction;
    append_padded(fraction, scaled % unit, n);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) {
      out.push_back('.');
      out.append(fraction);
    }
  }
  return out;
}

void append_plain(std::string& out, const DecimalDigits& d) {
  if (d.negative) out.push_back('-');
  const int e = d.exponent;
  const int k = d.count;
  if (e < 0) {
    out.append("0.");
    out.append(static_cast<std::size_t>(-e - 1), '0');
    for (int i = 0; i < k; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
    return;
  }
  for (int i = 0; i < k && i <= e; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
  if (k <= e + 1) {
    out.append(static_cast<std::size_t>(e + 1 - k), '0');
    return;
  }
  out.push_back('.');
  for (int i = e + 1; i < k; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
}

void append_plain_real(std::string& out, const DecimalDigits& d) {
  append_plain(out, d);
  if (d.count <= d.exponent + 1) out.append(".0");
}

DecimalDigits decimal_digits(double x) {
  DecimalDigits d;
  d.negative = std::signbit(x);
  if (x == 0) {
    d.digits[0] = 0;
    d.count = 1;
    return d;
  }
  const ShortestText t = shortest_scientific(x);
  std::size_t i = d.negative ? 1 : 0;
  for (; i < t.size && t.buf[i] != 'e'; ++i) {
    if (t.buf[i] != '.') d.digits[d.count++] = static_cast<std::uint8_t>(t.buf[i] - '0');
  }
  std::from_chars(t.buf + i + 1 + (t.buf[i + 1] == '+' ? 1 : 0), t.buf + t.size, d.exponent);
  while (d.count > 1 && d.digits[d.count - 1] == 0) --d.count;
  return d;
}

DecimalDigits round_digits(DecimalDigits d, unsigned k) {
  if (d.count <= k) return d;
  const bool round_up = d.digits[k] >= 5;
  d.count = static_cast<std::uint8_t>(k);
  if (!round_up) return d;
  int i = static_cast<int>(k) - 1;
  while (i >= 0 && d.digits[i] == 9) --i;  // each 9 carries and is dropped
  if (i < 0) {
    d.digits[0] = 1;
    d.count = 1;
    ++d.exponent;
    return d;
  }
  ++d.digits[i];
  d.count = static_cast<std::uint8_t>(i + 1);
  return d;
}

std::string_view trim_fraction_zeros(std::string_view text) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return text;
  std::size_t end = text.size();
  while (end > point + 1 && text[end - 1] == '0') --end;
  if (end == point + 1) end = point;
  return text.substr(0, end);
}

std::string trim_exponent_zeros(std::string_view text) {
  const std::size_t e = text.find('e');
  if (e == std::string_view::npos) return std::string(trim_fraction_zeros(text));
  std::string out(trim_fraction_zeros(text.substr(0, e)));
  out.append(text.substr(e));
  return out;
}

std::string format_significant(double x) {
  if (!std::isfinite(x)) return "∞";
  const double magnitude = std::fabs(x);
  std::string out;
  if (magnitude >= 1e21 || (x != 0 && magnitude < 1e-9)) {
    DecimalDigits d = round_digits(decimal_digits(x), 7);
    pad_digits(d, 7);
    if (d.negative) out.push_back('-');
    out.push_back(static_cast<char>('0' + d.digits[0]));
    out.push_back('.');
    for (int i = 1; i < 7; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
    out.push_back('e');
    append_exponent(out, d.exponent);
    return out;
  }
  DecimalDigits d = round_digits(decimal_digits(x), 10);
  pad_digits(d, 10);
  const int e = d.exponent;
  if (d.negative) out.push_back('-');
  if (e >= -3 && e <= 4) {
    std::string body(static_cast<std::size_t>(e < 0 ? -e : 0), '0');
    for (int i = 0; i < 10; ++i) body.push_back(static_cast<char>('0' + d.digits[i]));
    body.insert(static_cast<std::size_t>((e > 0 ? e : 0) + 1), 1, '.');
    out.append(body);
    return trim_exponent_zeros(out);
  }
  out.push_back(static_cast<char>('0' + d.digits[0]));
  out.push_back('.');
  for (int i = 1; i < 10; ++i) out.push_back(static_cast<char>('0' + d.digits[i]));
  out.push_back('e');
  if (e >= 0) out.push_back('+');
  out.append(std::to_string(e));
  return trim_exponent_zeros(out);
}

void append_shortest(std::string& out, double x) {
  if (x == 0) {
    out.push_back('0');
    return;
  }
  if (std::isnan(x)) {
    out.append("NaN");
    return;
  }
  if (std::isinf(x)) {
    out.append(x < 0 ? "-Infinity" : "Infinity");
    return;
  }
  const double magnitude = std::fabs(x);
  if (magnitude >= 1e-6 && magnitude < 1e21) {
    append_plain(out, decimal_digits(x));
    return;
  }
  // to_chars already writes "d.ddde-07": at least two exponent digits, signed.
  const ShortestText t = shortest_scientific(x);
  out.append(t.buf, t.size);
}

std::string format_shortest(double x) {
  std::string out;
  append_shortest(out, x);
  return out;
}

}  // namespace pelloriand::number
