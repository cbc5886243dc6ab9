#include "tools/persian.h"

#include <array>

#include "civil.h"

namespace pelloriand::tools::persian {
namespace {

// The years at which the run of 33-year cycles restarts.
constexpr std::array<std::int32_t, 20> BREAKS = {-61,  9,    38,   199,  426,  686,  756,
                                                 818,  1111, 1181, 1210, 1635, 2060, 2097,
                                                 2192, 2262, 2324, 2394, 2456, 3178};

}  // namespace

std::int64_t new_year(std::int32_t year) {
  // Count the leap years before `year` cycle by cycle: eight in each 33 years,
  // one every fourth year within a run. Integer division truncates, as the
  // rule is written.
  std::int32_t leaps = -14;
  std::int32_t run_start = BREAKS[0];
  std::int32_t run = 0;
  for (std::size_t i = 1; i < BREAKS.size(); ++i) {
    run = BREAKS[i] - run_start;
    if (year < BREAKS[i]) break;
    leaps += run / 33 * 8 + run % 33 / 4;
    run_start = BREAKS[i];
  }
  const std::int32_t n = year - run_start;
  leaps += n / 33 * 8 + (n % 33 + 3) / 4;
  if (run % 33 == 4 && run - n == 4) ++leaps;
  // Against the Gregorian leap days the count gives the day in March.
  const std::int32_t gregorian = year + 621;
  const std::int32_t gregorian_leaps = gregorian / 4 - (gregorian / 100 + 1) * 3 / 4 - 150;
  return civil::days_from_civil(gregorian, 3, static_cast<unsigned>(20 + leaps - gregorian_leaps));
}

std::optional<PersianDate> persian_date(std::int64_t days) {
  // Farvardin 1 falls in March of Gregorian year + 621.
  const std::int64_t after = civil::civil_from_days(days).year - 621;
  if (after < FIRST_YEAR || after > LAST_YEAR + 1) return std::nullopt;
  auto year = static_cast<std::int32_t>(after);
  if (days < new_year(year)) --year;
  if (year < FIRST_YEAR || year > LAST_YEAR) return std::nullopt;
  const auto offset = static_cast<unsigned>(days - new_year(year));
  // Six months of 31 days, five of 30, and Esfand of 29 or 30.
  if (offset < 186) return PersianDate{year, offset / 31 + 1, offset % 31 + 1};
  return PersianDate{year, (offset - 186) / 30 + 7, (offset - 186) % 30 + 1};
}

}  // namespace pelloriand::tools::persian
