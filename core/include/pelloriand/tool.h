// The tool engine's public surface: the tool table, `run_tool`, and the types
// they trade in. Each tool's behaviour lives in its family's source file under
// core/src; the HTTP layer (server/) lists the table and calls `run_tool`.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace pelloriand {

// ToolOptions
//
// The request's "options" object: option name to option value, exactly as the
// client sent them. The only name any tool reads is "target".
using ToolOptions = std::map<std::string, std::string, std::less<>>;

// ToolResult
//
// The outcome of one tool run: either an output text (possibly empty) or one
// user-facing error sentence, never both.
//
// Example:
//   ToolResult::error("Empty input").is_ok() == false
class ToolResult {
 public:
  [[nodiscard]] static ToolResult output(std::string text) { return {true, std::move(text)}; }
  [[nodiscard]] static ToolResult error(std::string sentence) {
    return {false, std::move(sentence)};
  }

  [[nodiscard]] bool is_ok() const { return ok_; }
  // The output text when is_ok(), else the error sentence.
  [[nodiscard]] const std::string& text() const& { return text_; }
  [[nodiscard]] std::string&& text() && { return std::move(text_); }

  friend bool operator==(const ToolResult&, const ToolResult&) = default;

 private:
  ToolResult(bool ok, std::string text) : ok_(ok), text_(std::move(text)) {}

  bool ok_;
  std::string text_;
};

// ToolEntry
//
// One row of the tool table: the id a request names, the label a menu shows,
// and the tool's entry function. Tools that read the "target" option take the
// options too; the others take only the input.
struct ToolEntry {
  using PlainEntry = ToolResult (*)(std::string_view input);
  using OptionEntry = ToolResult (*)(std::string_view input, const ToolOptions* options);

  std::string_view id;
  std::string_view label;
  PlainEntry plain = nullptr;          // set for tools that never see the options
  OptionEntry with_options = nullptr;  // set for tools that read "target"

  [[nodiscard]] constexpr bool reads_target() const { return with_options != nullptr; }
};

// TOOL_TABLE
//
// Every tool, in the order a menu lists them. Its rows are written once, in
// pelloriand/tool_rows.def, which also names the source file of each tool;
// TOOL_COUNT is their number.
//
// Example:
//   TOOL_TABLE[0].id == "math";  TOOL_TABLE[5].label == "Number base"
// Each row adds one.
#define PELLORIAND_TOOL_ROW(kind, id, label, entry, file) +1
inline constexpr std::size_t TOOL_COUNT = 0
#include "pelloriand/tool_rows.def"
    ;
#undef PELLORIAND_TOOL_ROW
extern const std::array<ToolEntry, TOOL_COUNT> TOOL_TABLE;

// find_tool
//
// The row whose id is exactly `tool_id`, or null. No allocation, no hashing.
[[nodiscard]] const ToolEntry* find_tool(std::string_view tool_id);

// run_tool
//
// Runs the tool named by `tool_id` on `input` and returns its result. The id is
// compared exactly (no trimming, no case folding); an id that names no tool
// gives the error "Unknown tool: {id}". `options` may be null. Safe to call from
// many threads at once.
//
// Example:
//   run_tool("unit", "5 km mi", nullptr).text() == "3.106855961 mi"
//   run_tool("Math", "1", nullptr).text() == "Unknown tool: Math"
[[nodiscard]] ToolResult run_tool(std::string_view tool_id, std::string_view input,
                                  const ToolOptions* options);

}  // namespace pelloriand
