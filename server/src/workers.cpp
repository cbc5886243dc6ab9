#include "workers.h"

#include <boost/system/error_code.hpp>
#include <thread>

namespace pelloriand::server {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t HELP_AFTER_NS = std::chrono::nanoseconds(HELP_AFTER).count();

std::int64_t steady_now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// This thread's runner locks: its own worker's, and the one it is helping,
// if any. `current` is the worker whose handler runs now: the only lock a
// thread back from a tool call waits for, so that it never waits while
// holding another.
struct ThreadLocks {
  Worker* own = nullptr;
  Worker* helped = nullptr;
  Worker* current = nullptr;
  bool own_held = false;
  bool helped_held = false;

  bool& held(const Worker& worker) { return &worker == own ? own_held : helped_held; }

  // Blocks until `worker`'s lock is this thread's; whoever helps it lets go
  // after its current slice once it sees `waiting`.
  void take(Worker& worker) {
    worker.waiting.fetch_add(1);
    worker.runner.lock();
    worker.waiting.fetch_sub(1);
    worker.released_at.store(0, std::memory_order_relaxed);
    held(worker) = true;
  }
  void release(Worker& worker, std::int64_t now) {
    worker.released_at.store(now, std::memory_order_relaxed);
    held(worker) = false;
    worker.runner.unlock();
  }
};
thread_local ThreadLocks locks;

// Runs the handlers of `other`, whose thread is inside a tool call, until a
// thread back from a tool call wants either lock; this worker's own
// connections are served between slices. A tool call in either context
// ends the help, since the call let go of both locks.
void help(Worker& self, Worker& other) {
  if (!other.runner.try_lock()) return;
  other.released_at.store(0, std::memory_order_relaxed);
  locks.helped = &other;
  locks.helped_held = true;
  while (other.waiting.load() == 0 && self.waiting.load() == 0) {
    locks.current = &other;
    other.context.run_one_for(1ms);
    locks.current = &self;
    if (!locks.own_held) break;
    self.context.poll();
    if (!locks.helped_held) break;
  }
  if (locks.helped_held) {
    locks.helped_held = false;
    other.runner.unlock();
  }
  locks.helped = nullptr;
  if (!locks.own_held) locks.take(self);
}

// Lets a thread back from a tool call in this worker's context finish its
// handler there, then takes the lock again.
void hand_over(Worker& self) {
  if (self.waiting.load() == 0) return;
  locks.release(self, 0);
  while (self.waiting.load() != 0) std::this_thread::yield();
  locks.take(self);
}

// Stops the run() of the worker's own thread every HELP_AFTER, so that it
// looks at the others; always pending, so run() never ends for lack of work.
// Run by a helper, or by its own thread while that is helping, it only goes
// round again.
void tick(Worker& self) {
  self.tick.expires_after(HELP_AFTER);
  self.tick.async_wait([&self](const boost::system::error_code&) {
    if (locks.own == &self && locks.helped == nullptr) self.context.stop();
    tick(self);
  });
}

}  // namespace

bool Worker::needs_help(std::int64_t now) const {
  const std::int64_t since = released_at.load(std::memory_order_relaxed);
  return since != 0 && now - since >= HELP_AFTER_NS;
}

ToolCall::ToolCall() {
  const std::int64_t now = steady_now();
  if (locks.own_held) locks.release(*locks.own, now);
  if (locks.helped_held) locks.release(*locks.helped, now);
}

ToolCall::~ToolCall() {
  if (locks.current != nullptr) locks.take(*locks.current);
}

Worker& next_worker(Workers workers, std::size_t& next) {
  const std::int64_t now = steady_now();
  for (std::size_t tried = 0; tried < workers.size(); ++tried) {
    Worker& worker = *workers[next];
    next = (next + 1) % workers.size();
    if (!worker.needs_help(now)) return worker;
  }
  Worker& worker = *workers[next];
  next = (next + 1) % workers.size();
  return worker;
}

void run_worker(Worker& self, Workers workers) {
  locks.own = &self;
  locks.current = &self;
  locks.take(self);
  tick(self);
  for (;;) {
    self.context.run();
    self.context.restart();
    hand_over(self);
    const std::int64_t now = steady_now();
    for (const auto& other : workers) {
      if (other.get() != &self && other->needs_help(now)) help(self, *other);
    }
  }
}

}  // namespace pelloriand::server
