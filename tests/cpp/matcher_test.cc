// The synonym dictionary's search (the sieve) and the automaton that
// finishes the texts it gives up on, against a naive leftmost-longest scan:
// on fixed cases, on random dictionaries over small alphabets (where patterns
// overlap a lot), also with characters rare enough to take several symbols
// each in the automaton, and on dictionaries of a few hundred thousand
// variants.  The sieve stopped by its budget at any point leaves a rest whose
// matches complete its own.

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/l3_lexical/synonym/matcher.h"
#include "core/l3_lexical/synonym/sieve.h"
#include "core/text/utf8.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::l3_lexical::synonym::matcher::Automaton;
using zenkor::l3_lexical::synonym::matcher::BuildError;
using zenkor::l3_lexical::synonym::matcher::Match;
using zenkor::l3_lexical::synonym::matcher::Pattern;
using zenkor::l3_lexical::synonym::matcher::Spelling;
using zenkor::l3_lexical::synonym::sieve::Sieve;

std::vector<Match> find_all(const Automaton& automaton, std::string_view text) {
  std::vector<Match> matches;
  automaton.for_each_match(text, [&](const Match& m) {
    matches.push_back(m);
    return true;
  });
  return matches;
}

// A sieve whose canonical forms are the words' indices, so that its matches
// read as the automaton's.
Sieve sieve_of(const std::vector<std::string>& words, std::vector<std::string>& indices) {
  indices.clear();
  for (std::size_t i = 0; i < words.size(); ++i) indices.push_back(std::to_string(i));
  std::vector<zenkor::l3_lexical::synonym::sieve::Rule> rules;
  for (std::size_t i = 0; i < words.size(); ++i) rules.push_back({words[i], indices[i]});
  return *Sieve::build(rules);
}

// The sieve's matches within `budget`, and where it stopped.
std::pair<std::vector<Match>, std::size_t> sift(const Sieve& sieve, std::string_view text,
                                                std::size_t budget = Sieve::UNLIMITED) {
  std::vector<Match> matches;
  const std::size_t stopped = sieve.for_each_match(text, budget, [&](const auto& f) {
    matches.push_back({f.start, f.end, static_cast<std::uint32_t>(std::stoul(std::string(f.canonical)))});
    return true;
  });
  return {matches, stopped};
}

std::vector<Pattern> to_patterns(const std::vector<std::string>& words) {
  std::vector<Pattern> patterns;
  for (std::size_t i = 0; i < words.size(); ++i) patterns.emplace_back(words[i], static_cast<std::uint32_t>(i));
  return patterns;
}

// At each character, the longest pattern starting there; the scan jumps past
// every match.  A pattern given twice keeps its last value.
std::vector<Match> naive(const std::vector<std::string>& words, const std::string& text) {
  std::map<std::string, std::uint32_t> value;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (!words[i].empty()) value[words[i]] = static_cast<std::uint32_t>(i);
  }
  std::vector<Match> out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::string* best = nullptr;
    for (const auto& [w, v] : value) {
      if (text.compare(pos, w.size(), w) == 0 && (best == nullptr || w.size() > best->size())) best = &w;
    }
    if (best != nullptr) {
      out.push_back({pos, pos + best->size(), value[*best]});
      pos += best->size();
    } else {
      (void)zenkor::text::utf8::next(text, pos);
    }
  }
  return out;
}

// The naive scan, where `accepts(match)` decides whether a match is taken:
// when it is not, the next shorter word that starts there is offered.
template <typename Accepts>
std::vector<Match> naive_accepted(const std::vector<std::string>& words, const std::string& text, Accepts&& accepts) {
  std::map<std::string, std::uint32_t> value;
  for (std::size_t i = 0; i < words.size(); ++i) value[words[i]] = static_cast<std::uint32_t>(i);
  std::vector<Match> out;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t taken = 0;
    for (std::size_t len = text.size() - pos; len > 0 && taken == 0; --len) {
      const auto it = value.find(text.substr(pos, len));
      if (it != value.end() && accepts(Match{pos, pos + len, it->second})) {
        out.push_back({pos, pos + len, it->second});
        taken = len;
      }
    }
    if (taken > 0) {
      pos += taken;
    } else {
      (void)zenkor::text::utf8::next(text, pos);
    }
  }
  return out;
}

// One to `max_len` pieces of `alphabet`, picked at random.
std::string random_text(std::mt19937& rng, const std::vector<std::string>& alphabet, int max_len) {
  std::string s;
  const int len = std::uniform_int_distribution<int>(1, max_len)(rng);
  for (int i = 0; i < len; ++i) s += alphabet[rng() % alphabet.size()];
  return s;
}

// The sieve's matches of `text`, each offered to `accepts` first, with the
// index of the word its canonical form names.
template <typename Accepts>
std::vector<Match> sifted_accepted(const Sieve& sieve, std::string_view text, Accepts&& accepts) {
  std::vector<Match> sifted;
  (void)sieve.for_each_match(text, Sieve::UNLIMITED, [&](const auto& f) {
    if (!accepts(f)) return false;
    sifted.push_back({f.start, f.end, static_cast<std::uint32_t>(std::stoul(std::string(f.canonical)))});
    return true;
  });
  return sifted;
}

std::string show(const std::vector<Match>& ms) {
  std::string s;
  for (const Match& m : ms) {
    s += '[';
    s += std::to_string(m.start);
    s += ',';
    s += std::to_string(m.end);
    s += ")=";
    s += std::to_string(m.value);
    s += ' ';
  }
  return s;
}

// With no spelling, the one build() picks.
bool same_as_naive(const std::vector<std::string>& words, const std::string& text,
                   std::optional<Spelling> spelling = std::nullopt) {
  const auto automaton =
      spelling ? Automaton::build(to_patterns(words), *spelling) : Automaton::build(to_patterns(words));
  if (!automaton.ok()) return false;
  const auto want = naive(words, text);
  std::vector<std::string> indices;
  const auto [sifted, stopped] = sift(sieve_of(words, indices), text);
  for (const auto& got : {find_all(automaton.value(), text), sifted}) {
    if (got == want && stopped == text.size()) continue;
    if (text.size() > 200) {
      std::fprintf(stderr, "text of %zu bytes: %zu matches, %zu wanted\n", text.size(), got.size(), want.size());
    } else {
      std::fprintf(stderr, "text %s\n  got  %s\n  want %s\n", text.c_str(), show(got).c_str(), show(want).c_str());
    }
    return false;
  }
  return true;
}

// The sieve given `budget`: its matches up to where it stopped, then those of
// the rest, are the naive scan's.
bool stops_cleanly(const std::vector<std::string>& words, const std::string& text, std::size_t budget) {
  std::vector<std::string> indices;
  const Sieve sieve = sieve_of(words, indices);
  auto [got, stopped] = sift(sieve, text, budget);
  if (stopped > text.size() || (stopped < text.size() && zenkor::text::utf8::is_continuation(text[stopped]))) {
    return false;
  }
  for (Match m : naive(words, text.substr(stopped))) got.push_back({stopped + m.start, stopped + m.end, m.value});
  return got == naive(words, text);
}

void fixed_cases() {
  struct Case {
    std::vector<std::string> words;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{"ab", "abcd"}, "abcde"},                // longest at the same start
      {{"ab", "bcd"}, "abcd"},                  // leftmost beats longer
      {{"a", "b"}, "ab"},                       // adjacent matches
      {{"幽白"}, "幽白と幽白"},                 // multibyte, repeated
      {{"a", "aaaab"}, "aaaaaaaa"},             // a long miss after a short match
      {{"abcd", "bc"}, "abcx"},                 // inner match when the outer fails
      {{"abcd", "b", "bcx"}, "abcx"},           // longer inner match found late
      {{"x", "xyz", "yz"}, "xyxyzyz"},
      {{"𠮷野家", "野家"}, "𠮷野家と野家"},     // beyond the BMP
      {{"", "a"}, "aa"},                        // empty patterns are ignored
      {{"a"}, ""},                              // empty text
      {{"abc"}, "zzz"},                         // no character of the text is known
      {{"ab", "ab"}, "ab"},                     // the later duplicate wins
  };
  for (const Case& c : cases) CHECK(same_as_naive(c.words, c.text));

  const auto a = Automaton::build(to_patterns({"ab", "abcd"}));
  CHECK(a.ok() && find_all(a.value(), "abcde") == std::vector<Match>{{0, 4, 1}});
  const auto dup = Automaton::build(to_patterns({"ab", "x", "ab"}));
  CHECK(dup.ok() && find_all(dup.value(), "ab") == std::vector<Match>{{0, 2, 2}});
}

// `filler` distinct characters, each more frequent in the patterns than any
// character of the random words, push those to longer spellings, except the
// first character of the alphabet, made the most frequent of all.
void random_cases(int rounds, std::size_t filler, std::optional<Spelling> spelling = std::nullopt) {
  std::mt19937 rng(20240607 + static_cast<unsigned>(filler));
  const std::vector<std::string> alphabets[] = {
      {"a", "b"},
      {"a", "b", "c"},
      {"あ", "い", "a", "𠮷"},
  };
  std::string rare;
  for (std::size_t i = 0; i < filler; ++i) zenkor::text::utf8::append(rare, static_cast<char32_t>(0x4E00 + i));
  constexpr int MAX_WORDS = 25;
  constexpr int MAX_WORD_LENGTH = 7;
  for (int round = 0; round < rounds; ++round) {
    const auto& alphabet = alphabets[round % 3];
    const auto pick = [&](int max_len) { return random_text(rng, alphabet, max_len); };
    std::vector<std::string> words(std::uniform_int_distribution<int>(1, MAX_WORDS)(rng));
    for (auto& w : words) w = pick(MAX_WORD_LENGTH);
    if (filler > 0) {
      constexpr int COPIES = MAX_WORDS * MAX_WORD_LENGTH + 1;
      words.insert(words.begin(), COPIES, rare);
      std::string frequent;
      for (int i = 0; i < 2 * COPIES; ++i) frequent += alphabet[0];
      words.push_back(frequent);
    }
    const std::string text = pick(80);
    if (!CHECK(same_as_naive(words, text, spelling))) return;
    if (!CHECK(stops_cleanly(words, text, rng() % 64))) return;
  }
}

// A text of a's and the variant "aaa...ab": reading forward, the sieve
// compares that variant at every other position, and gives up well before
// the end of the text.
void sieve_gives_up() {
  const std::vector<std::string> words = {std::string(1000, 'a') + "b", "aa"};
  const std::string text(20000, 'a');
  std::vector<std::string> indices;
  const auto [matches, stopped] = sift(sieve_of(words, indices), text, Sieve::budget(text.size()));
  CHECK(stopped < text.size() / 2);
  CHECK(stops_cleanly(words, text, Sieve::budget(text.size())));
}

void limits() {
  const std::vector<std::string> words = {"abc", "abd", "xyz"};
  const auto too_small = Automaton::build(to_patterns(words), 4);
  CHECK(!too_small.ok() && too_small.error().kind == BuildError::Kind::TooManySlots);
  const auto built = Automaton::build(to_patterns(words));
  CHECK(built.ok());
  if (built.ok()) CHECK(Automaton::build(to_patterns(words), built.value().slot_count()).ok());
}

// Every character starts a match, so the starts fill the room the matcher
// sets aside for them, at the lengths where that room moves from the stack
// to the heap (the sanitizer build catches a write past it).
void dense_starts() {
  const std::vector<std::string> words = {"a", "b", "ab", "ba"};
  std::mt19937 rng(3);
  for (std::size_t length = 240; length <= 270; ++length) {
    std::string text;
    while (text.size() < length) text += rng() % 2 ? 'a' : 'b';
    if (!CHECK(same_as_naive(words, text))) return;
  }
}

// Texts of several chunks (the matcher collects starts a chunk at a time),
// with short patterns matching across chunk ends, and a pattern of many
// kilobytes that straddles one.
void long_texts() {
  std::mt19937 rng(5);
  const std::vector<std::string> alphabet = {"a", "b", "あ", "𠮷"};
  std::string text;
  while (text.size() < 300000) text += alphabet[rng() % alphabet.size()];
  std::vector<std::string> words = {"ab", "aあ", "𠮷a", "bb𠮷", "あ𠮷あ", "ba"};
  CHECK(same_as_naive(words, text));

  // Nothing matches right before the long pattern, so it is found.
  const std::size_t start = zenkor::text::utf8::boundary_at_or_after(text, 150000);
  const std::size_t end = zenkor::text::utf8::boundary_at_or_after(text, start + 20000);
  const std::size_t gap = zenkor::text::utf8::boundary_at_or_after(text, start - 12);
  text.replace(gap, start - gap, start - gap, 'x');
  words.push_back(text.substr(start, end - start));
  CHECK(same_as_naive(words, text));
  const auto automaton = Automaton::build(to_patterns(words));
  const auto matches = automaton.ok() ? find_all(automaton.value(), text) : std::vector<Match>{};
  CHECK(std::find(matches.begin(), matches.end(), Match{start, end, 6}) != matches.end());
}

// Slots of `automaton` per byte of the words: a byte-wise trie of the words
// would have at most one node per byte.
double slots_per_byte(const std::vector<std::string>& words, const Automaton& automaton) {
  std::size_t bytes = 0;
  for (const std::string& w : words) bytes += w.size();
  std::printf("%zu words, %zu bytes, %zu slots\n", words.size(), bytes, automaton.slot_count());
  return double(automaton.slot_count()) / double(bytes);
}

// Few hundred thousand variants of kana and common kanji, as a large user
// dictionary has: the array stays dense and matches agree with the naive scan
// on sampled texts.
void large_dictionary() {
  std::mt19937 rng(7);
  std::vector<char32_t> chars;
  for (char32_t c = 0x3041; c <= 0x3093; ++c) chars.push_back(c);
  for (char32_t c = 0x4E00; c < 0x4E00 + 2000; ++c) chars.push_back(c);
  std::vector<std::string> words(300000);
  for (auto& w : words) {
    const int len = std::uniform_int_distribution<int>(2, 6)(rng);
    for (int i = 0; i < len; ++i) {
      // Skewed toward the first characters, as real text is.
      const auto skewed = static_cast<std::size_t>(std::exponential_distribution<>(0.02)(rng));
      zenkor::text::utf8::append(w, chars[std::min(chars.size() - 1, skewed)]);
    }
  }
  const auto automaton = Automaton::build(to_patterns(words));
  if (!CHECK(automaton.ok())) return;
  CHECK(slots_per_byte(words, automaton.value()) < 0.5);

  std::map<std::string, std::uint32_t> value;
  for (std::size_t i = 0; i < words.size(); ++i) value[words[i]] = static_cast<std::uint32_t>(i);
  for (int t = 0; t < 200; ++t) {
    // Texts glued from dictionary words and random characters.
    std::string text;
    for (int i = 0; i < 20; ++i) {
      if (rng() % 2) {
        text += words[rng() % words.size()];
      } else {
        zenkor::text::utf8::append(text, chars[rng() % 100]);
      }
    }
    std::vector<Match> want;
    for (std::size_t pos = 0; pos < text.size();) {
      std::size_t best = 0;
      for (std::size_t len = 1; pos + len <= text.size() && len <= 6 * 3; ++len) {
        if (value.count(text.substr(pos, len))) best = len;
      }
      if (best) {
        want.push_back({pos, pos + best, value[text.substr(pos, best)]});
        pos += best;
      } else {
        (void)zenkor::text::utf8::next(text, pos);
      }
    }
    if (!CHECK(find_all(automaton.value(), text) == want)) return;
  }
}

// `count` distinct two-kanji words drawn evenly from the first `kanji` kanji.
std::vector<std::string> two_kanji_words(unsigned seed, std::size_t count, unsigned kanji) {
  std::mt19937 rng(seed);
  std::set<std::string> unique;
  while (unique.size() < count) {
    std::string w;
    for (int i = 0; i < 2; ++i) zenkor::text::utf8::append(w, static_cast<char32_t>(0x4E00 + rng() % kanji));
    unique.insert(w);
  }
  return {unique.begin(), unique.end()};
}

// Two-kanji words drawn evenly from thousands of kanji: every state near the
// root has children spread over the whole alphabet.  The array must still be
// mostly full, not one alphabet-wide span per state.
void wide_alphabet() {
  const std::vector<std::string> words = two_kanji_words(11, 100000, 6000);
  const auto automaton = Automaton::build(to_patterns(words));
  if (!CHECK(automaton.ok())) return;
  CHECK(slots_per_byte(words, automaton.value()) < 1.2);
  // Which takes the narrow alphabet: the wide one spreads children further.
  const auto wide = Automaton::build(to_patterns(words), Spelling::Wide);
  CHECK(wide.ok() && wide.value().slot_count() > 2 * automaton.value().slot_count());
  const std::string text = words[3] + words[7] + "x" + words[3].substr(3);
  CHECK(find_all(automaton.value(), text) == std::vector<Match>{{0, 6, 3}, {6, 12, 7}});
}

// Two-kanji words drawn evenly from 900 kanji, each spelled with one symbol
// in the wide alphabet: every state near the root then has children spread
// over 900 slots.  build() gives up the wide alphabet for the narrow one.
void sparse_in_wide_alphabet() {
  const std::vector<std::string> words = two_kanji_words(13, 50000, 900);
  const auto patterns = to_patterns(words);
  const auto chosen = Automaton::build(patterns);
  const auto narrow = Automaton::build(patterns, Spelling::Narrow);
  const auto wide = Automaton::build(patterns, Spelling::Wide);
  if (!CHECK(chosen.ok() && narrow.ok() && wide.ok())) return;
  std::printf("%zu slots, %zu in the wide alphabet\n", chosen.value().slot_count(), wide.value().slot_count());
  CHECK(chosen.value().slot_count() == narrow.value().slot_count());
  CHECK(narrow.value().slot_count() < wide.value().slot_count());
}

}  // namespace

// A caller may refuse a match (a whole-word entry inside a longer word): the
// shorter words that start at the same character are offered next, longest
// first, and when all are refused the search moves on by one character.
void refused_matches() {
  std::mt19937 rng(20261208);
  const std::vector<std::string> alphabet = {"a", "b", "ア", "𠮷"};
  // Refuses about a third of the (start, end) pairs, the same ones every time.
  const auto refused = [](std::size_t start, std::size_t end) { return (start * 7 + end * 13) % 3 == 0; };
  for (int round = 0; round < 3000; ++round) {
    const auto pick = [&](int max_len) { return random_text(rng, alphabet, max_len); };
    std::vector<std::string> words(std::uniform_int_distribution<int>(1, 25)(rng));
    for (auto& w : words) w = pick(6);
    const std::string text = pick(60);
    const std::vector<Match> want =
        naive_accepted(words, text, [&](const Match& m) { return !refused(m.start, m.end); });
    const auto automaton = Automaton::build(to_patterns(words));
    if (!CHECK(automaton.ok())) return;
    std::vector<Match> found;
    automaton.value().for_each_match(text, [&](const Match& m) {
      if (refused(m.start, m.end)) return false;
      found.push_back(m);
      return true;
    });
    std::vector<std::string> indices;
    const std::vector<Match> sifted =
        sifted_accepted(sieve_of(words, indices), text, [&](const auto& f) { return !refused(f.start, f.end); });
    if (!CHECK(found == want) || !CHECK(sifted == want)) {
      std::fprintf(stderr, "text %s\n  automaton %s\n  sieve     %s\n  want      %s\n", text.c_str(),
                   show(found).c_str(), show(sifted).c_str(), show(want).c_str());
      return;
    }
  }
}

// Whole-word words, as the dictionary gives them to the sieve: a match that
// starts or ends inside a run of katakana or of Latin letters is refused.
// When every word is whole-word the sieve does not look up such positions at
// all; with a few that may match anywhere, it must.
void whole_word_rules() {
  using zenkor::l3_lexical::synonym::keeps_words_whole;
  std::mt19937 rng(20261209);
  const std::vector<std::string> alphabet = {"a", "Z", "é", "ア", "ー", "カ", "の", "日", "・", "𠮷"};
  for (int round = 0; round < 4000; ++round) {
    const auto pick = [&](int max_len) { return random_text(rng, alphabet, max_len); };
    std::vector<std::string> words(std::uniform_int_distribution<int>(1, 30)(rng));
    for (auto& w : words) w = pick(5);
    const bool some_anywhere = round % 2 == 1;
    std::vector<bool> whole(words.size(), true);
    if (some_anywhere) {
      for (std::size_t i = 0; i < words.size(); ++i) whole[i] = rng() % 4 != 0;
    }
    const std::string text = pick(80);
    // Of equal words the last wins, its mark with it.
    std::map<std::string, bool> whole_of;
    for (std::size_t i = 0; i < words.size(); ++i) whole_of[words[i]] = whole[i];
    const std::vector<Match> want = naive_accepted(words, text, [&](const Match& m) {
      return !whole_of[text.substr(m.start, m.end - m.start)] || keeps_words_whole(text, m.start, m.end);
    });
    std::vector<std::string> indices;
    for (std::size_t i = 0; i < words.size(); ++i) indices.push_back(std::to_string(i));
    std::vector<zenkor::l3_lexical::synonym::sieve::Rule> rules;
    for (std::size_t i = 0; i < words.size(); ++i) rules.push_back({words[i], indices[i], whole[i]});
    const std::vector<Match> sifted = sifted_accepted(*Sieve::build(rules), text, [&](const auto& f) {
      return !f.whole_word || keeps_words_whole(text, f.start, f.end);
    });
    if (!CHECK(sifted == want)) {
      std::fprintf(stderr, "text %s\n  sieve %s\n  want  %s\n", text.c_str(), show(sifted).c_str(),
                   show(want).c_str());
      return;
    }
  }
}

int main() {
  fixed_cases();
  random_cases(3000, 0);
  // The rare characters then take two or three symbols, and the first of
  // them trails with the very symbol the frequent character is spelled with:
  // the case in which a match could start inside a character.  (Three
  // symbols in the wide alphabet would take 124683 filler characters.)
  random_cases(100, 899, Spelling::Wide);
  random_cases(100, 175, Spelling::Narrow);
  random_cases(30, 16303, Spelling::Narrow);
  limits();
  sieve_gives_up();
  dense_starts();
  long_texts();
  large_dictionary();
  wide_alphabet();
  sparse_in_wide_alphabet();
  refused_matches();
  whole_word_rules();
  return zenkor::test::finish();
}
