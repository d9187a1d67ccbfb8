// Multi-pattern matcher of the synonym dictionary: finds every variant in a
// text, leftmost-longest and without overlaps, in one linear pass.  The sieve
// (sieve.h) is faster on real text, but a text can make it compare far more
// than its length; this automaton finishes such texts, in time linear in the
// text whatever the variants, and is built the first time one is met.
//
// The automaton is an Aho-Corasick automaton over characters (Unicode scalar
// values), stored as a double array.  It is built over the *reversed*
// patterns and run over the text from its end to its start: at each character
// position the state then names the longest pattern that *starts* there.  A
// second, forward pass over those positions picks the leftmost one, jumps past
// its end and repeats.  Scanning forward instead would have to re-read text
// after every match (after "a" matches, looking for a longer pattern such as
// "aaaa...b" reads ahead; those characters are read again from the match end),
// which costs time proportional to text length times pattern length.  This way
// every character is read twice at most, whatever the patterns.  The state at
// a position depends only on the text up to the longest pattern's length past
// it, so long texts are read in chunks, each scanned back from that far
// beyond its end: the starts held at once stay bounded.
//
// Each character is spelled as one to three symbols: the most frequent
// characters of the patterns take one symbol, rarer ones two or three.  Over
// raw character codes a state whose children are spread across thousands of
// kanji needs a span that wide, and a large dictionary of such words leaves
// almost all of the double array empty; over symbols the children of a state
// lie within one alphabet's span of each other.  Two alphabets trade speed
// for that span: the wide one (1023 symbols) spells the 900 most frequent
// characters with one symbol, so that nearly every character of a text costs
// one step (the Sudachi synonyms are applied to the corpus in 26 ms instead
// of 31), and the narrow one (256 symbols, 176 one-symbol characters) keeps
// the array dense when many states have children spread over many
// characters.  build() takes the wide alphabet when its one-symbol
// characters make up most of the patterns, and gives it up for the narrow
// one when the array would grow past a slot per symbol of the patterns.  A
// character's symbols are fed with its *lead* symbol last, and the lead says
// how many symbols the character has, so reading back from any character
// boundary splits symbols into characters one way only: a pattern found at a
// character boundary starts at one too.
//
// Layout: a two-level table maps characters to their symbols; each state is a
// slot of four flat 32-bit arrays (base, check, fail, longest pattern), about
// 16 bytes per trie node.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "core/result.h"
#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym::matcher {

// One occurrence: bytes [start, end) of the text matched the pattern whose
// value is `value`.
struct Match {
  std::size_t start;
  std::size_t end;
  std::uint32_t value;

  friend bool operator==(const Match&, const Match&) = default;
};

// Patterns and values handed to Automaton::build.
using Pattern = std::pair<std::string_view, std::uint32_t>;

// The most states (double-array slots) an automaton may use: slot indices and
// bases must fit in 32 bits.
inline constexpr std::size_t MAX_SLOTS = 0x7FFFFFFF;

// The alphabet characters are spelled in (see above).
enum class Spelling : std::uint8_t { Wide, Narrow };

// Why Automaton::build gave up.
struct BuildError {
  enum class Kind : std::uint8_t {
    TooManySlots,     // the double array would need more than max_slots slots
    PatternsTooLong,  // the patterns' symbols together pass 32-bit offsets
  };
  Kind kind;
};

class Automaton {
 public:
  // Builds the automaton; fails when it would need more than `max_slots`
  // slots.  Empty patterns are ignored; when the same pattern is given twice,
  // the later value wins.
  // REQUIRES: every pattern is valid UTF-8.
  [[nodiscard]] static Result<Automaton, BuildError> build(const std::vector<Pattern>& patterns,
                                                           std::size_t max_slots = MAX_SLOTS);

  // The same with the given alphabet only, however sparse the array.
  [[nodiscard]] static Result<Automaton, BuildError> build(const std::vector<Pattern>& patterns, Spelling spelling,
                                                           std::size_t max_slots = MAX_SLOTS);

  // Calls `visit(match)` for the non-overlapping leftmost-longest matches of
  // `text`, left to right: the match that starts first wins, the longest
  // among those starting at the same character, and the search resumes at
  // its end.  `visit` returns whether it takes the match; when it refuses
  // one, it is offered the next shorter pattern that starts there, and when
  // it refuses them all the search moves on to the next character.
  // REQUIRES: text is valid UTF-8.
  template <typename Visit>
  void for_each_match(std::string_view text, Visit&& visit) const;

  // Number of double-array slots in use, holes included.
  [[nodiscard]] std::size_t slot_count() const noexcept { return slots_.size(); }

 private:
  static constexpr std::uint32_t NONE = 0xFFFFFFFF;

  // Bytes of text whose starts are collected at once, unless the longest
  // pattern asks for more.
  static constexpr std::size_t CHUNK_BYTES = std::size_t{1} << 16;

  // Texts of at most this many bytes keep their starts on the stack: most
  // texts are short, and allocating per call cost 7-10% of the matcher's
  // time on tweets.
  static constexpr std::size_t STACK_STARTS = 256;

  static constexpr std::size_t PAGE_BITS = 8;
  static constexpr std::size_t PAGE_SIZE = std::size_t{1} << PAGE_BITS;

  // A character's symbols as codes 1-1023, SYMBOL_BITS each, the first to feed
  // in the lowest bits and the lead last; 0 for characters no pattern contains.
  static constexpr unsigned SYMBOL_BITS = 10;
  static constexpr std::uint32_t SYMBOL_MASK = (std::uint32_t{1} << SYMBOL_BITS) - 1;

  [[nodiscard]] std::uint32_t symbols_of(char32_t c) const noexcept {
    return blocks_[std::size_t{pages_[c >> PAGE_BITS]} * PAGE_SIZE + (c & (PAGE_SIZE - 1))];
  }

  // The child of `state` on `code`, or NONE.
  [[nodiscard]] std::uint32_t child(std::uint32_t state, std::uint32_t code) const noexcept {
    const std::uint32_t t = slots_[state].base + code;  // may wrap; then it fails the bound
    return t < slots_.size() && slots_[t].check == state && t != 0 ? t : NONE;
  }

  // The Aho-Corasick transition: the child on `code` of `state` or of the
  // nearest state on its failure chain that has one, else the root.
  [[nodiscard]] std::uint32_t step(std::uint32_t state, std::uint32_t code) const noexcept {
    for (;;) {
      const std::uint32_t t = child(state, code);
      if (t != NONE) return t;
      if (state == 0) return 0;
      state = slots_[state].fail;
    }
  }

  // The longest pattern starting at a character.
  struct Start {
    std::size_t pos;
    std::uint32_t pattern;
  };

  // Writes, right to left, the starts at the characters of [from, to) into
  // `starts`, reading the text backwards from `scan_end`; returns their count.
  // REQUIRES: from, to and scan_end are character boundaries, from <= to <=
  // scan_end, scan_end is at the end of the text or at least the longest
  // pattern's bytes past `to`, and `starts` has room for to - from starts.
  std::size_t find_starts(std::string_view text, std::size_t from, std::size_t to, std::size_t scan_end,
                          Start* starts) const;

  friend class Builder;

  // Character -> its symbols (see symbols_of).  pages_ holds one block
  // number per 256 code points; block 0 is all zeros.
  std::vector<std::uint16_t> pages_;
  std::vector<std::uint32_t> blocks_;

  // The double array.  Slot 0 is the root.  A step reads one slot, so the
  // four fields of a slot share one 16-byte record (one cache line).
  struct Slot {
    std::uint32_t base = 0;      // the child on code c sits at base + c
    std::uint32_t check = NONE;  // the parent; NONE for a free slot
    std::uint32_t fail = 0;
    // Index into the pattern tables below of the longest pattern that is a
    // suffix of the state's (reversed) symbols, or NONE.
    std::uint32_t longest = NONE;
  };
  std::vector<Slot> slots_;

  std::vector<std::uint32_t> pattern_value_;
  std::vector<std::uint32_t> pattern_bytes_;
  // The longest other pattern that is a proper prefix of each, or NONE: the
  // longest proper suffix of its reversed symbols that is a pattern, which
  // its state's failure link leads to.
  std::vector<std::uint32_t> pattern_shorter_;
  std::size_t longest_pattern_bytes_ = 0;
};

template <typename Visit>
void Automaton::for_each_match(std::string_view text, Visit&& visit) const {
  if (slots_.size() <= 1) return;
  const std::size_t chunk = std::max(CHUNK_BYTES, 4 * longest_pattern_bytes_);
  // A chunk holds at most one start per byte, and ends within three bytes
  // past `chunk`.
  Start on_stack[STACK_STARTS];
  std::unique_ptr<Start[]> on_heap;
  Start* starts = on_stack;
  if (text.size() > STACK_STARTS) {
    on_heap.reset(new Start[std::min(text.size(), chunk + 3)]);
    starts = on_heap.get();
  }
  std::size_t resume = 0;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t to = text::utf8::boundary_at_or_after(text, from + chunk);
    const std::size_t count =
        find_starts(text, from, to, text::utf8::boundary_at_or_after(text, to + longest_pattern_bytes_), starts);
    // Left to right over the starts: take the first one at or past the end
    // of the previous match, which may lie in an earlier chunk.
    for (std::size_t i = count; i-- > 0;) {
      const Start& start = starts[i];
      if (start.pos < resume) continue;
      for (std::uint32_t p = start.pattern; p != NONE; p = pattern_shorter_[p]) {
        if (visit(Match{start.pos, start.pos + pattern_bytes_[p], pattern_value_[p]})) {
          resume = start.pos + pattern_bytes_[p];
          break;
        }
      }
    }
    from = to;
  }
}

}  // namespace zenkor::l3_lexical::synonym::matcher
