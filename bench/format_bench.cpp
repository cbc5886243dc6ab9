// The format tool on a 10 KB JSON document (an array of flat records with a
// nested tag list, the shape CSV exports take) to each target, and the YAML
// and TOML readers on the tool's own output for the same data; then 2 MiB
// inputs, the largest a request carries.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "pelloriand/tool.h"
#include "tools/format.h"

namespace {

using namespace pelloriand;

std::string records(std::size_t bytes) {
  std::string doc = "[";
  for (int i = 0; doc.size() < bytes - 120; ++i) {
    if (i > 0) doc += ",";
    doc += R"({"id": )" + std::to_string(1000 + i) + R"(, "name": "item )" + std::to_string(i) +
           R"(", "price": 12.5, "ok": true, "tags": ["a", "b,c"], "note": null})";
  }
  return doc + "]";
}

const std::string& document() {
  static const std::string doc = records(10 * 1024);
  return doc;
}

void run_format(benchmark::State& state, const std::string& input, const char* target) {
  const ToolOptions options{{"target", target}};
  if (!run_tool("format", input, &options).is_ok()) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("format", input, &options));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_FormatJsonToYaml(benchmark::State& state) {
  run_format(state, document(), "yaml");
}
BENCHMARK(BM_FormatJsonToYaml);

void BM_FormatJsonToJson(benchmark::State& state) {
  run_format(state, document(), "json");
}
BENCHMARK(BM_FormatJsonToJson);

void BM_FormatJsonToToml(benchmark::State& state) {
  static const std::string doc = [] {
    std::string rows = R"({"rows": )" + document() + "}";
    for (std::size_t at; (at = rows.find("null")) != std::string::npos;) rows.replace(at, 4, "0");
    return rows;
  }();
  run_format(state, doc, "toml");  // TOML needs a top-level table and has no null
}
BENCHMARK(BM_FormatJsonToToml);

void BM_FormatJsonToCsv(benchmark::State& state) {
  run_format(state, document(), "csv");
}
BENCHMARK(BM_FormatJsonToCsv);

void BM_FormatYamlToJson(benchmark::State& state) {
  const ToolOptions yaml{{"target", "yaml"}};
  static const std::string doc = run_tool("format", document(), &yaml).text();
  run_format(state, doc, "json");
}
BENCHMARK(BM_FormatYamlToJson);

void BM_FormatTomlRead(benchmark::State& state) {
  std::string doc = "[t]\n";
  for (int i = 0; doc.size() < 10 * 1024; ++i) {
    doc += "k" + std::to_string(i) +
           R"( = { id = 1, name = "item", price = 12.5, tags = ["a", "b"] })"
           "\n";
  }
  if (!tools::format::read_toml(doc)) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(tools::format::read_toml(doc));
}
BENCHMARK(BM_FormatTomlRead);

void BM_FormatJson2MiBToYaml(benchmark::State& state) {
  static const std::string doc = records(std::size_t{2} << 20);
  run_format(state, doc, "yaml");
}
BENCHMARK(BM_FormatJson2MiBToYaml)->Unit(benchmark::kMillisecond);

void BM_FormatYaml2MiBToJson(benchmark::State& state) {
  const ToolOptions yaml{{"target", "yaml"}};
  static const std::string doc = run_tool("format", records(std::size_t{3} << 19), &yaml).text();
  run_format(state, doc, "json");
}
BENCHMARK(BM_FormatYaml2MiBToJson)->Unit(benchmark::kMillisecond);

// A million one-digit numbers: the most values 2 MiB of JSON holds.
void BM_FormatJson2MiBNumbersToYaml(benchmark::State& state) {
  static const std::string doc = [] {
    std::string numbers = "[";
    for (int i = 0; i < 1000000; ++i) numbers += std::string(i ? "," : "") + char('0' + i % 10);
    return numbers + "]";
  }();
  run_format(state, doc, "yaml");
}
BENCHMARK(BM_FormatJson2MiBNumbersToYaml)->Unit(benchmark::kMillisecond);

void BM_FormatToml2MiBToJson(benchmark::State& state) {
  static const std::string doc = [] {
    std::string tables = "[t]\n";
    for (int i = 0; tables.size() < (std::size_t{2} << 20) - 100; ++i) {
      tables += "k" + std::to_string(i) +
                R"( = { id = 1, name = "item", price = 12.5, tags = ["a", "b"] })"
                "\n";
    }
    return tables;
  }();
  run_format(state, doc, "json");
}
BENCHMARK(BM_FormatToml2MiBToJson)->Unit(benchmark::kMillisecond);

// The slowest YAML shape found: one flow mapping of some 200,000 short keys,
// each checked against the mapping's others.
void BM_FormatYaml2MiBKeysToJson(benchmark::State& state) {
  static const std::string doc = [] {
    std::string keys = "{";
    for (int i = 0; keys.size() < (std::size_t{2} << 20) - 20; ++i) {
      keys += (i ? ", k" : "k") + std::to_string(i) + ": 1";
    }
    return keys + "}";
  }();
  run_format(state, doc, "json");
}
BENCHMARK(BM_FormatYaml2MiBKeysToJson)->Unit(benchmark::kMillisecond);

}  // namespace
