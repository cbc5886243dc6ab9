// Entry functions of the 28 tools, as the dispatcher calls them. Each is defined
// in its family's source file; seven of them read the "target" option.
#pragma once

#include <string_view>

#include "pelloriand/tool.h"

namespace pelloriand::tools {

ToolResult math_tool(std::string_view input);
ToolResult unit_tool(std::string_view input);
ToolResult base64_tool(std::string_view input);
ToolResult slug_tool(std::string_view input);
ToolResult case_tool(std::string_view input, const ToolOptions* options);
ToolResult base_tool(std::string_view input);
ToolResult url_tool(std::string_view input);
ToolResult html_tool(std::string_view input);
ToolResult uuid_tool(std::string_view input);
ToolResult timestamp_tool(std::string_view input);
ToolResult color_tool(std::string_view input);
ToolResult phone_tool(std::string_view input, const ToolOptions* options);
ToolResult thermo_tool(std::string_view input);
ToolResult dms_tool(std::string_view input);
ToolResult utm_tool(std::string_view input);
ToolResult mercator_tool(std::string_view input);
ToolResult geodesic_tool(std::string_view input);
ToolResult mgrs_tool(std::string_view input);
ToolResult geohash_tool(std::string_view input);
ToolResult pluscode_tool(std::string_view input);
ToolResult charset_tool(std::string_view input, const ToolOptions* options);
ToolResult format_tool(std::string_view input, const ToolOptions* options);
ToolResult chinese_tool(std::string_view input, const ToolOptions* options);
ToolResult pinyin_tool(std::string_view input, const ToolOptions* options);
ToolResult romaji_tool(std::string_view input);
ToolResult calendar_tool(std::string_view input);
ToolResult geom_tool(std::string_view input, const ToolOptions* options);
ToolResult crs_tool(std::string_view input);

}  // namespace pelloriand::tools
