// The `romaji` tool: kana to Hepburn romaji (long vowels with macrons) and
// romaji back to hiragana, the direction taken from the text itself. Kanji are
// refused. The tables are derived once from KANA_ROMAJI_PAIRS.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "text.h"
#include "tools/entries.h"
#include "tools/script_tables.h"

namespace pelloriand::tools {
namespace {

struct KanaRomaji {
  std::string_view kana, romaji;
};

// Where two rows share a romaji text, the earlier row is the one romaji reads
// back to ("ji" is じ, not ぢ).
constexpr KanaRomaji KANA_ROMAJI_PAIRS[] = {
    {"あ", "a"},     {"い", "i"},     {"う", "u"},     {"え", "e"},     {"お", "o"},
    {"か", "ka"},    {"き", "ki"},    {"く", "ku"},    {"け", "ke"},    {"こ", "ko"},
    {"さ", "sa"},    {"し", "shi"},   {"す", "su"},    {"せ", "se"},    {"そ", "so"},
    {"た", "ta"},    {"ち", "chi"},   {"つ", "tsu"},   {"て", "te"},    {"と", "to"},
    {"な", "na"},    {"に", "ni"},    {"ぬ", "nu"},    {"ね", "ne"},    {"の", "no"},
    {"は", "ha"},    {"ひ", "hi"},    {"ふ", "fu"},    {"へ", "he"},    {"ほ", "ho"},
    {"ま", "ma"},    {"み", "mi"},    {"む", "mu"},    {"め", "me"},    {"も", "mo"},
    {"や", "ya"},    {"ゆ", "yu"},    {"よ", "yo"},    {"ら", "ra"},    {"り", "ri"},
    {"る", "ru"},    {"れ", "re"},    {"ろ", "ro"},    {"わ", "wa"},    {"ゐ", "wi"},
    {"ゑ", "we"},    {"を", "wo"},    {"ん", "n"},     {"が", "ga"},    {"ぎ", "gi"},
    {"ぐ", "gu"},    {"げ", "ge"},    {"ご", "go"},    {"ざ", "za"},    {"じ", "ji"},
    {"ず", "zu"},    {"ぜ", "ze"},    {"ぞ", "zo"},    {"だ", "da"},    {"ぢ", "ji"},
    {"づ", "zu"},    {"で", "de"},    {"ど", "do"},    {"ば", "ba"},    {"び", "bi"},
    {"ぶ", "bu"},    {"べ", "be"},    {"ぼ", "bo"},    {"ぱ", "pa"},    {"ぴ", "pi"},
    {"ぷ", "pu"},    {"ぺ", "pe"},    {"ぽ", "po"},    {"ゔ", "vu"},    {"ゎ", "wa"},
    {"ヵ", "ka"},    {"ヶ", "ke"},    {"きゃ", "kya"}, {"きゅ", "kyu"}, {"きょ", "kyo"},
    {"しゃ", "sha"}, {"しゅ", "shu"}, {"しょ", "sho"}, {"ちゃ", "cha"}, {"ちゅ", "chu"},
    {"ちょ", "cho"}, {"にゃ", "nya"}, {"にゅ", "nyu"}, {"にょ", "nyo"}, {"ひゃ", "hya"},
    {"ひゅ", "hyu"}, {"ひょ", "hyo"}, {"みゃ", "mya"}, {"みゅ", "myu"}, {"みょ", "myo"},
    {"りゃ", "rya"}, {"りゅ", "ryu"}, {"りょ", "ryo"}, {"ぎゃ", "gya"}, {"ぎゅ", "gyu"},
    {"ぎょ", "gyo"}, {"じゃ", "ja"},  {"じゅ", "ju"},  {"じょ", "jo"},  {"びゃ", "bya"},
    {"びゅ", "byu"}, {"びょ", "byo"}, {"ぴゃ", "pya"}, {"ぴゅ", "pyu"}, {"ぴょ", "pyo"},
    {"うゃ", "wya"}, {"くゃ", "kya"}, {"くゅ", "kyu"}, {"くょ", "kyo"}, {"しぇ", "she"},
    {"ちぇ", "che"}, {"つぁ", "tsa"}, {"とぅ", "tu"},  {"てぃ", "ti"},  {"でぃ", "di"},
    {"どぅ", "du"},  {"ふぁ", "fa"},  {"ふぃ", "fi"},  {"ふぇ", "fe"},  {"ふぉ", "fo"},
    {"うぃ", "wi"},  {"うぇ", "we"},  {"うぉ", "wo"},  {"ゔぁ", "va"},  {"ゔぃ", "vi"},
    {"ゔぇ", "ve"},  {"ゔぉ", "vo"},
};

constexpr std::pair<char, std::string_view> MACRON_VOWELS[] = {
    {'a', "ā"}, {'i', "ī"}, {'u', "ū"}, {'e', "ē"}, {'o', "ō"}};
constexpr std::u32string_view KANA_PUNCTUATION = U"。、！？「」『』・…ー";
constexpr std::string_view DOUBLE_CONSONANTS = "bcdfghjklmprstvwxyz";
constexpr std::string_view ROMAJI_VOWELS = "aeiouy";

constexpr char32_t SMALL_TSU = U'っ', SMALL_TSU_KATAKANA = U'ッ', LONG_VOWEL = U'ー';
constexpr char32_t KATAKANA_OFFSET = 0x60;

bool is_hiragana(char32_t c) {
  return c >= 0x3041 && c <= 0x3096;
}
bool is_kana(char32_t c) {
  return is_hiragana(c) || (c >= 0x30A1 && c <= 0x30FA) || c == LONG_VOWEL;
}
bool is_kanji(char32_t c) {
  return c >= 0x4E00 && c <= 0x9FFF;
}
bool contains(std::string_view set, char32_t c) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

// One or two characters (code points below 2^21) packed into one key.
std::uint64_t kana_key(char32_t first, char32_t second = 0) {
  return (std::uint64_t{first} << 21) | second;
}

bool is_lower_letter(char32_t c) {
  return c >= 'a' && c <= 'z';
}

// Up to three lower-case ASCII letters packed into one key; nothing when
// another character is among them.
template <typename Text>
std::optional<std::uint32_t> romaji_key(Text letters) {
  std::uint32_t key = 0;
  for (auto c : letters) {
    if (!is_lower_letter(static_cast<char32_t>(c))) return std::nullopt;
    key = (key << 8) | static_cast<std::uint32_t>(c);
  }
  return key;
}

template <typename Key, typename Value>
class FlatMap {
 public:
  // Keeps the first value given for a key.
  void add(Key key, Value value) { entries_.emplace_back(key, value); }
  void finish() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }),
                   entries_.end());
  }
  [[nodiscard]] const Value* find(Key key) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                               [](const auto& entry, Key k) { return entry.first < k; });
    return it != entries_.end() && it->first == key ? &it->second : nullptr;
  }
  [[nodiscard]] std::size_t size() const { return entries_.size(); }

 private:
  std::vector<std::pair<Key, Value>> entries_;
};

struct RomajiTables {
  FlatMap<std::uint64_t, std::string_view> kana_to_romaji;
  FlatMap<std::uint32_t, std::string_view> romaji_to_kana;  // keys of 1 to 3 letters
};

std::u32string decode(std::string_view s) {
  std::u32string out;
  std::size_t pos = 0;
  while (pos < s.size()) out.push_back(text::next_code_point(s, pos));
  return out;
}

RomajiTables build_romaji_tables() {
  RomajiTables tables;
  // Single kana first, with their katakana forms; then the katakana forms of
  // the two-kana rows, which no single row can shadow.
  for (const KanaRomaji& row : KANA_ROMAJI_PAIRS) {
    const std::u32string kana = decode(row.kana);
    if (kana.size() == 1) {
      tables.kana_to_romaji.add(kana_key(kana[0]), row.romaji);
      if (is_hiragana(kana[0])) {
        tables.kana_to_romaji.add(kana_key(kana[0] + KATAKANA_OFFSET), row.romaji);
      }
    } else {
      tables.kana_to_romaji.add(kana_key(kana[0], kana[1]), row.romaji);
    }
  }
  for (const KanaRomaji& row : KANA_ROMAJI_PAIRS) {
    const std::u32string kana = decode(row.kana);
    if (kana.size() == 2) {
      tables.kana_to_romaji.add(kana_key(kana[0] + KATAKANA_OFFSET, kana[1] + KATAKANA_OFFSET),
                                row.romaji);
    }
  }
  for (const KanaRomaji& row : KANA_ROMAJI_PAIRS) {
    tables.romaji_to_kana.add(*romaji_key(row.romaji), row.kana);
  }
  tables.kana_to_romaji.finish();
  tables.romaji_to_kana.finish();
  return tables;
}

const RomajiTables& romaji_tables() {
  static const RomajiTables tables = build_romaji_tables();  // built once, thread-safe
  return tables;
}

bool starts_with_vowel(std::string_view romaji, std::string_view vowels) {
  return !romaji.empty() && vowels.find(romaji[0]) != std::string_view::npos;
}

ToolResult read_kana(const std::u32string& s) {
  const auto& table = romaji_tables().kana_to_romaji;
  std::string out;
  char last_letter = 0;
  auto at = [&](std::size_t i) -> char32_t { return i < s.size() ? s[i] : 0; };
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = s[i];
    if (c == SMALL_TSU || c == SMALL_TSU_KATAKANA) {
      const std::string_view* next = nullptr;
      if (i + 1 < s.size()) {
        next = table.find(i + 2 < s.size() ? kana_key(s[i + 1], s[i + 2]) : kana_key(s[i + 1]));
        if (next == nullptr) next = table.find(kana_key(s[i + 1]));
      }
      if (next != nullptr && !next->empty() && !starts_with_vowel(*next, "aeioun")) {
        out.push_back((*next)[0]);
      }
      last_letter = 0;
      ++i;
      continue;
    }
    if (c == LONG_VOWEL) {
      for (const auto& [plain, macron] : MACRON_VOWELS) {
        if (last_letter == plain) {
          out.pop_back();
          out.append(macron);
        }
      }
      last_letter = 0;
      ++i;
      continue;
    }
    if (const auto* romaji = table.find(i + 1 < s.size() ? kana_key(c, s[i + 1]) : kana_key(c))) {
      out.append(*romaji);
      last_letter = romaji->back();
      i += 2;
      continue;
    }
    if (const auto* romaji = table.find(kana_key(c))) {
      if (c == U'ん' || c == U'ン') {
        const auto* following = table.find(kana_key(at(i + 1)));
        const bool separate = following != nullptr && starts_with_vowel(*following, "aeiouy");
        out.append(separate ? "n'" : "n");
      } else {
        out.append(*romaji);
      }
      last_letter = romaji->back();
      ++i;
      continue;
    }
    if (text::is_white_space(c)) {
      out.push_back(' ');
    } else if (KANA_PUNCTUATION.find(c) != std::u32string_view::npos) {
      text::append_utf8(out, c);
    } else {
      std::string sentence = "\"";
      text::append_utf8(sentence, c);
      sentence.append("\" is not kana — kanji conversion ships with the native engine");
      return ToolResult::error(std::move(sentence));
    }
    last_letter = 0;
    ++i;
  }
  return ToolResult::output("romaji:    " + out);
}

bool is_romaji_character(char32_t c) {
  return text::is_white_space(c) || is_lower_letter(c) || (c >= 'A' && c <= 'Z') ||
         contains("!',-.?", c) || c == U'\u2019';
}

ToolResult read_romaji(std::u32string s) {
  if (!std::all_of(s.begin(), s.end(), is_romaji_character)) {
    return ToolResult::error("Expected kana or romaji text");
  }
  for (char32_t& c : s) {
    if (c >= 'A' && c <= 'Z') c += 32;
  }
  const auto& table = romaji_tables().romaji_to_kana;
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const char32_t c = s[i];
    const char32_t next = i + 1 < s.size() ? s[i + 1] : 0;
    if (text::is_white_space(c)) {
      out.push_back(' ');
      ++i;
    } else if (c == '\'') {
      ++i;
    } else if (!is_lower_letter(c)) {
      text::append_utf8(out, c);
      ++i;
    } else if (contains(DOUBLE_CONSONANTS, c) && next == c) {
      out.append("っ");
      ++i;
    } else if (c == 'n' && !contains(ROMAJI_VOWELS, next)) {
      out.append("ん");
      ++i;
    } else {
      // Longest key first: "nya" before "n".
      const std::string_view* kana = nullptr;
      std::size_t length = std::min<std::size_t>(3, s.size() - i);
      for (; length > 0; --length) {
        if (auto key = romaji_key(s.substr(i, length)); key && (kana = table.find(*key))) break;
      }
      if (kana == nullptr) {
        std::string sentence = "Cannot parse \"";
        for (std::size_t k = i; k < s.size() && k < i + 8; ++k) text::append_utf8(sentence, s[k]);
        sentence.append("…\" as romaji");
        return ToolResult::error(std::move(sentence));
      }
      out.append(*kana);
      i += length;
    }
  }
  return ToolResult::output("hiragana:  " + out);
}

}  // namespace

ToolResult romaji_tool(std::string_view input) {
  const std::string_view trimmed = text::trim(input);
  if (trimmed.empty()) return ToolResult::error("Empty input");
  std::u32string s = decode(trimmed);
  if (std::any_of(s.begin(), s.end(), is_kanji)) {
    return ToolResult::error(
        "Kanji conversion ships with the native engine — kana ⇄ romaji works today");
  }
  if (std::any_of(s.begin(), s.end(), is_kana)) return read_kana(s);
  return read_romaji(std::move(s));
}

std::array<std::size_t, 2> romaji_table_sizes() {
  const RomajiTables& tables = romaji_tables();
  return {tables.kana_to_romaji.size(), tables.romaji_to_kana.size()};
}

}  // namespace pelloriand::tools
