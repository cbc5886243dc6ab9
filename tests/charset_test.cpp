#include "tools/charset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "encoding_decoders.h"
#include "text.h"
#include "tools/entries.h"

namespace pelloriand::tools {
namespace {

using encoding::EncodingId;
using namespace std::literals;

ToolResult run_charset(std::string_view input, std::optional<std::string_view> target) {
  if (!target) return charset_tool(input, nullptr);
  const ToolOptions options{{"target", std::string(*target)}};
  return charset_tool(input, &options);
}

struct ToolRow {
  std::optional<std::string_view> target;
  std::string_view input;
  bool ok;
  std::string_view expected;
};

void check_rows(const std::vector<ToolRow>& rows) {
  for (const ToolRow& row : rows) {
    const ToolResult result = run_charset(row.input, row.target);
    EXPECT_EQ(result.is_ok(), row.ok) << row.input << " / " << row.target.value_or("(none)");
    EXPECT_EQ(result.text(), row.expected) << row.input << " / " << row.target.value_or("(none)");
  }
}

TEST(Charset, ByteNotationsAndText) {
  check_rows({
      {std::nullopt, "%E3%81%82", true, "あ"},
      {std::nullopt, "%e3%81%82", true, "あ"},
      {std::nullopt, "\\xE3\\x81\\x82", true, "あ"},
      {std::nullopt, "E3 81 82", true, "あ"},
      {std::nullopt, "0xe3, 0x81, 0x82", true, "あ"},
      {std::nullopt, "e3;81;82", true, "あ"},
      {std::nullopt, "  0xE3\u3000", true, "\xEF\xBF\xBD"},
      {std::nullopt, "ab cd", true, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::nullopt, "café", true, "63 61 66 C3 A9"},
      {std::nullopt, "hello world", true, "68 65 6C 6C 6F 20 77 6F 72 6C 64"},
      {std::nullopt, "E3", true, "45 33"},
      {std::nullopt, "0xe381", true, "30 78 65 33 38 31"},
      {std::nullopt, "%E3%81%8", true, "25 45 33 25 38 31 25 38"},
      {std::nullopt, ",,,", true, "2C 2C 2C"},
      // A "\X" marker or a multi-byte character only makes a notation fail.
      {std::nullopt, "\\XE3", true, "5C 58 45 33"},
      {std::nullopt, "%Eé", true, "25 45 C3 A9"},
      {std::nullopt, "41\u00a042", true, "AB"},
      {std::nullopt, "FF FE 41 00", true, "A"},
      {std::nullopt, "EF BB BF 41", true, "A"},
      {std::nullopt, "FE FF 00 41", true, "A"},
  });
}

TEST(Charset, TargetsAndErrors) {
  const std::string_view native =
      " ships with the native engine — decode works today: paste hex bytes like \"82 b1\"";
  check_rows({
      {"shift-jis", "82 b1", true, "こ"},
      {"shift-jis", "こ", false, "text → Shift-JIS" + std::string(native)},
      {"euc-jp", "a4 b3", true, "こ"},
      {"EUC-JP", "a4 b3", true, "こ"},
      {"euc-kr", "b0 a1", true, "가"},
      {"gb18030", "c4 e3 ba c3", true, "你好"},
      {"utf8", "E3 81 82", true, "あ"},
      {"utf8", "a", false, "text → utf8" + std::string(native)},
      {"koi8-r", "Привет", true, "F0 D2 C9 D7 C5 D4"},
      {"koi8-r", "é", false, "\"é\" has no KOI8-R representation"},
      {"iso-8859-1", "é", true, "E9"},
      {"iso-8859-1", "€", true, "80"},
      {"iso-8859-15", "€", true, "A4"},
      {"windows-1252", "ā", false, "\"ā\" has no Windows-1252 representation"},
      {"windows-1252", "aā€", false, "\"ā\" has no Windows-1252 representation"},
      {"klingon", "82 b1", false, "Encoding \"klingon\" is not supported by this preview engine"},
      {"klingon", "hi", false, "text → klingon" + std::string(native)},
      {"", "82 b1", false, "Encoding \"\" is not supported by this preview engine"},
      {std::nullopt, " \t ", false, "Empty input"},
      {"klingon", "\u3000", false, "Empty input"},
  });
}

// The labels "euc-jp" and "euc-kr" decode exactly as their aliases: 0x8E and
// 0x8F are EUC-JP's single shifts and 0x81 to 0x9F are EUC-KR lead bytes, never
// C1 controls of their own.
TEST(Charset, EucLabelsDecodeAsTheirAliases) {
  struct Row {
    std::string_view label, alias, bytes, expected;
  };
  const Row rows[] = {
      {"euc-jp", "x-euc-jp", "8e b1", "ｱ"},
      {"euc-jp", "x-euc-jp", "8f b0 a1", "丂"},
      {"euc-jp", "x-euc-jp", "a4 8e b3", "\ufffd\ufffd"},
      {"euc-jp", "x-euc-jp", "8e b1 8f b0", "ｱ\ufffd"},
      {"euc-kr", "windows-949", "81 41", "갂"},
      {"euc-kr", "windows-949", "b0 85 85 a1 41", "컚뀫A"},
  };
  for (const Row& row : rows) {
    const ToolResult result = run_charset(row.bytes, row.label);
    EXPECT_TRUE(result.is_ok()) << row.label << " " << row.bytes;
    EXPECT_EQ(result.text(), row.expected) << row.label << " " << row.bytes;
    EXPECT_EQ(result.text(), run_charset(row.bytes, row.alias).text()) << row.bytes;
  }
}

struct DecodeRow {
  EncodingId encoding;
  std::string_view bytes;
  std::string_view expected;
};

// Each multi-byte decoder on a valid sequence, a lead byte at the end, a bad
// trail byte, and an ASCII trail byte, which is decoded again on its own.
TEST(Charset, DecodersFollowTheStandard) {
  const DecodeRow rows[] = {
      {EncodingId::kUtf8, "\xE2\x82\xAC\xF0\x9F\x98\x80", "€😀"},
      {EncodingId::kUtf8, "\xE2\x82", "\ufffd"},
      {EncodingId::kUtf8, "\xE2\x41", "\ufffdA"},
      {EncodingId::kUtf8, "\xC0\xAF\xED\xA0\x80", "\ufffd\ufffd\ufffd\ufffd\ufffd"},
      {EncodingId::kUtf8, "\xF0\x90\x80\xE2", "\ufffd\ufffd"},
      {EncodingId::kUtf8, "\xF4\x90", "\ufffd\ufffd"},
      {EncodingId::kUtf16Le, "\x3D\xD8\x00\xDE"sv, "😀"},
      {EncodingId::kUtf16Le, "\x41", "\ufffd"},
      {EncodingId::kUtf16Le, "\x3D\xD8\x41\x00"sv, "\ufffdA"},
      {EncodingId::kUtf16Le, "\x00\xDC\x42\x00"sv, "\ufffdB"},
      {EncodingId::kUtf16Be, "\xD8\x3D\xDE\x00\x00"sv, "😀\ufffd"},
      {EncodingId::kUtf16Be, "\xD8\x3D", "\ufffd"},
      {EncodingId::kShiftJis, "\x82\xB1\xB1\x80\xA0", "こｱ\u0080\ufffd"},
      {EncodingId::kShiftJis, "\x82", "\ufffd"},
      {EncodingId::kShiftJis, "\x82\x41", "\ufffdA"},
      {EncodingId::kShiftJis, "\x82\xFD", "\ufffd"},
      {EncodingId::kShiftJis, "\xF0\x40", "\ue000"},
      {EncodingId::kEucJp, "\xA4\xB3\x8E\xB1\x8F\xB0\xA1", "こｱ丂"},
      {EncodingId::kEucJp, "\x8F\xB0", "\ufffd"},
      {EncodingId::kEucJp, "\xA4\x41", "\ufffdA"},
      {EncodingId::kEucJp, "\x8E\xE0", "\ufffd"},
      {EncodingId::kEucKr, "\xB0\xA1\x81\x41", "가갂"},
      {EncodingId::kEucKr, "\xB0", "\ufffd"},
      {EncodingId::kEucKr, "\xB0\x30", "\ufffd0"},
      {EncodingId::kEucKr, "\xB0\xFF", "\ufffd"},
      {EncodingId::kGb18030, "\xC4\xE3\x80\x81\x30\x81\x30\x84\x31\xA4\x39", "你€\u0080\uffff"},
      // GB18030-2022: A6D9 is now U+FE10, no longer a private-use character.
      {EncodingId::kGb18030, "\xA6\xD9", "\ufe10"},
      {EncodingId::kGb18030, "\x90\x30\x81\x30\xE3\x32\x9A\x35", "𐀀\U0010FFFF"},
      {EncodingId::kGb18030, "\x84\x31\xA5\x30", "\ufffd"},
      {EncodingId::kGb18030, "\x81\x30\x81", "\ufffd"},
      {EncodingId::kGb18030, "\x81\x30\x81\x41", "\ufffd0丄"},
      {EncodingId::kGb18030, "\x81\x30\x41", "\ufffd0A"},
      {EncodingId::kGb18030, "\xC4\x7F\xFF", "\ufffd\x7f\ufffd"},
      {EncodingId::kGbk, "\xC4\xE3\x80", "你€"},
      {EncodingId::kBig5, "\xA4\x40\x88\x62\x87\x40", "一Ê̄䏰"},
      {EncodingId::kBig5, "\x87\x45", "\U00027267"},  // plane 2
      {EncodingId::kBig5, "\xA4", "\ufffd"},
      {EncodingId::kBig5, "\xA4\x41\xA4\x7F", "乙\ufffd\u007f"},
      {EncodingId::kBig5, "\xA4\x30", "\ufffd0"},
      {EncodingId::kIso2022Jp, "a\x1B$B$3\x1B(Bb\x1B(J\\\x1B(I1", "aこb¥ｱ"},
      {EncodingId::kIso2022Jp, "\x1B$B$", "\ufffd"},
      {EncodingId::kIso2022Jp, "\x1B$B$\x1B(B", "\ufffd"},
      {EncodingId::kIso2022Jp, "\x1B(B\x1B(Ba", "\ufffda"},
      {EncodingId::kIso2022Jp, "\x1B$", "\ufffd$"},
      {EncodingId::kIso2022Jp, "\x1B", "\ufffd"},
      {EncodingId::kIso2022Jp, "\x1Bx\x0E", "\ufffdx\ufffd"},
      {EncodingId::kReplacement, "abc", "\ufffd"},
      {EncodingId::kReplacement, "", ""},
      {EncodingId::kXUserDefined, "a\x80\xFF", "a\uf780\uf7ff"},
      {EncodingId::kWindows1252, "\x80\x81\xE9", "€\u0081é"},
      {EncodingId::kWindows874, "\xDB", "\ufffd"},
      {EncodingId::kIso8859_8I, "\xE0", "א"},
      {EncodingId::kKoi8U, "\xA4", "є"},
  };
  for (const DecodeRow& row : rows) {
    EXPECT_EQ(encoding::decode(row.encoding, row.bytes), row.expected)
        << static_cast<int>(row.encoding) << " " << charset::format_hex_bytes(row.bytes);
  }
}

TEST(Charset, StreamingMatchesOneShotAtEverySplit) {
  const DecodeRow rows[] = {
      {EncodingId::kGb18030, "\x81\x30\x81\x30\xC4\xE3\x81\x30\x41", ""},
      {EncodingId::kIso2022Jp, "a\x1B$B$3\x1B(Bb\x1B(", ""},
      {EncodingId::kUtf8, "\xEF\xBB\xBF\xF0\x9F\x98\x80\xE2\x41", ""},
      {EncodingId::kUtf16Le, "\xFE\xFF\xD8\x3D\xDE\x00", ""},
      {EncodingId::kEucJp, "\x8F\xB0\xA1\xA4", ""},
  };
  for (const DecodeRow& row : rows) {
    const std::string whole = encoding::decode(row.encoding, row.bytes);
    for (std::size_t split = 0; split <= row.bytes.size(); ++split) {
      std::string out;
      encoding::StreamDecoder decoder(row.encoding, true);
      decoder.decode(row.bytes.substr(0, split), false, out);
      decoder.decode(row.bytes.substr(split), true, out);
      EXPECT_EQ(out, whole) << charset::format_hex_bytes(row.bytes) << " split " << split;
    }
  }
}

// Arbitrary bytes in every encoding: the output is well-formed UTF-8, and a
// decoder fed in uneven slices gives what one call gives.
TEST(Charset, AnyBytesDecodeConsistently) {
  std::string bytes;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 1 << 14; ++i) {
    seed = seed * 1103515245u + 12345u;
    // Mostly high bytes, with ASCII, ESC and ISO-2022-JP's escape bytes mixed in.
    const std::uint8_t pick = static_cast<std::uint8_t>(seed >> 16);
    const char mixed[] = {'\x1b', '$', '(', 'B', '@', 'J', 'I', '0', '5', 'A'};
    bytes.push_back(pick < 200 ? static_cast<char>(0x80 | pick) : mixed[pick % 10]);
  }
  for (int id = 0; id <= static_cast<int>(EncodingId::kXUserDefined); ++id) {
    const auto encoding = static_cast<EncodingId>(id);
    const std::string whole = encoding::decode(encoding, bytes);
    EXPECT_TRUE(text::is_valid_utf8(whole)) << id;
    std::string pieces;
    encoding::StreamDecoder decoder(encoding, true);
    for (std::size_t at = 0, step = 1; at < bytes.size(); at += step, step = step % 7 + 1) {
      decoder.decode(std::string_view(bytes).substr(at, step), false, pieces);
    }
    decoder.decode({}, true, pieces);
    EXPECT_EQ(pieces, whole) << id;
  }
}

TEST(Charset, LabelsResolveToTheirEncodings) {
  const std::pair<std::string_view, EncodingId> rows[] = {
      {"unicode-1-1-utf-8", EncodingId::kUtf8},
      {" UTF8\n", EncodingId::kUtf8},
      {"utf-16", EncodingId::kUtf16Le},
      {"unicodefffe", EncodingId::kUtf16Be},
      {"866", EncodingId::kIbm866},
      {"latin2", EncodingId::kIso8859_2},
      {"ISO_8859-3:1988", EncodingId::kIso8859_3},
      {"l4", EncodingId::kIso8859_4},
      {"cyrillic", EncodingId::kIso8859_5},
      {"asmo-708", EncodingId::kIso8859_6},
      {"greek8", EncodingId::kIso8859_7},
      {"visual", EncodingId::kIso8859_8},
      {"logical", EncodingId::kIso8859_8I},
      {"latin6", EncodingId::kIso8859_10},
      {"iso8859-13", EncodingId::kIso8859_13},
      {"iso885914", EncodingId::kIso8859_14},
      {"l9", EncodingId::kIso8859_15},
      {"iso-8859-16", EncodingId::kIso8859_16},
      {"koi", EncodingId::kKoi8R},
      {"koi8-ru", EncodingId::kKoi8U},
      {"x-mac-roman", EncodingId::kMacintosh},
      {"tis-620", EncodingId::kWindows874},
      {"x-cp1250", EncodingId::kWindows1250},
      {"cp1251", EncodingId::kWindows1251},
      {"us-ascii", EncodingId::kWindows1252},
      {"iso-8859-1", EncodingId::kWindows1252},
      {"latin1", EncodingId::kWindows1252},
      {"cp1253", EncodingId::kWindows1253},
      {"iso-8859-9", EncodingId::kWindows1254},
      {"cp1255", EncodingId::kWindows1255},
      {"cp1256", EncodingId::kWindows1256},
      {"cp1257", EncodingId::kWindows1257},
      {"cp1258", EncodingId::kWindows1258},
      {"x-mac-ukrainian", EncodingId::kXMacCyrillic},
      {"gb2312", EncodingId::kGbk},
      {"x-gbk", EncodingId::kGbk},
      {"gb18030", EncodingId::kGb18030},
      {"big5-hkscs", EncodingId::kBig5},
      {"x-euc-jp", EncodingId::kEucJp},
      {"csiso2022jp", EncodingId::kIso2022Jp},
      {"sjis", EncodingId::kShiftJis},
      {"windows-31j", EncodingId::kShiftJis},
      {"ks_c_5601-1987", EncodingId::kEucKr},
      {"windows-949", EncodingId::kEucKr},
      {"iso-2022-kr", EncodingId::kReplacement},
      {"hz-gb-2312", EncodingId::kReplacement},
      {"x-user-defined", EncodingId::kXUserDefined},
  };
  for (const auto& [label, encoding] : rows) {
    EXPECT_EQ(encoding::lookup_encoding(label), encoding) << label;
  }
  for (std::string_view unknown : {"", "utf-7", "shift_jisx", "utf-8\v", "\u00a0utf-8"}) {
    EXPECT_FALSE(encoding::lookup_encoding(unknown).has_value()) << unknown;
  }
}

TEST(Charset, SingleByteMaps) {
  const charset::SingleByteMaps& maps = charset::init_single_byte_maps();
  ASSERT_EQ(maps.size(), 4u);
  for (const auto& [label, map] : maps) EXPECT_EQ(map.size(), 256u) << label;
  EXPECT_EQ(maps.at("iso-8859-1"), maps.at("windows-1252"));

  // Concurrent first users all see the one finished table.
  std::vector<std::thread> threads;
  std::vector<std::string> answers(8);
  for (std::size_t i = 0; i < answers.size(); ++i) {
    threads.emplace_back([&answers, i] { answers[i] = run_charset("€", "iso-8859-15").text(); });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& answer : answers) EXPECT_EQ(answer, "A4");
}

TEST(Charset, TwoMebibyteInputsConvertWhole) {
  std::string hex;
  while (hex.size() < (2u << 20)) hex += "E3 81 82 ";
  const ToolResult decoded = run_charset(hex, std::nullopt);
  ASSERT_TRUE(decoded.is_ok());
  EXPECT_EQ(decoded.text().size(), hex.size() / 9 * 3);

  const std::string text(2u << 20, 'a');
  const ToolResult encoded = run_charset(text, "koi8-r");
  ASSERT_TRUE(encoded.is_ok());
  EXPECT_EQ(encoded.text().size(), text.size() * 3 - 1);

  // Every other byte an ASCII trail after a lead: each is given back once and
  // decoded on its own, U+FFFD then the space.
  std::string leads;
  for (int i = 0; i < (1 << 20); ++i) leads += "\x81\x20";
  const std::string out = encoding::decode(EncodingId::kEucKr, leads);
  EXPECT_EQ(out.size(), leads.size() * 2);
}

}  // namespace
}  // namespace pelloriand::tools
