// The worker threads. Each runs its own io_context, so the common path takes
// no lock another thread wants, and a connection's steps run on one thread at
// a time without a strand: a context's handlers run only on the thread that
// holds its runner lock. A thread lets go of its locks while a tool runs; once
// that has lasted HELP_AFTER, an idle worker takes the lock and serves the
// waiting connections beside its own, until the tool's thread wants it back.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace pelloriand::server {

// A worker inside one tool call for this long gets help from the others.
inline constexpr std::chrono::milliseconds HELP_AFTER{10};

// Worker
//
// An io_context and the lock held by the one thread that runs its handlers.
// Its own thread holds it, except inside a tool call; `released_at`
// (steady-clock nanoseconds, 0 while the lock is held) says since when.
// `waiting` counts threads back from a tool call that want the lock again.
struct Worker {
  boost::asio::io_context context;
  boost::asio::steady_timer tick{context};
  std::mutex runner;
  std::atomic<std::int64_t> released_at{0};
  std::atomic<int> waiting{0};

  // Inside a tool call for HELP_AFTER or longer, with nobody serving it.
  [[nodiscard]] bool needs_help(std::int64_t now) const;
};

using Workers = std::span<const std::unique_ptr<Worker>>;

// ToolCall
//
// Lets go of this thread's runner locks for its lifetime, around a tool
// call, so that the connections waiting on those contexts are served by
// other threads; takes them back before the caller's connection goes on.
class ToolCall {
 public:
  ToolCall();
  ~ToolCall();
  ToolCall(const ToolCall&) = delete;
  ToolCall& operator=(const ToolCall&) = delete;
};

// next_worker
//
// Round robin over the workers, passing over those inside a long tool call
// (all of them: the next in turn).
[[nodiscard]] Worker& next_worker(Workers workers, std::size_t& next);

// run_worker
//
// A worker thread's loop: its own connections, and every HELP_AFTER a look
// at the others.
[[noreturn]] void run_worker(Worker& self, Workers workers);

}  // namespace pelloriand::server
