// The crs tool: whole calls through run_tool (tokens, two parsed systems looked
// up, one point transformed, the report printed) and the engine's pieces alone.
#include <benchmark/benchmark.h>

#include <string>

#include "pelloriand/tool.h"
#include "tools/crs.h"

namespace {

using namespace pelloriand;

void BM_CrsTool(benchmark::State& state, std::string input, std::string_view expected_start) {
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("crs", input, nullptr));
  const ToolResult r = run_tool("crs", input, nullptr);
  if (!r.is_ok() || !r.text().starts_with(expected_start)) state.SkipWithError("wrong answer");
}
BENCHMARK_CAPTURE(BM_CrsTool, lambert93, "48.8566 2.3522 EPSG:4326 EPSG:2154",
                  "in:   48.856600, 2.352200");
BENCHMARK_CAPTURE(BM_CrsTool, utm_south, "-33.8688 151.2093 EPSG:32756", "in:   -33.868800");
// Seven-parameter shift through geocentric coordinates.
BENCHMARK_CAPTURE(BM_CrsTool, british_grid, "51.5007 -0.1246 EPSG:27700", "in:   51.500700");
// British grid to Lambert 93 goes through WGS 84: two legs.
BENCHMARK_CAPTURE(BM_CrsTool, pivot, "530269.90 179640.72 EPSG:27700 EPSG:2154",
                  "in:   530,269.9 E");
BENCHMARK_CAPTURE(BM_CrsTool, swiss, "46.95 7.44 EPSG:2056", "in:   46.950000");

void BM_CrsParseUtmDefinition(benchmark::State& state) {
  const std::string definition = *tools::crs::epsg_to_proj4("EPSG:32633");
  for (auto _ : state) benchmark::DoNotOptimize(tools::crs::parse_proj4(definition));
}
BENCHMARK(BM_CrsParseUtmDefinition);

void BM_CrsTransformPointUtm(benchmark::State& state) {
  const auto from = tools::crs::parse_proj4(*tools::crs::epsg_to_proj4("EPSG:4326"));
  const auto to = tools::crs::parse_proj4(*tools::crs::epsg_to_proj4("EPSG:32633"));
  double lat = 45;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tools::crs::transform_point(from, to, 15.5, lat));
    lat += 1e-9;
  }
}
BENCHMARK(BM_CrsTransformPointUtm);

}  // namespace
