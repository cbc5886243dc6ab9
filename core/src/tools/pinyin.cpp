// The `pinyin` tool: the Hanyu Pinyin reading of the characters it knows, one
// syllable per character, with tone marks (default) or tone digits. The
// reading table is a stored list of character+syllable tokens, parsed once.
#include <algorithm>
#include <vector>

#include "text.h"
#include "tools/entries.h"
#include "tools/script_tables.h"

namespace pelloriand::tools {
namespace {

// Each token: one character, its syllable in lower-case ASCII ("v" for ü) and a
// tone digit, 5 for the neutral tone.
constexpr std::string_view PINYIN_TABLE_TEXT =
    "的de5 一yi1 是shi4 不bu4 他ta1 了le5 人ren2 我wo3 在zai4 个ge4 有you3 "
    "这zhe4 上shang4 来lai2 大da4 地di4 为wei4 子zi3 中zhong1 你ni3 说shuo1 "
    "生sheng1 国guo2 年nian2 着zhe5 就jiu4 那na4 和he2 要yao4 她ta1 得de2 "
    "过guo4 里li3 后hou4 自zi4 以yi3 会hui4 家jia1 下xia4 天tian1 能neng2 "
    "心xin1 学xue2 去qu4 之zhi1 好hao3 日ri4 没mei2 发fa1 成cheng2 事shi4 "
    "作zuo4 想xiang3 当dang1 看kan4 文wen2 开kai1 手shou3 十shi2 用yong4 "
    "行xing2 方fang1 又you4 如ru2 前qian2 所suo3 本ben3 见jian4 经jing1 头tou2 "
    "面mian4 公gong1 同tong2 己ji3 已yi3 儿er2 老lao3 先xian1 书shu1 名ming2 "
    "字zi4 动dong4 问wen4 门men2 机ji1 很hen3 两liang3 现xian4 加jia1 电dian4 "
    "常chang2 果guo3 气qi4 太tai4 信xin4 水shui3 话hua4 高gao1 第di4 每mei3 "
    "白bai2 回hui2 答da2 汉han4 语yu3 员yuan2 合he2 明ming2 世shi4 界jie4 "
    "立li4 部bu4 知zhi1 内nei4 重zhong4 走zou3 小xiao3 火huo3 山shan1 东dong1 "
    "南nan2 西xi1 北bei3 站zhan4 新xin1 闻wen2 听ting1 读du2 写xie3 讲jiang3 "
    "谢xie4 请qing3 对dui4 买mai3 卖mai4 钱qian2 菜cai4 饭fan4 喝he1 吃chi1 "
    "睡shui4 觉jiao4 床chuang2 房fang2 车che1 路lu4 飞fei1 马ma3 鸟niao3 鱼yu2 "
    "龙long2 云yun2 雨yu3 风feng1 雪xue3 星xing1 月yue4 晚wan3 春chun1 夏xia4 "
    "秋qiu1 冬dong1 冷leng3 热re4 爱ai4 爸ba4 妈ma1 弟di4 姐jie3 妹mei4 女nv3 "
    "男nan2 朋peng2 友you3 老lao3 师shi1 校xiao4 医yi1 院yuan4 药yao4 银yin2 "
    "网wang3 脑nao3 号hao4 码ma3 姓xing4 时shi2 间jian1 分fen1 秒miao3 昨zuo2 "
    "今jin1 午wu3 早zao3 正zheng4 反fan3 关guan1 多duo1 少shao3 低di1 旧jiu4 "
    "坏huai4 难nan2 长chang2 短duan3 轻qing1 快kuai4 慢man4 远yuan3 近jin4 "
    "工gong1 作zuo4 办ban4 公gong1 司si1 商shang1 店dian4 医yi1";

// The plain vowel, then its forms for tones 1 to 4.
constexpr std::string_view TONE_MARKS[6][5] = {
    {"a", "ā", "á", "ǎ", "à"}, {"e", "ē", "é", "ě", "è"}, {"i", "ī", "í", "ǐ", "ì"},
    {"o", "ō", "ó", "ǒ", "ò"}, {"u", "ū", "ú", "ǔ", "ù"}, {"ü", "ǖ", "ǘ", "ǚ", "ǜ"},
};

using PinyinTable = std::vector<std::pair<char32_t, std::string_view>>;  // sorted by character

PinyinTable build_pinyin_table() {
  PinyinTable table;
  std::size_t pos = 0;
  while (pos < PINYIN_TABLE_TEXT.size()) {
    std::size_t end = PINYIN_TABLE_TEXT.find(' ', pos);
    if (end == std::string_view::npos) end = PINYIN_TABLE_TEXT.size();
    const std::string_view token = PINYIN_TABLE_TEXT.substr(pos, end - pos);
    pos = end + 1;
    std::size_t after_key = 0;
    const char32_t key = text::next_code_point(token, after_key);
    if (after_key == token.size()) continue;
    table.emplace_back(key, token.substr(after_key));
  }
  // A stable sort keeps repeated characters in stored order; the first wins.
  std::stable_sort(table.begin(), table.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  table.erase(std::unique(table.begin(), table.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              table.end());
  return table;
}

const PinyinTable& pinyin_table() {
  static const PinyinTable table = build_pinyin_table();  // built once, thread-safe
  return table;
}

const std::string_view* find_syllable(char32_t c) {
  const PinyinTable& table = pinyin_table();
  auto it = std::lower_bound(table.begin(), table.end(), c,
                             [](const auto& entry, char32_t key) { return entry.first < key; });
  return it != table.end() && it->first == c ? &it->second : nullptr;
}

constexpr int ROW_A = 0, ROW_E = 1, ROW_I = 2, ROW_O = 3, ROW_U = 4, ROW_U_UMLAUT = 5;

// The vowels of a syllable already spelt with "ü": index into TONE_MARKS, or -1.
int vowel_row(std::string_view s, std::size_t i) {
  switch (s[i]) {
    case 'a':
      return ROW_A;
    case 'e':
      return ROW_E;
    case 'i':
      return ROW_I;
    case 'o':
      return ROW_O;
    case 'u':
      return ROW_U;
    default:
      return s.substr(i, 2) == "ü" ? ROW_U_UMLAUT : -1;
  }
}

std::size_t vowel_length(int row) {
  return row == ROW_U_UMLAUT ? 2 : 1;
}

// A run of vowels: (byte offset in the syllable, row in TONE_MARKS).
using VowelRun = std::vector<std::pair<std::size_t, int>>;

// Which vowel of the run carries the tone mark: ü when it leads, else a, o, e,
// else the u of "iu" or the i of "ui", else the last.
std::size_t choose_marked_vowel(const VowelRun& run) {
  if (run[0].second == ROW_U_UMLAUT) return 0;
  for (int row : {ROW_A, ROW_O, ROW_E}) {
    for (std::size_t k = 0; k < run.size(); ++k) {
      if (run[k].second == row) return k;
    }
  }
  if (run.size() == 1) return 0;
  for (const auto& [first, second] : {std::pair{ROW_I, ROW_U}, std::pair{ROW_U, ROW_I}}) {
    for (std::size_t k = 0; k + 1 < run.size(); ++k) {
      if (run[k].second == first && run[k + 1].second == second) return k + 1;
    }
  }
  return run.size() - 1;
}

void append_with_digits(std::string& out, std::string_view syllable) {
  if (!syllable.empty() && syllable.back() == '5') syllable.remove_suffix(1);
  out.append(syllable);
}

void append_with_marks(std::string& out, std::string_view syllable) {
  std::string s;
  for (char c : syllable) {
    if (c == 'v') {
      s.append("ü");
    } else {
      s.push_back(text::ascii_lower(c));
    }
  }
  if (s.empty()) return;
  if (s.back() == '5') {
    s.pop_back();
    out.append(s);
    return;
  }
  const char tone = s.back();
  if (tone < '1' || tone > '4') {
    out.append(s);
    return;
  }
  const std::size_t digit = s.size() - 1;

  VowelRun run;  // the first run of consecutive vowels
  std::size_t i = 0;
  while (i < digit && vowel_row(s, i) < 0) ++i;
  while (i < digit) {
    const int row = vowel_row(s, i);
    if (row < 0) break;
    run.emplace_back(i, row);
    i += vowel_length(row);
  }
  const bool letters_after = std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i),
                                         s.begin() + static_cast<std::ptrdiff_t>(digit),
                                         [](char c) { return c >= 'a' && c <= 'z'; });
  if (run.empty() || !letters_after) {
    out.append(s);
    return;
  }

  const auto [offset, row] = run[choose_marked_vowel(run)];
  out.append(s, 0, offset);
  out.append(TONE_MARKS[row][tone - '0']);
  out.append(s, offset + vowel_length(row), digit - offset - vowel_length(row));
}

}  // namespace

ToolResult pinyin_tool(std::string_view input, const ToolOptions* options) {
  const bool digits_mode = find_target(options) == std::optional<std::string_view>("numbers");
  const std::string_view trimmed = text::trim(input);
  if (trimmed.empty()) return ToolResult::error("Empty input");

  std::string out;
  out.reserve(trimmed.size() * 2);
  std::size_t run_start = 0, run_end = 0;  // the pending run of copied characters
  auto next_token = [&out]() -> std::string& {
    if (!out.empty()) out.push_back(' ');
    return out;
  };
  auto end_run = [&] {
    if (run_end > run_start) next_token().append(trimmed.substr(run_start, run_end - run_start));
  };
  std::size_t pos = 0;
  while (pos < trimmed.size()) {
    const std::size_t start = pos;
    const char32_t c = text::next_code_point(trimmed, pos);
    if (text::is_white_space(c)) {
      end_run();
      run_start = run_end = pos;
      continue;
    }
    if (const std::string_view* syllable = find_syllable(c)) {
      end_run();
      run_start = run_end = pos;
      if (digits_mode) {
        append_with_digits(next_token(), *syllable);
      } else {
        append_with_marks(next_token(), *syllable);
      }
      continue;
    }
    if (run_end == run_start) run_start = start;
    run_end = pos;
  }
  end_run();
  return ToolResult::output(std::move(out));
}

std::size_t pinyin_table_size() {
  return pinyin_table().size();
}

}  // namespace pelloriand::tools
