#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pelloriand/tool.h"
#include "tools/entries.h"

namespace pelloriand {
namespace {

TEST(Dispatch, UnknownIdsEchoTheIdAsSent) {
  for (std::string_view id : {"Math", "URL", " math", "math ", "", "timestamps", "x", "geohash2"}) {
    const ToolResult result = run_tool(id, "1", nullptr);
    EXPECT_FALSE(result.is_ok()) << id;
    EXPECT_EQ(result.text(), "Unknown tool: " + std::string(id));
  }
}

// Every row of the table is reachable by its own id and runs its own entry:
// no "Unknown tool" answer, ids and labels unique, exactly one entry per row.
TEST(Dispatch, EveryTableRowRuns) {
  std::set<std::string_view> ids, labels;
  const ToolOptions no_target;
  for (const ToolEntry& row : TOOL_TABLE) {
    EXPECT_TRUE(ids.insert(row.id).second) << row.id;
    EXPECT_TRUE(labels.insert(row.label).second) << row.label;
    EXPECT_NE(row.plain == nullptr, row.with_options == nullptr) << row.id;
    EXPECT_EQ(find_tool(row.id), &row);
    const ToolResult result = run_tool(row.id, "1", &no_target);
    EXPECT_FALSE(result.text().starts_with("Unknown tool")) << row.id << ": " << result.text();
  }
  EXPECT_EQ(ids.size(), TOOL_COUNT);
}

// The file column of the rows is what a maintainer follows to a tool's code,
// so each file must define the row's entry.
TEST(Dispatch, EveryRowNamesTheFileThatDefinesItsTool) {
  struct Row {
    std::string_view entry;
    std::string_view file;
  };
#define PELLORIAND_TOOL_ROW(kind, id, label, entry, file) Row{#entry, file},
  constexpr Row ROWS[] = {
#include "pelloriand/tool_rows.def"
  };
#undef PELLORIAND_TOOL_ROW
  static_assert(std::size(ROWS) == TOOL_COUNT);
  for (const Row& row : ROWS) {
    std::ifstream in(std::string(PELLORIAND_CORE_SOURCE_DIR "/") + std::string(row.file));
    ASSERT_TRUE(in) << row.file;
    const std::string source{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(source.find("\nToolResult " + std::string(row.entry) + "("), std::string::npos)
        << row.entry << " is not defined in " << row.file;
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
