// The Umm al-Qura calendar, Saudi Arabia's Islamic calendar, as its published
// table gives it for the years that table covers.
//
// The table is generated into ummalqura_table.cpp by
// scripts/gen-ummalqura-table. Each Hijri year is one word whose bits 0-11
// are the lengths of its twelve months in order, 1 = 30 days, 0 = 29 days.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pelloriand::tools::ummalqura {

struct YearTable {
  std::int32_t first_year;  // anno Hegirae
  std::int64_t first_day;   // 1 Muharram of the first year, in days since 1970-01-01
  std::span<const std::uint16_t> years;
};

extern const YearTable YEARS;

struct HijriDate {
  std::int32_t year;  // anno Hegirae
  unsigned month;     // 1 = Muharram ... 12 = Dhuʻl-Hijjah
  unsigned day;       // 1-30
};

// hijri_date
//
// The Umm al-Qura date of a day (days since 1970-01-01), or nothing when the
// day lies outside the table's years.
// Example: hijri_date(YEARS, days of 2029-08-11) == {1451, 4, 1}
[[nodiscard]] std::optional<HijriDate> hijri_date(const YearTable& table, std::int64_t days);

}  // namespace pelloriand::tools::ummalqura
