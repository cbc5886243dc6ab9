#include <gtest/gtest.h>

#include <string>

#include "pelloriand/tool.h"

namespace pelloriand {
namespace {

struct Row {
  std::string_view input;
  std::string_view expected;
};

constexpr std::string_view NOTE =
    "\nnote:           outside the 1–100 °C Antoine range (extrapolated)";

TEST(Thermo, Reports) {
  const std::string boiling = "Water @ 101.325 kPa\nboiling point:  100.00 °C";
  const std::string psat100 =
      "Water @ 100.00 °C\nsaturation pressure: 101.34 kPa  (1.0001 atm, 760.1 mmHg)";
  const Row rows[] = {
      {"water 100 c psat", psat100},
      {"water 100 c", psat100},
      {"steam 100 c", psat100},
      {"  H2O\u3000100   C ", psat100},
      {"water 25 c",
       "Water @ 25.00 °C\nsaturation pressure: 3.1579 kPa  (0.0312 atm, 23.686 mmHg)"},
      {"water 101.325 kpa tsat", boiling},
      {"water 1 atm", boiling},
      {"water tsat sat 1 atm", boiling},
      {"water 100 kpa", "Water @ 100.000 kPa\nboiling point:  99.63 °C"},
      {"water 25 c density", "Water @ 25.00 °C\ndensity:        997.05 kg/m³"},
      {"water 22 c density", "Water @ 22.00 °C\ndensity:        997.75 kg/m³"},
      {"water 100 c density", "Water @ 100.00 °C\ndensity:        958.35 kg/m³"},
      // 212 °F converts to 100.00000000000006 °C: round-off, read as the table's end.
      {"water 212 f density", "Water @ 100.00 °C\ndensity:        958.35 kg/m³"},
      {"water -1e-13 c density", "Water @ -0.00 °C\ndensity:        999.84 kg/m³"},
      {"air 25 c",
       "Air @ 25.00 °C, 101.325 kPa\ndensity:        1.184 kg/m³\nmolar mass:     28.97 g/mol"},
      {"helium 0 c 200 kpa density",
       "Helium @ 0.00 °C, 200.000 kPa\ndensity:        0.352 kg/m³\nmolar mass:     4.00 g/mol"},
      {"carbon-dioxide 20 c",
       "Carbon dioxide @ 20.00 °C, 101.325 kPa\ndensity:        1.830 kg/m³\nmolar mass:     44.01 "
       "g/mol"},
      // A later quantity of the same kind replaces the earlier one.
      {"n2 300 k 1 bar 25 c 2 bar",
       "Nitrogen @ 25.00 °C, 200.000 kPa\ndensity:        2.260 kg/m³\nmolar mass:     28.01 "
       "g/mol"},
  };
  for (const Row& row : rows) {
    const ToolResult r = run_tool("thermo", row.input, nullptr);
    EXPECT_TRUE(r.is_ok()) << row.input << " -> " << r.text();
    EXPECT_EQ(r.text(), row.expected) << row.input;
  }
  // 0 °C lies outside the trusted range; so does 212 °F, which converts to
  // 373.15000000000003 K.
  for (std::string_view input : {"water 0 c", "WATER 212 F"}) {
    const std::string text = run_tool("thermo", input, nullptr).text();
    EXPECT_TRUE(text.ends_with(NOTE)) << input << " -> " << text;
  }
  EXPECT_FALSE(run_tool("thermo", "water 1 c", nullptr).text().ends_with(NOTE));
}

TEST(Thermo, Errors) {
  const std::string unknown_unit =
      "Unknown unit \"{}\" — temperature (c/f/k) or pressure (kpa/bar/atm/psi/…)";
  auto unit_error = [&](std::string_view word) {
    std::string s = unknown_unit;
    return s.replace(s.find("{}"), 2, word);
  };
  const std::string empty_unit = unit_error("");
  const std::string x_unit = unit_error("x");
  const std::string psat_unit = unit_error("psat");
  const Row rows[] = {
      {"", "Usage: <fluid> <value> <unit> [property]  e.g. water 100 c psat"},
      {"water", "Usage: <fluid> <value> <unit> [property]  e.g. water 100 c psat"},
      {"carbon dioxide 20 c",
       "Unknown fluid \"carbon\" — try water, air, n2, o2, co2, he, ar, ch4"},
      {"water 100", empty_unit},
      {"water 100 x", x_unit},
      {"water 100 psat", psat_unit},
      {"water abc c", "\"abc\" is not a number"},
      {"water nan c", "\"nan\" is not a number"},
      {"water -300 c", "Temperature is below absolute zero"},
      {"water 0 kpa", "Pressure must be positive"},
      {"air 25 c psat", "Saturation properties are tabulated for water — try \"air 25 c density\""},
      {"ar 1 atm", "Gas density needs a temperature, e.g. ar 25 c density"},
      {"water 1 atm density", "Water density needs a temperature, e.g. water 25 c density"},
      {"water 120 c density", "Water density is tabulated for 0–100 °C"},
      {"water 100.0000001 c density", "Water density is tabulated for 0–100 °C"},
      {"water -0.0000001 c density", "Water density is tabulated for 0–100 °C"},
      {"argon 0 k", "Gas density needs a temperature above absolute zero"},
      {"air -273.15 c", "Gas density needs a temperature above absolute zero"},
      {"he -459.67 f 2 bar density", "Gas density needs a temperature above absolute zero"},
      {"water 25 c tsat", "Saturation temperature needs a pressure, e.g. water 101.325 kpa tsat"},
      {"water 23 mpa tsat", "Above the critical point (22.06 MPa) — no saturation line there"},
      {"water 0.01 pa", "Outside the liquid–vapor dome"},
      {"water psat", "Saturation pressure needs a temperature, e.g. water 100 c psat"},
      {"water 500 c", "Outside the liquid–vapor dome"},
  };
  for (const Row& row : rows) {
    const ToolResult r = run_tool("thermo", row.input, nullptr);
    EXPECT_FALSE(r.is_ok()) << row.input << " -> " << r.text();
    EXPECT_EQ(r.text(), row.expected) << row.input;
  }
}

TEST(Thermo, TwoMebibytesOfQueriesAreAnswered) {
  std::string many = "water";
  while (many.size() < (2u << 20)) many += " 1 c sat";
  const ToolResult r = run_tool("thermo", many, nullptr);
  EXPECT_TRUE(r.is_ok()) << r.text();
}

}  // namespace
}  // namespace pelloriand
