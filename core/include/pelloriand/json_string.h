// The JSON string literal writer, shared by the tools' JSON and YAML text and
// the HTTP layer's answers.
#pragma once

#include <string>
#include <string_view>

namespace pelloriand::json {

// write_json_string
//
// Appends one string literal: quotation mark, backslash and the control
// characters escaped ("\b\t\n\f\r", others as "\u001b"), everything else
// (including "/" and all non-ASCII text) copied as is. DEL is copied too, or
// escaped as "\u007f" when `escape_delete` is set (YAML's double-quoted style
// must not hold it raw).
void write_json_string(std::string_view text, std::string& out, bool escape_delete = false);

}  // namespace pelloriand::json
