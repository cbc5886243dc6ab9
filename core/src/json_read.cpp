// The JSON reader; see json.h. A strict RFC 8259 parser of our own that builds
// Boost.JSON values through boost::json::value_stack (which also gives repeated
// keys their meaning). Boost.JSON 1.81's own parser is not correctly rounded
// ("5.806313673e+44" came out one unit off) and spends most of its time on
// numbers, which are most of a GeoJSON text; here a number of at most 15
// digits without exponent is one exact division, and any other is read by
// std::from_chars. Containers are tracked on an explicit stack, so depth costs
// no call stack.
#include <boost/json/value_stack.hpp>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "json.h"
#include "text.h"

namespace pelloriand::json {
namespace {

// Powers of ten that are exact doubles.
constexpr double EXACT_POWERS_OF_TEN[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int EXACT_DIGITS = 15;  // below 2^53, so the significand is exact too

class Reader {
 public:
  Reader(std::string_view text, boost::json::storage_ptr storage)
      : p_(text.data()), end_(text.data() + text.size()) {
    stack_.reset(std::move(storage));
  }

  std::optional<JsonValue> read() {
    skip_white_space();
    if (!read_document()) return std::nullopt;
    skip_white_space();
    if (p_ != end_) return std::nullopt;
    return stack_.release();
  }

 private:
  struct Container {
    bool object;
    std::size_t size;
  };

  void skip_white_space() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }

  bool take(char c) {
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }

  // A key, white space, the colon and white space before its value.
  bool read_key() {
    if (!take('"') || !read_string(true)) return false;
    skip_white_space();
    if (!take(':')) return false;
    skip_white_space();
    return true;
  }

  bool read_document() {
    std::vector<Container> open;
    for (;;) {
      // One value; a container that opens goes on the stack and its first
      // member is read by the next turn.
      if (p_ == end_) return false;
      const char c = *p_;
      if (c == '{' || c == '[') {
        if (open.size() == MAX_READ_DEPTH) return false;  // an empty one counts too
        ++p_;
        skip_white_space();
        if (take(c == '{' ? '}' : ']')) {
          c == '{' ? stack_.push_object(0) : stack_.push_array(0);
        } else {
          open.push_back({c == '{', 0});
          if (c == '{' && !read_key()) return false;
          continue;
        }
      } else if (!read_scalar()) {
        return false;
      }
      // The value is complete: close every container that ends here.
      for (;;) {
        if (open.empty()) return true;
        Container& top = open.back();
        ++top.size;
        skip_white_space();
        if (take(',')) {
          skip_white_space();
          if (top.object && !read_key()) return false;
          break;
        }
        if (!take(top.object ? '}' : ']')) return false;
        top.object ? stack_.push_object(top.size) : stack_.push_array(top.size);
        open.pop_back();
      }
    }
  }

  bool read_scalar() {
    switch (*p_) {
      case '"':
        ++p_;
        return read_string(false);
      case 't':
        if (!read_literal("true")) return false;
        stack_.push_bool(true);
        return true;
      case 'f':
        if (!read_literal("false")) return false;
        stack_.push_bool(false);
        return true;
      case 'n':
        if (!read_literal("null")) return false;
        stack_.push_null();
        return true;
      default:
        return read_number();
    }
  }

  bool read_literal(std::string_view word) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() ||
        std::string_view(p_, word.size()) != word)
      return false;
    p_ += word.size();
    return true;
  }

  // After the opening quotation mark. Plain runs are pushed as they stand;
  // a string with escapes is assembled in scratch_ first.
  bool read_string(bool key) {
    const char* start = p_;
    bool escaped = false;
    for (;;) {
      if (p_ == end_) return false;
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') break;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (!escaped) scratch_.assign(start, p_);
        escaped = true;
        ++p_;
        if (!read_escape()) return false;
        continue;
      }
      const char* run = p_;
      if (c < 0x80) {
        ++p_;
      } else if (!skip_utf8_sequence()) {
        return false;
      }
      if (escaped) scratch_.append(run, p_);
    }
    const std::string_view text =
        escaped ? std::string_view(scratch_) : std::string_view(start, p_ - start);
    ++p_;
    key ? stack_.push_key(text) : stack_.push_string(text);
    return true;
  }

  // One well-formed UTF-8 sequence of two to four bytes (no overlong form,
  // no surrogate, nothing above U+10FFFF).
  bool skip_utf8_sequence() {
    const std::size_t length = text::utf8_sequence_length(rest(), 0);
    p_ += length;
    return length != 0;
  }

  // Four hexadecimal digits.
  bool read_hex4(std::uint32_t& out) {
    if (text::read_hex4(rest(), out) != 4) return false;
    p_ += 4;
    return true;
  }

  // The bytes not read yet.
  [[nodiscard]] std::string_view rest() const { return {p_, static_cast<std::size_t>(end_ - p_)}; }

  // After the backslash. A surrogate must come as a \u pair, high then low.
  bool read_escape() {
    if (p_ == end_) return false;
    const char c = *p_++;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        scratch_.push_back(c);
        return true;
      case 'b':
        scratch_.push_back('\b');
        return true;
      case 'f':
        scratch_.push_back('\f');
        return true;
      case 'n':
        scratch_.push_back('\n');
        return true;
      case 'r':
        scratch_.push_back('\r');
        return true;
      case 't':
        scratch_.push_back('\t');
        return true;
      case 'u':
        break;
      default:
        return false;
    }
    std::uint32_t cp = 0;
    if (!read_hex4(cp)) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      std::uint32_t low = 0;
      if (cp > 0xDBFF || !take('\\') || !take('u') || !read_hex4(low) || low < 0xDC00 ||
          low > 0xDFFF)
        return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    text::append_utf8(scratch_, static_cast<char32_t>(cp));
    return true;
  }

  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?  Integers that fit are
  // int64 (or uint64 above INT64_MAX); every other number is a double, and
  // one beyond the double range fails.
  bool read_number() {
    const char* start = p_;
    const bool negative = take('-');
    if (p_ == end_ || !text::is_digit(*p_)) return false;
    std::uint64_t significand = 0;
    int digits = 0;
    bool overflow = false;
    const auto add_digit = [&](char c) {
      overflow |= __builtin_mul_overflow(significand, 10u, &significand);
      overflow |= __builtin_add_overflow(significand, static_cast<unsigned>(c - '0'), &significand);
      ++digits;
    };
    if (*p_ == '0') {
      add_digit(*p_++);
    } else {
      while (p_ != end_ && text::is_digit(*p_)) add_digit(*p_++);
    }
    int fraction_digits = 0;
    bool exponent = false;
    if (take('.')) {
      if (p_ == end_ || !text::is_digit(*p_)) return false;
      while (p_ != end_ && text::is_digit(*p_)) add_digit(*p_++), ++fraction_digits;
    }
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
      if (p_ == end_ || !text::is_digit(*p_)) return false;
      while (p_ != end_ && text::is_digit(*p_)) ++p_;
      exponent = true;
    }
    if (fraction_digits == 0 && !exponent && !overflow) {
      if (!negative && significand <= static_cast<std::uint64_t>(INT64_MAX)) {
        stack_.push_int64(static_cast<std::int64_t>(significand));
        return true;
      }
      if (!negative) {
        stack_.push_uint64(significand);
        return true;
      }
      if (significand <= static_cast<std::uint64_t>(INT64_MAX) + 1) {
        stack_.push_int64(static_cast<std::int64_t>(0 - significand));
        return true;
      }
    }
    if (!exponent && digits <= EXACT_DIGITS) {
      // Both operands are exact, so the one division rounds correctly.
      const double value = static_cast<double>(significand) / EXACT_POWERS_OF_TEN[fraction_digits];
      stack_.push_double(negative ? -value : value);
      return true;
    }
    return push_converted(start, p_);
  }

  bool push_converted(const char* first, const char* last) {
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
      // from_chars leaves the value alone out of range; strtod tells an
      // underflow (a number, read as zero) from an overflow (a failure).
      value = std::strtod(std::string(first, last).c_str(), nullptr);
    } else if (error != std::errc{} || end != last) {
      return false;
    }
    if (!std::isfinite(value)) return false;
    stack_.push_double(value);
    return true;
  }

  const char* p_;
  const char* end_;
  boost::json::value_stack stack_;
  std::string scratch_;
};

}  // namespace

std::optional<JsonValue> read_json(std::string_view text, boost::json::storage_ptr storage) {
  return Reader(text, std::move(storage)).read();
}

}  // namespace pelloriand::json
