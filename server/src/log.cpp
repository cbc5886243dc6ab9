// Log layout and directive filter. The filter is consulted only for events the
// service emits (the banner, rejections, accept errors), never per request on
// the success path.
// GCC 12 reports a false "maybe uninitialized" inside <regex> when inlining
// under the sanitizers; the warning is about libstdc++'s own temporaries.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "log.h"

#include <fmt/format.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <tuple>

#include "pelloriand/text.h"

namespace pelloriand::log {
namespace {

constexpr std::string_view LEVEL_ERROR =
    "error parsing level filter: expected one of \"off\", \"error\", \"warn\", \"info\", "
    "\"debug\", \"trace\", or a number 0-5";

std::optional<LevelFilter> parse_level(std::string_view s) {
  static constexpr std::string_view NAMES[] = {"off", "error", "warn", "info", "debug", "trace"};
  for (int i = 0; i < 6; ++i) {
    if (text::ascii_iequals(s, NAMES[i])) return i;
  }
  if (s.size() == 1 && s[0] >= '0' && s[0] <= '5') return s[0] - '0';
  return std::nullopt;
}

bool is_number_text(const std::string& s, bool allow_fraction) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  if (allow_fraction) {
    (void)std::strtod(s.c_str(), &end);
  } else {
    (void)std::strtoll(s.c_str(), &end, 10);
  }
  return errno == 0 && end == s.c_str() + s.size() &&
         !std::isspace(static_cast<unsigned char>(s[0]));
}

bool is_target_char(char c) {
  return c != '[' && c != ']' && c != '{' && c != '}' && c != '=' && c != ',' &&
         !std::isspace(static_cast<unsigned char>(c));
}

// Sort key: most specific first, so the comparison is reversed at the call.
auto specificity(const Directive& d) {
  std::vector<std::tuple<bool, std::string_view, std::string_view>> fields;
  for (const FieldMatch& f : d.fields) {
    fields.emplace_back(f.value.has_value(), f.name, f.value ? std::string_view(*f.value) : "");
  }
  return std::make_tuple(d.target ? static_cast<long>(d.target->size()) : -1L, d.span.has_value(),
                         d.fields.size(), d.target, d.span, std::move(fields));
}

const char* level_word(Level level) {
  switch (level) {
    case Level::trace:
      return "TRACE";
    case Level::debug:
      return "DEBUG";
    case Level::info:
      return " INFO";
    case Level::warn:
      return " WARN";
    case Level::error:
      return "ERROR";
  }
  return "";
}

const char* level_style(Level level) {
  switch (level) {
    case Level::trace:
      return "\x1b[35m";
    case Level::debug:
      return "\x1b[34m";
    case Level::info:
      return "\x1b[32m";
    case Level::warn:
      return "\x1b[33m";
    case Level::error:
      return "\x1b[31m";
  }
  return "";
}

void append_quoted(std::string& out, std::string_view v) {
  out += '"';
  for (char c : v) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  out += '"';
}

struct Installed {
  Filter filter;
  bool color = true;
  std::shared_ptr<spdlog::logger> logger;
};

Installed& installed() {
  static Installed state;
  return state;
}

}  // namespace

bool FieldMatch::matches(const Field& field) const {
  if (field.name != name) return false;
  if (!value) return true;
  if (pattern) return std::regex_match(field.value.begin(), field.value.end(), *pattern);
  if (*value == "true" || *value == "false") return field.value == *value;
  // Numbers compare by value, so "5" matches a field printed as 5.
  std::string text(field.value);
  if (!is_number_text(text, true)) return false;
  return std::strtod(text.c_str(), nullptr) == std::strtod(value->c_str(), nullptr);
}

std::variant<Directive, std::string> parse_directive(std::string_view piece) {
  Directive d;
  if (auto level = parse_level(piece)) {
    d.level = *level;
    return d;
  }
  std::size_t i = 0;
  while (i < piece.size() && is_target_char(piece[i])) ++i;
  if (i > 0) d.target = std::string(piece.substr(0, i));
  if (i < piece.size() && piece[i] == '[') {
    ++i;
    std::size_t start = i;
    while (i < piece.size() && piece[i] != ']' && piece[i] != '{' && piece[i] != '[' &&
           piece[i] != '}')
      ++i;
    d.span = std::string(piece.substr(start, i - start));
    if (i < piece.size() && piece[i] == '{') {
      ++i;
      std::size_t fields_start = i;
      while (i < piece.size() && piece[i] != '}') ++i;
      if (i == piece.size()) return std::string("invalid filter directive: unclosed `{`");
      std::string_view spec = piece.substr(fields_start, i - fields_start);
      ++i;
      // Pieces arrive already split at ",", so one condition per directive.
      std::size_t eq = spec.find('=');
      FieldMatch m;
      m.name = std::string(spec.substr(0, eq));
      if (m.name.empty()) return std::string("invalid field filter: empty field name");
      if (eq != std::string_view::npos) {
        m.value = std::string(spec.substr(eq + 1));
        const std::string& v = *m.value;
        if (v != "true" && v != "false" && !is_number_text(v, true)) {
          try {
            m.pattern = std::make_shared<const std::regex>(v);
          } catch (const std::regex_error& e) {
            return fmt::format("invalid field filter: {}", e.what());
          }
        }
      }
      d.fields.push_back(std::move(m));
    }
    if (i == piece.size() || piece[i] != ']') {
      return std::string("invalid filter directive: expected `]` after the span");
    }
    ++i;
    if (d.span->empty()) d.span.reset();
  }
  if (!d.target && !d.span && d.fields.empty()) return std::string("invalid filter directive");
  if (i < piece.size()) {
    if (piece[i] != '=') return std::string("invalid filter directive");
    auto level = parse_level(piece.substr(i + 1));
    if (!level) {
      if (piece.substr(i + 1).find('=') != std::string_view::npos) {
        return std::string("invalid filter directive: too many '=' in filter directive");
      }
      return std::string(LEVEL_ERROR);
    }
    d.level = *level;
  }
  return d;
}

void Filter::add(Directive directive) {
  auto key = specificity(directive);
  auto it = std::find_if(directives_.begin(), directives_.end(),
                         [&](const Directive& held) { return !(specificity(held) > key); });
  if (it != directives_.end() && specificity(*it) == key) {
    *it = std::move(directive);
  } else {
    directives_.insert(it, std::move(directive));
  }
}

bool Filter::enabled(Level level, std::string_view target, const std::vector<Field>& fields) const {
  for (const Directive& d : directives_) {
    if (d.target && target.substr(0, d.target->size()) != *d.target) continue;
    // The service opens no spans, so a span condition never holds.
    if (d.span) continue;
    bool fields_hold = std::all_of(d.fields.begin(), d.fields.end(), [&](const FieldMatch& m) {
      return std::any_of(fields.begin(), fields.end(),
                         [&](const Field& f) { return m.matches(f); });
    });
    if (!fields_hold) continue;
    return static_cast<int>(level) <= d.level;
  }
  return false;
}

Filter build_filter(std::string_view rust_log, std::vector<std::string>& warnings) {
  Filter filter;
  std::size_t start = 0;
  while (start <= rust_log.size()) {
    std::size_t comma = rust_log.find(',', start);
    if (comma == std::string_view::npos) comma = rust_log.size();
    std::string_view piece = rust_log.substr(start, comma - start);
    if (!piece.empty()) {
      auto parsed = parse_directive(piece);
      if (auto* d = std::get_if<Directive>(&parsed)) {
        filter.add(std::move(*d));
      } else {
        warnings.push_back(fmt::format("ignoring `{}`: {}", piece, std::get<std::string>(parsed)));
      }
    }
    start = comma + 1;
  }
  Directive own;
  own.target = "pelloriand_server";
  own.level = static_cast<int>(Level::info);
  filter.add(std::move(own));
  return filter;
}

std::string format_line(std::chrono::system_clock::time_point time, Level level,
                        std::string_view target, std::string_view message,
                        const std::vector<Field>& fields, bool color) {
  using namespace std::chrono;
  auto micros = duration_cast<microseconds>(time.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  long fraction = static_cast<long>(micros % 1000000);
  if (fraction < 0) {
    fraction += 1000000;
    --seconds;
  }
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  std::string out;
  out.reserve(96 + message.size());
  const char* dim = color ? "\x1b[2m" : "";
  const char* reset = color ? "\x1b[0m" : "";
  fmt::format_to(std::back_inserter(out), "{}{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:06}Z{} ", dim,
                 tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                 fraction, reset);
  if (color) {
    fmt::format_to(std::back_inserter(out), "{}{}{} ", level_style(level), level_word(level),
                   reset);
    fmt::format_to(std::back_inserter(out), "{}{}{}{}:{} ", dim, target, reset, dim, reset);
  } else {
    fmt::format_to(std::back_inserter(out), "{} {}: ", level_word(level), target);
  }
  out += message;
  for (const Field& f : fields) {
    out += ' ';
    if (color) out += "\x1b[3m";
    out += f.name;
    if (color)
      out += "\x1b[0m\x1b[2m=\x1b[0m";
    else
      out += '=';
    if (f.quoted) {
      append_quoted(out, f.value);
    } else {
      out += f.value;
    }
  }
  out += '\n';
  return out;
}

namespace {

// The whole line is built by format_line; spdlog only writes it under its lock.
class PassThrough final : public spdlog::formatter {
 public:
  void format(const spdlog::details::log_msg& msg, spdlog::memory_buf_t& dest) override {
    dest.append(msg.payload.begin(), msg.payload.end());
  }
  std::unique_ptr<spdlog::formatter> clone() const override {
    return std::make_unique<PassThrough>();
  }
};

}  // namespace

void install(Filter filter, bool color) {
  Installed& state = installed();
  state.filter = std::move(filter);
  state.color = color;
  auto sink = std::make_shared<spdlog::sinks::stdout_sink_mt>();
  sink->set_formatter(std::make_unique<PassThrough>());
  state.logger = std::make_shared<spdlog::logger>("pelloriand", std::move(sink));
  state.logger->set_level(spdlog::level::trace);
}

bool enabled(Level level, std::string_view target) {
  const Installed& state = installed();
  if (!state.logger) return false;
  // Field conditions are judged in event(); here only a cheap upper bound.
  for (const Directive& d : state.filter.directives()) {
    if (d.target && target.substr(0, d.target->size()) != *d.target) continue;
    if (d.span) continue;
    if (static_cast<int>(level) <= d.level) return true;
  }
  return false;
}

void event(Level level, std::string_view target, std::string_view message,
           const std::vector<Field>& fields) {
  const Installed& state = installed();
  if (!state.logger || !state.filter.enabled(level, target, fields)) return;
  std::string line =
      format_line(std::chrono::system_clock::now(), level, target, message, fields, state.color);
  state.logger->log(spdlog::level::info, spdlog::string_view_t(line.data(), line.size()));
}

void fatal(std::string_view message, std::string_view cause, int status) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(message.size()), message.data(),
               static_cast<int>(cause.size()), cause.data());
  // Other threads may still be running: std::exit would run the static
  // destructors (the logger's, the formatters') under them, so what is
  // written is flushed here and the process ends without them.
  if (const Installed& state = installed(); state.logger) state.logger->flush();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

}  // namespace pelloriand::log
