// The coordinate tools on typical inputs, and on 2 MiB hostile texts that each
// tool refuses with its sentence.
#include <benchmark/benchmark.h>

#include <string>

#include "tools/entries.h"
#include "tools/geo.h"

namespace {

using namespace pelloriand;

// One tool on one input: the input is built before timing and the answer
// checked once after, so a regression in either speed or result shows.
void run_case(benchmark::State& state, ToolResult (*tool)(std::string_view),
              const std::string& input) {
  for (auto _ : state) benchmark::DoNotOptimize(tool(input));
  if (!tool(input).is_ok()) state.SkipWithError(tool(input).text().c_str());
}

BENCHMARK_CAPTURE(run_case, dms_from_dms, tools::dms_tool, std::string("38°53′35″N 77°02′44″W"));
BENCHMARK_CAPTURE(run_case, dms_from_decimal, tools::dms_tool, std::string("40.7128, -74.0060"));
BENCHMARK_CAPTURE(run_case, geohash_encode, tools::geohash_tool, std::string("57.64911, 10.40744"));
BENCHMARK_CAPTURE(run_case, geohash_decode, tools::geohash_tool, std::string("u4pruydqqvj"));
BENCHMARK_CAPTURE(run_case, mercator_forward, tools::mercator_tool,
                  std::string("40.7128, -74.0060"));
BENCHMARK_CAPTURE(run_case, mercator_reverse, tools::mercator_tool,
                  std::string("-8655844, 4698913"));
BENCHMARK_CAPTURE(run_case, geodesic, tools::geodesic_tool,
                  std::string("40.7128,-74.0060 51.5074,-0.1278"));
BENCHMARK_CAPTURE(run_case, utm_forward, tools::utm_tool, std::string("38.8977, -77.0365"));
BENCHMARK_CAPTURE(run_case, utm_reverse, tools::utm_tool, std::string("18S 322764 4314187"));
BENCHMARK_CAPTURE(run_case, mgrs_forward, tools::mgrs_tool, std::string("38.8977, -77.0365"));
BENCHMARK_CAPTURE(run_case, mgrs_reverse, tools::mgrs_tool, std::string("18S UJ 2287 0696"));
BENCHMARK_CAPTURE(run_case, pluscode_encode, tools::pluscode_tool,
                  std::string("47.365590, 8.524997"));
BENCHMARK_CAPTURE(run_case, pluscode_decode, tools::pluscode_tool, std::string("87G7PX7V+4J"));

void BM_ParseCoordinatesDigits2MiB(benchmark::State& state) {
  const std::string digits(2 << 20, '7');
  for (auto _ : state) benchmark::DoNotOptimize(tools::geo::parse_coordinates(digits));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (2 << 20));
}
BENCHMARK(BM_ParseCoordinatesDigits2MiB)->Unit(benchmark::kMillisecond);

// A hostile input, checked once to be refused with `sentence`.
void run_refused(benchmark::State& state, ToolResult (*tool)(std::string_view),
                 const std::string& input, const std::string& sentence) {
  if (tool(input).text() != sentence) state.SkipWithError(tool(input).text().c_str());
  for (auto _ : state) benchmark::DoNotOptimize(tool(input));
}

const std::string DIGITS(2 << 20, '7');
const std::string MANY_NUMBERS = [] {
  std::string s;
  for (int i = 0; i < 200000; ++i) s += "1.5x";
  return s;
}();

BENCHMARK_CAPTURE(run_refused, dms_many_numbers, tools::dms_tool, MANY_NUMBERS + "N",
                  "Expected lat,lng or DMS like 38°53′35″N 77°02′44″W")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_refused, utm_digits, tools::utm_tool, DIGITS,
                  "Expected lat,lng or UTM like 18S 322764 4314187")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_refused, mgrs_many_numbers, tools::mgrs_tool, MANY_NUMBERS,
                  "Expected MGRS like 18S UJ 2287 0696")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_refused, pluscode_digits, tools::pluscode_tool, DIGITS,
                  "Expected lat,lng or a plus code like 87G7PX7V+4J")
    ->Unit(benchmark::kMillisecond);

}  // namespace
