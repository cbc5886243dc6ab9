// TOML for the format tool: reading with toml++ 3.3 and the plain writer (one
// line per top-level member, inline tables, arrays on one line).
//
// toml++ keeps table members sorted by key, so document order is restored from
// each key's source position. Its parser limits nested arrays and inline
// tables, but dotted keys and [a.b.c] headers build tables of any depth, and
// both the parser's clean-up and our conversion walk them recursively; a cheap
// scan of the text therefore refuses, before toml++ sees it, any document whose
// keys and brackets could nest deeper than MAX_NESTING.
#include <toml++/toml.h>

#include <algorithm>
#include <charconv>

#include "number.h"
#include "text.h"
#include "tools/format.h"

namespace pelloriand::tools::format {
namespace {

// An upper bound on the table nesting of a TOML text, outside strings and
// comments: header components, plus, at each open bracket, the components of
// the key that opened it. Dots in values (floats, times) are not counted.
class DepthScan {
 public:
  explicit DepthScan(std::string_view s) : s_(s) {}

  // The spans (start, length) of the float literals in values too long for
  // toml++, in text order; complete once within() has returned true.
  const std::vector<std::pair<std::size_t, std::size_t>>& long_numbers() const {
    return long_numbers_;
  }

  bool within(std::size_t limit) {
    struct Open {
      char kind;
      std::size_t base;
    };
    std::vector<Open> open;
    std::size_t root = 0;  // depth of the table the last header opened
    bool key = true;       // reading a key rather than a value
    std::size_t components = 1;
    auto base = [&] { return open.empty() ? root : open.back().base; };
    bool line_start = true;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i_;
        continue;
      }
      if (c == '\n') {
        ++i_;
        if (open.empty()) {
          key = true;
          components = 1;
          line_start = true;
        }
        continue;
      }
      if (c == '#') {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
        continue;
      }
      if (c == '"' || c == '\'') {
        skip_string();
        line_start = false;
        continue;
      }
      if (line_start && open.empty() && c == '[') {
        std::size_t parts = 1;
        while (i_ < s_.size() && s_[i_] != '\n' && s_[i_] != '#') {
          if (s_[i_] == '"' || s_[i_] == '\'') {
            skip_string();
            continue;
          }
          if (s_[i_] == '.') ++parts;
          ++i_;
        }
        root = parts + 1;
        if (root > limit) return false;
        line_start = false;
        continue;
      }
      line_start = false;
      if (!key && (text::is_digit(c) || c == '+' || c == '-')) {
        skip_number();
        continue;
      }
      ++i_;
      if (key && c == '}' && !open.empty()) {
        // An inline table closed where a key could start ("{}" or after a
        // trailing comma): its level ends, and what follows is its parent's.
        open.pop_back();
        key = false;
        value_base_ = base();
        continue;
      }
      if (key) {
        if (c == '.') {
          ++components;
        } else if (c == '=') {
          key = false;
          value_base_ = base() + components;
          if (value_base_ > limit) return false;
        }
        continue;
      }
      if (c == '[' || c == '{') {
        open.push_back({c, value_base_ + 1});
        if (open.back().base > limit) return false;
        value_base_ = open.back().base;
        key = c == '{';
        components = 1;
      } else if (c == ']' || c == '}') {
        if (!open.empty()) open.pop_back();
        value_base_ = base();
      } else if (c == ',') {
        key = !open.empty() && open.back().kind == '{';
        components = 1;
        value_base_ = base();
      }
    }
    return true;
  }

 private:
  // Longer numbers than this are shortened before toml++ sees them (it stops
  // near 128 characters); shortening keeps the value, so the margin is free.
  static constexpr std::size_t LONG_NUMBER = 100;

  // A number, date or time in a value: the run of characters that may form
  // one (no bracket, comma or "=" among them).
  void skip_number() {
    const std::size_t start = i_;
    auto part = [](char c) {
      return text::is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
             c == '.' || c == '+' || c == '-';
    };
    while (i_ < s_.size() && part(s_[i_])) ++i_;
    if (i_ - start > LONG_NUMBER) long_numbers_.emplace_back(start, i_ - start);
  }

  void skip_string() {
    const char q = s_[i_];
    const bool multi = s_.substr(i_, 3) == std::string(3, q);
    i_ += multi ? 3 : 1;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == '\\' && q == '"') {
        i_ += 2;
        continue;
      }
      if (!multi && c == '\n') return;
      if (c == q && (!multi || s_.substr(i_, 3) == std::string(3, q))) {
        i_ += multi ? 3 : 1;
        return;
      }
      ++i_;
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
  std::size_t value_base_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> long_numbers_;
};

// A TOML 1.0 float literal: dec-int, then a fraction, an exponent or both;
// digits may be grouped by single underscores between them.
bool is_toml_float(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < s.size() && text::is_digit(s[i])) {
      ++i;
      if (i + 1 < s.size() && s[i] == '_' && text::is_digit(s[i + 1])) ++i;
    }
    return i - start;
  };
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t whole = i;
  if (digits() == 0 || (s[whole] == '0' && i - whole > 1)) return false;
  bool fraction_or_exponent = false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (digits() == 0) return false;
    fraction_or_exponent = true;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (digits() == 0) return false;
    fraction_or_exponent = true;
  }
  return fraction_or_exponent && i == s.size();
}

// `text` with each long float literal replaced by the shortest exponent form
// of its double ("0.000…01" with 126 zeros becomes "1e-127"), which toml++
// reads to the same value. toml++ 3.3 refuses a number it cannot scan within
// its 128-character look-back, and the writer prints floats without exponent,
// so 5e-324 is written with 324 digits. Other long numbers are left for
// toml++ to refuse.
std::string shorten_floats(std::string_view text,
                           const std::vector<std::pair<std::size_t, std::size_t>>& spans) {
  std::string out;
  out.reserve(text.size());
  std::size_t done = 0;
  for (const auto& [start, length] : spans) {
    const std::string_view literal = text.substr(start, length);
    std::string plain;
    for (char c : literal) {
      if (c != '_' && c != '+') plain.push_back(c);
    }
    double d = 0;
    const auto [end, err] = std::from_chars(plain.data(), plain.data() + plain.size(), d);
    if (!is_toml_float(literal) || err != std::errc{} || end != plain.data() + plain.size()) {
      continue;
    }
    out.append(text.substr(done, start - done));
    char shortest[32];
    out.append(
        shortest,
        std::to_chars(shortest, shortest + sizeof shortest, d, std::chars_format::scientific).ptr);
    done = start + length;
  }
  out.append(text.substr(done));
  return out;
}

class TomlReader {
 public:
  explicit TomlReader(std::string_view text) : text_(text) {
    line_starts_.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') line_starts_.push_back(i + 1);
    }
  }

  JsonValue table(const toml::table& t) const {
    std::vector<std::pair<const toml::key*, const toml::node*>> entries;
    entries.reserve(t.size());
    for (const auto& [k, v] : t) entries.emplace_back(&k, &v);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      const auto& pa = a.first->source().begin;
      const auto& pb = b.first->source().begin;
      return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
    });
    boost::json::object o;
    o.reserve(entries.size());
    for (const auto& [k, v] : entries) o[k->str()] = node(*v);
    return o;
  }

  JsonValue node(const toml::node& n) const {
    switch (n.type()) {
      case toml::node_type::table:
        return table(*n.as_table());
      case toml::node_type::array: {
        boost::json::array a;
        a.reserve(n.as_array()->size());
        for (const auto& e : *n.as_array()) a.push_back(node(e));
        return a;
      }
      case toml::node_type::string:
        return JsonValue(n.as_string()->get());
      case toml::node_type::integer: {
        const std::int64_t i = n.as_integer()->get();
        if (i >= 0) return static_cast<std::uint64_t>(i);
        return i;
      }
      case toml::node_type::floating_point: {
        const double d = n.as_floating_point()->get();
        if (!std::isfinite(d)) return nullptr;
        return d;
      }
      case toml::node_type::boolean:
        return n.as_boolean()->get();
      case toml::node_type::date:
        return JsonValue(date_text(n.as_date()->get()));
      case toml::node_type::time:
        return JsonValue(time_text(n.as_time()->get()));
      case toml::node_type::date_time:
        return JsonValue(date_time_text(n));
      case toml::node_type::none:
        break;
    }
    return nullptr;
  }

 private:
  static void two(std::string& out, unsigned v) {
    out.push_back(static_cast<char>('0' + v / 10 % 10));
    out.push_back(static_cast<char>('0' + v % 10));
  }

  static std::string date_text(const toml::date& d) {
    std::string out;
    two(out, d.year / 100u);
    two(out, d.year % 100u);
    out.push_back('-');
    two(out, d.month);
    out.push_back('-');
    two(out, d.day);
    return out;
  }

  static std::string time_text(const toml::time& t) {
    std::string out;
    two(out, t.hour);
    out.push_back(':');
    two(out, t.minute);
    out.push_back(':');
    two(out, t.second);
    if (t.nanosecond != 0) {
      std::string fraction = std::to_string(t.nanosecond + 1000000000u).substr(1);
      while (fraction.back() == '0') fraction.pop_back();
      out.append(".").append(fraction);
    }
    return out;
  }

  std::string date_time_text(const toml::node& n) const {
    const toml::date_time& dt = n.as_date_time()->get();
    std::string out = date_text(dt.date) + "T" + time_text(dt.time);
    if (!dt.offset) return out;
    const int minutes = dt.offset->minutes;
    // toml++ keeps only the offset's minutes, so "Z" and "-00:00" are told
    // apart from "+00:00" by the literal itself.
    const char mark = minutes == 0 ? offset_mark(n.source().begin) : '\0';
    if (mark == 'Z') return out + "Z";
    out.push_back(minutes < 0 || mark == '-' ? '-' : '+');
    const auto abs = static_cast<unsigned>(minutes < 0 ? -minutes : minutes);
    two(out, abs / 60);
    out.push_back(':');
    two(out, abs % 60);
    return out;
  }

  // How the offset of the date-time literal that starts at `pos` begins: 'Z'
  // (for "Z" or "z"), '+' or '-'.
  char offset_mark(const toml::source_position& pos) const {
    if (pos.line == 0 || pos.line > line_starts_.size()) return '+';
    std::size_t i = line_starts_[pos.line - 1];
    for (std::size_t col = 1; col < pos.column && i < text_.size(); ++col) {
      (void)text::next_code_point(text_, i);
    }
    char mark = '+';
    bool in_time = false;  // past the date, where a "-" opens the offset
    for (; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == 'Z' || c == 'z') return 'Z';
      if (c == 'T' || c == 't' || c == ' ') in_time = true;
      if (c == '+' || (c == '-' && in_time)) mark = c;
      const bool part =
          (c >= '0' && c <= '9') || c == '-' || c == '+' || c == ':' || c == '.' || c == 'T' ||
          c == 't' ||
          (c == ' ' && i + 1 < text_.size() && text_[i + 1] >= '0' && text_[i + 1] <= '9');
      if (!part) break;
    }
    return mark;
  }

  std::string_view text_;
  std::vector<std::size_t> line_starts_;
};

bool is_control(unsigned char c, bool allow_line_feed) {
  return (c < 0x20 && c != '\t' && !(allow_line_feed && c == '\n')) || c == 0x7F;
}

bool has_control(std::string_view s, bool allow_line_feed) {
  return std::any_of(s.begin(), s.end(), [&](char c) {
    return is_control(static_cast<unsigned char>(c), allow_line_feed);
  });
}

bool has(std::string_view s, std::string_view what) {
  return s.find(what) != std::string_view::npos;
}

void append_escaped(std::string_view s, bool multi_line, std::string& out) {
  static constexpr char HEX[] = "0123456789abcdef";
  std::size_t quotes = 0;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"') {
      if (multi_line && ++quotes < 3) {
        out.push_back('"');
      } else {
        out.append("\\\"");
        quotes = 0;
      }
      continue;
    }
    quotes = 0;
    switch (c) {
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\n':
        out.append(multi_line ? "\n" : "\\n");
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out.append("\\u00");
          out.push_back(HEX[c >> 4]);
          out.push_back(HEX[c & 0xF]);
        } else {
          out.push_back(ch);
        }
    }
  }
}

void append_toml_key(std::string_view key, std::string& out) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
  if (bare) {
    out.append(key);
  } else if (!has(key, "\\") && !has(key, "\"") && !has_control(key, false)) {
    out.append("\"").append(key).append("\"");
  } else if (!has(key, "'") && !has_control(key, false)) {
    out.append("'").append(key).append("'");
  } else {
    out.push_back('"');
    append_escaped(key, false, out);
    out.push_back('"');
  }
}

void append_toml_string(std::string_view s, std::string& out) {
  const bool control = has_control(s, true);
  const bool line_feed = has(s, "\n");
  const char* open_lf = line_feed ? "\n" : "";
  if (!has(s, "\\") && !control && !line_feed && !has(s, "\"")) {
    out.append("\"").append(s).append("\"");
  } else if (!control && !line_feed && !has(s, "'")) {
    out.append("'").append(s).append("'");
  } else if (!has(s, "\\") && !control && !has(s, "\"\"\"")) {
    out.append("\"\"\"").append(open_lf).append(s).append("\"\"\"");
  } else if (!control && !has(s, "'''")) {
    out.append("'''").append(open_lf).append(s).append("'''");
  } else if (line_feed) {
    out.append("\"\"\"\n");
    append_escaped(s, true, out);
    out.append("\"\"\"");
  } else {
    out.push_back('"');
    append_escaped(s, false, out);
    out.push_back('"');
  }
}

// Shortest round-trip digits written positionally, never with an exponent.
void append_toml_float(double d, std::string& out) {
  if (d == 0) {
    out.append(std::signbit(d) ? "-0.0" : "0.0");
    return;
  }
  const number::DecimalDigits dd = number::decimal_digits(d);
  if (dd.negative) out.push_back('-');
  const int count = dd.count;
  const int e = dd.exponent;
  auto digit = [&](int i) { return static_cast<char>('0' + (i < count ? dd.digits[i] : 0)); };
  if (e < 0) {
    out.append("0.");
    out.append(static_cast<std::size_t>(-e - 1), '0');
    for (int i = 0; i < count; ++i) out.push_back(digit(i));
    return;
  }
  for (int i = 0; i <= e; ++i) out.push_back(digit(i));
  out.push_back('.');
  if (count <= e + 1) {
    out.push_back('0');
  } else {
    for (int i = e + 1; i < count; ++i) out.push_back(digit(i));
  }
}

// Appends one value; the error sentence when it cannot be written.
const char* append_toml_value(const JsonValue& v, std::string& out) {
  switch (v.kind()) {
    case boost::json::kind::null:
      return "unsupported unit type";
    case boost::json::kind::bool_:
      out.append(v.get_bool() ? "true" : "false");
      break;
    case boost::json::kind::int64:
      out.append(std::to_string(v.get_int64()));
      break;
    case boost::json::kind::uint64:
      if (v.get_uint64() > static_cast<std::uint64_t>(INT64_MAX))
        return "out-of-range value for u64 type";
      out.append(std::to_string(v.get_uint64()));
      break;
    case boost::json::kind::double_:
      append_toml_float(v.get_double(), out);
      break;
    case boost::json::kind::string:
      append_toml_string(v.get_string(), out);
      break;
    case boost::json::kind::array: {
      out.push_back('[');
      bool first = true;
      for (const auto& e : v.get_array()) {
        if (!first) out.append(", ");
        first = false;
        if (const char* error = append_toml_value(e, out)) return error;
      }
      out.push_back(']');
      break;
    }
    case boost::json::kind::object: {
      const auto& o = v.get_object();
      if (o.empty()) {
        out.append("{}");
        break;
      }
      out.append("{ ");
      bool first = true;
      for (const auto& m : o) {
        if (!first) out.append(", ");
        first = false;
        append_toml_key(m.key(), out);
        out.append(" = ");
        if (const char* error = append_toml_value(m.value(), out)) return error;
      }
      out.append(" }");
      break;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<JsonValue> read_toml(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  DepthScan scan(text);
  if (!scan.within(MAX_NESTING)) return std::nullopt;
  std::string shortened;
  if (!scan.long_numbers().empty()) {
    shortened = shorten_floats(text, scan.long_numbers());
    text = shortened;
  }
  try {
    const toml::table root = toml::parse(text);
    return TomlReader(text).table(root);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

TomlOutput write_toml(const boost::json::object& object) {
  TomlOutput result;
  for (const auto& m : object) {
    append_toml_key(m.key(), result.text);
    result.text.append(" = ");
    if (const char* error = append_toml_value(m.value(), result.text)) return {false, error};
    result.text.push_back('\n');
  }
  return result;
}

}  // namespace pelloriand::tools::format
