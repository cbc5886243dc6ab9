// YAML for the format tool: the reader, which turns libfyaml's parser events
// (they report every scalar's text, tag and style, so "null" and "Null" can be
// typed apart) into a JsonValue, and the block-style writer of a JsonValue.
//
// libfyaml reads YAML 1.2 and passes the YAML test suite; libyaml, a YAML 1.1
// reader, refuses tabs in separation space, empty keys and multi-line flow
// keys, misreads anchors holding ":" and accepts some invalid streams.
//
// The loader keeps its own stack of open containers, refuses nesting beyond
// MAX_NESTING and stops alias copying at MAX_ALIAS_WEIGHT, so an alias bomb
// costs a few milliseconds and bounded memory.
#include <libfyaml.h>

#include <array>
#include <boost/json/value_stack.hpp>
#include <charconv>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "number.h"
#include "text.h"
#include "tools/format.h"

namespace pelloriand::tools::format {
namespace {

using Kind = YamlNode::Kind;

constexpr std::string_view CORE_TAG = "tag:yaml.org,2002:";

YamlNode scalar(Kind kind) {
  YamlNode n;
  n.kind = kind;
  return n;
}

YamlNode text_node(Kind kind, std::string_view text) {
  YamlNode n;
  n.kind = kind;
  n.text = std::string(text);
  return n;
}

YamlNode integer_node(std::int64_t value) {
  YamlNode n;
  n.kind = Kind::Integer;
  n.integer = value;
  return n;
}

YamlNode boolean_node(bool value) {
  YamlNode n;
  n.kind = Kind::Boolean;
  n.boolean = value;
  return n;
}

// A signed 64-bit integer in `base`: one optional sign, then digits only.
std::optional<std::int64_t> parse_int(std::string_view s, int base) {
  if (!s.empty() && s[0] == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s[0] == '-') return std::nullopt;
  }
  if (s.empty() || s == "-") return std::nullopt;
  std::int64_t value = 0;
  const auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (err != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// The decimal grammar: [+-] (digits [. digits*] | . digits) [(e|E) [+-] digits].
bool is_decimal(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < s.size() && text::is_digit(s[i])) ++i;
    return i - start;
  };
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t whole = digits();
  std::size_t fraction = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    fraction = digits();
  }
  if (whole == 0 && fraction == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == s.size();
}

bool is_one_of(std::string_view s, std::initializer_list<std::string_view> words) {
  for (auto w : words) {
    if (s == w) return true;
  }
  return false;
}

bool is_real(std::string_view s) {
  if (s.empty()) return false;
  if (s[0] != '.' && s[0] != '+' && s[0] != '-') return is_decimal(s);
  return is_one_of(s, {".inf", ".Inf", ".INF", "+.inf", "+.Inf", "+.INF", "-.inf", "-.Inf", "-.INF",
                       ".nan", ".NaN", ".NAN"}) ||
         is_decimal(s);
}

std::optional<bool> parse_bool(std::string_view s) {
  if (is_one_of(s, {"true", "True", "TRUE"})) return true;
  if (is_one_of(s, {"false", "False", "FALSE"})) return false;
  return std::nullopt;
}

YamlNode type_tagged(std::string_view suffix, std::string_view s) {
  if (suffix == "bool") {
    if (auto b = parse_bool(s)) return boolean_node(*b);
    return scalar(Kind::BadValue);
  }
  if (suffix == "int") {
    if (auto i = parse_int(s, 10)) return integer_node(*i);
    return scalar(Kind::BadValue);
  }
  if (suffix == "float") return is_real(s) ? text_node(Kind::Real, s) : scalar(Kind::BadValue);
  if (suffix == "null")
    return s == "~" || s == "null" ? scalar(Kind::Null) : scalar(Kind::BadValue);
  return text_node(Kind::String, s);
}

YamlNode type_plain(std::string_view s) {
  if (s.empty()) return scalar(Kind::Null);
  if (s.starts_with("0x")) {
    if (auto i = parse_int(s.substr(2), 16)) return integer_node(*i);
  }
  if (s.starts_with("0o")) {
    if (auto i = parse_int(s.substr(2), 8)) return integer_node(*i);
  }
  if (s.starts_with("+")) {
    if (auto i = parse_int(s.substr(1), 10)) return integer_node(*i);
  }
  if (s == "~" || s == "null") return scalar(Kind::Null);
  if (auto b = parse_bool(s)) return boolean_node(*b);
  if (auto i = parse_int(s, 10)) return integer_node(*i);
  if (is_real(s)) return text_node(Kind::Real, s);
  return text_node(Kind::String, s);
}

// The text of a token (a scalar's value, a resolved tag, an anchor name);
// empty for none.
std::string_view token_text(fy_token* token) {
  if (token == nullptr) return {};
  std::size_t length = 0;
  const char* text = fy_token_get_text(token, &length);
  return text == nullptr ? std::string_view() : std::string_view(text, length);
}

// A block scalar's text. libfyaml 0.7.12 reads an empty block scalar that
// ends the input ("- |" and a line break) as one NUL byte, which no block
// scalar can hold, for the empty text.
std::string_view block_scalar_text(fy_token* value) {
  const std::string_view s = token_text(value);
  return s == std::string_view("\0", 1) ? std::string_view() : s;
}

constexpr std::string_view BLANKS = " \t";

bool is_break(char c) {
  return c == '\n' || c == '\r';
}

// Skips the line break at `pos`, "\r\n" as one.
void skip_break(std::string_view raw, std::size_t& pos) {
  pos += raw.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
}

// Skips the line break at `pos` and every line of nothing but blanks after
// it, and the next line's leading blanks; returns how many breaks it passed.
std::size_t skip_folded_lines(std::string_view raw, std::size_t& pos) {
  std::size_t breaks = 0;
  while (pos < raw.size() && is_break(raw[pos])) {
    skip_break(raw, pos);
    ++breaks;
    pos = std::min(raw.size(), raw.find_first_not_of(BLANKS, pos));
  }
  return breaks;
}

// The code point of a double-quoted scalar's escape that starts after the
// backslash at `pos`, which moves past it. The parser has checked the escape
// (a known letter, hex digits for a scalar value, surrogates in pairs).
char32_t double_quoted_escape(std::string_view raw, std::size_t& pos) {
  const auto hex = [&](std::size_t digits) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits && pos < raw.size(); ++i, ++pos) {
      value = value << 4 | static_cast<std::uint32_t>(std::max(0, text::hex_digit_value(raw[pos])));
    }
    return value;
  };
  switch (raw[pos++]) {
    case '0':
      return 0;
    case 'a':
      return 0x07;
    case 'b':
      return 0x08;
    case 't':
    case '\t':
      return 0x09;
    case 'n':
      return 0x0A;
    case 'v':
      return 0x0B;
    case 'f':
      return 0x0C;
    case 'r':
      return 0x0D;
    case 'e':
      return 0x1B;
    case 'N':
      return 0x85;
    case '_':
      return 0xA0;
    case 'L':
      return 0x2028;
    case 'P':
      return 0x2029;
    case 'x':
      return hex(2);
    case 'U':
      return hex(8);
    case 'u': {
      const std::uint32_t high = hex(4);
      if (high < 0xD800 || high > 0xDBFF || raw.compare(pos, 2, "\\u") != 0) return high;
      pos += 2;
      return 0x10000 + ((high - 0xD800) << 10) + (hex(4) - 0xDC00);
    }
    default:
      return static_cast<unsigned char>(raw[pos - 1]);  // " / \ and space
  }
}

// The value of a quoted scalar from its source between the quotes. Line
// breaks fold as in every flow scalar: the blanks around a break go, one
// break is a space, n breaks are n - 1 line feeds. In single quotes '' is
// one quote; in double quotes a backslash escapes, before a line break too,
// which then keeps the blanks before it and folds nothing. libfyaml 0.7.12 is
// not asked: after two '' in a row it writes a quote where the next character
// belongs ('a''''b' reads as a''') and leaks its buffer, and it cuts the last
// byte off some double-quoted scalars whose escaped line breaks follow blank
// lines.
YamlNode quoted_node(std::string_view raw, bool double_quoted) {
  YamlNode n;
  n.kind = Kind::String;
  n.text.reserve(raw.size());
  std::size_t pos = 0;
  while (pos < raw.size()) {
    const char c = raw[pos];
    if (is_break(c)) {
      const std::size_t breaks = skip_folded_lines(raw, pos);
      if (breaks == 1) {
        n.text.push_back(' ');
      } else {
        n.text.append(breaks - 1, '\n');
      }
    } else if (c == ' ' || c == '\t') {
      const std::size_t end = std::min(raw.size(), raw.find_first_not_of(BLANKS, pos));
      if (end == raw.size() || !is_break(raw[end])) n.text.append(raw.substr(pos, end - pos));
      pos = end;
    } else if (!double_quoted && c == '\'') {
      n.text.push_back('\'');  // the first of ''
      pos += 2;
    } else if (double_quoted && c == '\\' && pos + 1 < raw.size() && is_break(raw[pos + 1])) {
      ++pos;
      // The escaped break goes; blank lines after it are line feeds.
      n.text.append(skip_folded_lines(raw, pos) - 1, '\n');
    } else if (double_quoted && c == '\\' && pos + 1 < raw.size()) {
      ++pos;
      text::append_utf8(n.text, double_quoted_escape(raw, pos));
    } else {
      n.text.push_back(c);
      ++pos;
    }
  }
  return n;
}

// The source of a token within the text the parser reads.
std::string_view token_source(fy_token* token, std::string_view text) {
  const std::size_t start = fy_token_start_mark(token)->input_pos;
  const std::size_t end = fy_token_end_mark(token)->input_pos;
  return text.substr(start, end - start);
}

YamlNode type_scalar(const fy_event_scalar_data& sc, std::string_view text) {
  const fy_scalar_style style = fy_token_scalar_style(sc.value);
  if (style == FYSS_LITERAL || style == FYSS_FOLDED) {
    return text_node(Kind::String, block_scalar_text(sc.value));
  }
  if (style == FYSS_SINGLE_QUOTED || style == FYSS_DOUBLE_QUOTED) {
    return quoted_node(token_source(sc.value, text), style == FYSS_DOUBLE_QUOTED);
  }
  const std::string_view s = token_text(sc.value);
  if (style != FYSS_PLAIN) return text_node(Kind::String, s);
  if (sc.tag != nullptr) {
    const std::string_view tag = token_text(sc.tag);
    if (tag.starts_with(CORE_TAG)) return type_tagged(tag.substr(CORE_TAG.size()), s);
    return text_node(Kind::String, s);
  }
  return type_plain(s);
}

void append_inspection(const YamlNode& node, std::string& out);

void append_item(const YamlNode& node, std::string& out) {
  switch (node.kind) {
    case Kind::Real:
      out.append("Real(");
      text::append_debug_quoted(out, node.text);
      break;
    case Kind::String:
      out.append("String(");
      text::append_debug_quoted(out, node.text);
      break;
    case Kind::Integer:
      out.append("Integer(").append(std::to_string(node.integer));
      break;
    case Kind::Boolean:
      out.append("Boolean(").append(node.boolean ? "true" : "false");
      break;
    case Kind::Array:
      out.append("Array(");
      append_inspection(node, out);
      break;
    case Kind::Hash:
      out.append("Hash(");
      append_inspection(node, out);
      break;
    case Kind::Null:
      out.append("Null");
      return;
    case Kind::BadValue:
      out.append("BadValue");
      return;
  }
  out.push_back(')');
}

void append_inspection(const YamlNode& node, std::string& out) {
  const bool hash = node.kind == Kind::Hash;
  out.push_back(hash ? '{' : '[');
  const std::size_t step = hash ? 2 : 1;
  for (std::size_t i = 0; i < node.items.size(); i += step) {
    if (i > 0) out.append(", ");
    append_item(node.items[i], out);
    if (hash) {
      out.append(": ");
      append_item(node.items[i + 1], out);
    }
  }
  out.push_back(hash ? '}' : ']');
}

// The identity of a key for the duplicate check: variant and content.
std::string key_identity(const YamlNode& key) {
  std::string id;
  switch (key.kind) {
    case Kind::String:
      id.reserve(key.text.size() + 1);
      id.append("S").append(key.text);
      break;
    case Kind::Real:
      id.append("R").append(key.text);
      break;
    case Kind::Integer:
      id.append("I").append(std::to_string(key.integer));
      break;
    default:
      id.append("C");
      append_item(key, id);
  }
  return id;
}

// A Real's value: its text read with the decimal grammar; 0 for the special
// forms and for a text whose double is not finite.
double real_value(std::string_view s) {
  if (s.starts_with('+')) s.remove_prefix(1);
  double d = 0;
  const auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (err != std::errc{} || end != s.data() + s.size() || !std::isfinite(d)) return 0.0;
  return d;
}

// One open sequence or mapping of the loader.
struct Frame {
  Kind kind;
  std::string anchor;
  bool emit = false;       // its JSON goes onto the value stack
  bool mirror = false;     // its YamlNode is built: it is anchored, a key, or inside one
  YamlNode node;           // the YamlNode, when mirrored
  std::size_t count = 0;   // children completed, keys and values
  std::size_t height = 1;  // container levels in the subtree, this one included
  std::size_t weight = 16;
  std::unordered_set<std::string> keys;
};

struct Anchored {
  YamlNode node;
  std::size_t height;
  std::size_t weight;
};

// Reads every document of a stream and builds the first one's JsonValue as
// the events arrive, on a value stack, so a document costs its JSON tree and
// no node tree. YamlNode copies are built only where YAML identity matters:
// for anchored nodes (an alias may stand anywhere, a key included) and for
// sequence and mapping keys, whose inspection text names every variant.
class Loader {
 public:
  // `text` is what the parser reads: quoted scalars are read from it.
  Loader(std::string_view text, boost::json::storage_ptr storage) : text_(text) {
    json_.reset(std::move(storage));
  }

  // Feeds one event; false when the stream must be refused.
  bool on_event(const fy_event& event) {
    switch (event.type) {
      case FYET_DOCUMENT_START:
        anchors_.clear();
        return true;
      case FYET_SCALAR: {
        YamlNode node = type_scalar(event.scalar, text_);
        const std::size_t weight = 16 + node.text.size();
        return complete(node, true, anchor_of(event.scalar.anchor), 0, weight, false);
      }
      case FYET_ALIAS: {
        const auto found = anchors_.find(anchor_of(event.alias.anchor));
        if (found == anchors_.end()) {
          YamlNode bad = scalar(Kind::BadValue);
          return complete(bad, true, {}, 0, 16, false);
        }
        Anchored& a = found->second;
        if (!spend(a.weight)) return false;
        return complete(a.node, false, {}, a.height, a.weight, false);
      }
      case FYET_SEQUENCE_START:
        return open(Kind::Array, anchor_of(event.sequence_start.anchor));
      case FYET_MAPPING_START:
        return open(Kind::Hash, anchor_of(event.mapping_start.anchor));
      case FYET_SEQUENCE_END:
      case FYET_MAPPING_END: {
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        if (frame.emit) {
          if (frame.kind == Kind::Hash) {
            json_.push_object(frame.count / 2);
          } else {
            json_.push_array(frame.count);
          }
        }
        return complete(frame.node, true, std::move(frame.anchor), frame.height, frame.weight,
                        frame.emit);
      }
      case FYET_DOCUMENT_END:
        ++documents_;
        return true;
      default:
        return true;
    }
  }

  // The first document's value; nothing for a stream without documents.
  std::optional<JsonValue> first_document() {
    if (documents_ == 0) return std::nullopt;
    return json_.release();
  }

 private:
  static std::string anchor_of(fy_token* anchor) { return std::string(token_text(anchor)); }

  bool spend(std::size_t weight) {
    copied_ += weight;
    return copied_ <= MAX_ALIAS_WEIGHT;
  }

  // Whether the next node completed in the innermost open container is a key.
  bool at_key() const {
    return !stack_.empty() && stack_.back().kind == Kind::Hash && stack_.back().count % 2 == 0;
  }

  bool open(Kind kind, std::string anchor) {
    if (stack_.size() >= MAX_NESTING) return false;
    Frame frame;
    frame.kind = kind;
    frame.node.kind = kind;
    if (stack_.empty()) {
      frame.emit = documents_ == 0;
    } else {
      frame.emit = stack_.back().emit && !at_key();
      frame.mirror = stack_.back().mirror || at_key();
    }
    frame.mirror = frame.mirror || !anchor.empty();
    frame.anchor = std::move(anchor);
    stack_.push_back(std::move(frame));
    return true;
  }

  // Puts a node's JSON on the value stack.
  void emit(const YamlNode& n) {
    switch (n.kind) {
      case Kind::Real:
        json_.push_double(real_value(n.text));
        break;
      case Kind::Integer:
        if (n.integer >= 0) {
          json_.push_uint64(static_cast<std::uint64_t>(n.integer));
        } else {
          json_.push_int64(n.integer);
        }
        break;
      case Kind::String:
        json_.push_string(n.text);
        break;
      case Kind::Boolean:
        json_.push_bool(n.boolean);
        break;
      case Kind::Array:
        for (const auto& item : n.items) emit(item);
        json_.push_array(n.items.size());
        break;
      case Kind::Hash:
        // A repeated key text keeps its first place and takes the last value.
        for (std::size_t i = 0; i + 1 < n.items.size(); i += 2) {
          json_.push_key(yaml_key_text(n.items[i]));
          emit(n.items[i + 1]);
        }
        json_.push_object(n.items.size() / 2);
        break;
      case Kind::Null:
      case Kind::BadValue:
        json_.push_null();
        break;
    }
  }

  // Places a finished node: as the document root, a key or an item. `own`
  // says it may be moved from; `emitted` that its JSON is on the stack.
  bool complete(YamlNode& node, bool own, std::string anchor, std::size_t height,
                std::size_t weight, bool emitted) {
    if (stack_.size() + height > MAX_NESTING) return false;
    if (!anchor.empty()) {
      // The anchor keeps a copy of its own, which counts against the budget.
      if (!spend(weight)) return false;
      anchors_.insert_or_assign(std::move(anchor), Anchored{node, height, weight});
    }
    if (stack_.empty()) {
      if (documents_ == 0 && !emitted) emit(node);
      return true;
    }
    Frame& parent = stack_.back();
    if (at_key()) {
      if (!parent.keys.insert(key_identity(node)).second) return false;
      if (parent.emit) json_.push_key(yaml_key_text(node));
    } else if (parent.emit && !emitted) {
      emit(node);
    }
    ++parent.count;
    if (parent.mirror) parent.node.items.push_back(own ? std::move(node) : node);
    parent.height = std::max(parent.height, height + 1);
    parent.weight += weight;
    return true;
  }

  std::vector<Frame> stack_;
  std::unordered_map<std::string, Anchored> anchors_;
  std::size_t copied_ = 0;
  std::size_t documents_ = 0;
  boost::json::value_stack json_;
  std::string_view text_;
};

// Whether `text` holds both an explicit key ("?" and a blank) and a tab in
// the blanks before a block indicator. libfyaml 0.7.12 refuses such a tab in
// block context, but where it does so after an explicit key ("? a:\t: b") it
// leaves its indentation stack broken and crashes as the parser is destroyed;
// these texts are refused before it sees them.
bool trips_tab_after_explicit_key(std::string_view text) {
  const auto blank_or_end = [&](std::size_t i) {
    return i >= text.size() || text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
           text[i] == '\n';
  };
  bool explicit_key = false;
  bool tab_before_indicator = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '?' && blank_or_end(i + 1)) explicit_key = true;
    if (text[i] != ' ' && text[i] != '\t') continue;
    const std::size_t end = std::min(text.size(), text.find_first_not_of(" \t", i));
    const bool tab = text.substr(i, end - i).find('\t') != std::string_view::npos;
    if (tab && end < text.size() &&
        (std::string_view("?:|>").find(text[end]) != std::string_view::npos ||
         (text[end] == '-' && blank_or_end(end + 1))))
      tab_before_indicator = true;
    i = end - 1;
  }
  return explicit_key && tab_before_indicator;
}

// A libfyaml parser over one text, YAML 1.2 unless the text's %YAML
// directive says otherwise, whose diagnostics go nowhere: the tool never
// shows a reader's messages.
class YamlParser {
 public:
  explicit YamlParser(std::string_view text) {
    fy_diag_cfg diag_cfg;
    fy_diag_cfg_default(&diag_cfg);
    diag_cfg.fp = nullptr;
    diag_cfg.output_fn = [](fy_diag*, void*, const char*, std::size_t) {};
    diag_ = fy_diag_create(&diag_cfg);
    if (diag_ == nullptr) return;
    // Errors are collected, never laid out: libfyaml 0.7.12 can read outside
    // the input while it draws the source line under some errors.
    fy_diag_set_collect_errors(diag_, true);
    fy_parse_cfg cfg{};
    // The loader keeps its own nesting bound.
    cfg.flags = static_cast<fy_parse_cfg_flags>(FYPCF_QUIET | FYPCF_DEFAULT_VERSION_1_2 |
                                                FYPCF_DISABLE_DEPTH_LIMIT | FYPCF_JSON_NONE);
    cfg.diag = diag_;
    parser_ = fy_parser_create(&cfg);
    if (parser_ != nullptr && fy_parser_set_string(parser_, text.data(), text.size()) != 0) {
      fy_parser_destroy(parser_);
      parser_ = nullptr;
    }
  }
  YamlParser(const YamlParser&) = delete;
  YamlParser& operator=(const YamlParser&) = delete;
  ~YamlParser() {
    // The collected errors hold tokens of the parser: they go first.
    if (diag_ != nullptr) fy_diag_set_collect_errors(diag_, false);
    if (parser_ != nullptr) fy_parser_destroy(parser_);
    if (diag_ != nullptr) fy_diag_destroy(diag_);
  }

  explicit operator bool() const { return parser_ != nullptr; }
  fy_event* next() { return fy_parser_parse(parser_); }
  void free(fy_event* event) { fy_parser_event_free(parser_, event); }
  bool failed() const { return fy_parser_get_stream_error(parser_); }

 private:
  fy_diag* diag_ = nullptr;
  fy_parser* parser_ = nullptr;
};

// Characters that force quotes anywhere in a string (every C0 control and DEL
// among them: the reader refuses most of them raw, and the double-quoted style
// escapes them), and those that force them as its first character.
struct QuoteTables {
  std::array<bool, 256> anywhere{};
  std::array<bool, 256> first{};
  QuoteTables() {
    for (unsigned char c : std::string_view("#,:[]{}\"'\\`\x7f")) anywhere[c] = true;
    for (unsigned c = 0; c < 0x20; ++c) anywhere[c] = true;
    for (unsigned char c : std::string_view("!%&*-<=>?|@.")) first[c] = true;
  }
};

// The byte length of the character at s[i] when no YAML text may hold it raw,
// even in double quotes, else 0: the reader refuses the C1 controls, U+FFFE
// and U+FFFF anywhere, and reads U+0085, U+2028 and U+2029 as line breaks,
// which double quotes fold into spaces or strip blanks around.
std::size_t escaped_only_length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) {
    return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
  };
  switch (byte(0)) {
    case 0xC2:
      return byte(1) >= 0x80 && byte(1) <= 0x9F ? 2 : 0;
    case 0xE2:
      return byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9) ? 3 : 0;
    case 0xEF:
      return byte(1) == 0xBF && (byte(2) == 0xBE || byte(2) == 0xBF) ? 3 : 0;
    default:
      return 0;
  }
}

// True when `s` starts or ends with White_Space, which the tool trims from its
// input and output, or starts with U+FEFF, which the reader takes for a
// byte-order mark at the start of a line.
bool has_loose_edge(std::string_view s) {
  std::size_t front = 0;
  std::size_t back = s.size();
  const char32_t first = text::next_code_point(s, front);
  return first == 0xFEFF || text::is_white_space(first) ||
         text::is_white_space(text::previous_code_point(s, back));
}

bool is_special_word(std::string_view s) {
  switch (s.size()) {
    case 1:
      return std::string_view("~yYnN").find(s[0]) != std::string_view::npos;
    case 2:
      return is_one_of(s, {"no", "No", "NO", "on", "On", "ON"});
    case 3:
      return is_one_of(s, {"yes", "Yes", "YES", "off", "Off", "OFF"});
    case 4:
      return is_one_of(s, {"true", "True", "TRUE", "null", "Null", "NULL"});
    case 5:
      return is_one_of(s, {"false", "False", "FALSE"});
    default:
      return false;
  }
}

// The quoting rule of the writer: true when `s` would not read back as the
// same plain string.
bool needs_quotes(std::string_view s) {
  static const QuoteTables TABLES;
  if (s.empty() || TABLES.first[static_cast<unsigned char>(s.front())] || has_loose_edge(s))
    return true;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (TABLES.anywhere[static_cast<unsigned char>(s[i])] || escaped_only_length(s, i) != 0)
      return true;
  }
  if (is_special_word(s) || s.starts_with("0x")) return true;
  if (is_decimal(s)) return true;  // integers included
  std::string_view word = s;
  if (word.front() == '+' || word.front() == '-') word.remove_prefix(1);
  for (std::string_view special : {"inf", "infinity", "nan"}) {
    if (text::ascii_iequals(word, special)) return true;
  }
  // Our own reader types "0o17", "++1" and "+.inf" as numbers; left plain they
  // would come back as numbers, so they are quoted too.
  return (s[0] == '0' || s[0] == '+') && type_plain(s).kind != Kind::String;
}

// A double-quoted string: the JSON string escapes (DEL included) and a \u
// escape for each character of escaped_only_length.
void write_quoted(std::string_view s, std::string& out) {
  std::size_t run = 0;  // start of the text not yet written
  bool open = false;
  auto write_run = [&](std::size_t end) {
    const std::size_t at = out.size();
    json::write_json_string(s.substr(run, end - run), out, true);
    if (open) out.erase(at, 1);  // the run continues the literal already open
    out.pop_back();              // and stays open
    open = true;
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::size_t length = escaped_only_length(s, i);
    if (length == 0) continue;
    write_run(i);
    std::size_t next = i;
    const char32_t c = text::next_code_point(s, next);
    static constexpr char HEX[] = "0123456789abcdef";
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(HEX[(c >> shift) & 0xF]);
    i += length - 1;
    run = i + 1;
  }
  write_run(s.size());
  out.push_back('"');
}

void write_yaml_string(std::string_view s, std::string& out) {
  if (needs_quotes(s)) {
    write_quoted(s, out);
  } else {
    out.append(s);
  }
}

// The block-style writer. It writes the YAML node each JSON value stands for
// straight from the JsonValue (null as Null, integers up to 2^63 - 1 as
// Integer, other numbers as the Real of their shortest text, objects as Hash
// with String keys), so no node tree is built for the output.
class YamlWriter {
 public:
  explicit YamlWriter(std::string& out) : out_(out) {}

  void node(const JsonValue& v) {
    switch (v.kind()) {
      case boost::json::kind::null:
        out_.append("~");
        break;
      case boost::json::kind::bool_:
        out_.append(v.get_bool() ? "true" : "false");
        break;
      case boost::json::kind::int64:
        append_integer(v.get_int64());
        break;
      case boost::json::kind::uint64:
        if (v.get_uint64() <= static_cast<std::uint64_t>(INT64_MAX)) {
          append_integer(static_cast<std::int64_t>(v.get_uint64()));
        } else {
          number::append_shortest(out_, static_cast<double>(v.get_uint64()));
        }
        break;
      case boost::json::kind::double_:
        number::append_shortest(out_, v.get_double());
        break;
      case boost::json::kind::string:
        write_yaml_string(v.get_string(), out_);
        break;
      case boost::json::kind::array:
        sequence(v.get_array());
        break;
      case boost::json::kind::object:
        mapping(v.get_object());
        break;
    }
  }

  int level = -1;

 private:
  static bool is_open_container(const JsonValue& v) {
    if (const auto* a = v.if_array()) return !a->empty();
    if (const auto* o = v.if_object()) return !o->empty();
    return false;
  }

  void append_integer(std::int64_t i) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, i).ptr;
    out_.append(digits, end);
  }

  void indent(int levels) {
    if (levels > 0) out_.append(static_cast<std::size_t>(levels) * 2, ' ');
  }

  // The line break and indentation before every item or pair but the first.
  void separate(bool first) {
    if (first) return;
    out_.push_back('\n');
    indent(level);
  }

  void sequence(const boost::json::array& a) {
    if (a.empty()) {
      out_.append("[]");
      return;
    }
    ++level;
    for (std::size_t i = 0; i < a.size(); ++i) {
      separate(i == 0);
      out_.push_back('-');
      value(a[i], true);
    }
    --level;
  }

  void mapping(const boost::json::object& o) {
    if (o.empty()) {
      out_.append("{}");
      return;
    }
    ++level;
    bool first = true;
    for (const auto& m : o) {
      separate(first);
      first = false;
      const std::size_t at = out_.size();
      write_yaml_string(m.key(), out_);
      if (is_implicit_key(std::string_view(out_).substr(at))) {
        out_.push_back(':');
        value(m.value(), false);
      } else {
        // "? key", then ": value" below it, which continues like a sequence item.
        out_.insert(at, "? ");
        out_.push_back('\n');
        indent(level);
        out_.push_back(':');
        value(m.value(), true);
      }
    }
    --level;
  }

  // Whether a key written as `key` may stand before ":" alone: YAML 1.2
  // (6.3.2, rule 154) limits an implicit key to 1024 characters.
  static bool is_implicit_key(std::string_view key) {
    if (key.size() <= MAX_IMPLICIT_KEY) return true;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < key.size() && characters <= MAX_IMPLICIT_KEY; ++characters) {
      (void)text::next_code_point(key, i);
    }
    return characters <= MAX_IMPLICIT_KEY;
  }

  static constexpr std::size_t MAX_IMPLICIT_KEY = 1024;

  void value(const JsonValue& v, bool inline_flag) {
    if (is_open_container(v) && !inline_flag) {
      out_.push_back('\n');
      indent(level + 1);
    } else {
      out_.push_back(' ');
    }
    node(v);
  }

  std::string& out_;
};

}  // namespace

std::optional<JsonValue> read_yaml(std::string_view text, boost::json::storage_ptr storage) {
  if (trips_tab_after_explicit_key(text)) return std::nullopt;
  YamlParser parser(text);
  if (!parser) return std::nullopt;
  Loader loader(text, std::move(storage));
  for (;;) {
    fy_event* event = parser.next();
    if (event == nullptr) break;  // the stream's end, or an error
    const bool ok = loader.on_event(*event);
    parser.free(event);
    if (!ok) return std::nullopt;
  }
  if (parser.failed()) return std::nullopt;
  return loader.first_document();
}

std::string yaml_key_text(const YamlNode& key) {
  switch (key.kind) {
    case Kind::Real:
    case Kind::String:
      return key.text;
    case Kind::Integer:
      return std::to_string(key.integer);
    case Kind::Boolean:
      return key.boolean ? "true" : "false";
    case Kind::Null:
      return "null";
    case Kind::BadValue:
      return "~";
    case Kind::Array:
    case Kind::Hash:
      break;
  }
  std::string out;
  append_inspection(key, out);
  return out;
}

void write_yaml(const JsonValue& value, std::string& out) {
  YamlWriter(out).node(value);
}

}  // namespace pelloriand::tools::format
