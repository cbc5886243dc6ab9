// Unicode text helpers shared by every tool: White_Space trimming, UTF-8
// walking and writing, and full case mapping. Text is UTF-8 in std::string /
// std::string_view throughout; the tools' inputs arrive as valid UTF-8 (the
// request reader guarantees it), bytes a tool decodes itself must be checked with
// is_valid_utf8 before they are treated as text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelloriand::text {

// is_white_space
//
// True for the characters with the Unicode White_Space property: U+0009 to
// U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029,
// U+202F, U+205F and U+3000.
[[nodiscard]] constexpr bool is_white_space(char32_t c) {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// trim
//
// Removes every leading and trailing White_Space character. The result views
// `s`, so it must not outlive it.
//
// Example:
//   trim("\u3000 12 km\t") == "12 km"
[[nodiscard]] std::string_view trim(std::string_view s);

// next_code_point
//
// Decodes the code point that starts at byte `pos` of valid UTF-8 text and
// advances `pos` past it. On a malformed sequence it returns U+FFFD and
// advances one byte, so a loop over any bytes always ends.
//
// Example:
//   std::size_t pos = 0;  next_code_point("é!", pos) == U'é', pos == 2
[[nodiscard]] char32_t next_code_point(std::string_view s, std::size_t& pos);

// previous_code_point
//
// Decodes the code point that ends just before byte `pos` and moves `pos` back
// to its first byte. `pos` must be above 0.
[[nodiscard]] char32_t previous_code_point(std::string_view s, std::size_t& pos);

// append_utf8
//
// Appends the UTF-8 bytes of `c` (which must be a scalar value) to `out`.
void append_utf8(std::string& out, char32_t c);

// is_valid_utf8
//
// True when `bytes` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF.
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

// to_upper, to_lower
//
// Full Unicode case mapping in the root locale (no Turkish or Lithuanian
// rules): "straße" upper-cases to "STRASSE", and a final sigma lower-cases to
// "ς".
[[nodiscard]] std::string to_upper(std::string_view s);
[[nodiscard]] std::string to_lower(std::string_view s);

}  // namespace pelloriand::text
