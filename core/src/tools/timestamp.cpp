// The timestamp tool: one point in time, given as Unix seconds, Unix
// milliseconds or an ISO 8601 date or date-time, reported as Unix seconds,
// milliseconds, the current Unix time, RFC 3339 UTC text and the host's local
// civil time on a 12-hour clock.
//
// Instants are whole milliseconds (fractions below are cut); days have 86,400
// seconds and a written leap second (":60") counts as the first second of the
// next minute. Date-times without a zone are the host's local time (clock.h);
// a local time the clocks skip is refused, a repeated one takes the earlier
// moment. Accepted inputs stay within years 0000-9999 or twelve digits of
// seconds, far inside the ±8.64e18 ms guard.
#include <fmt/format.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "civil.h"
#include "clock.h"
#include "text.h"
#include "tools/date_text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

using date_text::Cursor;

constexpr std::string_view EXPECTED = "Expected unix timestamp, ms, or ISO date";
constexpr std::string_view INVALID_DATE = "Invalid date";
constexpr std::int64_t MAX_MAGNITUDE_MS = 8'640'000'000'000'000;

// A parsed instant in milliseconds, or the error sentence that ends the reading.
using Reading = std::variant<std::int64_t, std::string_view>;

struct ClockTime {
  int hour = 0, minute = 0, second = 0;
  std::int64_t nanos = 0;
};

std::int64_t instant_ms(std::int64_t unix_seconds, std::int64_t nanos) {
  return unix_seconds * 1000 + nanos / 1'000'000;
}

int second_of_day(const ClockTime& t) {
  return t.hour * 3600 + t.minute * 60 + t.second;
}

// RFC 3339: "T", "t" or " ", HH:MM:SS with two digits each, an optional
// fraction, then "Z", "z" or a signed HH:MM offset (U+2212 counts as minus).
std::optional<std::int64_t> read_rfc3339(std::string_view rest, std::int64_t days) {
  Cursor c(rest);
  ClockTime t;
  if (!(c.literal('T') || c.literal('t') || c.literal(' '))) return std::nullopt;
  if (!(c.number(2, 2, 23, t.hour) && c.literal(':') && c.number(2, 2, 59, t.minute) &&
        c.literal(':') && c.number(2, 2, 60, t.second) && c.optional_fraction(t.nanos))) {
    return std::nullopt;
  }
  int offset_seconds = 0;
  if (!(c.literal('Z') || c.literal('z'))) {
    int sign = 0;
    if (c.literal('+')) {
      sign = 1;
    } else if (c.literal('-') || c.literal("\u2212")) {
      sign = -1;
    } else {
      return std::nullopt;
    }
    int oh = 0, om = 0;
    if (!(c.number(2, 2, 23, oh) && c.literal(':') && c.number(2, 2, 59, om))) return std::nullopt;
    offset_seconds = sign * (oh * 3600 + om * 60);
  }
  if (!c.at_end()) return std::nullopt;
  return instant_ms(days * 86'400 + second_of_day(t) - offset_seconds, t.nanos);
}

// The zone-less forms, tried in order: "T" H:M:S with an optional fraction,
// "T" H:M, and " " H:M:S. Hours, minutes and seconds have one or two digits.
std::optional<ClockTime> read_local_clock(std::string_view rest) {
  Cursor c(rest);
  ClockTime t;
  const bool t_form = c.literal('T');
  if (!t_form && !c.literal(' ')) return std::nullopt;
  if (!(c.number(1, 2, 23, t.hour) && c.literal(':') && c.number(1, 2, 59, t.minute))) {
    return std::nullopt;
  }
  if (c.at_end()) return t_form ? std::optional(t) : std::nullopt;
  if (!(c.literal(':') && c.number(1, 2, 60, t.second))) return std::nullopt;
  if (t_form && !c.optional_fraction(t.nanos)) return std::nullopt;
  if (!c.at_end()) return std::nullopt;
  return t;
}

Reading read_date_time(std::string_view t) {
  if (!date_text::has_date_shape(t)) return EXPECTED;
  const auto days = date_text::read_date(t);
  if (!days) return INVALID_DATE;
  const std::string_view rest = t.substr(10);
  if (rest.empty()) return *days * civil::MS_PER_DAY;
  if (const auto ms = read_rfc3339(rest, *days)) return *ms;
  const auto clock_time = read_local_clock(rest);
  if (!clock_time) return INVALID_DATE;

  // A leap second has no wall time of its own: find the moments of ":59" and
  // count the extra second after them.
  const int leap = clock_time->second == 60 ? 1 : 0;
  const std::int64_t local_seconds = *days * 86'400 + second_of_day(*clock_time) - leap;
  const clock::LocalInstants moments = clock::resolve_local(local_seconds);
  if (moments.count == 0) return INVALID_DATE;
  return instant_ms(moments.moments[0] + leap, clock_time->nanos);
}

Reading read_instant(std::string_view t) {
  if (date_text::all_digits(t)) {
    if (t.size() <= 12) return date_text::digits_value(t) * 1000;
    if (t.size() == 13) return date_text::digits_value(t);
    return EXPECTED;
  }
  return read_date_time(t);
}

// RFC 3339 in UTC with milliseconds; years outside 0-9999 carry a sign and at
// least four digits.
void append_iso(fmt::memory_buffer& out, std::int64_t ms) {
  const std::int64_t days = civil::floor_div(ms, civil::MS_PER_DAY);
  const std::int64_t in_day = ms - days * civil::MS_PER_DAY;
  const civil::CivilDate date = civil::civil_from_days(days);
  const auto year_format = (date.year >= 0 && date.year <= 9999) ? "{:04}" : "{:+05}";
  fmt::format_to(std::back_inserter(out), fmt::runtime(year_format), date.year);
  fmt::format_to(std::back_inserter(out), "-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", date.month,
                 date.day, in_day / 3'600'000, in_day / 60'000 % 60, in_day / 1000 % 60,
                 in_day % 1000);
}

// Month/day/year, 12-hour clock, in the host's zone. A moment the C library
// cannot place in the zone (none within the accepted range) is shown in UTC
// rather than failing a reading that has already succeeded.
void append_local(fmt::memory_buffer& out, std::int64_t ms) {
  const std::int32_t offset = clock::utc_offset_at(civil::floor_div(ms, 1000)).value_or(0);
  const std::int64_t local = ms + std::int64_t{offset} * 1000;
  const std::int64_t days = civil::floor_div(local, civil::MS_PER_DAY);
  const std::int64_t in_day = local - days * civil::MS_PER_DAY;
  const civil::CivilDate date = civil::civil_from_days(days);
  const std::int64_t hour = in_day / 3'600'000;
  const std::int64_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
  fmt::format_to(std::back_inserter(out), "{}/{}/{}, {}:{:02}:{:02} {}", date.month, date.day,
                 date.year, hour12, in_day / 60'000 % 60, in_day / 1000 % 60,
                 hour < 12 ? "AM" : "PM");
}

}  // namespace

ToolResult timestamp_tool(std::string_view input) {
  const std::string_view t = text::trim(input);
  if (t.empty()) return ToolResult::error("Empty input");

  clock::refresh_zone();
  const std::int64_t now_ms = clock::now_ms();
  const std::uint64_t now_unix = now_ms < 0 ? 0 : static_cast<std::uint64_t>(now_ms / 1000);

  const Reading reading = read_instant(t);
  if (const auto* error = std::get_if<std::string_view>(&reading)) {
    return ToolResult::error(std::string(*error));
  }
  const std::int64_t ms = std::get<std::int64_t>(reading);
  if (ms > MAX_MAGNITUDE_MS || ms < -MAX_MAGNITUDE_MS) return ToolResult::error("Out of range");

  fmt::memory_buffer out;
  fmt::format_to(std::back_inserter(out),
                 "unix:      {}\nms:        {}\nnow unix:  {}\nISO:       ", ms / 1000, ms,
                 now_unix);
  append_iso(out, ms);
  fmt::format_to(std::back_inserter(out), "\nlocal:     ");
  append_local(out, ms);
  return ToolResult::output(fmt::to_string(out));
}

}  // namespace pelloriand::tools
