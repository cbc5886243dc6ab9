// The calculating tools through run_tool: expression, unit and thermo, on
// typical inputs and on 2 MiB ones, the largest a request carries.
#include <benchmark/benchmark.h>

#include "pelloriand/tool.h"

namespace {

using pelloriand::run_tool;

void run_case(benchmark::State& state, std::string_view tool, std::string_view input,
              std::string_view expected) {
  if (run_tool(tool, input, nullptr).text() != expected) {
    state.SkipWithError("unexpected answer");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(run_tool(tool, input, nullptr));
}

void BM_MathExpression(benchmark::State& state) {
  run_case(state, "math", "2pi + sin(pi/4)^2", "6.783185307");
}
BENCHMARK(BM_MathExpression);

void BM_UnitKmToMiles(benchmark::State& state) {
  // The first call (in run_case) builds the index; the loop measures lookups.
  run_case(state, "unit", "5 km mi", "3.106855961 mi");
}
BENCHMARK(BM_UnitKmToMiles);

void BM_ThermoSaturationPressure(benchmark::State& state) {
  run_case(state, "thermo", "water 100 c psat",
           "Water @ 100.00 °C\nsaturation pressure: 101.34 kPa  (1.0001 atm, 760.1 mmHg)");
}
BENCHMARK(BM_ThermoSaturationPressure);

void BM_ThermoGasDensity(benchmark::State& state) {
  run_case(state, "thermo", "air 25 c 2 bar",
           "Air @ 25.00 °C, 200.000 kPa\ndensity:        2.337 kg/m³\nmolar mass:     28.97 g/mol");
}
BENCHMARK(BM_ThermoGasDensity);

// `head`, then `unit` repeated up to 2 MiB.
std::string two_mib(std::string head, std::string_view unit) {
  while (head.size() < (2u << 20)) head += unit;
  return head;
}

void run_huge(benchmark::State& state, std::string_view tool, const std::string& input) {
  for (auto _ : state) benchmark::DoNotOptimize(run_tool(tool, input, nullptr));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK_CAPTURE(run_huge, math_sum, "math", two_mib("1", "+1"))->Unit(benchmark::kMillisecond);
// Every "1 c sat" is read and answered: the answer is as long as the input.
BENCHMARK_CAPTURE(run_huge, thermo_states, "thermo", two_mib("water", " 1 c sat"))
    ->Unit(benchmark::kMillisecond);
// A million unknown units, refused with one sentence quoting them all.
BENCHMARK_CAPTURE(run_huge, unit_words, "unit", two_mib("1 m", " m"))
    ->Unit(benchmark::kMillisecond);

}  // namespace
