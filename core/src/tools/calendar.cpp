#include "tools/entries.h"
namespace pelloriand::tools {
ToolResult calendar_tool(std::string_view) { return ToolResult::error("Unknown tool: calendar"); }
}
