// The structured data format tool: reads JSON, YAML or TOML (whichever accepts
// the text first) into one JsonValue and writes it as YAML, JSON, TOML or CSV.
//
// format.cpp holds the tool entry and the CSV cells (JSON is read by
// json::read_json); format_yaml.cpp the YAML node model, its reader (libfyaml
// events) and the block-style writer; format_toml.cpp the TOML reader (toml++)
// and writer.
//
// Every reader refuses what could exhaust the process instead of trying: JSON
// nested deeper than json::MAX_READ_DEPTH, YAML or TOML nested deeper than
// MAX_NESTING, and YAML aliases whose copies would exceed MAX_ALIAS_WEIGHT.
// Within those bounds the recursive helpers below recurse at most MAX_NESTING
// levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json.h"

namespace pelloriand::tools::format {

using json::JsonValue;

// Deepest YAML or TOML document read (containers inside containers).
inline constexpr std::size_t MAX_NESTING = 256;

// Upper bound on what YAML alias copies may add to a document: each copied
// node counts 16 plus the bytes of its text.
inline constexpr std::size_t MAX_ALIAS_WEIGHT = std::size_t{16} << 20;

// YamlNode
//
// One node of a YAML document as read, kept where the YAML variant matters
// beyond the JSON value: for anchored nodes and for mapping keys. `text` holds
// a Real's text as written or a String; `items` the elements of an Array, or
// the keys and values of a Hash alternating (key, value, key, value, ...) in
// insertion order.
struct YamlNode {
  enum class Kind : std::uint8_t { Real, Integer, String, Boolean, Array, Hash, Null, BadValue };

  Kind kind = Kind::Null;
  bool boolean = false;
  std::int64_t integer = 0;
  std::string text;
  std::vector<YamlNode> items;

  friend bool operator==(const YamlNode&, const YamlNode&) = default;
};

// yaml_text
//
// The text the YAML reader gets from the tool's input: the input less its
// whole leading blank lines and less the other Unicode white space at its end
// (YAML would read U+3000 as text), but with the spaces, tabs and line breaks
// that end it. Unlike the trimmed text the JSON and TOML readers get, it keeps
// the first line's indentation, which places that line's node, and the last
// line breaks, which a block scalar keeps (YAML 1.2, 8.1.1.2).
//
// Example:
//   "\n  - a\n  - |\n   b\n\u3000" -> "  - a\n  - |\n   b\n"
[[nodiscard]] std::string_view yaml_text(std::string_view input);

// read_yaml
//
// The first document of a YAML stream as a JsonValue, scalars typed as the
// format tool types them, its memory from `storage`. Every document is read
// and checked; nothing when any fails (syntax, a repeated mapping key,
// nesting or alias expansion beyond the bounds above) or when the stream
// holds no document.
[[nodiscard]] std::optional<JsonValue> read_yaml(std::string_view text,
                                                 boost::json::storage_ptr storage = {});

// read_toml
//
// A TOML 1.0 document (leading byte-order mark skipped) as a JsonValue object
// in document order; date-times as their canonical text, inf and nan as null.
[[nodiscard]] std::optional<JsonValue> read_toml(std::string_view text);

// yaml_key_text
//
// The member name a Hash key becomes: "1.50" for Real 1.50, "31" for the
// Integer read from 0x1F, "~" for BadValue, an inspection text such as
// [Integer(1), String("a")] for a sequence or mapping key.
[[nodiscard]] std::string yaml_key_text(const YamlNode& key);

// write_yaml
//
// Appends the block-style YAML text of `value`, less the leading "---" line:
// null as "~", integers up to 2^63 - 1 in decimal, other numbers as their
// shortest text (2.0 as "2", 18446744073709551615 as "18446744073709552000"),
// strings plain or in double quotes when plain text would read back as
// something else, two spaces of indentation per level.
void write_yaml(const JsonValue& value, std::string& out);

// TomlOutput
//
// The TOML writer's result: the document text, or an error sentence.
struct TomlOutput {
  bool ok = true;
  std::string text;
};

// write_toml
//
// One line per member of `object`, nested objects as inline tables, arrays on
// one line. Fails with "unsupported unit type" on a null and "out-of-range
// value for u64 type" on an unsigned integer above 2^63 - 1.
[[nodiscard]] TomlOutput write_toml(const boost::json::object& object);

// js_text
//
// The text of a value in a CSV cell; `value` null means a missing member.
//
// Example:
//   [1, [2, "a"]] -> 1,2,a;  {"x": 1} -> [object Object]
[[nodiscard]] std::string js_text(const JsonValue* value);

// csv_cell
//
// js_text, enclosed in double quotes (inner ones doubled) when it holds a
// double quote, a comma or a line feed.
[[nodiscard]] std::string csv_cell(const JsonValue* value);

// csv_header_cells
//
// csv_cell of each key taken as a string.
[[nodiscard]] std::vector<std::string> csv_header_cells(const std::vector<std::string_view>& keys);

}  // namespace pelloriand::tools::format
