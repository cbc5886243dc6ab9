// The geometry tool's operations on regular polygons and lines of growing
// size, geographic (around 10°E 50°N) and planar.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
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

// A square of side 100,000 with a 100 x 100 grid of 1 x 1 holes, 1,000 apart
// (about 900 KB): every hole lies alone, far from the others and the border.
std::string holed_square() {
  std::string out =
      R"({"type":"Polygon","coordinates":[[[0,0],[100000,0],[100000,100000],[0,100000],[0,0]])";
  for (int i = 0; i < 100; ++i)
    for (int j = 0; j < 100; ++j) {
      const std::string x = std::to_string(500 + 1000 * i), x1 = std::to_string(501 + 1000 * i);
      const std::string y = std::to_string(500 + 1000 * j), y1 = std::to_string(501 + 1000 * j);
      out += ",[[" + x + "," + y + "],[" + x + "," + y1 + "],[" + x1 + "," + y1 + "],[" + x1 + "," +
             y + "],[" + x + "," + y + "]]";
    }
  return out + "]}";
}

// A province-like outline of n vertices around (cx, cy) in degrees: an
// ellipse whose radius wanders by a seeded random walk, so its edges turn
// both ways at every vertex as a surveyed boundary does. bench/geom_shapely.py
// builds the same ring.
std::string outline(int n, double cx, double cy, double r) {
  std::uint64_t state = 12345;
  double wander = 0;
  std::string out = R"({"type":"Polygon","coordinates":[[)";
  std::string first;
  for (int i = 0; i < n; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    wander += (static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5) * 0.02;
    wander *= 0.999;
    const double t = 2 * 3.141592653589793 * i / n;
    const double radius = r * (1 + wander);
    const std::string position = "[" + std::to_string(cx + radius * std::cos(t)) + "," +
                                 std::to_string(cy + 0.6 * radius * std::sin(t)) + "]";
    if (i == 0) first = position;
    out += position + ",";
  }
  return out + first + "]]}";
}

// n Points 0.01 degrees apart on a square grid, as one FeatureCollection.
std::string points(int n) {
  std::string out = R"({"type":"FeatureCollection","features":[)";
  const int side = static_cast<int>(std::sqrt(n));
  for (int i = 0; i < n; ++i)
    out += std::string(i > 0 ? "," : "") +
           R"({"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[)" +
           std::to_string(10 + 0.01 * (i % side)) + "," + std::to_string(50 + 0.01 * (i / side)) +
           "]}}";
  return out + "]}";
}

std::string line(int n) {
  return R"({"type":"LineString","coordinates":)" + ring(n, 10, 50, 0.5, 0.3) + "}";
}

// `refused`: the case measures how fast the input is turned away.
void run_geom(benchmark::State& state, const std::string& input, const std::string& target,
              bool refused = false) {
  const ToolOptions options{{"target", target}};
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("geom", input, &options));
  const ToolResult result = run_tool("geom", input, &options);
  if (result.is_ok() == refused) state.SkipWithError(result.text().c_str());
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
// About 2.5 MB: more than one request can carry.
BENCHMARK_CAPTURE(run_geom, buffer_100000_planar, polygon(100000, 1000, 1000, 500) + " 5", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_10000_holes, holed_square() + " 100", "buffer")
    ->Unit(benchmark::kMillisecond);
// About 2 MiB each: the largest rings one request carries.
BENCHMARK_CAPTURE(run_geom, buffer_40000_planar, polygon(40000, 100000, 100000, 20000) + " 10",
                  "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_40000_outline, outline(40000, 10, 50, 1.5) + " 10", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_5000_points, points(5000) + " 100", "buffer")
    ->Unit(benchmark::kMillisecond);
// A radius that dwarfs the edges: every piece overlaps thousands of others.
BENCHMARK_CAPTURE(run_geom, buffer_2000_crowded, polygon(2000, 1000, 1000, 1) + " 1000", "buffer")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, buffer_40000_crowded, polygon(40000, 1000, 1000, 1000) + " 1000",
                  "buffer")
    ->Unit(benchmark::kMillisecond);
// A radius far beyond what doubles can add to these coordinates: refused.
BENCHMARK_CAPTURE(
    run_geom, buffer_huge_radius,
    std::string(
        R"({"type":"Polygon","coordinates":[[[0,0],[1000,0],[1010,1000],[1,1000],[0,5]],[[400,400],[602,400],[601,600],[400,601],[400,400]]]} 61921900030504924853)"),
    "buffer", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, intersect_10000_holes, holed_square() + "\n\n" + holed_square(),
                  "intersect")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_geom, intersect_1000,
                  polygon(1000, 10, 50, 0.5) + "\n\n" + polygon(1000, 10.4, 50.1, 0.5), "intersect")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
