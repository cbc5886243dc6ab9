// Connections: what the socket brings is fed to Beast's parser, ours (no
// allocation per request once a connection's buffers have grown), the router
// answers, and the answer bytes go out in one write. One deadline per
// connection bounds every wait (deadline.h). Each I/O thread runs an io_context of its
// own; connections are dealt to them in turn, each a coroutine on one context,
// so a connection's steps never run on two threads at once and need no strand.
// Tool calls that may run long go to a fixed compute pool (may_run_long), so
// that an I/O thread never sits in one while its other connections, or the
// listener, wait.
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
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "deadline.h"
#include "listen.h"
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
// After a request whose body or answer is larger than this, freed memory is
// handed back to the system (see release_after_request).
constexpr std::size_t TRIM_AFTER = 256 * 1024;
// Coroutines name the io_context's own executor type, as the sockets do.
// Completion token: errors come back as values, never as exceptions.
template <typename T>
using Task = asio::awaitable<T, Executor>;
using Acceptor = tcp::acceptor::rebind_executor<Executor>::other;
constexpr auto use_ec = asio::as_tuple(asio::use_awaitable_t<Executor>{});
using Pool = asio::thread_pool;
using Contexts = std::span<const std::unique_ptr<asio::io_context>>;

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
    return append_body(body);
  }
  void on_chunk_header_impl(std::uint64_t, beast::string_view, beast::error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, beast::string_view body,
                                 beast::error_code&) override {
    return append_body(body);
  }
  // A body that cannot grow throws std::bad_alloc out of the parser, into
  // the connection's coroutine, which answers 503 (session).
  std::size_t append_body(beast::string_view body) {
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

// What one connection keeps from one request to the next.
struct Connection {
  explicit Connection(Socket s) : socket(std::move(s)), deadline(socket) {}

  Socket socket;
  Deadline deadline;
  beast::flat_buffer input;
  RequestState state;
  ConversionRequest scratch;
  Response response;
  std::string out;
  bool answering = false;  // some of the current answer may have gone out

  void start_answer() {
    answering = false;
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
  void release_after_request(Pool& pool) {
    const bool large = state.body.size() > TRIM_AFTER || out.size() > TRIM_AFTER;
    if (out.capacity() > KEEP_CAPACITY) std::string().swap(out);
    if (state.body.capacity() > KEEP_CAPACITY) std::string().swap(state.body);
    if (response.body.capacity() > KEEP_CAPACITY) std::string().swap(response.body);
    if (scratch.input.capacity() > KEEP_CAPACITY) std::string().swap(scratch.input);
    if (input.capacity() > KEEP_CAPACITY && input.size() == 0) input.shrink_to_fit();
    if (large) asio::post(pool, [] { ::malloc_trim(0); });
  }

  // Everything one connection holds, for a connection that ran out of memory.
  void release_all() {
    std::string().swap(out);
    std::string().swap(state.body);
    std::string().swap(response.body);
    std::string().swap(scratch.input);
    input.clear();
    input.shrink_to_fit();
  }
};

// Sends what is left, then reads and drops what the client still sends for a
// moment, so that closing with unread input does not reset the answer away.
Task<void> close_gracefully(Connection& c) {
  beast::error_code ec;
  c.socket.shutdown(tcp::socket::shutdown_send, ec);
  std::array<char, 16384> sink;
  c.deadline.expires_after(2s);
  std::size_t drained = 0;
  while (!ec && !c.deadline.expired() && drained < 8 * BODY_LIMIT) {
    std::size_t n = 0;
    std::tie(ec, n) = co_await c.socket.async_read_some(asio::buffer(sink), use_ec);
    drained += n;
  }
  c.socket.close(ec);
}

// Feeds the parser what the connection holds, reading more until it has the
// header (`whole` false, within the header deadline) or the whole request
// (within the body's). This is Beast's async_read_header and async_read,
// with their errors, without the layers of composed operations and without
// the round through the io_context they make when the buffer already holds
// what is asked for, as a small request's body always does once its header
// is read.
Task<beast::error_code> read_request(Connection& c, RequestParser& parser, bool whole) {
  beast::flat_buffer& input = c.input;
  c.deadline.expires_after(whole ? BODY_TIMEOUT : HEADER_TIMEOUT);
  beast::error_code ec;
  while (!(whole ? parser.is_done() : parser.is_header_done())) {
    if (input.size() != 0) {
      input.consume(parser.put(input.data(), ec));
      if (ec != http::error::need_more) {
        if (ec) co_return ec;
        continue;
      }
      ec = {};
    }
    if (c.deadline.expired()) co_return beast::error::timeout;
    std::size_t n = 0;
    std::tie(ec, n) =
        co_await c.socket.async_read_some(input.prepare(beast::read_size(input, 65536)), use_ec);
    input.commit(n);
    if (ec == asio::error::eof) {
      if (!parser.got_some()) co_return http::error::end_of_stream;
      ec = {};
      parser.put_eof(ec);  // a request cut short is partial_message
      co_return ec;
    }
    if (ec) co_return ec;
  }
  co_return ec;
}

// Writes all of `bytes` within the write deadline; false when that failed.
Task<bool> write_all(Connection& c, asio::const_buffer bytes) {
  c.deadline.expires_after(WRITE_TIMEOUT);
  while (bytes.size() != 0) {
    if (c.deadline.expired()) co_return false;
    auto [ec, n] = co_await c.socket.async_write_some(bytes, use_ec);
    if (ec) co_return false;
    bytes += n;
  }
  co_return true;
}

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

// may_run_long
//
// Whether a tool call goes to the compute pool rather than running on the
// connection's I/O thread. A hop to the pool and back costs about as much as
// a small request itself, so most calls stay inline: they take microseconds,
// and the time they take grows with their input. Only two tools can take far
// longer than their input's size suggests: geom (a buffer or an intersection
// of many vertices runs for seconds) and format (a document of nested
// anchors and aliases expands); they always go. So does any input over
// 64 KiB, whatever the tool, since even a linear pass over a large input
// would hold up every other connection of that thread for milliseconds.
bool may_run_long(std::string_view tool, std::size_t input_size) {
  constexpr std::size_t LARGE_INPUT = 64 * 1024;
  return tool == "geom" || tool == "format" || input_size > LARGE_INPUT;
}

// Runs `work` on the pool and resumes the coroutine on its own executor;
// whatever `work` throws is thrown again there, so the connection never
// waits for an answer that will not come.
template <typename Work>
Task<void> on_pool(Pool& pool, Work& work) {
  constexpr auto token = asio::use_awaitable_t<Executor>{};
  co_await asio::async_initiate<decltype(token), void(std::exception_ptr)>(
      [&pool, &work](auto handler) {
        auto home = asio::get_associated_executor(handler);
        asio::post(pool, [&work, home, handler = std::move(handler)]() mutable {
          std::exception_ptr error;
          try {
            work();
          } catch (...) {
            error = std::current_exception();
          }
          asio::dispatch(
              home, [handler = std::move(handler), error]() mutable { std::move(handler)(error); });
        });
      },
      token);
}

// POST /v1/convert: admitted or refused on its header, then the body is read
// and goes to the handler. False when the client
// went away and nothing is to be answered.
Task<bool> read_and_convert(RequestParser& parser, Connection& c, Pool& pool) {
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
    if (!co_await write_all(c, asio::buffer(CONTINUE))) co_return false;
  }
  parser.body_limit(BODY_LIMIT);
  const beast::error_code ec = co_await read_request(c, parser, true);
  if (ec == http::error::body_limit) {
    reject(c.response, 413, REJECT_TOO_LARGE);
  } else if (ec) {
    if (is_quiet_end(ec)) co_return false;
    reject(c.response, 400, "Failed to buffer the request body: " + ec.message());
  } else if (read_convert_body(c.state.body, c.scratch, c.response)) {
    if (may_run_long(c.scratch.tool, c.scratch.input.size())) {
      auto work = [&c] { run_convert(c.scratch, c.response); };
      co_await on_pool(pool, work);
    } else {
      run_convert(c.scratch, c.response);
    }
  }
  co_return true;
}

// Writes the answer in one piece; false when the client is gone. Most
// answers fit in the socket's send buffer and go out in one non-blocking
// write, with no timer to arm and no wait; the rest is written under the
// write deadline.
Task<bool> send_answer(Connection& c, bool keep_alive) {
  c.out.clear();
  write_response(c.response, keep_alive, keep_alive && c.state.version == 10, c.out);
  c.answering = true;
  beast::error_code ec;
  const std::size_t sent = c.socket.write_some(asio::buffer(c.out), ec);
  if (ec && ec != asio::error::would_block) co_return false;
  if (sent == c.out.size()) co_return true;
  co_return co_await write_all(c, asio::buffer(c.out) + sent);
}

// Logs what ended a connection or an accept; logging may itself fail to
// allocate, and then the event is lost rather than the thread.
void log_failure(std::string_view what, const char* cause) noexcept {
  try {
    log::event(log::Level::error, "pelloriand_http::server", std::string(what) + ": " + cause);
  } catch (...) {
  }
}

// One connection's requests: read a header, route, maybe read the body,
// answer, and go round again while the client keeps the connection alive.
Task<void> serve_requests(Connection& c, ToolFilter filter, Pool& pool) {
  for (;;) {
    RequestParser parser(c.state);
    parser.header_limit(HEADER_LIMIT);
    parser.body_limit(boost::none);  // applied after the content-type check
    const beast::error_code ec = co_await read_request(c, parser, false);
    c.start_answer();
    if (ec) {
      // Not HTTP, a header too large or unreadable framing: answer once, close.
      if (!answers_header_error(ec, c.input)) co_return;
      c.response.status = ec == http::error::header_limit ? 431 : 400;
      if (co_await send_answer(c, false)) co_await close_gracefully(c);
      co_return;
    }
    const Routed routed = route(c.state.method, c.state.target);
    if (routed.route != Route::convert) {
      answer_from_header(routed, filter, c.response);
    } else if (!co_await read_and_convert(parser, c, pool)) {
      co_return;
    }
    c.response.head = routed.head;
    const bool keep_alive = parser.keep_alive() && parser.is_done();
    if (!co_await send_answer(c, keep_alive)) co_return;
    c.release_after_request(pool);
    if (!keep_alive) {
      co_await close_gracefully(c);
      co_return;
    }
  }
}

// A connection's life. Whatever throws while one of its requests is read or
// answered, a failed allocation mostly, ends this connection alone: once its
// buffers are freed it is answered 503 if no byte of an answer has gone out
// yet, and closed.
Task<void> session(Socket socket, ToolFilter filter, Pool& pool) {
  Connection c(std::move(socket));
  bool short_of_memory = false;
  try {
    co_await serve_requests(c, filter, pool);
    co_return;
  } catch (const std::bad_alloc& e) {
    short_of_memory = true;
    log_failure("connection error", e.what());
  } catch (const std::exception& e) {
    log_failure("connection error", e.what());
  }
  if (!short_of_memory || c.answering) co_return;
  c.release_all();
  try {
    c.start_answer();
    reject(c.response, 503, SHORT_OF_MEMORY);
    if (co_await send_answer(c, false)) co_await close_gracefully(c);
  } catch (const std::exception&) {
    // Still no memory: the connection closes unanswered.
  }
}

// Accepts for ever, dealing the connections to the I/O contexts in turn;
// each becomes a coroutine there. An accept that fails, or a connection that
// cannot be set up for want of memory, costs that connection and a pause.
Task<void> accept_loop(Acceptor& acceptor, Contexts contexts, ToolFilter filter, Pool& pool) {
  std::size_t next = 0;
  Timer pause(acceptor.get_executor());
  for (;;) {
    asio::io_context& context = *contexts[next];
    next = (next + 1) % contexts.size();
    auto wait = 0ms;
    try {
      auto [ec, socket] = co_await acceptor.async_accept(context.get_executor(), use_ec);
      if (!ec) {
        socket.set_option(tcp::no_delay(true), ec);
        socket.non_blocking(true, ec);  // for send_answer's first write
        auto executor = socket.get_executor();
        asio::co_spawn(executor, session(std::move(socket), filter, pool),
                       [](std::exception_ptr) {});
      } else if (ec != asio::error::connection_refused && ec != asio::error::connection_aborted &&
                 ec != asio::error::connection_reset) {
        log_failure("accept error", ec.message().c_str());
        wait = 1000ms;
      }
    } catch (const std::exception& e) {
      log_failure("accept error", e.what());
      wait = 100ms;
    }
    if (wait.count() != 0) {
      pause.expires_after(wait);
      co_await pause.async_wait(use_ec);
    }
  }
}

// Starts the accept loop, and starts it again should it ever end.
void start_accepting(Acceptor& acceptor, Contexts contexts, ToolFilter filter, Pool& pool) {
  asio::co_spawn(acceptor.get_executor(), accept_loop(acceptor, contexts, filter, pool),
                 [&acceptor, contexts, filter, &pool](std::exception_ptr error) {
                   const char* cause = "the accept loop ended";
                   try {
                     if (error) std::rethrow_exception(error);
                   } catch (const std::exception& e) {
                     log_failure("server error", e.what());
                     cause = nullptr;
                   }
                   if (cause != nullptr) log_failure("server error", cause);
                   start_accepting(acceptor, contexts, filter, pool);
                 });
}

// A thread's loop: an I/O thread runs its io_context, a compute thread
// joins the pool. An exception that leaves a completion handler (allocating
// the next operation's handler, say) has destroyed that handler, and with it
// the one connection's coroutine waiting on it; the tool calls' own
// exceptions go back to their connections (on_pool). Either way the thread
// serves the others on.
template <typename Run>
void serve_on(Run run) {
  for (;;) {
    try {
      run();
      return;
    } catch (const std::exception& e) {
      log_failure("connection error", e.what());
    }
  }
}

}  // namespace

void run_server(std::string host, std::uint16_t port, unsigned worker_threads, ToolFilter filter) {
  std::string address = fmt::format("{}:{}", host, port);
  // glibc raises its mmap threshold to the size of each large block freed
  // (up to 32 MiB) and its heap-trim threshold to twice that, so after a few
  // 2 MiB requests every thread's heap would keep tens of MB of free top for
  // good. Fixed thresholds keep large blocks mapped and returned at once, and
  // a heap top above 1 MiB is given back; the free blocks left inside the
  // heaps go back through malloc_trim after a large request.
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(TRIM_AFTER));
  ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
  // Every thread the service will have is started before the listener is
  // bound and the banner printed: a machine that cannot give them fails at
  // start-up, before any client was told to come. The I/O threads wait in
  // their io_context, held open by a work guard; the pool's, on its queue.
  std::vector<std::unique_ptr<asio::io_context>> contexts;
  std::vector<asio::executor_work_guard<Executor>> guards;
  // The pool starts with no thread of its own and its threads join it: a
  // pool that starts its own and fails at one of them waits, in its
  // constructor, for the ones already started, which never end.
  Pool pool(0);
  std::vector<std::thread> threads;
  try {
    for (unsigned i = 0; i < worker_threads; ++i) {
      contexts.push_back(std::make_unique<asio::io_context>(1));
      guards.push_back(asio::make_work_guard(contexts.back()->get_executor()));
    }
    for (unsigned i = 0; i < worker_threads; ++i)
      threads.emplace_back([&pool] { serve_on([&pool] { pool.attach(); }); });
    // The calling thread runs the first context.
    for (unsigned i = 1; i < worker_threads; ++i) {
      threads.emplace_back([&context = *contexts[i]] { serve_on([&context] { context.run(); }); });
    }
  } catch (const std::exception& e) {
    log::fatal("failed to build tokio runtime", e.what());
  }
  int fd = bind_address(host, port, address);
  sockaddr_storage bound{};
  socklen_t bound_len = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bound_len);
  Acceptor acceptor(contexts[0]->get_executor(),
                    bound.ss_family == AF_INET6 ? tcp::v6() : tcp::v4(), fd);
  start_accepting(acceptor, contexts, filter, pool);
  log::event(log::Level::info, "pelloriand_server",
             fmt::format("Pelloriand API listening on http://{} (localhost only)", address));
  serve_on([&context = *contexts[0]] { context.run(); });
  log::fatal("server error", "the I/O loop ended");
}

}  // namespace pelloriand::server
