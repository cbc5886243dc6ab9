#include "tools/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

constexpr const char* PARSE_ERROR = "Could not parse input as JSON, YAML or TOML";

ToolResult run(std::string_view input, const char* target) {
  if (target == nullptr) return format_tool(input, nullptr);
  ToolOptions options{{"target", target}};
  return format_tool(input, &options);
}

struct Row {
  std::string input;
  const char* target;  // nullptr: no options
  std::string expected;
  bool ok = true;
};

void check_rows(const std::vector<Row>& rows) {
  for (const auto& row : rows) {
    const ToolResult result = run(row.input, row.target);
    EXPECT_EQ(result.is_ok(), row.ok) << row.input << " -> " << (row.target ? row.target : "-");
    EXPECT_EQ(result.text(), row.expected)
        << row.input << " -> " << (row.target ? row.target : "-");
  }
}

TEST(Format, ReadersAndTargets) {
  check_rows({
      {R"({"b": 1, "a": [true, null]})", nullptr, "b: 1\na:\n  - true\n  - ~"},
      {R"({"b": 1, "a": [true, null]})", "json",
       "{\n  \"b\": 1,\n  \"a\": [\n    true,\n    null\n  ]\n}"},
      {R"({"a": 1, "a": 2, "b": 3})", "json", "{\n  \"a\": 2,\n  \"b\": 3\n}"},
      {"0.1", "json", "0.1"},
      {"5.806313673e+44", "json", "5.806313673e+44"},  // correctly rounded
      {"18446744073709551615", "yaml", "18446744073709552000"},
      {"a = 1", "json", "\"a = 1\""},
      {"a = 1", "yaml", "a = 1"},
      {"a = 1\nb = 2", "json", "\"a = 1 b = 2\""},
      {"[server]\nport = 8080", "json", "{\n  \"server\": {\n    \"port\": 8080\n  }\n}"},
      {"", "yaml", "{}"},
      {"  \n ", "json", "{}"},
      {"", "toml", ""},
      {"", "csv", "\n"},
      {"1e400", "yaml", "0"},
      {"a: 1\na: 2", "json", PARSE_ERROR, false},
      {"a: 1\n---\nb: 2", "json", "{\n  \"a\": 1\n}"},
      {"a: 1\n---\n[", "json", PARSE_ERROR, false},
      {"a: [1", "yaml", PARSE_ERROR, false},
      {"{", "YAML", PARSE_ERROR, false},
      {"{}", "YAML", "Unknown target: YAML", false},
      {"{}", "", "Unknown target: ", false},
      {"[]", "toml", "TOML output needs an object at the top level", false},
      {"[1, 2]", "csv", "\n\n"},
      {"[]", "csv", "No rows to convert", false},
      {R"([{"a": 1, "b": "x,y"}, {"b": 2, "c": 3}])", "csv", "a,b\n1,\"x,y\"\n,2"},
      {R"({"a": 1})", "csv", "a\n1"},
      {R"([{"a,b": "q\"r", "c": "x\ry"}, 5])", "csv", "\"a,b\",c\n\"q\"\"r\",x\ry\n,"},
      {R"({"a": [1, [2, "a"]], "o": {"x": 1}, "n": null, "u": 12345678901234567890})", "csv",
       "a,o,n,u\n\"1,2,a\",[object Object],,12345678901234567000"},
  });
}

TEST(Format, YamlScalarTyping) {
  check_rows({
      {"x: .inf\ny: 1e999\nz: -.INF", "json", "{\n  \"x\": 0,\n  \"y\": 0,\n  \"z\": 0\n}"},
      {"x: 0x1F", "json", "{\n  \"x\": 31\n}"},
      {"x: 0o17", "json", "{\n  \"x\": 15\n}"},
      {"x: +5", "json", "{\n  \"x\": 5\n}"},
      {"x: -9223372036854775808", "json", "{\n  \"x\": -9223372036854776000\n}"},
      {"x: 9223372036854775808", "json", "{\n  \"x\": 9223372036854776000\n}"},  // a real
      {"[yes, on, Null, NULL, inf, nan, 1.5e3, .5, 1.]", "json",
       "[\n  \"yes\",\n  \"on\",\n  \"Null\",\n  \"NULL\",\n  \"inf\",\n  \"nan\",\n  1500,\n  "
       "0.5,\n  1\n]"},
      {"[~, null, True, FALSE]", "json", "[\n  null,\n  null,\n  true,\n  false\n]"},
      {"x:", "json", "{\n  \"x\": null\n}"},
      {"[!!int abc, !!int 12, !!bool yes, !!float 2, !!null ~, !!str 5, !foo 5, '5', \"t\"]",
       "json",
       "[\n  null,\n  12,\n  null,\n  2,\n  null,\n  \"5\",\n  \"5\",\n  \"5\",\n  \"t\"\n]"},
      // The last line keeps its line break at the end of the input too, as the
      // YAML test suite's reference reads it (case L24T).
      {"x: |\n  5\n  6\ny: >\n  7\n  8", "json",
       "{\n  \"x\": \"5\\n6\\n\",\n  \"y\": \"7 8\\n\"\n}"},
      // An empty block scalar at the end of the input.
      {"- |\n", "json", "[\n  \"\"\n]"},
      {"a: &x [1, 2]\nb: *x\nc: *nope", "json",
       "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": [\n    1,\n    2\n  ],\n  \"c\": null\n}"},
  });
}

TEST(Format, YamlKeys) {
  check_rows({
      // 1 and '1' are different keys with the same text: the second value wins in place.
      {"1: a\nz: b\n'1': c", "json", "{\n  \"1\": \"c\",\n  \"z\": \"b\"\n}"},
      {"0x1F: a\n1.50: b\ntrue: c\n~: d\n!!int x: e", "json",
       "{\n  \"31\": \"a\",\n  \"1.50\": \"b\",\n  \"true\": \"c\",\n  \"null\": \"d\",\n  \"~\": "
       "\"e\"\n}"},
      {"[1, a]: v", "json", "{\n  \"[Integer(1), String(\\\"a\\\")]\": \"v\"\n}"},
      {"? {k: [1.5, null]}\n: v", "json",
       "{\n  \"{String(\\\"k\\\"): Array([Real(\\\"1.5\\\"), Null])}\": \"v\"\n}"},
      {"0x1F: a\n31: b", "json", PARSE_ERROR, false},
      // Anchors inside anchored nodes, and aliases as values and as keys.
      {"a: &x {b: &y [1, {c: 2}], d: *y}\ne: *x\n*y : z", "json",
       "{\n  \"a\": {\n    \"b\": [\n      1,\n      {\n        \"c\": 2\n      }\n    ],\n    "
       "\"d\": [\n      1,\n      {\n        \"c\": 2\n      }\n    ]\n  },\n  \"e\": {\n    "
       "\"b\": [\n      1,\n      {\n        \"c\": 2\n      }\n    ],\n    \"d\": [\n      1,\n"
       "      {\n        \"c\": 2\n      }\n    ]\n  },\n  \"[Integer(1), Hash({String(\\\"c\\\"): "
       "Integer(2)})]\": \"z\"\n}"},
      {"? {k: [&v 1.50, *v]}\n: &z !!str 7\nw: *z", "json",
       "{\n  \"{String(\\\"k\\\"): Array([Real(\\\"1.50\\\"), Real(\\\"1.50\\\")])}\": \"7\",\n"
       "  \"w\": \"7\"\n}"},
      {"&k [1, a]: v\n? *k\n: w", "json", PARSE_ERROR, false},
      {"a: 1\n---\n&q [x]: *q\n---\n[{x: 1, x: 2}]", "json", PARSE_ERROR, false},
  });
  format::YamlNode key;
  key.kind = format::YamlNode::Kind::Array;
  key.items.push_back({format::YamlNode::Kind::String, false, 0, "q\"\\\n\x01", {}});
  EXPECT_EQ(format::yaml_key_text(key), R"([String("q\"\\\n\u{1}")])");
  // The C1 controls are control characters as well.
  key.items[0].text = "a\u0085b\u009f\u00a0";
  EXPECT_EQ(format::yaml_key_text(key), "[String(\"a\\u{85}b\\u{9f}\u00a0\")]");
}

TEST(Format, TomlReading) {
  check_rows({
      {"[t]\nx = inf\ny = nan\nz = -1\n[u]\nf = 1.5", "json",
       "{\n  \"t\": {\n    \"x\": null,\n    \"y\": null,\n    \"z\": -1\n  },\n  \"u\": {\n    "
       "\"f\": 1.5\n  }\n}"},
      {"[s]\nd = 1979-05-27 07:32:00Z\ne = 1979-05-27T07:32:00+00:00\nf = "
       "1979-05-27T00:32:00.999999-07:00"
       "\ng = 1979-05-27\nh = 07:32:00.500\ni = 1979-05-27T07:32:00",
       "json",
       "{\n  \"s\": {\n    \"d\": \"1979-05-27T07:32:00Z\",\n    \"e\": "
       "\"1979-05-27T07:32:00+00:00\",\n"
       "    \"f\": \"1979-05-27T00:32:00.999999-07:00\",\n    \"g\": \"1979-05-27\",\n"
       "    \"h\": \"07:32:00.5\",\n    \"i\": \"1979-05-27T07:32:00\"\n  }\n}"},
      {"[a.b]\nc = 1\n[z]\ny = 2\n[a]\nx = 3", "json",
       "{\n  \"a\": {\n    \"b\": {\n      \"c\": 1\n    },\n    \"x\": 3\n  },\n  \"z\": {\n    "
       "\"y\": 2\n  }\n}"},
      {"[[p]]\nn = 1\n[[p]]\nn = 2", "json",
       "{\n  \"p\": [\n    {\n      \"n\": 1\n    },\n    {\n      \"n\": 2\n    }\n  ]\n}"},
      {"\xEF\xBB\xBF[t]\nzz = { b = 1, a = [2, 3] }\naa.y = 'x'", "json",
       "{\n  \"t\": {\n    \"zz\": {\n      \"b\": 1,\n      \"a\": [\n        2,\n        3\n     "
       " ]\n    },\n"
       "    \"aa\": {\n      \"y\": \"x\"\n    }\n  }\n}"},
      {"[t]\na = 1\na = 2", "json", PARSE_ERROR, false},
      // A zero offset keeps the sign it was written with.
      {"[a]\nb = 1979-05-27T07:32:00-00:00\nc = [1979-05-27 07:32:00.5-00:00, "
       "1979-05-27t07:32:00z, 1979-05-27T07:32:00+00:00, 1979-05-27T07:32:00-00:30]",
       "json",
       "{\n  \"a\": {\n    \"b\": \"1979-05-27T07:32:00-00:00\",\n    \"c\": [\n"
       "      \"1979-05-27T07:32:00.5-00:00\",\n      \"1979-05-27T07:32:00Z\",\n"
       "      \"1979-05-27T07:32:00+00:00\",\n      \"1979-05-27T07:32:00-00:30\"\n    ]\n  }\n}"},
  });
}

// TOML written by the tool is often also a YAML plain scalar (YAML is tried
// first), so the TOML half reads the text back with the TOML reader itself.
std::string json_via_toml(const std::string& toml_text) {
  const auto value = format::read_toml(toml_text);
  if (!value) return "unreadable TOML";
  std::string out;
  json::write_json_pretty(*value, 0, out);
  return out;
}

// The YAML reader keeps the first line's indentation and the last line break;
// the JSON and TOML readers still get the trimmed text.
TEST(Format, YamlSeesIndentationAndTheLastLineBreak) {
  check_rows({
      {"  - a\n  - b", "json", "[\n  \"a\",\n  \"b\"\n]"},
      {"\n \t\n  a: 1\n  b: 2\n", "json", "{\n  \"a\": 1,\n  \"b\": 2\n}"},
      {"steps:\n  - run: |\n      make test\n", "json",
       "{\n  \"steps\": [\n    {\n      \"run\": \"make test\\n\"\n    }\n  ]\n}"},
      // Clip chomping keeps one line break however many blank lines follow.
      {"x: |\r\n  a  \r\n\r\n \u3000\n", "json", "{\n  \"x\": \"a  \\n\"\n}"},
      {"x: >\n  a\n  b\n", "json", "{\n  \"x\": \"a b\\n\"\n}"},
      {"\u3000 [1]\n\t", "json", "[\n  1\n]"},
      {"\n  [t]\n  x = 1\n", "json", "{\n  \"t\": {\n    \"x\": 1\n  }\n}"},
      {"a = 1\n", "json", "\"a = 1\""},
  });
}

// Quoted scalars: '' in runs and beside other text, escapes, folding of line
// breaks and the blanks around them, escaped line breaks before and after
// blank lines, CRLF line ends. Runs of '' once came back with a quote in the
// next character's place, and the last case lost its last byte.
TEST(Format, YamlQuotedScalars) {
  check_rows({
      {"['a''''b', '''''''''''', 'it''s', 'x''''''''y''z']", "json",
       "[\n  \"a''b\",\n  \"'''''\",\n  \"it's\",\n  \"x''''y'z\"\n]"},
      {"k: 'one\n  two  \n\n   three\n\n\n four '", "json",
       "{\n  \"k\": \"one two\\nthree\\n\\nfour \"\n}"},
      {"- 'a \t\r\n \t b'\r\n- 'c\r\n\r\n  '", "json", "[\n  \"a b\",\n  \"c\\n\"\n]"},
      {"'''''''': 'é''''ж'", "json", "{\n  \"'''\": \"é''ж\"\n}"},
      {R"(["\x41\u00e9\U0001F600\ud83d\ude00\N\_\L\P\e\/\ \"\\\t\	|"])", "json",
       "[\n  \"Aé😀😀\u0085\u00a0\u2028\u2029\\u001b/ \\\"\\\\\\t\\t|\"\n]"},
      {"[\"a \\t\\\n   b\", \"x\n\n\\\n\n  y \"]", "json", "[\n  \"a \\tb\",\n  \"x\\n\\ny \"\n]"},
      {"[\"d\\\nua\nin\n\n*\n\n\n\\\n\n\nu\\uffaf\"]", "json",
       "[\n  \"dua in\\n*\\n\\n\\n\\nu\uffaf\"\n]"},
  });
}

// YAML 1.2 as real documents write it, which a YAML 1.1 reader refuses or
// misreads: an anchor may hold ":", a tab may separate, "?x" in a flow
// sequence is a plain scalar; and a comment needs a space before it.
TEST(Format, YamlOnePointTwo) {
  check_rows({
      {"attributes:\n  - &first\n    name: a\n  - &second:\n    name: b", "json",
       "{\n  \"attributes\": [\n    {\n      \"name\": \"a\"\n    },\n    {\n      \"name\": "
       "\"b\"\n    }\n  ]\n}"},
      {"[?x]", "json", "[\n  \"?x\"\n]"},
      {"foo: 1\n\t\nbar: 2", "json", "{\n  \"foo\": 1,\n  \"bar\": 2\n}"},
      {"- a\n-\tb", "json", "[\n  \"a\",\n  \"b\"\n]"},
      {"---\nscalar1\n...\nkey: value", "json", "\"scalar1\""},
      {"key: \"value\"# invalid comment", "json", PARSE_ERROR, false},
  });
}

// Nesting the pre-scan must not over-count, and floats longer than toml++
// reads: the writer prints every double positionally (5e-324 takes 326
// characters), and each must read back.
TEST(Format, TomlReadsWhatItWrites) {
  std::string empty_tables = "[t]\n";
  for (int i = 0; i < 300; ++i) empty_tables += "k" + std::to_string(i) + " = {}\n";
  empty_tables += "a = [" + std::string(300, ' ') + "{}, [{}], {}]";
  EXPECT_TRUE(format::read_toml(empty_tables).has_value());
  for (double d :
       {5e-324, 1e-127, 2.2250738585072014e-308, -1.7976931348623157e308, 1e128, 0.1 + 0.2}) {
    std::string input = "{\"x\": [";
    number::append_shortest(input, d);
    input += "]}";
    const ToolResult toml = run(input, "toml");
    ASSERT_TRUE(toml.is_ok()) << input;
    EXPECT_EQ(json_via_toml(toml.text()), run(input, "json").text()) << toml.text();
  }
  const std::string zeros(126, '0');
  check_rows({
      {"[t]\nx = 0." + zeros + "1", "json", "{\n  \"t\": {\n    \"x\": 1e-127\n  }\n}"},
      {"[t]\nx = -1_0." + zeros + "5e-3_0", "json", "{\n  \"t\": {\n    \"x\": -1e-29\n  }\n}"},
      // Long numbers TOML refuses stay refused, and keys are never numbers.
      {"[t]\nx = 00." + zeros + "1", "json", PARSE_ERROR, false},
      {"[t]\nx = 1__0." + zeros, "json", PARSE_ERROR, false},
      {"[t]\nx = 1" + zeros + "1", "json", PARSE_ERROR, false},
      {"[t]\n0." + zeros + "1 = 1", "json",
       "{\n  \"t\": {\n    \"0\": {\n      \"" + zeros + "1\": 1\n    }\n  }\n}"},
  });
}

TEST(Format, YamlWritesLongKeysExplicitly) {
  const std::string long_key(1025, 'k');
  const std::string quoted_key = std::string(1023, 'q') + ":";  // 1,025 characters written
  check_rows({
      {"{\"" + std::string(1024, 'k') + "\": 1}", "yaml", std::string(1024, 'k') + ": 1"},
      {"{\"" + long_key + "\": 1, \"b\": [2]}", "yaml", "? " + long_key + "\n: 1\nb:\n  - 2"},
      {"{\"a\": {\"" + quoted_key + "\": {\"c\": [1, 2]}, \"d\": {}}}", "yaml",
       "a:\n  ? \"" + quoted_key + "\"\n  : c:\n      - 1\n      - 2\n  d: {}"},
  });
  for (const std::string& doc : {"{\"" + long_key + "\": {\"x\": [1, {\"" + long_key + "\": 2}]}}",
                                 "[{\"" + quoted_key + "\": [[3]]}]"}) {
    EXPECT_EQ(run(run(doc, "yaml").text(), "json").text(), run(doc, "json").text());
  }
}

TEST(Format, YamlWriter) {
  check_rows({
      {R"({"b": 1, "a": [true, null, {"c": "x", "d": []}], "e": {}})", "yaml",
       "b: 1\na:\n  - true\n  - ~\n  - c: x\n    d: []\ne: {}"},
      {"[[1, 2], [3]]", "yaml", "- - 1\n  - 2\n- - 3"},
      {R"(["yes", "1.5", "-x", "a: b", "", " a", "héllo", "x-1", "line1\nline2", "12", "+.5e3",
          "-Infinity", "NaN", ".x", "0x", "a#", "it's", "%", "b\u0007", "\u0001\u001b\u007f",
          "Yes please", "~", "n", "1_000"])",
       "yaml",
       "- \"yes\"\n- \"1.5\"\n- \"-x\"\n- \"a: b\"\n- \"\"\n- \" a\"\n- héllo\n- x-1\n- "
       "\"line1\\nline2\"\n"
       "- \"12\"\n- \"+.5e3\"\n- \"-Infinity\"\n- \"NaN\"\n- \".x\"\n- \"0x\"\n- \"a#\"\n- "
       "\"it's\"\n"
       "- \"%\"\n- \"b\\u0007\"\n- \"\\u0001\\u001b\\u007f\"\n- Yes please\n- \"~\"\n- \"n\"\n- "
       "1_000"},
      {R"({"k y": {"": 2.0, "q": 1e21}})", "yaml", "k y:\n  \"\": 2\n  q: 1e+21"},
      {R"(["0o17", "++1", "+.inf", "0o", "+x", "0.5.1"])", "yaml",
       "- \"0o17\"\n- \"++1\"\n- \"+.inf\"\n- 0o\n- +x\n- 0.5.1"},
      {R"("hello")", "yaml", "hello"},
      {"5", "yaml", "5"},
      {"null", "yaml", "~"},
      {"[]", "yaml", "[]"},
      {"{}", "yaml", "{}"},
      {R"("tail  \n ")", "yaml", "\"tail  \\n \""},
  });
}

TEST(Format, TomlWriter) {
  check_rows({
      {R"({"port": 8080, "tags": [1, 2], "db": {"ssl": false, "n": 1.5, "m": {}}, "z": 2.0})",
       "toml", "port = 8080\ntags = [1, 2]\ndb = { ssl = false, n = 1.5, m = {} }\nz = 2.0"},
      {R"({"name": "x", "path": "C:\\tmp", "e": [], "f": [1e21, 1e-7, -0.0, 0.0, -2.5e-3]})",
       "toml",
       "name = \"x\"\npath = 'C:\\tmp'\ne = []\nf = [1000000000000000000000.0, 0.0000001, -0.0, "
       "0.0, -0.0025]"},
      {R"({"k e y": 1, "": 2, "a\\b": 3, "a\\'\"": 4, "t\tb": 5, "c\u0001": 6})", "toml",
       "\"k e y\" = 1\n\"\" = 2\n'a\\b' = 3\n\"a\\\\'\\\"\" = 4\n\"t\tb\" = 5\n\"c\\u0001\" = 6"},
      {R"(["it's", "say \"hi\"", "a\nb", "it's \"x\"\nq", "a\\b'\nc", "x\\'''\"\"\"\ny",
          "x\\'\"", "bell\u0007", "t\tab"])",
       "json-unused", "Unknown target: json-unused", false},
      {R"({"a": "it's", "b": "say \"hi\"", "c": "a\nb", "d": "it's \"x\"\nq", "e": "a\\b'\nc",
          "f": "x\\'''\"\"\"\"\ny", "g": "x\\'\"", "h": "bell\u0007", "i": "t\tab"})",
       "toml",
       "a = \"it's\"\nb = 'say \"hi\"'\nc = \"\"\"\na\nb\"\"\"\nd = \"\"\"\nit's \"x\"\nq\"\"\"\n"
       "e = '''\na\\b'\nc'''\nf = \"\"\"\nx\\\\'''\"\"\\\"\"\ny\"\"\"\ng = '''x\\'\"'''\n"
       "h = \"bell\\u0007\"\ni = \"t\tab\""},
      {R"({"a": null})", "toml", "unsupported unit type", false},
      {R"({"a": {"b": [1, null]}})", "toml", "unsupported unit type", false},
      {R"({"n": 18446744073709551615})", "toml", "out-of-range value for u64 type", false},
      {R"({"n": 9223372036854775807, "m": -9223372036854775808})", "toml",
       "n = 9223372036854775807\nm = -9223372036854775808"},
  });
}

// Random JSON documents whose keys and strings draw on all of Unicode, with
// extra weight on what YAML gives a meaning to: white space, controls, line
// breaks, indicators, and words the YAML reader would type as numbers, booleans
// or null.
using json::JsonValue;

class RandomDocuments {
 public:
  // `nulls` false leaves nulls out, for TOML, which has none.
  explicit RandomDocuments(std::uint64_t seed, bool nulls = true) : random_(seed), nulls_(nulls) {}

  JsonValue document() { return value(0); }

  JsonValue object_document() {
    boost::json::object o;
    for (auto n = below(6); n > 0; --n) o.emplace(text(), value(1));
    return o;
  }

 private:
  std::uint64_t below(std::uint64_t n) { return random_() % n; }

  char32_t code_point() {
    static constexpr char32_t SPECIAL[] = {
        0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680, 0x2000,  0x2007,
        0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0x00,   0x01,   0x07,   0x08,    0x1B,
        0x1F,   0x7F,   0x80,   0x84,   0x9F,   0xFEFF, 0xFFFD, 0xFFFE, 0xFFFF, 0x10FFFF};
    switch (below(4)) {
      case 0: {
        const auto c = static_cast<char32_t>(below(0x110000 - 0x800));
        return c < 0xD800 ? c : c + 0x800;  // every scalar value, no surrogates
      }
      case 1:
        return SPECIAL[below(std::size(SPECIAL))];
      case 2:
        return static_cast<char32_t>(0x20 + below(0x5F));  // printable ASCII
      default:
        return static_cast<char32_t>(0xA0 + below(0x3000));
    }
  }

  std::string text() {
    static constexpr const char* WORDS[] = {
        "5",    "-3",  "+5",  "1.5", ".5",   "1e3",  "0x1F",  "0o17", "true", "False",
        "null", "~",   "yes", "off", "y",    ".inf", "-.Inf", ".nan", "nan",  "Inf",
        "-",    "---", "...", "? a", "a: b", "#c",   "'",     "\"",   "@x",   "%x",
        "&a",   "*a",  "!t",  "|",   "> x",  "[",    "{}",    ",",    "\\",   "`"};
    std::string s;
    for (auto pieces = below(4); pieces > 0; --pieces) {
      if (below(3) == 0) {
        s += WORDS[below(std::size(WORDS))];
      } else {
        for (auto n = 1 + below(4); n > 0; --n) text::append_utf8(s, code_point());
      }
    }
    return s;
  }

  JsonValue scalar() {
    switch (below(6)) {
      case 0:
        return static_cast<std::int64_t>(below(2000000000000)) - 1000000000000;
      case 1:
        return static_cast<double>(below(2000000)) / 64 + 1.0 / 128;  // never integral
      case 2:
        return below(2) == 1;
      case 3:
        if (nulls_) return nullptr;
        return JsonValue(text());
      default:
        return JsonValue(text());
    }
  }

  JsonValue value(int depth) {
    const auto pick = below(4);
    if (depth >= 3 || pick == 0) return scalar();
    if (pick == 1) {
      boost::json::array a;
      for (auto n = below(5); n > 0; --n) a.push_back(value(depth + 1));
      return a;
    }
    boost::json::object o;
    for (auto n = below(5); n > 0; --n) o.emplace(text(), value(depth + 1));
    return o;
  }

  std::mt19937_64 random_;
  bool nulls_;
};

TEST(Format, YamlOutputReadsBackToTheSameData) {
  RandomDocuments random(20261210);
  int failures = 0;
  std::string first_failure;
  for (int i = 0; i < 3000; ++i) {
    const JsonValue document = random.document();
    std::string input;
    json::write_json_compact(document, input);
    std::string expected;
    json::write_json_pretty(document, 0, expected);
    const ToolResult yaml = run(input, "yaml");
    const ToolResult back = run(yaml.text(), "json");
    if (yaml.is_ok() && back.text() == expected) continue;
    if (failures++ == 0) first_failure = input + "\nbecame\n" + yaml.text();
  }
  EXPECT_EQ(failures, 0) << "first: " << first_failure;
}

// JSON -> TOML -> JSON and YAML -> JSON -> YAML on random documents: the TOML
// the tool writes reads back to the same data, and YAML it writes reads to
// JSON that it writes as the same YAML again.
TEST(Format, TomlAndYamlRoundTripsOnRandomDocuments) {
  RandomDocuments without_nulls(20261211, false);
  RandomDocuments random(20261212);
  int failures = 0;
  std::string first_failure;
  for (int i = 0; i < 2000; ++i) {
    std::string input, expected;
    const JsonValue object = without_nulls.object_document();
    json::write_json_compact(object, input);
    json::write_json_pretty(object, 0, expected);
    const ToolResult toml = run(input, "toml");
    if (!toml.is_ok() || json_via_toml(toml.text()) != expected) {
      if (failures++ == 0) first_failure = input + "\nbecame TOML\n" + toml.text();
    }
    input.clear();
    json::write_json_compact(random.document(), input);
    const ToolResult yaml = run(input, "yaml");
    const ToolResult again = run(run(yaml.text(), "json").text(), "yaml");
    if (!yaml.is_ok() || again.text() != yaml.text()) {
      if (failures++ == 0) first_failure = yaml.text() + "\nbecame YAML\n" + again.text();
    }
  }
  EXPECT_EQ(failures, 0) << "first: " << first_failure;
}

TEST(Format, YamlQuotesWhatWouldNotReadBack) {
  check_rows({
      // Trimmed away at the end of the output, or by the reader from its input.
      {R"({"m": "5\u3000"})", "yaml", "m: \"5\u3000\""},
      {R"({"v": "\u00a0"})", "yaml", "v: \"\u00a0\""},
      {R"("\u2003x")", "yaml", "\"\u2003x\""},
      {R"({"\ufeffk": 1})", "yaml", "\"\ufeffk\": 1"},
      // Controls the reader refuses raw: quoted, then escaped as before.
      {R"({"k": "\u0007\u0008\u000b\u000c\u001b\u007f"})", "yaml",
       R"(k: "\u0007\b\u000b\f\u001b\u007f")"},
      // Line breaks to the reader even inside quotes, and characters it refuses
      // anywhere: escaped.
      {R"(["a\u0085b", "a \u2028 b", "\u2029", "x\u0080\u009f", "\ufffe\uffff"])", "yaml",
       R"(- "a\u0085b")"
       "\n"
       R"(- "a \u2028 b")"
       "\n"
       R"(- "\u2029")"
       "\n"
       R"(- "x\u0080\u009f")"
       "\n"
       R"(- "\ufffe\uffff")"},
      // Inside, other Unicode space and non-ASCII text stay plain.
      {R"(["a\u3000b", "\u00e9\ufeff"])", "yaml", "- a\u3000b\n- \u00e9\ufeff"},
  });
}

TEST(Format, RoundTrips) {
  const std::vector<std::string> documents = {
      R"({"name": "x", "list": [1, -2, 3.25, "4", true], "nested": {"a": {"b": [[], {}, [1, [2]]]}}})",
      R"({"strings": ["yes", "", " lead", "a: b", "q\"uote", "back\\slash", "tab\there", "nl\nx", "é😀", "0x10", "-", "#", "it's", "x\\'''\"\"\"\ny", "a\u0001b", "\"q\""]})",
      R"({"rows": [{"id": 1, "tags": ["a", "b"]}, {"id": 2, "deep": {"x": {"y": {"z": 1e-7}}}}], "f": [2.0, 0.1, 1e21, 1.5e-10, -0.0]})",
      R"({"weird keys": {"": 1, "a.b": 2, "k: v": 3, "- x": 4, "true": 5, "1": 6, "it's \"q\"": 7, "c\u0001": 8}})",
  };
  for (const auto& doc : documents) {
    const std::string json = run(doc, "json").text();
    const ToolResult yaml = run(doc, "yaml");
    ASSERT_TRUE(yaml.is_ok()) << doc;
    EXPECT_EQ(run(yaml.text(), "json").text(), json) << yaml.text();
    const ToolResult toml = run(doc, "toml");
    ASSERT_TRUE(toml.is_ok()) << doc;
    EXPECT_EQ(json_via_toml(toml.text()), json) << toml.text();
  }
  // YAML keeps nulls, which TOML cannot hold.
  const std::string with_null = R"([null, {"a": null, "b": [null]}])";
  EXPECT_EQ(run(run(with_null, "yaml").text(), "json").text(), run(with_null, "json").text());
}

TEST(Format, HostileInputIsRefused) {
  std::string bomb = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  for (char c = 'b'; c <= 'z'; ++c) {
    bomb += std::string(1, c) + ": &" + c + " [";
    for (int i = 0; i < 10; ++i) bomb += std::string(i ? ", *" : "*") + static_cast<char>(c - 1);
    bomb += "]\n";
  }
  const std::size_t depth = 100000;
  auto dotted = [&] {
    std::string s = "a";
    for (std::size_t i = 0; i < depth; ++i) s += ".a";
    return s;
  };
  std::string block;  // block mappings nested 2000 deep
  for (std::size_t i = 0; i < 2000; ++i) block += std::string(i, ' ') + "a:\n";
  // An error on lines wider than a terminal once sent libfyaml outside the
  // input as it drew the line for a message nobody reads.
  const std::string tabs = "{" + std::string(40, '\t') + "}4\n" + std::string(89, '\t') + "\n}";
  // A tab before an indicator after an explicit key once crashed libfyaml as
  // its parser was destroyed.
  const std::string tab_after_key = "? a:\t: b";
  for (const std::string& input : {bomb, std::string(depth, '[') + std::string(depth, ']') + "x",
                                   block, "k: " + std::string(depth, '{') + std::string(depth, '}'),
                                   tabs, tab_after_key, std::string("k:\n  ?\n    a:\t: b")}) {
    EXPECT_TRUE(run(input, "json").text() == PARSE_ERROR) << input.substr(0, 60);
  }
  for (const std::string& input :
       {"[" + dotted() + "]\nx = 1", "[t]\nx = {" + dotted() + " = 1}", dotted() + " = 1",
        "[t]\nx = " + std::string(depth, '[') + std::string(depth, ']'),
        "[" + dotted() + "]\nx = ", "[t]\nx = [{a = [{" + dotted() + " = 1}]}]"}) {
    EXPECT_FALSE(format::read_toml(input).has_value()) << input.substr(0, 60);
  }
  // Every line of the indented layouts is indented: 300,000 numbers 127 deep
  // would print some 76 MB from a 600 KB input.
  std::string wide_deep = std::string(126, '[');
  for (int i = 0; i < 300000; ++i) wide_deep += "1,";
  wide_deep += "1" + std::string(126, ']');
  for (const char* target : {"json", "yaml"}) {
    EXPECT_EQ(run(wide_deep, target).text(), "Output too large") << target;
  }
  EXPECT_TRUE(run(wide_deep, "csv").is_ok());
  // Nesting within the bound is read, and strings and floats do not count as depth.
  EXPECT_TRUE(run(std::string(200, '[') + std::string(200, ']') + " #", "json").is_ok());
  std::string wide = "[t]\nx = [";
  for (int i = 0; i < 5000; ++i) wide += "1.5, \"a.b.c\", ";
  EXPECT_TRUE(format::read_toml(wide + "2]\n\"q.r.s\".t = 1").has_value());
  std::string deep = "[t]\nx = ";
  for (int i = 0; i < 80; ++i) deep += "{ a.b = ";
  EXPECT_TRUE(format::read_toml(deep + "1" + std::string(80, '}')).has_value());
}

TEST(Format, LargeDocumentConverts) {
  std::string doc = "[";
  while (doc.size() < (std::size_t{2} << 20) - 200) {
    if (doc.size() > 1) doc += ",";
    doc += R"({"id": 12345, "name": "item name", "tags": ["a", "b"], "v": 1.25, "ok": true})";
  }
  doc += "]";
  std::string yaml, json;
  for (const char* target : {"yaml", "json", "csv"}) {
    const ToolResult result = run(doc, target);
    ASSERT_TRUE(result.is_ok()) << target;
    if (std::string_view(target) == "yaml") yaml = result.text();
    if (std::string_view(target) == "json") json = result.text();
  }
  EXPECT_EQ(run(yaml, "json").text(), json);  // the same document, read back as YAML
}

}  // namespace
}  // namespace pelloriand::tools
