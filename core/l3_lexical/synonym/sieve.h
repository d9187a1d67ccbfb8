// The synonym dictionary's search: finds the variants in a text by their first
// characters, leftmost-longest and without overlaps, reading forward.
//
// At most positions of a text no variant starts.  The search reads a block of
// positions at a time and narrows it down in three passes, each over what the
// one before kept, so that the common case costs least:
//   1. one bit filter, indexed by a hash of the character at a position and
//      the next, says whether a variant of two or more characters may start
//      there (and a second one, only when there are variants of one
//      character, whether one of those may): with the Sudachi synonyms, one
//      position in seven of Wikipedia text under for_search passes;
//   2. for those, a whole-word search drops positions inside a run of
//      katakana or of Latin letters, and three more filters, of the first
//      character, of the first two and of the first three, say which of the
//      hash tables below may hold a variant starting there (one position in
//      thirty passes);
//   3. the positions kept look at the dictionary, left to right: the
//      variants of one and two characters by a hash table of their
//      characters, the longer ones by a hash table of their first three
//      characters, which gives the run of the sorted variants that begin with
//      them; a binary search of that run finds the longest that the text goes
//      on with.
// Each filter sets two bits of one 64-bit word for a key, so that a position
// that holds no key reads one word and seldom passes.
//
// The variants and their canonical forms lie in one block, in sorted order,
// each canonical form right after its variant: a match reads the replacement
// from the cache line it was just compared in.  The automaton takes less
// memory, but its search reads a slot for every character of the text, one
// after the other, which costs more than these filters.
//
// Reading forward, a text can make the search compare far more than its
// length: with a variant "aaaa...ab", a text of a's compares that variant at
// every position.  The search therefore counts its work (a unit for each
// position it looks up, and for each byte it compares past the first three
// characters) and stops when it passes a budget proportional to the text,
// returning the position reached;
// the caller finishes the text with the automaton (matcher.h), whose time is
// linear whatever the variants.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/l3_lexical/synonym/word_edges.h"
#include "core/text/three_byte_runs.h"
#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym::sieve {

// A variant and the canonical form that replaces it; a whole-word variant
// may be refused where it is found (see for_each_match).
struct Rule {
  std::string_view variant;
  std::string_view canonical;
  bool whole_word = false;
};

// One occurrence: bytes [start, end) of the text are a variant.
struct Found {
  std::size_t start;
  std::size_t end;
  std::string_view canonical;
  bool whole_word;
};

class Sieve {
 public:
  // Rules with an empty variant are ignored; of rules with the same variant
  // the later one wins.  Empty when the variants and canonical forms together
  // pass 4 GiB.
  // REQUIRES: every variant is valid UTF-8.
  [[nodiscard]] static std::optional<Sieve> build(const std::vector<Rule>& rules);

  // The work for_each_match may do on a text of `bytes` bytes before it
  // gives up.  The Sudachi synonyms take 0.07 to 0.16 a byte on the parts of
  // the corpus, and 2 on the text that takes the most.
  [[nodiscard]] static constexpr std::size_t budget(std::size_t bytes) noexcept { return 8 * bytes + 1024; }
  static constexpr std::size_t UNLIMITED = SIZE_MAX;

  // Calls `visit(found)` for the non-overlapping leftmost-longest matches of
  // `text`, left to right: the match that starts first wins, the longest
  // among those starting at the same character, and the search resumes at
  // its end.  `visit` returns whether it takes the match; when it refuses
  // one, it is offered the next shorter variant that starts there, and when
  // it refuses them all the search moves on to the next character.  Returns
  // text.size(), or, when the work passed `budget`, the character boundary
  // it reached: every match before it has been visited, and the matches of
  // text.substr(position) are the rest.
  // REQUIRES: text is valid UTF-8.
  template <typename Visit>
  std::size_t for_each_match(std::string_view text, std::size_t budget, Visit&& visit) const;

 private:
  // Positions tested at once.
  static constexpr std::size_t BLOCK = 256;
  // Stands for the characters past the end of the text: no key holds it.
  static constexpr char32_t NO_CHAR = 0x110000;
  static constexpr std::uint64_t EMPTY = ~std::uint64_t{0};
  static constexpr std::uint32_t NO_PREFIX = 0xFFFFFFFF;

  // A variant and its canonical form, at `offset` in text_, and the longest
  // variant that is a proper prefix of it (NO_PREFIX when none is).
  struct Record {
    std::uint32_t offset;
    std::uint32_t variant_bytes;
    std::uint32_t canonical_bytes;
    std::uint32_t shorter;
    bool whole_word;
  };

  // A slot of a hash table: the key of one, two or three characters (21 bits
  // each), and the records [lo, hi) of the variants it begins.
  struct Slot {
    std::uint64_t key = EMPTY;
    std::uint32_t lo = 0;
    std::uint32_t hi = 0;
  };

  // Bits of a hash of a key, for the filters and the tables alike.
  class Filter {
   public:
    void size_for(std::size_t keys);
    void add(std::uint64_t key) noexcept;
    [[nodiscard]] bool may_hold(std::uint64_t key) const noexcept {
      const std::uint64_t hash = spread(key);
      const std::uint64_t bits = bits_of(hash);
      return (words_[hash >> shift_] & bits) == bits;
    }

   private:
    // Two bits of the word, chosen by twelve bits of the hash's middle (its
    // low bits depend on the key's low bits alone); the word by its high bits.
    [[nodiscard]] static constexpr std::uint64_t bits_of(std::uint64_t hash) noexcept {
      return std::uint64_t{1} << (hash >> 20 & 63) | std::uint64_t{1} << (hash >> 26 & 63);
    }

    std::vector<std::uint64_t> words_;
    unsigned shift_ = 64;
  };

  class Table {
   public:
    void fill(const std::vector<Slot>& slots);
    [[nodiscard]] const Slot* find(std::uint64_t key) const noexcept {
      for (std::uint64_t i = spread(key) >> shift_;; i = (i + 1) & mask_) {
        const Slot& slot = slots_[i];
        if (slot.key == key) return &slot;
        if (slot.key == EMPTY) return nullptr;
      }
    }

   private:
    std::vector<Slot> slots_;
    unsigned shift_ = 64;
    std::uint64_t mask_ = 0;
  };

  [[nodiscard]] static constexpr std::uint64_t spread(std::uint64_t key) noexcept {
    return key * 0x9E3779B97F4A7C15;
  }
  [[nodiscard]] static constexpr std::uint64_t key_of(char32_t a, char32_t b) noexcept {
    return std::uint64_t{a} << 21 | b;
  }
  [[nodiscard]] static constexpr std::uint64_t key_of(char32_t a, char32_t b, char32_t c) noexcept {
    return std::uint64_t{a} << 42 | std::uint64_t{b} << 21 | c;
  }

  // Which of the tables may hold a variant that starts with `chars`.
  enum Lengths : std::uint8_t { ONE = 1, TWO = 2, THREE = 4 };
  [[nodiscard]] unsigned lengths_at(const char32_t* chars) const noexcept {
    const char32_t a = chars[0], b = chars[1], c = chars[2];
    return static_cast<unsigned>(one_.may_hold(a)) * ONE | static_cast<unsigned>(two_.may_hold(key_of(a, b))) * TWO |
           static_cast<unsigned>(three_.may_hold(key_of(a, b, c))) * THREE;
  }
  // The longest variant that starts at `rest` (whose first characters are
  // `chars`, NO_CHAR past the end), looked up in the tables `lengths` names,
  // or null.
  const Record* longest_at(std::string_view rest, const char32_t* chars, unsigned lengths,
                           std::size_t& work) const noexcept;
  // The longest of the records [lo, hi), which share their first `shared`
  // bytes with `rest`, that `rest` starts with, or null.
  const Record* longest_in(std::uint32_t lo, std::uint32_t hi, std::string_view rest, std::size_t shared,
                           std::size_t& work) const noexcept;

  [[nodiscard]] std::string_view variant(const Record& r) const noexcept {
    return std::string_view(text_).substr(r.offset, r.variant_bytes);
  }
  [[nodiscard]] std::string_view canonical(const Record& r) const noexcept {
    return std::string_view(text_).substr(std::size_t{r.offset} + r.variant_bytes, r.canonical_bytes);
  }

  std::vector<Record> records_;  // by variant, in byte (= code point) order
  // Every variant is whole-word: then none is taken where it would start
  // inside a run of katakana or of Latin letters, and such positions are not
  // looked up at all (a tenth of those that pass the filters in Wikipedia
  // text under for_search).
  bool all_whole_words_ = false;
  std::string text_;
  Filter one_, two_, three_;     // variants of one character, of two, of three or more
  Filter pairs_;           // the first two characters of the variants of two or more
  bool has_ones_ = false;  // whether any variant has one character
  Table ones_, twos_, threes_;
};

template <typename Visit>
std::size_t Sieve::for_each_match(std::string_view text, std::size_t budget, Visit&& visit) const {
  // The characters of a block of positions and the two after it, with their
  // byte positions, then NO_CHAR twice.
  char32_t chars[BLOCK + 4];
  std::size_t starts[BLOCK + 2];
  std::uint16_t passed[BLOCK];  // the positions the first filter keeps
  std::uint16_t kept[BLOCK];    // those the second pass keeps
  std::uint8_t lengths[BLOCK];  // for each kept position, the tables to look in
  std::size_t held = 0;
  std::size_t next = 0;    // the byte position of the next character to read
  std::size_t resume = 0;  // the end of the last match
  std::size_t work = 0;
  char32_t before_block = NO_CHAR;  // the character before chars[0]
  for (;;) {
    while (held < BLOCK + 2 && next < text.size()) {
      // Japanese text is mostly runs of three-byte characters: decoded eight
      // at a time where the processor allows.
      const std::size_t room = BLOCK + 2 - held;
      if (room >= 8 && text::is_three_byte_lead(static_cast<unsigned char>(text[next]))) {
        const std::size_t from = next;
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        text::decode_three_byte_run(bytes, std::min(text.size(), next + 3 * room), next, chars + held);
        for (std::size_t at = from; at < next; at += 3) starts[held++] = at;
        continue;
      }
      starts[held] = next;
      chars[held++] = text::utf8::next(text, next);
    }
    if (held == 0) return text.size();
    chars[held] = chars[held + 1] = NO_CHAR;
    const std::size_t count = std::min(held, BLOCK);
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
      passed[n] = static_cast<std::uint16_t>(i);
      n += static_cast<std::size_t>(pairs_.may_hold(key_of(chars[i], chars[i + 1])) |
                                    (has_ones_ && one_.may_hold(chars[i])));
    }
    std::size_t k = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t i = passed[j];
      if (all_whole_words_ && same_run(i > 0 ? chars[i - 1] : before_block, chars[i])) continue;
      const unsigned at = lengths_at(chars + i);
      kept[k] = static_cast<std::uint16_t>(i);
      lengths[k] = static_cast<std::uint8_t>(at);
      k += static_cast<std::size_t>(at != 0);
    }
    for (std::size_t j = 0; j < k; ++j) {
      const std::size_t i = kept[j];
      const std::size_t start = starts[i];
      if (start < resume) continue;
      if (work > budget) return start;
      for (const Record* found = longest_at(text.substr(start), chars + i, lengths[j], work); found != nullptr;
           found = found->shorter == NO_PREFIX ? nullptr : &records_[found->shorter]) {
        if (visit(Found{start, start + found->variant_bytes, canonical(*found), found->whole_word})) {
          resume = start + found->variant_bytes;
          break;
        }
      }
    }
    before_block = chars[count - 1];
    std::copy(chars + count, chars + held, chars);
    std::copy(starts + count, starts + held, starts);
    held -= count;
  }
}

}  // namespace zenkor::l3_lexical::synonym::sieve
