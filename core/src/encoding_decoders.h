// The Encoding Standard's decoders: its label lookup and its decoders, one-shot
// (with byte-order-mark sniffing) and streaming (fed slice by slice, incomplete
// sequences kept between slices). Malformed input becomes U+FFFD exactly where
// the Standard's decoders say so. The tables are in encoding_tables.cpp; the
// charset tool (tools/charset.cpp) is their user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "encoding_tables.h"

namespace pelloriand::encoding {

// lookup_encoding
//
// The Standard's "get an encoding": ASCII white space around the label is
// ignored and ASCII letters compare case-insensitively; an unknown label gives
// nothing.
//
// Example:
//   lookup_encoding(" Latin1\n") == EncodingId::kWindows1252
[[nodiscard]] std::optional<EncodingId> lookup_encoding(std::string_view label);

// StreamDecoder
//
// One decoder state machine fed in slices. `decode` appends to `out` what the
// bytes given so far complete; bytes of an unfinished sequence stay pending
// until the next slice, and the slice flagged `last` flushes them (an
// incomplete sequence gives U+FFFD). With `sniff_bom` a byte-order mark at the
// very start selects UTF-8 or UTF-16 and is dropped.
class StreamDecoder {
 public:
  StreamDecoder(EncodingId encoding, bool sniff_bom);
  void decode(std::string_view bytes, bool last, std::string& out);

  struct State {
    EncodingId encoding;
    std::uint8_t lead = 0;                    // lead byte of every multi-byte decoder
    std::uint8_t second = 0, third = 0;       // gb18030
    bool flag = false;                        // EUC-JP jis0212, ISO-2022-JP output, replacement
    std::uint32_t code_point = 0;             // UTF-8
    int needed = 0, seen = 0;                 // UTF-8
    std::uint8_t lower = 0x80, upper = 0xBF;  // UTF-8
    std::uint16_t lead_surrogate = 0;         // UTF-16
    bool has_lead_byte = false;               // UTF-16
    int iso_state = 0, iso_output_state = 0;  // ISO-2022-JP
  };

 private:
  State state_;
  bool sniffing_;
  std::string sniffed_;  // up to three bytes held back while a BOM may follow
};

// decode
//
// Decodes all of `bytes` in one call; a byte-order mark at the start overrides
// `encoding` and is dropped.
//
// Example:
//   decode(EncodingId::kShiftJis, "\x82\xb1") == "こ"
[[nodiscard]] std::string decode(EncodingId encoding, std::string_view bytes);

// decode_without_bom
//
// As decode, but a byte-order mark is decoded as any other bytes.
[[nodiscard]] std::string decode_without_bom(EncodingId encoding, std::string_view bytes);

}  // namespace pelloriand::encoding
