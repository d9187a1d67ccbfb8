// Kanji forms: variation selectors, traditional forms and variant kanji.
//
// remove_variation_selectors deletes U+FE00-U+FE0E and U+E0100-U+E01EF
// (U+FE0F stays: it asks for emoji presentation, which the emoji stage owns).
// map_table rewrites every code point that is a source of a table into its
// target, one code point at a time; the pipeline calls it with KYUJITAI_TABLE
// (traditional forms to the modern standard ones) and ITAIJI_TABLE (variant
// kanji to their common forms).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"
#include "core/text/char_set.h"
#include "core/text/rewriter.h"

namespace zenkor::l1_char::kanji {

struct KanjiPair {
  char32_t source;
  char32_t target;
};

// `pairs` are sorted strictly ascending by source; no target is a source of
// either table, so applying the tables once, or both in either order, is final.
struct KanjiTable {
  std::span<const KanjiPair> pairs;
  text::CharSet sources;  // lets map_table pass over everything else unread
};

extern const KanjiTable KYUJITAI_TABLE;  // 310 pairs
extern const KanjiTable ITAIJI_TABLE;    // 27 pairs

void remove_variation_selectors(std::string_view in, std::string& out, EditLog* log = nullptr);

// REQUIRES: table.pairs is not empty.
void map_table(std::string_view in, std::string& out, const KanjiTable& table, EditLog* log = nullptr);

// What map_table writes for `c`: its target, or `c` itself.
[[nodiscard]] char32_t map_char(const KanjiTable& table, char32_t c) noexcept;

// The characters without which each stage above leaves a text unchanged.
[[nodiscard]] bool remove_variation_selectors_trigger(char32_t c) noexcept;
[[nodiscard]] inline bool map_table_trigger(const KanjiTable& table, char32_t c) noexcept { return table.sources.contains(c); }
[[nodiscard]] inline bool kyujitai_trigger(char32_t c, int /*variant*/) noexcept {
  return map_table_trigger(KYUJITAI_TABLE, c);
}
[[nodiscard]] inline bool itaiji_trigger(char32_t c, int /*variant*/) noexcept {
  return map_table_trigger(ITAIJI_TABLE, c);
}

// The steps.  Variation selectors go with the other invisible characters,
// before NFKC; the two tables run as one pass, after it (NFKC unfolds
// compatibility ideographs into the old forms the tables know).
inline constexpr Step REMOVE_VARIATION_SELECTORS_STEP =
    invisible_removal<remove_variation_selectors, remove_variation_selectors_trigger>(140, /*astral_triggers=*/true);
inline constexpr Step KYUJITAI_STEP = {
    .rank = 210,
    .run = [](const Config&, std::string_view in, std::string& out,
              EditLog* log) { map_table(in, out, KYUJITAI_TABLE, log); },
    .trigger = kyujitai_trigger,
    .fusible = FusibleGroup::KanjiTables,
    .rewrite_char = [](text::Rewriter<NoLog>& w, char32_t c) { w.replace(map_char(KYUJITAI_TABLE, c)); },
    .alone = kyujitai_trigger};
inline constexpr Step ITAIJI_STEP = {
    .rank = 220,
    .run = [](const Config&, std::string_view in, std::string& out,
              EditLog* log) { map_table(in, out, ITAIJI_TABLE, log); },
    .trigger = itaiji_trigger,
    .astral_triggers = true,
    .fusible = FusibleGroup::KanjiTables,
    .rewrite_char = [](text::Rewriter<NoLog>& w, char32_t c) { w.replace(map_char(ITAIJI_TABLE, c)); },
    .alone = itaiji_trigger};

}  // namespace zenkor::l1_char::kanji
