// Test helpers for tool results: short builders for expected results, and a
// printer so GoogleTest shows "output: ..." or "error: ..." instead of raw
// bytes when a row fails.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "pelloriand/tool.h"

namespace pelloriand {

inline void PrintTo(const ToolResult& result, std::ostream* os) {
  *os << (result.is_ok() ? "output: \"" : "error: \"") << result.text() << '"';
}

inline ToolResult ok(std::string_view text) {
  return ToolResult::output(std::string(text));
}
inline ToolResult fails(std::string_view sentence) {
  return ToolResult::error(std::string(sentence));
}

}  // namespace pelloriand
