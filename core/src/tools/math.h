// The expression tool's two stages, exposed for tests: the implicit
// multiplication pass and the reader/evaluator. math_tool (entries.h) chains
// them and prints the value with number::format_significant.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace pelloriand::tools {

// prepare_expression
//
// Writes "*" where a multiplication was left implicit: after ")" or a digit,
// before "(" or an ASCII letter. A digit that ends a name ("log2(") or follows
// another alphanumeric character ("12x") is left alone, and so is the "e" of an
// exponent ("2e5", "1.5e-3"). White space is copied and does not break the
// pairing.
//
// Example:
//   prepare_expression("2 sin(x)") == "2 *sin(x)";  prepare_expression("2e") == "2*e"
[[nodiscard]] std::string prepare_expression(std::string_view input);

// EvaluationError
//
// The sentence of the first failure, parse or evaluation, worded for users.
struct EvaluationError {
  std::string sentence;
};

// evaluate_expression
//
// Reads and evaluates a prepared expression with the constants pi and e and
// the 31 built-in functions. Parse errors are found before any evaluation
// error is reported, and byte offsets refer to `prepared`. Never recurses:
// nesting depth costs heap memory only.
//
// Example:
//   std::get<double>(evaluate_expression("2^3^2")) == 512
//   std::get<EvaluationError>(evaluate_expression("1 2")).sentence ==
//       "Parse error: Unexpected token at byte 2."
[[nodiscard]] std::variant<double, EvaluationError> evaluate_expression(std::string_view prepared);

}  // namespace pelloriand::tools
