// The calendar tool's report for one instant, for tests and benchmarks that
// compare the formatter cache with formatters built afresh.
#pragma once

#include <cstdint>
#include <string>

namespace pelloriand::tools::calendar {

// calendar_report
//
// The fifteen-line report of the UTC date of `ms` (milliseconds since the Unix
// epoch). With `fresh_formatters` every ICU formatter and calendar is built
// anew for this call instead of taken from the per-thread cache; the text is
// the same either way.
[[nodiscard]] std::string calendar_report(std::int64_t ms, bool fresh_formatters = false);

}  // namespace pelloriand::tools::calendar
