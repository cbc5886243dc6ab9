// The service log: one line per event on standard output, in the layout
// "2025-03-15T10:04:05.123456Z  INFO pelloriand_server: message key=value"
// (UTC, microseconds, level in five columns), with ANSI styles unless
// NO_COLOR is set, filtered by RUST_LOG-style directives. spdlog owns the
// sink and its locking; the layout and the filter are ours.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pelloriand::log {

// Event levels, least verbose first.
enum class Level { error = 1, warn = 2, info = 3, debug = 4, trace = 5 };

// A directive's level: 0 (off) to 5 (trace); an event passes when its level
// is at most this.
using LevelFilter = int;

// One "name=value" field of an event; `quoted` prints the value as a string.
struct Field {
  std::string_view name;
  std::string_view value;
  bool quoted = false;
};

// FieldMatch
//
// A field condition: the name alone, or a value that is a boolean, a number
// or (anything else) a regular expression the whole value text must match.
struct FieldMatch {
  std::string name;
  std::optional<std::string> value;           // as written
  std::shared_ptr<const std::regex> pattern;  // set when value is no bool/number
  bool matches(const Field& field) const;
};

// Directive
//
// target[span{field=value}]=level, every part optional.
struct Directive {
  std::optional<std::string> target;
  std::optional<std::string> span;
  std::vector<FieldMatch> fields;
  LevelFilter level = 5;
};

// parse_directive
//
// Parses one piece of RUST_LOG. Returns the error text when it is malformed.
//
// Example:
//   parse_directive("a=b=c") holds an error; parse_directive("info") a
//   directive with no target at level 3.
[[nodiscard]] std::variant<Directive, std::string> parse_directive(std::string_view piece);

// Filter
//
// Directives ordered most specific first (target length, span, number of
// field conditions, target text, span name, fields); adding one that
// compares equal to a held one replaces it.
class Filter {
 public:
  void add(Directive directive);
  // Whether an event (outside any span) with these fields is written.
  [[nodiscard]] bool enabled(Level level, std::string_view target,
                             const std::vector<Field>& fields = {}) const;
  [[nodiscard]] const std::vector<Directive>& directives() const { return directives_; }

 private:
  std::vector<Directive> directives_;
};

// build_filter
//
// The RUST_LOG pieces (split at ",", empty ones skipped) and then the
// service's own "pelloriand_server=info". Every malformed piece adds one
// "ignoring `{}`: {}" line to `warnings`.
[[nodiscard]] Filter build_filter(std::string_view rust_log, std::vector<std::string>& warnings);

// format_line
//
// One log line with its line feed.
[[nodiscard]] std::string format_line(std::chrono::system_clock::time_point time, Level level,
                                      std::string_view target, std::string_view message,
                                      const std::vector<Field>& fields, bool color);

// Installs the process-wide logger writing to standard output.
void install(Filter filter, bool color);

// Writes one event if the installed filter lets it through.
void event(Level level, std::string_view target, std::string_view message,
           const std::vector<Field>& fields = {});

// Whether an event would be written; lets callers skip building fields.
[[nodiscard]] bool enabled(Level level, std::string_view target);

// fatal
//
// The one way the process stops on its own: writes "{message}: {cause}" to
// standard error, flushes the log and exits with `status`.
[[noreturn]] void fatal(std::string_view message, std::string_view cause, int status = 101);

}  // namespace pelloriand::log
