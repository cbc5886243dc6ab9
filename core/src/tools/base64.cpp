// The `base64` tool: standard-alphabet Base64 (RFC 4648, "=" padding, no line
// breaks). Text that looks like Base64 (at least 8 characters, a multiple of 4,
// alphabet then padding) and decodes strictly, with zero trailing bits, to
// UTF-8 is decoded; anything else is encoded. The decision and the decoding
// use the trimmed text, the encoding the input exactly as received. Never
// fails.
#include <array>
#include <optional>
#include <string>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Sextet value of each byte, or -1 outside the alphabet ("=" included).
constexpr std::array<signed char, 256> SEXTETS = [] {
  std::array<signed char, 256> values{};
  values.fill(-1);
  for (int i = 0; i < 64; ++i)
    values[static_cast<unsigned char>(ALPHABET[i])] = static_cast<signed char>(i);
  return values;
}();

int sextet(char c) {
  return SEXTETS[static_cast<unsigned char>(c)];
}

bool is_candidate(std::string_view t) {
  if (t.size() < 8 || t.size() % 4 != 0) return false;
  std::size_t i = 0;
  while (i < t.size() && sextet(t[i]) >= 0) ++i;
  while (i < t.size() && t[i] == '=') ++i;
  return i == t.size();
}

// Strict decoding of a candidate: padding only in the last group, one or two
// "=", and no set bit beyond the last decoded byte.
std::optional<std::string> decode(std::string_view t) {
  const std::size_t padding = t.size() - t.find_last_not_of('=') - 1;
  if (padding > 2) return std::nullopt;
  const std::string_view body = t.substr(0, t.size() - padding);
  std::string out;
  out.reserve(body.size() / 4 * 3 + 2);
  std::size_t i = 0;
  for (; i + 4 <= body.size(); i += 4) {
    const std::uint32_t v = sextet(body[i]) << 18 | sextet(body[i + 1]) << 12 |
                            sextet(body[i + 2]) << 6 | sextet(body[i + 3]);
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
  }
  // A candidate's length is a multiple of 4, so the rest is 4 - padding.
  if (padding == 2) {
    const int a = sextet(body[i]), b = sextet(body[i + 1]);
    if ((b & 0x0F) != 0) return std::nullopt;
    out.push_back(static_cast<char>(a << 2 | b >> 4));
  } else if (padding == 1) {
    const int a = sextet(body[i]), b = sextet(body[i + 1]), c = sextet(body[i + 2]);
    if ((c & 0x03) != 0) return std::nullopt;
    out.push_back(static_cast<char>(a << 2 | b >> 4));
    out.push_back(static_cast<char>((b & 0x0F) << 4 | c >> 2));
  }
  return out;
}

std::string encode(std::string_view input) {
  std::string out;
  out.reserve((input.size() + 2) / 3 * 4);
  const auto byte = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(input[i]));
  };
  std::size_t i = 0;
  for (; i + 3 <= input.size(); i += 3) {
    const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out.push_back(ALPHABET[v >> 18]);
    out.push_back(ALPHABET[(v >> 12) & 0x3F]);
    out.push_back(ALPHABET[(v >> 6) & 0x3F]);
    out.push_back(ALPHABET[v & 0x3F]);
  }
  const std::size_t rest = input.size() - i;
  if (rest > 0) {
    const std::uint32_t v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
    out.push_back(ALPHABET[v >> 18]);
    out.push_back(ALPHABET[(v >> 12) & 0x3F]);
    out.push_back(rest == 2 ? ALPHABET[(v >> 6) & 0x3F] : '=');
    out.push_back('=');
  }
  return out;
}

}  // namespace

ToolResult base64_tool(std::string_view input) {
  const std::string_view t = text::trim(input);
  if (is_candidate(t)) {
    std::optional<std::string> decoded = decode(t);
    if (decoded && text::is_valid_utf8(*decoded)) return ToolResult::output(std::move(*decoded));
  }
  return ToolResult::output(encode(input));
}

}  // namespace pelloriand::tools
