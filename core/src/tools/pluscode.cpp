#include "tools/entries.h"
namespace pelloriand::tools {
ToolResult pluscode_tool(std::string_view) { return ToolResult::error("Unknown tool: pluscode"); }
ToolResult utm_tool(std::string_view) { return ToolResult::error("Unknown tool: utm"); }
ToolResult mgrs_tool(std::string_view) { return ToolResult::error("Unknown tool: mgrs"); }
}
