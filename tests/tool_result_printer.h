// Lets GoogleTest print a ToolResult as "output: ..." or "error: ..." instead
// of its raw bytes, so a failing row shows what the tool said.
#pragma once

#include <ostream>

#include "pelloriand/tool.h"

namespace pelloriand {

inline void PrintTo(const ToolResult& result, std::ostream* os) {
  *os << (result.is_ok() ? "output: \"" : "error: \"") << result.text() << '"';
}

}  // namespace pelloriand
