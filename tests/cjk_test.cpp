// The chinese, pinyin and romaji tools, through the dispatcher.
#include <gtest/gtest.h>

#include "pelloriand/tool.h"
#include "tools/script_tables.h"

namespace pelloriand {
namespace {

struct Row {
  std::string_view input;
  std::optional<std::string_view> target;
  bool ok;
  std::string_view text;
};

void expect_rows(std::string_view tool, std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    ToolOptions options;
    if (row.target) options.emplace("target", *row.target);
    const ToolResult result = run_tool(tool, row.input, row.target ? &options : nullptr);
    EXPECT_EQ(result.is_ok(), row.ok) << tool << ": " << row.input;
    EXPECT_EQ(result.text(), row.text) << tool << ": " << row.input;
  }
}

TEST(Chinese, TableSizesMatchTheStoredLists) {
  EXPECT_EQ(tools::hanzi_table_sizes(), (std::array<std::size_t, 4>{552, 559, 554, 554}));
}

TEST(Chinese, Directions) {
  expect_rows("chinese", {
                             {"汉语", std::nullopt, true, "漢語"},
                             {" 汉语\n测试 ", "s2t", true, "漢語\n測試"},
                             {"漢語", "t2s", true, "汉语"},
                             {"台里", "s2tw", true, "臺裡"},
                             {"台里", "s2hk", true, "檯裏"},
                             {"台里", "s2t", true, "台里"},
                             {"臺", "t2s", true, "台"},
                             {"頭髮", "t2s", true, "头发"},
                             {"麵", "t2s", true, "面"},
                             {"灣", "t2s", true, "灣"},
                             {"写", "s2t", true, "寫"},
                             {"寫", "t2s", true, "写"},
                             {"齒", "t2s", true, "齿"},
                             {"麻", "s2t", true, "麻"},
                             {"Hello, 世界", "s2t", true, "Hello, 世界"},
                             {" \u3000", "xx", false, "Empty input"},
                             {"汉", "S2T", false, "Unknown direction: S2T"},
                             {"汉", "", false, "Unknown direction: "},
                         });
}

TEST(Pinyin, TableAndTokens) {
  EXPECT_EQ(tools::pinyin_table_size(), 214u);
  expect_rows("pinyin",
              {
                  {"中文", std::nullopt, true, "zhōng wén"},
                  {"中文", "numbers", true, "zhong1 wen2"},
                  {"我爱你", std::nullopt, true, "wǒ ài nǐ"},
                  {"女", std::nullopt, true, "nǚ"},
                  {"女", "numbers", true, "nv3"},
                  {"的", std::nullopt, true, "de"},
                  {"的", "numbers", true, "de"},
                  {"说会就学鸟快云儿", std::nullopt, true, "shuō huì jiù xué niǎo kuài yún ér"},
                  {"Hello 世界!", std::nullopt, true, "Hello shì jiè !"},
                  {"中国人民", std::nullopt, true, "zhōng guó rén 民"},
                  {"ab  cd", std::nullopt, true, "ab cd"},
                  {"x中y", "Numbers", true, "x zhōng y"},
                  {"中", "marks", true, "zhōng"},
                  {" \t", std::nullopt, false, "Empty input"},
              });
}

TEST(Romaji, TableSizes) {
  // 77 single kana with 75 katakana forms, 55 pairs with their katakana forms.
  EXPECT_EQ(tools::romaji_table_sizes(), (std::array<std::size_t, 2>{262, 121}));
}

TEST(Romaji, KanaToRomaji) {
  expect_rows("romaji", {
                            {"ひらがな", std::nullopt, true, "romaji:    hiragana"},
                            {"カタカナ", std::nullopt, true, "romaji:    katakana"},
                            {"きゃ", std::nullopt, true, "romaji:    kya"},
                            {"キャ", std::nullopt, true, "romaji:    kya"},
                            {"ラーメン", std::nullopt, true, "romaji:    rāmen"},
                            {"コーヒー", std::nullopt, true, "romaji:    kōhī"},
                            {"ーんー。ーー", std::nullopt, true, "romaji:    n。"},
                            {"きって", std::nullopt, true, "romaji:    kitte"},
                            {"みっつ", std::nullopt, true, "romaji:    mittsu"},
                            {"いっしょ", std::nullopt, true, "romaji:    issho"},
                            {"まっちゃ", std::nullopt, true, "romaji:    maccha"},
                            {"あっ", std::nullopt, true, "romaji:    a"},
                            {"こんにちは", std::nullopt, true, "romaji:    konnichiha"},
                            {"ほんや", std::nullopt, true, "romaji:    hon'ya"},
                            {"きんえん", std::nullopt, true, "romaji:    kin'en"},
                            {"かんじ", std::nullopt, true, "romaji:    kanji"},
                            {"すし\u3000すし", std::nullopt, true, "romaji:    sushi sushi"},
                            {"すし 2", std::nullopt, false,
                             "\"2\" is not kana — kanji conversion ships with the native engine"},
                            {"ぁ", std::nullopt, false,
                             "\"ぁ\" is not kana — kanji conversion ships with the native engine"},
                            {"日本", std::nullopt, false,
                             "Kanji conversion ships with the native engine — kana ⇄ romaji works "
                             "today"},
                            {"  ", std::nullopt, false, "Empty input"},
                        });
}

TEST(Romaji, RomajiToHiragana) {
  expect_rows("romaji",
              {
                  {"konnichiwa", std::nullopt, true, "hiragana:  こんにちわ"},
                  {"Tokyo", std::nullopt, true, "hiragana:  ときょ"},
                  {"wo ji", std::nullopt, true, "hiragana:  を じ"},
                  {"kitte!", std::nullopt, true, "hiragana:  きって!"},
                  {"maccha", std::nullopt, true, "hiragana:  まっちゃ"},
                  {"kan'i sen", std::nullopt, true, "hiragana:  かんい せん"},
                  {"nya", std::nullopt, true, "hiragana:  にゃ"},
                  {"a-b", std::nullopt, false, "Cannot parse \"b…\" as romaji"},
                  {"hello", std::nullopt, false, "Cannot parse \"lo…\" as romaji"},
                  {"xyz", std::nullopt, false, "Cannot parse \"xyz…\" as romaji"},
                  {"si", std::nullopt, false, "Cannot parse \"si…\" as romaji"},
                  {"aaqwertyuiop", std::nullopt, false, "Cannot parse \"qwertyui…\" as romaji"},
                  {"rāmen", std::nullopt, false, "Expected kana or romaji text"},
                  {"すしsushi", std::nullopt, false,
                   "\"s\" is not kana — kanji conversion ships with the native engine"},
              });
}

TEST(ScriptTools, LargeInputsAreLinear) {
  const std::string kana(2 << 20, 'a');  // romaji text of 2 MiB
  EXPECT_TRUE(run_tool("romaji", kana, nullptr).is_ok());
  std::string hanzi;
  while (hanzi.size() < (2 << 20)) hanzi.append("汉语 ");
  EXPECT_TRUE(run_tool("chinese", hanzi, nullptr).is_ok());
  EXPECT_TRUE(run_tool("pinyin", hanzi, nullptr).is_ok());
}

}  // namespace
}  // namespace pelloriand
