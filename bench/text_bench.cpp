// The text and encoding tools through run_tool: a 100-byte input each (the
// typical request), and 1 MiB inputs to show the cost stays linear.
#include <benchmark/benchmark.h>

#include <string>

#include "pelloriand/tool.h"

namespace {

using namespace pelloriand;

// `unit` repeated up to `size` bytes.
std::string repeat(std::string_view unit, std::size_t size) {
  std::string s;
  s.reserve(size + unit.size());
  while (s.size() < size) s += unit;
  s.resize(size);
  return s;
}

void run(benchmark::State& state, std::string_view tool, const std::string& input,
         const ToolOptions* options = nullptr) {
  if (!run_tool(tool, input, options).is_ok()) state.SkipWithError("tool failed");
  for (auto _ : state) benchmark::DoNotOptimize(run_tool(tool, input, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

constexpr std::size_t SMALL = 100;
constexpr std::size_t LARGE = 1 << 20;

const ToolOptions TITLE{{"target", "title"}};
const ToolOptions SNAKE{{"target", "snake"}};

void BM_Slug(benchmark::State& state) {
  run(state, "slug", repeat("Hello World userID2Name ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_Slug)->Arg(SMALL)->Arg(LARGE);

void BM_CaseCamel(benchmark::State& state) {
  run(state, "case", repeat("Hello World userID2Name ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_CaseCamel)->Arg(SMALL)->Arg(LARGE);

void BM_CaseSnakeAccented(benchmark::State& state) {
  run(state, "case", repeat("Ärger über straße ", static_cast<std::size_t>(state.range(0))),
      &SNAKE);
}
BENCHMARK(BM_CaseSnakeAccented)->Arg(SMALL)->Arg(LARGE);

void BM_CaseTitle(benchmark::State& state) {
  run(state, "case", repeat("the lord of the rings ", static_cast<std::size_t>(state.range(0))),
      &TITLE);
}
BENCHMARK(BM_CaseTitle)->Arg(SMALL)->Arg(LARGE);

void BM_UrlEncode(benchmark::State& state) {
  run(state, "url", repeat("a b&c=d/é ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_UrlEncode)->Arg(SMALL)->Arg(LARGE);

void BM_UrlDecode(benchmark::State& state) {
  run(state, "url", repeat("caf%C3%A9+x", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_UrlDecode)->Arg(99)->Arg(LARGE / 11 * 11);

void BM_UrlAllPercent(benchmark::State& state) {
  run(state, "url", std::string(static_cast<std::size_t>(state.range(0)), '%'));
}
BENCHMARK(BM_UrlAllPercent)->Arg(LARGE);

void BM_Base64Encode(benchmark::State& state) {
  run(state, "base64", repeat("hello world, ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_Base64Encode)->Arg(SMALL)->Arg(LARGE);

void BM_Base64Decode(benchmark::State& state) {
  run(state, "base64", repeat("aGVsbG8g", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_Base64Decode)->Arg(SMALL / 4 * 4)->Arg(LARGE);

void BM_HtmlEscape(benchmark::State& state) {
  run(state, "html", repeat("Tom & Jerry's <b> ", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_HtmlEscape)->Arg(SMALL)->Arg(LARGE);

void BM_HtmlUnescape(benchmark::State& state) {
  run(state, "html", repeat("&lt;b&gt;&#x42;", static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_HtmlUnescape)->Arg(SMALL / 15 * 15)->Arg(LARGE / 15 * 15);

void BM_HtmlAllAmpHash(benchmark::State& state) {
  run(state, "html", repeat("&#", static_cast<std::size_t>(state.range(0))) + "1;");
}
BENCHMARK(BM_HtmlAllAmpHash)->Arg(LARGE);

void BM_UuidRead(benchmark::State& state) {
  run(state, "uuid", "  {550E8400-E29B-41D4-A716-446655440000}  ");
}
BENCHMARK(BM_UuidRead);

void BM_UuidGenerate(benchmark::State& state) {
  run(state, "uuid", "");
}
BENCHMARK(BM_UuidGenerate);

void BM_Base(benchmark::State& state) {
  run(state, "base", "1152921504606846976");
}
BENCHMARK(BM_Base);

void BM_ColorHex(benchmark::State& state) {
  run(state, "color", "#3498db");
}
BENCHMARK(BM_ColorHex);

void BM_ColorCmyk(benchmark::State& state) {
  run(state, "color", "cmyk(10.5, 20, 30, 40)");
}
BENCHMARK(BM_ColorCmyk);

void BM_HugeWordInputs(benchmark::State& state) {
  // One 1 MiB word through the tools that trim, lower-case or scan it.
  const std::string word(LARGE, 'Q');
  for (auto _ : state) {
    for (std::string_view tool : {"uuid", "color", "base"}) {
      benchmark::DoNotOptimize(run_tool(tool, word, nullptr));
    }
  }
}
BENCHMARK(BM_HugeWordInputs);

}  // namespace
