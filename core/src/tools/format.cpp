// The format tool's entry and its CSV cells (the YAML and TOML halves live in
// format_yaml.cpp and format_toml.cpp; JSON is read by json::read_json).
#include "tools/format.h"

#include <boost/json.hpp>
#include <utility>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace format {
namespace {

// No answer may grow past this; the JSON and YAML layouts indent every line,
// so a deeply nested wide input could otherwise print hundreds of megabytes.
constexpr std::size_t MAX_OUTPUT = std::size_t{64} << 20;

std::size_t container_size(const JsonValue& v) {
  if (const auto* a = v.if_array()) return a->size();
  if (const auto* o = v.if_object()) return o->size();
  return 0;
}

// The spaces the indented layouts would write for `value`: two per level for
// every element and member. Walked with a stack of the open containers (the
// trees may be deep), each with the index of its next child.
std::size_t indentation_size(const JsonValue& value) {
  struct Frame {
    const JsonValue* container;
    std::size_t next;
  };
  std::vector<Frame> open;
  std::size_t total = 0;
  auto visit = [&](const JsonValue& v) {
    total += 2 * open.size();
    if (container_size(v) != 0) open.push_back({&v, 0});
  };
  visit(value);
  while (!open.empty() && total <= MAX_OUTPUT) {
    Frame& top = open.back();
    const JsonValue& c = *top.container;
    if (top.next == container_size(c)) {
      open.pop_back();
      continue;
    }
    const std::size_t i = top.next++;
    visit(c.is_array() ? c.get_array()[i] : c.get_object().begin()[i].value());
  }
  return total;
}

std::string_view trim_end(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0) {
    std::size_t pos = end;
    if (!text::is_white_space(text::previous_code_point(s, pos))) break;
    end = pos;
  }
  return s.substr(0, end);
}

void append_js_text(const JsonValue& value, std::string& out) {
  switch (value.kind()) {
    case boost::json::kind::null:
      break;
    case boost::json::kind::bool_:
      out.append(value.get_bool() ? "true" : "false");
      break;
    case boost::json::kind::int64:
    case boost::json::kind::uint64:
    case boost::json::kind::double_:
      // Integers too print as the double they convert to.
      number::append_shortest(out, value.to_number<double>());
      break;
    case boost::json::kind::string:
      out.append(value.get_string());
      break;
    case boost::json::kind::array: {
      bool first = true;
      for (const auto& e : value.get_array()) {
        if (!first) out.push_back(',');
        first = false;
        append_js_text(e, out);
      }
      break;
    }
    case boost::json::kind::object:
      out.append("[object Object]");
      break;
  }
}

std::string quote_csv(std::string t) {
  if (t.find_first_of("\",\n") == std::string::npos) return t;
  std::string cell = "\"";
  for (char c : t) {
    if (c == '"') cell.push_back('"');
    cell.push_back(c);
  }
  cell.push_back('"');
  return cell;
}

ToolResult to_csv(const JsonValue& value) {
  const JsonValue* rows = &value;
  std::size_t row_count = 1;
  if (value.is_array()) {
    row_count = value.get_array().size();
    if (row_count == 0) return ToolResult::error("No rows to convert");
  }
  auto row = [&](std::size_t i) -> const JsonValue& {
    return rows->is_array() ? rows->get_array()[i] : *rows;
  };
  std::vector<std::string_view> columns;
  if (const auto* first = row(0).if_object()) {
    for (const auto& m : *first) columns.emplace_back(m.key());
  }
  std::string out;
  const auto header = csv_header_cells(columns);
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (c > 0) out.push_back(',');
    out.append(header[c]);
  }
  for (std::size_t i = 0; i < row_count; ++i) {
    out.push_back('\n');
    const auto* object = row(i).if_object();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) out.push_back(',');
      const JsonValue* cell = nullptr;
      if (object != nullptr) cell = object->if_contains(columns[c]);
      out.append(csv_cell(cell));
    }
    if (out.size() > MAX_OUTPUT) return ToolResult::error("Output too large");
  }
  return ToolResult::output(std::move(out));
}

}  // namespace

std::string_view yaml_text(std::string_view input) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < input.size();) {
    const char32_t c = text::next_code_point(input, i);
    if (c == '\n') {
      start = i;
    } else if (!text::is_white_space(c)) {
      break;
    }
  }
  input.remove_prefix(start);
  std::size_t end = trim_end(input).size();
  while (end < input.size() &&
         std::string_view(" \t\r\n").find(input[end]) != std::string_view::npos) {
    ++end;
  }
  return input.substr(0, end);
}

std::string js_text(const JsonValue* value) {
  std::string out;
  if (value != nullptr) append_js_text(*value, out);
  return out;
}

std::string csv_cell(const JsonValue* value) {
  return quote_csv(js_text(value));
}

std::vector<std::string> csv_header_cells(const std::vector<std::string_view>& keys) {
  std::vector<std::string> cells;
  cells.reserve(keys.size());
  for (auto key : keys) cells.push_back(quote_csv(std::string(key)));
  return cells;
}

}  // namespace format

ToolResult format_tool(std::string_view input, const ToolOptions* options) {
  using namespace format;
  const std::string_view text = text::trim(input);
  // The tree lives only for this call, so it is carved from one arena (with a
  // first block on the stack) and freed at once.
  unsigned char first_block[4096];
  boost::json::monotonic_resource arena(first_block, sizeof first_block);
  std::optional<JsonValue> value = json::read_json(text, &arena);
  if (!value) {
    value = read_yaml(yaml_text(input), &arena);
    if (!value) value = read_toml(text);
  }
  if (!value) return ToolResult::error("Could not parse input as JSON, YAML or TOML");

  const std::string_view target = find_target(options).value_or("yaml");
  if (target == "json" || target == "yaml") {
    const std::size_t indentation = indentation_size(*value);
    if (indentation > MAX_OUTPUT) return ToolResult::error("Output too large");
    // Both layouts write about the input's text plus the indentation; room for
    // twice the text saves the copies of a growing string, and pages reserved
    // but never written cost no memory.
    std::string out;
    out.reserve(indentation + 2 * text.size());
    if (target == "json") {
      json::write_json_pretty(*value, 0, out);
    } else {
      write_yaml(*value, out);
      out.resize(trim_end(out).size());
    }
    return ToolResult::output(std::move(out));
  }
  if (target == "toml") {
    const auto* object = value->if_object();
    if (object == nullptr) return ToolResult::error("TOML output needs an object at the top level");
    TomlOutput written = write_toml(*object);
    if (!written.ok) return ToolResult::error(std::move(written.text));
    written.text.resize(trim_end(written.text).size());
    return ToolResult::output(std::move(written.text));
  }
  if (target == "csv") return to_csv(*value);
  return ToolResult::error("Unknown target: " + std::string(target));
}

}  // namespace pelloriand::tools
