#include "tools/hebrew.h"

#include <array>

#include "civil.h"

namespace pelloriand::tools::hebrew {
namespace {

// 1 Tishri of year 1 (a Monday), in days since 1970-01-01: 7 October 3761 BCE
// in the Julian calendar.
constexpr std::int64_t EPOCH = -2'092'590;

// Days from the epoch to the first day of `year` after the molad of Tishri
// and the postponement that keeps 1 Tishri off Sunday, Wednesday and Friday
// (lo ADU rosh) and moves it when the molad falls at noon or later (molad
// zaken, folded into the 12,084 parts of the first molad's offset).
std::int64_t elapsed_days(std::int64_t year) {
  const std::int64_t months = civil::floor_div(235 * year - 234, 19);
  const std::int64_t parts = 12'084 + 13'753 * months;
  const std::int64_t days = 29 * months + civil::floor_div(parts, 25'920);
  const std::int64_t weekday_test = 3 * (days + 1) - 7 * civil::floor_div(3 * (days + 1), 7);
  return weekday_test < 3 ? days + 1 : days;
}

// The two postponements that keep every year between 353 and 385 days:
// GaTaRaD moves a common year that would last 356 days, BeTUTaKPaT the year
// after a leap year that would have lasted 382.
std::int64_t correction(std::int64_t year) {
  const std::int64_t before = elapsed_days(year - 1);
  const std::int64_t start = elapsed_days(year);
  const std::int64_t after = elapsed_days(year + 1);
  if (after - start == 356) return 2;
  if (start - before == 382) return 1;
  return 0;
}

std::int64_t year_length(std::int64_t year) {
  return new_year(year + 1) - new_year(year);
}

unsigned month_length(std::int64_t year, std::int64_t length, unsigned month) {
  // Tishri, Heshvan, Kislev, Tevet, Shevat, then in a leap year Adar I, then
  // Adar (Adar II), Nisan, Iyar, Sivan, Tammuz, Av, Elul.
  constexpr std::array<unsigned, 13> LEAP = {30, 29, 30, 29, 30, 30, 29, 30, 29, 30, 29, 30, 29};
  constexpr std::array<unsigned, 12> COMMON = {30, 29, 30, 29, 30, 29, 30, 29, 30, 29, 30, 29};
  const std::int64_t kind = length % 10;  // 3 deficient, 4 regular, 5 complete
  if (month == 1) return kind == 5 ? 30 : 29;
  if (month == 2) return kind == 3 ? 29 : 30;
  return is_leap_year(year) ? LEAP[month] : COMMON[month];
}

}  // namespace

bool is_leap_year(std::int64_t year) {
  const std::int64_t r = (7 * year + 1) % 19;
  return (r < 0 ? r + 19 : r) < 7;
}

std::int64_t new_year(std::int64_t year) {
  return EPOCH + elapsed_days(year) + correction(year);
}

HebrewDate hebrew_from_days(std::int64_t days) {
  // A mean year is 35,975,351 / 98,496 days; the estimate is off by a year
  // at most.
  std::int64_t year = civil::floor_div((days - EPOCH) * 98'496, 35'975'351) + 1;
  while (new_year(year) > days) --year;
  while (new_year(year + 1) <= days) ++year;
  const std::int64_t length = year_length(year);
  unsigned day = static_cast<unsigned>(days - new_year(year));
  unsigned month = 0;
  for (unsigned n = month_length(year, length, month); day >= n;
       n = month_length(year, length, month)) {
    day -= n;
    ++month;
  }
  return {year, month, day + 1};
}

}  // namespace pelloriand::tools::hebrew
