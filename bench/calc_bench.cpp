// The calculating tools through run_tool: expression, unit and thermo.
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

void BM_MathLongSum(benchmark::State& state) {
  std::string sum = "1";
  while (sum.size() < static_cast<std::size_t>(state.range(0))) sum += "+1";
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("math", sum, nullptr));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sum.size()));
}
BENCHMARK(BM_MathLongSum)->Arg(2 << 20);

}  // namespace
