// Tools whose families have not been written yet. Each answers as an unknown
// id would, so the dispatch table can hold all 28 ids from the start; a family's
// file replaces its stubs here when it lands.
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

ToolResult not_built(std::string_view id) { return ToolResult::error("Unknown tool: " + std::string(id)); }

}  // namespace

ToolResult geom_tool(std::string_view, const ToolOptions*) { return not_built("geom"); }

}  // namespace pelloriand::tools
