// The host clock and zone through POSIX: clock_gettime for the time and
// localtime_r (with glibc's tm_gmtoff) for offsets. mktime is not used: it
// resolves a skipped or repeated local time by guessing from tm_isdst and
// cannot report that a time has no moment or two.
#include "clock.h"

#include <time.h>

#include <algorithm>
#include <limits>

namespace pelloriand::clock {

std::int64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const std::int64_t ms = static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
  return ms;
}

void refresh_zone() {
  tzset();
}

std::optional<std::int32_t> utc_offset_at(std::int64_t unix_seconds) {
  if (unix_seconds < std::numeric_limits<time_t>::min() ||
      unix_seconds > std::numeric_limits<time_t>::max()) {
    return std::nullopt;
  }
  const auto t = static_cast<time_t>(unix_seconds);
  tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::nullopt;
  return static_cast<std::int32_t>(local.tm_gmtoff);
}

LocalInstants resolve_local(std::int64_t local_seconds) {
  // A moment t shows the wall time L exactly when t = L - offset(t). Every
  // offset that can apply near L is in force somewhere within a day of it (zones
  // change offset at most once in any two days, Samoa's skipped day included),
  // so trying the offsets a day before, at and a day after L finds every moment.
  constexpr std::int64_t DAY = 86'400;
  std::int32_t candidates[3];
  int n = 0;
  for (const std::int64_t probe : {local_seconds - DAY, local_seconds, local_seconds + DAY}) {
    const auto offset = utc_offset_at(probe);
    if (!offset) continue;
    if (std::find(candidates, candidates + n, *offset) == candidates + n) candidates[n++] = *offset;
  }

  LocalInstants result;
  for (int i = 0; i < n && result.count < 2; ++i) {
    const std::int64_t moment = local_seconds - candidates[i];
    if (utc_offset_at(moment) != candidates[i]) continue;
    if (result.count == 1 && result.moments[0] == moment) continue;
    result.moments[result.count++] = moment;
  }
  if (result.count == 2 && result.moments[1] < result.moments[0]) {
    std::swap(result.moments[0], result.moments[1]);
  }
  return result;
}

}  // namespace pelloriand::clock
