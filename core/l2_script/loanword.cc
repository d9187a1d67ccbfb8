#include "core/l2_script/loanword.h"

#include <algorithm>
#include <array>
#include <functional>

#include "core/utf8.h"

namespace zenkor::l2_script::loanword {
namespace {

// A katakana pair and the spelling it folds to (one or two characters).
struct PairRule {
  char32_t first;
  char32_t second;
  std::u32string_view replacement;
};

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

struct SingleRule {
  char32_t from;
  char32_t to;
};

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

const PairRule* find_pair(char32_t c, char32_t d) noexcept {
  const PairRule key{c, d, {}};
  const auto it = std::lower_bound(PAIR_RULES.begin(), PAIR_RULES.end(), key, pair_less);
  return it != PAIR_RULES.end() && it->first == c && it->second == d ? &*it : nullptr;
}

char32_t map_single(char32_t c) noexcept {
  const auto it = std::lower_bound(SINGLE_RULES.begin(), SINGLE_RULES.end(), c,
                                   [](const SingleRule& r, char32_t key) { return r.from < key; });
  return it != SINGLE_RULES.end() && it->from == c ? it->to : c;
}

bool is_small_ya_yu_yo(char32_t c) noexcept { return c == U'ャ' || c == U'ュ' || c == U'ョ'; }

bool is_katakana_word_char(char32_t c) noexcept {
  return (c >= U'ァ' && c <= U'ヺ') || c == U'ー' || (c >= 0x31F0 && c <= 0x31FF);
}

}  // namespace

void unify_loanword_kana(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  std::size_t copied = 0;  // in[0, copied) is already in `out`
  std::size_t pos = 0;
  while (pos < in.size()) {
    pos += utf8::ascii_prefix(in, pos);
    if (pos == in.size()) break;
    const std::size_t start = pos;
    const char32_t c = utf8::next(in, pos);
    char32_t d = 0;
    std::size_t after_pair = pos;
    if (pos < in.size()) d = utf8::next(in, after_pair);
    if (const PairRule* rule = find_pair(c, d)) {
      out.append(in, copied, start - copied);
      for (const char32_t r : rule->replacement) utf8::append(out, r);
      pos = copied = after_pair;
      continue;
    }
    // ヴャ ヴュ ヴョ become ビャ ビュ ビョ; the small kana is copied next.
    const char32_t single = c == U'ヴ' && is_small_ya_yu_yo(d) ? U'ビ' : map_single(c);
    if (single == c) continue;
    out.append(in, copied, start - copied);
    utf8::append(out, single);
    copied = pos;
  }
  out.append(in, copied);
}

void strip_trailing_prolonged(std::string_view in, std::string& out, std::size_t min_length) {
  out.clear();
  out.reserve(in.size());
  std::size_t copied = 0;  // in[0, copied) is already in `out`
  std::size_t pos = 0;
  while (pos < in.size()) {
    pos += utf8::ascii_prefix(in, pos);
    if (pos == in.size()) break;
    std::size_t word_end = pos;
    std::size_t length = 0;
    char32_t last = 0;
    for (std::size_t k = pos; k < in.size();) {
      const char32_t c = utf8::next(in, k);
      if (!is_katakana_word_char(c)) break;
      word_end = k;
      last = c;
      ++length;
    }
    if (length == 0) {
      pos += utf8::sequence_length(static_cast<unsigned char>(in[pos]));
      continue;
    }
    if (length >= min_length && length >= 2 && last == U'ー') {
      const std::size_t mark_start = word_end - utf8::encoded_length(U'ー');
      out.append(in, copied, mark_start - copied);
      copied = word_end;
    }
    pos = word_end;
  }
  out.append(in, copied);
}

}  // namespace zenkor::l2_script::loanword
