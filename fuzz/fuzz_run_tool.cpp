// libFuzzer target over run_tool: any tool of the table, any input, any target.
//
// One fuzz input is laid out as
//   byte 0      the tool: its index in TOOL_TABLE is the byte modulo the count;
//   the rest    the tool's input up to the first NUL, and the "target" value
//               after it. Without a NUL no target is sent: no options at all
//               when byte 0 divided by the count is even, an options map that
//               lacks "target" when it is odd (both are requests a client can
//               send, and the tools tell them apart).
// The HTTP layer only hands a tool valid UTF-8, so other inputs are refused
// (-1 keeps them out of the corpus). Every answer must be valid UTF-8 as well,
// as the service copies it into its JSON answer byte for byte, and an error
// must say something.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "pelloriand/text.h"
#include "pelloriand/tool.h"

namespace {

struct Call {
  const pelloriand::ToolEntry* tool;
  std::string_view input;
  std::optional<pelloriand::ToolOptions> options;
};

Call decode(const std::uint8_t* data, std::size_t size) {
  const std::size_t choice = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  Call call{&pelloriand::TOOL_TABLE[choice % pelloriand::TOOL_COUNT], rest, std::nullopt};
  if (const std::size_t nul = rest.find('\0'); nul != std::string_view::npos) {
    call.input = rest.substr(0, nul);
    call.options = pelloriand::ToolOptions{{"target", std::string(rest.substr(nul + 1))}};
  } else if ((choice / pelloriand::TOOL_COUNT) % 2 == 1) {
    call.options = pelloriand::ToolOptions{{"other", "x"}};
  }
  return call;
}

bool valid_text(const Call& call) {
  if (!pelloriand::text::is_valid_utf8(call.input)) return false;
  return !call.options || pelloriand::text::is_valid_utf8(call.options->begin()->second);
}

[[noreturn]] void fail(const Call& call, const char* what) {
  std::fprintf(stderr, "%.*s %s\n", static_cast<int>(call.tool->id.size()), call.tool->id.data(),
               what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const Call call = decode(data, size);
  if (!valid_text(call)) return -1;
  const pelloriand::ToolResult result =
      pelloriand::run_tool(call.tool->id, call.input, call.options ? &*call.options : nullptr);
  if (!pelloriand::text::is_valid_utf8(result.text()))
    fail(call, "answered text that is not UTF-8");
  if (!result.is_ok() && result.text().empty()) fail(call, "failed without an error sentence");
  return 0;
}
