#include "deadline.h"

#include <boost/system/error_code.hpp>
#include <utility>

namespace pelloriand::server {

struct Deadline::Watch {
  explicit Watch(Socket& s) : timer(s.get_executor()), socket(&s) {}

  Timer timer;
  Clock::time_point at = Clock::time_point::max();
  bool expired = false;
  Socket* socket;  // null once the connection has ended
};

Deadline::Deadline(Socket& socket) : watch_(std::make_shared<Watch>(socket)) {
  watch_->timer.expires_at(watch_->at);
  sleep(watch_);
}

Deadline::~Deadline() {
  watch_->socket = nullptr;
  watch_->timer.cancel();
}

void Deadline::expires_after(Clock::duration timeout) {
  Watch& watch = *watch_;
  watch.at = Clock::now() + timeout;
  watch.expired = false;
  // Cancels the pending sleep, which then sleeps again until `at`.
  if (watch.at < watch.timer.expiry()) watch.timer.expires_at(watch.at);
}

bool Deadline::expired() const {
  return watch_->expired;
}

void Deadline::sleep(std::shared_ptr<Watch> watch) {
  Timer& timer = watch->timer;
  timer.async_wait([watch = std::move(watch)](const boost::system::error_code&) mutable {
    if (watch->socket == nullptr) return;
    if (Clock::now() >= watch->at) {
      boost::system::error_code ignored;
      watch->socket->cancel(ignored);
      watch->expired = true;
      watch->at = Clock::time_point::max();
    }
    if (watch->timer.expiry() != watch->at) watch->timer.expires_at(watch->at);
    sleep(std::move(watch));
  });
}

}  // namespace pelloriand::server
