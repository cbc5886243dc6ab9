#include "text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/entries.h"

namespace pelloriand::text {
namespace {

TEST(Text, TrimRemovesEveryWhiteSpaceCharacter) {
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim(" \t\n\v\f\r"), "");
  EXPECT_EQ(trim("\u3000\u00a0\u2028 a b \u205f\u0085"), "a b");
  // U+200B (zero width space) and U+FEFF are not White_Space.
  EXPECT_EQ(trim("\u200bx\ufeff"), "\u200bx\ufeff");
}

TEST(Text, Utf8WalkAndValidation) {
  const std::string_view s = "aé€😀";
  std::size_t pos = 0;
  EXPECT_EQ(next_code_point(s, pos), U'a');
  EXPECT_EQ(next_code_point(s, pos), U'é');
  EXPECT_EQ(next_code_point(s, pos), U'€');
  EXPECT_EQ(next_code_point(s, pos), U'😀');
  EXPECT_EQ(pos, s.size());
  EXPECT_EQ(previous_code_point(s, pos), U'😀');
  EXPECT_EQ(pos, s.size() - 4);

  std::string out;
  for (char32_t c : {U'a', U'é', U'€', U'😀'}) append_utf8(out, c);
  EXPECT_EQ(out, s);

  EXPECT_TRUE(is_valid_utf8(s));
  for (std::string_view bad :
       {"\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82", "\x80"}) {
    EXPECT_FALSE(is_valid_utf8(bad)) << bad;
  }
}

// The boundaries of each row of the table of well-formed byte sequences in
// Unicode 15, chapter 3, table 3-7: the first and last sequence a row allows,
// and the bytes just outside them.
TEST(Text, Utf8SequenceLengthFollowsTheWellFormedTable) {
  struct Row {
    std::string_view bytes;
    std::size_t length;
  };
  const Row rows[] = {
      {"\x7f", 1},
      {"\x80", 0},
      {"\xc1\xbf", 0},
      {"\xc2\x80", 2},
      {"\xdf\xbf", 2},
      {"\xdf\xc0", 0},
      {"\xe0\x9f\xbf", 0},
      {"\xe0\xa0\x80", 3},
      {"\xec\xbf\xbf", 3},
      {"\xed\x9f\xbf", 3},
      {"\xed\xa0\x80", 0},
      {"\xee\x80\x80", 3},
      {"\xef\xbf\xbf", 3},
      {"\xf0\x8f\xbf\xbf", 0},
      {"\xf0\x90\x80\x80", 4},
      {"\xf3\xbf\xbf\xbf", 4},
      {"\xf4\x8f\xbf\xbf", 4},
      {"\xf4\x90\x80\x80", 0},
      {"\xf5\x80\x80\x80", 0},
      {"\xe2\x82", 0},
      {"\xf0\x9f\x98", 0},
      {"\xe2\x82\x41", 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(utf8_sequence_length(row.bytes, 0), row.length) << testing::PrintToString(row.bytes);
  }
  // Only the bytes from `pos` on count: "€" after "a" is whole, its tail is not.
  EXPECT_EQ(utf8_sequence_length("a\xe2\x82\xac", 1), 3u);
  EXPECT_EQ(utf8_sequence_length("a\xe2\x82\xac", 2), 0u);
}

TEST(Text, ReadHex4CountsTheDigitsItRead) {
  std::uint32_t value = 0;
  EXPECT_EQ(read_hex4("00e9", value), 4u);
  EXPECT_EQ(value, 0xE9u);
  EXPECT_EQ(read_hex4("D83Dx", value), 4u);  // only four are read
  EXPECT_EQ(value, 0xD83Du);
  EXPECT_EQ(read_hex4("12g4", value), 2u);  // stops at the first non-digit
  EXPECT_EQ(read_hex4("ab", value), 2u);    // the text ends first
  EXPECT_EQ(read_hex4("", value), 0u);
}

TEST(Text, DebugQuotingEscapesEveryControlCharacter) {
  struct Row {
    std::string_view in;
    std::string_view quoted;
  };
  const Row rows[] = {
      {"", R"("")"},
      {"q\"\\\n\r\t", R"("q\"\\\n\r\t")"},
      {std::string_view("\0\x01\x1f\x7f", 4), R"("\0\u{1}\u{1f}\u{7f}")"},
      {"\u0080\u0085\u009f", R"("\u{80}\u{85}\u{9f}")"},  // C1 controls
      {"\u00a0é\u2028😀", "\"\u00a0é\u2028😀\""},           // no controls: copied
      {"\xc2\x41\xc2", "\"\xc2\x41\xc2\""},               // a stray lead byte keeps the A after it
  };
  for (const Row& row : rows) {
    std::string out = "<";
    append_debug_quoted(out, row.in);
    EXPECT_EQ(out, "<" + std::string(row.quoted)) << row.in;
  }
}

TEST(Text, AsciiCaseFoldingLeavesOtherBytesAlone) {
  EXPECT_EQ(to_ascii_lower("Content-Length: ÉA[@]Z"), "content-length: Éa[@]z");
  EXPECT_EQ(to_ascii_upper("epsg:4326 é`a{z}"), "EPSG:4326 é`A{Z}");
  EXPECT_TRUE(ascii_iequals("Keep-Alive", "keep-ALIVE"));
  EXPECT_TRUE(ascii_iequals("", ""));
  EXPECT_FALSE(ascii_iequals("keep", "keep-alive"));
  EXPECT_FALSE(ascii_iequals("É", "é"));  // C3 89 and C3 A9: bytes above 0x7F stay
  EXPECT_FALSE(ascii_iequals("[", "{"));  // 0x5B and 0x7B differ by 32 too
}

TEST(Text, NextTokenSplitsAtEveryWhiteSpaceCharacter) {
  const std::string_view s = " 12\u3000km\u00a0to\tmi \u2028";
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  for (std::string_view t; !(t = next_token(s, pos)).empty();) tokens.push_back(t);
  EXPECT_EQ(tokens, (std::vector<std::string_view>{"12", "km", "to", "mi"}));
  EXPECT_EQ(pos, s.size());
  pos = 0;
  EXPECT_EQ(next_token("\u200bx", pos), "\u200bx");  // U+200B is not White_Space
}

TEST(Text, ParseUnsignedReadsSettings) {
  constexpr std::uint64_t MAX64 = ~std::uint64_t{0};
  struct Row {
    std::string_view text;
    std::uint64_t max;
    std::optional<std::uint64_t> value;
    UnsignedError error;  // when there is no value
  };
  const Row rows[] = {
      {"8080", 65535, 8080, {}},
      {"+8080", 65535, 8080, {}},
      {"0", 65535, 0, {}},
      {"65535", 65535, 65535, {}},
      {"00065535", 65535, 65535, {}},
      {"65536", 65535, std::nullopt, UnsignedError::too_large},
      {"9", 5, std::nullopt, UnsignedError::too_large},
      {"18446744073709551615", MAX64, MAX64, {}},
      {"18446744073709551616", MAX64, std::nullopt, UnsignedError::too_large},
      {"", 65535, std::nullopt, UnsignedError::empty},
      {"+", 65535, std::nullopt, UnsignedError::invalid_digit},
      {"++1", 65535, std::nullopt, UnsignedError::invalid_digit},
      {"-1", 65535, std::nullopt, UnsignedError::invalid_digit},
      {" 80", 65535, std::nullopt, UnsignedError::invalid_digit},
      {"٣", 65535, std::nullopt, UnsignedError::invalid_digit},  // ASCII digits only
      // A stray byte is named before a value that is also too large.
      {"999999999999999999999x", MAX64, std::nullopt, UnsignedError::invalid_digit},
  };
  for (const Row& row : rows) {
    UnsignedError error{};
    EXPECT_EQ(parse_unsigned(row.text, row.max, error), row.value) << row.text;
    if (!row.value) {
      EXPECT_EQ(error, row.error) << row.text;
    }
  }
}

TEST(Text, FullCaseMapping) {
  EXPECT_EQ(to_upper("straße"), "STRASSE");
  EXPECT_EQ(to_lower("ΟΔΟΣ"), "οδος");  // root locale: no context-free final sigma rule
  EXPECT_EQ(to_upper("ǆ"), "Ǆ");
  EXPECT_EQ(to_lower("İ"), "i̇");
}

TEST(Text, SplitCamelWords) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(split_camel_words("userID2Name"), (Words{"user", "id2", "name"}));
  EXPECT_EQ(split_camel_words("XMLParser"), (Words{"xmlparser"}));
  EXPECT_EQ(split_camel_words("Hello, World!"), (Words{"hello,", "world!"}));
  // Non-ASCII letters never start a boundary; U+3000 and U+00A0 separate.
  EXPECT_EQ(split_camel_words("éA\u3000ÄÖ\u00a0x_-y"), (Words{"éa", "äö", "x", "y"}));
  EXPECT_EQ(split_camel_words(" \t_-"), Words{});
  EXPECT_EQ(capitalize(""), "");
  EXPECT_EQ(capitalize("ßa"), "SSa");
}

struct CaseRow {
  const char* target;  // nullptr: no options at all
  std::string_view input;
  std::string_view expected;
};

TEST(Text, CaseTool) {
  const CaseRow rows[] = {
      {nullptr, "Hello world", "helloWorld"},
      {nullptr, "", "undefined"},
      {nullptr, "---", "undefined"},
      {"Camel", "user_id", "userId"},
      {"nope", "user_id", "userId"},
      {"camel", "XMLHttpRequest id", "xmlhttpRequestId"},
      {"pascal", "hello big world", "HelloBigWorld"},
      {"pascal", "straße", "Straße"},
      {"pascal", "  ", ""},
      {"snake", "Hello World Again", "hello_world_again"},
      {"kebab", "Hello World Again", "hello-world-again"},
      {"upper", " straße, ok ", " STRASSE, OK "},
      {"lower", "ÄBC", "äbc"},
      {"sentence", "  hELLO wORLD  ", "Hello world"},
      {"sentence", "\u3000 ", ""},
      {"sentence", "ßX", "SSx"},
      {"title", "the lord of the rings", "the Lord of the Rings"},
      {"title", "HELLO  world", "Hello  World"},
      {"title", "state-of-the-art", "State-of-the-art"},
      {"title", " OF\u3000éTÉ\t", " of\u3000Été\t"},
  };
  for (const CaseRow& row : rows) {
    ToolOptions options;
    if (row.target != nullptr) options.emplace("target", row.target);
    const ToolResult result = tools::case_tool(row.input, row.target ? &options : nullptr);
    EXPECT_EQ(result, ToolResult::output(std::string(row.expected)))
        << (row.target ? row.target : "(none)") << " " << row.input;
  }
  // A present but other option name leaves the default in force.
  const ToolOptions other{{"Target", "snake"}};
  EXPECT_EQ(tools::case_tool("a b", &other).text(), "aB");
}

TEST(Text, Slug) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"Hello World", "hello-world"},
      {"Hello, World!", "hello,-world!"},
      {"  many   spaces  ", "many-spaces"},
      {"snake_case and-kebab", "snake-case-and-kebab"},
      {"userID2Name", "user-id2-name"},
      {"", ""},
      {" \u2028 ", ""},
  };
  for (const auto& [input, expected] : rows) {
    EXPECT_EQ(run_tool("slug", input, nullptr), ToolResult::output(std::string(expected))) << input;
  }
}

TEST(Text, CaseAndSlugKeepEveryWordOfHugeInput) {
  // One 2 MiB word and 2 MiB of one-letter words, each word kept.
  const std::string word(2 << 20, 'a');
  EXPECT_EQ(to_kebab(word).size(), word.size());
  std::string words;
  for (int i = 0; i < (1 << 20); ++i) words += "aB";
  // "aBaB…" splits into "a", "ba", …, "b": one hyphen per pair.
  EXPECT_EQ(to_kebab(words).size(), words.size() / 2 * 3);
  const ToolOptions title{{"target", "title"}};
  EXPECT_EQ(tools::case_tool(words, &title).text().size(), words.size());
}

}  // namespace
}  // namespace pelloriand::text
