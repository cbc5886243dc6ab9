// The uuid tool: the loose notation reader, the five-line report and the
// version and variant bits of generated UUIDs.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tool_result_testing.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

constexpr std::string_view REPORT =
    "canonical: 550e8400-e29b-41d4-a716-446655440000\n"
    "upper:     550E8400-E29B-41D4-A716-446655440000\n"
    "braces:    {550E8400-E29B-41D4-A716-446655440000}\n"
    "urn:       urn:uuid:550e8400-e29b-41d4-a716-446655440000\n"
    "hex:       0x550e8400e29b41d4a716446655440000";

TEST(Uuid, ReadsLooseNotations) {
  for (std::string_view input : {
           "550E8400-E29B-41D4-A716-446655440000",
           "{550e8400e29b41d4a716446655440000}",
           "(550e8400-e29b41d4-a716446655440000}",
           "550e8400-e29b-41d4-a716-446655440000)",
           " \u3000{550E8400-e29b-41D4-a716-446655440000\t",
       }) {
    EXPECT_EQ(uuid_tool(input), ToolResult::output(std::string(REPORT))) << input;
  }
  EXPECT_TRUE(uuid_tool("00000000-0000-0000-0000-000000000000").is_ok());
}

TEST(Uuid, RefusesEverythingElse) {
  for (std::string_view input : {
           "550e8400--e29b-41d4-a716-446655440000",
           "-550e8400-e29b-41d4-a716-446655440000",
           "550e8400-e29b-41d4-a716-446655440000-",
           "550e8400-e29b-41d4-a716-44665544000",
           "550e8400-e29b-41d4-a716-4466554400001",
           "urn:uuid:550e8400-e29b-41d4-a716-446655440000",
           "{{550e8400-e29b-41d4-a716-446655440000}",
           "550e8400-e29b-41d4-a716-44665544000g",
           "(",
           "{}",
       }) {
    EXPECT_EQ(uuid_tool(input), ToolResult::error("Not a valid UUID")) << input;
  }
}

// 8-4-4-4-12 lower-case hex digits, version nibble 4, variant bits 10.
bool is_canonical_v4(const std::string& s) {
  if (s.size() != 36) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = s[i];
    if (hyphen ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return s[14] == '4' && std::string_view("89ab").find(s[19]) != std::string_view::npos;
}

TEST(Uuid, BlankInputGeneratesThreeVersion4Uuids) {
  for (std::string_view input : {"", " \n "}) {
    const ToolResult result = uuid_tool(input);
    ASSERT_TRUE(result.is_ok());
    std::istringstream lines(result.text());
    std::set<std::string> seen;
    std::string line;
    while (std::getline(lines, line)) {
      EXPECT_TRUE(is_canonical_v4(line)) << line;
      seen.insert(line);
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_NE(result.text().back(), '\n');
  }
}

}  // namespace
}  // namespace pelloriand::tools
