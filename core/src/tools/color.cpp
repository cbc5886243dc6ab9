// The `color` tool: one colour given as "#rrggbb", "#rgb", rgb() or cmyk()
// shown in the other notations, one per line. Channels are 8-bit; the hsl()
// and cmyk() numbers are doubles rounded half away from zero to whole numbers
// (the hue can round up to 360). HSL is an output only.
#include "tools/color.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

constexpr std::string_view INVALID_HEX = "Invalid hex color";
constexpr std::string_view EXPECTED_ANY =
    "Expected #rrggbb, #rgb, rgb(r, g, b) or cmyk(c, m, y, k)";

// Channel fractions r, g, b in [0, 1].
struct Fractions {
  double r, g, b;
};

Fractions fractions(Rgb c) {
  return {c.red / 255.0, c.green / 255.0, c.blue / 255.0};
}

std::string hex_text(Rgb c) {
  return fmt::format("#{:02X}{:02X}{:02X}", c.red, c.green, c.blue);
}

// Halves away from zero; the values are small, so the cast is exact.
long long rounded(double x) {
  return static_cast<long long>(std::round(x));
}

// A formatter over the reader: the colour's text, or the reader's error.
template <typename Format>
ToolResult with_color(std::string_view hex, Format format) {
  const std::optional<Rgb> c = parse_hex_color(hex);
  if (!c) return ToolResult::error(std::string(INVALID_HEX));
  return ToolResult::output(format(*c));
}

// The three lines, or the first error among them.
ToolResult lines(std::initializer_list<ToolResult> parts) {
  std::string out;
  for (const ToolResult& part : parts) {
    if (!part.is_ok()) return part;
    if (!out.empty()) out.push_back('\n');
    out += part.text();
  }
  return ToolResult::output(std::move(out));
}

// rgb(): every maximal run of ASCII digits is one value; anything else only
// separates runs. Values are clamped to 255 while they are read, so a run of
// any length costs one pass.
ToolResult from_rgb(std::string_view s) {
  std::vector<unsigned> values;
  for (std::size_t i = 0; i < s.size();) {
    if (!text::is_digit(s[i])) {
      ++i;
      continue;
    }
    unsigned v = 0;
    for (; i < s.size() && text::is_digit(s[i]); ++i)
      v = std::min(255u, v * 10 + static_cast<unsigned>(s[i] - '0'));
    values.push_back(v);
    if (values.size() > 3) break;  // already the wrong count
  }
  if (values.size() != 3) return ToolResult::error("Expected rgb(r, g, b)");
  const std::string hex =
      hex_text(Rgb{static_cast<std::uint8_t>(values[0]), static_cast<std::uint8_t>(values[1]),
                   static_cast<std::uint8_t>(values[2])});
  return lines({ToolResult::output(hex), format_hsl(hex), format_cmyk(hex)});
}

// A cmyk() number: digits, optionally "." and at least one digit. Digits too
// many for a finite double read as infinity; a fraction too small for one
// reads as 0.
double read_cmyk_number(std::string_view digits) {
  double v = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    const std::string_view whole = digits.substr(0, digits.find('.'));
    return whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
  }
  return v;
}

ToolResult from_cmyk(std::string_view s) {
  std::vector<std::string_view> numbers;
  for (std::size_t i = 0; i < s.size() && numbers.size() <= 4;) {
    if (!text::is_digit(s[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < s.size() && text::is_digit(s[i])) ++i;
    if (i + 1 < s.size() && s[i] == '.' && text::is_digit(s[i + 1])) {
      for (++i; i < s.size() && text::is_digit(s[i]); ++i) {
      }
    }
    numbers.push_back(s.substr(start, i - start));
  }
  if (numbers.size() != 4) return ToolResult::error("Expected cmyk(c, m, y, k) with 0–100 values");
  double v[4];
  for (int i = 0; i < 4; ++i) {
    v[i] = read_cmyk_number(numbers[static_cast<std::size_t>(i)]);
    if (!(std::isfinite(v[i]) && v[i] >= 0 && v[i] <= 100)) {
      return ToolResult::error("CMYK values must be between 0 and 100");
    }
  }
  const auto channel = [&](double ink) {
    return static_cast<std::uint8_t>(rounded((1 - ink / 100) * 255 * (1 - v[3] / 100)));
  };
  const std::string hex = hex_text(Rgb{channel(v[0]), channel(v[1]), channel(v[2])});
  return lines({ToolResult::output(hex), format_rgb(hex), format_hsl(hex)});
}

}  // namespace

std::optional<Rgb> parse_hex_color(std::string_view text) {
  std::string_view s = text::trim(text);
  if (s.starts_with('#')) s.remove_prefix(1);
  char six[6];
  if (s.size() == 3) {
    for (std::size_t i = 0; i < 3; ++i) six[2 * i] = six[2 * i + 1] = s[i];
  } else if (s.size() == 6) {
    std::copy(s.begin(), s.end(), six);
  } else {
    return std::nullopt;
  }
  std::uint32_t v = 0;
  for (char c : six) {
    const int d = text::hex_digit_value(c);
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  return Rgb{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
             static_cast<std::uint8_t>(v)};
}

ToolResult format_rgb(std::string_view hex) {
  return with_color(hex,
                    [](Rgb c) { return fmt::format("rgb({}, {}, {})", c.red, c.green, c.blue); });
}

ToolResult format_hsl(std::string_view hex) {
  return with_color(hex, [](Rgb c) {
    const auto [r, g, b] = fractions(c);
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    const double l = 0.5 * (max + min);
    double h = 0, s = 0;
    if (max != min) {
      const double d = max - min;
      s = l > 0.5 ? d / ((2 - max) - min) : d / (max + min);
      // Tested in this order: a tie with red counts as red.
      if (max == r) {
        h = ((g - b) / d + (g < b ? 6 : 0)) / 6;
      } else if (max == g) {
        h = ((b - r) / d + 2) / 6;
      } else {
        h = ((r - g) / d + 4) / 6;
      }
    }
    return fmt::format("hsl({}, {}%, {}%)", rounded(h * 360), rounded(s * 100), rounded(l * 100));
  });
}

ToolResult format_cmyk(std::string_view hex) {
  return with_color(hex, [](Rgb c) -> std::string {
    const auto [r, g, b] = fractions(c);
    const double k = 1 - std::max({r, g, b});
    if (k >= 1) return "cmyk(0, 0, 0, 100)";
    const auto ink = [k](double x) { return rounded((1 - x - k) / (1 - k) * 100); };
    return fmt::format("cmyk({}, {}, {}, {})", ink(r), ink(g), ink(b), rounded(k * 100));
  });
}

ToolResult color_tool(std::string_view input) {
  const std::string s = text::to_lower(text::trim(input));
  if (s.starts_with('#')) return lines({format_rgb(s), format_hsl(s), format_cmyk(s)});
  if (s.starts_with("rgb")) return from_rgb(s);
  if (s.starts_with("cmyk")) return from_cmyk(s);
  if (s.starts_with("hsl")) {
    return ToolResult::error(
        "HSL input not supported yet — try #rrggbb, rgb(r,g,b) or cmyk(c,m,y,k)");
  }
  return ToolResult::error(std::string(EXPECTED_ANY));
}

}  // namespace pelloriand::tools
