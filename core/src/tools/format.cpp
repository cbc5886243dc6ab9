// The format tool's entry, its JSON reader and its CSV cells (the YAML and
// TOML halves live in format_yaml.cpp and format_toml.cpp).
//
// JSON is read with Boost.JSON's parser driving a handler of our own: the
// library's own double conversion is not correctly rounded in Boost 1.81
// ("5.806313673e+44" came out one unit off), so every non-integer number is
// converted again from its text with std::from_chars, which is, and a number
// that overflows to infinity fails the reading there.
#include "tools/format.h"

#include <boost/json.hpp>
#include <boost/json/basic_parser_impl.hpp>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace format {
namespace {

// Arrays and objects nested this deep fail; one level less is read.
constexpr std::size_t JSON_MAX_DEPTH = 127;

// No answer may grow past this; the JSON and YAML layouts indent every line,
// so a deeply nested wide input could otherwise print hundreds of megabytes.
constexpr std::size_t MAX_OUTPUT = std::size_t{64} << 20;

class JsonHandler {
 public:
  static constexpr std::size_t max_object_size = boost::json::object::max_size();
  static constexpr std::size_t max_array_size = boost::json::array::max_size();
  static constexpr std::size_t max_key_size = boost::json::string::max_size();
  static constexpr std::size_t max_string_size = boost::json::string::max_size();

  boost::json::value_stack stack;

  using ec_t = boost::json::error_code;
  using sv = boost::json::string_view;

  bool on_document_begin(ec_t&) { return true; }
  bool on_document_end(ec_t&) { return true; }
  bool on_object_begin(ec_t&) { return true; }
  bool on_object_end(std::size_t n, ec_t&) {
    stack.push_object(n);
    return true;
  }
  bool on_array_begin(ec_t&) { return true; }
  bool on_array_end(std::size_t n, ec_t&) {
    stack.push_array(n);
    return true;
  }
  bool on_key_part(sv s, std::size_t, ec_t&) {
    stack.push_chars(s);
    return true;
  }
  bool on_key(sv s, std::size_t, ec_t&) {
    stack.push_key(s);
    return true;
  }
  bool on_string_part(sv s, std::size_t, ec_t&) {
    stack.push_chars(s);
    return true;
  }
  bool on_string(sv s, std::size_t, ec_t&) {
    stack.push_string(s);
    return true;
  }
  bool on_number_part(sv s, ec_t&) {
    number_.append(s.data(), s.size());
    return true;
  }
  bool on_int64(std::int64_t i, sv, ec_t&) {
    number_.clear();
    stack.push_int64(i);
    return true;
  }
  bool on_uint64(std::uint64_t u, sv, ec_t&) {
    number_.clear();
    stack.push_uint64(u);
    return true;
  }
  bool on_double(double, sv s, ec_t& ec) {
    number_.append(s.data(), s.size());
    double d = 0;
    const auto [end, err] = std::from_chars(number_.data(), number_.data() + number_.size(), d);
    // from_chars leaves `d` untouched when out of range; strtod tells an
    // underflow (a number, read as zero) from an overflow (which fails).
    if (err == std::errc::result_out_of_range) d = std::strtod(number_.c_str(), nullptr);
    const bool ok = (err == std::errc{} || err == std::errc::result_out_of_range) &&
                    end == number_.data() + number_.size() && std::isfinite(d);
    number_.clear();
    if (!ok) {
      ec = boost::json::error::exponent_overflow;
      return false;
    }
    stack.push_double(d);
    return true;
  }
  bool on_bool(bool b, ec_t&) {
    stack.push_bool(b);
    return true;
  }
  bool on_null(ec_t&) {
    stack.push_null();
    return true;
  }
  bool on_comment_part(sv, ec_t&) { return false; }
  bool on_comment(sv, ec_t&) { return false; }

 private:
  std::string number_;  // the text of a number split across calls
};

// The spaces the indented layouts would write for `value`: two per level for
// every element and member. Walked with a stack, as the trees may be deep.
std::size_t indentation_size(const JsonValue& value) {
  struct Frame {
    const JsonValue* value;
    std::size_t depth;
  };
  std::vector<Frame> pending{{&value, 0}};
  std::size_t total = 0;
  while (!pending.empty()) {
    const auto [v, depth] = pending.back();
    pending.pop_back();
    total += 2 * depth;
    if (total > MAX_OUTPUT) return total;
    if (v->is_array()) {
      for (const auto& e : v->get_array()) pending.push_back({&e, depth + 1});
    } else if (v->is_object()) {
      for (const auto& m : v->get_object()) pending.push_back({&m.value(), depth + 1});
    }
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
      number::append_shortest(out, static_cast<double>(value.get_int64()));
      break;
    case boost::json::kind::uint64:
      number::append_shortest(out, static_cast<double>(value.get_uint64()));
      break;
    case boost::json::kind::double_:
      number::append_shortest(out, value.get_double());
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

std::optional<JsonValue> read_json(std::string_view text, boost::json::storage_ptr storage) {
  boost::json::parse_options options;
  options.max_depth = JSON_MAX_DEPTH;
  boost::json::basic_parser<JsonHandler> parser(options);
  parser.handler().stack.reset(std::move(storage));
  boost::json::error_code ec;
  const std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
  if (ec || used != text.size() || !parser.done()) return std::nullopt;
  return parser.handler().stack.release();
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
  std::optional<JsonValue> value = read_json(text, &arena);
  if (!value) {
    if (auto documents = load_yaml(text); documents && !documents->empty()) {
      value = yaml_to_json(documents->front());
    } else {
      value = read_toml(text);
    }
  }
  if (!value) return ToolResult::error("Could not parse input as JSON, YAML or TOML");

  const std::string_view target = find_target(options).value_or("yaml");
  if (target == "json" || target == "yaml") {
    if (indentation_size(*value) > MAX_OUTPUT) return ToolResult::error("Output too large");
  }
  if (target == "json") {
    std::string out;
    json::write_json_pretty(*value, 0, out);
    return ToolResult::output(std::move(out));
  }
  if (target == "yaml") {
    std::string out = write_yaml(json_to_yaml(*value));
    std::string_view body = out;
    if (body.starts_with("---\n")) body.remove_prefix(4);
    return ToolResult::output(std::string(trim_end(body)));
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
