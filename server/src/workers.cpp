#include "workers.h"

#include <array>
#include <boost/system/error_code.hpp>

namespace pelloriand::server {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t HELP_AFTER_NS = std::chrono::nanoseconds(HELP_AFTER).count();

std::int64_t steady_now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The runner locks this thread holds: its own worker's first, then the one it
// is helping, if any.
struct HeldRunners {
  std::array<Worker*, 2> workers{};
  std::size_t count = 0;

  // `worker`'s lock is already this thread's.
  void add(Worker& worker) {
    worker.released_at.store(0, std::memory_order_relaxed);
    workers[count++] = &worker;
  }
  void let_go() {
    --count;
    workers[count]->runner.unlock();
  }
};
thread_local HeldRunners held;

// Runs the handlers of `other`, whose thread is inside a tool call, until a
// thread back from a tool call wants its lock; this worker's own
// connections are served between slices.
void help(Worker& self, Worker& other) {
  if (!other.runner.try_lock()) return;
  held.add(other);
  while (other.waiting.load() == 0) {
    other.context.run_one_for(1ms);
    self.context.poll();
  }
  held.let_go();
}

// Stops the run() of the worker's own thread every HELP_AFTER, so that it
// looks at the others; always pending, so run() never ends for lack of work.
// Run by a helper, or by its own thread while that is helping, it only goes
// round again.
void tick(Worker& self) {
  self.tick.expires_after(HELP_AFTER);
  self.tick.async_wait([&self](const boost::system::error_code&) {
    if (held.count == 1 && held.workers[0] == &self) self.context.stop();
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
  for (std::size_t i = 0; i < held.count; ++i) {
    held.workers[i]->released_at.store(now, std::memory_order_relaxed);
    held.workers[i]->runner.unlock();
  }
}

ToolCall::~ToolCall() {
  Worker** workers = held.workers.data();
  for (std::size_t i = 0; i < held.count; ++i) workers[i]->waiting.fetch_add(1);
  if (held.count == 2) {
    std::lock(workers[0]->runner, workers[1]->runner);
  } else if (held.count == 1) {
    workers[0]->runner.lock();
  }
  for (std::size_t i = 0; i < held.count; ++i) {
    workers[i]->released_at.store(0, std::memory_order_relaxed);
    workers[i]->waiting.fetch_sub(1);
  }
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
  self.runner.lock();
  held.add(self);
  tick(self);
  for (;;) {
    self.context.run();
    self.context.restart();
    const std::int64_t now = steady_now();
    for (const auto& other : workers) {
      if (other.get() != &self && other->needs_help(now)) help(self, *other);
    }
  }
}

}  // namespace pelloriand::server
