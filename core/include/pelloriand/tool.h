// The tool engine's public surface: one entry, `run_tool`, and the two types it
// trades in. Each tool's behaviour lives in its family's source file under
// core/src; the HTTP layer (server/) only ever calls `run_tool`.
#pragma once

#include <map>
#include <optional>
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

// find_target
//
// Looks up the option "target", compared byte for byte. Returns nothing when
// there are no options or no such entry; the value itself may be empty.
//
// Example:
//   ToolOptions o{{"Target", "x"}};  find_target(&o) == std::nullopt
[[nodiscard]] std::optional<std::string_view> find_target(const ToolOptions* options);

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
