// The expression tool `math`: implicit multiplication, then one pass that reads
// tokens, orders them by precedence (shunting yard) and evaluates the postfix
// stream as it is produced.
//
// Grammar: numbers ("12", "1.", "1.5", "2e10", "3E-2"), the constants pi and e,
// calls of 31 functions, binary + - * / % ^, unary + -, parentheses and commas.
// Precedence from weakest: binary + - (left), * / % (left), unary + -, ^
// (right), so "-2^2" is -4 and "2^-1" is 0.5.
//
// Arithmetic is IEEE double with the C library's fmod, pow and transcendental
// functions; results are printed with 10 significant digits, and any
// non-finite value prints "∞".
//
// The reader keeps every pending operator and open parenthesis on heap stacks,
// so 2 MiB of "(" costs a few megabytes and an error sentence, never the call
// stack.
#include "tools/math.h"

#include <unicode/uchar.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "number.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

bool is_ascii_letter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters and numerals of every script: Alphabetic, or a general category N*.
bool is_unicode_alphanumeric(char32_t c) {
  if (c < 0x80) return text::is_digit(c) || is_ascii_letter(c);
  const auto cp = static_cast<UChar32>(c);
  return u_isUAlphabetic(cp) || (U_GET_GC_MASK(cp) & U_GC_N_MASK) != 0;
}

// ---------------------------------------------------------------------------
// Functions of a fresh evaluation context.

// Arity 0 marks the functions that take one or more arguments.
struct FunctionDef {
  std::string_view name;
  std::uint8_t arity;
  double (*unary)(double);
  double (*binary)(double, double);
};

double signum(double x) {
  if (std::isnan(x)) return x;
  return std::signbit(x) ? -1.0 : 1.0;
}

// The library's defaults first, then the eight this tool adds; no name repeats.
const FunctionDef FUNCTIONS[] = {
    {"sqrt", 1, [](double x) { return std::sqrt(x); }, nullptr},
    {"exp", 1, [](double x) { return std::exp(x); }, nullptr},
    {"ln", 1, [](double x) { return std::log(x); }, nullptr},
    {"abs", 1, [](double x) { return std::fabs(x); }, nullptr},
    {"sin", 1, [](double x) { return std::sin(x); }, nullptr},
    {"cos", 1, [](double x) { return std::cos(x); }, nullptr},
    {"tan", 1, [](double x) { return std::tan(x); }, nullptr},
    {"asin", 1, [](double x) { return std::asin(x); }, nullptr},
    {"acos", 1, [](double x) { return std::acos(x); }, nullptr},
    {"atan", 1, [](double x) { return std::atan(x); }, nullptr},
    {"sinh", 1, [](double x) { return std::sinh(x); }, nullptr},
    {"cosh", 1, [](double x) { return std::cosh(x); }, nullptr},
    {"tanh", 1, [](double x) { return std::tanh(x); }, nullptr},
    {"asinh", 1, [](double x) { return std::asinh(x); }, nullptr},
    {"acosh", 1, [](double x) { return std::acosh(x); }, nullptr},
    {"atanh", 1, [](double x) { return 0.5 * std::log1p(2 * x / (1 - x)); }, nullptr},
    {"floor", 1, [](double x) { return std::floor(x); }, nullptr},
    {"ceil", 1, [](double x) { return std::ceil(x); }, nullptr},
    {"round", 1, [](double x) { return std::round(x); }, nullptr},
    {"signum", 1, signum, nullptr},
    {"atan2", 2, nullptr, [](double a, double b) { return std::atan2(a, b); }},
    {"max", 0, nullptr, [](double a, double b) { return std::fmax(a, b); }},
    {"min", 0, nullptr, [](double a, double b) { return std::fmin(a, b); }},
    {"log", 1, [](double x) { return std::log(x); }, nullptr},
    {"log10", 1, [](double x) { return std::log10(x); }, nullptr},
    {"log2", 1, [](double x) { return std::log2(x); }, nullptr},
    {"cbrt", 1, [](double x) { return std::cbrt(x); }, nullptr},
    {"trunc", 1, [](double x) { return std::trunc(x); }, nullptr},
    {"fract", 1, [](double x) { return x - std::trunc(x); }, nullptr},
    {"pow", 2, nullptr, [](double a, double b) { return std::pow(a, b); }},
    {"hypot", 2, nullptr, [](double a, double b) { return std::hypot(a, b); }},
};

const FunctionDef* find_function(std::string_view name) {
  for (const FunctionDef& f : FUNCTIONS) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Reading and evaluation.

enum class Op : std::uint8_t { add, sub, mul, div, rem, pow, neg, plus, group, call };

int precedence(Op op) {
  switch (op) {
    case Op::add:
    case Op::sub:
      return 1;
    case Op::mul:
    case Op::div:
    case Op::rem:
      return 2;
    case Op::neg:
    case Op::plus:
      return 3;
    case Op::pow:
      return 4;
    default:
      return 0;  // parentheses are never popped by an operator
  }
}

double binary_value(Op op, double a, double b) {
  switch (op) {
    case Op::add:
      return a + b;
    case Op::sub:
      return a - b;
    case Op::mul:
      return a * b;
    case Op::div:
      return a / b;
    case Op::rem:
      return std::fmod(a, b);
    default:
      return std::pow(a, b);
  }
}

// An open call: where its name sits in the text and how many arguments it has
// seen so far.
struct OpenCall {
  std::uint32_t name_pos;
  std::uint32_t name_len;
  std::uint32_t argc;
};

bool is_skipped_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool is_name_start(char c) {
  return is_ascii_letter(static_cast<unsigned char>(c)) || c == '_';
}

bool is_name_char(char c) {
  return is_name_start(c) || text::is_digit(static_cast<unsigned char>(c));
}

// The double nearest to a number token. from_chars leaves its output alone when
// the value leaves the double range, so the direction is judged from the
// token's decimal magnitude: overflow gives infinity, underflow zero.
double number_value(std::string_view token) {
  double value = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  (void)end;
  if (ec != std::errc::result_out_of_range) return value;
  std::size_t i = 0;
  while (i < token.size() && token[i] == '0') ++i;
  long long magnitude = 0;  // position of the first significant digit
  std::size_t int_digits = 0;
  while (i < token.size() && text::is_digit(static_cast<unsigned char>(token[i])))
    ++int_digits, ++i;
  if (int_digits > 0) {
    magnitude = static_cast<long long>(int_digits);
  } else if (i < token.size() && token[i] == '.') {
    ++i;
    while (i < token.size() && token[i] == '0') --magnitude, ++i;
  }
  while (i < token.size() && token[i] != 'e' && token[i] != 'E') ++i;
  long long exponent = 0;
  if (i < token.size()) {
    ++i;
    const bool negative = token[i] == '-';
    if (token[i] == '+' || token[i] == '-') ++i;
    for (; i < token.size(); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (token[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// What a token leaves the reader expecting next, or that no token fitted.
enum class Next : std::uint8_t { operand, operator_, unexpected };

class Evaluator {
 public:
  explicit Evaluator(std::string_view text) : text_(text) {}

  std::variant<double, EvaluationError> run();

 private:
  void skip_space() {
    while (pos_ < text_.size() && is_skipped_space(text_[pos_])) ++pos_;
  }
  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

  Next read_operand();
  Next read_operator();
  std::size_t scan_number(std::size_t from) const;

  void push_binary(Op op);
  void pop_until_parenthesis();
  void apply(Op op);
  void apply_call(const OpenCall& call);
  void push_value(double v) {
    if (error_.empty()) values_.push_back(v);
  }
  void fail_evaluation(std::string sentence) {
    if (error_.empty()) error_ = std::move(sentence);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::vector<Op> ops_;
  std::vector<OpenCall> calls_;
  std::size_t open_ = 0;
  std::vector<double> values_;
  // The first evaluation failure; once set, values are no longer computed, but
  // reading goes on because a parse error anywhere takes precedence.
  std::string error_;
};

// The end of a number token starting at `from`, or `from` when there is none.
std::size_t Evaluator::scan_number(std::size_t from) const {
  auto digit = [&](std::size_t i) {
    return i < text_.size() && text::is_digit(static_cast<unsigned char>(text_[i]));
  };
  std::size_t i = from;
  while (digit(i)) ++i;
  if (i == from) return from;
  if (i < text_.size() && text_[i] == '.') {
    ++i;
    while (digit(i)) ++i;
  }
  if (i < text_.size() && (text_[i] == 'e' || text_[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text_.size() && (text_[j] == '+' || text_[j] == '-')) ++j;
    if (digit(j)) {
      while (digit(j)) ++j;
      i = j;
    }
  }
  return i;
}

// One token in the operand-expected state; pos_ moves past it.
Next Evaluator::read_operand() {
  if (const std::size_t end = scan_number(pos_); end != pos_) {
    push_value(number_value(text_.substr(pos_, end - pos_)));
    pos_ = end;
    return Next::operator_;
  }
  const char c = text_[pos_];
  if (is_name_start(c)) {
    std::size_t end = pos_ + 1;
    while (end < text_.size() && is_name_char(text_[end])) ++end;
    std::size_t after = end;
    while (after < text_.size() && is_skipped_space(text_[after])) ++after;
    if (after < text_.size() && text_[after] == '(') {
      calls_.push_back(
          {static_cast<std::uint32_t>(pos_), static_cast<std::uint32_t>(end - pos_), 1});
      ops_.push_back(Op::call);
      ++open_;
      pos_ = after + 1;
      return Next::operand;
    }
    const std::string_view name = text_.substr(pos_, end - pos_);
    if (name == "pi") {
      push_value(3.141592653589793);
    } else if (name == "e") {
      push_value(2.718281828459045);
    } else {
      fail_evaluation("Evaluation error: unknown variable `" + std::string(name) + "`.");
    }
    pos_ = end;
    return Next::operator_;
  }
  if (c == '+' || c == '-') {
    ops_.push_back(c == '-' ? Op::neg : Op::plus);
  } else if (c == '(') {
    ops_.push_back(Op::group);
    ++open_;
  } else {
    return Next::unexpected;
  }
  ++pos_;
  return Next::operand;
}

// One token in the operator-expected state; pos_ moves past it.
Next Evaluator::read_operator() {
  static constexpr std::string_view BINARY_SYMBOLS = "+-*/%^";
  static constexpr Op BINARY_OPS[] = {Op::add, Op::sub, Op::mul, Op::div, Op::rem, Op::pow};
  const char c = text_[pos_];
  if (const std::size_t i = BINARY_SYMBOLS.find(c); i != std::string_view::npos) {
    push_binary(BINARY_OPS[i]);
    ++pos_;
    return Next::operand;
  }
  if (open_ == 0 || (c != ')' && c != ',')) return Next::unexpected;
  pop_until_parenthesis();
  if (c == ',') {
    if (ops_.back() != Op::call) return Next::unexpected;
    ++calls_.back().argc;
    ++pos_;
    return Next::operand;
  }
  if (ops_.back() == Op::call) {
    apply_call(calls_.back());
    calls_.pop_back();
  }
  ops_.pop_back();
  --open_;
  ++pos_;
  return Next::operator_;
}

void Evaluator::push_binary(Op op) {
  const int p = precedence(op);
  const bool right = op == Op::pow;
  while (!ops_.empty()) {
    const int top = precedence(ops_.back());
    if (top > p || (top == p && !right)) {
      apply(ops_.back());
      ops_.pop_back();
    } else {
      break;
    }
  }
  ops_.push_back(op);
}

void Evaluator::pop_until_parenthesis() {
  while (ops_.back() != Op::group && ops_.back() != Op::call) {
    apply(ops_.back());
    ops_.pop_back();
  }
}

void Evaluator::apply(Op op) {
  if (!error_.empty()) return;
  if (op == Op::neg) {
    values_.back() = -values_.back();
    return;
  }
  if (op == Op::plus) return;
  const double b = values_.back();
  values_.pop_back();
  double& a = values_.back();
  a = binary_value(op, a, b);
}

void Evaluator::apply_call(const OpenCall& call) {
  if (!error_.empty()) return;
  const std::string_view name = text_.substr(call.name_pos, call.name_len);
  const FunctionDef* f = find_function(name);
  if (f == nullptr) {
    fail_evaluation("Evaluation error: function `" + std::string(name) + "`: Unknown function");
    return;
  }
  if (f->arity != 0 && f->arity != call.argc) {
    fail_evaluation("Evaluation error: function `" + std::string(name) + "`: Expected " +
                    std::to_string(f->arity) + " arguments");
    return;
  }
  const std::size_t first = values_.size() - call.argc;
  double result;
  if (f->arity == 1) {
    result = f->unary(values_[first]);
  } else if (f->arity == 2) {
    result = f->binary(values_[first], values_[first + 1]);
  } else {
    // fmax/fmin skip NaN; starting from the opposite infinity makes an all-NaN
    // list give that infinity.
    result = f->name == "max" ? -std::numeric_limits<double>::infinity()
                              : std::numeric_limits<double>::infinity();
    for (std::size_t i = first; i < values_.size(); ++i) result = f->binary(result, values_[i]);
  }
  values_.resize(first);
  values_.push_back(result);
}

std::variant<double, EvaluationError> Evaluator::run() {
  Next state = Next::operand;
  for (;;) {
    skip_space();
    if (pos_ == text_.size()) break;
    state = state == Next::operand ? read_operand() : read_operator();
    if (state == Next::unexpected) {
      return EvaluationError{"Parse error: Unexpected token at byte " + std::to_string(pos_) + "."};
    }
  }
  if (state == Next::operand) {
    return EvaluationError{"Parse error: Missing argument at the end of expression."};
  }
  if (open_ > 0) {
    return EvaluationError{"Parse error: Missing " + std::to_string(open_) + " right parenthes" +
                           (open_ == 1 ? "is." : "es.")};
  }
  while (!ops_.empty()) {
    apply(ops_.back());
    ops_.pop_back();
  }
  if (!error_.empty()) return EvaluationError{std::move(error_)};
  return values_.back();
}

}  // namespace

std::string prepare_expression(std::string_view input) {
  std::string out;
  out.reserve(input.size() + input.size() / 4 + 4);
  // p: the last character that was not white space; q: the one before it.
  char32_t p = 0;
  char32_t q = 0;
  bool have_p = false;
  bool have_q = false;
  std::size_t pos = 0;
  while (pos < input.size()) {
    const std::size_t start = pos;
    const char32_t c = text::next_code_point(input, pos);
    if (text::is_white_space(c)) {
      out.append(input.substr(start, pos - start));
      continue;
    }
    if (have_p && (p == ')' || text::is_digit(p)) && (c == '(' || is_ascii_letter(c))) {
      bool insert = true;
      if (text::is_digit(p)) {
        if (have_q && is_unicode_alphanumeric(q)) insert = false;
        if (insert && (c == 'e' || c == 'E') && pos < input.size()) {
          const char next = input[pos];
          if (text::is_digit(static_cast<unsigned char>(next)) || next == '+' || next == '-') {
            insert = false;
          }
        }
      }
      if (insert) out.push_back('*');
    }
    out.append(input.substr(start, pos - start));
    q = p;
    have_q = have_p;
    p = c;
    have_p = true;
  }
  return out;
}

std::variant<double, EvaluationError> evaluate_expression(std::string_view prepared) {
  return Evaluator(prepared).run();
}

ToolResult math_tool(std::string_view input) {
  // Blank input of any kind reads as nothing at all, not as a stray character.
  if (text::trim(input).empty()) {
    return ToolResult::error("Parse error: Missing argument at the end of expression.");
  }
  const std::string prepared = prepare_expression(input);
  auto result = evaluate_expression(prepared);
  if (auto* error = std::get_if<EvaluationError>(&result)) {
    return ToolResult::error(std::move(error->sentence));
  }
  return ToolResult::output(number::format_significant(std::get<double>(result)));
}

}  // namespace pelloriand::tools
