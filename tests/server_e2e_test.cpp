// End-to-end: the built server on a free loopback port, spoken to over real
// sockets with hand-written requests so every byte of the answers is checked.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "json.h"
#include "pelloriand/tool.h"

namespace {

using namespace e2e;

// One server for the tests that only talk to it.
class Running : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (int attempt = 0; attempt < 5 && !server_; ++attempt) {
      port_ = free_port();
      server_ = new Server({{"PELLORIAND_PORT", std::to_string(port_)}, {"NO_COLOR", "1"}});
      if (server_->stdout_text.find("listening") == std::string::npos) {
        delete server_;
        server_ = nullptr;
      }
    }
    ASSERT_NE(server_, nullptr);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static Server* server_;
  static int port_;
};
Server* Running::server_ = nullptr;
int Running::port_ = 0;

void expect_cors(const Answer& a, bool preflight, const std::string& context) {
  EXPECT_EQ(a.header("access-control-allow-origin"), "*") << context;
  EXPECT_EQ(a.header("vary"),
            "origin, access-control-request-method, access-control-request-headers")
      << context;
  EXPECT_EQ(a.header("access-control-expose-headers"), preflight ? "<none>" : "*") << context;
  EXPECT_EQ(a.header("access-control-allow-methods"), preflight ? "*" : "<none>") << context;
  EXPECT_EQ(a.header("access-control-allow-headers"), preflight ? "*" : "<none>") << context;
  EXPECT_EQ(a.header("access-control-allow-credentials"), "<none>") << context;
}

TEST_F(Running, FixedDocumentsExactly) {
  auto index = ask(port_, "GET / HTTP/1.1\r\nhost: x\r\n\r\n");
  ASSERT_TRUE(index);
  EXPECT_EQ(index->status, 200);
  EXPECT_EQ(index->header("content-type"), "application/json");
  EXPECT_EQ(index->body,
            "{\"service\":\"Pelloriand API\",\"engine\":\"built-in\",\"endpoints\":{\"POST "
            "/v1/convert\":\"run a conversion (ConversionRequest \xe2\x86\x92 "
            "ConversionResult)\",\"GET /v1/tools\":\"list implemented tools\"}}");
  auto tools = ask(port_, "GET /v1/tools?x=1 HTTP/1.1\r\nhost: x\r\n\r\n");
  ASSERT_TRUE(tools);
  EXPECT_EQ(tools->body.size(), 934u);
  EXPECT_EQ(
      tools->body.rfind("{\"engine\":\"built-in\",\"tools\":[{\"id\":\"math\",\"label\":\"Math\"},"
                        "{\"id\":\"unit\",\"label\":\"Unit\"},",
                        0),
      0u);
  EXPECT_NE(tools->body.find("{\"id\":\"mercator\",\"label\":\"Web Mercator\"}"),
            std::string::npos);
  EXPECT_TRUE(tools->body.ends_with(",{\"id\":\"crs\",\"label\":\"CRS\"}]}"));
  for (const char* path : {"/", "/v1/tools"}) {
    auto head = ask(port_, std::string("HEAD ") + path + " HTTP/1.1\r\nhost: x\r\n\r\n", true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->header("content-type"), "application/json");
    EXPECT_EQ(head->header("content-length"), path == std::string("/") ? "182" : "934");
  }
}

TEST_F(Running, RouterDefaultsAndCors) {
  struct Row {
    std::string request;
    int status;
    std::string allow;
    bool preflight;
  };
  const std::vector<Row> rows = {
      {"GET /nope HTTP/1.1\r\n\r\n", 404, "<none>", false},
      {"GET /v1/tools/ HTTP/1.1\r\n\r\n", 404, "<none>", false},
      {"GET /V1/tools HTTP/1.1\r\n\r\n", 404, "<none>", false},
      {"POST / HTTP/1.1\r\ncontent-length: 0\r\n\r\n", 405, "GET,HEAD", false},
      {"DELETE /v1/tools HTTP/1.1\r\n\r\n", 405, "GET,HEAD", false},
      {"GET /v1/convert HTTP/1.1\r\n\r\n", 405, "POST", false},
      {"OPTIONS /v1/convert HTTP/1.1\r\n\r\n", 200, "POST", true},
      {"OPTIONS /nope HTTP/1.1\r\n\r\n", 200, "<none>", true},
      {"GET / HTTP/1.1\r\norigin: http://a\r\n\r\n", 200, "<none>", false},
      {post("", "text/plain"), 415, "<none>", false},
      {post("x"), 400, "<none>", false},
      {post("[\"a\"]"), 422, "<none>", false},
      {"POST /v1/convert HTTP/1.1\r\ncontent-type: application/json\r\ncontent-length: "
       "2097153\r\n\r\n",
       413, "<none>", false},
  };
  for (const Row& row : rows) {
    auto a = ask(port_, row.request);
    ASSERT_TRUE(a) << row.request;
    EXPECT_EQ(a->status, row.status) << row.request;
    EXPECT_EQ(a->header("allow"), row.allow) << row.request;
    if (row.status == 404 || row.status == 405 || row.preflight) {
      EXPECT_EQ(a->body, "") << row.request;
    }
    expect_cors(*a, row.preflight, row.request);
  }
}

// One row per behaviour; tools add rows as they land.
// One request per catalogue tool: the answer must carry exactly what run_tool
// gives for the same input and options, escaped as a JSON string.
TEST_F(Running, EveryToolAnswersThroughTheEndpoint) {
  struct Row {
    std::string tool, input, target;  // an empty target sends no options
  };
  const std::vector<Row> rows = {
      {"math", "2pi + sin(pi/4)^2", ""},
      {"unit", "5 km mi", ""},
      {"base64", "héllo", ""},
      {"slug", "Hello World userID", ""},
      {"case", "hello world", "camel"},
      {"base", "0xff", ""},
      {"url", "a b&c", ""},
      {"html", "<b>\"x\"</b>", ""},
      {"uuid", "{123e4567-e89b-12d3-a456-426614174000}", ""},
      {"color", "#3498db", ""},
      {"phone", "+14155552671", ""},
      {"thermo", "water 100 c psat", ""},
      {"dms", "40.7128, -74.0060", ""},
      {"utm", "38.8977, -77.0365", ""},
      {"mercator", "51.5, -0.12", ""},
      {"geodesic", "51.5,-0.12 48.85,2.35", ""},
      {"mgrs", "38.8977, -77.0365", ""},
      {"geohash", "ezs42", ""},
      {"pluscode", "47.365590, 8.524997", ""},
      {"charset", "48 65 6c 6c 6f", "utf-8"},
      {"format", "{\"a\": [1, 2]}", "toml"},
      {"chinese", "汉语", "s2t"},
      {"pinyin", "中文", "numbers"},
      {"romaji", "ひらがな", ""},
      {"calendar", "2025-03-15", ""},
      {"geom", "{\"type\":\"Point\",\"coordinates\":[2.35,48.85]}", "centroid"},
      {"crs", "EPSG:4326 EPSG:3857 51.5 -0.12", ""},
  };
  for (const Row& row : rows) {
    std::string body = "{\"tool\":";
    pelloriand::json::write_json_string(row.tool, body);
    body += ",\"input\":";
    pelloriand::json::write_json_string(row.input, body);
    pelloriand::ToolOptions options;
    if (!row.target.empty()) {
      options.emplace("target", row.target);
      body += ",\"options\":{\"target\":";
      pelloriand::json::write_json_string(row.target, body);
      body += "}";
    }
    body += "}";
    const pelloriand::ToolResult expected =
        pelloriand::run_tool(row.tool, row.input, row.target.empty() ? nullptr : &options);
    EXPECT_TRUE(expected.is_ok()) << row.tool << ": " << expected.text();
    std::string prefix = "{\"ok\":true,\"output\":";
    pelloriand::json::write_json_string(expected.text(), prefix);
    prefix += ",\"error\":null,\"durationMs\":";

    auto a = ask(port_, post(body));
    ASSERT_TRUE(a) << row.tool;
    EXPECT_EQ(a->status, 200) << row.tool;
    EXPECT_EQ(a->body.rfind(prefix, 0), 0u) << row.tool << "\n -> " << a->body;
  }
  // The clock-dependent tool: only the shape of its answer is fixed.
  auto a = ask(port_, post(R"({"tool":"timestamp","input":"0"})"));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->body.rfind(R"({"ok":true,"output":"unix:      0\nms:        0\nnow unix:  )", 0), 0u)
      << a->body;
}

TEST_F(Running, ConversionAnswers) {
  struct Row {
    std::string body;
    int status;
    std::string prefix;  // the answer starts with this ("durationMs" varies)
  };
  const std::vector<Row> rows = {
      {R"({"tool":"nope","input":"x"})", 200,
       R"({"ok":false,"output":"","error":"Unknown tool: nope","durationMs":)"},
      {R"({"tool":"Math","input":"1"})", 200,
       R"({"ok":false,"output":"","error":"Unknown tool: Math","durationMs":)"},
      {R"(["math ","1",null])", 200,
       R"({"ok":false,"output":"","error":"Unknown tool: math ","durationMs":)"},
      {R"({"tool":"x\"\n\u00b0","input":"","options":{}})", 200,
       "{\"ok\":false,\"output\":\"\",\"error\":\"Unknown tool: "
       "x\\\"\\n\xc2\xb0\",\"durationMs\":"},
      {"", 400,
       "Failed to parse the request body as JSON: EOF while parsing a value at line 1 column 0"},
      {R"(["a","b",null,1])", 400,
       "Failed to parse the request body as JSON: trailing characters at line 1 column 15"},
      {R"({"tool":"a"})", 422,
       "Failed to deserialize the JSON body into the target type: missing field `input` at line 1 "
       "column 12"},
      {R"({"tool":"a","input":"b","options":{"target":5}})", 422,
       "Failed to deserialize the JSON body into the target type: options.target: invalid type: "
       "integer `5`, expected a string at line 1 column"},
  };
  for (const Row& row : rows) {
    auto a = ask(port_, post(row.body));
    ASSERT_TRUE(a) << row.body;
    EXPECT_EQ(a->status, row.status) << row.body;
    EXPECT_EQ(a->body.rfind(row.prefix, 0), 0u) << row.body << "\n -> " << a->body;
    if (row.status == 200) {
      EXPECT_EQ(a->header("content-type"), "application/json");
      EXPECT_TRUE(a->body.ends_with(",\"engine\":\"built-in\"}")) << a->body;
      std::string number = a->body.substr(row.prefix.size());
      number = number.substr(0, number.find(','));
      EXPECT_NE(number.find_first_of(".e"), std::string::npos) << number;
    } else {
      EXPECT_EQ(a->header("content-type"), "text/plain; charset=utf-8");
    }
  }
  for (const char* type :
       {"application/json; charset=utf-8", "Application/JSON", "application/problem+json"}) {
    auto a = ask(port_, post(R"({"tool":"nope","input":""})", type));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, 200) << type;
  }
  for (const char* type : {"text/plain", "application/x-www-form-urlencoded", ""}) {
    auto a = ask(port_, post(R"({"tool":"nope","input":""})", type));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, 415) << type;
    EXPECT_EQ(a->body, "Expected request with `Content-Type: application/json`");
  }
}

TEST_F(Running, BodyLimitIsTwoMebibytes) {
  std::string frame = R"({"tool":"nope","input":"")";
  std::string body = frame + "}";
  body.insert(body.size() - 1, ",\"pad\":\"" + std::string(2097152 - body.size() - 9, 'a') + "\"");
  ASSERT_EQ(body.size(), 2097152u);
  auto ok = ask(port_, post(body));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  // Chunked, one byte over: the limit stops the read.
  std::string chunked =
      "POST /v1/convert HTTP/1.1\r\ncontent-type: application/json\r\ntransfer-encoding: "
      "chunked\r\n\r\n";
  std::string over = body + " ";
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", over.size());
  auto big = ask(port_, chunked + size + over + "\r\n0\r\n\r\n");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);
  EXPECT_EQ(big->body, "Failed to buffer the request body: length limit exceeded");
}

TEST_F(Running, KeepAliveTenThousandRequests) {
  int fd = connect_to(port_);
  ASSERT_GE(fd, 0);
  std::string pending;
  std::string request = post(R"({"tool":"nope","input":"x"})");
  for (int i = 0; i < 10000; ++i) {
    send_all(fd, i % 2 ? request : "GET /v1/tools HTTP/1.1\r\nhost: x\r\n\r\n");
    auto a = read_answer(fd, pending);
    ASSERT_TRUE(a) << i;
    ASSERT_EQ(a->status, 200) << i;
  }
  ::close(fd);
}

// However the bytes of a conversation arrive (each request on a connection
// of its own, all of them in one write, or a byte at a time), the answers
// are the same: the reader keeps whatever it read past one request for the
// next, and a header, a body or a chunk cut anywhere is read whole.
TEST_F(Running, AnswersDoNotDependOnHowTheBytesArrive) {
  // {"tool":"math","input":"2^10"} in chunks of 5 and 25 bytes.
  const std::string chunked =
      "POST /v1/convert HTTP/1.1\r\nhost: x\r\ncontent-type: application/json\r\n"
      "transfer-encoding: chunked\r\n\r\n"
      "5\r\n{\"too\r\n19\r\nl\":\"math\",\"input\":\"2^10\"}\r\n0\r\n\r\n";
  const std::vector<std::string> requests = {
      "GET / HTTP/1.1\r\nhost: x\r\n\r\n",
      post(R"({"tool":"math","input":"1+2*3"})"),
      chunked,
      "OPTIONS /v1/convert HTTP/1.1\r\nhost: x\r\norigin: http://a\r\n"
      "access-control-request-method: POST\r\n\r\n",
      "GET /v1/tools HTTP/1.1\r\nhost: x\r\n\r\n",
  };
  // An answer, but for the time its tool call took.
  auto timeless = [](const Answer& a) {
    std::string body = a.body;
    const std::size_t at = body.find(R"("durationMs":)");
    if (at != std::string::npos) body.erase(at, body.find(',', at) - at);
    return std::make_pair(a.status, body);
  };
  std::vector<std::pair<int, std::string>> alone;
  std::string conversation;
  for (const std::string& request : requests) {
    const auto a = ask(port_, request);
    ASSERT_TRUE(a) << request;
    alone.push_back(timeless(*a));
    conversation += request;
  }
  EXPECT_NE(alone[2].second.find(R"("output":"1024")"), std::string::npos) << alone[2].second;

  for (const bool byte_at_a_time : {false, true}) {
    const int fd = connect_to(port_);
    ASSERT_GE(fd, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (byte_at_a_time) {
      for (char c : conversation) send_all(fd, std::string_view(&c, 1));
    } else {
      send_all(fd, conversation);
    }
    std::string pending;
    for (std::size_t i = 0; i < requests.size(); ++i) {
      const auto a = read_answer(fd, pending);
      ASSERT_TRUE(a) << byte_at_a_time << " " << i;
      EXPECT_EQ(timeless(*a), alone[i]) << byte_at_a_time << " " << i;
    }
    EXPECT_EQ(pending, "");
    ::close(fd);
  }
}

TEST_F(Running, BadClientsDoNotHurtOthers) {
  // Garbage, an oversized header, half a body and a vanishing client.
  auto garbage = ask(port_, "\x16\x03\x01 not http at all\r\n\r\n");
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->status, 400);
  auto huge = ask(port_, "GET / HTTP/1.1\r\nx: " + std::string(40000, 'a') + "\r\n\r\n");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 431);
  {
    int fd = connect_to(port_);
    send_all(fd,
             "POST /v1/convert HTTP/1.1\r\ncontent-type: application/json\r\ncontent-length: "
             "100\r\n\r\n{\"to");
    ::close(fd);
  }
  // 512 connections at once, each answered.
  std::vector<int> fds;
  for (int i = 0; i < 512; ++i) {
    int fd = connect_to(port_);
    ASSERT_GE(fd, 0) << i;
    fds.push_back(fd);
  }
  for (int fd : fds) send_all(fd, "GET / HTTP/1.1\r\nhost: x\r\n\r\n");
  for (int fd : fds) {
    std::string pending;
    auto a = read_answer(fd, pending);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, 200);
    ::close(fd);
  }
  auto after = ask(port_, "GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->status, 200);
}

// A transfer coding list that does not end in "chunked" gives the body no
// end: the request is refused and the connection closed, so a request placed
// where the body would be is never answered.
TEST_F(Running, UnframedTransferCodingClosesTheConnection) {
  for (const char* coding : {"gzip", "chunked, gzip"}) {
    int fd = connect_to(port_);
    ASSERT_GE(fd, 0);
    send_all(fd, std::string("POST /v1/convert HTTP/1.1\r\nhost: x\r\ncontent-type: "
                             "application/json\r\ntransfer-encoding: ") +
                     coding + "\r\n\r\nGET /v1/tools HTTP/1.1\r\nhost: x\r\n\r\n");
    std::string pending;
    auto a = read_answer(fd, pending);
    ASSERT_TRUE(a) << coding;
    EXPECT_EQ(a->status, 400) << coding;
    EXPECT_EQ(a->header("connection"), "close") << coding;
    // The server closes the connection, and nothing comes before the close.
    EXPECT_EQ(read_to_close(fd, pending), std::optional<std::string>("")) << coding;
    ::close(fd);
  }
}

TEST_F(Running, IdleConnectionIsClosed) {
  int fd = connect_to(port_);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(read_to_close(fd), std::optional<std::string>(""));  // closed, nothing sent
  ::close(fd);
}

// A tool that runs long keeps one worker busy, not the clients that arrive
// meanwhile. With two workers, one connection sends two heavy requests; once
// the first is answered the second is running, and every client that
// connects then is answered before it.
TEST(Concurrency, BusyConnectionHoldsBackNoOtherClient) {
  int port = free_port();
  Server s({{"PELLORIAND_PORT", std::to_string(port)},
            {"NO_COLOR", "1"},
            {"TOKIO_WORKER_THREADS", "2"}});
  // A large share of a second of work.
  const std::string heavy = buffer_request(30000);

  // Connections are dealt to the two workers in turn: `busy` and `pinned`
  // share one, and `pinned` keeps its connection while `busy` works.
  const std::string tools = "GET /v1/tools HTTP/1.1\r\nhost: x\r\n\r\n";
  std::array<int, 3> fds{};
  std::array<std::string, 3> pendings;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    fds[i] = connect_to(port);
    ASSERT_GE(fds[i], 0);
    send_all(fds[i], tools);
    ASSERT_TRUE(read_answer(fds[i], pendings[i])) << i;
  }
  const int busy = fds[0];
  const int pinned = fds[2];
  std::string& pending = pendings[0];
  std::jthread sender([&] { send_all(busy, heavy + heavy); });
  // While the first heavy request runs, `pinned` keeps asking, which also
  // keeps it clear of the idle timeout however slow the build.
  std::atomic<bool> first_done{false};
  std::jthread keeper([&] {
    while (!first_done) {
      send_all(pinned, tools);
      auto b = read_answer(pinned, pendings[2]);
      EXPECT_TRUE(b && b->status == 200);
      if (!b) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  auto first = read_answer(busy, pending);
  first_done = true;
  keeper.join();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->body.rfind("{\"ok\":true,", 0), 0u) << first->body.substr(0, 200);
  for (int i = 0; i < 16; ++i) {
    auto a = ask(port, tools);
    ASSERT_TRUE(a) << i;
    EXPECT_EQ(a->status, 200) << i;
    send_all(pinned, tools);
    auto b = read_answer(pinned, pendings[2]);
    ASSERT_TRUE(b) << i;
    EXPECT_EQ(b->status, 200) << i;
  }
  pollfd ready{busy, POLLIN, 0};
  EXPECT_EQ(::poll(&ready, 1, 0), 0) << "the second heavy answer came before the other clients'";
  auto second = read_answer(busy, pending);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, 200);
  for (int fd : fds) ::close(fd);
}

// Tool calls on both workers at once, each worker also serving the other's
// connections meanwhile: every request is answered.
TEST(Concurrency, ToolCallsOnEveryWorkerAllAnswer) {
  int port = free_port();
  Server s({{"PELLORIAND_PORT", std::to_string(port)},
            {"NO_COLOR", "1"},
            {"TOKIO_WORKER_THREADS", "2"}});
  const std::string heavy = buffer_request(4000);
  const std::string light = post(R"({"tool":"math","input":"1+2*3"})");
  constexpr int CLIENTS = 8;
  constexpr int ROUNDS = 12;
  std::atomic<int> answered{0};
  {
    std::vector<std::jthread> clients;
    for (int k = 0; k < CLIENTS; ++k) {
      clients.emplace_back([&, k] {
        const int fd = connect_to(port);
        if (fd < 0) return;
        std::string pending;
        for (int r = 0; r < ROUNDS; ++r) {
          send_all(fd, (r + k) % 3 == 0 ? heavy : light);
          auto a = read_answer(fd, pending);
          if (!a || a->status != 200) break;
          ++answered;
        }
        ::close(fd);
      });
    }
  }
  EXPECT_EQ(answered.load(), CLIENTS * ROUNDS);
}

TEST(StartUp, BannerColoursAndFilter) {
  for (const char* no_color : {"", "1"}) {
    int port = free_port();
    Server s({{"PELLORIAND_PORT", "+" + std::to_string(port)}, {"NO_COLOR", no_color}});
    std::string suffix =
        "listening on http://127.0.0.1:" + std::to_string(port) + " (localhost only)";
    if (std::string(no_color).empty()) {
      EXPECT_NE(s.stdout_text.find("\x1b[32m INFO\x1b[0m \x1b[2mpelloriand_server\x1b[0m"),
                std::string::npos)
          << s.stdout_text;
    } else {
      EXPECT_EQ(s.stdout_text.find('\x1b'), std::string::npos);
      ASSERT_GT(s.stdout_text.size(), 27u);
      EXPECT_EQ(s.stdout_text.substr(27),
                "  INFO pelloriand_server: Pelloriand API " + suffix + "\n");
      std::string stamp = s.stdout_text.substr(0, 27);
      for (std::size_t i : {4u, 7u, 10u, 13u, 16u, 19u, 26u}) stamp[i] = '_';
      for (char& c : stamp) c = c >= '0' && c <= '9' ? '9' : c;
      EXPECT_EQ(stamp, "9999_99_99_99_99_99_999999_");
    }
    // The default filter hides the rejection events.
    ask(port, post("x"));
    EXPECT_EQ(s.more_stdout(std::chrono::milliseconds(200)), "");
  }
  int port = free_port();
  Server s(
      {{"PELLORIAND_PORT", std::to_string(port)}, {"NO_COLOR", "1"}, {"RUST_LOG", "a=b=c,trace"}});
  EXPECT_EQ(s.stderr_until("\n").rfind("ignoring `a=b=c`: ", 0), 0u);
  ask(port, post("x"));
  const std::string trace = "TRACE pelloriand_http::rejection: rejecting request status=400";
  std::string log = s.stdout_until(trace);
  EXPECT_NE(log.find(trace), std::string::npos) << log;
}

TEST(StartUp, FailuresAndExitStatuses) {
  struct Row {
    Env env;
    int status;
    std::string stderr_prefix;
  };
  const std::vector<Row> rows = {
      {{{"PELLORIAND_PORT", ""}},
       101,
       "PELLORIAND_PORT must be a number: ParseIntError { kind: Empty }"},
      {{{"PELLORIAND_PORT", " 8080"}},
       101,
       "PELLORIAND_PORT must be a number: ParseIntError { kind: InvalidDigit }"},
      {{{"PELLORIAND_PORT", "65536"}},
       101,
       "PELLORIAND_PORT must be a number: ParseIntError { kind: PosOverflow }"},
      {{{"PELLORIAND_PORT", "0"}, {"TOKIO_WORKER_THREADS", "0"}}, 101, "TOKIO_WORKER_THREADS"},
      {{{"PELLORIAND_PORT", "0"}, {"TOKIO_WORKER_THREADS", "two"}}, 101, "TOKIO_WORKER_THREADS"},
      {{{"PELLORIAND_HOST", "no.such.host.invalid"}},
       1,
       "failed to bind no.such.host.invalid:8787: "},
  };
  for (const Row& row : rows) {
    Server s(row.env, false);
    EXPECT_EQ(s.exit_status(), row.status);
    EXPECT_EQ(s.read_stderr().rfind(row.stderr_prefix, 0), 0u) << row.stderr_prefix;
  }
  // A taken port: status 1, no banner.
  int port = free_port();
  Server first({{"PELLORIAND_PORT", std::to_string(port)}});
  Server second({{"PELLORIAND_PORT", std::to_string(port)}}, false);
  EXPECT_EQ(second.exit_status(), 1);
  EXPECT_EQ(second.read_stderr(), "failed to bind 127.0.0.1:" + std::to_string(port) +
                                      ": Address already in use (os error 98)\n");
  EXPECT_EQ(second.more_stdout(std::chrono::milliseconds(50)), "");
}

// Whether this machine resolves `name` (a bare root may have no /etc/hosts).
bool resolves(const char* name) {
  addrinfo* found = nullptr;
  const bool ok = ::getaddrinfo(name, nullptr, nullptr, &found) == 0;
  if (found != nullptr) ::freeaddrinfo(found);
  return ok;
}

TEST(StartUp, HostByNameAndPortZero) {
  if (resolves("localhost")) {
    int port = free_port();
    Server named({{"PELLORIAND_HOST", "localhost"},
                  {"PELLORIAND_PORT", std::to_string(port)},
                  {"NO_COLOR", "1"}});
    EXPECT_NE(
        named.stdout_text.find("http://localhost:" + std::to_string(port) + " (localhost only)"),
        std::string::npos)
        << named.stdout_text;
  }
  Server zero({{"PELLORIAND_PORT", "0"}, {"NO_COLOR", "1"}, {"TOKIO_WORKER_THREADS", "2"}});
  EXPECT_NE(zero.stdout_text.find("http://127.0.0.1:0 (localhost only)"), std::string::npos);
}

}  // namespace
