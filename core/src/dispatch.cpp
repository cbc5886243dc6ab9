// run_tool and its dispatch table. The id's length picks a handful of fixed
// ids, each compared directly: no hash, no allocation until an unknown id needs
// its error text.
#include <array>

#include "pelloriand/tool.h"
#include "tools/entries.h"

namespace pelloriand {
namespace {

using PlainEntry = ToolResult (*)(std::string_view);
using OptionEntry = ToolResult (*)(std::string_view, const ToolOptions*);

struct DispatchRow {
  std::string_view id;
  PlainEntry plain;          // set for tools that never see the options
  OptionEntry with_options;  // set for the seven that read "target"
};

constexpr DispatchRow plain(std::string_view id, PlainEntry entry) {
  return {id, entry, nullptr};
}
constexpr DispatchRow with_options(std::string_view id, OptionEntry entry) {
  return {id, nullptr, entry};
}

using namespace tools;

// Grouped by id length; lengths 3 to 9 are the only ones in use.
constexpr std::array LENGTH_3{plain("url", url_tool), plain("dms", dms_tool),
                              plain("utm", utm_tool), plain("crs", crs_tool)};
constexpr std::array LENGTH_4{
    plain("math", math_tool),        plain("unit", unit_tool), plain("slug", slug_tool),
    with_options("case", case_tool), plain("base", base_tool), plain("html", html_tool),
    plain("uuid", uuid_tool),        plain("mgrs", mgrs_tool), with_options("geom", geom_tool)};
constexpr std::array LENGTH_5{plain("color", color_tool), with_options("phone", phone_tool)};
constexpr std::array LENGTH_6{plain("base64", base64_tool), plain("thermo", thermo_tool),
                              with_options("format", format_tool),
                              with_options("pinyin", pinyin_tool), plain("romaji", romaji_tool)};
constexpr std::array LENGTH_7{plain("geohash", geohash_tool), with_options("charset", charset_tool),
                              with_options("chinese", chinese_tool)};
constexpr std::array LENGTH_8{plain("mercator", mercator_tool), plain("geodesic", geodesic_tool),
                              plain("pluscode", pluscode_tool), plain("calendar", calendar_tool)};
constexpr std::array LENGTH_9{plain("timestamp", timestamp_tool)};

template <std::size_t N>
const DispatchRow* find_row(const std::array<DispatchRow, N>& rows, std::string_view id) {
  for (const DispatchRow& row : rows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

const DispatchRow* find_tool(std::string_view id) {
  switch (id.size()) {
    case 3:
      return find_row(LENGTH_3, id);
    case 4:
      return find_row(LENGTH_4, id);
    case 5:
      return find_row(LENGTH_5, id);
    case 6:
      return find_row(LENGTH_6, id);
    case 7:
      return find_row(LENGTH_7, id);
    case 8:
      return find_row(LENGTH_8, id);
    case 9:
      return find_row(LENGTH_9, id);
    default:
      return nullptr;
  }
}

}  // namespace

std::optional<std::string_view> find_target(const ToolOptions* options) {
  if (options == nullptr) return std::nullopt;
  auto it = options->find(std::string_view("target"));
  if (it == options->end()) return std::nullopt;
  return std::string_view(it->second);
}

ToolResult run_tool(std::string_view tool_id, std::string_view input, const ToolOptions* options) {
  const DispatchRow* row = find_tool(tool_id);
  if (row == nullptr) {
    std::string sentence = "Unknown tool: ";
    sentence.append(tool_id);
    return ToolResult::error(std::move(sentence));
  }
  return row->plain != nullptr ? row->plain(input) : row->with_options(input, options);
}

}  // namespace pelloriand
