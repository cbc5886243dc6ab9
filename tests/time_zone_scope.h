// Test helper: runs a test body under a fixed host time zone (TZ), restoring
// the previous setting afterwards.
#pragma once

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace pelloriand::testing {

class TimeZoneScope {
 public:
  explicit TimeZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZoneScope() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  std::optional<std::string> saved_;
};

}  // namespace pelloriand::testing
