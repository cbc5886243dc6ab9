// The charset tool ("charset"): hexadecimal bytes in, decoded text out, or text
// in, hexadecimal bytes out. Bytes are decoded by the Encoding Standard's
// decoders (encoding_decoders.h) for any label the Standard knows; text is
// encoded only into UTF-8 and four single-byte charsets, whose maps are built
// by decoding each of their 256 bytes.
#include "tools/charset.h"

#include <algorithm>
#include <array>

#include "encoding_decoders.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace charset {
namespace {

constexpr std::array<std::string_view, 4> SINGLE_BYTE_LABELS{"iso-8859-1", "windows-1252",
                                                             "iso-8859-15", "koi8-r"};

struct CharsetName {
  std::string_view label;
  std::string_view display;
};

constexpr std::array<CharsetName, 10> CHARSET_NAMES{{
    {"utf-8", "UTF-8"},
    {"shift-jis", "Shift-JIS"},
    {"euc-jp", "EUC-JP"},
    {"gb18030", "GB18030"},
    {"big5", "Big5"},
    {"euc-kr", "EUC-KR"},
    {"koi8-r", "KOI8-R"},
    {"windows-1252", "Windows-1252"},
    {"iso-8859-1", "Latin-1"},
    {"iso-8859-15", "Latin-9"},
}};

std::string_view display_name(std::string_view label) {
  for (const CharsetName& row : CHARSET_NAMES) {
    if (row.label == label) return row.display;
  }
  return label;
}

bool is_hex_pair(std::string_view s) {
  return s.size() == 2 && text::hex_digit_value(s[0]) >= 0 && text::hex_digit_value(s[1]) >= 0;
}

char hex_byte(std::string_view pair) {
  return static_cast<char>(text::hex_digit_value(pair[0]) * 16 + text::hex_digit_value(pair[1]));
}

// "%E3%81%82" or "\xE3\x81\x82": `marker` and two hex digits, repeated, and
// nothing else.
bool read_marked_bytes(std::string_view t, std::string_view marker, std::string& bytes) {
  const std::size_t group = marker.size() + 2;
  if (t.size() % group != 0) return false;
  bytes.clear();
  bytes.reserve(t.size() / group);
  for (std::size_t i = 0; i < t.size(); i += group) {
    if (t.substr(i, marker.size()) != marker) return false;
    const std::string_view pair = t.substr(i + marker.size(), 2);
    if (!is_hex_pair(pair)) return false;
    bytes.push_back(hex_byte(pair));
  }
  return true;
}

std::string remove_all(std::string_view s, std::string_view what) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s.substr(i, what.size()) == what) {
      i += what.size();
    } else {
      out.push_back(s[i++]);
    }
  }
  return out;
}

bool is_token_separator(char32_t c) {
  return c == U',' || c == U';' || text::is_white_space(c);
}

// "E3 81 82", "0xE3,0x81,0x82", "e3;81;82", "0xE3": tokens of two hex digits.
bool read_token_bytes(std::string_view t, std::string& bytes) {
  bool separated = false;
  for (std::size_t pos = 0; pos < t.size() && !separated;) {
    separated = is_token_separator(text::next_code_point(t, pos));
  }
  const bool prefixed =
      t.find("0x") != std::string_view::npos || t.find("0X") != std::string_view::npos;
  if (!separated && !prefixed) return false;

  const std::string stripped = remove_all(remove_all(t, "0x"), "0X");
  const std::string_view s = stripped;
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t at = pos;
    if (is_token_separator(text::next_code_point(s, pos))) {
      if (at > start) tokens.push_back(s.substr(start, at - start));
      start = pos;
    }
  }
  if (start < s.size()) tokens.push_back(s.substr(start));
  if (tokens.empty() || !std::all_of(tokens.begin(), tokens.end(), is_hex_pair)) return false;
  bytes = parse_hex_bytes(tokens);
  return true;
}

bool recognise_bytes(std::string_view t, std::string& bytes) {
  if (t.starts_with('%') && read_marked_bytes(t, "%", bytes)) return true;
  if (t.starts_with("\\x") && read_marked_bytes(t, "\\x", bytes)) return true;
  return read_token_bytes(t, bytes);
}

ToolResult decode_bytes(std::string_view label, std::string_view display, std::string_view bytes) {
  const std::optional<encoding::EncodingId> id = encoding::lookup_encoding(label);
  if (!id) {
    return ToolResult::error("Encoding \"" + std::string(display) +
                             "\" is not supported by this preview engine");
  }
  return ToolResult::output(encoding::decode(*id, bytes));
}

ToolResult encode_text(std::string_view label, std::string_view display, std::string_view t) {
  if (label == "utf-8") return ToolResult::output(format_hex_bytes(t));
  if (std::find(SINGLE_BYTE_LABELS.begin(), SINGLE_BYTE_LABELS.end(), label) ==
      SINGLE_BYTE_LABELS.end()) {
    return ToolResult::error("text → " + std::string(display) +
                             " ships with the native engine — decode works today: paste hex "
                             "bytes like \"82 b1\"");
  }
  const SingleByteMaps& maps = init_single_byte_maps();
  const auto found = maps.find(label);
  const SingleByteMap empty;
  const SingleByteMap& map = found == maps.end() ? empty : found->second;
  std::string bytes;
  bytes.reserve(t.size());
  for (std::size_t pos = 0; pos < t.size();) {
    const std::size_t at = pos;
    const char32_t c = text::next_code_point(t, pos);
    const auto it = std::lower_bound(map.begin(), map.end(), c,
                                     [](const auto& entry, char32_t k) { return entry.first < k; });
    if (it == map.end() || it->first != c) {
      return ToolResult::error("\"" + std::string(t.substr(at, pos - at)) + "\" has no " +
                               std::string(display) + " representation");
    }
    bytes.push_back(static_cast<char>(it->second));
  }
  return ToolResult::output(format_hex_bytes(bytes));
}

}  // namespace

std::string parse_hex_bytes(const std::vector<std::string_view>& tokens) {
  std::string bytes;
  bytes.reserve(tokens.size());
  for (std::string_view token : tokens) bytes.push_back(hex_byte(token));
  return bytes;
}

std::string format_hex_bytes(std::string_view bytes) {
  static constexpr char DIGITS[] = "0123456789ABCDEF";
  std::string out;
  if (bytes.empty()) return out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) {
    out.push_back(DIGITS[b >> 4]);
    out.push_back(DIGITS[b & 0xF]);
    out.push_back(' ');
  }
  out.pop_back();
  return out;
}

SingleByteMaps build_single_byte_maps() {
  SingleByteMaps maps;
  for (std::string_view label : SINGLE_BYTE_LABELS) {
    const std::optional<encoding::EncodingId> id = encoding::lookup_encoding(label);
    if (!id) continue;
    std::map<char32_t, std::uint8_t> map;
    for (int b = 0; b < 256; ++b) {
      const std::string decoded =
          encoding::decode_without_bom(*id, std::string(1, static_cast<char>(b)));
      std::size_t pos = 0;
      const char32_t c = text::next_code_point(decoded, pos);
      if (!decoded.empty() && pos == decoded.size()) map.emplace(c, static_cast<std::uint8_t>(b));
    }
    maps.emplace(label, SingleByteMap(map.begin(), map.end()));
  }
  return maps;
}

const SingleByteMaps& init_single_byte_maps() {
  // A function-local static is the once-only guard: first callers wait for it.
  static const SingleByteMaps SINGLE_BYTE_MAPS = build_single_byte_maps();
  return SINGLE_BYTE_MAPS;
}

}  // namespace charset

ToolResult charset_tool(std::string_view input, const ToolOptions* options) {
  const std::optional<std::string_view> target = find_target(options);
  const std::string label = target ? text::to_lower(*target) : std::string("utf-8");
  const std::string_view display = charset::display_name(label);

  const std::string_view t = text::trim(input);
  if (t.empty()) return ToolResult::error("Empty input");

  std::string bytes;
  if (charset::recognise_bytes(t, bytes)) return charset::decode_bytes(label, display, bytes);
  return charset::encode_text(label, display, t);
}

}  // namespace pelloriand::tools
