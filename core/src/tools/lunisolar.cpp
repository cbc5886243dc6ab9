#include "tools/lunisolar.h"

#include "civil.h"

namespace pelloriand::tools::lunisolar {
namespace {

std::int64_t new_year_day(std::int64_t year, std::uint32_t word) {
  return civil::days_from_civil(year, 1, 1) + (word >> 17);
}

}  // namespace

std::optional<LunarDate> lunar_date(const YearTable& table, std::int64_t days) {
  const std::int64_t first = table.first_year;
  const std::int64_t last = first + static_cast<std::int64_t>(table.years.size()) - 1;
  const auto word_of = [&](std::int64_t year) {
    return table.years[static_cast<std::size_t>(year - first)];
  };
  // A lunar year begins between late January and late February, so the day
  // belongs to the lunar year of its Gregorian year or to the one before.
  std::int64_t year = civil::civil_from_days(days).year;
  if (year > last || (year >= first && days < new_year_day(year, word_of(year)))) --year;
  if (year < first || year > last) return std::nullopt;

  const std::uint32_t word = word_of(year);
  const unsigned leap_after = (word >> 13) & 0xF;
  const unsigned months = leap_after != 0 ? 13 : 12;
  std::int64_t offset = days - new_year_day(year, word);
  for (unsigned i = 0; i < months; ++i) {
    const std::int64_t length = ((word >> i) & 1) != 0 ? 30 : 29;
    if (offset < length) {
      const bool leap = leap_after != 0 && i == leap_after;
      const unsigned month = leap_after != 0 && i >= leap_after ? i : i + 1;
      return LunarDate{static_cast<std::int32_t>(year), month, leap,
                       static_cast<unsigned>(offset) + 1};
    }
    offset -= length;
  }
  return std::nullopt;  // after the end of the table's last lunar year
}

}  // namespace pelloriand::tools::lunisolar
