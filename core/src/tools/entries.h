// Entry functions of the tools, as the tool table names them, and the option
// lookup the ones that read "target" share. Each entry is defined in its
// family's source file.
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

// The entry functions, one per row of pelloriand/tool_rows.def, declared from
// the rows themselves: a row's kind names its signature, and its file column
// names the source file that defines it.
using plain_entry = ToolResult(std::string_view input);
using with_options_entry = ToolResult(std::string_view input, const ToolOptions* options);
#define PELLORIAND_TOOL_ROW(kind, id, label, entry, file) kind##_entry entry;
#include "pelloriand/tool_rows.def"
#undef PELLORIAND_TOOL_ROW

}  // namespace pelloriand::tools
