// The `url` tool: percent-encoding of one URL component, or strict decoding of
// one. The mode is picked from the text itself: a single well-formed "%XX"
// escape anywhere means the text is already encoded. Encoding escapes every
// byte but the 72 unreserved-mark characters, in upper-case hex; decoding
// accepts either case, refuses any stray "%" and any result that is not UTF-8.
#include <array>
#include <string>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

constexpr std::string_view MALFORMED = "URI malformed";

// The bytes written as themselves: A-Z, a-z, 0-9 and - _ . ! ~ * ' ( ).
constexpr std::array<bool, 256> KEPT_BYTES = [] {
  std::array<bool, 256> kept{};
  for (int c = 'A'; c <= 'Z'; ++c) kept[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) kept[c] = true;
  for (int c = '0'; c <= '9'; ++c) kept[c] = true;
  for (char c : std::string_view("-_.!~*'()")) kept[static_cast<unsigned char>(c)] = true;
  return kept;
}();

bool has_escape(std::string_view t) {
  for (std::size_t i = t.find('%'); i != std::string_view::npos; i = t.find('%', i + 1)) {
    if (i + 2 < t.size() && text::hex_digit_value(t[i + 1]) >= 0 &&
        text::hex_digit_value(t[i + 2]) >= 0)
      return true;
  }
  return false;
}

ToolResult decode(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '%') {
      out.push_back(t[i]);
      continue;
    }
    const int hi = i + 1 < t.size() ? text::hex_digit_value(t[i + 1]) : -1;
    const int lo = i + 2 < t.size() ? text::hex_digit_value(t[i + 2]) : -1;
    if (hi < 0 || lo < 0) return ToolResult::error(std::string(MALFORMED));
    out.push_back(static_cast<char>(hi << 4 | lo));
    i += 2;
  }
  if (!text::is_valid_utf8(out)) return ToolResult::error(std::string(MALFORMED));
  return ToolResult::output(std::move(out));
}

std::string encode(std::string_view t) {
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  // Sized exactly up front: one pass to count, one to write, no growth checks.
  std::size_t escaped = 0;
  for (char c : t) escaped += KEPT_BYTES[static_cast<unsigned char>(c)] ? 0 : 1;
  std::string out(t.size() + 2 * escaped, '\0');
  char* p = out.data();
  for (char c : t) {
    const auto b = static_cast<unsigned char>(c);
    if (KEPT_BYTES[b]) {
      *p++ = c;
    } else {
      *p++ = '%';
      *p++ = DIGITS[b >> 4];
      *p++ = DIGITS[b & 0xF];
    }
  }
  return out;
}

}  // namespace

ToolResult url_tool(std::string_view input) {
  const std::string_view t = text::trim(input);
  if (has_escape(t)) return decode(t);
  return ToolResult::output(encode(t));
}

}  // namespace pelloriand::tools
