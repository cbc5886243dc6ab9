// A connection's socket and the one deadline for whatever the connection
// waits on next: a request header, a body, the rest of an answer.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <memory>

namespace pelloriand::server {

// Sockets and timers name the io_context's own executor type rather than
// the type-erased any_io_executor, which costs a conversion per operation.
using Executor = boost::asio::io_context::executor_type;
using Socket = boost::asio::ip::tcp::socket::rebind_executor<Executor>::other;
using Timer = boost::asio::steady_timer::rebind_executor<Executor>::other;

// Deadline
//
// Moving the deadline is a store of a time. One timer per connection sleeps
// until the deadline it last saw and, when it wakes, either finds the
// deadline moved later and sleeps on, or finds it passed: it cancels the
// socket's operations, which then end with operation_aborted, and marks the
// deadline expired, so that an operation whose completion was already on
// its way is not followed by another (callers look before each wait). Only
// a deadline moved earlier than the timer's wakes it at once. As with a
// timer armed per operation, a deadline that passes while nothing waits on
// the socket (a tool call on the pool, say) costs nothing but the mark.
//
// Arming and cancelling a timer around every read and write, as Beast's
// basic_stream does, takes the reactor's lock twice per operation and runs
// a handler for every cancelled wait, a share of a small request's cost
// that shows in the answers per second.
//
// The watch outlives the connection by at most one wake of the timer, and
// touches nothing of it after the Deadline is destroyed. Everything runs on
// the socket's own io_context, which one thread runs.
class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Deadline(Socket& socket);
  ~Deadline();
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // What the connection waits on from now must be over within `timeout`.
  void expires_after(Clock::duration timeout);
  // Whether the deadline has passed since it was last moved.
  bool expired() const;

 private:
  struct Watch;
  static void sleep(std::shared_ptr<Watch> watch);

  std::shared_ptr<Watch> watch_;
};

}  // namespace pelloriand::server
