// The url, base64 and html tools: mode and direction switches, strictness of
// the decoders, and linear behaviour on hostile 2 MiB inputs.
#include <gtest/gtest.h>

#include <string>

#include "tool_result_testing.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

struct Row {
  std::string_view input;
  ToolResult expected;
};

void check(ToolResult (*tool)(std::string_view), std::initializer_list<Row> rows) {
  for (const Row& row : rows) EXPECT_EQ(tool(row.input), row.expected) << row.input;
}

TEST(Url, EncodesUnlessAnEscapeIsPresent) {
  check(url_tool, {
                      {"a b&c=d/é", ok("a%20b%26c%3Dd%2F%C3%A9")},
                      {"it's (fine)!", ok("it's%20(fine)!")},
                      {"A-z_0.9~*", ok("A-z_0.9~*")},
                      {"€", ok("%E2%82%AC")},
                      {"  hello world  ", ok("hello%20world")},
                      {"\u3000 \t", ok("")},
                      {"100%", ok("100%25")},
                      {"%4", ok("%254")},
                      {"%g1 +", ok("%25g1%20%2B")},
                  });
}

TEST(Url, DecodesStrictly) {
  check(url_tool, {
                      {"caf%C3%A9", ok("café")},
                      {"caf%c3%a9", ok("café")},
                      {"a+b%20c", ok("a+b c")},
                      {"50%25 off", ok("50% off")},
                      {"%2541", ok("%41")},  // decoded once only
                      {"%41%4", fails("URI malformed")},
                      {"%zz%41", fails("URI malformed")},
                      {"%41%", fails("URI malformed")},
                      {"%E3%81", fails("URI malformed")},
                      {"%C0%AF", fails("URI malformed")},
                  });
}

TEST(Base64, DecodesCandidatesAndEncodesTheRest) {
  check(base64_tool, {
                         {"aGVsbG8gd29ybGQ=", ok("hello world")},
                         {"Zm9vYmFy", ok("foobar")},
                         {"Zm9vYg==", ok("foob")},
                         {"  Zm9vYmFy  ", ok("foobar")},
                         {"Zm9v", ok("Wm05dg==")},          // too short to be a candidate
                         {"testtest", ok("dGVzdHRlc3Q=")},  // decodes to bytes that are not UTF-8
                         {"Zm9vYh==", ok("Wm05dlloPT0=")},  // non-zero trailing bits
                         {"Zm9vYmE=", ok("fooba")},
                         {"Zm9vYmF=", ok("Wm05dlltRj0=")},
                         {"Zm9vY===", ok("Wm05dlk9PT0=")},
                         {"AAAA====", ok("QUFBQT09PT0=")},
                         {"Zm9v=mFy", ok("Wm05dj1tRnk=")},  // padding inside
                         {"Zm9v_mFy", ok("Wm05dl9tRnk=")},  // URL-safe alphabet
                         {"Zm9v\nYmFy", ok("Wm05dgpZbUZ5")},
                         {" hello ", ok("IGhlbGxvIA==")},
                         {"", ok("")},
                         {"   ", ok("ICAg")},
                         {"ab", ok("YWI=")},
                     });
}

TEST(Html, EscapesWhenNoReferenceIsPresent) {
  check(html_tool, {
                       {"Tom & Jerry's <b>", ok("Tom &amp; Jerry&#39;s &lt;b&gt;")},
                       {"say \"hi\"", ok("say &quot;hi&quot;")},
                       {"5 < 6 & 7 > 3", ok("5 &lt; 6 &amp; 7 &gt; 3")},
                       {"&copy; 2024", ok("&amp;copy; 2024")},
                       {"&#65", ok("&amp;#65")},
                       {"a&b;c", ok("a&amp;b;c")},
                       {"&#+65;", ok("&amp;#+65;")},  // "+" is no reference for the direction test
                       {"&#x;", ok("&amp;#x;")},
                       {" \u00a0", ok("")},
                   });
}

TEST(Html, UnescapesInOnePass) {
  check(html_tool,
        {
            {"&lt;b&gt;bold&lt;/b&gt;", ok("<b>bold</b>")},
            {"&amp;lt;", ok("&lt;")},
            {"&quot;&#39;", ok("\"'")},
            {"&#65;&#x42;&#X43;", ok("ABC")},
            {"&#x1F600;", ok("\U0001F600")},
            {"&#0;x", ok(std::string_view("\0x", 2))},
            {"&#65; &#+66;", ok("A B")},
            {"&#99999999999;", ok("&#99999999999;")},  // too large for 32 bits: left as text
            {"&#4294967296; &lt;", ok("&#4294967296; <")},
            {"&#00000000065;", ok("A")},
            {"&#6&#65;x", ok("&#6Ax")},
            {"fish &chips &amp; peas", ok("fish &chips & peas")},
            {"&#x; &amp;", ok("&#x; &")},
            {"&#12a; &lt;", ok("&#12a; <")},
            {"&#-1; &#+; &lt;", ok("&#-1; &#+; <")},
            {"&#55296;", fails("Invalid code point 55296")},
            {"&#xDFFF;", fails("Invalid code point 57343")},
            {"&#1114112;", fails("Invalid code point 1114112")},
            {"&#4294967295;", fails("Invalid code point 4294967295")},
        });
}

TEST(Encoding, HugeInputsAnswerQuickly) {
  const std::size_t n = 2 << 20;
  const std::string percents(n, '%');
  EXPECT_EQ(url_tool(percents).text().size(), 3 * n);
  std::string escapes;
  while (escapes.size() < n) escapes += "%FF";
  EXPECT_EQ(url_tool(escapes), fails("URI malformed"));
  std::string refs;
  while (refs.size() < n) refs += "&#";
  EXPECT_EQ(html_tool(refs).text().size(), refs.size() / 2 * 6);
  // Only the last "&#1;" is a reference: U+0001.
  EXPECT_EQ(html_tool(refs + "1;").text().size(), refs.size() - 1);
  const std::string letters(n, 'A');
  EXPECT_EQ(base64_tool(letters).text().size(), n / 4 * 3);
}

}  // namespace
}  // namespace pelloriand::tools
