#include "text.h"

#include <gtest/gtest.h>

#include <string>
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

TEST(Text, CaseAndSlugStayLinearOnHugeInput) {
  // One 2 MiB word and 2 MiB of one-letter words: both must finish at once.
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
