#include "text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pelloriand::text
