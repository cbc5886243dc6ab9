#include "tools/math.h"

#include <gtest/gtest.h>

#include <string>

#include "pelloriand/tool.h"

namespace pelloriand::tools {
namespace {

struct Row {
  std::string_view input;
  std::string_view expected;
};

void expect_rows(std::initializer_list<Row> rows, bool ok) {
  for (const Row& row : rows) {
    const ToolResult r = run_tool("math", row.input, nullptr);
    EXPECT_EQ(r.is_ok(), ok) << row.input << " -> " << r.text();
    EXPECT_EQ(r.text(), row.expected) << row.input;
  }
}

TEST(Math, ImplicitMultiplication) {
  const Row rows[] = {
      {"2pi", "2*pi"},
      {"3(4+5)", "3*(4+5)"},
      {"(1+2)(3+4)", "(1+2)*(3+4)"},
      {"2 sin(x)", "2 *sin(x)"},
      {")x", ")*x"},
      {"12x", "12x"},
      {"x2(3)", "x2(3)"},
      {"2log2(8)", "2*log2(8)"},
      {"2e5", "2e5"},
      {"1.5e-3", "1.5e-3"},
      {"2e", "2*e"},
      {"2E x", "2*E x"},
      {"2ex", "2*ex"},
      {"2.5x", "2.5*x"},
      // A letter of another script before the digit counts as alphanumeric.
      {"é2x", "é2x"},
      {"\u00a02\u3000(1)", "\u00a02\u3000*(1)"},
  };
  for (const Row& row : rows) EXPECT_EQ(prepare_expression(row.input), row.expected) << row.input;
}

TEST(Math, Values) {
  expect_rows(
      {
          {"1+2*3", "7"},
          {"(1+2)*3", "9"},
          {"2^10", "1024"},
          {"10/4", "2.5"},
          {"7 % 3", "1"},
          {"-7 % 3", "-1"},
          {"-2^2", "-4"},
          {"2^3^2", "512"},
          {"2^-1", "0.5"},
          {"8/2/2", "2"},
          {"2*-3", "-6"},
          {"2-3-4", "-5"},
          {"--3", "3"},
          {"+-+3", "-3"},
          {"2^-3*4", "0.5"},
          {"2pi", "6.283185307"},
          {"2e3", "2000"},
          {"2e", "5.436563657"},
          {"1.", "1"},
          {"\t1 +\r\n2 ", "3"},
          {"1/3", "0.3333333333"},
          {"100000", "1e+5"},
          {"2^70", "1.180592e+21"},
          {"1e999", "∞"},
          {"1e-999", "0"},
          {"0*-1", "-0"},
          {"1/0", "∞"},
          {"0/0", "∞"},
          {"sqrt(-1)", "∞"},
      },
      true);
}

TEST(Math, Functions) {
  expect_rows(
      {
          {"sin(pi/2)", "1"},
          {"log(e)", "1"},
          {"ln(e^2)", "2"},
          {"log10(1000)", "3"},
          {"log2(8)", "3"},
          {"2log2(8)", "6"},
          {"pow(2, 10)", "1024"},
          {"hypot(3,4)", "5"},
          {"max(1, 5, 3)", "5"},
          {"min(4, -2, 3)", "-2"},
          {"max(0/0, 2)", "2"},
          {"max(0/0)", "∞"},
          {"fract(-2.5)", "-0.5"},
          {"trunc(-2.5)", "-2"},
          {"round(2.5)", "3"},
          {"round(-2.5)", "-3"},
          {"signum(-0)", "-1"},
          {"signum(0)", "1"},
          {"abs(-3)", "3"},
          {"cbrt(27)", "3"},
          {"atan2(1, 1)*4", "3.141592654"},
          {"atanh(0.5)", "0.5493061443"},
          {"acosh(1)+asinh(0)", "0"},
          {"sqrt (16)", "4"},
          {"floor(-1.5)+ceil(1.2)", "0"},
          {"2pi + sin(pi/4)^2", "6.783185307"},
      },
      true);
}

TEST(Math, Errors) {
  expect_rows(
      {
          {"", "Parse error: Missing argument at the end of expression."},
          {" \u3000", "Parse error: Missing argument at the end of expression."},
          {"1+", "Parse error: Missing argument at the end of expression."},
          {"(1+", "Parse error: Missing argument at the end of expression."},
          {"(1+2", "Parse error: Missing 1 right parenthesis."},
          {"((1", "Parse error: Missing 2 right parentheses."},
          {".5", "Parse error: Unexpected token at byte 0."},
          {"1 2", "Parse error: Unexpected token at byte 2."},
          {"12(3)", "Parse error: Unexpected token at byte 2."},
          {"1)", "Parse error: Unexpected token at byte 1."},
          {"(1, 2)", "Parse error: Unexpected token at byte 2."},
          {"sqrt()", "Parse error: Unexpected token at byte 5."},
          {"1\u00a0+ 2", "Parse error: Unexpected token at byte 1."},
          // The position is in the prepared text, after the inserted "*".
          {"2x $", "Parse error: Unexpected token at byte 4."},
          // Parse errors win over an earlier evaluation error.
          {"x + (", "Parse error: Missing argument at the end of expression."},
          {"x + 1", "Evaluation error: unknown variable `x`."},
          {"PI", "Evaluation error: unknown variable `PI`."},
          {"2ex", "Evaluation error: unknown variable `ex`."},
          {"foo(1)", "Evaluation error: function `foo`: Unknown function"},
          {"foo(x)", "Evaluation error: unknown variable `x`."},
          {"sqrt(1, 2)", "Evaluation error: function `sqrt`: Expected 1 arguments"},
          {"pow(2)", "Evaluation error: function `pow`: Expected 2 arguments"},
          {"sin", "Evaluation error: unknown variable `sin`."},
      },
      false);
}

TEST(Math, HugeInputsStayCheap) {
  const std::size_t n = 2 << 20;
  EXPECT_EQ(run_tool("math", std::string(n, '('), nullptr).text(),
            "Parse error: Missing argument at the end of expression.");
  std::string nested(n / 2, '(');
  nested += '1';
  nested.append(n / 2, ')');
  EXPECT_EQ(run_tool("math", nested, nullptr).text(), "1");
  std::string calls;
  while (calls.size() < n) calls += "abs(";
  EXPECT_EQ(run_tool("math", calls, nullptr).text(),
            "Parse error: Missing argument at the end of expression.");
  std::string powers;
  while (powers.size() < n) powers += "1^";
  powers += '1';
  EXPECT_EQ(run_tool("math", powers, nullptr).text(), "1");

  std::string sum = "1";
  while (sum.size() < n) sum += "+1";
  EXPECT_EQ(run_tool("math", sum, nullptr).text(), "1.048577e+6");
}

}  // namespace
}  // namespace pelloriand::tools
