// docs/tools.md, the tool reference, checked against the engine: every example
// block is run through run_tool and its answer compared byte for byte, and the
// sections must follow the tool catalogue, so the reference cannot drift.
//
// An example block is a fenced block of kind "example" under a "## {tool id}"
// heading:
//
//   input: 5 km mi          the input on one line, or "input:" alone and the
//                           input on the lines up to the next key line
//   target: mi              optional; "target:" alone is the empty value
//   output:                 or "error:"; the rest of the block is the answer,
//   3.106855961 mi          its lines joined by line feeds (one line may also
//                           follow the key on the same line)
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "pelloriand/tool.h"
#include "service.h"
#include "tool_result_testing.h"

namespace pelloriand {
namespace {

struct Example {
  std::string tool;
  int line = 0;  // of the opening fence, for the failure message
  std::string input;
  std::optional<std::string> target;
  ToolResult expected = ToolResult::output("");
};

struct Reference {
  std::vector<std::string> sections;  // "## " headings, in order
  std::vector<Example> examples;
};

std::vector<std::string> read_lines(const char* path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// The value after "key:" when the line is that key: empty for "key:" alone,
// the text after "key: " otherwise.
std::optional<std::string> key_value(const std::string& line, std::string_view key) {
  if (!line.starts_with(key) || line.size() < key.size() + 1 || line[key.size()] != ':') {
    return std::nullopt;
  }
  if (line.size() == key.size() + 1) return std::string();
  if (line[key.size() + 1] != ' ') return std::nullopt;
  return line.substr(key.size() + 2);
}

bool is_key_line(const std::string& line) {
  for (std::string_view key : {"input", "target", "output", "error"}) {
    if (key_value(line, key)) return true;
  }
  return false;
}

std::string join(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) text += '\n';
    text += lines[i];
  }
  return text;
}

// Reads one block's body (the lines between the fences); fails the test on a
// block that does not follow the form above.
std::optional<Example> parse_block(const std::vector<std::string>& body, Example example) {
  std::size_t i = 0;
  std::optional<std::string> input = i < body.size() ? key_value(body[i], "input") : std::nullopt;
  if (!input) return std::nullopt;
  ++i;
  if (input->empty()) {
    const std::size_t start = i;
    while (i < body.size() && !is_key_line(body[i])) ++i;
    example.input = join(body, start, i);
  } else {
    example.input = *input;
  }
  if (i < body.size()) {
    if (auto target = key_value(body[i], "target")) {
      example.target = *target;
      ++i;
    }
  }
  if (i >= body.size()) return std::nullopt;
  const std::optional<std::string> output = key_value(body[i], "output");
  const std::optional<std::string> error = key_value(body[i], "error");
  if (!output && !error) return std::nullopt;
  std::string answer = output ? *output : *error;
  if (answer.empty()) {
    answer = join(body, i + 1, body.size());
  } else if (i + 1 != body.size()) {
    return std::nullopt;
  }
  example.expected = output ? ToolResult::output(answer) : ToolResult::error(answer);
  return example;
}

Reference read_reference() {
  const std::vector<std::string> lines = read_lines(PELLORIAND_TOOLS_REFERENCE);
  Reference reference;
  std::string section;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with("## ")) {
      section = lines[i].substr(3);
      reference.sections.push_back(section);
      continue;
    }
    if (lines[i] != "```example") continue;
    const std::size_t open = i;
    std::vector<std::string> body;
    for (++i; i < lines.size() && lines[i] != "```"; ++i) body.push_back(lines[i]);
    Example start;
    start.tool = section;
    start.line = static_cast<int>(open) + 1;
    std::optional<Example> example = parse_block(body, std::move(start));
    if (example) {
      reference.examples.push_back(std::move(*example));
    } else {
      ADD_FAILURE() << "docs/tools.md:" << open + 1 << ": example block not in the documented form";
    }
  }
  return reference;
}

TEST(ToolsReference, EveryExampleGivesItsAnswer) {
  const Reference reference = read_reference();
  ASSERT_FALSE(reference.examples.empty())
      << "no examples read from " << PELLORIAND_TOOLS_REFERENCE;
  for (const Example& example : reference.examples) {
    ToolOptions options;
    if (example.target) options.emplace("target", *example.target);
    const ToolResult result =
        run_tool(example.tool, example.input, example.target ? &options : nullptr);
    EXPECT_EQ(result, example.expected)
        << "docs/tools.md:" << example.line << " (" << example.tool << ")";
  }
}

TEST(ToolsReference, OneSectionPerToolInCatalogueOrderWithExamples) {
  const Reference reference = read_reference();
  std::vector<std::string> catalogue;
  for (const auto& entry : server::TOOL_CATALOGUE) catalogue.emplace_back(entry.id);
  std::vector<std::string> tool_sections;
  for (const std::string& section : reference.sections) {
    if (std::find(catalogue.begin(), catalogue.end(), section) != catalogue.end()) {
      tool_sections.push_back(section);
    }
  }
  EXPECT_EQ(tool_sections, catalogue);

  for (const std::string& tool : catalogue) {
    int count = 0;
    for (const Example& example : reference.examples) count += example.tool == tool;
    EXPECT_GE(count, 2) << tool;
  }
}

}  // namespace
}  // namespace pelloriand
