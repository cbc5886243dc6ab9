// Clients that must be served while tool calls run long: each test starts
// heavy geometry buffers, then checks that other clients are answered while
// those calls are still running, that is before their answers arrive. The
// checks are on the order of events, never on how long anything took.
#include <poll.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace e2e;

const std::string TOOLS = "GET /v1/tools HTTP/1.1\r\nhost: x\r\n\r\n";
const std::string MATH = post(R"({"tool":"math","input":"1+2*3"})");

// A kept-alive connection and what it has read past its last answer.
struct Client {
  int fd = -1;
  std::string pending;

  explicit Client(int port) : fd(connect_to(port)) {}
  ~Client() {
    if (fd >= 0) ::close(fd);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  std::optional<Answer> ask(const std::string& request) {
    send_all(fd, request);
    return read_answer(fd, pending);
  }
  // No answer has started to arrive: the request sent last is still running.
  bool waiting() {
    pollfd p{fd, POLLIN, 0};
    return pending.empty() && ::poll(&p, 1, 0) == 0;
  }
};

// Opens `n` connections one after the other, each answered once, so that
// they are dealt to the I/O threads in turn before any tool call starts.
std::vector<std::unique_ptr<Client>> open_clients(int port, int n) {
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < n; ++i) {
    clients.push_back(std::make_unique<Client>(port));
    auto a = clients.back()->ask(TOOLS);
    EXPECT_TRUE(a && a->status == 200) << i;
  }
  return clients;
}

Env env_with_threads(int port, int threads) {
  return {{"PELLORIAND_PORT", std::to_string(port)},
          {"NO_COLOR", "1"},
          {"TOKIO_WORKER_THREADS", std::to_string(threads)}};
}

bool answered_ok(const std::optional<Answer>& a) {
  return a && a->status == 200 && a->body.rfind("{\"ok\":true,", 0) == 0;
}

// Two threads; connections 0 and 2 share the first. A long buffer on 0, then
// a short one on 2 while it runs: the short one is answered, and so is every
// client that connects afterwards, all before the long call ends.
TEST(Stalls, NewConnectionsAnsweredWhileLongCallRuns) {
  const int port = free_port();
  Server s(env_with_threads(port, 2));
  auto clients = open_clients(port, 3);
  const std::string heavy = buffer_request(60000);
  send_all(clients[0]->fd, heavy);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(answered_ok(clients[2]->ask(buffer_request(4000))));
  for (int i = 0; i < 12; ++i) {
    Client probe(port);
    auto a = probe.ask(TOOLS);
    ASSERT_TRUE(a) << i;
    EXPECT_EQ(a->status, 200) << i;
  }
  EXPECT_TRUE(clients[0]->waiting()) << "the long call ended before the probes were answered";
  EXPECT_TRUE(answered_ok(read_answer(clients[0]->fd, clients[0]->pending)));
}

// Three threads, two inside long buffers: kept-alive clients on both busy
// threads' contexts are answered while both calls run.
TEST(Stalls, EveryBusyThreadsConnectionsAnswered) {
  const int port = free_port();
  Server s(env_with_threads(port, 3));
  // 0 and 3 share the first thread, 1 and 4 the second.
  auto clients = open_clients(port, 5);
  const std::string heavy = buffer_request(60000);
  send_all(clients[0]->fd, heavy);
  send_all(clients[1]->fd, heavy);
  for (int i = 0; i < 8; ++i) {
    for (int k : {3, 4}) {
      auto a = clients[k]->ask(TOOLS);
      ASSERT_TRUE(a) << k << " " << i;
      EXPECT_EQ(a->status, 200) << k << " " << i;
    }
  }
  EXPECT_TRUE(clients[0]->waiting()) << "the first long call ended before the probes";
  EXPECT_TRUE(clients[1]->waiting()) << "the second long call ended before the probes";
  for (int k : {0, 1}) EXPECT_TRUE(answered_ok(read_answer(clients[k]->fd, clients[k]->pending)));
}

// Two threads, both of the pool's threads inside long buffers and a third
// waiting for one: a new connection's small request is still accepted and
// answered before any of them ends.
TEST(Stalls, SmallRequestAnsweredWhilePoolIsFull) {
  const int port = free_port();
  Server s(env_with_threads(port, 2));
  auto clients = open_clients(port, 3);
  const std::string heavy = buffer_request(40000);
  for (auto& c : clients) send_all(c->fd, heavy);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Client probe(port);
  auto a = probe.ask(MATH);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->status, 200);
  EXPECT_EQ(a->body.rfind(R"({"ok":true,"output":"7",)", 0), 0u) << a->body;
  for (std::size_t k = 0; k < clients.size(); ++k) {
    EXPECT_TRUE(clients[k]->waiting()) << k << ": a long call ended before the probe";
  }
  for (auto& c : clients) EXPECT_TRUE(answered_ok(read_answer(c->fd, c->pending)));
}

// Under an address-space limit, parallel 2 MiB requests run some allocations
// out of memory: those requests fail alone (503, or a closed connection),
// and the service goes on serving. The sanitizers' shadow memory does not
// fit under such a limit.
TEST(Memory, ParallelLargeRequestsUnderAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizer runtimes need more address space than the limit";
#endif
  const int port = free_port();
  Server s(env_with_threads(port, 8), true, 600 * 1024 * 1024);
  ASSERT_TRUE(s.running()) << s.read_stderr();
  std::string input(2 * 1024 * 1024 - 64, 'a');
  const std::string large = post(R"({"tool":"base64","input":")" + input + "\"}");
  constexpr int CLIENTS = 64;
  std::atomic<int> answered{0};
  std::atomic<int> unexpected{0};
  for (int round = 0; round < 3; ++round) {
    std::vector<std::jthread> senders;
    for (int k = 0; k < CLIENTS; ++k) {
      senders.emplace_back([&] {
        Client c(port);
        if (c.fd < 0) return;
        send_all(c.fd, large);
        auto a = read_answer(c.fd, c.pending);
        if (!a) return;  // closed for want of memory
        ++answered;
        if (a->status != 200 && a->status != 503) ++unexpected;
      });
    }
  }
  ASSERT_TRUE(s.running()) << s.read_stderr();
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(unexpected.load(), 0);
  Client after(port);
  EXPECT_TRUE(answered_ok(after.ask(MATH)));
  EXPECT_TRUE(s.running());
}

// Threads the system will not start end start-up before the listener is
// bound: no banner, status 101 and the cause. 400 threads' stacks do not fit
// in 600 MiB of address space.
TEST(Memory, ThreadsThatCannotStartEndStartUpBeforeTheBanner) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizer runtimes need more address space than the limit";
#endif
  const int port = free_port();
  Server s(env_with_threads(port, 200), false, 600 * 1024 * 1024);
  EXPECT_EQ(s.exit_status(), std::optional<int>(101));
  EXPECT_EQ(s.read_stderr().rfind("failed to build tokio runtime: ", 0), 0u);
  EXPECT_EQ(s.stdout_until("\n"), "");
  EXPECT_EQ(connect_to(port), -1);
}

}  // namespace
