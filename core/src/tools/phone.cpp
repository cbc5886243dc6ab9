// The telephone number tool ("phone"): reads one number written internationally
// ("+" or "00" and a country calling code) or nationally in a default region,
// and reports its E.164 form, an international and a national layout, the
// country and a length plausibility check.
//
// The calling plans are a fixed table of 59 countries with the length range of
// their national significant numbers; the check is a length check only, not a
// validation against a full numbering plan.
#include "tools/phone.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

// Codes are unique and none is a prefix of another, so the longest-prefix
// search below can stop at the first hit from the long end.
constexpr std::array<PhoneCountry, 59> PHONE_COUNTRIES{{
    {"1", "United States / Canada", 10, 10},
    {"7", "Russia / Kazakhstan", 10, 10},
    {"20", "Egypt", 9, 10},
    {"27", "South Africa", 9, 10},
    {"30", "Greece", 10, 10},
    {"31", "Netherlands", 9, 10},
    {"32", "Belgium", 8, 9},
    {"33", "France", 9, 9},
    {"34", "Spain", 9, 9},
    {"39", "Italy", 9, 11},
    {"40", "Romania", 9, 9},
    {"41", "Switzerland", 9, 9},
    {"43", "Austria", 10, 12},
    {"44", "United Kingdom", 10, 11},
    {"45", "Denmark", 8, 8},
    {"46", "Sweden", 9, 10},
    {"47", "Norway", 8, 8},
    {"48", "Poland", 9, 9},
    {"49", "Germany", 7, 12},
    {"51", "Peru", 9, 9},
    {"52", "Mexico", 10, 10},
    {"54", "Argentina", 10, 10},
    {"55", "Brazil", 10, 11},
    {"56", "Chile", 9, 9},
    {"57", "Colombia", 10, 10},
    {"60", "Malaysia", 9, 10},
    {"61", "Australia", 9, 10},
    {"62", "Indonesia", 9, 11},
    {"63", "Philippines", 10, 10},
    {"64", "New Zealand", 9, 10},
    {"65", "Singapore", 8, 8},
    {"66", "Thailand", 9, 9},
    {"81", "Japan", 9, 10},
    {"82", "South Korea", 9, 10},
    {"84", "Vietnam", 9, 10},
    {"86", "China", 11, 11},
    {"90", "Turkey", 10, 10},
    {"91", "India", 10, 10},
    {"92", "Pakistan", 10, 10},
    {"94", "Sri Lanka", 9, 9},
    {"98", "Iran", 10, 10},
    {"212", "Morocco", 9, 9},
    {"213", "Algeria", 9, 9},
    {"216", "Tunisia", 8, 8},
    {"351", "Portugal", 9, 9},
    {"352", "Luxembourg", 9, 9},
    {"353", "Ireland", 9, 10},
    {"354", "Iceland", 7, 7},
    {"355", "Albania", 8, 9},
    {"371", "Latvia", 8, 8},
    {"372", "Estonia", 7, 8},
    {"373", "Moldova", 8, 8},
    {"374", "Armenia", 8, 8},
    {"375", "Belarus", 9, 9},
    {"380", "Ukraine", 9, 9},
    {"381", "Serbia", 9, 10},
    {"420", "Czechia", 9, 9},
    {"421", "Slovakia", 9, 9},
    {"423", "Liechtenstein", 7, 7},
}};

struct PhoneRegion {
  std::string_view region;
  std::string_view code;
};

constexpr std::array<PhoneRegion, 9> PHONE_REGIONS{{
    {"US", "1"},
    {"GB", "44"},
    {"DE", "49"},
    {"JP", "81"},
    {"CN", "86"},
    {"FR", "33"},
    {"AU", "61"},
    {"IN", "91"},
    {"BR", "55"},
}};

constexpr bool is_layout_punctuation(char32_t c) {
  return c == U'(' || c == U')' || c == U'-' || c == U'.';
}

// The rest after "+" or "00" when it reads as an international number: a digit
// first, then only digits, white space and ( ) - .
std::optional<std::string_view> international_rest(std::string_view t) {
  std::string_view rest;
  if (t.starts_with('+')) {
    rest = t.substr(1);
  } else if (t.starts_with("00")) {
    rest = t.substr(2);
  } else {
    return std::nullopt;
  }
  if (rest.empty() || !text::is_digit(static_cast<unsigned char>(rest[0]))) return std::nullopt;
  for (std::size_t pos = 0; pos < rest.size();) {
    const char32_t c = text::next_code_point(rest, pos);
    if (!text::is_digit(c) && !text::is_white_space(c) && !is_layout_punctuation(c)) {
      return std::nullopt;
    }
  }
  return rest;
}

std::string ascii_digits(std::string_view source) {
  std::string digits;
  for (char c : source) {
    if (text::is_digit(c)) digits.push_back(c);
  }
  return digits;
}

// The number as the user wrote it, keeping digits and ( ) - . and folding each
// run of white space to one space. Dropped characters do not end a run, so
// "030 x 123" becomes "030 123" rather than "030  123".
std::string clean_national(std::string_view t) {
  std::string out;
  bool pending_space = false;
  for (std::size_t pos = 0; pos < t.size();) {
    const char32_t c = text::next_code_point(t, pos);
    if (text::is_white_space(c)) {
      pending_space = true;
    } else if (text::is_digit(c) || is_layout_punctuation(c)) {
      if (pending_space && !out.empty()) out.push_back(' ');
      pending_space = false;
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string area_code_digits(std::string_view digits) {
  return std::string(digits.substr(0, 3));
}

std::string exchange_digits(std::string_view digits) {
  return std::string(digits.substr(3, 3));
}

std::optional<PhoneCountry> longest_calling_code(std::string_view digits) {
  for (std::size_t n = std::min<std::size_t>(3, digits.size()); n > 0; --n) {
    if (auto country = phone_country(digits.substr(0, n))) return country;
  }
  return std::nullopt;
}

}  // namespace

std::optional<PhoneCountry> phone_country(std::string_view code) {
  for (const PhoneCountry& row : PHONE_COUNTRIES) {
    if (row.code == code) return row;
  }
  return std::nullopt;
}

std::string group_digits(std::string_view digits) {
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  while (digits.size() >= 5) {
    out.append(digits.substr(0, 3));
    out.push_back(' ');
    digits.remove_prefix(3);
  }
  out.append(digits);
  return out;
}

ToolResult phone_tool(std::string_view input, const ToolOptions* options) {
  const std::string_view t = text::trim(input);
  if (t.empty()) return ToolResult::error("Empty input");

  const std::optional<std::string_view> target = find_target(options);
  const std::string region = target ? text::to_upper(*target) : std::string("AUTO");

  const std::optional<std::string_view> rest = international_rest(t);
  const std::string digits = ascii_digits(rest ? *rest : t);
  if (digits.empty()) return ToolResult::error("No digits found");

  std::optional<PhoneCountry> country;
  std::string_view nsn;
  if (rest) {
    country = longest_calling_code(digits);
    if (!country) {
      return ToolResult::error("Unknown country code — try a +1, +44, +81 … number");
    }
    nsn = std::string_view(digits).substr(country->code.size());
  } else {
    for (const PhoneRegion& row : PHONE_REGIONS) {
      if (row.region == region) country = phone_country(row.code);
    }
    if (!country) {
      return ToolResult::error("Use an international number (+…) or pick a default region");
    }
    nsn = digits;
  }
  // Italy keeps its leading zero: it is part of the number, not a trunk prefix.
  if (country->code != "39" && nsn.starts_with('0')) nsn.remove_prefix(1);

  std::string national;
  if (!rest) {
    national = clean_national(t);
  } else if (country->code == "1" && nsn.size() == 10) {
    national = "(" + area_code_digits(nsn) + ") " + exchange_digits(nsn) + "-" +
               std::string(nsn.substr(6));
  } else if (nsn.starts_with('0')) {
    national = group_digits(nsn);
  } else {
    national = "0 " + group_digits(nsn);
  }

  const int length = static_cast<int>(nsn.size());
  std::string out;
  out.reserve(160);
  out.append("e.164:          +").append(country->code).append(nsn);
  out.append("\ninternational:  +").append(country->code).append(" ").append(group_digits(nsn));
  out.append("\nnational:       ").append(national);
  out.append("\ncountry:        ").append(country->name);
  if (length >= country->min_length && length <= country->max_length) {
    out.append("\nvalid:          yes (numbering-plan length check)");
  } else {
    out.append("\nvalid:          unlikely — ")
        .append(country->name)
        .append(" numbers run ")
        .append(std::to_string(country->min_length))
        .append("–")
        .append(std::to_string(country->max_length))
        .append(" digits, got ")
        .append(std::to_string(length));
  }
  return ToolResult::output(std::move(out));
}

}  // namespace pelloriand::tools
