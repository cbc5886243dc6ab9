// The tool table and run_tool over it. Lookup goes by id length first: the
// rows of each length are gathered at compile time, so a request compares its
// id with the few rows of the same length and nothing else: no hash, no
// allocation until an unknown id needs its error text.
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "pelloriand/tool.h"
#include "tools/entries.h"

namespace pelloriand {
namespace {

constexpr ToolEntry plain(std::string_view id, std::string_view label,
                          ToolEntry::PlainEntry entry) {
  return {id, label, entry, nullptr};
}
constexpr ToolEntry with_options(std::string_view id, std::string_view label,
                                 ToolEntry::OptionEntry entry) {
  return {id, label, nullptr, entry};
}

}  // namespace

using namespace tools;

// The rows, with the file that holds each tool, are in pelloriand/tool_rows.def.
#define PELLORIAND_TOOL_ROW(kind, id, label, entry, file) kind(id, label, entry),
constexpr std::array<ToolEntry, TOOL_COUNT> TOOL_TABLE{
#include "pelloriand/tool_rows.def"
};
#undef PELLORIAND_TOOL_ROW

namespace {

constexpr std::size_t MAX_ID_LENGTH =
    std::ranges::max(TOOL_TABLE, {}, [](const ToolEntry& row) { return row.id.size(); }).id.size();

// The rows whose id has L bytes, in table order, fixed at compile time.
template <std::size_t L>
constexpr auto ROWS_OF_LENGTH = [] {
  constexpr auto count =
      std::ranges::count_if(TOOL_TABLE, [](const ToolEntry& row) { return row.id.size() == L; });
  std::array<const ToolEntry*, count> rows{};
  std::size_t next = 0;
  for (const ToolEntry& row : TOOL_TABLE) {
    if (row.id.size() == L) rows[next++] = &row;
  }
  return rows;
}();

template <std::size_t L>
const ToolEntry* find_of_length(std::string_view tool_id) {
  for (const ToolEntry* row : ROWS_OF_LENGTH<L>) {
    if (std::memcmp(row->id.data(), tool_id.data(), L) == 0) return row;
  }
  return nullptr;
}

// One branch per id length; each compares against constant ids of that length
// only, which the compiler unrolls into a few word comparisons.
template <std::size_t... L>
const ToolEntry* find_by_length(std::string_view tool_id, std::index_sequence<L...>) {
  const ToolEntry* found = nullptr;
  (void)((tool_id.size() == L && ((found = find_of_length<L>(tool_id)), true)) || ...);
  return found;
}

}  // namespace

const ToolEntry* find_tool(std::string_view tool_id) {
  return find_by_length(tool_id, std::make_index_sequence<MAX_ID_LENGTH + 1>{});
}

std::optional<std::string_view> find_target(const ToolOptions* options) {
  if (options == nullptr) return std::nullopt;
  auto it = options->find(std::string_view("target"));
  if (it == options->end()) return std::nullopt;
  return std::string_view(it->second);
}

ToolResult run_tool(std::string_view tool_id, std::string_view input, const ToolOptions* options) {
  const ToolEntry* row = find_tool(tool_id);
  if (row == nullptr) {
    std::string sentence = "Unknown tool: ";
    sentence.append(tool_id);
    return ToolResult::error(std::move(sentence));
  }
  return row->reads_target() ? row->with_options(input, options) : row->plain(input);
}

}  // namespace pelloriand
