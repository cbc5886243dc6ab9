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

void BM_FormatJson2MiB(benchmark::State& state, const char* target) {
  static const std::string doc = records(std::size_t{2} << 20);
  run_format(state, doc, target);
}
BENCHMARK_CAPTURE(BM_FormatJson2MiB, yaml, "yaml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatJson2MiB, json, "json")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatJson2MiB, csv, "csv")->Unit(benchmark::kMillisecond);

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

// Inputs built to blow up a reader, each refused: a YAML alias bomb (10^26
// nodes if expanded), JSON, YAML block and flow nesting 100,000 or 2,000 deep;
// for TOML, dotted keys 100,000 long in every place a key goes and arrays
// 100,000 deep.
const std::string DOTTED = [] {
  std::string s = "a";
  for (int i = 0; i < 100000; ++i) s += ".a";
  return s;
}();
const std::string DEEP_OPEN(100000, '[');
const std::string DEEP_CLOSE(100000, ']');

std::string alias_bomb() {
  std::string bomb = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  for (char c = 'b'; c <= 'z'; ++c) {
    bomb += std::string(1, c) + ": &" + c + " [";
    for (int i = 0; i < 10; ++i) bomb += std::string(i ? ", *" : "*") + static_cast<char>(c - 1);
    bomb += "]\n";
  }
  return bomb;
}

std::string block_nesting() {
  std::string block;
  for (std::size_t i = 0; i < 2000; ++i) block += std::string(i, ' ') + "a:\n";
  return block;
}

void BM_FormatHostileYaml(benchmark::State& state, const std::string& input) {
  const ToolOptions options{{"target", "json"}};
  if (run_tool("format", input, &options).is_ok()) state.SkipWithError("read");
  for (auto _ : state) benchmark::DoNotOptimize(run_tool("format", input, &options));
}
BENCHMARK_CAPTURE(BM_FormatHostileYaml, alias_bomb, alias_bomb())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatHostileYaml, flow_nesting, DEEP_OPEN + DEEP_CLOSE + "x")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatHostileYaml, block_nesting, block_nesting())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatHostileYaml, braces,
                  "k: " + std::string(100000, '{') + std::string(100000, '}'))
    ->Unit(benchmark::kMillisecond);

void BM_FormatHostileToml(benchmark::State& state, const std::string& input) {
  if (tools::format::read_toml(input)) state.SkipWithError("read");
  for (auto _ : state) benchmark::DoNotOptimize(tools::format::read_toml(input));
}
BENCHMARK_CAPTURE(BM_FormatHostileToml, table_header, "[" + DOTTED + "]\nx = 1")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatHostileToml, inline_table_key, "[t]\nx = {" + DOTTED + " = 1}")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatHostileToml, key, DOTTED + " = 1")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatHostileToml, array_nesting, "[t]\nx = " + DEEP_OPEN + DEEP_CLOSE)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatHostileToml, header_no_value, "[" + DOTTED + "]\nx = ")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatHostileToml, nested_key, "[t]\nx = [{a = [{" + DOTTED + " = 1}]}]")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
