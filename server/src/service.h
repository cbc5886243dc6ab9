// The HTTP service without its sockets: the router with its three handlers,
// the CORS headers, the tool catalogue and its filter, the content-type check,
// the answer writer, and the start-up parsers for the environment. Every
// function here is a plain value-in, value-out step, so it is tested directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "pelloriand/text.h"
#include "request.h"

namespace pelloriand::server {

// TOOL_CATALOGUE
//
// The engine's tool table as GET /v1/tools lists it: every row, in menu order.
inline const std::span<const ToolEntry, TOOL_COUNT> TOOL_CATALOGUE{TOOL_TABLE};

// ToolFilter
//
// The router state: which catalogue rows GET /v1/tools lists.
using ToolFilter = bool (*)(const ToolEntry&);
[[nodiscard]] bool accept_all_tools(const ToolEntry& entry);

// Route
//
// What the router makes of a method and a request target.
enum class Route {
  index,    // GET or HEAD /
  tools,    // GET or HEAD /v1/tools
  convert,  // POST /v1/convert
  options,  // OPTIONS, any path
  method_not_allowed,
  not_found,
};

struct Routed {
  Route route;
  std::string_view allow;  // "Allow" value of a known path, else empty
  bool head = false;       // answer without the body
};

// route
//
// Matches the path exactly (the query is ignored, no redirects).
//
// Example:
//   route("DELETE", "/v1/tools?x").allow == "GET,HEAD"
[[nodiscard]] Routed route(std::string_view method, std::string_view target);

// Response
//
// One answer before serialisation; the body is owned by the caller's buffer.
struct Response {
  int status = 200;
  std::string_view content_type;  // empty: no Content-Type header
  std::string body;
  std::string_view allow;
  bool preflight = false;  // OPTIONS: the allow-methods/headers set instead of expose
  bool head = false;
};

// is_json_content_type
//
// A media type "application/json" or "application/<x>+json", any ASCII case,
// parameters allowed; the value must be printable ASCII.
[[nodiscard]] bool is_json_content_type(std::string_view value);

// Rejection bodies that do not depend on the request.
inline constexpr std::string_view REJECT_CONTENT_TYPE =
    "Expected request with `Content-Type: application/json`";
inline constexpr std::string_view REJECT_TOO_LARGE =
    "Failed to buffer the request body: length limit exceeded";
inline constexpr std::uint64_t BODY_LIMIT = 2 * 1024 * 1024;

// ConvertHead, Admission, admit_convert
//
// What POST /v1/convert does once its header is read, before any of the body:
// refuse at once (415 when the first Content-Type is missing or not JSON,
// checked first; 413 when the declared length is over BODY_LIMIT), or read
// the body, first writing "100 Continue" when the client waits for it and
// the body is not already complete.
struct ConvertHead {
  std::optional<std::string_view> content_type;  // the first Content-Type value
  std::optional<std::uint64_t> content_length;
  bool expect_continue = false;  // "Expect: 100-continue"
  bool body_complete = false;    // nothing left to read (no body, or all of it buffered)
};

struct Admission {
  int status = 0;           // 415 or 413; 0: read the body
  std::string_view reason;  // the rejection body
  bool send_continue = false;
};

[[nodiscard]] Admission admit_convert(const ConvertHead& head);

// Fills `response` with a plain-text rejection and logs it at TRACE.
void reject(Response& response, int status, std::string_view body);

// handle_index, handle_tools
//
// The handlers of GET / and GET /v1/tools; they fill `response` and never
// fail.
void handle_index(Response& response);
void handle_tools(Response& response, ToolFilter filter);

// read_convert_body, run_convert
//
// POST /v1/convert's two halves, so that the tool can run on another thread:
// read_convert_body reads `body` into `scratch`, or fills `response` with the
// rejection and returns false; run_convert runs the tool `scratch` names.
// A tool that throws still gets an answer.
[[nodiscard]] bool read_convert_body(std::string_view body, ConversionRequest& scratch,
                                     Response& response);
void run_convert(const ConversionRequest& scratch, Response& response);

// What a request or a tool call that ran out of memory is told.
inline constexpr std::string_view SHORT_OF_MEMORY =
    "The service is short of memory; try again later";

// append_duration_ms
//
// The number text of "durationMs": shortest round-trip digits, plain with at
// least one fraction digit for exponents -5 to 15, else "1e-6", "2.5e+16".
//
// Example:
//   0.0312 -> "0.0312";  12 -> "12.0";  1e16 -> "1e+16";  0 -> "0.0"
void append_duration_ms(std::string& out, double ms);

// write_response
//
// Appends the status line, headers (CORS included) and body to `out`.
// `keep_alive` false adds "connection: close"; `http10_keep_alive` adds
// "connection: keep-alive" for HTTP/1.0 clients that asked for it.
void write_response(const Response& response, bool keep_alive, bool http10_keep_alive,
                    std::string& out);

// parse_port
//
// PELLORIAND_PORT: an unsigned 16-bit decimal with one optional "+";
// port_error_kind names a refusal as the start-up message shows it.
[[nodiscard]] std::optional<std::uint16_t> parse_port(std::string_view text,
                                                      text::UnsignedError& error);
[[nodiscard]] std::string_view port_error_kind(text::UnsignedError error);

}  // namespace pelloriand::server
