#include "number.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace pelloriand::number {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

TEST(ParseNumber, AcceptsAndRefuses) {
  struct Row {
    const char* text;
    std::optional<double> value;
  };
  const Row rows[] = {
      {"", 0.0},
      {" \t ", 0.0},
      {" 12.5 ", 12.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"-.", -0.0},
      {"1e3", 1000.0},
      {"1E-2", 0.01},
      {"Infinity", INF},
      {"-inf", -INF},
      {"1e400", INF},
      {"1e-400", 0.0},
      {"--5", 5.0},
      {"+-5", -5.0},
      {"0X1F", 31.0},
      {"0x1f", 31.0},
      {"0b101", 5.0},
      {"0o17", 15.0},
      {"-0x10", -16.0},
      {"0x-10", -16.0},
      {"-0x-10", 16.0},
      {"\u3000"
       "7",
       7.0},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"1,5", std::nullopt},
      {"1_000", std::nullopt},
      {"12 km", std::nullopt},
      {"0x1.8p3", std::nullopt},
      {"0x", std::nullopt},
      {"0b102", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1e", std::nullopt},
      {"e5", std::nullopt},
      {"0x80000000000000000000000000000000", std::nullopt},
      {"-0x80000000000000000000000000000000", std::nullopt},
      {"0x-80000000000000000000000000000000", -0x1p127},
  };
  for (const Row& row : rows) {
    const std::optional<double> got = parse_number(row.text);
    ASSERT_EQ(got.has_value(), row.value.has_value()) << row.text;
    if (got) {
      EXPECT_EQ(*got, *row.value) << row.text;
      EXPECT_EQ(std::signbit(*got), std::signbit(*row.value)) << row.text;
    }
  }
  const std::optional<double> nan = parse_number("nan");
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

TEST(FormatDecimals, RoundsTheExactBinaryValue) {
  EXPECT_EQ(format_decimals(40.7128, 6), "40.712800");
  EXPECT_EQ(format_decimals(0.125, 2), "0.13");
  EXPECT_EQ(format_decimals(2.675, 2), "2.67");
  EXPECT_EQ(format_decimals(1.005, 2), "1.00");
  EXPECT_EQ(format_decimals(0.15, 1), "0.1");
  EXPECT_EQ(format_decimals(-0.001, 2), "-0.00");
  EXPECT_EQ(format_decimals(-0.0, 2), "0.00");
  EXPECT_EQ(format_decimals(-1e-7, 6), "-0.000000");
  EXPECT_EQ(format_decimals(123456789.5, 1), "123456789.5");
  EXPECT_EQ(format_decimals(1e40, 2), "3402823669209384634633746074317682114.55");
  EXPECT_EQ(format_decimals(5e-324, 6), "0.000000");
  EXPECT_EQ(format_decimals(std::nan(""), 2), "NaN");
  EXPECT_EQ(format_decimals(INF, 2), "inf");
  EXPECT_EQ(format_decimals(-INF, 2), "-inf");
}

// Away from exact ties, the exact rounding must agree with glibc's printf,
// which also rounds the exact binary value.
TEST(FormatDecimals, AgreesWithPrintfOnRandomValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> scale(-8, 12);
  char buf[1200];
  for (int i = 0; i < 200000; ++i) {
    const double x = mantissa(rng) * std::pow(10.0, scale(rng));
    const unsigned n = 1 + static_cast<unsigned>(i % 6);
    // printf rounds an exact tie to even where we round it up: skip exact ties,
    // found from the full expansion (every double has at most 1074 decimals).
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(n) + 60, x);
    const std::string tail = std::string(buf).substr(std::string(buf).find('.') + 1 + n);
    if (tail.find_first_not_of('0', 1) == std::string::npos && tail[0] == '5') continue;
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(n), x);
    const std::string expected = buf;
    ASSERT_EQ(format_decimals(x, n), expected) << x << " n=" << n;
  }
}

TEST(FormatGrouped, RoundsTheDoubleProduct) {
  struct Row {
    double x;
    unsigned n;
    const char* text;
  };
  const Row rows[] = {
      {1234567.891, 2, "1,234,567.89"},
      {2.5, 2, "2.5"},
      {1000, 0, "1,000"},
      {999.999, 2, "1,000"},
      {100, 2, "100"},
      {2.675, 2, "2.68"},
      {0.15, 1, "0.2"},
      {1.005, 2, "1"},
      {2.5, 0, "3"},
      {-2.5, 0, "-3"},
      {-0.004, 2, "-0"},
      {-0.0, 0, "-0"},
      {std::nan(""), 2, "0"},
      {-std::nan(""), 2, "-0"},
      {INF, 0, "340,282,366,920,938,463,463,374,607,431,768,211,455"},
      {123, 0, "123"},
      {1234, 1, "1,234"},
  };
  for (const Row& row : rows) EXPECT_EQ(format_grouped(row.x, row.n), row.text) << row.x;
}

TEST(FormatSignificant, FixedExponentAndSevenDigitForms) {
  struct Row {
    double x;
    const char* text;
  };
  const Row rows[] = {
      {0.00123, "0.00123"},
      {12345.6789, "12345.6789"},
      {10000, "10000"},
      {0, "0"},
      {-0.0, "-0"},
      {2.0 / 3, "0.6666666667"},
      {0.1 + 0.2, "0.3"},
      {100000, "1e+5"},
      {123456.789, "1.23456789e+5"},
      {0.0001, "1e-4"},
      {-0.00025, "-2.5e-4"},
      {1e20, "1e+20"},
      {9007199254740992.0, "9.007199255e+15"},
      {99999.999999, "1e+5"},
      {9.9999999995, "10"},
      {0.001, "0.001"},
      {1e-9, "1e-9"},
      {9.99e-10, "9.990000e-10"},
      {1e21, "1.000000e+21"},
      {std::nextafter(1e21, 0), "1e+21"},
      {std::nextafter(1e-9, 0), "1.000000e-9"},
      {1.5e-10, "1.500000e-10"},
      {-1e-10, "-1.000000e-10"},
      {3.14159265358979, "3.141592654"},
      {-0.5, "-0.5"},
      {INF, "∞"},
      {-INF, "∞"},
      {std::nan(""), "∞"},
  };
  for (const Row& row : rows) EXPECT_EQ(format_significant(row.x), row.text) << row.x;
}

TEST(FormatSignificant, Companions) {
  auto digits = [](std::initializer_list<std::uint8_t> list, int exponent) {
    DecimalDigits d;
    for (std::uint8_t v : list) d.digits[d.count++] = v;
    d.exponent = exponent;
    return d;
  };
  auto as_list = [](const DecimalDigits& d) {
    return std::vector<int>(d.digits.begin(), d.digits.begin() + d.count);
  };
  DecimalDigits r = round_digits(digits({9, 9, 9, 5}, 0), 3);
  EXPECT_EQ(as_list(r), std::vector<int>{1});
  EXPECT_EQ(r.exponent, 1);
  EXPECT_EQ(as_list(round_digits(digits({1, 2, 5}, 0), 2)), (std::vector<int>{1, 3}));
  EXPECT_EQ(as_list(round_digits(digits({1, 2, 9, 7}, 0), 3)), (std::vector<int>{1, 3}));
  EXPECT_EQ(as_list(round_digits(digits({1, 2}, 0), 5)), (std::vector<int>{1, 2}));

  const DecimalDigits d = decimal_digits(-120.5);
  EXPECT_EQ(as_list(d), (std::vector<int>{1, 2, 0, 5}));
  EXPECT_EQ(d.exponent, 2);
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(decimal_digits(1e-7).exponent, -7);
  EXPECT_TRUE(decimal_digits(-0.0).negative);

  EXPECT_EQ(trim_fraction_zeros("2.500"), "2.5");
  EXPECT_EQ(trim_fraction_zeros("-0.000"), "-0");
  EXPECT_EQ(trim_fraction_zeros("100"), "100");
  EXPECT_EQ(trim_exponent_zeros("1.500000000e+5"), "1.5e+5");
}

TEST(FormatShortest, PlainAndExponentForms) {
  struct Row {
    double x;
    const char* text;
  };
  const Row rows[] = {
      {0, "0"},
      {-0.0, "0"},
      {std::nan(""), "NaN"},
      {INF, "Infinity"},
      {-INF, "-Infinity"},
      {0.000001, "0.000001"},
      {0.0000001, "1e-07"},
      {123.456, "123.456"},
      {-5, "-5"},
      {1e20, "100000000000000000000"},
      {1e21, "1e+21"},
      {9007199254740992.0, "9007199254740992"},
      {1.5e-7, "1.5e-07"},
      {-2e-300, "-2e-300"},
      {5e-324, "5e-324"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {0.1 + 0.2, "0.30000000000000004"},
      {18446744073709551615.0, "18446744073709552000"},
      {123456789012345680000.0, "123456789012345680000"},
  };
  for (const Row& row : rows) EXPECT_EQ(format_shortest(row.x), row.text) << row.x;
}

TEST(AppendPlain, WritesEveryDigitWithoutAnExponent) {
  struct Row {
    double x;
    std::string text;
  };
  const Row rows[] = {
      {0, "0"},
      {-0.0, "-0"},
      {1200, "1200"},
      {-1.5e-3, "-0.0015"},
      {123.456, "123.456"},
      {0.5, "0.5"},
      {1e21, "1000000000000000000000"},
      {DBL_MAX, "17976931348623157" + std::string(292, '0')},
      {5e-324, "0." + std::string(323, '0') + "5"},
  };
  for (const Row& row : rows) {
    std::string out = "=";
    append_plain(out, decimal_digits(row.x));
    EXPECT_EQ(out, "=" + row.text) << row.x;
  }
}

TEST(FormatShortest, RoundTripsRandomDoubles) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 300000; ++i) {
    std::uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    const std::string text = format_shortest(x);
    const double back = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(back, x == 0 ? 0.0 : x) << text;
  }
}

}  // namespace
}  // namespace pelloriand::number
