// Entry functions of the 28 tools, as the tool table names them, and the
// option lookup the seven that read "target" share. Each entry is defined in
// its family's source file.
#pragma once

#include <optional>
#include <string_view>

#include "pelloriand/tool.h"

namespace pelloriand {

// find_target
//
// Looks up the option "target", compared byte for byte. Returns nothing when
// there are no options or no such entry; the value itself may be empty.
//
// Example:
//   ToolOptions o{{"Target", "x"}};  find_target(&o) == std::nullopt
[[nodiscard]] std::optional<std::string_view> find_target(const ToolOptions* options);

}  // namespace pelloriand

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
