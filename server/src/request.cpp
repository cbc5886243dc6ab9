// A strict JSON reader specialised to the ConversionRequest shape. Positions
// follow the usual strict-reader convention: line from 1, column = bytes of the
// line read so far; errors seen on a peeked byte count that byte as read.
// Skipped values are walked without recursion so nesting depth costs nothing.
#include "request.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pelloriand/decimal.h"
#include "pelloriand/text.h"

namespace pelloriand::server {
namespace {

// Why reading stopped; the reader keeps the first one.
struct Failure {
  bool data;  // wrong shape (422) rather than syntax (400)
  std::string message;
  std::size_t index;  // byte offset the position is computed from
  bool has_position;  // data errors get their position where they surface
};

constexpr std::string_view EXPECTED_STRUCT = "struct ConversionRequest";
constexpr std::string_view EXPECTED_STRING = "a string";
constexpr std::string_view EXPECTED_MAP = "a map";

// Text of a double as the usual Display does it: full decimal expansion, never
// an exponent, ".0" added when there is no fraction.
std::string float_text(double x) {
  std::string out;
  number::append_plain_real(out, number::decimal_digits(x));
  return out;
}

// A string value shown in a message: quoted, with the escapes a debug print uses.
std::string debug_string(std::string_view s) {
  std::string out;
  text::append_debug_quoted(out, s);
  return out;
}

// The reader's steps return false once a failure is recorded; the failure is
// then read from failure(). Containers run their closing step even after a
// failure inside them, because a failure without a position takes the position
// where the container ends.
class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  std::string path;  // where the value being read lies, for the message prefix

  [[nodiscard]] const Failure& failure() const { return *failure_; }

  bool fail_at(std::string message, std::size_t index) {
    failure_ = Failure{false, std::move(message), index, true};
    return false;
  }
  // Error about the byte just peeked: that byte counts as read.
  bool peek_fail(std::string message) {
    return fail_at(std::move(message), std::min(in_.size(), pos_ + 1));
  }
  bool fail(std::string message) { return fail_at(std::move(message), pos_); }
  bool invalid_type(const std::string& found, std::string_view expected) {
    failure_ =
        Failure{true, fmt::format("invalid type: {}, expected {}", found, expected), pos_, true};
    return false;
  }
  // A shape error that takes the position where its container ends.
  bool fail_shape(std::string message) {
    failure_ = Failure{true, std::move(message), 0, false};
    return false;
  }

  // Next non-white-space byte without consuming it, or -1 at the end.
  int peek_non_ws() {
    while (pos_ < in_.size()) {
      char c = in_[pos_];
      if (c != ' ' && c != '\n' && c != '\t' && c != '\r') return static_cast<unsigned char>(c);
      ++pos_;
    }
    return -1;
  }
  int peek() const { return pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_]) : -1; }
  int next() { return pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_++]) : -1; }
  void eat() { ++pos_; }

  // Reads the rest of "null", "true" or "false" after its first letter.
  bool ident(std::string_view rest) {
    for (char expected : rest) {
      int c = next();
      if (c < 0) return fail("EOF while parsing a value");
      if (c != static_cast<unsigned char>(expected)) return fail("expected ident");
    }
    return true;
  }

  bool hex4(std::uint16_t& n) {
    if (pos_ + 4 > in_.size()) {
      pos_ = in_.size();
      return fail("EOF while parsing a string");
    }
    std::uint32_t value = 0;
    const std::size_t digits = text::read_hex4(in_.substr(pos_, 4), value);
    // A bad digit is reported just past it.
    pos_ += digits < 4 ? digits + 1 : 4;
    if (digits < 4) return fail("invalid escape");
    n = static_cast<std::uint16_t>(value);
    return true;
  }

  // Reads a string whose opening quote is consumed into `out`, validating its
  // escapes and UTF-8; with no `out` the string is only skipped, which checks
  // the escapes' form but neither surrogates nor UTF-8, as its value is never
  // used.
  bool scan_string(std::string* out) {
    if (out != nullptr) out->clear();
    for (;;) {
      std::size_t start = pos_;
      while (pos_ < in_.size()) {
        unsigned char c = static_cast<unsigned char>(in_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++pos_;
      }
      if (pos_ == in_.size()) return fail("EOF while parsing a string");
      if (out != nullptr) out->append(in_.substr(start, pos_ - start));
      char c = in_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        // A skipped string reports the control character without counting it
        // as read, the way the usual strict reader places that error.
        return fail_at("control character (\\u0000-\\u001F) found while parsing a string",
                       out != nullptr ? pos_ : pos_ - 1);
      }
      if (!escape(out)) return false;
    }
    if (out != nullptr && !text::is_valid_utf8(*out)) return fail("invalid unicode code point");
    return true;
  }

  // One escape after its backslash, appended to `out` when there is one.
  bool escape(std::string* out) {
    char plain;
    switch (next()) {
      case -1:
        return fail("EOF while parsing a string");
      case '"':
        plain = '"';
        break;
      case '\\':
        plain = '\\';
        break;
      case '/':
        plain = '/';
        break;
      case 'b':
        plain = '\b';
        break;
      case 'f':
        plain = '\f';
        break;
      case 'n':
        plain = '\n';
        break;
      case 'r':
        plain = '\r';
        break;
      case 't':
        plain = '\t';
        break;
      case 'u':
        return unicode_escape(out);
      default:
        return fail("invalid escape");
    }
    if (out != nullptr) *out += plain;
    return true;
  }

  // "\u" and its four digits, with the low half of a surrogate pair.
  bool unicode_escape(std::string* out) {
    std::uint16_t n1 = 0;
    if (!hex4(n1)) return false;
    if (out == nullptr) return true;
    char32_t c = n1;
    if (n1 >= 0xDC00 && n1 <= 0xDFFF) return fail("lone leading surrogate in hex escape");
    if (n1 >= 0xD800 && n1 <= 0xDBFF) {
      for (char expected : {'\\', 'u'}) {
        if (peek() < 0) return fail("EOF while parsing a string");
        eat();
        if (in_[pos_ - 1] != expected) return fail("unexpected end of hex escape");
      }
      std::uint16_t n2 = 0;
      if (!hex4(n2)) return false;
      if (n2 < 0xDC00 || n2 > 0xDFFF) return fail("lone leading surrogate in hex escape");
      c = 0x10000 + ((static_cast<char32_t>(n1) - 0xD800) << 10) + (n2 - 0xDC00);
    }
    text::append_utf8(*out, c);
    return true;
  }

  void skip_digits() {
    while (peek() >= '0' && peek() <= '9') eat();
  }

  // Scans a number whose sign, if any, is consumed; `is_float` tells whether it
  // has a fraction or an exponent. Where the text ends inside it, a number read
  // for its value reports the early end, a skipped one an invalid number.
  bool scan_number(bool read_for_value, bool& is_float) {
    const char* at_end = read_for_value ? "EOF while parsing a value" : "invalid number";
    auto digit_next = [this] { return peek() >= '0' && peek() <= '9'; };
    is_float = false;
    int c = next();
    if (c < 0) return fail(at_end);
    if (c == '0') {
      if (digit_next()) return peek_fail("invalid number");
    } else if (c >= '1' && c <= '9') {
      skip_digits();
    } else {
      return fail("invalid number");
    }
    if (peek() == '.') {
      is_float = true;
      eat();
      if (!digit_next()) return peek_fail(peek() < 0 ? at_end : "invalid number");
      skip_digits();
    }
    if (peek() == 'e' || peek() == 'E') {
      is_float = true;
      eat();
      if (peek() == '+' || peek() == '-') eat();
      int d = next();
      if (d < 0) return fail(at_end);
      if (!(d >= '0' && d <= '9')) return fail("invalid number");
      skip_digits();
    }
    return true;
  }

  // A number where a text or a map was expected: its description for the
  // message, e.g. "integer `5`" or "floating point `-15.0`".
  bool number_found(bool negative, std::string& found) {
    std::size_t start = pos_ - (negative ? 1 : 0);
    bool is_float = false;
    if (!scan_number(true, is_float)) return false;
    std::string literal(in_.substr(start, pos_ - start));
    if (!is_float) {
      std::string_view digits = std::string_view(literal).substr(negative ? 1 : 0);
      // Integers within 64 bits keep their sign's type; larger ones are floats.
      if (digits.size() <= 20) {
        errno = 0;
        unsigned long long u = std::strtoull(std::string(digits).c_str(), nullptr, 10);
        if (errno == 0) {
          if (!negative) {
            found = fmt::format("integer `{}`", u);
            return true;
          }
          if (u != 0 && u <= 9223372036854775808ULL) {
            found = fmt::format("integer `-{}`", u);
            return true;
          }
        }
      }
    }
    double v = std::strtod(literal.c_str(), nullptr);
    if (!std::isfinite(v)) return fail("number out of range");
    found = fmt::format("floating point `{}`", float_text(v));
    return true;
  }

  // Reads a value where `expected` was wanted and fails with its type.
  bool wrong_type(std::string_view expected) {
    int c = peek_non_ws();
    std::string found;
    switch (c) {
      case 'n':
        eat();
        return ident("ull") && invalid_type("null", expected);
      case 't':
        eat();
        return ident("rue") && invalid_type("boolean `true`", expected);
      case 'f':
        eat();
        return ident("alse") && invalid_type("boolean `false`", expected);
      case '-':
        eat();
        return number_found(true, found) && invalid_type(found, expected);
      case '"':
        eat();
        return scan_string(&found) && invalid_type("string " + debug_string(found), expected);
      case '[':
        return invalid_type("sequence", expected);
      case '{':
        return invalid_type("map", expected);
      default:
        if (c >= '0' && c <= '9')
          return number_found(false, found) && invalid_type(found, expected);
        return peek_fail(c < 0 ? "EOF while parsing a value" : "expected value");
    }
  }

  bool string_value(std::string& out) {
    if (peek_non_ws() != '"') return wrong_type(EXPECTED_STRING);
    eat();
    return scan_string(&out);
  }

  // Walks any value without recursion, keeping open brackets on a stack.
  bool skip_value() {
    std::vector<char> stack;
    for (;;) {
      int c = peek_non_ws();
      bool opened = c == '[' || c == '{';
      if (opened) {
        eat();
        stack.push_back(static_cast<char>(c));
      } else if (!skip_scalar(c)) {
        return false;
      }
      // After a value (or an opening bracket), close what ends here.
      bool accept_comma = !opened;
      for (;;) {
        if (stack.empty()) return true;
        const bool list = stack.back() == '[';
        int d = peek_non_ws();
        if (d == ',' && accept_comma) {
          eat();
          break;
        }
        if (d == (list ? ']' : '}')) {
          eat();
          stack.pop_back();
          accept_comma = true;
          continue;
        }
        if (d < 0)
          return peek_fail(list ? "EOF while parsing a list" : "EOF while parsing an object");
        if (accept_comma) return peek_fail(list ? "expected `,` or `]`" : "expected `,` or `}`");
        break;
      }
      if (stack.back() == '{' && !member_key(nullptr)) return false;
    }
  }

  // Skips a value that is no container; `c` is its first byte, peeked.
  bool skip_scalar(int c) {
    bool is_float = false;
    switch (c) {
      case 'n':
        eat();
        return ident("ull");
      case 't':
        eat();
        return ident("rue");
      case 'f':
        eat();
        return ident("alse");
      case '-':
        eat();
        return scan_number(false, is_float);
      case '"':
        eat();
        return scan_string(nullptr);
      default:
        if (c >= '0' && c <= '9') return scan_number(false, is_float);
        return peek_fail(c < 0 ? "EOF while parsing a value" : "expected value");
    }
  }

  // An object member's key and colon; the key is only skipped without `key`.
  bool member_key(std::string* key) {
    int d = peek_non_ws();
    if (d < 0) return peek_fail("EOF while parsing an object");
    if (d != '"') return peek_fail("key must be a string");
    eat();
    return scan_string(key) && colon();
  }

  bool colon() {
    int d = peek_non_ws();
    if (d == ':') {
      eat();
      return true;
    }
    return peek_fail(d < 0 ? "EOF while parsing an object" : "expected `:`");
  }

  enum class Next { item, closed, failed };

  // Moves to the next item of a container whose opening bracket is consumed:
  // past the comma that separates it, up to its first byte (an object's key
  // quote), or to the closing bracket, which is left unread.
  Next next_item(bool& first, char close) {
    const bool list = close == ']';
    int c = peek_non_ws();
    if (c == close) return Next::closed;
    if (c == ',' && !first) {
      eat();
      c = peek_non_ws();
    } else if (c >= 0 && !first) {
      peek_fail(list ? "expected `,` or `]`" : "expected `,` or `}`");
      return Next::failed;
    } else if (c < 0) {
      peek_fail(list ? "EOF while parsing a list" : "EOF while parsing an object");
      return Next::failed;
    }
    first = false;
    if (c == close || c < 0 || (!list && c != '"')) {
      peek_fail(c == close ? "trailing comma"
                : c < 0    ? "EOF while parsing a value"
                           : "key must be a string");
      return Next::failed;
    }
    return Next::item;
  }

  // The next object member's key, read up to its colon.
  Next next_key(bool& first, std::string& key) {
    Next step = next_item(first, '}');
    if (step != Next::item) return step;
    eat();
    return scan_string(&key) && colon() ? Next::item : Next::failed;
  }

  // The closing bracket of the request's containers, read even after a failure
  // inside them. A list's stray comma is read past to tell a trailing comma
  // from more elements; an object's is not.
  std::optional<Failure> end_container(char close) {
    int c = peek_non_ws();
    if (c == close) {
      eat();
      return std::nullopt;
    }
    std::string_view message = "trailing characters";
    if (c == ',') {
      if (close == '}') {
        message = "trailing comma";
      } else {
        eat();
        if (peek_non_ws() == ']') message = "trailing comma";
      }
    } else if (c < 0) {
      message = close == ']' ? "EOF while parsing a list" : "EOF while parsing an object";
    }
    return Failure{false, std::string(message), std::min(in_.size(), pos_ + 1), true};
  }

  // Ends a container after its items: the first failure wins, one inside it
  // (`items_ok` false; placed where the container ends when it has no position
  // yet), else one from its closing bracket.
  bool close_container(bool items_ok, char close) {
    std::optional<Failure> closing = end_container(close);
    if (!items_ok) {
      if (!failure_->has_position) {
        failure_->index = pos_;
        failure_->has_position = true;
      }
      return false;
    }
    if (closing) {
      failure_ = std::move(closing);
      return false;
    }
    return true;
  }

  // "options": null, or an object of string values.
  bool options_value(std::optional<ToolOptions>& options) {
    int c = peek_non_ws();
    if (c == 'n') {
      eat();
      options.reset();
      return ident("ull");
    }
    if (c != '{') return wrong_type(EXPECTED_MAP);
    eat();
    ToolOptions map;
    std::string key;
    std::string value;
    bool first = true;
    const std::string outer = path;
    Next step;
    while ((step = next_key(first, key)) == Next::item) {
      path = outer.empty() ? key : outer + "." + key;
      if (!string_value(value)) break;
      path = outer;
      map.insert_or_assign(key, value);
    }
    if (!close_container(step == Next::closed, '}')) return false;
    options = std::move(map);
    return true;
  }

  bool at_end() { return peek_non_ws() < 0 || peek_fail("trailing characters"); }

 private:
  std::string_view in_;
  std::size_t pos_ = 0;
  std::optional<Failure> failure_;
};

std::string position_text(std::string_view in, std::size_t index) {
  std::size_t line = 1;
  std::size_t column = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (in[i] == '\n') {
      ++line;
      column = 0;
    } else {
      ++column;
    }
  }
  return fmt::format("line {} column {}", line, column);
}

// The positional form [tool, input, options?], its "[" consumed.
bool read_array(Reader& r, ConversionRequest& out) {
  static constexpr const char* NAMES[] = {"[0]", "[1]", "[2]"};
  out.options.reset();
  bool first = true;
  bool ok = true;
  for (int i = 0; ok && i < 3; ++i) {
    Reader::Next step = r.next_item(first, ']');
    if (step != Reader::Next::item) {
      ok = step == Reader::Next::closed &&
           (i == 2 || r.fail_shape(fmt::format("invalid length {}, expected {} with 3 elements", i,
                                               EXPECTED_STRUCT)));
      break;
    }
    r.path = NAMES[i];
    ok = i == 0   ? r.string_value(out.tool)
         : i == 1 ? r.string_value(out.input)
                  : r.options_value(out.options);
    if (ok) r.path.clear();
  }
  return r.close_container(ok, ']');
}

// The object form, its "{" consumed: "tool" and "input" required, "options"
// optional, any other key skipped.
bool read_object(Reader& r, ConversionRequest& out) {
  out.options.reset();
  bool first = true;
  bool have_tool = false;
  bool have_input = false;
  bool have_options = false;
  std::string key;
  Reader::Next step;
  bool ok = true;
  while (ok && (step = r.next_item(first, '}')) == Reader::Next::item) {
    r.eat();
    if (!r.scan_string(&key)) {
      ok = false;
      break;
    }
    bool* seen = key == "tool"      ? &have_tool
                 : key == "input"   ? &have_input
                 : key == "options" ? &have_options
                                    : nullptr;
    if (seen != nullptr && *seen) {
      ok = r.fail_shape(fmt::format("duplicate field `{}`", key));
      break;
    }
    if (!r.colon()) {
      ok = false;
      break;
    }
    r.path = key;
    ok = seen == &have_tool      ? r.string_value(out.tool)
         : seen == &have_input   ? r.string_value(out.input)
         : seen == &have_options ? r.options_value(out.options)
                                 : r.skip_value();
    if (!ok) break;
    r.path.clear();
    if (seen != nullptr) *seen = true;
  }
  if (ok && step == Reader::Next::failed) ok = false;
  if (ok && !have_tool) ok = r.fail_shape("missing field `tool`");
  if (ok && !have_input) ok = r.fail_shape("missing field `input`");
  return r.close_container(ok, '}');
}

// The whole value; sets the reader's path to the failing value's path before
// failing inside a value.
bool read_struct(Reader& r, ConversionRequest& out) {
  int c = r.peek_non_ws();
  if (c < 0) return r.peek_fail("EOF while parsing a value");
  if (c == '[') {
    r.eat();
    return read_array(r, out);
  }
  if (c != '{') return r.wrong_type(EXPECTED_STRUCT);
  r.eat();
  return read_object(r, out);
}

}  // namespace

std::optional<RequestError> read_conversion_request(std::string_view body, ConversionRequest& out) {
  Reader r(body);
  if (read_struct(r, out) && r.at_end()) return std::nullopt;
  const Failure& f = r.failure();
  RequestError e;
  e.status = f.data ? 422 : 400;
  if (!r.path.empty()) {
    e.detail = r.path;
    e.detail += ": ";
  }
  e.detail += f.message;
  e.detail += " at ";
  e.detail += position_text(body, f.index);
  return e;
}

}  // namespace pelloriand::server
