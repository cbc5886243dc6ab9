// The base tool: sign placement, the 2^53 and 2^127 boundaries and the
// refusals of parse_number's non-integers.
#include <gtest/gtest.h>

#include <string>

#include "tool_result_testing.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

std::string report(std::string_view dec, std::string_view hex, std::string_view bin,
                   std::string_view oct) {
  return "decimal:  " + std::string(dec) + "\nhex:      0x" + std::string(hex) + "\nbinary:   0b" +
         std::string(bin) + "\noctal:    0o" + std::string(oct);
}

TEST(Base, FourLineReport) {
  EXPECT_EQ(base_tool("255"), ToolResult::output(report("255", "ff", "11111111", "377")));
  EXPECT_EQ(base_tool("-255"), ToolResult::output(report("-255", "-ff", "-11111111", "-377")));
  EXPECT_EQ(base_tool("0"), ToolResult::output(report("0", "0", "0", "0")));
  EXPECT_EQ(base_tool("-0"), ToolResult::output(report("0", "0", "0", "0")));
  EXPECT_EQ(base_tool("  0x1F\u3000"), ToolResult::output(report("31", "1f", "11111", "37")));
  EXPECT_EQ(base_tool("1e3"), ToolResult::output(report("1000", "3e8", "1111101000", "1750")));
}

TEST(Base, LargeMagnitudes) {
  struct Row {
    std::string_view input, decimal_line, hex_line;
  };
  const Row rows[] = {
      {"9007199254740992", "decimal:  9007199254740992", "hex:      0x20000000000000"},
      {"9007199254740993", "decimal:  9007199254740992", "hex:      0x20000000000000"},
      {"-9007199254740994", "decimal:  -9007199254740994", "hex:      0x-20000000000002"},
      {"1152921504606846976", "decimal:  1152921504606847000", "hex:      0x1000000000000000"},
      {"1e20", "decimal:  100000000000000000000", "hex:      0x56bc75e2d63100000"},
      {"170141183460469231731687303715884105728",
       "decimal:  170141183460469230000000000000000000000",
       "hex:      0x80000000000000000000000000000000"},
      {"-170141183460469231731687303715884105728",
       "decimal:  -170141183460469230000000000000000000000",
       "hex:      0x-80000000000000000000000000000000"},
  };
  for (const Row& row : rows) {
    const ToolResult result = base_tool(row.input);
    ASSERT_TRUE(result.is_ok()) << row.input;
    EXPECT_TRUE(result.text().starts_with(std::string(row.decimal_line) + "\n" +
                                          std::string(row.hex_line) + "\n"))
        << row.input << "\n"
        << result.text();
  }
  const std::string binary_2_127 = "binary:   0b1" + std::string(127, '0');
  EXPECT_NE(base_tool("1.7014118346046923e38").text().find(binary_2_127), std::string::npos);
}

TEST(Base, Refusals) {
  EXPECT_EQ(base_tool(" \t"), ToolResult::error("Empty input"));
  for (std::string_view input :
       {"2.5", "abc", "inf", "nan", "1.8e38", "-1.8e38", "1e400", "0x1.8p3"}) {
    EXPECT_EQ(base_tool("  " + std::string(input) + " "),
              ToolResult::error("\"" + std::string(input) + "\" is not a valid number"))
        << input;
  }
}

}  // namespace
}  // namespace pelloriand::tools
