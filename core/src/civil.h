// Proleptic Gregorian arithmetic on day counts, shared by the timestamp and
// calendar tools. Days are counted from 1970-01-01 (day 0), every day has
// 86,400 seconds and leap seconds do not exist here. Year 0 exists and precedes
// year 1. The conversions are exact for any day count whose year fits in a
// signed 32-bit integer (the tools stay within ±100,000,000 days).
//
// The day/civil conversions follow the era-based algorithms published by
// H. Hinnant, "chrono-Compatible Low-Level Date Algorithms" (2013): a 400-year
// era has exactly 146,097 days, so everything reduces to one era with March as
// the first month (the leap day then falls at the end of the year).
#pragma once

#include <cstdint>

namespace pelloriand::civil {

struct CivilDate {
  std::int32_t year;
  unsigned month;  // 1-12
  unsigned day;    // 1-31
};

constexpr std::int64_t MS_PER_DAY = 86'400'000;

// floor_div
//
// The quotient rounded toward negative infinity; b must be positive.
// Example: floor_div(-1, 86400) == -1
[[nodiscard]] constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

[[nodiscard]] constexpr bool is_leap_year(std::int64_t y) {
  return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

[[nodiscard]] constexpr unsigned days_in_month(std::int64_t y, unsigned m) {
  constexpr unsigned DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap_year(y) ? 29 : DAYS[m - 1];
}

// days_from_civil
//
// Days since 1970-01-01 of a valid proleptic Gregorian date.
// Example: days_from_civil(2025, 3, 15) == 20162
[[nodiscard]] constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = floor_div(y, 400);
  const std::int64_t yoe = y - era * 400;                                    // [0, 399]
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // [0, 365]
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // [0, 146096]
  return era * 146'097 + doe - 719'468;
}

// civil_from_days
//
// The proleptic Gregorian date of a day count (inverse of days_from_civil).
[[nodiscard]] constexpr CivilDate civil_from_days(std::int64_t z) {
  z += 719'468;
  const std::int64_t era = floor_div(z, 146'097);
  const std::int64_t doe = z - era * 146'097;                                        // [0, 146096]
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;  // [0, 399]
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                  // [0, 365]
  const std::int64_t mp = (5 * doy + 2) / 153;                                       // [0, 11]
  const auto d = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const auto m = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<std::int32_t>(yoe + era * 400 + (m <= 2)), m, d};
}

// weekday_from_days
//
// Days since Sunday (0 = Sunday ... 6 = Saturday); 1970-01-01 was a Thursday.
[[nodiscard]] constexpr unsigned weekday_from_days(std::int64_t z) {
  const std::int64_t r = (z + 4) % 7;
  return static_cast<unsigned>(r < 0 ? r + 7 : r);
}

}  // namespace pelloriand::civil
