// The limits the README's table states, checked on the built server: the
// header size, the header, body and answer deadlines, the idle close, the drain after
// a refused body, and the signals that stop it. Each test waits for what the
// server does (an answer, a close, an exit) up to EVENT_DEADLINE, never for a
// set time; the deadline tests take as long as the server's own deadline.
#include <spawn.h>

#include "e2e_support.h"

using namespace e2e;

namespace {

class Limits : public ::testing::Test {
 protected:
  void SetUp() override { server_.emplace(Env{{"PELLORIAND_PORT", std::to_string(port_)}}); }
  int port_ = free_port();
  std::optional<Server> server_;
};

std::string get_with_header_of(std::size_t size) {
  const std::string start = "GET / HTTP/1.1\r\nhost: x\r\nx: ";
  return start + std::string(size - start.size() - 4, 'a') + "\r\n\r\n";
}

// A header of 32 KiB is served; one of 33 KiB gets 431 with an empty body,
// and the connection is closed after it. (The HTTP parser's own count lets a
// raw request a few bytes over 32 KiB through; 32 KiB is what a client can
// rely on.)
TEST_F(Limits, HeaderOfThirtyTwoKibibytes) {
  const auto inside = ask(port_, get_with_header_of(32 * 1024));
  ASSERT_TRUE(inside);
  EXPECT_EQ(inside->status, 200);

  const int fd = connect_to(port_);
  ASSERT_GE(fd, 0);
  send_all(fd, get_with_header_of(33 * 1024));
  std::string pending;
  const auto over = read_answer(fd, pending);
  ASSERT_TRUE(over);
  EXPECT_EQ(over->status, 431);
  EXPECT_EQ(over->header("content-length"), "0");
  EXPECT_EQ(over->header("connection"), "close");
  EXPECT_EQ(read_to_close(fd, pending), std::optional<std::string>(""));
  ::close(fd);
}

// No answer names a keep-alive timeout, and a kept connection that stays idle
// is closed with nothing sent: a client cannot learn the idle limit from the
// answers, only from the README.
TEST_F(Limits, KeptConnectionClosesWhenIdleWithoutNotice) {
  struct Row {
    const char* request;
    const char* connection;  // the answer's connection header
  };
  const Row rows[] = {
      {"GET / HTTP/1.1\r\nhost: x\r\n\r\n", "<none>"},
      {"GET / HTTP/1.0\r\nconnection: keep-alive\r\n\r\n", "keep-alive"},
  };
  std::vector<int> fds;
  for (const Row& row : rows) {
    const int fd = connect_to(port_);
    ASSERT_GE(fd, 0);
    send_all(fd, row.request);
    std::string pending;
    const auto a = read_answer(fd, pending);
    ASSERT_TRUE(a) << row.request;
    EXPECT_EQ(a->status, 200) << row.request;
    EXPECT_EQ(a->header("connection"), row.connection) << row.request;
    EXPECT_EQ(a->header("keep-alive"), "<none>") << row.request;
    fds.push_back(fd);
  }
  for (int fd : fds) {
    EXPECT_EQ(read_to_close(fd), std::optional<std::string>(""));
    ::close(fd);
  }
}

// A header or a body that stops arriving is dropped: the connection is closed
// without an answer (10 s for the header, 30 s for the body; both wait side
// by side).
TEST_F(Limits, UnfinishedHeaderOrBodyIsDroppedUnanswered) {
  const std::string partial[] = {
      "GET / HTTP/1.1\r\nhost: x\r\n",
      "POST /v1/convert HTTP/1.1\r\nhost: x\r\ncontent-type: application/json\r\n"
      "content-length: 100\r\n\r\n{\"tool\":",
  };
  std::vector<int> fds;
  for (const std::string& request : partial) {
    const int fd = connect_to(port_);
    ASSERT_GE(fd, 0);
    send_all(fd, request);
    fds.push_back(fd);
  }
  for (int fd : fds) {
    EXPECT_EQ(read_to_close(fd), std::optional<std::string>(""));
    ::close(fd);
  }
}

// A client that sends requests and never reads the answers fills the
// connection both ways; the server gives up on the answer it is writing
// after 30 s and closes the connection rather than wait for ever.
TEST_F(Limits, AnswerNeverReadIsGivenUp) {
  const int fd = connect_to(port_, 4096);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fcntl(fd, F_SETFL, O_NONBLOCK), 0);
  const std::string request = get_with_header_of(16 * 1024);
  // Sends until the server has stopped reading: nothing more goes for a
  // good while.
  for (;;) {
    const ssize_t n = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    if (n > 0) continue;
    ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK) << errno;
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 1000) == 0) break;
  }
  pollfd p{fd, POLLRDHUP, 0};
  ASSERT_EQ(::poll(&p, 1, static_cast<int>(EVENT_DEADLINE.count() * 1000)), 1);
  EXPECT_NE(p.revents & (POLLRDHUP | POLLHUP | POLLERR), 0);
  ::close(fd);
}

// Sends a POST declaring `length` bytes, then as many bytes as the server
// takes; returns how many it took before the connection broke.
std::size_t send_declared_body(int fd, std::size_t length) {
  send_all(fd,
           "POST /v1/convert HTTP/1.1\r\nhost: x\r\ncontent-type: application/json\r\n"
           "content-length: " +
               std::to_string(length) + "\r\n\r\n");
  const std::string chunk(1 << 16, 'a');
  std::size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd, chunk.data(), std::min(chunk.size(), length - sent), MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  return sent;
}

// A body declared over 2 MiB is refused with 413 before it is read. The server
// still reads and drops up to 16 MiB of it so that the client can read the
// answer; a client that sends more finds the connection closed mid-body.
TEST_F(Limits, RefusedBodyIsDrainedUpToSixteenMebibytes) {
  int fd = connect_to(port_);
  ASSERT_GE(fd, 0);
  const std::size_t within = 4u << 20;
  EXPECT_EQ(send_declared_body(fd, within), within);
  std::string pending;
  const auto a = read_answer(fd, pending);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->status, 413);
  EXPECT_EQ(a->body, "Failed to buffer the request body: length limit exceeded");
  ::close(fd);

  fd = connect_to(port_);
  ASSERT_GE(fd, 0);
  const std::size_t beyond = 256u << 20;
  EXPECT_LT(send_declared_body(fd, beyond), beyond);
  ::close(fd);
}

// SIGINT and SIGTERM keep their default action: the process ends by the
// signal itself, with a request still unfinished, instead of draining.
TEST(Signals, EndTheServerAtOnce) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const int port = free_port();
    const std::string port_env = "PELLORIAND_PORT=" + std::to_string(port);
    char* argv[] = {const_cast<char*>(PELLORIAND_SERVER_BINARY), nullptr};
    char* envp[] = {const_cast<char*>(port_env.c_str()), const_cast<char*>("NO_COLOR=1"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, PELLORIAND_SERVER_BINARY, nullptr, nullptr, argv, envp), 0);
    int fd = -1;
    const auto end = std::chrono::steady_clock::now() + EVENT_DEADLINE;
    while (fd < 0 && std::chrono::steady_clock::now() < end) {
      fd = connect_to(port);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(fd, 0) << "the server did not listen";
    send_all(fd,
             "POST /v1/convert HTTP/1.1\r\nhost: x\r\ncontent-type: application/json\r\n"
             "content-length: 100\r\n\r\n{");
    ASSERT_EQ(::kill(pid, signal), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(read_to_close(fd), std::optional<std::string>(""));  // never answered
    ::close(fd);
  }
}

}  // namespace
