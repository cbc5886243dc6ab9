// libFuzzer target over the ConversionRequest reader, the body reader of
// POST /v1/convert. Besides crashes it checks what the service relies on:
//   - a refusal is a 400 or a 422 with a reason;
//   - an accepted body hands on valid UTF-8 only;
//   - reading into a request that holds an earlier body's values gives the
//     same result as reading into a fresh one (the service reuses one);
//   - an accepted request, written back as JSON in the object and in the
//     array form, reads back to the same request;
//   - a body that a general JSON parser (Boost.JSON) reads as a request of
//     the right shape is accepted, with the same values.
#include <boost/json/parse.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "pelloriand/json_string.h"
#include "pelloriand/text.h"
#include "request.h"

namespace {

using pelloriand::server::ConversionRequest;
using pelloriand::server::read_conversion_request;
using pelloriand::server::RequestError;

[[noreturn]] void fail(const char* what, std::string_view body) {
  std::fprintf(stderr, "%s\nbody: %.*s\n", what, static_cast<int>(body.size()), body.data());
  std::abort();
}

bool same(const ConversionRequest& a, const ConversionRequest& b) {
  return a.tool == b.tool && a.input == b.input && a.options == b.options;
}

bool all_utf8(const ConversionRequest& r) {
  using pelloriand::text::is_valid_utf8;
  if (!is_valid_utf8(r.tool) || !is_valid_utf8(r.input)) return false;
  if (!r.options) return true;
  for (const auto& [name, value] : *r.options) {
    if (!is_valid_utf8(name) || !is_valid_utf8(value)) return false;
  }
  return true;
}

std::string quoted(std::string_view text) {
  std::string out;
  pelloriand::json::write_json_string(text, out);
  return out;
}

std::string options_json(const ConversionRequest& r) {
  if (!r.options) return "null";
  std::string out = "{";
  for (const auto& [name, value] : *r.options) {
    if (out.size() > 1) out += ',';
    out += quoted(name) + ':' + quoted(value);
  }
  return out + '}';
}

std::string object_json(const ConversionRequest& r) {
  return "{\"tool\":" + quoted(r.tool) + ",\"input\":" + quoted(r.input) +
         ",\"options\":" + options_json(r) + '}';
}

std::string array_json(const ConversionRequest& r) {
  return '[' + quoted(r.tool) + ',' + quoted(r.input) + ',' + options_json(r) + ']';
}

void check_reads_back(const std::string& json, const ConversionRequest& want) {
  ConversionRequest again;
  if (read_conversion_request(json, again)) fail("written-back request refused", json);
  if (!same(again, want)) fail("written-back request reads differently", json);
}

// Whether some key may occur twice in the body, in any object, spelled alike
// or through escapes: a general parser keeps the last of duplicate keys, where
// the reader refuses a repeated member and reads every option value, so such
// bodies are left out of the comparison. Called only on text that parsed as
// JSON, where every string is closed and one followed by a colon is a key.
bool may_repeat_a_key(std::string_view body) {
  std::set<std::string_view> keys;
  for (std::size_t open = body.find('"'); open != std::string_view::npos;
       open = body.find('"', open)) {
    std::size_t close = open + 1;
    while (body[close] != '"') close += body[close] == '\\' ? 2 : 1;
    const std::string_view text = body.substr(open + 1, close - open - 1);
    const std::size_t after = body.find_first_not_of(" \t\n\r", close + 1);
    const bool is_key = after != std::string_view::npos && body[after] == ':';
    if (is_key && (text.find('\\') != std::string_view::npos || !keys.insert(text).second)) {
      return true;
    }
    open = close + 1;
  }
  return false;
}

bool read_string(const boost::json::value* v, std::string& out) {
  if (v == nullptr || !v->is_string()) return false;
  out = v->get_string();
  return true;
}

// "options" as the reader keeps it: absent or null is none; false when it is
// neither that nor a map of strings.
bool read_options(const boost::json::value* v, std::optional<pelloriand::ToolOptions>& out) {
  if (v == nullptr || v->is_null()) return true;
  if (!v->is_object()) return false;
  pelloriand::ToolOptions map;
  for (const auto& member : v->get_object()) {
    if (!member.value().is_string()) return false;
    map.insert_or_assign(std::string(member.key()), std::string(member.value().get_string()));
  }
  out = std::move(map);
  return true;
}

// The request a general JSON parser finds in the body, when there is one.
std::optional<ConversionRequest> general_reading(std::string_view body) {
  boost::system::error_code ec;
  const boost::json::value v = boost::json::parse(body, ec);
  if (ec || may_repeat_a_key(body)) return std::nullopt;
  const boost::json::value* members[3] = {};
  if (const boost::json::object* object = v.if_object()) {
    members[0] = object->if_contains("tool");
    members[1] = object->if_contains("input");
    members[2] = object->if_contains("options");
  } else if (const boost::json::array* array = v.if_array();
             array != nullptr && (array->size() == 2 || array->size() == 3)) {
    for (std::size_t i = 0; i < array->size(); ++i) members[i] = &(*array)[i];
  } else {
    return std::nullopt;
  }
  ConversionRequest r;
  if (!read_string(members[0], r.tool) || !read_string(members[1], r.input) ||
      !read_options(members[2], r.options)) {
    return std::nullopt;
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  ConversionRequest fresh;
  const std::optional<RequestError> error = read_conversion_request(body, fresh);

  ConversionRequest reused{"earlier tool", "earlier input", pelloriand::ToolOptions{{"a", "b"}}};
  const std::optional<RequestError> again = read_conversion_request(body, reused);
  if (error.has_value() != again.has_value()) fail("outcome depends on the earlier request", body);
  if (const std::optional<ConversionRequest> general = general_reading(body)) {
    if (error) fail("refused a request that a general JSON parser reads", body);
    if (!same(fresh, *general)) fail("reads a request otherwise than a general JSON parser", body);
  }

  if (error) {
    if (error->status != 400 && error->status != 422) fail("refused with another status", body);
    if (error->status != again->status || error->detail != again->detail) {
      fail("refusal depends on the earlier request", body);
    }
    if (error->detail.empty()) fail("refused without a reason", body);
    return 0;
  }
  if (!same(fresh, reused)) fail("values depend on the earlier request", body);
  if (!all_utf8(fresh)) fail("accepted text that is not UTF-8", body);
  check_reads_back(object_json(fresh), fresh);
  check_reads_back(array_json(fresh), fresh);
  return 0;
}
