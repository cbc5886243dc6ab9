// The text helpers the HTTP layer shares with the tools: UTF-8 validation,
// walking and writing, and ASCII digits. Text is UTF-8 in std::string /
// std::string_view throughout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelloriand::text {

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

}  // namespace pelloriand::text
