// The geometry tool's operations on regular polygons and lines of growing
// size, geographic (around 10°E 50°N) and planar.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "tools/entries.h"

namespace {

using namespace pelloriand;

// A closed ring of n vertices on an ellipse around (cx, cy), as GeoJSON
// positions.
std::string ring(int n, double cx, double cy, double rx, double ry) {
  std::string out = "[";
  for (int i = 0; i <= n; ++i) {
    const double t = 2 * 3.141592653589793 * (i % n) / n;
    out += (i > 0 ? ",[" : "[") + std::to_string(cx + rx * std::cos(t)) + "," +
           std::to_string(cy + ry * std::sin(t)) + "]";
  }
  return out + "]";
}

std::string polygon(int n, double cx, double cy, double r) {
  return R"({"type":"Polygon","coordinates":[)" + ring(n, cx, cy, r, r * 0.6) + "]}";
}

std::string line(int n) {
  return R"({"type":"LineString","coordinates":)" + ring(n, 10, 50, 0.5, 0.3) + "}";
}

void run_geom(benchmark::State& state, const std::string& input, const std::string& target) {
  const ToolOptions options{{"target", target}};
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("geom", input, &options));
  const ToolResult result = run_tool("geom", input, &options);
  if (!result.is_ok()) state.SkipWithError(result.text().c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK_CAPTURE(run_geom, area_1000, polygon(1000, 10, 50, 0.5), "area")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run_geom, centroid_1000, polygon(1000, 10, 50, 0.5), "centroid")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run_geom, length_1000, line(1000), "length")->Unit(benchmark::kMicrosecond);
// About 2 MiB of positions.
BENCHMARK_CAPTURE(run_geom, area_100000, polygon(100000, 10, 50, 0.5), "area")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_point,
                  std::string(R"({"type":"Point","coordinates":[10,50]} 100)"), "buffer")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run_geom, buffer_100_planar, polygon(100, 1000, 1000, 500) + " 20", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_100_geographic, polygon(100, 10, 50, 0.5) + " 500", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_10000_planar, polygon(10000, 1000, 1000, 500) + " 5", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, intersect_1000,
                  polygon(1000, 10, 50, 0.5) + "\n\n" + polygon(1000, 10.4, 50.1, 0.5), "intersect")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
