// The telephone number tool: one international and one national number per call.
#include <benchmark/benchmark.h>

#include "tools/entries.h"

namespace {

using namespace pelloriand;

void BM_PhoneInternational(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tools::phone_tool("+44 (0)20 7946 0958", nullptr));
}
BENCHMARK(BM_PhoneInternational);

void BM_PhoneNationalWithRegion(benchmark::State& state) {
  const ToolOptions options{{"target", "de"}};
  for (auto _ : state) benchmark::DoNotOptimize(tools::phone_tool("030 1234567", &options));
}
BENCHMARK(BM_PhoneNationalWithRegion);

}  // namespace
