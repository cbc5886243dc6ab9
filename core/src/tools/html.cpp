// The `html` tool: escapes the five HTML-significant characters, or, when the
// text already holds a character reference, unescapes it in one left-to-right
// pass (replaced text is never read again). Known references are "&amp;",
// "&lt;", "&gt;", "&quot;", "&#39;" and numeric ones in decimal or hex; any
// other "&" is plain text. Both the direction test and the unescape are linear:
// the next ";" is found once and reused until the scan passes it.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

struct Entity {
  std::string_view reference;
  char character;
};

// Tried in this order; their second characters all differ, so at most one
// row can match at any "&".
constexpr std::array<Entity, 5> HTML_ENTITIES{{
    {"&amp;", '&'},
    {"&lt;", '<'},
    {"&gt;", '>'},
    {"&quot;", '"'},
    {"&#39;", '\''},
}};

int digit_value(char c, unsigned base) {
  const int v = text::hex_digit_value(c);
  return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

// True when t continues with `literal` at `pos`. A plain loop: the literals
// are a few bytes, where a library compare costs more than the comparison.
bool continues_with(std::string_view t, std::size_t pos, std::string_view literal) {
  if (t.size() - pos < literal.size()) return false;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (t[pos + i] != literal[i]) return false;
  }
  return true;
}

// The first "&" at or after `pos`, or npos. Looks at the next few bytes by
// hand before handing over to memchr, whose start-up cost dominates when the
// text is dense with "&".
std::size_t next_amp(std::string_view t, std::size_t pos) {
  const std::size_t near = std::min(t.size(), pos + 16);
  for (; pos < near; ++pos) {
    if (t[pos] == '&') return pos;
  }
  return pos < t.size() ? t.find('&', pos) : std::string_view::npos;
}

// The entity that starts at `pos`, if any. The letter after "&" picks the one
// row that can match, so a text full of "&" costs one comparison each.
const Entity* entity_at(std::string_view t, std::size_t pos) {
  if (pos + 1 >= t.size()) return nullptr;
  const char next = t[pos + 1];
  for (const Entity& e : HTML_ENTITIES) {
    if (e.reference[1] == next) {
      return continues_with(t, pos, e.reference) ? &e : nullptr;
    }
  }
  return nullptr;
}

// Where the digits of a numeric reference start ("&#" or "&#x" at `pos`), and
// their base; nothing when `pos` does not start "&#".
struct DigitsStart {
  std::size_t pos;
  unsigned base;
};

std::optional<DigitsStart> numeric_start(std::string_view t, std::size_t pos) {
  if (!continues_with(t, pos, "&#")) return std::nullopt;
  if (pos + 2 < t.size() && (t[pos + 2] == 'x' || t[pos + 2] == 'X'))
    return DigitsStart{pos + 3, 16};
  return DigitsStart{pos + 2, 10};
}

// The direction test's strict form: one or more digits of the base, then ";".
bool is_strict_numeric(std::string_view t, std::size_t pos) {
  const std::optional<DigitsStart> start = numeric_start(t, pos);
  if (!start) return false;
  std::size_t i = start->pos;
  while (i < t.size() && digit_value(t[i], start->base) >= 0) ++i;
  return i > start->pos && i < t.size() && t[i] == ';';
}

bool has_reference(std::string_view t) {
  for (std::size_t i = next_amp(t, 0); i != std::string_view::npos; i = next_amp(t, i + 1)) {
    if (entity_at(t, i) != nullptr || is_strict_numeric(t, i)) return true;
  }
  return false;
}

// Reads `digits` as an unsigned 32-bit number with one optional leading "+".
// Stops at the first character that rules the number out, so the work per
// reference is bounded by the digits it really has.
std::optional<std::uint32_t> read_number(std::string_view digits, unsigned base) {
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int d = digit_value(c, base);
    if (d < 0) return std::nullopt;
    value = value * base + static_cast<unsigned>(d);
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

ToolResult unescape(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  std::size_t semicolon = 0;  // the first ";" at or after the last search start
  bool semicolon_known = false;
  std::size_t i = 0;
  while (i < t.size()) {
    const std::size_t amp = next_amp(t, i);
    if (amp == std::string_view::npos) {
      out.append(t.substr(i));
      break;
    }
    out.append(t.substr(i, amp - i));
    i = amp;
    if (const Entity* e = entity_at(t, i)) {
      out.push_back(e->character);
      i += e->reference.size();
      continue;
    }
    if (const std::optional<DigitsStart> start = numeric_start(t, i)) {
      if (!semicolon_known || (semicolon != std::string_view::npos && semicolon < start->pos)) {
        semicolon = t.find(';', start->pos);
        semicolon_known = true;
      }
      if (semicolon != std::string_view::npos && semicolon > start->pos) {
        const std::optional<std::uint32_t> code =
            read_number(t.substr(start->pos, semicolon - start->pos), start->base);
        if (code) {
          if ((*code >= 0xD800 && *code <= 0xDFFF) || *code > 0x10FFFF) {
            return ToolResult::error(fmt::format("Invalid code point {}", *code));
          }
          text::append_utf8(out, *code);
          i = semicolon + 1;
          continue;
        }
      }
    }
    out.push_back('&');
    ++i;
  }
  return ToolResult::output(std::move(out));
}

std::string escape(std::string_view t) {
  std::string out;
  out.reserve(t.size() + t.size() / 8);
  for (char c : t) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace

ToolResult html_tool(std::string_view input) {
  const std::string_view t = text::trim(input);
  if (has_reference(t)) return unescape(t);
  return ToolResult::output(escape(t));
}

}  // namespace pelloriand::tools
