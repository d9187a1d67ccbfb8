#include "core/l2_script/loanword.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "core/text/chars.h"
#include "core/text/rewriter.h"
#include "core/text/utf8.h"

namespace zenkor::l2_script::loanword {
namespace {

// A katakana pair and the spelling it folds to (one or two characters).
struct PairRule {
  char32_t first;
  char32_t second;
  std::u32string_view replacement;
};

// Source: curated by the team from the variant spellings of foreign sounds in katakana.
constexpr std::array<PairRule, 11> PAIR_RULES = {{
    {U'ウ', U'ィ', U"ウイ"},
    {U'ウ', U'ェ', U"ウエ"},
    {U'ウ', U'ォ', U"ウオ"},
    {U'テ', U'ィ', U"テイ"},
    {U'デ', U'ィ', U"デイ"},
    {U'ト', U'ゥ', U"ツ"},
    {U'ド', U'ゥ', U"ズ"},
    {U'ヴ', U'ァ', U"バ"},
    {U'ヴ', U'ィ', U"ビ"},
    {U'ヴ', U'ェ', U"ベ"},
    {U'ヴ', U'ォ', U"ボ"},
}};
constexpr auto pair_less = [](const PairRule& a, const PairRule& b) {
  return a.first != b.first ? a.first < b.first : a.second < b.second;
};
static_assert(std::adjacent_find(PAIR_RULES.begin(), PAIR_RULES.end(), std::not_fn(pair_less)) == PAIR_RULES.end());

// The pairs as bits, for the scan's test of every ー and small kana: per
// first character from U+30A0, the seconds from U+30A0 (all small vowels).
constexpr char32_t KATAKANA_BLOCK = 0x30A0;
constexpr std::array<std::uint16_t, 0x60> PAIR_SECONDS = [] {
  std::array<std::uint16_t, 0x60> seconds{};
  for (const PairRule& r : PAIR_RULES) {
    seconds[r.first - KATAKANA_BLOCK] |= static_cast<std::uint16_t>(1U << (r.second - KATAKANA_BLOCK));
  }
  return seconds;
}();
constexpr bool in_block(char32_t c, char32_t size) { return c >= KATAKANA_BLOCK && c < KATAKANA_BLOCK + size; }
static_assert(std::all_of(PAIR_RULES.begin(), PAIR_RULES.end(),
                          [](const PairRule& r) { return in_block(r.first, 0x60) && in_block(r.second, 16); }));

struct SingleRule {
  char32_t from;
  char32_t to;
};

// Source: curated by the team: obsolete or rare kana and their plain spellings.
constexpr std::array<SingleRule, 5> SINGLE_RULES = {{
    {U'ヂ', U'ジ'},
    {U'ヅ', U'ズ'},
    {U'ヰ', U'イ'},
    {U'ヱ', U'エ'},
    {U'ヴ', U'ブ'},
}};
static_assert(std::adjacent_find(SINGLE_RULES.begin(), SINGLE_RULES.end(), [](const SingleRule& a, const SingleRule& b) {
                return a.from >= b.from;
              }) == SINGLE_RULES.end());

// The stage jumps to characters in this range; every rule must start there.
constexpr bool starts_in_range(char32_t c) { return c >= U'ウ' && c <= U'ヴ'; }
static_assert(std::all_of(PAIR_RULES.begin(), PAIR_RULES.end(), [](const PairRule& r) { return starts_in_range(r.first); }));
static_assert(std::all_of(SINGLE_RULES.begin(), SINGLE_RULES.end(), [](const SingleRule& r) { return starts_in_range(r.from); }));

// Whether a rule starts with the character, from KATAKANA_BLOCK: most katakana
// start none, and the loop passes them with one test.
constexpr std::array<bool, 0x60> RULE_STARTS = [] {
  std::array<bool, 0x60> starts{};
  for (const PairRule& r : PAIR_RULES) starts[r.first - KATAKANA_BLOCK] = true;
  for (const SingleRule& r : SINGLE_RULES) starts[r.from - KATAKANA_BLOCK] = true;
  return starts;
}();
static_assert(std::all_of(SINGLE_RULES.begin(), SINGLE_RULES.end(),
                          [](const SingleRule& r) { return in_block(r.from, 0x60); }));

bool is_rule_start(char32_t c) noexcept {
  const char32_t k = c - KATAKANA_BLOCK;  // wraps below the base
  return k < RULE_STARTS.size() && RULE_STARTS[k];
}

const PairRule* find_pair(char32_t c, char32_t d) noexcept {
  const PairRule key{c, d, {}};
  const auto it = std::lower_bound(PAIR_RULES.begin(), PAIR_RULES.end(), key, pair_less);
  return it != PAIR_RULES.end() && it->first == c && it->second == d ? &*it : nullptr;
}

const SingleRule* find_single(char32_t c) noexcept {
  const auto it = std::lower_bound(SINGLE_RULES.begin(), SINGLE_RULES.end(), c,
                                   [](const SingleRule& r, char32_t key) { return r.from < key; });
  return it != SINGLE_RULES.end() && it->from == c ? &*it : nullptr;
}

char32_t map_single(char32_t c) noexcept {
  const SingleRule* rule = find_single(c);
  return rule != nullptr ? rule->to : c;
}

// The first character of `s`, or U+0000 when it is empty (no rule involves U+0000).
char32_t first_char(std::string_view s) noexcept {
  std::size_t pos = 0;
  return s.empty() ? U'\0' : text::utf8::next(s, pos);
}

bool is_small_ya_yu_yo(char32_t c) noexcept { return c == U'ャ' || c == U'ュ' || c == U'ョ'; }

}  // namespace

bool is_katakana_word_char(char32_t c) noexcept {
  return text::is_katakana_letter(c) || c == text::PROLONGED_SOUND_MARK || (c >= 0x31F0 && c <= 0x31FF);
}

namespace {

// Reads the input: the pair rules look at the character after the current one.
template <typename Log>
void unify_loanword_kana_with_log(std::string_view in, std::string& out, Log& log) {
  text::Rewriter w(in, out, log);
  while (!w.done()) {
    // Every rule starts with a katakana of U+30A6..U+30F4, three bytes long.
    // Seeking the next 0xE3 lead byte instead stops at nearly every kana:
    // 8.1 ms -> 5.0 ms over the corpus.
    w.skip_to_three_byte();
    if (w.done()) break;
    const char32_t c = w.next();
    if (!is_rule_start(c)) continue;
    const Folded folded = fold(c, first_char(w.rest()));
    if (folded.with_next) (void)w.take_next();  // pairs never overlap: the scan resumes after the second character
    if (folded.chars.size() == 1) {
      w.replace(folded.chars[0]);
    } else if (!folded.chars.empty()) {
      std::string replacement;
      for (const char32_t r : folded.chars) text::utf8::append(replacement, r);
      w.replace(replacement);
    }
  }
  w.finish();
}

}  // namespace

Folded fold(char32_t c, char32_t next) noexcept {
  if (!is_rule_start(c)) return {};
  if (const PairRule* rule = find_pair(c, next)) return {rule->replacement, true};
  // ヴャ ヴュ ヴョ become ビャ ビュ ビョ; the small kana is read next.
  static constexpr char32_t BI = U'ビ';
  if (c == U'ヴ' && is_small_ya_yu_yo(next)) return {std::u32string_view(&BI, 1)};
  const SingleRule* single = find_single(c);
  return single != nullptr ? Folded{std::u32string_view(&single->to, 1)} : Folded{};
}

void unify_loanword_kana(std::string_view in, std::string& out, EditLog* log) {
  with_log(log, [&](auto& l) { unify_loanword_kana_with_log(in, out, l); });
}

// Reads the input: a word ends where the next input character is no word
// character, and starts after the last one before it that is none.
void strip_trailing_prolonged(std::string_view in, std::string& out, std::size_t min_length, EditLog* log) {
  constexpr std::string_view CHOON = "ー";
  out.clear();
  out.reserve(in.size());
  const std::size_t shortest = std::max<std::size_t>(2, min_length);  // in characters, the ー counted
  std::size_t copied = 0;  // in[0, copied) is already in `out`
  // Only a ー can go, so the stage seeks each ー and looks around it:
  // 5.5 ms -> 1.5 ms over the corpus.
  for (std::size_t pos = text::utf8::find_char(in, CHOON, 0); pos != std::string_view::npos;
       pos = text::utf8::find_char(in, CHOON, pos + CHOON.size())) {
    const std::size_t end = pos + CHOON.size();
    if (is_katakana_word_char(first_char(in.substr(end)))) continue;  // not the word's last character
    std::size_t length = 1;  // the word's characters, counted back only as far as `shortest`
    for (std::size_t k = pos; length < shortest && k > 0; ++length) {
      if (!is_katakana_word_char(text::utf8::prev(in, k))) break;
    }
    if (length < shortest) continue;
    out.append(in, copied, pos - copied);
    if (log != nullptr) log->replace(pos, end, out.size(), out.size());
    copied = end;
  }
  out.append(in, copied);
}

bool unify_loanword_kana_trigger(char32_t c) noexcept { return map_single(c) != c; }

bool unify_loanword_kana_pair_trigger(char32_t first, char32_t second) noexcept {
  const char32_t f = first - KATAKANA_BLOCK;  // wraps below the base
  const char32_t s = second - KATAKANA_BLOCK;
  return f < PAIR_SECONDS.size() && s < 16 && ((PAIR_SECONDS[f] >> s) & 1) != 0;
}

}  // namespace zenkor::l2_script::loanword
