#include "tools/entries.h"
namespace pelloriand::tools {
ToolResult pluscode_tool(std::string_view) {
  return ToolResult::error("Unknown tool: pluscode");
}
}  // namespace pelloriand::tools
