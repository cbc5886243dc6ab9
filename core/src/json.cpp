// The JSON reader and text writers; see json.h. The writers walk containers
// with an explicit stack so that a document nested to any depth cannot
// overflow the call stack.
//
// JSON is read with Boost.JSON's parser driving a handler of our own: the
// library's own double conversion is not correctly rounded in Boost 1.81
// ("5.806313673e+44" came out one unit off), so every non-integer number is
// converted again from its text with std::from_chars, which is, and a number
// that overflows to infinity fails the reading there.
#include "json.h"

#include <boost/json.hpp>
#include <boost/json/basic_parser_impl.hpp>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "number.h"

namespace pelloriand::json {
namespace {

// Boost.JSON turns the digits into an integer significand m and a power of
// ten, then computes m / 10^k or m * 10^k in one double operation. That is
// correctly rounded when both are exact doubles: at most 15 digits (m below
// 2^53) and no exponent part (k at most 15). Such numbers, which are most
// coordinates, keep the library's value; the rest are converted again.
bool converted_exactly(boost::json::string_view s) {
  if (s.size() > 17) return false;  // a sign, a point and 15 digits
  std::size_t digits = 0;
  for (const char c : s) {
    if (c == 'e' || c == 'E') return false;
    if (c >= '0' && c <= '9') ++digits;
  }
  return digits <= 15;
}

class JsonHandler {
 public:
  static constexpr std::size_t max_object_size = boost::json::object::max_size();
  static constexpr std::size_t max_array_size = boost::json::array::max_size();
  static constexpr std::size_t max_key_size = boost::json::string::max_size();
  static constexpr std::size_t max_string_size = boost::json::string::max_size();

  boost::json::value_stack stack;

  using ec_t = boost::json::error_code;
  using sv = boost::json::string_view;

  bool on_document_begin(ec_t&) { return true; }
  bool on_document_end(ec_t&) { return true; }
  bool on_object_begin(ec_t&) { return true; }
  bool on_object_end(std::size_t n, ec_t&) {
    stack.push_object(n);
    return true;
  }
  bool on_array_begin(ec_t&) { return true; }
  bool on_array_end(std::size_t n, ec_t&) {
    stack.push_array(n);
    return true;
  }
  bool on_key_part(sv s, std::size_t, ec_t&) {
    stack.push_chars(s);
    return true;
  }
  bool on_key(sv s, std::size_t, ec_t&) {
    stack.push_key(s);
    return true;
  }
  bool on_string_part(sv s, std::size_t, ec_t&) {
    stack.push_chars(s);
    return true;
  }
  bool on_string(sv s, std::size_t, ec_t&) {
    stack.push_string(s);
    return true;
  }
  bool on_number_part(sv s, ec_t&) {
    number_.append(s.data(), s.size());
    return true;
  }
  bool on_int64(std::int64_t i, sv, ec_t&) {
    number_.clear();
    stack.push_int64(i);
    return true;
  }
  bool on_uint64(std::uint64_t u, sv, ec_t&) {
    number_.clear();
    stack.push_uint64(u);
    return true;
  }
  bool on_double(double d, sv s, ec_t& ec) {
    if (number_.empty() && converted_exactly(s)) {
      stack.push_double(d);
      return true;
    }
    number_.append(s.data(), s.size());
    d = 0;
    const auto [end, err] = std::from_chars(number_.data(), number_.data() + number_.size(), d);
    // from_chars leaves `d` untouched when out of range; strtod tells an
    // underflow (a number, read as zero) from an overflow (which fails).
    if (err == std::errc::result_out_of_range) d = std::strtod(number_.c_str(), nullptr);
    const bool ok = (err == std::errc{} || err == std::errc::result_out_of_range) &&
                    end == number_.data() + number_.size() && std::isfinite(d);
    number_.clear();
    if (!ok) {
      ec = boost::json::error::exponent_overflow;
      return false;
    }
    stack.push_double(d);
    return true;
  }
  bool on_bool(bool b, ec_t&) {
    stack.push_bool(b);
    return true;
  }
  bool on_null(ec_t&) {
    stack.push_null();
    return true;
  }
  bool on_comment_part(sv, ec_t&) { return false; }
  bool on_comment(sv, ec_t&) { return false; }

 private:
  std::string number_;  // the text of a number split across calls
};

void write_scalar(const JsonValue& value, std::string& out) {
  switch (value.kind()) {
    case boost::json::kind::null:
      out.append("null");
      break;
    case boost::json::kind::bool_:
      out.append(value.get_bool() ? "true" : "false");
      break;
    case boost::json::kind::int64:
      number::append_shortest(out, static_cast<double>(value.get_int64()));
      break;
    case boost::json::kind::uint64:
      number::append_shortest(out, static_cast<double>(value.get_uint64()));
      break;
    case boost::json::kind::double_:
      number::append_shortest(out, value.get_double());
      break;
    case boost::json::kind::string:
      write_json_string(value.get_string(), out);
      break;
    case boost::json::kind::array:
    case boost::json::kind::object:
      break;  // handled by the walkers
  }
}

// One open container on the writer's stack, with the index of its next child.
struct Frame {
  const JsonValue* container;
  std::size_t next;
};

std::size_t container_size(const JsonValue& v) {
  return v.is_array() ? v.get_array().size() : v.get_object().size();
}

void indent(std::string& out, std::size_t levels) {
  out.append(levels * 2, ' ');
}

// Writes `value`; `pretty` selects the indented layout starting at `depth`.
void write_value(const JsonValue& value, bool pretty, unsigned depth, std::string& out) {
  if (!value.is_array() && !value.is_object()) {
    write_scalar(value, out);
    return;
  }
  std::vector<Frame> stack;
  auto open = [&](const JsonValue& v) {
    if (container_size(v) == 0) {
      out.append(v.is_array() ? "[]" : "{}");
      return;
    }
    out.push_back(v.is_array() ? '[' : '{');
    if (pretty) out.push_back('\n');
    stack.push_back({&v, 0});
  };
  open(value);
  while (!stack.empty()) {
    Frame& top = stack.back();
    const JsonValue& container = *top.container;
    const std::size_t size = container_size(container);
    const std::size_t level = depth + stack.size();
    if (top.next == size) {
      if (pretty) indent(out, level - 1);
      out.push_back(container.is_array() ? ']' : '}');
      stack.pop_back();
      if (!stack.empty()) {
        Frame& parent = stack.back();
        if (parent.next < container_size(*parent.container)) out.push_back(',');
        if (pretty) out.push_back('\n');
      }
      continue;
    }
    const std::size_t index = top.next++;
    if (pretty) indent(out, level);
    const JsonValue* child;
    if (container.is_array()) {
      child = &container.get_array()[index];
    } else {
      const auto& entry = container.get_object().begin()[index];
      write_json_string(entry.key(), out);
      out.append(pretty ? ": " : ":");
      child = &entry.value();
    }
    if (child->is_array() || child->is_object()) {
      if (container_size(*child) != 0) {
        open(*child);  // invalidates `top`; the loop re-reads the stack
        continue;
      }
      out.append(child->is_array() ? "[]" : "{}");
    } else {
      write_scalar(*child, out);
    }
    if (index + 1 < size) out.push_back(',');
    if (pretty) out.push_back('\n');
  }
}

}  // namespace

std::optional<JsonValue> read_json(std::string_view text, boost::json::storage_ptr storage) {
  boost::json::parse_options options;
  options.max_depth = MAX_READ_DEPTH;
  boost::json::basic_parser<JsonHandler> parser(options);
  parser.handler().stack.reset(std::move(storage));
  boost::json::error_code ec;
  const std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
  if (ec || used != text.size() || !parser.done()) return std::nullopt;
  return parser.handler().stack.release();
}

void write_json_string(std::string_view text, std::string& out) {
  static constexpr char HEX[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t run = 0;  // start of the bytes not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.substr(run, i - run));
    run = i + 1;
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\r':
        out.append("\\r");
        break;
      default:
        out.append("\\u00");
        out.push_back(HEX[c >> 4]);
        out.push_back(HEX[c & 0xF]);
    }
  }
  out.append(text.substr(run));
  out.push_back('"');
}

void write_json_compact(const JsonValue& value, std::string& out) {
  write_value(value, false, 0, out);
}

void write_json_pretty(const JsonValue& value, unsigned depth, std::string& out) {
  write_value(value, true, depth, out);
}

}  // namespace pelloriand::json
