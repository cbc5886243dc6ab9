#include <gtest/gtest.h>

#include "pelloriand/tool.h"

namespace pelloriand {
namespace {

TEST(Dispatch, UnknownIdsEchoTheIdAsSent) {
  for (std::string_view id : {"Math", "URL", " math", "math ", "", "timestamps", "x", "geohash2"}) {
    const ToolResult result = run_tool(id, "1", nullptr);
    EXPECT_FALSE(result.is_ok()) << id;
    EXPECT_EQ(result.text(), "Unknown tool: " + std::string(id));
  }
}

TEST(Dispatch, FindTargetIsExactAndOptional) {
  EXPECT_EQ(find_target(nullptr), std::nullopt);
  const ToolOptions empty;
  EXPECT_EQ(find_target(&empty), std::nullopt);
  const ToolOptions other{{"Target", "x"}, {"target ", "y"}};
  EXPECT_EQ(find_target(&other), std::nullopt);
  const ToolOptions blank{{"target", ""}, {"extra", "z"}};
  EXPECT_EQ(find_target(&blank), std::optional<std::string_view>(""));
}

}  // namespace
}  // namespace pelloriand
