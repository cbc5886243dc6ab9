// The format tool's readers against public conformance suites, each case
// judged by the suite's own expectation: a valid case is read (to the value
// the suite gives, where it gives one), an invalid case is refused. The
// fixtures and their sources are described in tests/fixtures/format/README.md.
#include <gtest/gtest.h>

#include <boost/json.hpp>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "text.h"
#include "tools/format.h"

namespace pelloriand::tools {
namespace {

using json::JsonValue;

const std::filesystem::path FIXTURES =
    std::filesystem::path(__FILE__).parent_path() / "fixtures" / "format";

std::vector<boost::json::object> read_lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<boost::json::object> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) rows.push_back(boost::json::parse(line).as_object());
  }
  return rows;
}

// JSON equality as a reader of the suite's JSON sees it: numbers by value
// (1 and 1.0 are one number), members in any order.
bool same(const JsonValue& a, const JsonValue& b) {
  if (a.is_number() && b.is_number()) return a.to_number<double>() == b.to_number<double>();
  if (a.kind() != b.kind()) return false;
  if (const auto* x = a.if_array()) {
    const auto& y = b.get_array();
    if (x->size() != y.size()) return false;
    for (std::size_t i = 0; i < x->size(); ++i) {
      if (!same((*x)[i], y[i])) return false;
    }
    return true;
  }
  if (const auto* x = a.if_object()) {
    const auto& y = b.get_object();
    if (x->size() != y.size()) return false;
    for (const auto& m : *x) {
      const JsonValue* other = y.if_contains(m.key());
      if (other == nullptr || !same(m.value(), *other)) return false;
    }
    return true;
  }
  return a == b;
}

// The failures of one suite against its skipped list: what fails unlisted and
// what is listed but passes, one per line.
std::string unexpected(const std::map<std::string, std::string>& failed,
                       const std::map<std::string, std::string>& skipped) {
  std::string out;
  for (const auto& [id, got] : failed) {
    if (!skipped.contains(id)) out += id + " gave " + got + "\n";
  }
  for (const auto& [id, why] : skipped) {
    if (!failed.contains(id)) out += id + " now passes: drop it from the skipped list\n";
  }
  return out;
}

// Cases of the YAML test suite this tool answers otherwise, and why.
const std::map<std::string, std::string> YAML_SKIPPED = {
    {"2JQS", "two empty keys are one key, Null, so the mapping repeats a key"},
    {"X38W", "the alias *a is the key [a, b] again, so the mapping repeats a key"},
};

TEST(FormatSuites, YamlTestSuite) {
  const auto cases = read_lines(FIXTURES / "yaml-test-suite.jsonl");
  ASSERT_GT(cases.size(), 400u);
  std::size_t valid = 0, valid_read = 0, invalid = 0, invalid_refused = 0;
  std::map<std::string, std::string> failed;
  for (const auto& c : cases) {
    const std::string id(c.at("id").as_string());
    const std::string yaml(c.at("yaml").as_string());
    const auto value = format::read_yaml(format::yaml_text(yaml));
    bool pass = false;
    if (c.at("fail").as_bool()) {
      ++invalid;
      pass = !value;
      invalid_refused += pass;
    } else {
      ++valid;
      if (c.contains("empty")) {
        pass = !value;  // a stream without documents
      } else if (const JsonValue* expected = c.if_contains("json")) {
        pass = value && same(*value, *expected);
      } else {
        pass = value.has_value();  // the suite gives no JSON (complex keys)
      }
      valid_read += pass;
    }
    if (!pass) failed[id] = value ? boost::json::serialize(*value) : "refused";
  }
  EXPECT_EQ(unexpected(failed, YAML_SKIPPED), "");
  std::cout << "YAML test suite: " << valid_read << " of " << valid << " valid cases read right, "
            << invalid_refused << " of " << invalid << " invalid cases refused\n";
}

// The JSON parsing test suite's cases that must be read (y_) and refused (n_),
// given to the JSON reader as the tool gives them: trimmed. The i_ cases,
// which the suite leaves to the implementation, are not judged. The two
// deepest n_ cases are built here rather than stored.
TEST(FormatSuites, JsonTestSuite) {
  auto cases = read_lines(FIXTURES / "json-test-suite.jsonl");
  ASSERT_GT(cases.size(), 270u);
  cases.push_back(
      {{"name", "n_structure_100000_opening_arrays"}, {"input", std::string(100000, '[')}});
  std::string open_array_object;
  for (int i = 0; i < 50000; ++i) open_array_object += "[{\"\":";
  cases.push_back({{"name", "n_structure_open_array_object"}, {"input", open_array_object + "\n"}});
  std::size_t valid = 0, valid_read = 0, invalid = 0, invalid_refused = 0;
  std::map<std::string, std::string> failed;
  for (const auto& c : cases) {
    const std::string name(c.at("name").as_string());
    const std::string input(c.at("input").as_string());
    const auto value = json::read_json(text::trim(input));
    const bool must_read = name.starts_with("y_");
    const bool pass = value.has_value() == must_read;
    (must_read ? valid : invalid) += 1;
    (must_read ? valid_read : invalid_refused) += pass;
    if (!pass) failed[name] = value ? boost::json::serialize(*value) : "refused";
  }
  EXPECT_EQ(unexpected(failed, {}), "");
  std::cout << "JSON parsing test suite: " << valid_read << " of " << valid << " valid cases read, "
            << invalid_refused << " of " << invalid << " invalid cases refused\n";
}

// toml-test's tagged JSON ({"type": "integer", "value": "1"} for each value)
// as the JsonValue the format tool makes of the same TOML.
JsonValue untagged(const JsonValue& tagged) {
  if (const auto* a = tagged.if_array()) {
    boost::json::array out;
    for (const auto& e : *a) out.push_back(untagged(e));
    return out;
  }
  const auto& o = tagged.get_object();
  const auto* type = o.if_contains("type");
  const auto* value = o.if_contains("value");
  if (o.size() == 2 && type != nullptr && value != nullptr && type->is_string() &&
      value->is_string()) {
    const std::string_view t = type->get_string();
    const std::string v(value->get_string());
    if (t == "integer") return std::stoll(v);
    if (t == "float") {
      if (v.find("inf") != std::string::npos || v.find("nan") != std::string::npos) return nullptr;
      return std::stod(v);
    }
    if (t == "bool") return v == "true";
    return JsonValue(v);  // string and the date-times
  }
  boost::json::object out;
  for (const auto& m : o) out[m.key()] = untagged(m.value());
  return out;
}

std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Cases of toml-test this tool answers otherwise, and why.
const std::map<std::string, std::string> TOML_SKIPPED = {
    {"valid/datetime/milliseconds",
     "the suite pads .6 to .6000; the tool's canonical text drops trailing zeros (.6)"},
    {"valid/string/escape-esc", "\\e is an escape of TOML 1.1; the reader reads TOML 1.0"},
};

// toml-test as Debian's golang-github-burntsushi-toml-dev ships it, given to
// the TOML reader itself: a valid case that is also YAML (a = 1) is read as
// YAML by the tool, by design.
TEST(FormatSuites, TomlTest) {
  const std::filesystem::path root =
      "/usr/share/gocode/src/github.com/BurntSushi/toml/internal/toml-test/tests";
  ASSERT_TRUE(std::filesystem::is_directory(root)) << root;
  std::size_t valid = 0, valid_read = 0, invalid = 0, invalid_refused = 0;
  std::map<std::string, std::string> failed;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const auto& path = entry.path();
    if (path.extension() != ".toml") continue;
    const std::string id = std::filesystem::relative(path, root).replace_extension().string();
    const auto value = format::read_toml(file_text(path));
    bool pass = false;
    if (id.starts_with("invalid/")) {
      ++invalid;
      pass = !value;
      invalid_refused += pass;
    } else {
      ++valid;
      auto expected_path = path;
      expected_path.replace_extension(".json");
      const JsonValue expected = untagged(boost::json::parse(file_text(expected_path)));
      pass = value && same(*value, expected);
      valid_read += pass;
    }
    if (!pass) failed[id] = value ? boost::json::serialize(*value) : "refused";
  }
  EXPECT_EQ(unexpected(failed, TOML_SKIPPED), "");
  std::cout << "toml-test: " << valid_read << " of " << valid << " valid cases read right, "
            << invalid_refused << " of " << invalid << " invalid cases refused\n";
}

}  // namespace
}  // namespace pelloriand::tools
