// The JSON reader and text writers of the tools that read or answer with JSON
// (the format tool, the geometry tool's GeoJSON). The writers print Boost.JSON
// values, and every number through format_shortest, so 2.0 prints "2" and an
// integer above 2^53 loses its low digits exactly as a double would.
#pragma once

#include <boost/json/storage_ptr.hpp>
#include <boost/json/value.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "pelloriand/json_string.h"

namespace pelloriand::json {

using JsonValue = boost::json::value;

// The deepest nesting of arrays and objects that read_json reads.
inline constexpr std::size_t MAX_READ_DEPTH = 127;

// read_json
//
// One strict JSON document (JSON white space around it allowed), nested at
// most MAX_READ_DEPTH deep, with no number that overflows to infinity; every
// double is the correctly rounded value of its text. A repeated key keeps its
// first place and takes the last value. Nothing when the text is no such
// document. The value's memory comes from `storage` (the default heap when
// null).
[[nodiscard]] std::optional<JsonValue> read_json(std::string_view text,
                                                 boost::json::storage_ptr storage = {});

// write_json_compact
//
// Appends the text of `value` with no white space at all.
//
// Example:
//   {"type":"Point","coordinates":[2.35,48.85]}
void write_json_compact(const JsonValue& value, std::string& out);

// write_json_pretty
//
// Appends the text of `value` indented by two spaces per level, starting at
// `depth` levels; "[]" and "{}" for empty containers, no trailing line feed.
void write_json_pretty(const JsonValue& value, unsigned depth, std::string& out);

}  // namespace pelloriand::json
