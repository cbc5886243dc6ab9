#include "tools/phone.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

struct ReportRow {
  std::string_view input;
  std::optional<std::string_view> target;
  std::string_view e164;
  std::string_view international;
  std::string_view national;
  std::string_view country;
  std::string_view valid;
};

constexpr std::string_view YES = "yes (numbering-plan length check)";

ToolResult run_phone(std::string_view input, std::optional<std::string_view> target) {
  if (!target) return phone_tool(input, nullptr);
  const ToolOptions options{{"target", std::string(*target)}};
  return phone_tool(input, &options);
}

TEST(Phone, Reports) {
  const ReportRow rows[] = {
      {"+1 (555) 123-4567", std::nullopt, "+15551234567", "+1 555 123 4567", "(555) 123-4567",
       "United States / Canada", YES},
      {"+44 (0)20 7946 0958", std::nullopt, "+442079460958", "+44 207 946 0958", "0 207 946 0958",
       "United Kingdom", YES},
      {"0049 30 1234567", std::nullopt, "+49301234567", "+49 301 234 567", "0 301 234 567",
       "Germany", YES},
      {"030 1234567", "de", "+49301234567", "+49 301 234 567", "030 1234567", "Germany", YES},
      {"+39 06 1234 5678", std::nullopt, "+390612345678", "+39 061 234 5678", "061 234 5678",
       "Italy", YES},
      {"+49 30 12", std::nullopt, "+493012", "+49 3012", "0 3012", "Germany",
       "unlikely — Germany numbers run 7–12 digits, got 4"},
      {"(555) 123-4567", "us", "+15551234567", "+1 555 123 4567", "(555) 123-4567",
       "United States / Canada", YES},
      {"+1 555 1234", std::nullopt, "+15551234", "+1 555 1234", "0 555 1234",
       "United States / Canada",
       "unlikely — United States / Canada numbers run 10–10 digits, got 7"},
      // Three-digit codes win over nothing shorter; only one trunk zero goes.
      {"+353 00 1234 567", std::nullopt, "+35301234567", "+353 012 345 67", "012 345 67", "Ireland",
       "unlikely — Ireland numbers run 9–10 digits, got 8"},
      // A national number keeps its own layout: white-space runs, even broken by
      // dropped letters, fold to one space; the trunk zero stays as written.
      {"\u3000020 \t x 7946\u00a00958 ", "gb", "+442079460958", "+44 207 946 0958", "020 7946 0958",
       "United Kingdom", YES},
      // Letters after "+" make the number national: its digits include the code
      // and the "+" is dropped from the layout.
      {"+44 20 7946 0958 ext 12", "GB", "+4444207946095812", "+44 442 079 460 958 12",
       "44 20 7946 0958 12", "United Kingdom",
       "unlikely — United Kingdom numbers run 10–11 digits, got 14"},
      // Full Unicode upper-casing of the region.
      {"01234 567890", "gb", "+441234567890", "+44 123 456 7890", "01234 567890", "United Kingdom",
       YES},
  };
  for (const ReportRow& row : rows) {
    const ToolResult result = run_phone(row.input, row.target);
    const std::string expected = "e.164:          " + std::string(row.e164) +
                                 "\ninternational:  " + std::string(row.international) +
                                 "\nnational:       " + std::string(row.national) +
                                 "\ncountry:        " + std::string(row.country) +
                                 "\nvalid:          " + std::string(row.valid);
    EXPECT_TRUE(result.is_ok()) << row.input;
    EXPECT_EQ(result.text(), expected) << row.input;
  }
}

TEST(Phone, ErrorsInOrder) {
  struct Row {
    std::string_view input;
    std::optional<std::string_view> target;
    std::string_view error;
  };
  const Row rows[] = {
      {"", std::nullopt, "Empty input"},
      {" \t\u3000", "us", "Empty input"},
      {"+", std::nullopt, "No digits found"},
      {"abc", "us", "No digits found"},
      // No digits is told before the region is looked at.
      {"abc", "xx", "No digits found"},
      {"+999 123", std::nullopt, "Unknown country code — try a +1, +44, +81 … number"},
      {"+00 49", std::nullopt, "Unknown country code — try a +1, +44, +81 … number"},
      {"030 1234567", std::nullopt, "Use an international number (+…) or pick a default region"},
      {"030 1234567", "auto", "Use an international number (+…) or pick a default region"},
      {"030 1234567", "DEU", "Use an international number (+…) or pick a default region"},
      {"+44 20 7946 0958 ext 12", std::nullopt,
       "Use an international number (+…) or pick a default region"},
      {"+ 44 20", std::nullopt, "Use an international number (+…) or pick a default region"},
  };
  for (const Row& row : rows) {
    const ToolResult result = run_phone(row.input, row.target);
    EXPECT_FALSE(result.is_ok()) << row.input;
    EXPECT_EQ(result.text(), row.error) << row.input;
  }
}

TEST(Phone, GroupDigitsAndCountryLookup) {
  EXPECT_EQ(group_digits(""), "");
  EXPECT_EQ(group_digits("1234"), "1234");
  EXPECT_EQ(group_digits("12345"), "123 45");
  EXPECT_EQ(group_digits("1234567"), "123 4567");
  EXPECT_EQ(group_digits("12345678"), "123 456 78");
  EXPECT_EQ(group_digits("3012345678"), "301 234 5678");

  EXPECT_EQ(phone_country("423")->name, "Liechtenstein");
  EXPECT_EQ(phone_country("1")->min_length, 10);
  EXPECT_FALSE(phone_country("4").has_value());
  EXPECT_FALSE(phone_country("").has_value());
}

TEST(Phone, LongInputAnswers) {
  // 2 MiB of digits after "+1": one pass, a plain length verdict.
  const std::string digits(2 << 20, '5');
  const ToolResult result = phone_tool("+1" + digits, nullptr);
  ASSERT_TRUE(result.is_ok());
  EXPECT_NE(result.text().find("got " + std::to_string(digits.size())), std::string::npos);
}

}  // namespace
}  // namespace pelloriand::tools
