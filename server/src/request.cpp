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

// Thrown only inside this file and caught by read_conversion_request.
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
  number::DecimalDigits d = number::decimal_digits(x);
  std::string out = d.negative ? "-" : "";
  int point = d.exponent + 1;  // digits before the decimal point
  std::string digits;
  for (unsigned i = 0; i < d.count; ++i) digits.push_back(static_cast<char>('0' + d.digits[i]));
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(point) - digits.size(), '0');
    out += ".0";
  } else {
    out += digits.substr(0, static_cast<std::size_t>(point));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(point));
  }
  return out;
}

// A string value shown in a message: quoted, with the escapes a debug print uses.
std::string debug_string(std::string_view s) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < s.size()) {
    char32_t c = text::next_code_point(s, i);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case 0:
        out += "\\0";
        break;
      default:
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
          out += fmt::format("\\u{{{:x}}}", static_cast<unsigned>(c));
        } else {
          text::append_utf8(out, c);
        }
    }
  }
  out += '"';
  return out;
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  std::string path;  // where the value being read lies, for the message prefix

  [[noreturn]] void fail_at(std::string message, std::size_t index) {
    throw Failure{false, std::move(message), index, true};
  }
  // Error about the byte just peeked: that byte counts as read.
  [[noreturn]] void peek_fail(std::string message) {
    fail_at(std::move(message), std::min(in_.size(), pos_ + 1));
  }
  [[noreturn]] void fail(std::string message) { fail_at(std::move(message), pos_); }
  [[noreturn]] void invalid_type(const std::string& found, std::string_view expected) {
    throw Failure{true, fmt::format("invalid type: {}, expected {}", found, expected), pos_, true};
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
  std::size_t pos() const { return pos_; }

  void ident(std::string_view rest) {
    for (char expected : rest) {
      int c = next();
      if (c < 0) fail("EOF while parsing a value");
      if (c != static_cast<unsigned char>(expected)) fail("expected ident");
    }
  }

  std::uint16_t hex4() {
    if (pos_ + 4 > in_.size()) {
      pos_ = in_.size();
      fail("EOF while parsing a string");
    }
    std::uint16_t n = 0;
    for (int i = 0; i < 4; ++i) {
      char c = in_[pos_++];
      int v = (c >= '0' && c <= '9')   ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                       : -1;
      if (v < 0) fail("invalid escape");
      n = static_cast<std::uint16_t>(n * 16 + v);
    }
    return n;
  }

  // Reads a string whose opening quote is consumed; validates UTF-8 and escapes.
  void string_into(std::string& out) {
    out.clear();
    std::size_t start = pos_;
    bool raw_checked_upto_start = true;
    for (;;) {
      while (pos_ < in_.size()) {
        unsigned char c = static_cast<unsigned char>(in_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++pos_;
      }
      if (pos_ == in_.size()) fail("EOF while parsing a string");
      char c = in_[pos_];
      out.append(in_.substr(start, pos_ - start));
      ++pos_;
      if (c == '"') break;
      if (c != '\\') fail("control character (\\u0000-\\u001F) found while parsing a string");
      escape(out);
      start = pos_;
    }
    (void)raw_checked_upto_start;
    if (!text::is_valid_utf8(out)) fail("invalid unicode code point");
  }

  void escape(std::string& out) {
    int ch = next();
    switch (ch) {
      case -1:
        fail("EOF while parsing a string");
      case '"':
        out += '"';
        return;
      case '\\':
        out += '\\';
        return;
      case '/':
        out += '/';
        return;
      case 'b':
        out += '\b';
        return;
      case 'f':
        out += '\f';
        return;
      case 'n':
        out += '\n';
        return;
      case 'r':
        out += '\r';
        return;
      case 't':
        out += '\t';
        return;
      case 'u':
        break;
      default:
        fail("invalid escape");
    }
    std::uint16_t n1 = hex4();
    char32_t c = n1;
    if (n1 >= 0xDC00 && n1 <= 0xDFFF) fail("lone leading surrogate in hex escape");
    if (n1 >= 0xD800 && n1 <= 0xDBFF) {
      if (peek() < 0) fail("EOF while parsing a string");
      if (peek() != '\\') {
        eat();
        fail("unexpected end of hex escape");
      }
      eat();
      if (peek() < 0) fail("EOF while parsing a string");
      if (peek() != 'u') {
        eat();
        fail("unexpected end of hex escape");
      }
      eat();
      std::uint16_t n2 = hex4();
      if (n2 < 0xDC00 || n2 > 0xDFFF) fail("lone leading surrogate in hex escape");
      c = 0x10000 + ((static_cast<char32_t>(n1) - 0xD800) << 10) + (n2 - 0xDC00);
    }
    text::append_utf8(out, c);
  }

  // Skips a string whose opening quote is consumed (no UTF-8 check, as the
  // value is never used).
  void skip_string() {
    for (;;) {
      while (pos_ < in_.size()) {
        unsigned char c = static_cast<unsigned char>(in_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++pos_;
      }
      if (pos_ == in_.size()) fail("EOF while parsing a string");
      char c = in_[pos_];
      if (c == '"') {
        ++pos_;
        return;
      }
      if (c != '\\') fail("control character (\\u0000-\\u001F) found while parsing a string");
      ++pos_;
      int e = next();
      switch (e) {
        case -1:
          fail("EOF while parsing a string");
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
          break;
        case 'u':
          hex4();
          break;
        default:
          fail("invalid escape");
      }
    }
  }

  void skip_digits() {
    while (peek() >= '0' && peek() <= '9') eat();
  }

  void skip_number() {
    int c = next();
    if (c == '0') {
      if (peek() >= '0' && peek() <= '9') peek_fail("invalid number");
    } else if (c >= '1' && c <= '9') {
      skip_digits();
    } else {
      fail("invalid number");
    }
    if (peek() == '.') {
      eat();
      if (!(peek() >= '0' && peek() <= '9')) peek_fail("invalid number");
      skip_digits();
    }
    if (peek() == 'e' || peek() == 'E') {
      eat();
      if (peek() == '+' || peek() == '-') eat();
      int d = next();
      if (!(d >= '0' && d <= '9')) fail("invalid number");
      skip_digits();
    }
  }

  // A number where a text or a map was expected: read it for the message.
  std::string number_found(bool negative) {
    std::size_t start = pos_ - (negative ? 1 : 0);
    int c = next();
    if (c < 0) fail("EOF while parsing a value");
    if (c == '0') {
      if (peek() >= '0' && peek() <= '9') peek_fail("invalid number");
    } else if (c >= '1' && c <= '9') {
      skip_digits();
    } else {
      fail("invalid number");
    }
    bool is_float = false;
    if (peek() == '.') {
      is_float = true;
      eat();
      if (!(peek() >= '0' && peek() <= '9')) {
        if (peek() < 0) peek_fail("EOF while parsing a value");
        peek_fail("invalid number");
      }
      skip_digits();
    }
    if (peek() == 'e' || peek() == 'E') {
      is_float = true;
      eat();
      if (peek() == '+' || peek() == '-') eat();
      int d = next();
      if (d < 0) fail("EOF while parsing a value");
      if (!(d >= '0' && d <= '9')) fail("invalid number");
      skip_digits();
    }
    std::string literal(in_.substr(start, pos_ - start));
    if (!is_float) {
      std::string_view digits = std::string_view(literal).substr(negative ? 1 : 0);
      // Integers within 64 bits keep their sign's type; larger ones are floats.
      if (digits.size() <= 20) {
        errno = 0;
        unsigned long long u = std::strtoull(std::string(digits).c_str(), nullptr, 10);
        if (errno == 0) {
          if (!negative) return fmt::format("integer `{}`", u);
          if (u != 0 && u <= 9223372036854775808ULL) return fmt::format("integer `-{}`", u);
        }
      }
    }
    double v = std::strtod(literal.c_str(), nullptr);
    if (!std::isfinite(v)) fail("number out of range");
    return fmt::format("floating point `{}`", float_text(v));
  }

  // Reads a value where `expected` was wanted and fails with its type.
  [[noreturn]] void wrong_type(std::string_view expected) {
    int c = peek_non_ws();
    switch (c) {
      case 'n':
        eat();
        ident("ull");
        invalid_type("null", expected);
      case 't':
        eat();
        ident("rue");
        invalid_type("boolean `true`", expected);
      case 'f':
        eat();
        ident("alse");
        invalid_type("boolean `false`", expected);
      case '-':
        eat();
        {
          std::string found = number_found(true);
          invalid_type(found, expected);
        }
      case '"': {
        eat();
        std::string s;
        string_into(s);
        invalid_type("string " + debug_string(s), expected);
      }
      case '[':
        invalid_type("sequence", expected);
      case '{':
        invalid_type("map", expected);
      default:
        if (c >= '0' && c <= '9') {
          std::string found = number_found(false);
          invalid_type(found, expected);
        }
        if (c < 0) peek_fail("EOF while parsing a value");
        peek_fail("expected value");
    }
  }

  void string_value(std::string& out) {
    if (peek_non_ws() == '"') {
      eat();
      string_into(out);
      return;
    }
    wrong_type(EXPECTED_STRING);
  }

  // Walks any value without recursion, keeping open brackets on a stack.
  void skip_value() {
    std::vector<char> stack;
    for (;;) {
      int c = peek_non_ws();
      bool opened = false;
      switch (c) {
        case -1:
          peek_fail("EOF while parsing a value");
        case 'n':
          eat();
          ident("ull");
          break;
        case 't':
          eat();
          ident("rue");
          break;
        case 'f':
          eat();
          ident("alse");
          break;
        case '-':
          eat();
          skip_number();
          break;
        case '"':
          eat();
          skip_string();
          break;
        case '[':
        case '{':
          eat();
          stack.push_back(static_cast<char>(c));
          opened = true;
          break;
        default:
          if (c >= '0' && c <= '9') {
            skip_number();
            break;
          }
          peek_fail("expected value");
      }
      // After a value (or an opening bracket), close what ends here.
      bool accept_comma = !opened;
      for (;;) {
        if (stack.empty()) return;
        char frame = stack.back();
        int d = peek_non_ws();
        if (d == ',' && accept_comma) {
          eat();
          break;
        }
        if ((d == ']' && frame == '[') || (d == '}' && frame == '{')) {
          eat();
          stack.pop_back();
          accept_comma = true;
          continue;
        }
        if (d < 0)
          peek_fail(frame == '[' ? "EOF while parsing a list" : "EOF while parsing an object");
        if (accept_comma) peek_fail(frame == '[' ? "expected `,` or `]`" : "expected `,` or `}`");
        break;
      }
      if (stack.back() == '{') {
        int d = peek_non_ws();
        if (d < 0) peek_fail("EOF while parsing an object");
        if (d != '"') peek_fail("key must be a string");
        eat();
        skip_string();
        colon();
      }
    }
  }

  void colon() {
    int d = peek_non_ws();
    if (d == ':') {
      eat();
      return;
    }
    if (d < 0) peek_fail("EOF while parsing an object");
    peek_fail("expected `:`");
  }

  // Next key of an object whose "{" is consumed; false at its "}" (not eaten).
  bool next_key(bool& first, std::string& key) {
    int c = peek_non_ws();
    if (c == '}') return false;
    if (c == ',' && !first) {
      eat();
      c = peek_non_ws();
    } else if (c >= 0 && !first) {
      peek_fail("expected `,` or `}`");
    } else if (c < 0) {
      peek_fail("EOF while parsing an object");
    }
    first = false;
    if (c == '"') {
      eat();
      string_into(key);
      return true;
    }
    if (c == '}') peek_fail("trailing comma");
    if (c < 0) peek_fail("EOF while parsing a value");
    peek_fail("key must be a string");
  }

  // Next element of an array whose "[" is consumed; false at its "]".
  bool next_element(bool& first) {
    int c = peek_non_ws();
    if (c == ']') return false;
    if (c == ',' && !first) {
      eat();
      c = peek_non_ws();
    } else if (c >= 0 && !first) {
      peek_fail("expected `,` or `]`");
    } else if (c < 0) {
      peek_fail("EOF while parsing a list");
    }
    first = false;
    if (c == ']') peek_fail("trailing comma");
    if (c < 0) peek_fail("EOF while parsing a value");
    return true;
  }

  // Closing "}" of an object; its error only matters when nothing failed before.
  std::optional<Failure> end_map() {
    int c = peek_non_ws();
    if (c == '}') {
      eat();
      return std::nullopt;
    }
    std::size_t at = std::min(in_.size(), pos_ + 1);
    if (c == ',') return Failure{false, "trailing comma", at, true};
    if (c < 0) return Failure{false, "EOF while parsing an object", at, true};
    return Failure{false, "trailing characters", at, true};
  }

  std::optional<Failure> end_seq() {
    int c = peek_non_ws();
    if (c == ']') {
      eat();
      return std::nullopt;
    }
    if (c == ',') {
      eat();
      int d = peek_non_ws();
      std::size_t at = std::min(in_.size(), pos_ + 1);
      return Failure{false, d == ']' ? "trailing comma" : "trailing characters", at, true};
    }
    std::size_t at = std::min(in_.size(), pos_ + 1);
    if (c < 0) return Failure{false, "EOF while parsing a list", at, true};
    return Failure{false, "trailing characters", at, true};
  }

  // "options": null, or an object of string values.
  void options_value(std::optional<ToolOptions>& options) {
    int c = peek_non_ws();
    if (c == 'n') {
      eat();
      ident("ull");
      options.reset();
      return;
    }
    if (c != '{') wrong_type(EXPECTED_MAP);
    eat();
    ToolOptions map;
    std::string key;
    std::string value;
    bool first = true;
    std::optional<Failure> inner;
    try {
      std::string outer = path;
      while (next_key(first, key)) {
        colon();
        path = outer.empty() ? key : outer + "." + key;
        string_value(value);
        path = outer;
        map.insert_or_assign(key, value);
      }
    } catch (Failure& f) {
      inner = std::move(f);
    }
    std::optional<Failure> closing = end_map();
    if (inner) throw std::move(*inner);
    if (closing) throw std::move(*closing);
    options = std::move(map);
  }

 private:
  std::string_view in_;
  std::size_t pos_ = 0;
};

// The request container's first failure wins: one raised inside it (placed
// where the container ends when it has no position yet), else one from its
// closing.
void throw_first(const Reader& r, std::optional<Failure> inner, std::optional<Failure> closing) {
  if (inner) {
    if (!inner->has_position) {
      inner->index = r.pos();
      inner->has_position = true;
    }
    throw std::move(*inner);
  }
  if (closing) throw std::move(*closing);
}

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

// The whole-value reader; fills `out` or throws Failure. Sets reader.path to
// the failing value's path before throwing from inside a value.
void read_struct(Reader& r, ConversionRequest& out) {
  int c = r.peek_non_ws();
  if (c < 0) r.peek_fail("EOF while parsing a value");
  if (c == '[') {
    r.eat();
    bool first = true;
    std::optional<Failure> inner;
    try {
      out.options.reset();
      const char* names[] = {"[0]", "[1]", "[2]"};
      for (int i = 0; i < 3; ++i) {
        if (!r.next_element(first)) {
          if (i < 2) {
            throw Failure{
                true,
                fmt::format("invalid length {}, expected {} with 3 elements", i, EXPECTED_STRUCT),
                0, false};
          }
          break;
        }
        r.path = names[i];
        if (i == 0) r.string_value(out.tool);
        if (i == 1) r.string_value(out.input);
        if (i == 2) r.options_value(out.options);
        r.path.clear();
      }
    } catch (Failure& f) {
      inner = std::move(f);
    }
    throw_first(r, std::move(inner), r.end_seq());
    return;
  }
  if (c != '{') r.wrong_type(EXPECTED_STRUCT);
  r.eat();
  bool first = true;
  bool have_tool = false;
  bool have_input = false;
  bool have_options = false;
  out.options.reset();
  std::string key;
  std::optional<Failure> inner;
  try {
    while (r.next_key(first, key)) {
      enum {
        TOOL,
        INPUT,
        OPTIONS,
        OTHER
      } field = key == "tool"      ? TOOL
                : key == "input"   ? INPUT
                : key == "options" ? OPTIONS
                                   : OTHER;
      bool* seen = field == TOOL ? &have_tool : field == INPUT ? &have_input : &have_options;
      if (field != OTHER && *seen) {
        throw Failure{true, fmt::format("duplicate field `{}`", key), 0, false};
      }
      r.colon();
      r.path = key;
      switch (field) {
        case TOOL:
          r.string_value(out.tool);
          break;
        case INPUT:
          r.string_value(out.input);
          break;
        case OPTIONS:
          r.options_value(out.options);
          break;
        case OTHER:
          r.skip_value();
          break;
      }
      r.path.clear();
      if (field != OTHER) *seen = true;
    }
    if (!have_tool) throw Failure{true, "missing field `tool`", 0, false};
    if (!have_input) throw Failure{true, "missing field `input`", 0, false};
  } catch (Failure& f) {
    inner = std::move(f);
  }
  throw_first(r, std::move(inner), r.end_map());
}

}  // namespace

std::optional<RequestError> read_conversion_request(std::string_view body, ConversionRequest& out) {
  Reader r(body);
  try {
    read_struct(r, out);
    if (r.peek_non_ws() >= 0) r.peek_fail("trailing characters");
    return std::nullopt;
  } catch (Failure& f) {
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
}

}  // namespace pelloriand::server
