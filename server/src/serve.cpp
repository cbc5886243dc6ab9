// Connections: Beast reads the header into our own parser (no allocation per
// request once a connection's buffers have grown), the router answers, and the
// answer bytes go out in one write. Each connection lives on one worker's
// io_context, so nothing here is shared between threads but the constants.
//
// Limits chosen for a localhost developer service:
//   header 32 KiB (431 and close beyond), body 2 MiB (413);
//   10 s to receive a request header, which also closes idle keep-alive
//   connections; 30 s for a body and for writing an answer.
// GCC 12 misreads the coroutine frames' own operator new/delete pair as
// mismatched when inlining under the sanitizers.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "serve.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "log.h"

namespace pelloriand::server {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

constexpr std::size_t HEADER_LIMIT = 32 * 1024;
constexpr auto HEADER_TIMEOUT = 10s;
constexpr auto BODY_TIMEOUT = 30s;
constexpr auto WRITE_TIMEOUT = 30s;
// Buffers grown by one large request are released instead of kept per
// connection, so 512 idle connections cost little memory.
constexpr std::size_t KEEP_CAPACITY = 64 * 1024;

// What one request's header tells us, in strings reused across requests.
struct RequestState {
  std::string method;
  std::string target;
  std::string content_type;
  bool has_content_type = false;
  bool expect_continue = false;
  int version = 11;
  std::string body;
};

class RequestParser final : public http::basic_parser<true> {
 public:
  explicit RequestParser(RequestState& state) : state_(state) {
    state_.method.clear();
    state_.target.clear();
    state_.content_type.clear();
    state_.has_content_type = false;
    state_.expect_continue = false;
    state_.body.clear();
  }

 private:
  void on_request_impl(http::verb, beast::string_view method, beast::string_view target,
                       int version, beast::error_code&) override {
    state_.method.assign(method.data(), method.size());
    state_.target.assign(target.data(), target.size());
    state_.version = version;
  }
  void on_response_impl(int, beast::string_view, int, beast::error_code&) override {}
  void on_field_impl(http::field name, beast::string_view, beast::string_view value,
                     beast::error_code&) override {
    if (name == http::field::content_type && !state_.has_content_type) {
      state_.has_content_type = true;
      state_.content_type.assign(value.data(), value.size());
    } else if (name == http::field::expect && beast::iequals(value, "100-continue")) {
      state_.expect_continue = true;
    }
  }
  void on_header_impl(beast::error_code&) override {}
  void on_body_init_impl(const boost::optional<std::uint64_t>& length,
                         beast::error_code&) override {
    if (length && *length <= BODY_LIMIT) state_.body.reserve(static_cast<std::size_t>(*length));
  }
  std::size_t on_body_impl(beast::string_view body, beast::error_code&) override {
    state_.body.append(body.data(), body.size());
    return body.size();
  }
  void on_chunk_header_impl(std::uint64_t, beast::string_view, beast::error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, beast::string_view body,
                                 beast::error_code&) override {
    state_.body.append(body.data(), body.size());
    return body.size();
  }
  void on_finish_impl(beast::error_code&) override {}

  RequestState& state_;
};

bool is_quiet_end(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == asio::error::eof ||
         ec == asio::error::connection_reset || ec == asio::error::operation_aborted ||
         ec == beast::error::timeout || ec == asio::error::broken_pipe ||
         ec == http::error::partial_message;
}

// Sends what is left, then reads and drops what the client still sends for a
// moment, so that closing with unread input does not reset the answer away.
asio::awaitable<void> close_gracefully(beast::tcp_stream& stream) {
  beast::error_code ec;
  stream.socket().shutdown(tcp::socket::shutdown_send, ec);
  std::array<char, 16384> sink;
  stream.expires_after(2s);
  std::size_t drained = 0;
  while (!ec && drained < 8 * BODY_LIMIT) {
    drained += co_await stream.async_read_some(asio::buffer(sink),
                                               asio::redirect_error(asio::use_awaitable, ec));
  }
  stream.socket().close(ec);
}

asio::awaitable<void> session(beast::tcp_stream stream, ToolFilter filter) {
  beast::flat_buffer buffer;
  RequestState state;
  ConversionRequest scratch;
  Response response;
  std::string out;
  beast::error_code ec;
  for (;;) {
    RequestParser parser(state);
    parser.header_limit(HEADER_LIMIT);
    // The body limit is applied after the content-type check, which comes first.
    parser.body_limit(boost::none);
    stream.expires_after(HEADER_TIMEOUT);
    co_await http::async_read_header(stream, buffer, parser,
                                     asio::redirect_error(asio::use_awaitable, ec));
    response.body.clear();
    response.allow = {};
    response.preflight = false;
    response.head = false;
    response.content_type = {};
    if (ec) {
      if (is_quiet_end(ec) && ec != http::error::partial_message) co_return;
      if (ec == http::error::partial_message && buffer.size() == 0) co_return;
      // Not HTTP, or a header too large: answer once and close.
      response.status = ec == http::error::header_limit ? 431 : 400;
      out.clear();
      write_response(response, false, false, out);
      stream.expires_after(WRITE_TIMEOUT);
      co_await asio::async_write(stream, asio::buffer(out),
                                 asio::redirect_error(asio::use_awaitable, ec));
      co_await close_gracefully(stream);
      co_return;
    }
    bool keep_alive = parser.keep_alive();
    Routed routed = route(state.method, state.target);
    response.allow = routed.allow;
    switch (routed.route) {
      case Route::index:
        response.allow = {};
        handle_index(response);
        break;
      case Route::tools:
        response.allow = {};
        handle_tools(response, filter);
        break;
      case Route::options:
        response.status = 200;
        response.preflight = true;
        break;
      case Route::method_not_allowed:
        response.status = 405;
        break;
      case Route::not_found:
        response.status = 404;
        response.allow = {};
        break;
      case Route::convert: {
        response.allow = {};
        if (!state.has_content_type || !is_json_content_type(state.content_type)) {
          reject(response, 415, REJECT_CONTENT_TYPE);
          break;
        }
        if (auto length = parser.content_length(); length && *length > BODY_LIMIT) {
          reject(response, 413, REJECT_TOO_LARGE);
          break;
        }
        if (state.expect_continue && !parser.is_done()) {
          static constexpr std::string_view CONTINUE = "HTTP/1.1 100 Continue\r\n\r\n";
          stream.expires_after(WRITE_TIMEOUT);
          co_await asio::async_write(stream, asio::buffer(CONTINUE.data(), CONTINUE.size()),
                                     asio::redirect_error(asio::use_awaitable, ec));
          if (ec) co_return;
        }
        parser.body_limit(BODY_LIMIT);
        stream.expires_after(BODY_TIMEOUT);
        co_await http::async_read(stream, buffer, parser,
                                  asio::redirect_error(asio::use_awaitable, ec));
        if (ec == http::error::body_limit) {
          reject(response, 413, REJECT_TOO_LARGE);
        } else if (ec) {
          if (is_quiet_end(ec)) co_return;
          reject(response, 400, "Failed to buffer the request body: " + ec.message());
        } else {
          handle_convert(state.body, scratch, response);
        }
        break;
      }
    }
    response.head = routed.head;
    if (!parser.is_done()) keep_alive = false;
    out.clear();
    write_response(response, keep_alive, keep_alive && state.version == 10, out);
    stream.expires_after(WRITE_TIMEOUT);
    co_await asio::async_write(stream, asio::buffer(out),
                               asio::redirect_error(asio::use_awaitable, ec));
    if (ec) co_return;
    if (!keep_alive) {
      co_await close_gracefully(stream);
      co_return;
    }
    if (out.capacity() > KEEP_CAPACITY) std::string().swap(out);
    if (state.body.capacity() > KEEP_CAPACITY) std::string().swap(state.body);
    if (response.body.capacity() > KEEP_CAPACITY) std::string().swap(response.body);
    if (scratch.input.capacity() > KEEP_CAPACITY) std::string().swap(scratch.input);
    if (buffer.capacity() > KEEP_CAPACITY && buffer.size() == 0) buffer.shrink_to_fit();
  }
}

std::string os_error_text(int err) {
  return std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")";
}

[[noreturn]] void bind_failed(const std::string& address, const std::string& reason) {
  std::fprintf(stderr, "failed to bind %s: %s\n", address.c_str(), reason.c_str());
  std::fflush(stdout);
  std::exit(1);
}

// Opens a listening socket on one address; returns the fd or sets `err`.
int listen_on(const sockaddr* addr, socklen_t len, int& err) {
  int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    err = errno;
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, addr, len) != 0 || ::listen(fd, 1024) != 0) {
    err = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

int bind_address(const std::string& host, std::uint16_t port, const std::string& address) {
  int err = 0;
  // Literal addresses: dotted IPv4, or IPv6 in brackets.
  sockaddr_storage storage{};
  std::string v6 = host.size() >= 2 && host.front() == '[' && host.back() == ']'
                       ? host.substr(1, host.size() - 2)
                       : std::string();
  auto* v4addr = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6addr = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, host.c_str(), &v4addr->sin_addr) == 1) {
    v4addr->sin_family = AF_INET;
    v4addr->sin_port = htons(port);
    int fd = listen_on(reinterpret_cast<sockaddr*>(v4addr), sizeof *v4addr, err);
    if (fd < 0) bind_failed(address, os_error_text(err));
    return fd;
  }
  if (!v6.empty() && ::inet_pton(AF_INET6, v6.c_str(), &v6addr->sin6_addr) == 1) {
    v6addr->sin6_family = AF_INET6;
    v6addr->sin6_port = htons(port);
    int fd = listen_on(reinterpret_cast<sockaddr*>(v6addr), sizeof *v6addr, err);
    if (fd < 0) bind_failed(address, os_error_text(err));
    return fd;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    bind_failed(address, std::string("failed to lookup address information: ") + gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, &::freeaddrinfo);
  if (found == nullptr) bind_failed(address, "could not resolve to any address");
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    int fd = listen_on(a->ai_addr, a->ai_addrlen, err);
    if (fd >= 0) return fd;
  }
  bind_failed(address, os_error_text(err));
}

struct Worker {
  asio::io_context context{1};
  asio::executor_work_guard<asio::io_context::executor_type> guard{context.get_executor()};
};

asio::awaitable<void> accept_loop(tcp::acceptor& acceptor,
                                  std::vector<std::unique_ptr<Worker>>& workers,
                                  ToolFilter filter) {
  std::size_t next = 0;
  asio::steady_timer pause(acceptor.get_executor());
  for (;;) {
    Worker& worker = *workers[next];
    next = (next + 1) % workers.size();
    beast::error_code ec;
    tcp::socket socket = co_await acceptor.async_accept(
        worker.context, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      if (ec == asio::error::connection_refused || ec == asio::error::connection_aborted ||
          ec == asio::error::connection_reset) {
        continue;
      }
      std::string text = "accept error: " + ec.message();
      log::event(log::Level::error, "pelloriand_http::server", text);
      pause.expires_after(1s);
      co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ec));
      continue;
    }
    socket.set_option(tcp::no_delay(true), ec);
    asio::co_spawn(worker.context, session(beast::tcp_stream(std::move(socket)), filter),
                   [](std::exception_ptr error) {
                     // A connection that fails in an unforeseen way ends alone.
                     if (!error) return;
                     try {
                       std::rethrow_exception(error);
                     } catch (const std::exception& e) {
                       log::event(log::Level::error, "pelloriand_http::server",
                                  std::string("connection error: ") + e.what());
                     }
                   });
  }
}

[[noreturn]] void fatal(std::string_view message, std::string_view cause) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(message.size()), message.data(),
               static_cast<int>(cause.size()), cause.data());
  std::fflush(stdout);
  std::exit(101);
}

}  // namespace

void run_server(std::string host, std::uint16_t port, unsigned worker_threads, ToolFilter filter) {
  std::string address = fmt::format("{}:{}", host, port);
  std::vector<std::unique_ptr<Worker>> workers;
  std::vector<std::thread> threads;
  asio::io_context main_context{1};
  int fd = bind_address(host, port, address);
  try {
    for (unsigned i = 0; i < worker_threads; ++i) workers.push_back(std::make_unique<Worker>());
    for (auto& worker : workers) {
      threads.emplace_back([&context = worker->context] { context.run(); });
    }
  } catch (const std::exception& e) {
    fatal("failed to build tokio runtime", e.what());
  }
  sockaddr_storage bound{};
  socklen_t bound_len = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bound_len);
  tcp::acceptor acceptor(main_context, bound.ss_family == AF_INET6 ? tcp::v6() : tcp::v4(), fd);
  log::event(log::Level::info, "pelloriand_server",
             fmt::format("Pelloriand API listening on http://{} (localhost only)", address));
  std::exception_ptr failure;
  asio::co_spawn(main_context, accept_loop(acceptor, workers, filter),
                 [&](std::exception_ptr error) { failure = error; });
  try {
    main_context.run();
  } catch (const std::exception& e) {
    fatal("server error", e.what());
  }
  fatal("server error", "the accept loop ended");
}

}  // namespace pelloriand::server
