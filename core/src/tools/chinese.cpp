// The `chinese` tool: Simplified <-> Traditional conversion, one character at a
// time, through fixed character tables. The four direction tables are derived
// once from two stored pair lists and shared read-only afterwards.
#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "text.h"
#include "tools/entries.h"
#include "tools/script_tables.h"

namespace pelloriand::tools {
namespace {

// Tokens of two characters, Simplified form first, Traditional second.
constexpr std::string_view HANZI_PAIRS_MAIN =
    "万萬 与與 专專 业業 丛叢 东東 丝絲 丢丟 两兩 严嚴 个個 丰豐 "
    "临臨 为為 丽麗 举舉 义義 乌烏 乐樂 乔喬 习習 乡鄉 书書 买買 "
    "乱亂 争爭 于於 亏虧 亚亞 产產 亩畝 亲親 亿億 仅僅 从從 仓倉 "
    "仪儀 们們 价價 众眾 优優 会會 传傳 伤傷 伦倫 伪偽 体體 侨僑 "
    "俭儉 债債 侦偵 侧側 侥僥 儿兒 党黨 兰蘭 关關 兴興 养養 兽獸 "
    "内內 冈岡 军軍 农農 冯馮 冲沖 决決 况況 冻凍 净淨 凄淒 凉涼 "
    "减減 凑湊 几幾 凤鳳 凭憑 凯凱 击擊 凿鑿 刘劉 则則 刚剛 创創 "
    "别別 剂劑 剧劇 办辦 务務 动動 劝勸 劳勞 势勢 勋勳 币幣 帅帥 "
    "师師 带帶 帘簾 帮幫 广廣 庆慶 庄莊 应應 张張 归歸 当當 录錄 "
    "彻徹 径徑 复復 忧憂 怀懷 态態 怜憐 怅悵 忆憶 惨慘 惩懲 恼惱 "
    "惧懼 悬懸 恋戀 恒恆 恳懇 恶惡 懒懶 战戰 戏戲 扎紮 扑撲 执執 "
    "扩擴 扫掃 扬揚 扰擾 抚撫 抛拋 抡掄 抢搶 护護 报報 拟擬 拢攏 "
    "拥擁 拦攔 拣揀 拨撥 择擇 挂掛 挡擋 挣掙 挤擠 挥揮 捞撈 损損 "
    "捡撿 换換 捣搗 掳擄 掷擲 掸撣 掺摻 叙敘 将將 尔爾 尘塵 尝嘗 "
    "尽盡 层層 屉屜 届屆 属屬 屡屢 屿嶼 岁歲 岂豈 岖嶇 岗崗 岚嵐 "
    "岛島 峦巒 崭嶄 嵘嶸 帐帳 帜幟 庐廬 庙廟 庞龐 废廢 开開 异異 "
    "弃棄 弹彈 弥彌 强強 征徵 悦悅 悯憫 恽惲 恺愷 恻惻 惊驚 惯慣 "
    "愿願 慑懾 愦憒 惫憊 惬愜 惭慚 惮憚 么麼 发發 后後 门門 问問 "
    "间間 闻聞 阅閱 闷悶 闹鬧 阂閡 阀閥 阁閣 阉閹 阎閻 阐闡 阑闌 "
    "队隊 阳陽 阴陰 阵陣 阶階 际際 陆陸 险險 随隨 隐隱 隽雋 难難 "
    "雏雛 雳靂 电電 雾霧 顶頂 顷頃 项項 顺順 须須 顽頑 顾顧 顿頓 "
    "颁頒 颂頌 预預 颅顱 领領 颇頗 颈頸 颊頰 颌頜 颍潁 颏頦 颐頤 "
    "频頻 颓頹 颖穎 颗顆 题題 颚顎 颛顓 颜顏 额額 颞顳 颠顛 颡顙 "
    "颢顥 颧顴 风風 飏颺 飐颭 飑飆 飞飛 饺餃 饼餅 饽餑 饶饒 饷餉 "
    "饵餌 馃餜 馄餛 馅餡 馆館 馈饋 馊餿 馋饞 馍饃 馏餾 馐饈 馑饉 "
    "馒饅 馓饊 馔饌 馕饢 马馬 驭馭 驮馱 驯馴 驰馳 驱驅 驳駁 驴驢 "
    "驶駛 驷駟 驸駙 驹駒 驺騶 驻駐 驼駝 驽駑 驾駕 驿驛 骁驍 骂罵 "
    "骄驕 骅驊 骆駱 骇駭 骈駢 骊驪 骋騁 验驗 骏駿 骐騏 骑騎 骖驂 "
    "骗騙 骘騭 骚騷 骛騖 骜驁 骝騮 骞騫 骟騸 骠驃 骡騾 骢驄 骤驟 "
    "骥驥 骧驤 鬓鬢 鱼魚 鲁魯 鲍鮑 鲜鮮 鸟鳥 鸣鳴 鸿鴻 鹅鵝 鹤鶴 "
    "麦麥 麻麻 黄黃 黑黑 默默 齐齊 齒齒 龙龍 龟龜 龚龔 齿齒 龄齡";

constexpr std::string_view HANZI_PAIRS_EXTRA =
    "汉漢 测測 试試 现現 语語 认認 识識 说說 话話 读讀 听聽 国國 "
    "学學 头頭 经經 见見 观觀 规規 视視 览覽 觉覺 觅覓 触觸 订訂 "
    "计計 讨討 训訓 讯訊 讶訝 许許 讼訟 讽諷 设設 访訪 诀訣 证證 "
    "评評 诉訴 诊診 词詞 译譯 诗詩 诚誠 诞誕 询詢 该該 详詳 课課 "
    "谁誰 让讓 远遠 运運 还還 连連 选選 适適 迟遲 遗遺 邮郵 郑鄭 "
    "邓鄧 邻鄰 软軟 较較 辆輛 辅輔 辈輩 辉輝 对對 转轉 过過 达達 "
    "进進 违違 迹跡 逻邏 遥遙 长長 闪閃 闭閉 闯闖 闰閏 闱闈 闲閑 "
    "闳閎 闸閘 闺閨 闼闥 闾閭 阏閼 阒闃 阔闊 阕闋 阖闔 阗闐 陇隴 "
    "陈陳 陕陝 陨隕 针針 钓釣 钦欽 钧鈞 钝鈍 钮鈕 钱錢 钳鉗 钻鑽 "
    "钾鉀 铃鈴 铁鐵 铅鉛 铜銅 铝鋁 铭銘 银銀 铸鑄 铺鋪 链鏈 销銷 "
    "锁鎖 锐銳 错錯 锡錫 键鍵 锦錦 锯鋸 镜鏡 镰鐮 镇鎮 吓嚇 呐吶 "
    "呕嘔 呗唄 呛嗆 呜嗚 咏詠 咛嚀 哑啞 晓曉 唛嘜 唠嘮 唢嗩 唤喚 "
    "啧嘖 啸嘯 喷噴 饭飯 饮飲 饿餓 饱飽 饰飾 馀餘 饪飪 响響 韵韻 "
    "韩韓 静靜 靓靚 飨饗 饸餄 饹餎 颟顢 颣纇 颋頲 疗療 疡瘍 疮瘡 "
    "疯瘋 痒癢 痪瘓 痴癡 瘪癟 瘿癭 瘾癮 癞癩 癣癬 叹嘆 叽嘰";

// Traditional forms that several Simplified characters share, or that are
// better read as the common Simplified character, written over the derived
// Traditional-to-Simplified table.
constexpr std::pair<char32_t, char32_t> T2S_OVERRIDES[] = {
    {U'臺', U'台'}, {U'檯', U'台'}, {U'裡', U'里'}, {U'裏', U'里'},
    {U'麵', U'面'}, {U'髮', U'发'}, {U'乾', U'干'}, {U'隻', U'只'},
};

using CharMap = std::map<char32_t, char32_t>;

// A finished direction table: sorted by key for binary search.
class HanziMap {
 public:
  HanziMap() = default;
  explicit HanziMap(const CharMap& map) : pairs_(map.begin(), map.end()) {}

  [[nodiscard]] std::size_t size() const { return pairs_.size(); }

  [[nodiscard]] char32_t convert(char32_t c) const {
    auto it = std::lower_bound(pairs_.begin(), pairs_.end(), c,
                               [](const auto& pair, char32_t key) { return pair.first < key; });
    return it != pairs_.end() && it->first == c ? it->second : c;
  }

 private:
  std::vector<std::pair<char32_t, char32_t>> pairs_;
};

// The four directions, in the order of HanziTables.
constexpr std::array<std::string_view, 4> DIRECTIONS{"s2t", "t2s", "s2tw", "s2hk"};

using HanziTables = std::array<HanziMap, 4>;

// Every white-space-separated piece of exactly two characters becomes one pair;
// a later piece with the same first character replaces the earlier value.
CharMap parse_char_pairs(std::string_view pairs) {
  CharMap map;
  std::size_t pos = 0;
  while (pos < pairs.size()) {
    char32_t piece[3];
    std::size_t length = 0;
    while (pos < pairs.size()) {
      std::size_t next = pos;
      const char32_t c = text::next_code_point(pairs, next);
      pos = next;
      if (text::is_white_space(c)) {
        if (length == 0) continue;
        break;
      }
      if (length < 3) piece[length] = c;
      ++length;
    }
    if (length == 2) map[piece[0]] = piece[1];
  }
  return map;
}

HanziTables build_hanzi_tables() {
  CharMap simplified_to_traditional = parse_char_pairs(HANZI_PAIRS_MAIN);
  for (const auto& [s, t] : parse_char_pairs(HANZI_PAIRS_EXTRA)) {
    simplified_to_traditional.emplace(s, t);  // the main list wins
  }
  simplified_to_traditional.emplace(U'写', U'寫');

  // Reverse the pairs, the first source of a Traditional character winning.
  // Self-pairs (齒齒) are walked last, so 齒 goes back to 齿, the character a
  // reader converting to Simplified expects, rather than staying as it is.
  CharMap traditional_to_simplified;
  for (bool identity : {false, true}) {
    for (const auto& [s, t] : simplified_to_traditional) {
      if ((s == t) == identity) traditional_to_simplified.emplace(t, s);
    }
  }
  for (const auto& [t, s] : T2S_OVERRIDES) traditional_to_simplified[t] = s;

  CharMap taiwan = simplified_to_traditional;
  taiwan[U'台'] = U'臺';
  taiwan[U'里'] = U'裡';
  CharMap hong_kong = simplified_to_traditional;
  hong_kong[U'台'] = U'檯';
  hong_kong[U'里'] = U'裏';
  return {HanziMap(simplified_to_traditional), HanziMap(traditional_to_simplified),
          HanziMap(taiwan), HanziMap(hong_kong)};
}

const HanziTables& hanzi_tables() {
  static const HanziTables tables = build_hanzi_tables();  // built once, thread-safe
  return tables;
}

}  // namespace

ToolResult chinese_tool(std::string_view input, const ToolOptions* options) {
  const std::string_view target = find_target(options).value_or("s2t");
  const std::string_view trimmed = text::trim(input);
  if (trimmed.empty()) return ToolResult::error("Empty input");
  const auto direction = std::find(DIRECTIONS.begin(), DIRECTIONS.end(), target);
  if (direction == DIRECTIONS.end()) {
    return ToolResult::error("Unknown direction: " + std::string(target));
  }
  // The tables are built only once a request gets past both checks.
  const HanziMap& map = hanzi_tables()[direction - DIRECTIONS.begin()];

  std::string out;
  out.reserve(trimmed.size());
  std::size_t pos = 0;
  while (pos < trimmed.size()) {
    const std::size_t start = pos;
    const char32_t c = text::next_code_point(trimmed, pos);
    // Only multi-byte characters can be Chinese; copy everything else verbatim.
    if (c < 0x3000) {
      out.append(trimmed.substr(start, pos - start));
      continue;
    }
    text::append_utf8(out, map.convert(c));
  }
  return ToolResult::output(std::move(out));
}

std::array<std::size_t, 4> hanzi_table_sizes() {
  const HanziTables& tables = hanzi_tables();
  return {tables[0].size(), tables[1].size(), tables[2].size(), tables[3].size()};
}

}  // namespace pelloriand::tools
