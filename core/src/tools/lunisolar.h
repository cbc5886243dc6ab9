// The Chinese and Korean lunisolar calendars as published by China (before
// 1912, as its courts issued them) and by the Korea Astronomy and Space
// Science Institute, for the years they cover.
//
// The tables are generated into lunisolar_tables.cpp by
// scripts/gen-lunisolar-tables. Each lunar year is one word:
//   bits 0-12   the lengths of its 12 or 13 months in order, 1 = 30 days,
//               0 = 29 days;
//   bits 13-16  the month that its leap month follows (0: no leap month), so
//               the leap month is month number n again, in position n;
//   bits 17-22  its new year's day, counted from 1 January of the Gregorian
//               year it begins in (0 = 1 January).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pelloriand::tools::lunisolar {

struct YearTable {
  std::int32_t first_year;  // the Gregorian year in which the first lunar year begins
  std::span<const std::uint32_t> years;
};

extern const YearTable CHINESE_YEARS;  // China's calendar
extern const YearTable KOREAN_YEARS;   // Korea's calendar

struct LunarDate {
  std::int32_t year;  // the Gregorian year in which the lunar year begins
  unsigned month;     // 1-12; a leap month has the number of the month before it
  bool leap;
  unsigned day;  // 1-30
};

// lunar_date
//
// The lunar date of a day (days since 1970-01-01), or nothing when the day
// lies outside the table's years.
// Example: lunar_date(CHINESE_YEARS, days of 2027-02-06) == {2027, 1, false, 1}
[[nodiscard]] std::optional<LunarDate> lunar_date(const YearTable& table, std::int64_t days);

}  // namespace pelloriand::tools::lunisolar
