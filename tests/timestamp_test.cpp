#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock.h"
#include "pelloriand/tool.h"
#include "time_zone_scope.h"

namespace pelloriand {
namespace {

using testing::TimeZoneScope;

// The report's lines with the "now unix" line (the only one that depends on
// the clock) left out.
struct Report {
  std::string unix, ms, iso, local;
};

Report run(std::string_view input) {
  const ToolResult result = run_tool("timestamp", input, nullptr);
  EXPECT_TRUE(result.is_ok()) << input << " -> " << result.text();
  std::vector<std::string> lines;
  std::size_t start = 0;
  const std::string& text = result.text();
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  lines.push_back(text.substr(start));
  if (lines.size() != 5) {
    ADD_FAILURE() << input << " gave " << text;
    return {};
  }
  return {lines[0], lines[1], lines[3], lines[4]};
}

// The bounds come from the tool's own clock: std::time reads a coarser clock
// that can still show the previous second after the tool has read the next.
unsigned long long unix_seconds_now() {
  return static_cast<unsigned long long>(clock::now_ms() / 1000);
}

TEST(Timestamp, FullReportOnUtcHost) {
  TimeZoneScope zone("UTC");
  const auto before = unix_seconds_now();
  const ToolResult result = run_tool("timestamp", " 1700000000\u3000", nullptr);
  const auto after = unix_seconds_now();
  ASSERT_TRUE(result.is_ok()) << result.text();

  const std::string& text = result.text();
  const std::string head = "unix:      1700000000\nms:        1700000000000\nnow unix:  ";
  const std::string tail =
      "\nISO:       2023-11-14T22:13:20.000Z\nlocal:     11/14/2023, 10:13:20 PM";
  ASSERT_TRUE(text.starts_with(head) && text.ends_with(tail)) << text;
  const std::string now = text.substr(head.size(), text.size() - head.size() - tail.size());
  const unsigned long long now_value = std::stoull(now);
  EXPECT_GE(now_value, before);
  EXPECT_LE(now_value, after);
}

// Forms whose instant does not depend on the host's zone.
TEST(Timestamp, DigitsAndZonedForms) {
  TimeZoneScope zone("UTC");
  struct Row {
    std::string_view input, unix, ms, iso;
  };
  const Row rows[] = {
      // 1-12 digits are seconds, 13 are milliseconds, leading zeros allowed.
      {"20250315", "20250315", "20250315000", "1970-08-23T09:05:15.000Z"},
      {"0", "0", "0", "1970-01-01T00:00:00.000Z"},
      {"999999999999", "999999999999", "999999999999000", "+33658-09-27T01:46:39.000Z"},
      {"9999999999999", "9999999999", "9999999999999", "2286-11-20T17:46:39.999Z"},
      {"0000000000001", "0", "1", "1970-01-01T00:00:00.001Z"},
      // A date alone is midnight UTC.
      {"2025-03-15", "1741996800", "1741996800000", "2025-03-15T00:00:00.000Z"},
      {"0000-01-01", "-62167219200", "-62167219200000", "0000-01-01T00:00:00.000Z"},
      {"9999-12-31", "253402214400", "253402214400000", "9999-12-31T00:00:00.000Z"},
      // RFC 3339 with "T", "t" or a space, and every zone spelling.
      {"2025-03-15T10:30:00+01:00", "1742031000", "1742031000000", "2025-03-15T09:30:00.000Z"},
      {"2025-03-15t10:30:00+01:00", "1742031000", "1742031000000", "2025-03-15T09:30:00.000Z"},
      {"2025-03-15 10:30:00+01:00", "1742031000", "1742031000000", "2025-03-15T09:30:00.000Z"},
      {"2025-03-15T10:30:00z", "1742034600", "1742034600000", "2025-03-15T10:30:00.000Z"},
      {"2025-03-15T10:30:00\u221205:30", "1742054400", "1742054400000", "2025-03-15T16:00:00.000Z"},
      {"2025-03-15T10:30:00-00:01", "1742034660", "1742034660000", "2025-03-15T10:31:00.000Z"},
      // Fractions are cut at milliseconds; digits past the ninth are ignored.
      {"2025-03-15T10:30:00.123456789999Z", "1742034600", "1742034600123",
       "2025-03-15T10:30:00.123Z"},
      {"2025-03-15T10:30:00.9999Z", "1742034600", "1742034600999", "2025-03-15T10:30:00.999Z"},
      // unix rounds toward zero, the ISO line down.
      {"1969-12-31T23:59:59.500Z", "0", "-500", "1969-12-31T23:59:59.500Z"},
      {"1969-12-31T23:59:58.500Z", "-1", "-1500", "1969-12-31T23:59:58.500Z"},
      {"0000-01-01T00:00:00+01:00", "-62167222800", "-62167222800000", "-0001-12-31T23:00:00.000Z"},
      {"9999-12-31T23:59:59-23:59", "253402387139", "253402387139000",
       "+10000-01-01T23:58:59.000Z"},
      // A leap second is the first second of the next minute.
      {"2016-12-31T23:59:60Z", "1483228800", "1483228800000", "2017-01-01T00:00:00.000Z"},
      {"2016-12-31T23:59:60.250Z", "1483228800", "1483228800250", "2017-01-01T00:00:00.250Z"},
  };
  for (const Row& row : rows) {
    const Report report = run(row.input);
    EXPECT_EQ(report.unix, "unix:      " + std::string(row.unix)) << row.input;
    EXPECT_EQ(report.ms, "ms:        " + std::string(row.ms)) << row.input;
    EXPECT_EQ(report.iso, "ISO:       " + std::string(row.iso)) << row.input;
  }
}

TEST(Timestamp, Errors) {
  struct Row {
    std::string_view input, error;
  };
  constexpr std::string_view EXPECTED = "Expected unix timestamp, ms, or ISO date";
  const Row rows[] = {
      {"", "Empty input"},
      {" \t\u00a0\u2028", "Empty input"},
      {"20250315123045", EXPECTED},
      {"12345678901234567890123", EXPECTED},
      {"1e9", EXPECTED},
      {"-1", EXPECTED},
      {"+5", EXPECTED},
      {"2025-3-15", EXPECTED},
      {"2025/03/15", EXPECTED},
      {"T2025-03-15", EXPECTED},
      {"2025-03-1", EXPECTED},
      {"2025-02-30", "Invalid date"},
      {"2025-13-01", "Invalid date"},
      {"2023-02-29", "Invalid date"},
      {"2025-04-00T10:00:00Z", "Invalid date"},
      {"2025-03-15 10:30", "Invalid date"},        // the space form needs seconds
      {"2025-03-15T10:30+01:00", "Invalid date"},  // a zone needs seconds
      {"2025-03-15T10:30:00.5+01:00x", "Invalid date"},
      {"2025-03-15 10:30:00.5", "Invalid date"},  // the space form has no fraction
      {"2025-03-15T10:30:00.Z", "Invalid date"},
      {"2025-03-15T10:30:00.", "Invalid date"},
      {"2025-03-15T1:30:00Z", "Invalid date"},  // zoned times have two-digit fields
      {"2025-03-15T10:30:00+1:00", "Invalid date"},
      {"2025-03-15T10:30:00+0100", "Invalid date"},
      {"2025-03-15T10:30:00+24:00", "Invalid date"},
      {"2025-03-15T24:00:00Z", "Invalid date"},
      {"2025-03-15T23:60:00Z", "Invalid date"},
      {"2025-03-15T23:59:61", "Invalid date"},
      {"2025-03-15T123:00", "Invalid date"},
      {"2025-03-15T10", "Invalid date"},
      {"2025-03-15x", "Invalid date"},
      {"2025-03-15W11", "Invalid date"},
  };
  for (const Row& row : rows) {
    const ToolResult result = run_tool("timestamp", row.input, nullptr);
    EXPECT_FALSE(result.is_ok()) << row.input;
    EXPECT_EQ(result.text(), row.error) << row.input;
  }
}

// Zone-less forms and the local line under a zone with daylight saving:
// Berlin skips 02:00-03:00 on 2025-03-30 and repeats 02:00-03:00 on 2025-10-26.
TEST(Timestamp, LocalFormsInBerlin) {
  TimeZoneScope zone("Europe/Berlin");
  struct Row {
    std::string_view input, iso, local;
  };
  const Row rows[] = {
      {"2025-03-15T00:00", "2025-03-14T23:00:00.000Z", "3/15/2025, 12:00:00 AM"},
      {"2025-03-15T10:30", "2025-03-15T09:30:00.000Z", "3/15/2025, 10:30:00 AM"},
      {"2025-03-15 10:30:00", "2025-03-15T09:30:00.000Z", "3/15/2025, 10:30:00 AM"},
      {"2025-03-15T1:2:3.5", "2025-03-15T00:02:03.500Z", "3/15/2025, 1:02:03 AM"},
      {"2025-03-15T12:00:00.999", "2025-03-15T11:00:00.999Z", "3/15/2025, 12:00:00 PM"},
      {"2025-07-01T23:59:59", "2025-07-01T21:59:59.000Z", "7/1/2025, 11:59:59 PM"},
      // Around the skipped hour.
      {"2025-03-30T01:59:59", "2025-03-30T00:59:59.000Z", "3/30/2025, 1:59:59 AM"},
      {"2025-03-30T03:00", "2025-03-30T01:00:00.000Z", "3/30/2025, 3:00:00 AM"},
      // The repeated hour takes its first, summer-time moment.
      {"2025-10-26T02:30:00", "2025-10-26T00:30:00.000Z", "10/26/2025, 2:30:00 AM"},
      {"2025-10-26T02:00", "2025-10-26T00:00:00.000Z", "10/26/2025, 2:00:00 AM"},
      {"2025-10-26T03:00", "2025-10-26T02:00:00.000Z", "10/26/2025, 3:00:00 AM"},
      // A local leap second follows ":59".
      {"2025-06-30T23:59:60", "2025-06-30T22:00:00.000Z", "7/1/2025, 12:00:00 AM"},
      // Zoned input shown in local time, no leading zeros on month, day, hour.
      {"2025-01-01T23:05:07Z", "2025-01-01T23:05:07.000Z", "1/2/2025, 12:05:07 AM"},
      {"2025-10-26T01:30:00Z", "2025-10-26T01:30:00.000Z", "10/26/2025, 2:30:00 AM"},
      // Summer time goes on past the zone file's last listed transition.
      {"2050-07-01T12:00:00Z", "2050-07-01T12:00:00.000Z", "7/1/2050, 2:00:00 PM"},
      {"2050-07-01T12:00", "2050-07-01T10:00:00.000Z", "7/1/2050, 12:00:00 PM"},
  };
  for (const Row& row : rows) {
    const Report report = run(row.input);
    EXPECT_EQ(report.iso, "ISO:       " + std::string(row.iso)) << row.input;
    EXPECT_EQ(report.local, "local:     " + std::string(row.local)) << row.input;
  }
  for (std::string_view skipped :
       {"2025-03-30T02:00", "2025-03-30T02:30:00", "2025-03-30 02:59:59", "2025-03-30T02:59:60"}) {
    const ToolResult result = run_tool("timestamp", skipped, nullptr);
    EXPECT_FALSE(result.is_ok()) << skipped;
    EXPECT_EQ(result.text(), "Invalid date") << skipped;
  }
}

TEST(Timestamp, LongInputsAnswerPromptly) {
  TimeZoneScope zone("UTC");
  const std::string digits(2 << 20, '7');
  EXPECT_EQ(run_tool("timestamp", digits, nullptr).text(),
            "Expected unix timestamp, ms, or ISO date");
  EXPECT_EQ(run("2025-03-15T10:30:00." + digits + "Z").iso, "ISO:       2025-03-15T10:30:00.777Z");
  EXPECT_EQ(run_tool("timestamp", "2025-03-15" + digits, nullptr).text(), "Invalid date");
}

TEST(Timestamp, LocalLineAtCalendarEdges) {
  TimeZoneScope zone("UTC");
  EXPECT_EQ(run("0000-01-01T00:00:00Z").local, "local:     1/1/0, 12:00:00 AM");
  EXPECT_EQ(run("0000-01-01T00:00:00+01:00").local, "local:     12/31/-1, 11:00:00 PM");
  EXPECT_EQ(run("999999999999").local, "local:     9/27/33658, 1:46:39 AM");
}

TEST(Clock, ResolveLocalFindsNoneOneOrTwoMoments) {
  struct Row {
    const char* zone;
    std::int64_t local_seconds;
    int count;
    std::int64_t first, second;
  };
  const Row rows[] = {
      // Berlin 2025-03-30 02:30 (skipped), 2025-10-26 02:30 (repeated), 2025-03-15 10:30.
      {"Europe/Berlin", 1743301800, 0, 0, 0},
      {"Europe/Berlin", 1761445800, 2, 1761438600, 1761442200},
      {"Europe/Berlin", 1742034600, 1, 1742031000, 0},
      // Samoa skipped the whole of 2011-12-30; 12:00 that day has no moment.
      {"Pacific/Apia", 1325246400, 0, 0, 0},
      {"UTC", 1325246400, 1, 1325246400, 0},
  };
  for (const Row& row : rows) {
    TimeZoneScope zone(row.zone);
    const clock::LocalInstants got = clock::resolve_local(row.local_seconds);
    EXPECT_EQ(got.count, row.count) << row.zone << " " << row.local_seconds;
    if (got.count >= 1) {
      EXPECT_EQ(got.moments[0], row.first) << row.zone;
    }
    if (got.count == 2) {
      EXPECT_EQ(got.moments[1], row.second) << row.zone;
    }
  }
}

}  // namespace
}  // namespace pelloriand
