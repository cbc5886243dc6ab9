// The Hebrew calendar's arithmetic: the molad of Tishri and the four
// postponements (dehiyyot) fix each year's first day, and the year's length
// fixes the lengths of Heshvan and Kislev.
#pragma once

#include <cstdint>

namespace pelloriand::tools::hebrew {

struct HebrewDate {
  std::int64_t year;  // anno mundi
  unsigned month;     // 0 = Tishri, counted in the year's own order (Adar I is 5 in a leap year)
  unsigned day;       // 1-30
};

// is_leap_year
//
// Whether the year has thirteen months (years 3, 6, 8, 11, 14, 17 and 19 of
// each 19-year cycle).
[[nodiscard]] bool is_leap_year(std::int64_t year);

// new_year
//
// The day of 1 Tishri of `year`, in days since 1970-01-01.
// Example: new_year(5807) == days of 2046-10-01
[[nodiscard]] std::int64_t new_year(std::int64_t year);

// hebrew_from_days
//
// The Hebrew date of a day (days since 1970-01-01).
// Example: hebrew_from_days(days of 2045-11-10) == {5806, 2, 1} (1 Kislev)
[[nodiscard]] HebrewDate hebrew_from_days(std::int64_t days);

}  // namespace pelloriand::tools::hebrew
