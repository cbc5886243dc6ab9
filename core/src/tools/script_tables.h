// Sizes of the lazily built script tables of the chinese, pinyin and romaji
// tools. The tables are read only through the tools; these counts let the tests
// catch a dropped or mistyped row in the stored lists.
#pragma once

#include <array>
#include <cstddef>

namespace pelloriand::tools {

// Entries of s2t, t2s, s2tw and s2hk, in that order.
[[nodiscard]] std::array<std::size_t, 4> hanzi_table_sizes();

// Characters with a reading.
[[nodiscard]] std::size_t pinyin_table_size();

// Keys of kana_to_romaji and of romaji_to_kana.
[[nodiscard]] std::array<std::size_t, 2> romaji_table_sizes();

}  // namespace pelloriand::tools
