// The ConversionRequest reader: the body of POST /v1/convert, read strictly and
// with rejection texts that point at the failing value ("options.target:
// invalid type: integer `5`, expected a string at line 1 column 20"). Written
// by hand because no JSON library reports a value's path with its sentences.
// Strings that reach a tool are always valid UTF-8: raw bytes are checked and
// escaped lone surrogates are refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pelloriand/tool.h"

namespace pelloriand::server {

// ConversionRequest
//
// "tool" and "input" as sent (unescaped), and "options" when it was an object.
struct ConversionRequest {
  std::string tool;
  std::string input;
  std::optional<ToolOptions> options;
};

// RequestError
//
// Why a body was refused: status 400 for JSON syntax (early end, trailing
// characters) and 422 for a well-formed body of the wrong shape; `detail` is
// "{path}: {message} at line {L} column {C}" (no path outside any value).
struct RequestError {
  int status = 400;
  std::string detail;
};

// read_conversion_request
//
// Reads `body` into `out` (its strings' capacity is reused) and returns
// nothing on success. An object or a positional array [tool, input, options?]
// is accepted; other keys are skipped but must be well-formed.
//
// Example:
//   read_conversion_request("[\"math\"]", r)->detail ==
//     "invalid length 1, expected struct ConversionRequest with 3 elements at line 1 column 8"
[[nodiscard]] std::optional<RequestError> read_conversion_request(std::string_view body,
                                                                  ConversionRequest& out);

}  // namespace pelloriand::server
