// The timestamp and calendar tools through run_tool, the way the service calls them.
#include <benchmark/benchmark.h>

#include "pelloriand/tool.h"
#include "tools/calendar.h"

namespace {

using namespace pelloriand;

void run_case(benchmark::State& state, std::string_view tool, std::string_view input) {
  if (!run_tool(tool, input, nullptr).is_ok()) {
    state.SkipWithError("tool refused the benchmark input");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(run_tool(tool, input, nullptr));
}

void BM_TimestampSeconds(benchmark::State& state) {
  run_case(state, "timestamp", "1700000000");
}
BENCHMARK(BM_TimestampSeconds);

void BM_TimestampRfc3339(benchmark::State& state) {
  run_case(state, "timestamp", "2025-03-15T10:30:00.123+01:00");
}
BENCHMARK(BM_TimestampRfc3339);

void BM_TimestampLocal(benchmark::State& state) {
  run_case(state, "timestamp", "2025-10-26T02:30:00");
}
BENCHMARK(BM_TimestampLocal);

void BM_CalendarDate(benchmark::State& state) {
  run_case(state, "calendar", "2025-03-15");
}
BENCHMARK(BM_CalendarDate);

void BM_CalendarLeapMonth(benchmark::State& state) {
  run_case(state, "calendar", "2025-07-30T10:00:00Z");
}
BENCHMARK(BM_CalendarLeapMonth);

// A date whose Islamic line ICU gets wrong, so the line is rewritten.
void BM_CalendarCorrectedLines(benchmark::State& state) {
  run_case(state, "calendar", "2029-08-11");
}
BENCHMARK(BM_CalendarCorrectedLines);

// What every call would cost if it built its eleven formatters afresh.
void BM_CalendarFreshFormatters(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tools::calendar::calendar_report(1741996800000, true));
  }
}
BENCHMARK(BM_CalendarFreshFormatters)->Unit(benchmark::kMicrosecond);

}  // namespace
