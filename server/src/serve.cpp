// Connections: Beast reads the header into our own parser (no allocation per
// request once a connection's buffers have grown), the router answers, and the
// answer bytes go out in one write. Connections are dealt to the workers
// (workers.h), each a coroutine on its worker's io_context.
//
// Limits chosen for a localhost developer service:
//   header 32 KiB (431 and close beyond), body 2 MiB (413);
//   10 s to receive a request header, which also closes idle keep-alive
//   connections; 30 s for a body and for writing an answer.
// GCC 12 misreads the coroutine frames' own operator new/delete pair as
// mismatched when inlining under the sanitizers.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "serve.h"

#include <fmt/format.h>
#include <malloc.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "listen.h"
#include "log.h"
#include "workers.h"

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
// After a request whose body or answer is larger than this, freed memory is
// handed back to the system (see release_after_request).
constexpr std::size_t TRIM_AFTER = 256 * 1024;
// Coroutines, sockets and timers name the io_context's own executor type
// rather than the type-erased any_io_executor, which costs a conversion per
// operation. Completion token: errors come back as values, never as
// exceptions.
using Executor = asio::io_context::executor_type;
template <typename T>
using Task = asio::awaitable<T, Executor>;
using Stream = beast::basic_stream<tcp, Executor>;
using Acceptor = tcp::acceptor::rebind_executor<Executor>::other;
using Timer = asio::steady_timer::rebind_executor<Executor>::other;
constexpr auto use_ec = asio::as_tuple(asio::use_awaitable_t<Executor>{});

// What one request's header tells us, in strings reused across requests.
struct RequestState {
  std::string method;
  std::string target;
  std::string content_type;
  bool has_content_type = false;
  bool expect_continue = false;
  bool transfer_encoding = false;
  int version = 11;
  std::string body;

  // Forgets the previous request, keeping the strings' capacity.
  void reset() {
    method.clear();
    target.clear();
    content_type.clear();
    has_content_type = false;
    expect_continue = false;
    transfer_encoding = false;
    body.clear();
  }
};

class RequestParser final : public http::basic_parser<true> {
 public:
  explicit RequestParser(RequestState& state) : state_(state) { state_.reset(); }

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
    } else if (name == http::field::transfer_encoding) {
      state_.transfer_encoding = true;
    }
  }
  // A transfer coding list that does not end in "chunked" leaves the body's
  // end unknown: whatever follows could be read as the next request, so the
  // request is refused (400) and the connection closed.
  void on_header_impl(beast::error_code& ec) override {
    if (state_.transfer_encoding && !chunked()) ec = http::error::bad_transfer_encoding;
  }
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

// A header that could not be read earns an answer unless the client simply
// left (between requests, or with nothing of a request sent).
bool answers_header_error(const beast::error_code& ec, const beast::flat_buffer& input) {
  if (ec == http::error::partial_message) return input.size() != 0;
  return !is_quiet_end(ec);
}

// Sends what is left, then reads and drops what the client still sends for a
// moment, so that closing with unread input does not reset the answer away.
Task<void> close_gracefully(Stream& stream) {
  beast::error_code ec;
  stream.socket().shutdown(tcp::socket::shutdown_send, ec);
  std::array<char, 16384> sink;
  stream.expires_after(2s);
  std::size_t drained = 0;
  while (!ec && drained < 8 * BODY_LIMIT) {
    std::size_t n = 0;
    std::tie(ec, n) = co_await stream.async_read_some(asio::buffer(sink), use_ec);
    drained += n;
  }
  stream.socket().close(ec);
}

// What one connection keeps from one request to the next.
struct Connection {
  beast::flat_buffer input;
  RequestState state;
  ConversionRequest scratch;
  Response response;
  std::string out;

  void start_answer() {
    response.status = 200;
    response.body.clear();
    response.allow = {};
    response.preflight = false;
    response.head = false;
    response.content_type = {};
  }

  // Frees the buffers one large request grew, so that idle connections cost
  // little. After a large request, free blocks inside the allocator's heaps
  // are handed back too: a small block still in use (another connection's
  // buffer, say) above them keeps the heap from shrinking at its top, and
  // without a trim those pages would stay resident. The trim walks the free
  // lists, cheap next to a request of that size.
  void release_after_request() {
    const bool large = state.body.size() > TRIM_AFTER || out.size() > TRIM_AFTER;
    if (out.capacity() > KEEP_CAPACITY) std::string().swap(out);
    if (state.body.capacity() > KEEP_CAPACITY) std::string().swap(state.body);
    if (response.body.capacity() > KEEP_CAPACITY) std::string().swap(response.body);
    if (scratch.input.capacity() > KEEP_CAPACITY) std::string().swap(scratch.input);
    if (input.capacity() > KEEP_CAPACITY && input.size() == 0) input.shrink_to_fit();
    if (large) ::malloc_trim(0);
  }
};

// Every route but POST /v1/convert is answered from the header alone.
void answer_from_header(const Routed& routed, ToolFilter filter, Response& response) {
  switch (routed.route) {
    case Route::index:
      handle_index(response);
      return;
    case Route::tools:
      handle_tools(response, filter);
      return;
    case Route::options:
      response.preflight = true;
      response.allow = routed.allow;
      return;
    case Route::method_not_allowed:
      response.status = 405;
      response.allow = routed.allow;
      return;
    case Route::not_found:
    case Route::convert:  // read_and_convert's
      response.status = 404;
      return;
  }
}

// POST /v1/convert: admitted or refused on its header, then the body is read
// and goes to the handler. False when the client
// went away and nothing is to be answered.
Task<bool> read_and_convert(Stream& stream, RequestParser& parser, Connection& c) {
  ConvertHead head;
  if (c.state.has_content_type) head.content_type = c.state.content_type;
  if (auto length = parser.content_length()) head.content_length = *length;
  head.expect_continue = c.state.expect_continue;
  head.body_complete = parser.is_done();
  const Admission admission = admit_convert(head);
  if (admission.status != 0) {
    reject(c.response, admission.status, admission.reason);
    co_return true;
  }
  if (admission.send_continue) {
    static constexpr std::string_view CONTINUE = "HTTP/1.1 100 Continue\r\n\r\n";
    stream.expires_after(WRITE_TIMEOUT);
    auto [ec, n] = co_await asio::async_write(stream, asio::buffer(CONTINUE), use_ec);
    if (ec) co_return false;
  }
  parser.body_limit(BODY_LIMIT);
  stream.expires_after(BODY_TIMEOUT);
  auto [ec, n] = co_await http::async_read(stream, c.input, parser, use_ec);
  if (ec == http::error::body_limit) {
    reject(c.response, 413, REJECT_TOO_LARGE);
  } else if (ec) {
    if (is_quiet_end(ec)) co_return false;
    reject(c.response, 400, "Failed to buffer the request body: " + ec.message());
  } else {
    ToolCall call;
    handle_convert(c.state.body, c.scratch, c.response);
  }
  co_return true;
}

// Writes the answer in one piece; false when the client is gone. Most
// answers fit in the socket's send buffer and go out in one non-blocking
// write, with no timer to arm and no wait; the rest is written under the
// write deadline.
Task<bool> send_answer(Stream& stream, Connection& c, bool keep_alive) {
  c.out.clear();
  write_response(c.response, keep_alive, keep_alive && c.state.version == 10, c.out);
  beast::error_code ec;
  const std::size_t sent = stream.socket().write_some(asio::buffer(c.out), ec);
  if (ec && ec != asio::error::would_block) co_return false;
  if (sent == c.out.size()) co_return true;
  stream.expires_after(WRITE_TIMEOUT);
  std::size_t n = 0;
  std::tie(ec, n) = co_await asio::async_write(stream, asio::buffer(c.out) + sent, use_ec);
  co_return !ec;
}

// One connection's life: read a header, route, maybe read the body, answer,
// and go round again while the client keeps the connection alive.
Task<void> session(Stream stream, ToolFilter filter) {
  Connection c;
  for (;;) {
    RequestParser parser(c.state);
    parser.header_limit(HEADER_LIMIT);
    parser.body_limit(boost::none);  // applied after the content-type check
    stream.expires_after(HEADER_TIMEOUT);
    auto [ec, n] = co_await http::async_read_header(stream, c.input, parser, use_ec);
    c.start_answer();
    if (ec) {
      // Not HTTP, a header too large or unreadable framing: answer once, close.
      if (!answers_header_error(ec, c.input)) co_return;
      c.response.status = ec == http::error::header_limit ? 431 : 400;
      if (co_await send_answer(stream, c, false)) co_await close_gracefully(stream);
      co_return;
    }
    const Routed routed = route(c.state.method, c.state.target);
    if (routed.route != Route::convert) {
      answer_from_header(routed, filter, c.response);
    } else if (!co_await read_and_convert(stream, parser, c)) {
      co_return;
    }
    c.response.head = routed.head;
    const bool keep_alive = parser.keep_alive() && parser.is_done();
    if (!co_await send_answer(stream, c, keep_alive)) co_return;
    c.release_after_request();
    if (!keep_alive) {
      co_await close_gracefully(stream);
      co_return;
    }
  }
}

// Accepts for ever; each connection becomes a coroutine on the chosen
// worker's io_context.
Task<void> accept_loop(Acceptor& acceptor, Workers workers, ToolFilter filter) {
  std::size_t next = 0;
  Timer pause(acceptor.get_executor());
  for (;;) {
    Worker& worker = next_worker(workers, next);
    auto [ec, socket] = co_await acceptor.async_accept(worker.context.get_executor(), use_ec);
    if (ec) {
      if (ec == asio::error::connection_refused || ec == asio::error::connection_aborted ||
          ec == asio::error::connection_reset) {
        continue;
      }
      std::string text = "accept error: " + ec.message();
      log::event(log::Level::error, "pelloriand_http::server", text);
      pause.expires_after(1s);
      co_await pause.async_wait(use_ec);
      continue;
    }
    socket.set_option(tcp::no_delay(true), ec);
    socket.non_blocking(true, ec);  // for send_answer's first write
    auto executor = socket.get_executor();
    asio::co_spawn(executor, session(Stream(std::move(socket)), filter),
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

}  // namespace

void run_server(std::string host, std::uint16_t port, unsigned worker_threads, ToolFilter filter) {
  std::string address = fmt::format("{}:{}", host, port);
  int fd = bind_address(host, port, address);
  // glibc raises its mmap threshold to the size of each large block freed
  // (up to 32 MiB) and its heap-trim threshold to twice that, so after a few
  // 2 MiB requests every worker's heap would keep tens of MB of free top for
  // good. Fixed thresholds keep large blocks mapped and returned at once, and
  // a heap top above 1 MiB is given back; the free blocks left inside the
  // heaps go back through malloc_trim after a large request.
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(TRIM_AFTER));
  ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
  std::vector<std::unique_ptr<Worker>> workers;
  std::vector<std::thread> threads;
  try {
    for (unsigned i = 0; i < worker_threads; ++i) workers.push_back(std::make_unique<Worker>());
  } catch (const std::exception& e) {
    log::fatal("failed to build tokio runtime", e.what());
  }
  sockaddr_storage bound{};
  socklen_t bound_len = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bound_len);
  Acceptor acceptor(workers[0]->context.get_executor(),
                    bound.ss_family == AF_INET6 ? tcp::v6() : tcp::v4(), fd);
  log::event(log::Level::info, "pelloriand_server",
             fmt::format("Pelloriand API listening on http://{} (localhost only)", address));
  // The accept loop ends only by an exception, which ends the process with
  // its cause.
  asio::co_spawn(workers[0]->context, accept_loop(acceptor, workers, filter),
                 [](std::exception_ptr error) {
                   try {
                     if (error) std::rethrow_exception(error);
                     log::fatal("server error", "the accept loop ended");
                   } catch (const std::exception& e) {
                     log::fatal("server error", e.what());
                   }
                 });
  // The calling thread is the first worker.
  try {
    for (unsigned i = 1; i < worker_threads; ++i) {
      threads.emplace_back([&worker = *workers[i], &workers] { run_worker(worker, workers); });
    }
  } catch (const std::exception& e) {
    log::fatal("failed to build tokio runtime", e.what());
  }
  try {
    run_worker(*workers[0], workers);
  } catch (const std::exception& e) {
    log::fatal("server error", e.what());
  }
}

}  // namespace pelloriand::server
