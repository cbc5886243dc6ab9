// The `uuid` tool: three random version-4 UUIDs (RFC 9562) for blank input,
// otherwise one UUID read from a loose notation (optional bracket at either
// end, hyphens between the 8-4-4-4-12 groups optional) and shown in five
// notations. Random bytes come from getrandom(2), the kernel's CSPRNG.
#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

using UuidBytes = std::array<std::uint8_t, 16>;

constexpr std::array<std::size_t, 5> GROUP_LENGTHS{8, 4, 4, 4, 12};
constexpr char HEX_DIGITS[] = "0123456789abcdef";

// Fills `size` bytes from the kernel's random source; false when it cannot.
bool fill_random(std::uint8_t* bytes, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t n = getrandom(bytes + filled, size - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<std::size_t>(n);
  }
  return true;
}

void append_canonical(std::string& out, const UuidBytes& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(HEX_DIGITS[bytes[i] >> 4]);
    out.push_back(HEX_DIGITS[bytes[i] & 0xF]);
  }
}

ToolResult generate_three() {
  // One system call for all three: 48 bytes is far below getrandom's 256-byte
  // guarantee of a whole read.
  std::array<UuidBytes, 3> uuids;
  if (!fill_random(uuids.data()->data(), sizeof uuids)) {
    return ToolResult::error("The system random source is unavailable");
  }
  std::string out;
  for (UuidBytes& bytes : uuids) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC variant
    if (!out.empty()) out.push_back('\n');
    append_canonical(out, bytes);
  }
  return ToolResult::output(std::move(out));
}

bool is_lower_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The canonical form of a lower-cased, unbracketed UUID text, or nothing.
std::optional<std::string> read_groups(std::string_view s) {
  std::string c;
  std::size_t pos = 0;
  for (std::size_t g = 0; g < GROUP_LENGTHS.size(); ++g) {
    if (g > 0) {
      c.push_back('-');
      if (pos < s.size() && s[pos] == '-') ++pos;
    }
    for (std::size_t k = 0; k < GROUP_LENGTHS[g]; ++k, ++pos) {
      if (pos >= s.size() || !is_lower_hex(s[pos])) return std::nullopt;
      c.push_back(s[pos]);
    }
  }
  if (pos != s.size()) return std::nullopt;
  return c;
}

}  // namespace

ToolResult uuid_tool(std::string_view input) {
  const std::string t = text::to_lower(text::trim(input));
  if (t.empty()) return generate_three();

  std::string_view s = t;
  if (s.starts_with('(') || s.starts_with('{')) s.remove_prefix(1);
  if (s.ends_with(')') || s.ends_with('}')) s.remove_suffix(1);
  const std::optional<std::string> c = read_groups(s);
  if (!c) return ToolResult::error("Not a valid UUID");

  const std::string upper = text::to_ascii_upper(*c);
  std::string hex;
  for (char ch : *c) {
    if (ch != '-') hex.push_back(ch);
  }
  return ToolResult::output("canonical: " + *c + "\nupper:     " + upper + "\nbraces:    {" +
                            upper + "}\nurn:       urn:uuid:" + *c + "\nhex:       0x" + hex);
}

}  // namespace pelloriand::tools
