// The colour readers and formatters of the `color` tool. The formatters take
// the colour as hexadecimal text ("#rrggbb", "#rgb", with or without "#"), so
// every path of the tool goes through one reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "pelloriand/tool.h"

namespace pelloriand::tools {

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// parse_hex_color
//
// Reads "#rrggbb" or "#rgb" (surrounding White_Space ignored, "#" optional,
// either case). Returns nothing for anything else; the tools answer that with
// "Invalid hex color".
//
// Example:
//   parse_hex_color(" #abc ") == Rgb{170, 187, 204}
[[nodiscard]] std::optional<Rgb> parse_hex_color(std::string_view text);

// format_rgb, format_hsl, format_cmyk
//
// The colour of a hex text as "rgb(r, g, b)", "hsl(h, s%, l%)" or
// "cmyk(c, m, y, k)", whole numbers rounded half away from zero; the error
// "Invalid hex color" when the text is no hex colour.
//
// Example:
//   format_hsl("#ff8000").text() == "hsl(30, 100%, 50%)"
[[nodiscard]] ToolResult format_rgb(std::string_view hex);
[[nodiscard]] ToolResult format_hsl(std::string_view hex);
[[nodiscard]] ToolResult format_cmyk(std::string_view hex);

}  // namespace pelloriand::tools
