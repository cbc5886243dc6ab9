// The color tool: the three readers, hsl/cmyk rounding and every error
// sentence once.
#include "tools/color.h"

#include <gtest/gtest.h>

#include <string>

#include "tool_result_testing.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

struct Row {
  std::string_view input;
  ToolResult expected;
};

TEST(Color, HexInput) {
  const Row rows[] = {
      {"#ff8000", ok("rgb(255, 128, 0)\nhsl(30, 100%, 50%)\ncmyk(0, 50, 100, 0)")},
      {"  #FF8000  ", ok("rgb(255, 128, 0)\nhsl(30, 100%, 50%)\ncmyk(0, 50, 100, 0)")},
      {"#abc", ok("rgb(170, 187, 204)\nhsl(210, 25%, 73%)\ncmyk(17, 8, 0, 20)")},
      {"#FFF", ok("rgb(255, 255, 255)\nhsl(0, 0%, 100%)\ncmyk(0, 0, 0, 0)")},
      {"#000", ok("rgb(0, 0, 0)\nhsl(0, 0%, 0%)\ncmyk(0, 0, 0, 100)")},
      {"#808080", ok("rgb(128, 128, 128)\nhsl(0, 0%, 50%)\ncmyk(0, 0, 0, 50)")},
      {"#ff0001", ok("rgb(255, 0, 1)\nhsl(360, 100%, 50%)\ncmyk(0, 100, 100, 0)")},
      {"#00ff00", ok("rgb(0, 255, 0)\nhsl(120, 100%, 50%)\ncmyk(100, 0, 100, 0)")},
      {"#0000ff", ok("rgb(0, 0, 255)\nhsl(240, 100%, 50%)\ncmyk(100, 100, 0, 0)")},
      {"#12345", fails("Invalid hex color")},
      {"#ggg", fails("Invalid hex color")},
      {"##fff", fails("Invalid hex color")},
      {"#ff8000 extra", fails("Invalid hex color")},
      {"#", fails("Invalid hex color")},
  };
  for (const Row& row : rows) EXPECT_EQ(color_tool(row.input), row.expected) << row.input;
}

TEST(Color, RgbAndCmykInput) {
  const Row rows[] = {
      {"rgb(52, 152, 219)", ok("#3498DB\nhsl(204, 70%, 53%)\ncmyk(76, 31, 0, 14)")},
      {"RGB(255,0,1)", ok("#FF0001\nhsl(360, 100%, 50%)\ncmyk(0, 100, 100, 0)")},
      {"rgb(300, -5, 12)", ok("#FF050C\nhsl(358, 100%, 51%)\ncmyk(0, 98, 95, 0)")},
      {"rgb(99999999999999999999999, 0, 0)",
       ok("#FF0000\nhsl(0, 100%, 50%)\ncmyk(0, 100, 100, 0)")},
      {"rgb(0.5,1,2)", fails("Expected rgb(r, g, b)")},
      {"rgba(1,2,3,0.5)", fails("Expected rgb(r, g, b)")},
      {"rgb", fails("Expected rgb(r, g, b)")},
      {"cmyk(0, 50, 100, 0)", ok("#FF8000\nrgb(255, 128, 0)\nhsl(30, 100%, 50%)")},
      {"cmyk(50,0,0,0)", ok("#80FFFF\nrgb(128, 255, 255)\nhsl(180, 100%, 75%)")},
      {"cmyk 0 0 0 0", ok("#FFFFFF\nrgb(255, 255, 255)\nhsl(0, 0%, 100%)")},
      {"cmyk(10.5, 20, 30, 40)", ok("#897A6B\nrgb(137, 122, 107)\nhsl(30, 12%, 48%)")},
      {"cmyk(1.,2,3,4)", color_tool("cmyk(1,2,3,4)")},
      {"cmyk(0,0,0,100.0)", ok("#000000\nrgb(0, 0, 0)\nhsl(0, 0%, 0%)")},
      {"cmyk(0,0,0,101)", fails("CMYK values must be between 0 and 100")},
      {"cmyk(0,0,0,100.5)", fails("CMYK values must be between 0 and 100")},
      {"cmyk(1,2,3)", fails("Expected cmyk(c, m, y, k) with 0–100 values")},
      {"cmyk(1,2,3,4,5)", fails("Expected cmyk(c, m, y, k) with 0–100 values")},
      {"hsl(30,100%,50%)",
       fails("HSL input not supported yet — try #rrggbb, rgb(r,g,b) or cmyk(c,m,y,k)")},
      {"", fails("Expected #rrggbb, #rgb, rgb(r, g, b) or cmyk(c, m, y, k)")},
      {"red", fails("Expected #rrggbb, #rgb, rgb(r, g, b) or cmyk(c, m, y, k)")},
      {"rg", fails("Expected #rrggbb, #rgb, rgb(r, g, b) or cmyk(c, m, y, k)")},
  };
  for (const Row& row : rows) EXPECT_EQ(color_tool(row.input), row.expected) << row.input;
}

TEST(Color, HugeNumbersInCmyk) {
  const std::string huge = "cmyk(0,0,0," + std::string(400, '9') + ")";
  EXPECT_EQ(color_tool(huge), fails("CMYK values must be between 0 and 100"));
  const std::string tiny = "cmyk(0,0,0,0." + std::string(400, '0') + "1)";
  EXPECT_EQ(color_tool(tiny), ok("#FFFFFF\nrgb(255, 255, 255)\nhsl(0, 0%, 100%)"));
  EXPECT_EQ(color_tool("rgb(" + std::string(2 << 20, '1') + ",0,0)").text().substr(0, 7),
            "#FF0000");
  EXPECT_EQ(parse_hex_color(" #abc "), (Rgb{170, 187, 204}));
}

}  // namespace
}  // namespace pelloriand::tools
