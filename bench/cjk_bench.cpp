// The chinese, pinyin and romaji tools on a 20-character input, after the
// tables are built.
#include <benchmark/benchmark.h>

#include "pelloriand/tool.h"

namespace {

using namespace pelloriand;

void run_case(benchmark::State& state, std::string_view tool, std::string_view input,
              const ToolOptions* options) {
  if (!run_tool(tool, input, options).is_ok()) state.SkipWithError("tool failed");
  for (auto _ : state) benchmark::DoNotOptimize(run_tool(tool, input, options));
}

void BM_Chinese(benchmark::State& state) {
  run_case(state, "chinese", "汉语测试这是一个简单的例子为了说明转换的速度", nullptr);
}
BENCHMARK(BM_Chinese);

void BM_Pinyin(benchmark::State& state) {
  run_case(state, "pinyin", "我爱你中国人说话会就学鸟快云儿时间分秒昨今", nullptr);
}
BENCHMARK(BM_Pinyin);

void BM_RomajiFromKana(benchmark::State& state) {
  run_case(state, "romaji", "ひらがなとカタカナのラーメンきってまっちゃ", nullptr);
}
BENCHMARK(BM_RomajiFromKana);

void BM_RomajiFromLatin(benchmark::State& state) {
  run_case(state, "romaji", "konnichiwa tokyo kitte", nullptr);
}
BENCHMARK(BM_RomajiFromLatin);

void BM_PinyinOneMiB(benchmark::State& state) {
  std::string input;
  while (input.size() < (1 << 20)) input.append("中文 Hello 世界! ");
  run_case(state, "pinyin", input, nullptr);
}
BENCHMARK(BM_PinyinOneMiB)->Unit(benchmark::kMillisecond);

}  // namespace
