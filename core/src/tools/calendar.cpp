// The calendar tool: one UTC date in the proleptic Gregorian calendar (weekday,
// day of year, ISO week, Julian day) and in eleven other calendars.
//
// The Gregorian lines are our own arithmetic (civil.h). The other calendars
// come from ICU with its CLDR data: nine lines are ICU's long year-month-day
// text for "<lang>-u-ca-<calendar>", and the Chinese and Korean lines are
// composed here (related Gregorian year, sexagenary year name, month, leap
// flag, day) from the published calendars' month tables (lunisolar.h), and
// from ICU's lunisolar calendars outside the tables' years. The Hebrew date is
// our own arithmetic (hebrew.h) and the Islamic date comes from the published
// Umm al-Qura table (ummalqura.h) over its years, and the Persian date from
// Borkowski's rule (persian.h) where ICU's arithmetic leaves it; ICU writes
// all three. ICU's Gregorian-based calendars (Buddhist, Japanese, Minguo) are
// made proleptic, so dates before 1582 are converted from the same Gregorian
// date as the other lines. All dates are UTC; the host's zone is never consulted.
//
// Building an ICU formatter from a skeleton costs milliseconds (the pattern
// generator loads and searches the locale's data), and ICU formatters may not
// be shared between threads for formatting. So each line's formatter is built
// once per process as a prototype, and each thread formats with its own clones;
// a clone formats exactly as the prototype would.
#include "tools/calendar.h"

#include <fmt/format.h>
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/fpositer.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include "civil.h"
#include "clock.h"
#include "text.h"
#include "tools/date_text.h"
#include "tools/entries.h"
#include "tools/hebrew.h"
#include "tools/lunisolar.h"
#include "tools/persian.h"
#include "tools/ummalqura.h"

namespace pelloriand::tools {
namespace {

using date_text::Cursor;

constexpr std::string_view SHAPE_ERROR =
    "Expected an ISO date like 2025-03-15 (or empty for today)";
constexpr std::string_view OUT_OF_RANGE = "Out of range";

struct CalendarLine {
  std::string_view label;
  std::string_view keyword;  // after "-u-ca-" in the locale tag
  std::string_view language;
};

constexpr std::array<CalendarLine, 11> CALENDAR_LINES = {{
    {"hebrew", "hebrew", "en"},
    {"islamic", "islamic-umalqura", "en"},
    {"persian", "persian", "en"},
    {"chinese", "chinese", "zh"},
    {"japanese", "japanese", "en"},
    {"buddhist", "buddhist", "en"},
    {"indian", "indian", "en"},
    {"coptic", "coptic", "en"},
    {"ethiopic", "ethiopic", "en"},
    {"minguo", "roc", "en"},
    {"dangi", "dangi", "ko"},
}};

constexpr std::array<std::string_view, 7> WEEKDAY_NAMES = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

constexpr std::array<std::string_view, 12> MONTH_NAMES = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

constexpr std::array<std::string_view, 12> CHINESE_MONTH_NAMES = {"正月", "二月", "三月",   "四月",
                                                                  "五月", "六月", "七月",   "八月",
                                                                  "九月", "十月", "十一月", "腊月"};

struct CycleName {
  std::string_view chinese, korean;
};

constexpr std::array<CycleName, 10> HEAVENLY_STEMS = {{{"甲", "갑"},
                                                       {"乙", "을"},
                                                       {"丙", "병"},
                                                       {"丁", "정"},
                                                       {"戊", "무"},
                                                       {"己", "기"},
                                                       {"庚", "경"},
                                                       {"辛", "신"},
                                                       {"壬", "임"},
                                                       {"癸", "계"}}};

constexpr std::array<CycleName, 12> EARTHLY_BRANCHES = {{{"子", "자"},
                                                         {"丑", "축"},
                                                         {"寅", "인"},
                                                         {"卯", "묘"},
                                                         {"辰", "진"},
                                                         {"巳", "사"},
                                                         {"午", "오"},
                                                         {"未", "미"},
                                                         {"申", "신"},
                                                         {"酉", "유"},
                                                         {"戌", "술"},
                                                         {"亥", "해"}}};

// ---- Reading the input ----

using Reading = std::variant<std::int64_t, std::string_view>;

// The rest of a date-shaped text after "YYYY-MM-DD", as the six layouts read
// it: "T" H:M[:S[.f][±HH:MM]] or " " H:M[:S], fields of one or two digits. A
// written offset is required by the first layout but never applied. Returns
// the second of the day and the nanoseconds.
std::optional<std::pair<int, std::int64_t>> read_time_of_day(std::string_view rest) {
  Cursor c(rest);
  int hour = 0, minute = 0, second = 0;
  std::int64_t nanos = 0;
  const bool t_form = c.literal('T');
  if (!t_form && !c.literal(' ')) return std::nullopt;
  if (!(c.number(1, 2, 23, hour) && c.literal(':') && c.number(1, 2, 59, minute))) {
    return std::nullopt;
  }
  if (!c.at_end()) {
    if (!(c.literal(':') && c.number(1, 2, 60, second))) return std::nullopt;
    if (t_form && !c.at_end()) {
      if (!c.optional_fraction(nanos)) return std::nullopt;
      if (!c.at_end()) {
        int oh = 0, om = 0;
        if (!(c.literal('+') || c.literal('-')) ||
            !(c.number(2, 2, 23, oh) && c.literal(':') && c.number(2, 2, 59, om))) {
          return std::nullopt;
        }
      }
    }
    if (!c.at_end()) return std::nullopt;
  }
  return std::pair{hour * 3600 + minute * 60 + second, nanos};
}

Reading read_instant(std::string_view t) {
  if (t.empty()) return clock::now_ms();
  if (date_text::all_digits(t)) {
    if (t.size() == 13) return date_text::digits_value(t);
    if (t.size() <= 10) return date_text::digits_value(t) * 1000;
    return SHAPE_ERROR;
  }
  if (!date_text::has_date_shape(t)) return SHAPE_ERROR;

  // A final "Z" stands for the offset +00:00 (which, like any offset, is then
  // read and ignored).
  std::string zulu;
  if (t.back() == 'Z') {
    zulu.assign(t.substr(0, t.size() - 1)).append("+00:00");
    t = zulu;
  }
  const auto days = date_text::read_date(t);
  if (!days) return OUT_OF_RANGE;
  const std::string_view rest = t.substr(10);
  if (rest.empty()) return *days * civil::MS_PER_DAY;
  const auto time_of_day = read_time_of_day(rest);
  if (!time_of_day) return OUT_OF_RANGE;
  return *days * civil::MS_PER_DAY + std::int64_t{time_of_day->first} * 1000 +
         time_of_day->second / 1'000'000;
}

// ---- ICU formatters and calendars ----

struct LineTools {
  std::unique_ptr<icu::DateFormat> formatter;  // null: the calendar is unavailable
  std::unique_ptr<icu::Calendar> calendar;     // chinese, dangi and hebrew only
};

using Toolset = std::array<LineTools, CALENDAR_LINES.size()>;

bool is_lunisolar(const CalendarLine& line) {
  return line.keyword == "chinese" || line.keyword == "dangi";
}

bool needs_calendar(const CalendarLine& line) {
  return is_lunisolar(line) || line.keyword == "hebrew";
}

// Sets a calendar to UTC and, for ICU's Gregorian-based calendars, moves the
// Julian cutover to the beginning of time.
bool make_utc_proleptic(icu::Calendar& calendar) {
  calendar.setTimeZone(*icu::TimeZone::getGMT());
  UErrorCode status = U_ZERO_ERROR;
  if (auto* gregorian = dynamic_cast<icu::GregorianCalendar*>(&calendar)) {
    gregorian->setGregorianChange(-std::numeric_limits<double>::max(), status);
  }
  return U_SUCCESS(status);
}

LineTools build_line(const CalendarLine& line) {
  UErrorCode status = U_ZERO_ERROR;
  const std::string tag = fmt::format("{}-u-ca-{}", line.language, line.keyword);
  const icu::Locale locale = icu::Locale::forLanguageTag(tag, status);
  if (U_FAILURE(status) || locale.isBogus()) return {};

  const bool always_era = line.keyword == "japanese" || line.keyword == "roc";
  std::unique_ptr<icu::DateFormat> formatter(icu::DateFormat::createInstanceForSkeleton(
      icu::UnicodeString(always_era ? u"GyMMMMd" : u"yMMMMd"), locale, status));
  // ICU falls back to the Gregorian calendar for a keyword it cannot load;
  // printing that under another calendar's label would be wrong.
  if (U_FAILURE(status) || formatter == nullptr ||
      line.keyword != formatter->getCalendar()->getType()) {
    return {};
  }
  std::unique_ptr<icu::Calendar> calendar(formatter->getCalendar()->clone());
  if (calendar == nullptr || !make_utc_proleptic(*calendar)) return {};
  formatter->adoptCalendar(calendar.release());

  LineTools tools{std::move(formatter), nullptr};
  if (needs_calendar(line)) {
    tools.calendar.reset(icu::Calendar::createInstance(*icu::TimeZone::getGMT(), locale, status));
    if (U_FAILURE(status) || tools.calendar == nullptr ||
        line.keyword != tools.calendar->getType()) {
      return {};
    }
  }
  return tools;
}

Toolset build_toolset() {
  Toolset set;
  for (std::size_t i = 0; i < CALENDAR_LINES.size(); ++i) set[i] = build_line(CALENDAR_LINES[i]);
  return set;
}

Toolset& thread_toolset() {
  static const Toolset PROTOTYPES = build_toolset();
  static std::mutex clone_mutex;
  thread_local Toolset own = [] {
    // Cloning only reads the prototype; the lock keeps ICU's lazily shared
    // parts of a formatter from being first touched by two threads at once.
    const std::lock_guard lock(clone_mutex);
    Toolset set;
    for (std::size_t i = 0; i < PROTOTYPES.size(); ++i) {
      const LineTools& p = PROTOTYPES[i];
      if (p.formatter) set[i].formatter.reset(p.formatter->clone());
      if (p.calendar) set[i].calendar.reset(p.calendar->clone());
      // A clone that could not be made leaves its line unavailable.
      if (needs_calendar(CALENDAR_LINES[i]) && !set[i].calendar) set[i].formatter.reset();
    }
    return set;
  }();
  return own;
}

// ---- The report ----

using Out = std::back_insert_iterator<fmt::memory_buffer>;

void append_utf8(Out out, const icu::UnicodeString& s) {
  std::string utf8;
  s.toUTF8String(utf8);
  fmt::format_to(out, "{}", utf8);
}

// The lunar date of `date` from ICU's lunisolar calendar; nothing when ICU
// cannot convert it.
std::optional<lunisolar::LunarDate> icu_lunar_date(icu::Calendar& calendar, UDate date) {
  UErrorCode status = U_ZERO_ERROR;
  calendar.setTime(date, status);
  const std::int32_t year = calendar.getRelatedYear(status);
  const std::int32_t month = calendar.get(UCAL_MONTH, status) + 1;
  const bool leap = calendar.get(UCAL_IS_LEAP_MONTH, status) != 0;
  const std::int32_t day = calendar.get(UCAL_DATE, status);
  if (U_FAILURE(status) || month < 1 || month > 12) return std::nullopt;
  return lunisolar::LunarDate{year, static_cast<unsigned>(month), leap, static_cast<unsigned>(day)};
}

// The Chinese or Korean line's value. The published calendars' tables give
// the date where they reach; ICU's new-moon model, which misplaces some month
// starts near midnight, only outside them. Nothing when neither has the date.
bool append_lunisolar(Out out, icu::Calendar& calendar, bool korean, UDate date) {
  const auto days = static_cast<std::int64_t>(date) / civil::MS_PER_DAY;  // date is a midnight
  auto lunar =
      lunisolar::lunar_date(korean ? lunisolar::KOREAN_YEARS : lunisolar::CHINESE_YEARS, days);
  if (!lunar) lunar = icu_lunar_date(calendar, date);
  if (!lunar) return false;
  const auto [year, month, leap, day] = *lunar;

  // Year 4 of the common era was the first of a sexagenary cycle (甲子).
  const auto k = static_cast<std::size_t>(((std::int64_t{year} - 4) % 60 + 60) % 60);
  const CycleName& stem = HEAVENLY_STEMS[k % 10];
  const CycleName& branch = EARTHLY_BRANCHES[k % 12];
  if (korean) {
    fmt::format_to(out, "{}년({}{}년) {}{}월 {}일", year, stem.korean, branch.korean,
                   leap ? "윤" : "", month, day);
  } else {
    fmt::format_to(out, "{}{}{}年{}{}{}", year, stem.chinese, branch.chinese, leap ? "闰" : "",
                   CHINESE_MONTH_NAMES[month - 1], day);
  }
  return true;
}

// A date in ICU's own fields: the extended year, the month counted from 0 and
// the day of the month.
struct IcuDate {
  std::int32_t year, month, day;
};

// ICU's text for `date` when ICU's calendar agrees with `truth`. When it does
// not, ICU writes the first day of the right month, which exists in every
// year however ICU counts it, and the right day number takes the place of its
// "1". So ICU keeps writing the line's words while the date is ours; it also
// picks the month's name, which for Adar depends on the year.
icu::UnicodeString text_with_date(const icu::DateFormat& formatter, icu::Calendar& calendar,
                                  UDate date, IcuDate truth) {
  UErrorCode status = U_ZERO_ERROR;
  calendar.setTime(date, status);
  icu::UnicodeString text;
  const bool icu_agrees = calendar.get(UCAL_EXTENDED_YEAR, status) == truth.year &&
                          calendar.get(UCAL_MONTH, status) == truth.month &&
                          calendar.get(UCAL_DATE, status) == truth.day;
  if (icu_agrees || U_FAILURE(status)) return formatter.format(date, text);

  calendar.clear();
  calendar.set(UCAL_EXTENDED_YEAR, truth.year);
  calendar.set(UCAL_MONTH, truth.month);
  calendar.set(UCAL_DATE, 1);
  icu::FieldPositionIterator fields;
  formatter.format(calendar, text, &fields, status);
  icu::FieldPosition field;
  while (fields.next(field)) {
    if (field.getField() == UDAT_DATE_FIELD) {
      icu::UnicodeString day;
      formatter.getNumberFormat()->format(truth.day, day);
      text.replace(field.getBeginIndex(), field.getEndIndex() - field.getBeginIndex(), day);
      break;
    }
  }
  if (U_FAILURE(status)) formatter.format(date, text.remove());
  return text;
}

// The Hebrew line's value. ICU 72 starts some years a day late (5807 among
// them), so the date comes from our own arithmetic.
icu::UnicodeString hebrew_text(const icu::DateFormat& formatter, icu::Calendar& calendar,
                               UDate date) {
  const hebrew::HebrewDate truth =
      hebrew::hebrew_from_days(static_cast<std::int64_t>(date) / civil::MS_PER_DAY);
  icu::UnicodeString text;
  // Years before 1 are ICU's own affair.
  if (truth.year < 1) return formatter.format(date, text);
  // ICU numbers the months as in a leap year, skipping Adar I (5) in a common one.
  const auto month = static_cast<std::int32_t>(
      !hebrew::is_leap_year(truth.year) && truth.month >= 5 ? truth.month + 1 : truth.month);
  return text_with_date(
      formatter, calendar, date,
      {static_cast<std::int32_t>(truth.year), month, static_cast<std::int32_t>(truth.day)});
}

// ICU's text for `date` with its year, month and day fields rewritten to read
// `truth`, in ICU's own month names and digits. Asking ICU's Umm al-Qura or
// Persian calendar whether it agrees would cost more than the whole rest of
// the report: ICU converts a date in those calendars by walking its years.
icu::UnicodeString text_with_fields(const icu::DateFormat& formatter, UDate date, IcuDate truth) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString text;
  icu::FieldPositionIterator fields;
  formatter.format(date, text, &fields, status);
  const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(&formatter);
  if (U_FAILURE(status) || simple == nullptr) return text;
  std::int32_t month_count = 0;
  const icu::UnicodeString* months = simple->getDateFormatSymbols()->getMonths(
      month_count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
  if (truth.month >= month_count) return text;

  // The fields come in text order; replacing from the last keeps the
  // positions of the earlier ones.
  std::array<icu::FieldPosition, 8> found;
  std::size_t n = 0;
  for (icu::FieldPosition field; n < found.size() && fields.next(field);) found[n++] = field;
  while (n-- > 0) {
    const icu::FieldPosition& field = found[n];
    icu::UnicodeString value;
    switch (field.getField()) {
      case UDAT_YEAR_FIELD:
        formatter.getNumberFormat()->format(truth.year, value);
        break;
      case UDAT_MONTH_FIELD:
        value = months[truth.month];
        break;
      case UDAT_DATE_FIELD:
        formatter.getNumberFormat()->format(truth.day, value);
        break;
      default:
        continue;
    }
    text.replace(field.getBeginIndex(), field.getEndIndex() - field.getBeginIndex(), value);
  }
  return text;
}

// The Islamic line's value. ICU's Umm al-Qura months depart from the published
// table from 1451 AH (2029) on, so the table gives the date where it reaches,
// and ICU's own arithmetic only outside it.
icu::UnicodeString islamic_text(const icu::DateFormat& formatter, UDate date) {
  const auto truth =
      ummalqura::hijri_date(ummalqura::YEARS, static_cast<std::int64_t>(date) / civil::MS_PER_DAY);
  icu::UnicodeString text;
  if (!truth) return formatter.format(date, text);
  return text_with_fields(formatter, date,
                          {truth->year, static_cast<std::int32_t>(truth->month) - 1,
                           static_cast<std::int32_t>(truth->day)});
}

// The Persian line's value. ICU's 33-year arithmetic matches the astronomical
// year starts from 1178 AP (1799) until 1635 AP (2256), which it starts a day
// late, as it does every 33 years after; from there to the end of Borkowski's
// rule the date is the rule's. Earlier, proleptic years stay ICU's.
icu::UnicodeString persian_text(const icu::DateFormat& formatter, UDate date) {
  constexpr std::int32_t FIRST_YEAR_ICU_MISSES = 1635;
  const auto days = static_cast<std::int64_t>(date) / civil::MS_PER_DAY;
  icu::UnicodeString text;
  if (days < persian::new_year(FIRST_YEAR_ICU_MISSES)) return formatter.format(date, text);
  const auto truth = persian::persian_date(days);
  if (!truth) return formatter.format(date, text);
  return text_with_fields(formatter, date,
                          {truth->year, static_cast<std::int32_t>(truth->month) - 1,
                           static_cast<std::int32_t>(truth->day)});
}

void append_calendar_line(Out out, std::size_t index, LineTools& tools, UDate date) {
  const CalendarLine& line = CALENDAR_LINES[index];
  fmt::format_to(out, "\n{:<10} ", line.label);
  if (tools.formatter) {
    if (is_lunisolar(line)) {
      fmt::memory_buffer value;
      if (append_lunisolar(std::back_inserter(value), *tools.calendar, line.keyword == "dangi",
                           date)) {
        fmt::format_to(out, "{}", fmt::to_string(value));
        return;
      }
    } else if (line.keyword == "hebrew") {
      append_utf8(out, hebrew_text(*tools.formatter, *tools.calendar, date));
      return;
    } else if (line.keyword == "islamic-umalqura") {
      append_utf8(out, islamic_text(*tools.formatter, date));
      return;
    } else if (line.keyword == "persian") {
      append_utf8(out, persian_text(*tools.formatter, date));
      return;
    } else {
      icu::UnicodeString text;
      tools.formatter->format(date, text);
      append_utf8(out, text);
      return;
    }
  }
  fmt::format_to(out, "unavailable in this build");
}

void append_gregorian(Out out, std::int64_t ms) {
  const std::int64_t days = civil::floor_div(ms, civil::MS_PER_DAY);
  const std::int64_t in_day = ms - days * civil::MS_PER_DAY;
  const civil::CivilDate date = civil::civil_from_days(days);
  const unsigned weekday = civil::weekday_from_days(days);
  const std::int64_t day_of_year = days - civil::days_from_civil(date.year, 1, 1) + 1;

  // The ISO week belongs to the year of its Thursday.
  const unsigned iso_weekday = weekday == 0 ? 7 : weekday;
  const std::int64_t thursday = days - iso_weekday + 4;
  const std::int32_t iso_year = civil::civil_from_days(thursday).year;
  const std::int64_t iso_week = (thursday - civil::days_from_civil(iso_year, 1, 1)) / 7 + 1;

  // Julian day 2440587.5 is 1970-01-01T00:00Z; round to the nearest midnight.
  const std::int64_t julian = days + 2'440'587 + (in_day >= civil::MS_PER_DAY / 2 ? 1 : 0);

  fmt::format_to(out,
                 "gregorian:  {}, {} {}, {}\nday of year: {}\niso week:    {}-W{:02}-{}\n"
                 "julian day:  {}.5",
                 WEEKDAY_NAMES[weekday], MONTH_NAMES[date.month - 1], date.day, date.year,
                 day_of_year, iso_year, iso_week, iso_weekday, julian);
}

}  // namespace

namespace calendar {

std::string calendar_report(std::int64_t ms, bool fresh_formatters) {
  fmt::memory_buffer out;
  append_gregorian(std::back_inserter(out), ms);
  const auto date = static_cast<UDate>(civil::floor_div(ms, civil::MS_PER_DAY) * civil::MS_PER_DAY);
  std::optional<Toolset> fresh;
  if (fresh_formatters) fresh = build_toolset();
  Toolset& tools = fresh ? *fresh : thread_toolset();
  for (std::size_t i = 0; i < CALENDAR_LINES.size(); ++i) {
    append_calendar_line(std::back_inserter(out), i, tools[i], date);
  }
  return fmt::to_string(out);
}

}  // namespace calendar

ToolResult calendar_tool(std::string_view input) {
  const Reading reading = read_instant(text::trim(input));
  if (const auto* error = std::get_if<std::string_view>(&reading)) {
    return ToolResult::error(std::string(*error));
  }
  const std::int64_t ms = std::get<std::int64_t>(reading);
  // ICU's calendars are only asked about ISO years -9999 to 9999.
  const std::int64_t days = civil::floor_div(ms, civil::MS_PER_DAY);
  if (days < civil::days_from_civil(-9999, 1, 1) || days > civil::days_from_civil(9999, 12, 31)) {
    return ToolResult::error(std::string(OUT_OF_RANGE));
  }
  return ToolResult::output(calendar::calendar_report(ms));
}

}  // namespace pelloriand::tools
