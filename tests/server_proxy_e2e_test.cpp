// deploy/nginx/pelloriand.conf, run for real: three server instances and nginx
// on free loopback ports, with nginx's prefix, logs and temporary files in a
// private directory, as the current user (root included). Only the ports of
// the shipped file are changed. Skipped when nginx is not installed.
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e_support.h"

using namespace e2e;

namespace {

namespace fs = std::filesystem;

std::optional<std::string> find_nginx() {
  for (const char* dir : {"/usr/sbin", "/usr/local/sbin", "/usr/bin", "/usr/local/bin"}) {
    const fs::path path = fs::path(dir) / "nginx";
    if (::access(path.c_str(), X_OK) == 0) return path.string();
  }
  return std::nullopt;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Replaces the one occurrence of `from`; fails the test if there is not
// exactly one, so the substitution cannot silently miss a changed file.
void replace_once(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  ASSERT_EQ(text.find(from, at + 1), std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// The main configuration around the shipped file: everything nginx writes goes
// under `dir`. As root, nginx would run its workers as "nobody", who cannot
// write the private temporary directories; naming the current user keeps them
// as this user (nginx ignores the line, with a warning, when not root).
std::string main_config(const fs::path& dir) {
  const passwd* user = ::getpwuid(::geteuid());
  const group* grp = ::getgrgid(::getegid());
  const std::string d = dir.string();
  std::string conf = "daemon off;\nworker_processes 2;\npid " + d + "/nginx.pid;\n";
  if (user != nullptr && grp != nullptr) {
    conf += std::string("user ") + user->pw_name + " " + grp->gr_name + ";\n";
  }
  conf += "error_log " + d + "/error.log warn;\nevents { worker_connections 1024; }\nhttp {\n";
  conf += "  access_log off;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    conf += std::string("  ") + temp + "_temp_path " + d + "/" + temp + ";\n";
  }
  return conf + "  include " + d + "/pelloriand.conf;\n}\n";
}

// nginx's master process in the foreground; stopped (fast shutdown, which
// ends its workers too) when the test ends or, should the test die, when
// this process does.
class Nginx {
 public:
  Nginx(const std::string& binary, const fs::path& dir) : dir_(dir) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      const std::string out = (dir / "stderr.log").string();
      const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      const std::string prefix = dir.string() + "/";
      const std::string conf = (dir / "nginx.conf").string();
      const std::string log = (dir / "error.log").string();
      ::execl(binary.c_str(), binary.c_str(), "-p", prefix.c_str(), "-c", conf.c_str(), "-e",
              log.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Nginx() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  // Waits until nginx accepts on `port`; false (with its logs in the test
  // output) if it exits or the deadline passes first.
  bool wait_until_listening(int port) {
    const auto end = std::chrono::steady_clock::now() + EVENT_DEADLINE;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ADD_FAILURE() << "nginx exited: " << read_file(dir_ / "stderr.log")
                      << read_file(dir_ / "error.log");
        return false;
      }
      const int fd = connect_to(port);
      if (fd >= 0) {
        ::close(fd);
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
};

// nginx writes its own header names capitalised ("Content-Length"); the
// e2e helpers read the service's lower-case ones. Lower-cases each head as it
// arrives, then reads the answer as read_answer does.
std::optional<Answer> read_proxied(int fd, std::string& pending) {
  auto head_done = [](const std::string& t) { return t.find("\r\n\r\n") != std::string::npos; };
  pending = read_until(fd, head_done, EVENT_DEADLINE, std::move(pending));
  const std::size_t end = pending.find("\r\n\r\n");
  if (end == std::string::npos) return std::nullopt;
  for (std::size_t i = 0; i < end; ++i) {
    pending[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(pending[i])));
  }
  return read_answer(fd, pending);
}

std::optional<Answer> ask_proxied(int port, const std::string& request) {
  const int fd = connect_to(port);
  if (fd < 0) return std::nullopt;
  send_all(fd, request);
  std::string pending;
  auto a = read_proxied(fd, pending);
  ::close(fd);
  return a;
}

std::string get(const std::string& path) {
  return "GET " + path + " HTTP/1.1\r\nhost: x\r\n\r\n";
}

// {"tool":"slug","input":"aaa..."} of `size` bytes: slug answers the input
// unchanged, so the answer shows whether the body arrived whole.
constexpr std::string_view SLUG_FRAME = R"({"tool":"slug","input":""})";

std::string body_of_size(std::size_t size) {
  return R"({"tool":"slug","input":")" + std::string(size - SLUG_FRAME.size(), 'a') + "\"}";
}

class Proxy : public ::testing::Test {
 protected:
  void SetUp() override {
    nginx_binary_ = find_nginx();
    if (!nginx_binary_) GTEST_SKIP() << "nginx is not installed (Debian package nginx-light)";
    char dir[] = "/tmp/pelloriand-proxy-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    std::string conf = read_file(PELLORIAND_PROXY_CONFIG);
    for (int i = 0; i < 3; ++i) {
      ports_[i] = free_port();
      servers_[i].emplace(Env{{"PELLORIAND_PORT", std::to_string(ports_[i])}});
      replace_once(conf, "127.0.0.1:" + std::to_string(8787 + i),
                   "127.0.0.1:" + std::to_string(ports_[i]));
    }
    port_ = free_port();
    replace_once(conf, "listen 127.0.0.1:8080;", "listen 127.0.0.1:" + std::to_string(port_) + ";");
    std::ofstream(dir_ / "pelloriand.conf") << conf;
    std::ofstream(dir_ / "nginx.conf") << main_config(dir_);
    nginx_.emplace(*nginx_binary_, dir_);
    ASSERT_TRUE(nginx_->wait_until_listening(port_));
  }
  void TearDown() override {
    nginx_.reset();
    for (auto& server : servers_) server.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::optional<std::string> nginx_binary_;
  fs::path dir_;
  int ports_[3] = {};
  std::optional<Server> servers_[3];
  int port_ = 0;
  std::optional<Nginx> nginx_;
};

// An answer up to its "durationMs", which differs from call to call.
std::string without_duration(const std::string& body) {
  return body.substr(0, body.find("\"durationMs\""));
}

// Each endpoint answers through the proxy as an instance answers directly,
// and a body of exactly the service's limit goes through both ways intact.
TEST_F(Proxy, EndpointsAnswerAsTheInstanceDoes) {
  const std::string requests[] = {
      get("/"),
      get("/v1/tools"),
      post(R"({"tool":"unit","input":"5 km mi"})"),
      post(R"({"tool":"nope","input":""})"),
      post("{", "application/json"),
      "OPTIONS /v1/convert HTTP/1.1\r\nhost: x\r\norigin: http://a.test\r\n"
      "access-control-request-method: POST\r\naccess-control-request-headers: content-type\r\n\r\n",
  };
  for (const std::string& request : requests) {
    const auto direct = ask(ports_[0], request);
    const auto proxied = ask_proxied(port_, request);
    ASSERT_TRUE(direct && proxied) << request;
    EXPECT_EQ(proxied->status, direct->status) << request;
    EXPECT_EQ(without_duration(proxied->body), without_duration(direct->body)) << request;
    EXPECT_EQ(proxied->header("access-control-allow-origin"), "*") << request;
    EXPECT_EQ(proxied->header("access-control-allow-methods"),
              direct->header("access-control-allow-methods"))
        << request;
  }

  const std::size_t size = 2u << 20;
  const auto big = ask_proxied(port_, post(body_of_size(size)));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 200);
  const std::string answer = R"({"ok":true,"output":")" +
                             std::string(size - SLUG_FRAME.size(), 'a') + R"(","error":null,)";
  EXPECT_TRUE(big->body.starts_with(answer)) << big->body.substr(0, 200);
}

// One byte over the limit is refused by nginx as the service refuses it, with
// the cross-origin header a browser needs to read the status.
TEST_F(Proxy, OversizedBodyIsRefusedLikeTheService) {
  const auto over = ask_proxied(port_, post(body_of_size((2u << 20) + 1)));
  ASSERT_TRUE(over);
  EXPECT_EQ(over->status, 413);
  EXPECT_EQ(over->header("access-control-allow-origin"), "*");
  EXPECT_EQ(over->header("content-type"), "text/plain; charset=utf-8");
  EXPECT_EQ(over->body, "Failed to buffer the request body: length limit exceeded");
}

// Clients on keep-alive connections send a fixed number of requests while
// one instance is killed; nginx sends the requests it held to the others, so
// every request gets its answer.
TEST_F(Proxy, StoppingAnInstanceLosesNoAnswer) {
  constexpr int CLIENTS = 8;
  constexpr int PER_CLIENT = 400;
  std::atomic<int> answered{0};
  std::atomic<int> failed{0};
  const std::string request = post(R"({"tool":"unit","input":"5 km mi"})");
  std::vector<std::thread> clients;
  for (int c = 0; c < CLIENTS; ++c) {
    clients.emplace_back([&] {
      int fd = connect_to(port_);
      std::string pending;
      for (int i = 0; i < PER_CLIENT; ++i) {
        send_all(fd, request);
        const auto a = read_proxied(fd, pending);
        const bool ok =
            a && a->status == 200 && a->body.find("3.106855961 mi") != std::string::npos;
        if (!ok) {
          ++failed;
          ::close(fd);  // the connection may be unusable after a failure
          fd = connect_to(port_);
          pending.clear();
        }
        ++answered;
      }
      ::close(fd);
    });
  }
  // Stop an instance a third of the way through, while every client is busy.
  const auto end = std::chrono::steady_clock::now() + EVENT_DEADLINE;
  while (answered < CLIENTS * PER_CLIENT / 3 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const int answered_before_stop = answered;
  servers_[1].reset();  // SIGKILL, then reaped
  for (std::thread& t : clients) t.join();
  EXPECT_LT(answered_before_stop, CLIENTS * PER_CLIENT);  // the stop came during the load
  EXPECT_EQ(answered, CLIENTS * PER_CLIENT);
  EXPECT_EQ(failed, 0);
}

}  // namespace
