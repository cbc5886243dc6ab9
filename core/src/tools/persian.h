// The Persian (Solar Hijri) calendar's year starts as Borkowski's rule gives
// them: Farvardin 1 is the day of the first Tehran noon after the March
// equinox, which the rule reproduces for years -61 to 3177 AP from the breaks
// between runs of 33-year cycles (K. M. Borkowski, "The Persian calendar for
// 3000 years", Earth, Moon and Planets 74, 1996; as in the jalaali-js package).
#pragma once

#include <cstdint>
#include <optional>

namespace pelloriand::tools::persian {

constexpr std::int32_t FIRST_YEAR = -61;
constexpr std::int32_t LAST_YEAR = 3177;

struct PersianDate {
  std::int32_t year;  // anno Persico
  unsigned month;     // 1 = Farvardin ... 12 = Esfand
  unsigned day;       // 1-31
};

// new_year
//
// The day of Farvardin 1 of `year` (FIRST_YEAR to LAST_YEAR + 1), in days
// since 1970-01-01.
// Example: new_year(1635) == days of 2256-03-20
[[nodiscard]] std::int64_t new_year(std::int32_t year);

// persian_date
//
// The Persian date of a day (days since 1970-01-01), or nothing outside the
// rule's years.
// Example: persian_date(days of 2256-03-20) == {1635, 1, 1}
[[nodiscard]] std::optional<PersianDate> persian_date(std::int64_t days);

}  // namespace pelloriand::tools::persian
