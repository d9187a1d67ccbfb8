// Step: what the engine needs to know of a stage, declared by the stage
// itself, in its header, next to its functions.
//
// A row of OPTIONS (core/config.h) names the step its option switches on;
// the plan (core/plan.cc) gathers the steps of the table at compile time and
// runs them by rank, lowest first, the dictionary after all of them.  So a
// new stage is its module, with its Step, and the row of its option: nothing
// else lists steps.  docs/ARCHITECTURE.md says why the ranks stand in the
// order they do and works an example through.
//
// This header does not include core/config.h, which includes the stages'
// headers: a stage that reads options declares functions of `const Config&`
// in its header, and core/option_steps.cc defines them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zenkor {

struct Config;
class EditLog;
struct NoLog;
namespace text {
template <typename Log>
class Rewriter;
}

// The neighbours a step's triggers depend on, beyond its trigger
// characters.  The plan's scan follows each kind itself.
enum class StepContext : std::uint8_t {
  None,
  RepeatRun,          // a run longer than the limit of a character whose runs are shortened
  ProlongedRun,       // ー or 〜 twice in a row
  SpaceRun,           // two spaces in a row
  LoanwordPair,       // a pair such as ヴァ
  TrailingProlonged,  // a ー that ends a katakana word
  EraYear,            // a 年 after the start of an era's name
};

// Steps that map characters one by one, each by its own set, none changing
// what another of the group writes: neighbours of one group run as one pass
// (Plan::fusible_until).  A step of one group is never next to one of another.
enum class FusibleGroup : std::uint8_t {
  None,
  Invisibles,   // the removals of invisible characters and the compatibility expansion
  KanjiTables,  // the two kanji tables
};

struct Step {
  using Run = void (*)(const Config& config, std::string_view in, std::string& out, EditLog* log);
  using Trigger = bool (*)(char32_t c, int variant) noexcept;
  using Variant = int (*)(const Config& config) noexcept;
  using RewriteChar = void (*)(text::Rewriter<NoLog>& w, char32_t c);

  // Its place in the fixed order: ranks are unique, and the steps run from
  // the lowest.  Leave gaps, so that a step can go between two others.
  int rank;
  // Writes the stage's result over `in` into `out`; records its edits in
  // `log` when one is given.
  Run run;
  // Whether `c` alone can make the step change a text, with the option
  // value `variant`; null when only the context can.
  Trigger trigger = nullptr;
  // The option value the triggers depend on, in [0, 8); null for always 0.
  Variant variant = nullptr;
  StepContext context = StepContext::None;
  // The variants in which the step only deletes characters: bit v for variant v.
  std::uint8_t deletes_in = 0;
  // Whether a character past U+FFFF may be a trigger.
  bool astral_triggers = false;
  FusibleGroup fusible = FusibleGroup::None;
  // A step of a fusible group: what it writes for one of its trigger characters.
  RewriteChar rewrite_char = nullptr;
  // Of its triggers (with the option value `variant`), those the step
  // rewrites the same whatever stands around them, in a text that holds no
  // trigger outside this set: their rewrites, read off `run` one character
  // at a time, make the step's table on text as a str stores it
  // (core/native_tables.h).  Null when the step has no such table.
  Trigger alone = nullptr;
  // Of its other triggers, those it rewrites as it would alone unless the
  // character before them is one `joins` holds for (NFKC's sound marks after
  // kana, a Σ after a letter when lowering): their entries in the table read
  // the character before them.
  Trigger alone_unless_joined = nullptr;
  bool (*joins)(char32_t before) noexcept = nullptr;
};

// deletes_in of a step that only ever deletes.
inline constexpr std::uint8_t IN_EVERY_VARIANT = 0xFF;

// Step::run of a stage that reads no option.
template <void (*Stage)(std::string_view, std::string&, EditLog*)>
void run_stage(const Config& /*config*/, std::string_view in, std::string& out, EditLog* log) {
  Stage(in, out, log);
}

// Step::trigger of a stage whose triggers depend on no option.
template <bool (*Trigger)(char32_t) noexcept>
bool trigger_of(char32_t c, int /*variant*/) noexcept {
  return Trigger(c);
}

// Step::rewrite_char of a fusible step that deletes its characters.
void drop_char(text::Rewriter<NoLog>& w, char32_t c);

// The Step of a stage that deletes the characters of its trigger and reads
// no option: it runs in one pass with the others of the removals of
// invisible characters.
template <void (*Stage)(std::string_view, std::string&, EditLog*), bool (*Trigger)(char32_t) noexcept>
constexpr Step invisible_removal(int rank, bool astral_triggers = false) {
  return {.rank = rank,
          .run = run_stage<Stage>,
          .trigger = trigger_of<Trigger>,
          .deletes_in = IN_EVERY_VARIANT,
          .astral_triggers = astral_triggers,
          .fusible = FusibleGroup::Invisibles,
          .rewrite_char = drop_char,
          .alone = trigger_of<Trigger>};
}

}  // namespace zenkor
