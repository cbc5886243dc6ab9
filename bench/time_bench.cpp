// The timestamp and calendar tools through run_tool, the way the service calls them.
#include <benchmark/benchmark.h>

#include "pelloriand/tool.h"

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

}  // namespace
