// The end-to-end tests' side of the wire: the built server as a child process
// on a free loopback port, and raw sockets that write hand-made requests and
// read answers byte for byte.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "json.h"

namespace e2e {

using Env = std::map<std::string, std::string>;

inline int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// How long a test waits for something the server must do: answer, write a
// line, close a connection, exit. Far beyond what any of it takes, so that a
// loaded machine or a sanitizer build only makes the tests slower; the checks
// are on what happened, never on how fast.
constexpr std::chrono::seconds EVENT_DEADLINE{60};

// Reads from fd until `done(text)` or the deadline; returns what arrived.
inline std::string read_until(int fd, const std::function<bool(const std::string&)>& done,
                              std::chrono::milliseconds timeout, std::string text = {}) {
  auto end = std::chrono::steady_clock::now() + timeout;
  char buf[65536];
  while (!done(text)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

inline bool never(const std::string&) {
  return false;
}

// A `done` for read_until: the text holds `needle`.
inline auto contains(std::string_view needle) {
  return [needle](const std::string& t) { return t.find(needle) != std::string::npos; };
}

// Reads until the server closes the connection: what came before the close,
// or nullopt if the connection was still open at the deadline.
inline std::optional<std::string> read_to_close(int fd, std::string text = {}) {
  text = read_until(fd, never, EVENT_DEADLINE, std::move(text));
  pollfd p{fd, POLLIN, 0};
  char byte;
  if (::poll(&p, 1, 0) == 1 && ::read(fd, &byte, 1) <= 0) return text;
  return std::nullopt;
}

// One server process with its output pipes; killed when the test ends.
class Server {
 public:
  // `address_space`: when not 0, the child's RLIMIT_AS in bytes.
  explicit Server(Env env, bool wait_for_banner = true, rlim_t address_space = 0) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      if (address_space != 0) {
        const rlimit limit{address_space, address_space};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
      }
      std::vector<std::string> pairs;
      for (auto& [k, v] : env) pairs.push_back(k + "=" + v);
      // A sanitizer build's server reports, and stops, as the test run says.
      for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && env.count(name) == 0)
          pairs.push_back(std::string(name) + "=" + value);
      }
      std::vector<char*> envp;
      for (auto& p : pairs) envp.push_back(p.data());
      envp.push_back(nullptr);
      char* argv[] = {const_cast<char*>(PELLORIAND_SERVER_BINARY), nullptr};
      ::execve(PELLORIAND_SERVER_BINARY, argv, envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (wait_for_banner) {
      stdout_text = stdout_until("\n");
    }
  }
  ~Server() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }
  // Exit status, waiting up to the deadline; nullopt if it is still running.
  std::optional<int> exit_status() {
    const auto end = std::chrono::steady_clock::now() + EVENT_DEADLINE;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }
  // Whether the process is still there, asked without waiting.
  bool running() {
    int status = 0;
    if (exited_ || ::waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
    return !exited_;
  }
  // All the standard error of a server that has exited.
  std::string read_stderr() { return read_until(err_, never, EVENT_DEADLINE); }
  // Output up to and including `text`, or all that came by the deadline.
  std::string stdout_until(std::string_view text) {
    return read_until(out_, contains(text), EVENT_DEADLINE);
  }
  std::string stderr_until(std::string_view text) {
    return read_until(err_, contains(text), EVENT_DEADLINE);
  }
  // Whatever standard output brings within `wait`: for checking that nothing does.
  std::string more_stdout(std::chrono::milliseconds wait) { return read_until(out_, never, wait); }

  std::string stdout_text;

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  bool exited_ = false;
};

// `receive_buffer`: when not 0, the socket's SO_RCVBUF, set before it connects.
inline int connect_to(int port, int receive_buffer = 0) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (receive_buffer != 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline void send_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

struct Answer {
  int status = 0;
  std::string head;  // status line and headers, lower-case names as sent
  std::string body;
  std::string header(const std::string& name) const {
    std::size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<none>";
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
  }
};

// Reads one answer from a connection; `head_only` for HEAD requests.
inline std::optional<Answer> read_answer(int fd, std::string& pending, bool head_only = false) {
  auto complete = [&](const std::string& t) {
    std::size_t end = t.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    if (head_only) return true;
    std::size_t cl = t.find("content-length: ");
    std::size_t length = cl < end ? std::stoul(t.substr(cl + 16)) : 0;
    return t.size() >= end + 4 + length;
  };
  pending = read_until(fd, complete, EVENT_DEADLINE, std::move(pending));
  if (!complete(pending)) return std::nullopt;
  Answer a;
  std::size_t end = pending.find("\r\n\r\n");
  a.head = pending.substr(0, end + 2);
  a.status = std::stoi(a.head.substr(9, 3));
  std::size_t length = 0;
  if (!head_only && a.header("content-length") != "<none>")
    length = std::stoul(a.header("content-length"));
  a.body = pending.substr(end + 4, length);
  pending.erase(0, end + 4 + length);
  return a;
}

inline std::optional<Answer> ask(int port, const std::string& request, bool head_only = false) {
  int fd = connect_to(port);
  if (fd < 0) return std::nullopt;
  send_all(fd, request);
  std::string pending;
  auto a = read_answer(fd, pending, head_only);
  ::close(fd);
  return a;
}

inline std::string post(const std::string& body, const std::string& type = "application/json") {
  std::string r = "POST /v1/convert HTTP/1.1\r\nhost: x\r\n";
  if (!type.empty()) r += "content-type: " + type + "\r\n";
  return r + "content-length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// ThreadSanitizer slows the geometry code by well over ten times and
// AddressSanitizer by several, and the tests' deadlines are per answer:
// heavy requests shrink to match, which keeps them heavy beside the small
// requests they are tested with.
#if defined(__SANITIZE_THREAD__)
inline constexpr int HEAVY_SCALE = 10;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr int HEAVY_SCALE = 4;
#else
inline constexpr int HEAVY_SCALE = 1;
#endif

// POST /v1/convert buffering an ellipse of `vertices` vertices (divided by
// HEAVY_SCALE) by 5 units.
inline std::string buffer_request(int vertices) {
  vertices /= HEAVY_SCALE;
  std::string polygon = R"({"type":"Polygon","coordinates":[[)";
  for (int i = 0; i <= vertices; ++i) {
    const double t = 2 * 3.141592653589793 * (i % vertices) / vertices;
    polygon += (i > 0 ? ",[" : "[") + std::to_string(1000 + 500 * std::cos(t)) + "," +
               std::to_string(1000 + 300 * std::sin(t)) + "]";
  }
  std::string body = R"({"tool":"geom","options":{"target":"buffer"},"input":)";
  pelloriand::json::write_json_string(polygon + "]]} 5", body);
  body += "}";
  return post(body);
}

}  // namespace e2e
