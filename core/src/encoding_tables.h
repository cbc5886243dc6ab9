// Declarations of the Encoding Standard's tables generated into
// encoding_tables.cpp by scripts/gen-charset-tables. Index entries hold the
// code point for a pointer, 0 where the index has none.
#pragma once

#include <cstdint>

namespace pelloriand::encoding {

// The Standard's 40 encodings. The 28 single-byte ones come first so that
// their id is their row in SINGLE_BYTE_INDEX; the generator holds the same list.
enum class EncodingId : std::uint8_t {
  kIbm866,
  kIso8859_2,
  kIso8859_3,
  kIso8859_4,
  kIso8859_5,
  kIso8859_6,
  kIso8859_7,
  kIso8859_8,
  kIso8859_8I,
  kIso8859_10,
  kIso8859_13,
  kIso8859_14,
  kIso8859_15,
  kIso8859_16,
  kKoi8R,
  kKoi8U,
  kMacintosh,
  kWindows874,
  kWindows1250,
  kWindows1251,
  kWindows1252,
  kWindows1253,
  kWindows1254,
  kWindows1255,
  kWindows1256,
  kWindows1257,
  kWindows1258,
  kXMacCyrillic,
  kUtf8,
  kUtf16Be,
  kUtf16Le,
  kGbk,
  kGb18030,
  kBig5,
  kEucJp,
  kIso2022Jp,
  kShiftJis,
  kEucKr,
  kReplacement,
  kXUserDefined,
};

inline constexpr int SINGLE_BYTE_ENCODINGS = 28;

struct LabelEntry {
  const char* label;
  EncodingId encoding;
};

struct Gb18030Range {
  std::uint32_t pointer;
  std::uint32_t code_point;
};

// Every label of the Standard, ASCII lower case, sorted by byte value.
extern const LabelEntry ENCODING_LABELS[228];
extern const std::uint16_t SINGLE_BYTE_INDEX[28][128];
extern const std::uint16_t INDEX_JIS0208[11280];
extern const std::uint16_t INDEX_JIS0212[8836];
extern const std::uint16_t INDEX_EUC_KR[23940];
extern const std::uint16_t INDEX_GB18030[23940];
// Big5 reaches beyond the BMP (plane 2), so its entries are 32-bit.
extern const std::uint32_t INDEX_BIG5[19782];
extern const Gb18030Range INDEX_GB18030_RANGES[207];

}  // namespace pelloriand::encoding
