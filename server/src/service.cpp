// Router, handlers and answer writer of the HTTP service. The answers are
// written straight into the connection's reused buffer: the fixed documents are
// constants, the catalogue is built once per filter.
#include "service.h"

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <new>

#include "log.h"
#include "pelloriand/decimal.h"
#include "pelloriand/json_string.h"

namespace pelloriand::server {

bool accept_all_tools(const ToolEntry&) {
  return true;
}

namespace {

constexpr std::string_view INDEX_DOCUMENT =
    "{\"service\":\"Pelloriand API\",\"engine\":\"built-in\",\"endpoints\":{\"POST "
    "/v1/convert\":\"run a conversion (ConversionRequest \xe2\x86\x92 ConversionResult)\",\"GET "
    "/v1/tools\":\"list implemented tools\"}}";

constexpr std::string_view JSON_TYPE = "application/json";
constexpr std::string_view TEXT_TYPE = "text/plain; charset=utf-8";

bool is_tchar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string_view status_reason(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 422:
      return "Unprocessable Entity";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
  }
  return "Unknown";
}

// "date" header text, rebuilt once a second per thread.
std::string_view http_date() {
  thread_local std::time_t cached_second = -1;
  thread_local char text[40];
  std::time_t now = std::time(nullptr);
  if (now != cached_second) {
    cached_second = now;
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  }
  return text;
}

}  // namespace

Routed route(std::string_view method, std::string_view target) {
  std::string_view path = target.substr(0, target.find('?'));
  // Absolute-form targets carry the path after the authority.
  if (path.starts_with("http://") || path.starts_with("https://")) {
    std::size_t slash = path.find('/', path.find("//") + 2);
    path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
  }
  Routed r{Route::not_found, {}, false};
  bool is_index = path == "/";
  bool is_tools = path == "/v1/tools";
  bool is_convert = path == "/v1/convert";
  if (is_index || is_tools) r.allow = "GET,HEAD";
  if (is_convert) r.allow = "POST";
  if (method == "OPTIONS") {
    r.route = Route::options;
  } else if (is_index || is_tools) {
    if (method == "GET" || method == "HEAD") {
      r.route = is_index ? Route::index : Route::tools;
      r.head = method == "HEAD";
    } else {
      r.route = Route::method_not_allowed;
    }
  } else if (is_convert) {
    r.route = method == "POST" ? Route::convert : Route::method_not_allowed;
  }
  return r;
}

bool is_json_content_type(std::string_view value) {
  for (char c : value) {
    if (!(c == '\t' || (c >= 0x20 && c < 0x7f))) return false;
  }
  std::size_t i = 0;
  auto token = [&] {
    std::size_t start = i;
    while (i < value.size() && is_tchar(value[i])) ++i;
    return value.substr(start, i - start);
  };
  std::string_view type = token();
  if (type.empty() || i == value.size() || value[i] != '/') return false;
  ++i;
  std::string_view subtype = token();
  if (subtype.empty()) return false;
  // Parameters: *( OWS ";" OWS name "=" ( token / quoted-string ) ) OWS
  for (;;) {
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i == value.size()) break;
    if (value[i] != ';') return false;
    ++i;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i == value.size()) break;
    if (token().empty() || i == value.size() || value[i] != '=') return false;
    ++i;
    if (i < value.size() && value[i] == '"') {
      ++i;
      while (i < value.size() && value[i] != '"') {
        if (value[i] == '\\') ++i;
        ++i;
      }
      if (i >= value.size()) return false;
      ++i;
    } else if (token().empty()) {
      return false;
    }
  }
  if (!text::ascii_iequals(type, "application")) return false;
  if (text::ascii_iequals(subtype, "json")) return true;
  std::size_t plus = subtype.rfind('+');
  return plus != std::string_view::npos && text::ascii_iequals(subtype.substr(plus + 1), "json");
}

Admission admit_convert(const ConvertHead& head) {
  if (!head.content_type || !is_json_content_type(*head.content_type)) {
    return {415, REJECT_CONTENT_TYPE};
  }
  if (head.content_length && *head.content_length > BODY_LIMIT) return {413, REJECT_TOO_LARGE};
  return {0, {}, head.expect_continue && !head.body_complete};
}

void reject(Response& response, int status, std::string_view body) {
  response.status = status;
  response.content_type = TEXT_TYPE;
  response.body.assign(body);
  if (log::enabled(log::Level::trace, "pelloriand_http::rejection")) {
    std::string status_text = std::to_string(status);
    log::event(log::Level::trace, "pelloriand_http::rejection", "rejecting request",
               {{"status", status_text, false}, {"body_text", body, true}});
  }
}

void handle_index(Response& response) {
  response.status = 200;
  response.content_type = JSON_TYPE;
  response.body.assign(INDEX_DOCUMENT);
}

void handle_tools(Response& response, ToolFilter filter) {
  // The text only depends on the filter, which is fixed for the process.
  struct Cached {
    ToolFilter filter;
    std::string text;
  };
  thread_local Cached cached{nullptr, {}};
  if (cached.filter != filter || cached.text.empty()) {
    std::string text = "{\"engine\":\"built-in\",\"tools\":[";
    bool first = true;
    for (const ToolEntry& entry : TOOL_CATALOGUE) {
      if (!filter(entry)) continue;
      if (!first) text += ',';
      first = false;
      text += "{\"id\":";
      json::write_json_string(entry.id, text);
      text += ",\"label\":";
      json::write_json_string(entry.label, text);
      text += '}';
    }
    text += "]}";
    cached = {filter, std::move(text)};
  }
  response.status = 200;
  response.content_type = JSON_TYPE;
  response.body.assign(cached.text);
}

void append_duration_ms(std::string& out, double ms) {
  if (!std::isfinite(ms)) {
    out += "null";
    return;
  }
  const number::DecimalDigits d = number::decimal_digits(ms);
  if (d.exponent >= -5 && d.exponent <= 15) {
    number::append_plain_real(out, d);
    return;
  }
  if (d.negative) out += '-';
  auto digit = [&](unsigned i) { return static_cast<char>('0' + d.digits[i]); };
  const int e = d.exponent;
  out += digit(0);
  if (d.count > 1) {
    out += '.';
    for (unsigned i = 1; i < d.count; ++i) out += digit(i);
  }
  out += e < 0 ? "e-" : "e+";
  out += std::to_string(e < 0 ? -e : e);
}

bool read_convert_body(std::string_view body, ConversionRequest& scratch, Response& response) {
  if (std::optional<RequestError> error = read_conversion_request(body, scratch)) {
    std::string text = error->status == 400 ? "Failed to parse the request body as JSON: "
                                            : "Failed to deserialize the JSON body into the "
                                              "target type: ";
    text += error->detail;
    reject(response, error->status, text);
    return false;
  }
  return true;
}

void run_convert(const ConversionRequest& scratch, Response& response) {
  const ToolOptions* options = scratch.options ? &*scratch.options : nullptr;
  auto start = std::chrono::steady_clock::now();
  ToolResult result = ToolResult::error("");
  try {
    result = run_tool(scratch.tool, scratch.input, options);
  } catch (const std::bad_alloc&) {
    // The input may be fine: other requests hold the memory it needed.
    result = ToolResult::error(std::string(SHORT_OF_MEMORY));
  } catch (const std::exception&) {
    // A tool must not throw; if one does, the caller still gets an answer.
    result = ToolResult::error("Internal error");
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  if (elapsed.count() < 0) elapsed = elapsed.zero();
  auto secs = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
  auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed - secs);
  double ms =
      (static_cast<double>(secs.count()) + static_cast<double>(nanos.count()) / 1e9) * 1000.0;

  std::string& out = response.body;
  out.clear();
  if (result.is_ok()) {
    out += "{\"ok\":true,\"output\":";
    json::write_json_string(result.text(), out);
    out += ",\"error\":null";
  } else {
    out += "{\"ok\":false,\"output\":\"\",\"error\":";
    json::write_json_string(result.text(), out);
  }
  out += ",\"durationMs\":";
  append_duration_ms(out, ms);
  out += ",\"engine\":\"built-in\"}";
  response.status = 200;
  response.content_type = JSON_TYPE;
}

void write_response(const Response& response, bool keep_alive, bool http10_keep_alive,
                    std::string& out) {
  out += "HTTP/1.1 ";
  out += std::to_string(response.status);
  out += ' ';
  out += status_reason(response.status);
  out += "\r\n";
  if (!response.content_type.empty()) {
    out += "content-type: ";
    out += response.content_type;
    out += "\r\n";
  }
  if (!response.allow.empty()) {
    out += "allow: ";
    out += response.allow;
    out += "\r\n";
  }
  out +=
      "access-control-allow-origin: *\r\n"
      "vary: origin, access-control-request-method, access-control-request-headers\r\n";
  if (response.preflight) {
    out += "access-control-allow-methods: *\r\naccess-control-allow-headers: *\r\n";
  } else {
    out += "access-control-expose-headers: *\r\n";
  }
  out += "content-length: ";
  out += std::to_string(response.body.size());
  out += "\r\n";
  if (!keep_alive) {
    out += "connection: close\r\n";
  } else if (http10_keep_alive) {
    out += "connection: keep-alive\r\n";
  }
  out += "date: ";
  out += http_date();
  out += "\r\n\r\n";
  if (!response.head) out += response.body;
}

std::optional<std::uint16_t> parse_port(std::string_view text, text::UnsignedError& error) {
  const std::optional<std::uint64_t> port = text::parse_unsigned(text, 65535, error);
  if (!port) return std::nullopt;
  return static_cast<std::uint16_t>(*port);
}

std::string_view port_error_kind(text::UnsignedError error) {
  switch (error) {
    case text::UnsignedError::empty:
      return "Empty";
    case text::UnsignedError::invalid_digit:
      return "InvalidDigit";
    case text::UnsignedError::too_large:
      return "PosOverflow";
  }
  return "";
}

}  // namespace pelloriand::server
