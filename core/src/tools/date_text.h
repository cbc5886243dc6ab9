// Reading of the ISO-8601-like date and time texts that the timestamp and
// calendar tools accept. Both tools first check a fixed date shape
// ("YYYY-MM-DD" at the start) and then read the rest with a small cursor; the
// grammar of the rest differs per tool and lives in each tool's file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "civil.h"
#include "pelloriand/text.h"

namespace pelloriand::tools::date_text {

[[nodiscard]] constexpr bool all_digits(std::string_view s) {
  for (const char c : s) {
    if (!text::is_digit(c)) return false;
  }
  return true;
}

// The value of a text of at most 18 ASCII digits (the caller checks both).
[[nodiscard]] constexpr std::int64_t digits_value(std::string_view s) {
  std::int64_t v = 0;
  for (const char c : s) v = v * 10 + (c - '0');
  return v;
}

// has_date_shape
//
// At least 10 bytes, beginning with four digits, "-", two digits, "-", two digits.
[[nodiscard]] constexpr bool has_date_shape(std::string_view t) {
  if (t.size() < 10) return false;
  for (std::size_t i = 0; i < 10; ++i) {
    if ((i == 4 || i == 7) ? t[i] != '-' : !text::is_digit(t[i])) return false;
  }
  return true;
}

// read_date
//
// The day number of the date at the start of a date-shaped text; nothing when
// that date does not exist ("2025-02-29", "2025-13-01", "2025-04-00").
[[nodiscard]] constexpr std::optional<std::int64_t> read_date(std::string_view t) {
  const std::int64_t y = digits_value(t.substr(0, 4));
  const auto m = static_cast<unsigned>(digits_value(t.substr(5, 2)));
  const auto d = static_cast<unsigned>(digits_value(t.substr(8, 2)));
  if (m < 1 || m > 12 || d < 1 || d > civil::days_in_month(y, m)) return std::nullopt;
  return civil::days_from_civil(y, m, d);
}

// Cursor
//
// Left-to-right reader over the rest of a date-time text. Every method either
// consumes what it reads and succeeds, or fails; callers stop at the first
// failure, so a failed read leaves no state that matters.
class Cursor {
 public:
  explicit constexpr Cursor(std::string_view s) : s_(s) {}

  [[nodiscard]] constexpr bool at_end() const { return pos_ == s_.size(); }

  [[nodiscard]] constexpr bool literal(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  [[nodiscard]] constexpr bool literal(std::string_view text) {
    if (s_.substr(pos_).starts_with(text)) {
      pos_ += text.size();
      return true;
    }
    return false;
  }

  // A number of min_digits to max_digits digits (as many as there are) in
  // [0, max_value].
  [[nodiscard]] constexpr bool number(unsigned min_digits, unsigned max_digits, int max_value,
                                      int& out) {
    std::size_t n = 0;
    int v = 0;
    while (n < max_digits && pos_ + n < s_.size() && text::is_digit(s_[pos_ + n])) {
      v = v * 10 + (s_[pos_ + n] - '0');
      ++n;
    }
    if (n < min_digits || v > max_value) return false;
    pos_ += n;
    out = v;
    return true;
  }

  // "." and one or more digits: the first nine are nanoseconds, the rest are
  // read and dropped. Without a "." nothing is read and the fraction is 0.
  [[nodiscard]] constexpr bool optional_fraction(std::int64_t& nanos) {
    nanos = 0;
    if (pos_ >= s_.size() || s_[pos_] != '.') return true;
    std::size_t p = pos_ + 1;
    std::int64_t scale = 100'000'000;
    const std::size_t first = p;
    for (; p < s_.size() && text::is_digit(s_[p]); ++p) {
      nanos += (s_[p] - '0') * scale;
      scale /= 10;
    }
    if (p == first) return false;
    pos_ = p;
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace pelloriand::tools::date_text
