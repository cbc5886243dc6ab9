// The charset tool's hexadecimal byte text and its encoders: the
// character-to-byte maps of the single-byte charsets it encodes into. Decoding
// is the Encoding Standard's (encoding_decoders.h); the tool itself is
// `charset_tool` (entries.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pelloriand::tools::charset {

// parse_hex_bytes
//
// Reads each token (two hexadecimal digits, already checked) as one byte.
[[nodiscard]] std::string parse_hex_bytes(const std::vector<std::string_view>& tokens);

// format_hex_bytes
//
// Each byte as two upper-case hexadecimal digits, joined with single spaces.
//
// Example:
//   format_hex_bytes("\xe3\x81\x82") == "E3 81 82"
[[nodiscard]] std::string format_hex_bytes(std::string_view bytes);

// SingleByteMap: character to byte for one single-byte charset, sorted by
// character.
using SingleByteMap = std::vector<std::pair<char32_t, std::uint8_t>>;
using SingleByteMaps = std::map<std::string, SingleByteMap, std::less<>>;

// build_single_byte_maps
//
// The character-to-byte maps of "iso-8859-1", "windows-1252", "iso-8859-15"
// and "koi8-r", built by decoding every byte; the lowest byte wins.
[[nodiscard]] SingleByteMaps build_single_byte_maps();

// init_single_byte_maps
//
// The maps, built once on first use; concurrent first callers wait.
[[nodiscard]] const SingleByteMaps& init_single_byte_maps();

}  // namespace pelloriand::tools::charset
