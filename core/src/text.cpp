// Implementation of the shared text helpers declared in text.h, and the two
// tools built on them: `slug` (kebab style of the raw input) and `case` (eight
// letter-case styles chosen by the option "target"). Case mapping is ICU's full
// mapping in the root locale; every step is linear in the input.
#include "text.h"

#include <unicode/ucasemap.h>

#include <algorithm>
#include <memory>

#include "tools/entries.h"

namespace pelloriand::text {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool is_continuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

char32_t decode_at(std::string_view s, std::size_t pos, std::size_t len) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (len == 1) return b0;
  char32_t c = b0 & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i)
    c = (c << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
  return c;
}

using CaseMapFn = int32_t (*)(const UCaseMap*, char*, int32_t, const char*, int32_t, UErrorCode*);

// Appends the mapping of `s` to `out` directly, with no temporary; on an ICU
// failure `s` is appended unchanged.
void append_mapped(std::string& out, std::string_view s, CaseMapFn fn) {
  struct Closer {
    void operator()(UCaseMap* m) const { ucasemap_close(m); }
  };
  // A UCaseMap is cheap to open but not free; one per thread avoids both the
  // cost and any sharing.
  thread_local std::unique_ptr<UCaseMap, Closer> case_map = [] {
    UErrorCode status = U_ZERO_ERROR;
    return std::unique_ptr<UCaseMap, Closer>(ucasemap_open("", 0, &status));
  }();

  const std::size_t base = out.size();
  std::size_t room = s.size() + s.size() / 2 + 8;
  for (;;) {
    out.resize(base + room);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = fn(case_map.get(), out.data() + base, static_cast<int32_t>(room), s.data(),
                         static_cast<int32_t>(s.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      room = static_cast<std::size_t>(n);
      continue;
    }
    if (U_FAILURE(status)) {
      out.resize(base);
      out.append(s);
      return;
    }
    out.resize(base + static_cast<std::size_t>(n));
    return;
  }
}

std::string map_case(std::string_view s, CaseMapFn fn) {
  std::string out;
  append_mapped(out, s, fn);
  return out;
}

bool is_ascii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Byte length of the first code point of non-empty `s` (one for a stray byte).
std::size_t first_char_length(std::string_view s) {
  std::size_t pos = 0;
  (void)next_code_point(s, pos);
  return pos;
}

// Byte length of the White_Space character at s[pos], or 0. Continuation
// bytes answer 0 at once, so a scan may step byte by byte.
std::size_t white_space_length(std::string_view s, std::size_t pos) {
  const auto b = static_cast<unsigned char>(s[pos]);
  if (b < 0x80) return is_white_space(b) ? 1 : 0;
  if ((b & 0xC0) == 0x80) return 0;
  std::size_t next = pos;
  return is_white_space(next_code_point(s, next)) ? next - pos : 0;
}

// A separator between words: White_Space, "_" or "-". Returns its byte length
// at s[pos], or 0 when s[pos] starts no separator.
std::size_t separator_length(std::string_view s, std::size_t pos) {
  return s[pos] == '_' || s[pos] == '-' ? 1 : white_space_length(s, pos);
}

bool is_ascii_lower_or_digit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Appends `s` with its first character upper-cased and the rest lower-cased.
void append_first_upper_rest_lower(std::string& out, std::string_view s) {
  if (s.empty()) return;
  const std::size_t first = first_char_length(s);
  append_upper(out, s.substr(0, first));
  append_lower(out, s.substr(first));
}

// Appends the words of `s` joined with `separator`; with `capitalize_from`
// set, every word from that index on gets its first character upper-cased.
// Returns the number of words.
std::size_t append_words(std::string& out, std::string_view s, std::string_view separator,
                         std::size_t capitalize_from = SIZE_MAX) {
  std::string word;
  std::size_t pos = 0, count = 0;
  while (next_lower_word(s, pos, word)) {
    if (count > 0) out += separator;
    if (count >= capitalize_from) {
      const std::size_t first = first_char_length(word);
      append_upper(out, std::string_view(word).substr(0, first));
      out.append(word, first);
    } else {
      out += word;
    }
    ++count;
  }
  return count;
}

}  // namespace

void skip_white_space(std::string_view s, std::size_t& pos) {
  for (std::size_t n; pos < s.size() && (n = white_space_length(s, pos)) != 0;) pos += n;
}

std::string_view next_token(std::string_view s, std::size_t& pos) {
  skip_white_space(s, pos);
  const std::size_t start = pos;
  // Byte by byte: only an ASCII byte or a lead byte can start White_Space, and
  // only those are decoded.
  while (pos < s.size() && white_space_length(s, pos) == 0) ++pos;
  return s.substr(start, pos - start);
}

std::string_view trim(std::string_view s) {
  std::size_t begin = 0;
  skip_white_space(s, begin);
  std::size_t end = s.size();
  while (end > begin) {
    std::size_t prev = end;
    if (!is_white_space(previous_code_point(s, prev))) break;
    end = prev;
  }
  return s.substr(begin, end - begin);
}

char32_t next_code_point(std::string_view s, std::size_t& pos) {
  const std::size_t len = utf8_sequence_length(s, pos);
  if (len == 0) {
    ++pos;
    return REPLACEMENT;
  }
  const char32_t c = decode_at(s, pos, len);
  pos += len;
  return c;
}

char32_t previous_code_point(std::string_view s, std::size_t& pos) {
  std::size_t start = pos - 1;
  // Step back over at most three continuation bytes to the lead byte.
  while (start > 0 && pos - start < 4 && is_continuation(static_cast<unsigned char>(s[start]))) {
    --start;
  }
  const std::size_t len = utf8_sequence_length(s, start);
  if (len == 0 || start + len != pos) {
    --pos;
    return REPLACEMENT;
  }
  pos = start;
  return decode_at(s, start, len);
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // ASCII runs are the common case; skip them without decoding.
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t len = utf8_sequence_length(bytes, pos);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

void append_debug_quoted(std::string& out, std::string_view s) {
  // The braced escape of a control character: \u{1}, \u{85}.
  const auto append_braced = [&out](unsigned c) {
    static constexpr char HEX[] = "0123456789abcdef";
    out.append("\\u{");
    if (c >= 0x10) out.push_back(HEX[c >> 4]);
    out.push_back(HEX[c & 0xF]);
    out.push_back('}');
  };
  out.push_back('"');
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char ch = s[i];
    const auto c = static_cast<unsigned char>(ch);
    // The C1 controls, U+0080 to U+009F, are 0xC2 and a second byte of the
    // same value.
    if (c == 0xC2 && i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0x80) {
      append_braced(static_cast<unsigned char>(s[++i]));
      continue;
    }
    switch (ch) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\0':
        out.append("\\0");
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          append_braced(c);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

std::string to_upper(std::string_view s) {
  return map_case(s, ucasemap_utf8ToUpper);
}
std::string to_lower(std::string_view s) {
  return map_case(s, ucasemap_utf8ToLower);
}

void append_upper(std::string& out, std::string_view s) {
  if (!is_ascii(s)) {
    append_mapped(out, s, ucasemap_utf8ToUpper);
    return;
  }
  for (char c : s) out.push_back(ascii_upper(c));
}

void append_lower(std::string& out, std::string_view s) {
  if (!is_ascii(s)) {
    append_mapped(out, s, ucasemap_utf8ToLower);
    return;
  }
  for (char c : s) out.push_back(ascii_lower(c));
}

bool next_lower_word(std::string_view s, std::size_t& pos, std::string& word) {
  while (pos < s.size()) {
    const std::size_t sep = separator_length(s, pos);
    if (sep == 0) break;
    pos += sep;
  }
  if (pos >= s.size()) return false;
  const std::size_t start = pos;
  // The lead byte of a word is never a separator; it may itself be a camel
  // boundary, which splits nothing.
  ++pos;
  while (pos < s.size()) {
    const char c = s[pos];
    if (c >= 'A' && c <= 'Z' && is_ascii_lower_or_digit(s[pos - 1])) break;
    if (separator_length(s, pos) != 0) break;
    ++pos;
  }
  word.clear();
  append_lower(word, s.substr(start, pos - start));
  return true;
}

std::vector<std::string> split_camel_words(std::string_view s) {
  std::vector<std::string> words;
  std::string word;
  std::size_t pos = 0;
  while (next_lower_word(s, pos, word)) words.push_back(word);
  return words;
}

std::string capitalize(std::string_view s) {
  std::string out;
  if (s.empty()) return out;
  const std::size_t first = first_char_length(s);
  append_upper(out, s.substr(0, first));
  out.append(s.substr(first));
  return out;
}

std::string to_camel(std::string_view s) {
  std::string out;
  if (append_words(out, s, "", 1) == 0) return "undefined";
  return out;
}

std::string to_kebab(std::string_view s) {
  std::string out;
  append_words(out, s, "-");
  return out;
}

namespace {

bool is_small_word(std::string_view word) {
  return std::find(SMALL_WORDS.begin(), SMALL_WORDS.end(), word) != SMALL_WORDS.end();
}

// Runs of White_Space are copied; every other run is a word written in lower
// case when it is a small word and with a capital first otherwise.
std::string to_title(std::string_view s) {
  std::string out, lower;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (pos < s.size()) {
    const std::size_t start = pos;
    const std::size_t first = white_space_length(s, pos);
    const bool space = first != 0;
    pos += space ? first : 1;
    while (pos < s.size()) {
      const std::size_t len = white_space_length(s, pos);
      if ((len != 0) != space) break;
      pos += space ? len : 1;
    }
    const std::string_view run = s.substr(start, pos - start);
    if (space) {
      out += run;
      continue;
    }
    lower.clear();
    append_lower(lower, run);
    if (is_small_word(lower)) {
      out += lower;
    } else {
      append_first_upper_rest_lower(out, run);
    }
  }
  return out;
}

std::string to_sentence(std::string_view s) {
  std::string out;
  append_first_upper_rest_lower(out, trim(s));
  return out;
}

}  // namespace

}  // namespace pelloriand::text

namespace pelloriand::tools {

ToolResult slug_tool(std::string_view input) {
  return ToolResult::output(text::to_kebab(input));
}

ToolResult case_tool(std::string_view input, const ToolOptions* options) {
  using namespace text;
  // Unknown targets, and targets that differ only in case, get the default.
  const std::string_view target = find_target(options).value_or("camel");
  std::string out;
  if (target == "pascal") {
    append_words(out, input, "", 0);
  } else if (target == "snake") {
    append_words(out, input, "_");
  } else if (target == "kebab") {
    out = to_kebab(input);
  } else if (target == "upper") {
    out = to_upper(input);
  } else if (target == "lower") {
    out = to_lower(input);
  } else if (target == "sentence") {
    out = to_sentence(input);
  } else if (target == "title") {
    out = to_title(input);
  } else {
    out = to_camel(input);
  }
  return ToolResult::output(std::move(out));
}

}  // namespace pelloriand::tools
