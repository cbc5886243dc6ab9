// Dispatch and the number printers: the costs every tool call pays.
#include <benchmark/benchmark.h>

#include "number.h"
#include "pelloriand/tool.h"

namespace {

using namespace pelloriand;

void BM_DispatchUnknownLongId(benchmark::State& state) {
  // A ten-byte id is refused by its length alone.
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("timestamps", "", nullptr));
}
BENCHMARK(BM_DispatchUnknownLongId);

void BM_DispatchKnownIdTrivialTool(benchmark::State& state) {
  // "slug" of the empty text does no work of its own and allocates nothing, so
  // this is the dispatch cost plus one function call.
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("slug", "", nullptr));
}
BENCHMARK(BM_DispatchKnownIdTrivialTool);

void BM_FormatShortest(benchmark::State& state) {
  double x = 0.1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number::format_shortest(x));
    x += 1.37;
  }
}
BENCHMARK(BM_FormatShortest);

void BM_FormatSignificant(benchmark::State& state) {
  double x = 0.1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number::format_significant(x));
    x += 1.37;
  }
}
BENCHMARK(BM_FormatSignificant);

void BM_FormatDecimals(benchmark::State& state) {
  double x = 40.7128;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number::format_decimals(x, 6));
    x += 0.001;
  }
}
BENCHMARK(BM_FormatDecimals);

void BM_FormatGrouped(benchmark::State& state) {
  double x = 1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number::format_grouped(x, 2));
    x += 1.1;
  }
}
BENCHMARK(BM_FormatGrouped);

}  // namespace
