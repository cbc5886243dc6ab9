#include "tools/ummalqura.h"

#include <bit>

namespace pelloriand::tools::ummalqura {
namespace {

// A year of twelve months of 29 days and one more day for each long month.
std::int64_t year_length(std::uint16_t word) {
  return 12 * 29 + std::popcount(word);
}

}  // namespace

std::optional<HijriDate> hijri_date(const YearTable& table, std::int64_t days) {
  std::int64_t offset = days - table.first_day;
  if (offset < 0) return std::nullopt;
  // At most eighty-odd years of 354 or 355 days: walking them costs less than
  // a search would save.
  for (std::size_t y = 0; y < table.years.size(); ++y) {
    const std::uint16_t word = table.years[y];
    if (offset >= year_length(word)) {
      offset -= year_length(word);
      continue;
    }
    for (unsigned m = 0;; ++m) {
      const std::int64_t length = ((word >> m) & 1) != 0 ? 30 : 29;
      if (offset < length) {
        return HijriDate{table.first_year + static_cast<std::int32_t>(y), m + 1,
                         static_cast<unsigned>(offset) + 1};
      }
      offset -= length;
    }
  }
  return std::nullopt;  // after the end of the table's last year
}

}  // namespace pelloriand::tools::ummalqura
