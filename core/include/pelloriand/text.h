// The text helpers the HTTP layer shares with the tools: UTF-8 validation,
// walking and writing, quoting for messages, ASCII digits and case, and
// unsigned decimal numbers.
// Text is UTF-8 in std::string / std::string_view throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelloriand::text {

// utf8_sequence_length
//
// The length of the well-formed UTF-8 sequence that starts at byte `pos` of
// `s` (which must be inside it), or 0 when that sequence is malformed:
// shortest forms only, no surrogates, nothing above U+10FFFF (the table of
// well-formed byte sequences in Unicode, chapter 3, table 3-7).
[[nodiscard]] constexpr std::size_t utf8_sequence_length(std::string_view s, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // no overlong forms
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() - pos < length) return 0;
  const auto b1 = static_cast<unsigned char>(s[pos + 1]);
  if (b1 < low || b1 > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// is_valid_utf8
//
// True when `bytes` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF.
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

// next_code_point
//
// Decodes the code point that starts at byte `pos` of valid UTF-8 text and
// advances `pos` past it. On a malformed sequence it returns U+FFFD and
// advances one byte, so a loop over any bytes always ends.
//
// Example:
//   std::size_t pos = 0;  next_code_point("é!", pos) == U'é', pos == 2
[[nodiscard]] char32_t next_code_point(std::string_view s, std::size_t& pos);

// append_utf8
//
// Appends the UTF-8 bytes of `c` (which must be a scalar value) to `out`.
void append_utf8(std::string& out, char32_t c);

// append_debug_quoted
//
// Appends `s` to `out` as a quoted string for messages and inspection text:
// between double quotes, with \" \\ \n \r \t \0 for those characters and a
// braced hexadecimal escape for every other control character (C0, DEL and
// C1). Other bytes, UTF-8 sequences included, are copied unchanged.
//
// Example (the text shown as it reads, not as a C++ literal):
//   a"b, U+0001, U+0085, é  appends  "a\"b\u{1}\u{85}é"
void append_debug_quoted(std::string& out, std::string_view s);

// is_digit
//
// True for the ASCII digits 0 to 9 only; a code point is never narrowed, so
// U+0130 is no digit.
[[nodiscard]] constexpr bool is_digit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

// hex_digit_value
//
// The value of an ASCII hexadecimal digit of either case, or -1.
[[nodiscard]] constexpr int hex_digit_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// read_hex4
//
// Reads the four hexadecimal digits of a "\uXXXX" escape from the start of
// `s` into `value` and returns how many leading bytes were hexadecimal digits,
// at most 4: 4 means `value` is complete, fewer that the next byte is not a
// digit or that `s` ends there.
[[nodiscard]] constexpr std::size_t read_hex4(std::string_view s, std::uint32_t& value) {
  value = 0;
  std::size_t i = 0;
  for (; i < 4 && i < s.size(); ++i) {
    const int v = hex_digit_value(s[i]);
    if (v < 0) break;
    value = value << 4 | static_cast<std::uint32_t>(v);
  }
  return i;
}

// ascii_lower
//
// `c` with A to Z mapped to a to z; every other byte, UTF-8 ones included,
// unchanged.
[[nodiscard]] constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ascii_upper
//
// `c` with a to z mapped to A to Z; every other byte unchanged.
[[nodiscard]] constexpr char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// to_ascii_lower, to_ascii_upper
//
// `s` with ascii_lower or ascii_upper applied to each byte.
[[nodiscard]] inline std::string to_ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}
[[nodiscard]] inline std::string to_ascii_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

// ascii_iequals
//
// True when `a` and `b` are equal once ASCII letters are folded, as HTTP
// header names and encoding labels compare.
[[nodiscard]] constexpr bool ascii_iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

// UnsignedError
//
// Why parse_unsigned refused a text.
enum class UnsignedError { empty, invalid_digit, too_large };

// parse_unsigned
//
// Reads a setting such as a port or a thread count: an optional "+", then
// ASCII digits only, at most `max`. A byte that is no digit is reported
// before a value that is too large, as the number's reader in the callers'
// messages does. On failure `error` says why.
//
// Example:
//   parse_unsigned("+8080", 65535, e) == 8080;  parse_unsigned("70000", 65535, e) == nullopt
[[nodiscard]] constexpr std::optional<std::uint64_t> parse_unsigned(std::string_view s,
                                                                    std::uint64_t max,
                                                                    UnsignedError& error) {
  if (s.empty()) {
    error = UnsignedError::empty;
    return std::nullopt;
  }
  if (s.size() > 1 && s[0] == '+') s.remove_prefix(1);
  for (char c : s) {
    if (!is_digit(c)) {
      error = UnsignedError::invalid_digit;
      return std::nullopt;
    }
  }
  std::uint64_t value = 0;
  for (char c : s) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (digit > max || value > (max - digit) / 10) {
      error = UnsignedError::too_large;
      return std::nullopt;
    }
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace pelloriand::text
