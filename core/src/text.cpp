// Implementation of the shared text helpers declared in text.h.
#include "text.h"

#include <unicode/ucasemap.h>

#include <memory>

namespace pelloriand::text {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed sequence starting at s[pos], or 0 when malformed.
std::size_t sequence_length(std::string_view s, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) return 1;
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() - pos < len) return 0;
  const auto b1 = static_cast<unsigned char>(s[pos + 1]);
  if (b1 < lo || b1 > hi) return 0;
  for (std::size_t i = 2; i < len; ++i) {
    if (!is_continuation(static_cast<unsigned char>(s[pos + i]))) return 0;
  }
  return len;
}

char32_t decode_at(std::string_view s, std::size_t pos, std::size_t len) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (len == 1) return b0;
  char32_t c = b0 & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) c = (c << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
  return c;
}

using CaseMapFn = int32_t (*)(const UCaseMap*, char*, int32_t, const char*, int32_t, UErrorCode*);

std::string map_case(std::string_view s, CaseMapFn fn) {
  struct Closer {
    void operator()(UCaseMap* m) const { ucasemap_close(m); }
  };
  // A UCaseMap is cheap to open but not free; one per thread avoids both the
  // cost and any sharing.
  thread_local std::unique_ptr<UCaseMap, Closer> case_map = [] {
    UErrorCode status = U_ZERO_ERROR;
    return std::unique_ptr<UCaseMap, Closer>(ucasemap_open("", 0, &status));
  }();

  std::string out(s.size() + s.size() / 2 + 8, '\0');
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = fn(case_map.get(), out.data(), static_cast<int32_t>(out.size()), s.data(),
                         static_cast<int32_t>(s.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<std::size_t>(n));
      continue;
    }
    if (U_FAILURE(status)) return std::string(s);
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
}

}  // namespace

std::string_view trim(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size()) {
    std::size_t next = begin;
    if (!is_white_space(next_code_point(s, next))) break;
    begin = next;
  }
  std::size_t end = s.size();
  while (end > begin) {
    std::size_t prev = end;
    if (!is_white_space(previous_code_point(s, prev))) break;
    end = prev;
  }
  return s.substr(begin, end - begin);
}

char32_t next_code_point(std::string_view s, std::size_t& pos) {
  const std::size_t len = sequence_length(s, pos);
  if (len == 0) {
    ++pos;
    return REPLACEMENT;
  }
  const char32_t c = decode_at(s, pos, len);
  pos += len;
  return c;
}

char32_t previous_code_point(std::string_view s, std::size_t& pos) {
  std::size_t start = pos - 1;
  // Step back over at most three continuation bytes to the lead byte.
  while (start > 0 && pos - start < 4 && is_continuation(static_cast<unsigned char>(s[start]))) {
    --start;
  }
  const std::size_t len = sequence_length(s, start);
  if (len == 0 || start + len != pos) {
    --pos;
    return REPLACEMENT;
  }
  pos = start;
  return decode_at(s, start, len);
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // ASCII runs are the common case; skip them without decoding.
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t len = sequence_length(bytes, pos);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

std::string to_upper(std::string_view s) { return map_case(s, ucasemap_utf8ToUpper); }
std::string to_lower(std::string_view s) { return map_case(s, ucasemap_utf8ToLower); }

}  // namespace pelloriand::text
