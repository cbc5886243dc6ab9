// Unicode text helpers shared by every tool: White_Space trimming, UTF-8
// walking and writing (the part the HTTP layer shares is in
// pelloriand/text.h), and full case mapping. Text is UTF-8 in std::string /
// std::string_view throughout; the tools' inputs arrive as valid UTF-8 (the
// request reader guarantees it), bytes a tool decodes itself must be checked with
// is_valid_utf8 before they are treated as text.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pelloriand/text.h"

namespace pelloriand::text {

// is_white_space
//
// True for the characters with the Unicode White_Space property: U+0009 to
// U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029,
// U+202F, U+205F and U+3000.
[[nodiscard]] constexpr bool is_white_space(char32_t c) {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// skip_white_space
//
// Moves `pos` past the White_Space characters that start at byte `pos`.
void skip_white_space(std::string_view s, std::size_t& pos);

// next_token
//
// The next run of characters other than White_Space at or after byte `pos`,
// with `pos` moved past it; empty once only White_Space is left. The result
// views `s`.
//
// Example:
//   std::size_t pos = 0;  next_token(" 12\u3000km", pos) == "12", pos == 3
[[nodiscard]] std::string_view next_token(std::string_view s, std::size_t& pos);

// trim
//
// Removes every leading and trailing White_Space character. The result views
// `s`, so it must not outlive it.
//
// Example:
//   trim("\u3000 12 km\t") == "12 km"
[[nodiscard]] std::string_view trim(std::string_view s);

// previous_code_point
//
// Decodes the code point that ends just before byte `pos` and moves `pos` back
// to its first byte. `pos` must be above 0.
[[nodiscard]] char32_t previous_code_point(std::string_view s, std::size_t& pos);

// to_upper, to_lower
//
// Full Unicode case mapping in the root locale (no Turkish or Lithuanian
// rules): "straße" upper-cases to "STRASSE", and a final sigma lower-cases to
// "ς".
[[nodiscard]] std::string to_upper(std::string_view s);
[[nodiscard]] std::string to_lower(std::string_view s);

// append_upper, append_lower
//
// Append the full case mapping of `s` to `out`; ASCII text is mapped in place
// without a call into ICU, which keeps word-by-word tools cheap.
void append_upper(std::string& out, std::string_view s);
void append_lower(std::string& out, std::string_view s);

// ---------------------------------------------------------------------------
// Case and slug styles. A word is a maximal piece of text between separators
// (White_Space, "_", "-") and camel boundaries (an ASCII capital right after
// an ASCII lower-case letter or digit), lower-cased; digits, punctuation and
// symbols stay inside words.
// ---------------------------------------------------------------------------

// SMALL_WORDS
//
// The words that the "title" style keeps in lower case, wherever they stand.
inline constexpr std::array<std::string_view, 15> SMALL_WORDS{"a",   "an", "the", "and",  "or",
                                                              "but", "of", "for", "to",   "in",
                                                              "on",  "at", "by",  "with", "from"};

// next_lower_word
//
// Finds the next word of `s` at or after byte `pos`, writes it lower-cased to
// `word` and moves `pos` past it. Returns false, leaving `word` untouched, when
// no word is left.
//
// Example:
//   pos = 0: "userID2Name" yields "user", "id2", "name", then false
[[nodiscard]] bool next_lower_word(std::string_view s, std::size_t& pos, std::string& word);

// split_camel_words
//
// Every word of `s` in order.
//
// Example:
//   split_camel_words("Hello, World!") == {"hello,", "world!"}
[[nodiscard]] std::vector<std::string> split_camel_words(std::string_view s);

// capitalize
//
// The first character upper-cased (full mapping), the rest unchanged.
//
// Example:
//   capitalize("straße") == "Straße";  capitalize("") == ""
[[nodiscard]] std::string capitalize(std::string_view s);

// to_camel
//
// The first word followed by every further word capitalized; "undefined" when
// the text has no word.
//
// Example:
//   to_camel("user_id") == "userId";  to_camel("---") == "undefined"
[[nodiscard]] std::string to_camel(std::string_view s);

// to_kebab
//
// The words joined with "-": the slug of a phrase.
//
// Example:
//   to_kebab("  many   spaces  ") == "many-spaces"
[[nodiscard]] std::string to_kebab(std::string_view s);

}  // namespace pelloriand::text
