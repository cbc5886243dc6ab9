// The HTTP layer's pure parts: the request reader's messages and positions,
// the port parser, the durationMs text, the content-type check, the router,
// the log filter directives and the log line layout.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "log.h"
#include "request.h"
#include "service.h"

using namespace pelloriand;
using namespace pelloriand::server;

namespace {

struct ReaderRow {
  std::string body;
  int status;  // 0: accepted
  std::string detail;
};

TEST(RequestReader, RejectionTextsAndPositions) {
  const std::vector<ReaderRow> rows = {
      {"", 400, "EOF while parsing a value at line 1 column 0"},
      {"  \n ", 400, "EOF while parsing a value at line 2 column 1"},
      {"x", 400, "expected value at line 1 column 1"},
      {"nul", 400, "EOF while parsing a value at line 1 column 3"},
      {"5", 422, "invalid type: integer `5`, expected struct ConversionRequest at line 1 column 1"},
      {"-1.5e1", 422,
       "invalid type: floating point `-15.0`, expected struct ConversionRequest at line 1 column "
       "6"},
      {"\"a\\nb\"", 422,
       "invalid type: string \"a\\nb\", expected struct ConversionRequest at line 1 column 6"},
      {"null", 422, "invalid type: null, expected struct ConversionRequest at line 1 column 4"},
      {R"({"tool":"a"})", 422, "missing field `input` at line 1 column 12"},
      {R"({"input":"a"})", 422, "missing field `tool` at line 1 column 13"},
      {R"({"Tool":"a","input":"b"})", 422, "missing field `tool` at line 1 column 24"},
      {R"({"tool":"a","tool":"b"})", 422, "duplicate field `tool` at line 1 column 18"},
      {R"({"tool":5,"input":"b"})", 422,
       "tool: invalid type: integer `5`, expected a string at line 1 column 9"},
      {R"({"tool":"a","input":true})", 422,
       "input: invalid type: boolean `true`, expected a string at line 1 column 24"},
      {R"({"tool":"a","input":"b","options":{"target":5}})", 422,
       "options.target: invalid type: integer `5`, expected a string at line 1 column 45"},
      {R"({"tool":"a","input":"b","options":[]})", 422,
       "options: invalid type: sequence, expected a map at line 1 column 34"},
      {R"({"tool":"a","input":"b"} x)", 400, "trailing characters at line 1 column 26"},
      {R"({"tool":"a","input":"b",})", 400, "trailing comma at line 1 column 25"},
      {R"({"tool":"a" "input":"b"})", 400, "expected `,` or `}` at line 1 column 13"},
      {R"({"tool" "a"})", 400, "expected `:` at line 1 column 9"},
      {R"({"tool":"a)", 400, "tool: EOF while parsing a string at line 1 column 10"},
      {R"({"tool":"\q","input":""})", 400, "tool: invalid escape at line 1 column 11"},
      {R"({"tool":"\ud800","input":""})", 400,
       "tool: unexpected end of hex escape at line 1 column 16"},
      {R"({"tool":"\udc00","input":""})", 400,
       "tool: lone leading surrogate in hex escape at line 1 column 15"},
      {"{\"tool\":\"\xff\",\"input\":\"\"}", 400,
       "tool: invalid unicode code point at line 1 column 11"},
      {"{\"tool\":\"\x01\",\"input\":\"\"}", 400,
       "tool: control character (\\u0000-\\u001F) found while parsing a string at line 1 column "
       "10"},
      {R"({"x":[1,{"y":}],"tool":"a","input":"b"})", 400, "x: expected value at line 1 column 14"},
      {R"({"tool":1e999,"input":""})", 400, "tool: number out of range at line 1 column 13"},
      {R"(["a"])", 422,
       "invalid length 1, expected struct ConversionRequest with 3 elements at line 1 column 5"},
      {R"([])", 422,
       "invalid length 0, expected struct ConversionRequest with 3 elements at line 1 column 2"},
      {R"(["a","b",null,1])", 400, "trailing characters at line 1 column 15"},
      {R"(["a",2])", 422, "[1]: invalid type: integer `2`, expected a string at line 1 column 6"},
      // Accepted shapes: skipped keys of any type, escapes, positional form.
      {R"({"x":{"a":[1,2.5e3,{"b":null}],"c":"\u00e9"},"tool":"t\u00e9","input":"b"})", 0, ""},
      {R"(["a","b"])", 0, ""},
      {R"(["a","b",{"target":"c"}])", 0, ""},
  };
  for (const ReaderRow& row : rows) {
    ConversionRequest request;
    std::optional<RequestError> error = read_conversion_request(row.body, request);
    if (row.status == 0) {
      EXPECT_FALSE(error) << row.body << " -> " << error->detail;
    } else {
      ASSERT_TRUE(error) << row.body;
      EXPECT_EQ(error->status, row.status) << row.body;
      EXPECT_EQ(error->detail, row.detail) << row.body;
    }
  }
}

TEST(RequestReader, FieldValues) {
  ConversionRequest r;
  ASSERT_FALSE(read_conversion_request(
      R"({"tool":"t\ud83d\ude00","input":"a\"b","options":{"k":"1","k":"2"}})", r));
  EXPECT_EQ(r.tool, "t\xf0\x9f\x98\x80");
  EXPECT_EQ(r.input, "a\"b");
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->at("k"), "2");  // a repeated option keeps its last value

  ASSERT_FALSE(read_conversion_request(R"({"tool":"a","input":"b","options":null})", r));
  EXPECT_FALSE(r.options);
  ASSERT_FALSE(read_conversion_request(R"({"tool":"a","input":"b","options":{}})", r));
  ASSERT_TRUE(r.options);
  EXPECT_TRUE(r.options->empty());
  ASSERT_FALSE(read_conversion_request(R"(["a","b",null])", r));
  EXPECT_FALSE(r.options);
}

TEST(RequestReader, DeepSkippedValueIsNoProblem) {
  std::string body =
      R"({"tool":"a","input":"b","x":)" + std::string(500000, '[') + std::string(500000, ']') + "}";
  ConversionRequest r;
  EXPECT_FALSE(read_conversion_request(body, r));
}

TEST(PortParser, KindsAndValues) {
  struct Row {
    std::string text;
    int port;  // -1: error
    std::string kind;
  };
  const std::vector<Row> rows = {
      {"8787", 8787, ""},
      {"+8080", 8080, ""},
      {"08080", 8080, ""},
      {"0", 0, ""},
      {"65535", 65535, ""},
      {"", -1, "Empty"},
      {"+", -1, "InvalidDigit"},
      {"-", -1, "InvalidDigit"},
      {" 8080", -1, "InvalidDigit"},
      {"8080 ", -1, "InvalidDigit"},
      {"-1", -1, "InvalidDigit"},
      {"++1", -1, "InvalidDigit"},
      {"8o8o", -1, "InvalidDigit"},
      {"65536", -1, "PosOverflow"},
      {"99999999999999999999", -1, "PosOverflow"},
  };
  for (const Row& row : rows) {
    text::UnsignedError error{};
    std::optional<std::uint16_t> port = parse_port(row.text, error);
    if (row.port >= 0) {
      ASSERT_TRUE(port) << row.text;
      EXPECT_EQ(*port, row.port) << row.text;
    } else {
      ASSERT_FALSE(port) << row.text;
      EXPECT_EQ(port_error_kind(error), row.kind) << row.text;
    }
  }
}

TEST(DurationText, PlainAndExponentForms) {
  const std::vector<std::pair<double, std::string>> rows = {
      {0.0, "0.0"},
      {0.0312, "0.0312"},
      {12.0, "12.0"},
      {0.00001, "0.00001"},
      {1e-6, "1e-6"},
      {2.5e-7, "2.5e-7"},
      {1e16, "1e+16"},
      {1e15, "1000000000000000.0"},
      {123.456, "123.456"},
      {1.5e17, "1.5e+17"},
      {std::numeric_limits<double>::infinity(), "null"},
  };
  for (const auto& [value, text] : rows) {
    std::string out;
    append_duration_ms(out, value);
    EXPECT_EQ(out, text) << value;
  }
}

TEST(ContentType, JsonTypesOnly) {
  const std::vector<std::pair<std::string, bool>> rows = {
      {"application/json", true},
      {"application/json; charset=utf-8", true},
      {"Application/JSON", true},
      {"application/problem+json", true},
      {"application/json;charset=\"utf-8\"", true},
      {"text/plain", false},
      {"application/x-www-form-urlencoded", false},
      {"application/jsonx", false},
      {"application/json+xml", false},
      {"json", false},
      {"application/", false},
      {"application/json; charset", false},
      {"application/json\x01", false},
      {"application/js\xc3\xa9on", false},
  };
  for (const auto& [value, ok] : rows) EXPECT_EQ(is_json_content_type(value), ok) << value;
}

TEST(ConvertAdmission, TypeThenLengthThenContinue) {
  const std::string_view json = "application/json";
  struct Row {
    ConvertHead head;
    int status;
    bool send_continue;
  };
  const std::vector<Row> rows = {
      {{json, 10, false, false}, 0, false},
      {{json, std::nullopt, false, false}, 0, false},  // chunked
      {{json, BODY_LIMIT, true, false}, 0, true},
      {{json, 0, true, true}, 0, false},  // nothing to wait for
      {{json, BODY_LIMIT + 1, true, false}, 413, false},
      {{std::nullopt, 10, true, false}, 415, false},
      {{"text/plain", BODY_LIMIT + 1, true, false}, 415, false},  // type first
  };
  for (const Row& row : rows) {
    const Admission a = admit_convert(row.head);
    EXPECT_EQ(a.status, row.status) << row.head.content_type.value_or("(none)");
    EXPECT_EQ(a.send_continue, row.send_continue) << row.status;
    EXPECT_EQ(a.reason, row.status == 415   ? REJECT_CONTENT_TYPE
                        : row.status == 413 ? REJECT_TOO_LARGE
                                            : std::string_view());
  }
}

TEST(Router, RoutesMethodsAndAllow) {
  struct Row {
    std::string method, target;
    Route route;
    std::string allow;
  };
  const std::vector<Row> rows = {
      {"GET", "/", Route::index, "GET,HEAD"},
      {"HEAD", "/v1/tools", Route::tools, "GET,HEAD"},
      {"GET", "/v1/tools?x=1", Route::tools, "GET,HEAD"},
      {"POST", "/v1/convert", Route::convert, "POST"},
      {"POST", "/", Route::method_not_allowed, "GET,HEAD"},
      {"DELETE", "/v1/tools", Route::method_not_allowed, "GET,HEAD"},
      {"GET", "/v1/convert", Route::method_not_allowed, "POST"},
      {"HEAD", "/v1/convert", Route::method_not_allowed, "POST"},
      {"GET", "/v1/tools/", Route::not_found, ""},
      {"GET", "/V1/tools", Route::not_found, ""},
      {"OPTIONS", "/nope", Route::options, ""},
      {"OPTIONS", "/v1/convert", Route::options, "POST"},
  };
  for (const Row& row : rows) {
    Routed r = route(row.method, row.target);
    EXPECT_EQ(r.route, row.route) << row.method << ' ' << row.target;
    EXPECT_EQ(r.allow, row.allow) << row.method << ' ' << row.target;
  }
}

TEST(LogFilter, DirectivesAndTheServiceOwnOne) {
  struct Row {
    std::string rust_log;
    log::Level level;
    std::string target;
    bool enabled;
  };
  const std::vector<Row> rows = {
      {"", log::Level::info, "pelloriand_server", true},
      {"", log::Level::debug, "pelloriand_server", false},
      {"", log::Level::error, "other", false},
      {"pelloriand_server=trace", log::Level::debug, "pelloriand_server", false},
      {"pelloriand_server=off", log::Level::info, "pelloriand_server", true},
      {"debug", log::Level::debug, "other::x", true},
      {"debug", log::Level::debug, "pelloriand_server", false},
      {"pelloriand=debug", log::Level::debug, "pelloriand_http::rejection", true},
      {"pelloriand_server::x=trace", log::Level::trace, "pelloriand_server::x::y", true},
      {"other=warn", log::Level::info, "other", false},
      {"other=WARN", log::Level::warn, "other", true},
      {"other=2", log::Level::warn, "other", true},
      {"other", log::Level::trace, "other", true},
      {"a=b=c,info", log::Level::info, "x", true},
      {"[span]=trace", log::Level::trace, "x", false},
      {"x[{status=4.*}]=trace", log::Level::trace, "x", true},
      {"x[{status=5.*}]=trace", log::Level::trace, "x", false},
  };
  for (const Row& row : rows) {
    std::vector<std::string> warnings;
    log::Filter f = log::build_filter(row.rust_log, warnings);
    std::vector<log::Field> fields = {{"status", "415", false}};
    EXPECT_EQ(f.enabled(row.level, row.target, fields), row.enabled)
        << row.rust_log << " / " << row.target;
  }
}

TEST(LogFilter, MalformedPiecesAreReported) {
  std::vector<std::string> warnings;
  (void)log::build_filter("a=b=c,,x=loud,[{=1}]=info,[{a=(}]=info,ok=info", warnings);
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_EQ(warnings[0].rfind("ignoring `a=b=c`: ", 0), 0u) << warnings[0];
  EXPECT_EQ(warnings[1].rfind("ignoring `x=loud`: error parsing level filter", 0), 0u);
  EXPECT_EQ(warnings[2].rfind("ignoring `[{=1}]=info`: ", 0), 0u);
  EXPECT_EQ(warnings[3].rfind("ignoring `[{a=(}]=info`: invalid field filter", 0), 0u);
}

TEST(LogFilter, SameKeyReplacesWhateverTheLevel) {
  std::vector<std::string> warnings;
  log::Filter f = log::build_filter("x=debug,x=error,pelloriand_server[s]=trace", warnings);
  ASSERT_EQ(f.directives().size(), 3u);  // x, pelloriand_server, the span one
  EXPECT_FALSE(f.enabled(log::Level::warn, "x"));
  // Most specific first: the span directive outranks the plain one.
  EXPECT_TRUE(f.directives()[0].span.has_value());
}

TEST(LogLayout, PlainAndColoured) {
  using namespace std::chrono;
  auto t =
      sys_days{year{2025} / 3 / 15} + hours{10} + minutes{4} + seconds{5} + microseconds{123456};
  EXPECT_EQ(log::format_line(t, log::Level::info, "pelloriand_server",
                             "Pelloriand API listening on http://127.0.0.1:8787 (localhost only)",
                             {}, false),
            "2025-03-15T10:04:05.123456Z  INFO pelloriand_server: Pelloriand API listening on "
            "http://127.0.0.1:8787 (localhost only)\n");
  EXPECT_EQ(log::format_line(t, log::Level::trace, "t", "m",
                             {{"status", "415", false}, {"b", "x\"y", true}}, false),
            "2025-03-15T10:04:05.123456Z TRACE t: m status=415 b=\"x\\\"y\"\n");
  EXPECT_EQ(log::format_line(t, log::Level::warn, "t", "m", {}, true),
            "\x1b[2m2025-03-15T10:04:05.123456Z\x1b[0m \x1b[33m WARN\x1b[0m \x1b[2mt\x1b[0m\x1b[2m:"
            "\x1b[0m m\n");
}

}  // namespace
