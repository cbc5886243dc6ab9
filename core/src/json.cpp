// The JSON text writers; see json.h (the reader is json_read.cpp). Containers
// are walked with an explicit stack so that a document nested to any depth
// cannot overflow the call stack.
#include "json.h"

#include <boost/json.hpp>
#include <vector>

#include "number.h"

namespace pelloriand::json {
namespace {

void write_scalar(const JsonValue& value, std::string& out) {
  switch (value.kind()) {
    case boost::json::kind::null:
      out.append("null");
      break;
    case boost::json::kind::bool_:
      out.append(value.get_bool() ? "true" : "false");
      break;
    case boost::json::kind::int64:
    case boost::json::kind::uint64:
    case boost::json::kind::double_:
      // Integers too print as the double they convert to.
      number::append_shortest(out, value.to_number<double>());
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

void write_json_string(std::string_view text, std::string& out, bool escape_delete) {
  static constexpr char HEX[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t run = 0;  // start of the bytes not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && (c != 0x7F || !escape_delete)) continue;
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
