// The telephone number tool's helpers: the calling-plan table lookup and the
// digit grouping used by its international and national layouts. The tool
// itself is `phone_tool` (entries.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelloriand::tools {

// PhoneCountry
//
// One calling plan: the country calling code (one to three digits), the display
// name, and the range of lengths of a national significant number (digits after
// the calling code, without a trunk prefix).
struct PhoneCountry {
  std::string_view code;
  std::string_view name;
  int min_length;
  int max_length;
};

// phone_country
//
// The plan whose calling code is exactly `code`, or nothing.
//
// Example:
//   phone_country("44")->name == "United Kingdom";  phone_country("4") == std::nullopt
[[nodiscard]] std::optional<PhoneCountry> phone_country(std::string_view code);

// group_digits
//
// Splits digits into blocks of three while five or more remain; the last one
// to four digits form the final block. Blocks are joined by single spaces.
//
// Example:
//   group_digits("12345678") == "123 456 78";  group_digits("1234") == "1234"
[[nodiscard]] std::string group_digits(std::string_view digits);

}  // namespace pelloriand::tools
