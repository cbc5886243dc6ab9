// Tools whose families have not been written yet. Each answers as an unknown
// id would, so the dispatch table can hold all 28 ids from the start; a family's
// file replaces its stubs here when it lands.
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

ToolResult not_built(std::string_view id) { return ToolResult::error("Unknown tool: " + std::string(id)); }

}  // namespace

ToolResult math_tool(std::string_view) { return not_built("math"); }

ToolResult unit_tool(std::string_view) { return not_built("unit"); }

ToolResult base64_tool(std::string_view) { return not_built("base64"); }

ToolResult slug_tool(std::string_view) { return not_built("slug"); }

ToolResult case_tool(std::string_view, const ToolOptions*) { return not_built("case"); }

ToolResult base_tool(std::string_view) { return not_built("base"); }

ToolResult url_tool(std::string_view) { return not_built("url"); }

ToolResult html_tool(std::string_view) { return not_built("html"); }

ToolResult uuid_tool(std::string_view) { return not_built("uuid"); }

ToolResult color_tool(std::string_view) { return not_built("color"); }

ToolResult phone_tool(std::string_view, const ToolOptions*) { return not_built("phone"); }

ToolResult thermo_tool(std::string_view) { return not_built("thermo"); }

ToolResult dms_tool(std::string_view) { return not_built("dms"); }

ToolResult utm_tool(std::string_view) { return not_built("utm"); }

ToolResult mercator_tool(std::string_view) { return not_built("mercator"); }

ToolResult geodesic_tool(std::string_view) { return not_built("geodesic"); }

ToolResult mgrs_tool(std::string_view) { return not_built("mgrs"); }

ToolResult geohash_tool(std::string_view) { return not_built("geohash"); }

ToolResult pluscode_tool(std::string_view) { return not_built("pluscode"); }

ToolResult charset_tool(std::string_view, const ToolOptions*) { return not_built("charset"); }

ToolResult format_tool(std::string_view, const ToolOptions*) { return not_built("format"); }

ToolResult chinese_tool(std::string_view, const ToolOptions*) { return not_built("chinese"); }

ToolResult pinyin_tool(std::string_view, const ToolOptions*) { return not_built("pinyin"); }

ToolResult romaji_tool(std::string_view) { return not_built("romaji"); }

ToolResult geom_tool(std::string_view, const ToolOptions*) { return not_built("geom"); }

ToolResult crs_tool(std::string_view) { return not_built("crs"); }

}  // namespace pelloriand::tools
