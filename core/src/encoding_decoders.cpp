// The Encoding Standard's decoders: its label table and its decoders for every
// encoding it defines (UTF-8, UTF-16BE/LE, the 28 single-byte encodings,
// GBK/gb18030, Big5, EUC-JP, ISO-2022-JP, Shift_JIS, EUC-KR, replacement,
// x-user-defined), with its error handling: each malformed sequence gives one
// U+FFFD, and an ASCII byte that ends a sequence early is given back to the
// stream and decoded on its own.
//
// The index tables are generated from the Standard's index data
// (encoding_tables.cpp); every decoder is a state machine over one byte at a
// time, so a slice boundary can fall anywhere and any input decodes in linear
// time.
#include "encoding_decoders.h"

#include <algorithm>
#include <array>

#include "text.h"

namespace pelloriand::encoding {
namespace {

// The input queue of one decode call: the slice, with bytes a decoder hands
// back ("prepends") kept on a small stack that is read first. A decoder gives
// back at most three bytes at once, and only after taking one, so eight slots
// are never exceeded.
class ByteQueue {
 public:
  explicit ByteQueue(std::string_view bytes)
      : p_(reinterpret_cast<const std::uint8_t*>(bytes.data())), end_(p_ + bytes.size()) {}

  // The next byte, or -1 at the end of the slice.
  int next() {
    if (held_ > 0) return stack_[--held_];
    if (p_ < end_) return *p_++;
    return -1;
  }
  void prepend(std::uint8_t b) { stack_[held_++] = b; }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::array<std::uint8_t, 8> stack_{};
  int held_ = 0;
};

using State = StreamDecoder::State;

// Forced inline: left to the compiler's budget for this file it stays a call
// in some decoder steps, and a call per character costs Big5 a fifth of its
// speed (bench/charset_bench.cpp).
[[gnu::always_inline]] inline void emit(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else {
    text::append_utf8(out, c);
  }
}

void error(std::string& out) {
  out.append("\xEF\xBF\xBD");
}

constexpr bool in(int b, int lo, int hi) {
  return b >= lo && b <= hi;
}

// Each decoder is a step (one byte) and an end (the end of the queue, only on
// the last slice). An end returns false when it handed bytes back that must
// still be decoded, true when the decoder has finished.

void utf8_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.needed == 0) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (in(b, 0xC2, 0xDF)) {
      s.needed = 1;
      s.code_point = b & 0x1F;
    } else if (in(b, 0xE0, 0xEF)) {
      if (b == 0xE0) s.lower = 0xA0;
      if (b == 0xED) s.upper = 0x9F;
      s.needed = 2;
      s.code_point = b & 0xF;
    } else if (in(b, 0xF0, 0xF4)) {
      if (b == 0xF0) s.lower = 0x90;
      if (b == 0xF4) s.upper = 0x8F;
      s.needed = 3;
      s.code_point = b & 0x7;
    } else {
      error(out);
    }
    return;
  }
  if (!in(b, s.lower, s.upper)) {
    s.code_point = 0;
    s.needed = s.seen = 0;
    s.lower = 0x80;
    s.upper = 0xBF;
    q.prepend(static_cast<std::uint8_t>(b));
    error(out);
    return;
  }
  s.lower = 0x80;
  s.upper = 0xBF;
  s.code_point = (s.code_point << 6) | (b & 0x3F);
  if (++s.seen != s.needed) return;
  emit(out, s.code_point);
  s.code_point = 0;
  s.needed = s.seen = 0;
}

bool utf8_end(State& s, ByteQueue&, std::string& out) {
  if (s.needed != 0) {
    s.needed = s.seen = 0;
    s.code_point = 0;
    s.lower = 0x80;
    s.upper = 0xBF;
    error(out);
  }
  return true;
}

template <bool kBigEndian>
void utf16_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (!s.has_lead_byte) {
    s.has_lead_byte = true;
    s.lead = static_cast<std::uint8_t>(b);
    return;
  }
  s.has_lead_byte = false;
  const std::uint16_t unit = kBigEndian ? static_cast<std::uint16_t>((s.lead << 8) | b)
                                        : static_cast<std::uint16_t>((b << 8) | s.lead);
  if (s.lead_surrogate != 0) {
    const std::uint16_t lead_surrogate = s.lead_surrogate;
    s.lead_surrogate = 0;
    if (in(unit, 0xDC00, 0xDFFF)) {
      emit(out, 0x10000 + ((lead_surrogate - 0xD800) << 10) + (unit - 0xDC00));
      return;
    }
    // The unit after a lone lead surrogate is decoded afresh, its bytes in
    // stream order.
    const auto high = static_cast<std::uint8_t>(unit >> 8);
    const auto low = static_cast<std::uint8_t>(unit & 0xFF);
    q.prepend(kBigEndian ? low : high);
    q.prepend(kBigEndian ? high : low);
    error(out);
    return;
  }
  if (in(unit, 0xD800, 0xDBFF)) {
    s.lead_surrogate = unit;
  } else if (in(unit, 0xDC00, 0xDFFF)) {
    error(out);
  } else {
    emit(out, unit);
  }
}

bool utf16_end(State& s, ByteQueue&, std::string& out) {
  if (s.has_lead_byte || s.lead_surrogate != 0) {
    s.has_lead_byte = false;
    s.lead_surrogate = 0;
    error(out);
  }
  return true;
}

bool no_pending_end(State&, ByteQueue&, std::string&) {
  return true;
}

bool lead_byte_end(State& s, ByteQueue&, std::string& out) {
  if (s.lead != 0) {
    s.lead = 0;
    s.flag = false;
    error(out);
  }
  return true;
}

void single_byte_step(State& s, int b, ByteQueue&, std::string& out) {
  if (b < 0x80) {
    out.push_back(static_cast<char>(b));
    return;
  }
  const char32_t c = SINGLE_BYTE_INDEX[static_cast<int>(s.encoding)][b - 0x80];
  if (c == 0) {
    error(out);
  } else {
    emit(out, c);
  }
}

void x_user_defined_step(State&, int b, ByteQueue&, std::string& out) {
  emit(out, b < 0x80 ? static_cast<char32_t>(b) : 0xF780 + (b - 0x80));
}

void replacement_step(State& s, int, ByteQueue&, std::string& out) {
  if (!s.flag) {
    s.flag = true;
    error(out);
  }
}

// A two-byte decoder's first byte: ASCII stands for itself, a lead byte waits
// for its trail byte, any other byte is an error.
void first_byte(State& s, int b, bool lead, std::string& out) {
  if (b < 0x80) {
    out.push_back(static_cast<char>(b));
  } else if (lead) {
    s.lead = static_cast<std::uint8_t>(b);
  } else {
    error(out);
  }
}

// A two-byte decoder's verdict on its trail byte: the code point, or an error
// with an ASCII trail byte handed back to be decoded on its own.
void emit_or_give_back(char32_t c, int b, ByteQueue& q, std::string& out) {
  if (c != 0) {
    emit(out, c);
    return;
  }
  if (b < 0x80) q.prepend(static_cast<std::uint8_t>(b));
  error(out);
}

char32_t gb18030_ranges_code_point(std::uint32_t pointer) {
  if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
  if (pointer == 7457) return 0xE7C7;
  const Gb18030Range* it =
      std::upper_bound(std::begin(INDEX_GB18030_RANGES), std::end(INDEX_GB18030_RANGES), pointer,
                       [](std::uint32_t p, const Gb18030Range& r) { return p < r.pointer; });
  --it;  // the first range starts at pointer 0
  return it->code_point + pointer - it->pointer;
}

// GBK decodes with this decoder too. `lead` is the first byte.
void gb18030_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.third != 0) {
    if (!in(b, 0x30, 0x39)) {
      q.prepend(static_cast<std::uint8_t>(b));
      q.prepend(s.third);
      q.prepend(s.second);
      s.lead = s.second = s.third = 0;
      error(out);
      return;
    }
    const std::uint32_t pointer = (s.lead - 0x81) * (10 * 126 * 10) +
                                  (s.second - 0x30) * (10 * 126) + (s.third - 0x81) * 10 +
                                  (b - 0x30);
    s.lead = s.second = s.third = 0;
    const char32_t c = gb18030_ranges_code_point(pointer);
    if (c == 0) {
      error(out);
    } else {
      emit(out, c);
    }
    return;
  }
  if (s.second != 0) {
    if (in(b, 0x81, 0xFE)) {
      s.third = static_cast<std::uint8_t>(b);
      return;
    }
    q.prepend(static_cast<std::uint8_t>(b));
    q.prepend(s.second);
    s.lead = s.second = 0;
    error(out);
    return;
  }
  if (s.lead != 0) {
    if (in(b, 0x30, 0x39)) {
      s.second = static_cast<std::uint8_t>(b);
      return;
    }
    const int lead = s.lead;
    s.lead = 0;
    const int offset = b < 0x7F ? 0x40 : 0x41;
    char32_t c = 0;
    if (in(b, 0x40, 0x7E) || in(b, 0x80, 0xFE))
      c = INDEX_GB18030[(lead - 0x81) * 190 + (b - offset)];
    emit_or_give_back(c, b, q, out);
    return;
  }
  if (b < 0x80) {
    out.push_back(static_cast<char>(b));
  } else if (b == 0x80) {
    emit(out, 0x20AC);
  } else if (b != 0xFF) {
    s.lead = static_cast<std::uint8_t>(b);
  } else {
    error(out);
  }
}

bool gb18030_end(State& s, ByteQueue&, std::string& out) {
  if (s.lead != 0 || s.second != 0 || s.third != 0) {
    s.lead = s.second = s.third = 0;
    error(out);
  }
  return true;
}

void big5_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.lead != 0) {
    const int lead = s.lead;
    s.lead = 0;
    const int offset = b < 0x7F ? 0x40 : 0x62;
    int pointer = -1;
    if (in(b, 0x40, 0x7E) || in(b, 0xA1, 0xFE)) pointer = (lead - 0x81) * 157 + (b - offset);
    // Four pointers stand for a base letter and a combining mark.
    switch (pointer) {
      case 1133:
        emit(out, 0x00CA), emit(out, 0x0304);
        return;
      case 1135:
        emit(out, 0x00CA), emit(out, 0x030C);
        return;
      case 1164:
        emit(out, 0x00EA), emit(out, 0x0304);
        return;
      case 1166:
        emit(out, 0x00EA), emit(out, 0x030C);
        return;
      default:
        break;
    }
    emit_or_give_back(pointer < 0 ? 0 : INDEX_BIG5[pointer], b, q, out);
    return;
  }
  first_byte(s, b, in(b, 0x81, 0xFE), out);
}

// `flag` is the jis0212 flag: the sequence began with 0x8F.
void euc_jp_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.lead == 0x8E && in(b, 0xA1, 0xDF)) {
    s.lead = 0;
    emit(out, 0xFF61 - 0xA1 + b);
    return;
  }
  if (s.lead == 0x8F && in(b, 0xA1, 0xFE)) {
    s.flag = true;
    s.lead = static_cast<std::uint8_t>(b);
    return;
  }
  if (s.lead != 0) {
    const int lead = s.lead;
    s.lead = 0;
    char32_t c = 0;
    if (in(lead, 0xA1, 0xFE) && in(b, 0xA1, 0xFE)) {
      const int pointer = (lead - 0xA1) * 94 + (b - 0xA1);
      c = s.flag ? INDEX_JIS0212[pointer] : INDEX_JIS0208[pointer];
    }
    s.flag = false;
    emit_or_give_back(c, b, q, out);
    return;
  }
  first_byte(s, b, b == 0x8E || b == 0x8F || in(b, 0xA1, 0xFE), out);
}

void shift_jis_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.lead != 0) {
    const int lead = s.lead;
    s.lead = 0;
    const int offset = b < 0x7F ? 0x40 : 0x41;
    const int lead_offset = lead < 0xA0 ? 0x81 : 0xC1;
    char32_t c = 0;
    if (in(b, 0x40, 0x7E) || in(b, 0x80, 0xFC)) {
      const int pointer = (lead - lead_offset) * 188 + (b - offset);
      // The user-defined area maps onto the Private Use Area.
      if (in(pointer, 8836, 10715)) {
        emit(out, 0xE000 - 8836 + pointer);
        return;
      }
      c = INDEX_JIS0208[pointer];
    }
    emit_or_give_back(c, b, q, out);
    return;
  }
  if (b <= 0x80) {
    emit(out, static_cast<char32_t>(b));
  } else if (in(b, 0xA1, 0xDF)) {
    emit(out, 0xFF61 - 0xA1 + b);
  } else if (in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC)) {
    s.lead = static_cast<std::uint8_t>(b);
  } else {
    error(out);
  }
}

void euc_kr_step(State& s, int b, ByteQueue& q, std::string& out) {
  if (s.lead != 0) {
    const int lead = s.lead;
    s.lead = 0;
    char32_t c = 0;
    if (in(b, 0x41, 0xFE)) c = INDEX_EUC_KR[(lead - 0x81) * 190 + (b - 0x41)];
    emit_or_give_back(c, b, q, out);
    return;
  }
  first_byte(s, b, in(b, 0x81, 0xFE), out);
}

// ISO-2022-JP's states; `flag` is its output flag (set right after an escape
// sequence, so that two escapes in a row are an error).
enum Iso2022JpState { kAscii, kRoman, kKatakana, kLeadByte, kTrailByte, kEscapeStart, kEscape };

void iso_2022_jp_step(State& s, int b, ByteQueue& q, std::string& out) {
  switch (s.iso_state) {
    case kAscii:
    case kRoman:
    case kKatakana:
    case kLeadByte:
      if (b == 0x1B) {
        s.iso_state = kEscapeStart;
        return;
      }
      s.flag = false;
      if (s.iso_state == kAscii && b < 0x80 && b != 0x0E && b != 0x0F) {
        out.push_back(static_cast<char>(b));
      } else if (s.iso_state == kRoman && b < 0x80 && b != 0x0E && b != 0x0F) {
        emit(out, b == 0x5C ? 0xA5 : b == 0x7E ? 0x203E : static_cast<char32_t>(b));
      } else if (s.iso_state == kKatakana && in(b, 0x21, 0x5F)) {
        emit(out, 0xFF61 - 0x21 + b);
      } else if (s.iso_state == kLeadByte && in(b, 0x21, 0x7E)) {
        s.lead = static_cast<std::uint8_t>(b);
        s.iso_state = kTrailByte;
      } else {
        error(out);
      }
      return;
    case kTrailByte:
      if (b == 0x1B) {
        s.iso_state = kEscapeStart;
        error(out);
        return;
      }
      s.iso_state = kLeadByte;
      if (in(b, 0x21, 0x7E)) {
        const char32_t c = INDEX_JIS0208[(s.lead - 0x21) * 94 + (b - 0x21)];
        if (c != 0) {
          emit(out, c);
          return;
        }
      }
      error(out);
      return;
    case kEscapeStart:
      if (b == 0x24 || b == 0x28) {
        s.lead = static_cast<std::uint8_t>(b);
        s.iso_state = kEscape;
        return;
      }
      q.prepend(static_cast<std::uint8_t>(b));
      s.flag = false;
      s.iso_state = s.iso_output_state;
      error(out);
      return;
    default: {  // kEscape
      const int lead = s.lead;
      s.lead = 0;
      int next = -1;
      if (lead == 0x28 && b == 0x42) next = kAscii;
      if (lead == 0x28 && b == 0x4A) next = kRoman;
      if (lead == 0x28 && b == 0x49) next = kKatakana;
      if (lead == 0x24 && (b == 0x40 || b == 0x42)) next = kLeadByte;
      if (next >= 0) {
        s.iso_state = s.iso_output_state = next;
        const bool output = s.flag;
        s.flag = true;
        if (output) error(out);
        return;
      }
      q.prepend(static_cast<std::uint8_t>(b));
      q.prepend(static_cast<std::uint8_t>(lead));
      s.flag = false;
      s.iso_state = s.iso_output_state;
      error(out);
      return;
    }
  }
}

bool iso_2022_jp_end(State& s, ByteQueue& q, std::string& out) {
  switch (s.iso_state) {
    case kTrailByte:
      s.iso_state = kLeadByte;
      error(out);
      return false;
    case kEscapeStart:
      s.flag = false;
      s.iso_state = s.iso_output_state;
      error(out);
      return false;
    case kEscape:
      q.prepend(s.lead);
      s.lead = 0;
      s.flag = false;
      s.iso_state = s.iso_output_state;
      error(out);
      return false;
    default:
      return true;
  }
}

template <class Step, class End>
void run(State& s, std::string_view bytes, bool last, std::string& out, Step step, End end) {
  ByteQueue q(bytes);
  for (;;) {
    const int b = q.next();
    if (b >= 0) {
      step(s, b, q, out);
    } else if (!last || end(s, q, out)) {
      return;
    }
  }
}

void decode_slice(State& s, std::string_view bytes, bool last, std::string& out) {
  out.reserve(out.size() + bytes.size() + bytes.size() / 2);
  switch (s.encoding) {
    case EncodingId::kUtf8:
      return run(s, bytes, last, out, utf8_step, utf8_end);
    case EncodingId::kUtf16Be:
      return run(s, bytes, last, out, utf16_step<true>, utf16_end);
    case EncodingId::kUtf16Le:
      return run(s, bytes, last, out, utf16_step<false>, utf16_end);
    case EncodingId::kGbk:
    case EncodingId::kGb18030:
      return run(s, bytes, last, out, gb18030_step, gb18030_end);
    case EncodingId::kBig5:
      return run(s, bytes, last, out, big5_step, lead_byte_end);
    case EncodingId::kEucJp:
      return run(s, bytes, last, out, euc_jp_step, lead_byte_end);
    case EncodingId::kIso2022Jp:
      return run(s, bytes, last, out, iso_2022_jp_step, iso_2022_jp_end);
    case EncodingId::kShiftJis:
      return run(s, bytes, last, out, shift_jis_step, lead_byte_end);
    case EncodingId::kEucKr:
      return run(s, bytes, last, out, euc_kr_step, lead_byte_end);
    case EncodingId::kReplacement:
      return run(s, bytes, last, out, replacement_step, no_pending_end);
    case EncodingId::kXUserDefined:
      return run(s, bytes, last, out, x_user_defined_step, no_pending_end);
    default:
      return run(s, bytes, last, out, single_byte_step, no_pending_end);
  }
}

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_BOM = "\xFF\xFE";
constexpr std::string_view UTF16BE_BOM = "\xFE\xFF";

bool is_ascii_white_space(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

}  // namespace

std::optional<EncodingId> lookup_encoding(std::string_view label) {
  while (!label.empty() && is_ascii_white_space(label.front())) label.remove_prefix(1);
  while (!label.empty() && is_ascii_white_space(label.back())) label.remove_suffix(1);
  // The longest label, "cseucpkdfmtjapanese", has 19 characters.
  char folded[32];
  if (label.empty() || label.size() > sizeof folded) return std::nullopt;
  for (std::size_t i = 0; i < label.size(); ++i) folded[i] = text::ascii_lower(label[i]);
  const std::string_view key(folded, label.size());
  const LabelEntry* it =
      std::lower_bound(std::begin(ENCODING_LABELS), std::end(ENCODING_LABELS), key,
                       [](const LabelEntry& e, std::string_view k) { return e.label < k; });
  if (it == std::end(ENCODING_LABELS) || it->label != key) return std::nullopt;
  return it->encoding;
}

StreamDecoder::StreamDecoder(EncodingId encoding, bool sniff_bom)
    : state_{.encoding = encoding}, sniffing_(sniff_bom) {}

void StreamDecoder::decode(std::string_view bytes, bool last, std::string& out) {
  if (sniffing_) {
    const std::size_t take = std::min(3 - sniffed_.size(), bytes.size());
    sniffed_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    std::string_view head = sniffed_;
    std::optional<EncodingId> sniffed;
    if (head.starts_with(UTF8_BOM)) {
      sniffed = EncodingId::kUtf8;
      head.remove_prefix(3);
    } else if (head.starts_with(UTF16LE_BOM)) {
      sniffed = EncodingId::kUtf16Le;
      head.remove_prefix(2);
    } else if (head.starts_with(UTF16BE_BOM)) {
      sniffed = EncodingId::kUtf16Be;
      head.remove_prefix(2);
    } else if (!last && (UTF8_BOM.starts_with(head) || UTF16LE_BOM.starts_with(head) ||
                         UTF16BE_BOM.starts_with(head))) {
      return;  // too few bytes yet to tell
    }
    sniffing_ = false;
    if (sniffed) state_ = State{.encoding = *sniffed};
    decode_slice(state_, head, last && bytes.empty(), out);
    sniffed_.clear();
    if (bytes.empty()) return;
  }
  decode_slice(state_, bytes, last, out);
}

std::string decode(EncodingId encoding, std::string_view bytes) {
  std::string out;
  StreamDecoder(encoding, true).decode(bytes, true, out);
  return out;
}

std::string decode_without_bom(EncodingId encoding, std::string_view bytes) {
  std::string out;
  StreamDecoder(encoding, false).decode(bytes, true, out);
  return out;
}

}  // namespace pelloriand::encoding
