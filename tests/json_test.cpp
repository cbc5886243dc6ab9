#include "json.h"

#include <gtest/gtest.h>

#include <boost/json.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace pelloriand::json {
namespace {

std::string compact(const JsonValue& v) {
  std::string out;
  write_json_compact(v, out);
  return out;
}

std::string pretty(const JsonValue& v) {
  std::string out;
  write_json_pretty(v, 0, out);
  return out;
}

TEST(JsonReader, NumbersAreCorrectlyRoundedAndFinite) {
  const auto doc = read_json("[5.806313673e+44, 0.1, 1e-400, -0.0, 10.100000000000001]");
  ASSERT_TRUE(doc.has_value());
  const auto& items = doc->as_array();
  EXPECT_EQ(items[0].as_double(), 5.806313673e+44);
  EXPECT_EQ(items[1].as_double(), 0.1);
  EXPECT_EQ(items[2].as_double(), 0.0);  // an underflow is still a number
  EXPECT_TRUE(std::signbit(items[3].as_double()));
  EXPECT_EQ(items[4].as_double(), 10.100000000000001);
  EXPECT_FALSE(read_json("[1e400]").has_value());
  EXPECT_FALSE(read_json("{\"a\": -1e400}").has_value());
}

// Short numbers take the parser's own conversion, long ones are converted
// again; both must agree with strtod on every digit count.
TEST(JsonReader, EveryDigitCountIsCorrectlyRounded) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-180, 180);
  for (int i = 0; i < 20000; ++i) {
    char text[40];
    const double x = i % 2 ? coordinate(random) : std::ldexp(coordinate(random), i % 200 - 100);
    std::snprintf(text, sizeof text, i % 3 ? "%.*f" : "%.*g", 1 + i % 17, x);
    const auto doc = read_json(text);
    ASSERT_TRUE(doc.has_value()) << text;
    const double expected = std::strtod(text, nullptr);
    ASSERT_EQ(doc->is_double() ? doc->as_double() : doc->to_number<double>(), expected) << text;
  }
}

// Boost.JSON's own parser is the reference for what is JSON and what value it
// holds; only its doubles may be one unit off. Mutated documents probe the
// edges: escapes, surrogates, UTF-8, number forms, nesting, trailing bytes.
bool same_value(const JsonValue& a, const JsonValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case boost::json::kind::double_:
      return std::abs(a.get_double() - b.get_double()) <=
             std::abs(std::nextafter(b.get_double(), 0.0) - b.get_double());
    case boost::json::kind::array: {
      const auto &x = a.get_array(), &y = b.get_array();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i)
        if (!same_value(x[i], y[i])) return false;
      return true;
    }
    case boost::json::kind::object: {
      const auto &x = a.get_object(), &y = b.get_object();
      if (x.size() != y.size()) return false;
      for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
        if (i->key() != j->key() || !same_value(i->value(), j->value())) return false;
      return true;
    }
    default:
      return a == b;
  }
}

bool holds_infinity(const JsonValue& v) {
  if (v.is_double()) return std::isinf(v.get_double());
  if (v.is_array())
    for (const JsonValue& member : v.get_array())
      if (holds_infinity(member)) return true;
  if (v.is_object())
    for (const auto& member : v.get_object())
      if (holds_infinity(member.value())) return true;
  return false;
}

TEST(JsonReader, AcceptsWhatBoostJsonAccepts) {
  const std::vector<std::string> seeds = {
      R"({"a": [1, -0, 2.5e-3, 1E+2, -12345678901234567890, 18446744073709551615, true, null]})",
      R"(["\u00e9\ud83d\ude00\n\"\\\/", "héllo 漢字 😀", {"": {}}, [[], [{}]]])",
      R"({"type":"Polygon","coordinates":[[[0.1,0.2],[10.123456789012345,-0.5],[1e-320,0]]]})",
      "  \r\n\t[0]\n",
  };
  const std::string alphabet =
      "{}[]\",:0123456789-+.eE \\u"
      "\xc3\xa9\xed\xa0\x80\xf4\x90"
      "dD8tfn";
  boost::json::parse_options options;
  options.max_depth = MAX_READ_DEPTH;
  std::mt19937_64 random(11);
  for (int i = 0; i < 60000; ++i) {
    std::string text = seeds[random() % seeds.size()];
    for (int m = 1 + static_cast<int>(random() % 4); m > 0; --m) {
      const std::size_t at = random() % (text.size() + 1);
      switch (random() % 3) {
        case 0:
          if (at < text.size()) text.erase(at, 1);
          break;
        case 1:
          text.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
        default:
          if (at < text.size()) text[at] = alphabet[random() % alphabet.size()];
      }
    }
    boost::system::error_code ec;
    const JsonValue expected = boost::json::parse(text, ec, {}, options);
    const auto got = read_json(text);
    // Beyond the double range the two differ by design: Boost.JSON reads an
    // overflow as infinity (refused here) and fails on an exponent beyond
    // 32 bits (read here as infinity, refused, or zero).
    if (ec == boost::json::error::exponent_overflow) continue;
    if (!ec && holds_infinity(expected)) {
      ASSERT_FALSE(got.has_value()) << text;
      continue;
    }
    ASSERT_EQ(got.has_value(), !ec) << text;
    if (got) {
      ASSERT_TRUE(same_value(*got, expected)) << text;
    }
  }
}

TEST(JsonReader, OneDocumentOfBoundedDepth) {
  const auto nested = [](std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  EXPECT_TRUE(read_json(" " + nested(MAX_READ_DEPTH) + "\n").has_value());
  EXPECT_FALSE(read_json(nested(MAX_READ_DEPTH + 1)).has_value());
  EXPECT_FALSE(read_json(std::string(1 << 20, '[')).has_value());
  for (const char* bad : {"", "1 2", "{} []", "[1,]", "{\"a\":1,}", "// c\n1", "[1"})
    EXPECT_FALSE(read_json(bad).has_value()) << bad;
}

TEST(JsonWriters, StringEscapes) {
  struct Row {
    std::string_view text;
    std::string_view literal;
  };
  const Row rows[] = {
      {"a\"b", R"("a\"b")"},
      {"\\", R"("\\")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {std::string_view("\x01\x1b\x00", 3), R"("\u0001\u001b\u0000")"},
      {"/é😀\x7f\u2028", "\"/é😀\x7f\u2028\""},
      {"", R"("")"},
  };
  for (const Row& row : rows) {
    std::string out;
    write_json_string(row.text, out);
    EXPECT_EQ(out, row.literal) << row.text;
  }
}

TEST(JsonWriters, NumbersPrintThroughTheirDouble) {
  EXPECT_EQ(compact(JsonValue(0)), "0");
  EXPECT_EQ(compact(JsonValue(-0.0)), "0");
  EXPECT_EQ(compact(JsonValue(1.5)), "1.5");
  EXPECT_EQ(compact(JsonValue(1e-7)), "1e-07");
  EXPECT_EQ(compact(JsonValue(2.0)), "2");
  EXPECT_EQ(compact(JsonValue(INT64_MAX)), "9223372036854776000");
  EXPECT_EQ(compact(JsonValue(UINT64_MAX)), "18446744073709552000");
  EXPECT_EQ(compact(JsonValue(-42)), "-42");
}

TEST(JsonWriters, CompactAndPrettyLayouts) {
  const JsonValue doc = boost::json::parse(R"({"a":1,"b":[true,null],"c":{},"d":[]})");
  EXPECT_EQ(compact(doc), R"({"a":1,"b":[true,null],"c":{},"d":[]})");
  EXPECT_EQ(pretty(doc),
            "{\n  \"a\": 1,\n  \"b\": [\n    true,\n    null\n  ],\n  \"c\": {},\n  \"d\": []\n}");
  EXPECT_EQ(pretty(boost::json::parse("[]")), "[]");
  EXPECT_EQ(pretty(boost::json::parse(R"([[1],{"k":"v"}])")),
            "[\n  [\n    1\n  ],\n  {\n    \"k\": \"v\"\n  }\n]");
  // Insertion order, not sorted order.
  EXPECT_EQ(compact(boost::json::parse(R"({"z":1,"a":2})")), R"({"z":1,"a":2})");
  std::string nested;
  write_json_pretty(boost::json::parse("[1]"), 2, nested);
  EXPECT_EQ(nested, "[\n      1\n    ]");
}

TEST(JsonWriters, DeepNestingNeedsNoCallStack) {
  JsonValue doc = boost::json::array();
  for (int i = 0; i < 100000; ++i) {
    boost::json::array outer;
    outer.push_back(std::move(doc));
    doc = std::move(outer);
  }
  const std::string text = compact(doc);
  EXPECT_EQ(text.size(), 2 * 100001u);
  EXPECT_EQ(text.substr(0, 3), "[[[");
  // Tear the tree down iteratively: its own destructor recurses.
  while (!doc.as_array().empty()) {
    JsonValue inner = std::move(doc.as_array()[0]);
    doc = std::move(inner);
  }
}

}  // namespace
}  // namespace pelloriand::json
