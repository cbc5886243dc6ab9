// The Encoding Standard decoders on 1 MiB of each multi-byte encoding, and the
// charset tool on 2 MiB of hexadecimal tokens and of text to encode.
#include <benchmark/benchmark.h>

#include <string>

#include "encoding_decoders.h"
#include "tools/entries.h"

namespace {

using namespace pelloriand;
using encoding::EncodingId;

std::string repeat_to_mib(std::string_view prefix, std::string_view unit) {
  std::string s(prefix);
  while (s.size() + unit.size() <= (1u << 20)) s += unit;
  return s;
}

void decode_mib(benchmark::State& state, EncodingId encoding, std::string_view prefix,
                std::string_view unit) {
  const std::string bytes = repeat_to_mib(prefix, unit);
  for (auto _ : state) benchmark::DoNotOptimize(encoding::decode(encoding, bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

struct DecodeCase {
  const char* name;
  EncodingId encoding;
  std::string_view prefix;
  std::string_view unit;
};

constexpr DecodeCase DECODE_CASES[] = {
    {"utf8", EncodingId::kUtf8, "", "\xE3\x81\x82"},
    {"utf16le", EncodingId::kUtf16Le, "", "\x42\x30"},
    {"gb18030", EncodingId::kGb18030, "", "\xC4\xE3\x81\x30\x84\x36"},
    {"big5", EncodingId::kBig5, "", "\xA4\x40\x87\x45"},
    {"euc_jp", EncodingId::kEucJp, "", "\xA4\xB3\x8F\xB0\xA1"},
    {"iso_2022_jp", EncodingId::kIso2022Jp, "\x1B$B", "$3"},
    {"shift_jis", EncodingId::kShiftJis, "", "\x82\xB1"},
    {"euc_kr", EncodingId::kEucKr, "", "\xB0\xA1"},
    {"euc_kr_malformed", EncodingId::kEucKr, "", "\x81\x20"},
};

[[maybe_unused]] const bool DECODE_CASES_REGISTERED = [] {
  for (const DecodeCase& c : DECODE_CASES) {
    benchmark::RegisterBenchmark((std::string("decode_mib/") + c.name).c_str(), decode_mib,
                                 c.encoding, c.prefix, c.unit)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

void BM_CharsetToolDecodeHex2MiB(benchmark::State& state) {
  std::string hex;
  while (hex.size() < (2u << 20)) hex += "a4 b3 8e ";
  const ToolOptions options{{"target", "euc-jp"}};
  for (auto _ : state) benchmark::DoNotOptimize(tools::charset_tool(hex, &options));
}
BENCHMARK(BM_CharsetToolDecodeHex2MiB)->Unit(benchmark::kMillisecond);

void BM_CharsetToolEncode2MiB(benchmark::State& state) {
  std::string text;
  while (text.size() < (2u << 20)) text += "Привет, мир! ";
  const ToolOptions options{{"target", "koi8-r"}};
  for (auto _ : state) benchmark::DoNotOptimize(tools::charset_tool(text, &options));
}
BENCHMARK(BM_CharsetToolEncode2MiB)->Unit(benchmark::kMillisecond);

void BM_CharsetToolShort(benchmark::State& state) {
  const ToolOptions options{{"target", "shift-jis"}};
  for (auto _ : state) benchmark::DoNotOptimize(tools::charset_tool("82 b1", &options));
}
BENCHMARK(BM_CharsetToolShort);

}  // namespace
