// The host's clock and time-zone rules, behind three calls of our own so the
// tools never touch the C library's time functions directly.
//
// The zone is the C library's: the `TZ` variable when set (a zone name from
// the system tz database, or a POSIX rule string), else /etc/localtime; a zone
// that cannot be read counts as UTC. glibc reads the compiled tz database
// directly, including the rule string at the end of each zone file, so
// daylight-saving rules continue past the last listed transition (2037 and
// beyond). Everything here is safe to call from many threads.
#pragma once

#include <cstdint>
#include <optional>

namespace pelloriand::clock {

// now_ms
//
// The system's wall-clock time in milliseconds since 1970-01-01T00:00:00 UTC,
// rounded down; negative if the clock is set before 1970.
[[nodiscard]] std::int64_t now_ms();

// refresh_zone
//
// Re-reads `TZ`, so that a process whose environment changed sees the new zone.
// Cheap when nothing changed (the C library compares the text it saw last).
void refresh_zone();

// utc_offset_at
//
// The host's offset from UTC, in seconds east, at the moment `unix_seconds`.
// Nothing when the C library cannot convert that moment.
[[nodiscard]] std::optional<std::int32_t> utc_offset_at(std::int64_t unix_seconds);

// LocalInstants
//
// The moments at which the host's clocks show one local wall time: none (the
// time is skipped when clocks go forward), one, or two (the time is repeated
// when clocks go back). `moments[0] < moments[1]` when there are two.
struct LocalInstants {
  int count = 0;
  std::int64_t moments[2] = {0, 0};  // unix seconds
};

// resolve_local
//
// The moments whose local wall time is `local_seconds`: the local date and time
// counted as seconds since 1970-01-01T00:00:00 as if it were UTC.
//
// Example (TZ=Europe/Berlin):
//   resolve_local(<2025-03-30 02:30>).count == 0
//   resolve_local(<2025-10-26 02:30>).count == 2
[[nodiscard]] LocalInstants resolve_local(std::int64_t local_seconds);

}  // namespace pelloriand::clock
