// The options of one Normalizer: their values (Config), the presets, and
// OPTIONS, the one table that declares every option.
//
// An option is a field of Config plus a row of OPTIONS: its key, the kind of
// value it takes, the field, its value in each preset, the step of the
// pipeline it switches on and what it does.  Everything else about options
// follows from the table: KEYS and the order of entries(), the presets, get,
// set and their checks, the Python config dict, the steps the plan runs, and
// the README's option table (scripts/readme_options.py writes it; a test
// fails when it is stale).
//
// A Config is never built field by field by callers: it starts from a Preset
// and is changed one option at a time by name with Config::set, which takes a
// tagged ConfigValue and checks it by its option's kind.  Config::entries
// reads every option back in table order; replaying that list through
// Config::set rebuilds an equal Config, except that a url_wrap pair stored
// with protect_urls off comes back with protection on (url_wrap turns it on
// and comes later in the table); Config::from_entries rebuilds that one
// exactly too.  Option names, their order and every message are part of the
// public interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/l1_char/case.h"
#include "core/l1_char/cjk_compat.h"
#include "core/l1_char/cjk_spacing.h"
#include "core/l1_char/cleanup.h"
#include "core/l1_char/kanji.h"
#include "core/l1_char/nfkc.h"
#include "core/l1_char/prolonged.h"
#include "core/l1_char/quotes.h"
#include "core/l1_char/removal.h"
#include "core/l1_char/repeat.h"
#include "core/l1_char/space_runs.h"
#include "core/l1_char/symbols.h"
#include "core/l1_char/width.h"
#include "core/l2_script/ascii_numbers.h"
#include "core/l2_script/era.h"
#include "core/l2_script/iteration.h"
#include "core/l2_script/kana.h"
#include "core/l2_script/kansuji.h"
#include "core/l2_script/loanword.h"
#include "core/l4_extra/emoji.h"
#include "core/option_values.h"
#include "core/result.h"
#include "core/step.h"

namespace zenkor {

// The (prefix, suffix) written around protected URLs.
using PrefixSuffix = std::pair<std::string, std::string>;

// The tagged value exchanged by Config::get, Config::set and Config::entries.
struct NoneValue {
  friend bool operator==(NoneValue, NoneValue) = default;
};
using ConfigValue = std::variant<bool, std::uint64_t, std::string, PrefixSuffix, NoneValue>;

// Error of Config::set.  display() is the fixed text users see; for an
// unknown key the binding writes a message of its own, with a suggestion.
struct ConfigError {
  enum class Kind : std::uint8_t { UnknownKey, TypeMismatch, Invalid };
  Kind kind;
  std::string key;
  std::string detail;  // TypeMismatch: expected-kind text; Invalid: message

  [[nodiscard]] std::string display() const;
};

enum class Preset : std::uint8_t { None, NeologdnCompat, ForSearch, ForDisplay, ForCompare };

inline constexpr std::array<Preset, 5> ALL_PRESETS = {Preset::None, Preset::NeologdnCompat, Preset::ForSearch,
                                                      Preset::ForDisplay, Preset::ForCompare};

struct ParsePresetError {
  std::string name;
  [[nodiscard]] std::string display() const;
};

[[nodiscard]] std::string_view preset_name(Preset p) noexcept;
[[nodiscard]] Result<Preset, ParsePresetError> preset_from_str(std::string_view name);

// Q(s): s in double quotes with backslash escapes, as every message writes names.
[[nodiscard]] std::string quoted(std::string_view s);

// One field per option (two options, emoji and emoji_placeholder, share
// one), in table order.  A field without a row in OPTIONS is no option.
struct Config {
  bool normalize_newlines = false;
  bool remove_zero_width = false;
  bool remove_control = false;
  bool remove_bidi_control = false;
  bool kansuji_to_arabic = false;
  bool arabic_to_kansuji = false;
  bool canonicalize_numbers = false;
  bool nfkc = false;
  bool halfwidth_kana_to_fullwidth = false;
  KanaAction kana = KanaAction::Keep;
  bool kyujitai_to_shinjitai = false;
  bool unify_itaiji = false;
  bool remove_variation_selectors = false;
  bool expand_iteration_marks = false;
  bool unify_loanword_kana = false;
  bool strip_trailing_prolonged = false;
  CaseAction case_action = CaseAction::Keep;  // option "case"
  CjkSpacing cjk_spacing = CjkSpacing::Keep;
  bool era_to_western = false;
  bool unify_hyphens = false;
  bool unify_tildes = false;
  bool unify_prolonged = false;
  bool collapse_prolonged_run = false;
  std::optional<std::uint64_t> repeat_limit;
  bool collapse_spaces = false;
  bool trim = false;
  bool expand_cjk_compat = false;
  bool remove_symbols = false;
  bool remove_cjk_compat = false;
  bool unify_quotes = false;
  bool protect_urls = false;
  bool protect_emails = false;
  bool protect_mentions = false;
  bool protect_hashtags = false;
  EmojiAction emoji;
  std::optional<PrefixSuffix> url_wrap;

  // With no preset given, callers use Preset::NeologdnCompat.
  [[nodiscard]] static Config from_preset(Preset p);

  // The value of option `key`, or nothing for a name outside KEYS.
  [[nodiscard]] std::optional<ConfigValue> get(std::string_view key) const;

  // Sets option `key`.  On error the Config is unchanged.
  [[nodiscard]] Result<void, ConfigError> set(std::string_view key, ConfigValue value);

  // Every option as (name, value) in KEYS order.
  [[nodiscard]] std::vector<std::pair<std::string_view, ConfigValue>> entries() const;

  // The Config whose entries() are `entries`, exactly: options not listed
  // keep the values of Preset::None.  Unlike replaying entries() through set
  // in KEYS order, url_wrap is set first, so a pair stored with protect_urls
  // off comes back with protection off; this is how a saved Config is read
  // back.  Fails on the first value set() rejects or when the numeral
  // directions clash.
  [[nodiscard]] static Result<Config, ConfigError> from_entries(
      std::vector<std::pair<std::string, ConfigValue>> entries);

  // kansuji_to_arabic and arabic_to_kansuji must not both be on.
  [[nodiscard]] Result<void, ConfigError> check_cross_options() const;

  [[nodiscard]] bool protects_any() const noexcept {
    return protect_urls || protect_emails || protect_mentions || protect_hashtags;
  }

  friend bool operator==(const Config&, const Config&) = default;
};

// ---------------------------------------------------------------------------
// The option table.

// The kinds of value an option takes.  Each is checked in one place, its
// setter in config.cc, which also writes its messages.
enum class OptionKind : std::uint8_t {
  Bool,              // True or False
  Choice,            // one of the row's names, stored as the enum value of that index
  Limit,             // an int >= 1, or None for no limit
  Emoji,             // "keep" or "remove": the action of the emoji field
  EmojiPlaceholder,  // a str, or None: the emoji field's placeholder
  UrlWrap,           // a (prefix, suffix) pair, or None; a pair turns protect_urls on
};

// The field a choice option is stored in.  A choice option over a new enum
// adds its field type here.
using ChoiceField = std::variant<KanaAction Config::*, CaseAction Config::*, CjkSpacing Config::*>;

// The field an option is stored in.
using OptionField = std::variant<bool Config::*, ChoiceField, std::optional<std::uint64_t> Config::*,
                                 EmojiAction Config::*, std::optional<PrefixSuffix> Config::*>;

// A preset's value of an option, as users write it: True or False, a name,
// a number, or UNSET (None).
struct PresetValue {
  enum class Type : std::uint8_t { Unset, Bool, Name, Number };
  Type type = Type::Unset;
  bool on = false;
  std::string_view name;
  std::int64_t number = 0;

  constexpr PresetValue() = default;
  constexpr PresetValue(bool b) : type(Type::Bool), on(b) {}
  constexpr PresetValue(const char* n) : type(Type::Name), name(n) {}
  constexpr PresetValue(int n) : type(Type::Number), number(n) {}

  [[nodiscard]] ConfigValue value() const;
};

inline constexpr bool ON = true;
inline constexpr bool OFF = false;
inline constexpr PresetValue UNSET{};

// One row: an option and everything about it.
struct Option {
  using Presets = std::array<PresetValue, ALL_PRESETS.size()>;  // in ALL_PRESETS order

  std::string_view key;
  OptionKind kind;
  OptionField field;
  std::span<const std::string_view> names;  // Choice and Emoji: the values users write, in enum order
  Presets presets;
  // The step of the pipeline the option switches on, or NO_STEP.  Several
  // options may name one step: it runs when any of them switches it on.
  const Step* step;
  // What the option does, in a line: the README's option table is written
  // from these by scripts/readme_options.py.
  std::string_view doc;

  // Whether the option's value in `config` switches its step on: True, a
  // choice other than the first, a limit, emoji removed, a placeholder.
  [[nodiscard]] bool switches_on(const Config& config) const noexcept;
};

inline constexpr const Step* NO_STEP = nullptr;

// The names of the choice options' values, in the order of their enums.
inline constexpr std::array<std::string_view, 3> KANA_NAMES = {"keep", "hira_to_kata", "kata_to_hira"};
inline constexpr std::array<std::string_view, 3> CASE_NAMES = {"keep", "lower", "upper"};
inline constexpr std::array<std::string_view, 3> CJK_SPACING_NAMES = {"keep", "remove", "insert"};
// EmojiAction::Kind's Keep and Remove; a placeholder is set by its own key.
inline constexpr std::array<std::string_view, 2> EMOJI_NAMES = {"keep", "remove"};

// A row of each kind.
constexpr Option bool_row(std::string_view key, bool Config::*field, Option::Presets presets, const Step* step,
                          std::string_view doc) {
  return {key, OptionKind::Bool, field, {}, presets, step, doc};
}
template <typename Enum, std::size_t N>
constexpr Option choice_row(std::string_view key, Enum Config::*field, const std::array<std::string_view, N>& names,
                            Option::Presets presets, const Step* step, std::string_view doc) {
  return {key, OptionKind::Choice, ChoiceField(field), names, presets, step, doc};
}
constexpr Option limit_row(std::string_view key, std::optional<std::uint64_t> Config::*field,
                           Option::Presets presets, const Step* step, std::string_view doc) {
  return {key, OptionKind::Limit, field, {}, presets, step, doc};
}
constexpr Option emoji_row(std::string_view key, Option::Presets presets, const Step* step, std::string_view doc) {
  return {key, OptionKind::Emoji, &Config::emoji, EMOJI_NAMES, presets, step, doc};
}
constexpr Option emoji_placeholder_row(std::string_view key, Option::Presets presets, const Step* step,
                                       std::string_view doc) {
  return {key, OptionKind::EmojiPlaceholder, &Config::emoji, {}, presets, step, doc};
}
constexpr Option url_wrap_row(std::string_view key, Option::Presets presets, std::string_view doc) {
  return {key, OptionKind::UrlWrap, &Config::url_wrap, {}, presets, NO_STEP, doc};
}

// Every option, in the order of Config::entries, of the config dict and of
// the README's table.  The last five columns are the option's value in each
// preset, in ALL_PRESETS order: none, neologdn_compat, for_search,
// for_display, for_compare; under them, the step the option switches on and
// what it does.  The steps named here are the pipeline's: the plan runs them
// in the order of their ranks (core/step.h), whatever the order of the rows.
// clang-format off
inline constexpr std::array OPTIONS = {
    // key, field (and value names)                                                none      neologdn  search    display   compare
    bool_row("normalize_newlines", &Config::normalize_newlines,                   {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::cleanup::NORMALIZE_NEWLINES_STEP, "CR LF, CR, U+2028, U+2029, U+0085 → LF"),
    bool_row("remove_zero_width", &Config::remove_zero_width,                     {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::cleanup::REMOVE_ZERO_WIDTH_STEP, "delete U+200B, U+200C, U+2060, U+FEFF"),
    bool_row("remove_control", &Config::remove_control,                           {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::cleanup::REMOVE_CONTROL_STEP, "delete C0/C1 controls except tab and line feed"),
    bool_row("remove_bidi_control", &Config::remove_bidi_control,                 {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::cleanup::REMOVE_BIDI_CONTROL_STEP, "delete bidirectional formatting characters"),
    bool_row("kansuji_to_arabic", &Config::kansuji_to_arabic,                     {OFF,      OFF,      OFF,      OFF,      ON},
             &l2_script::kansuji::KANSUJI_TO_ARABIC_STEP, "kanji numerals to ASCII digits (二万三千 → 23000)"),
    bool_row("arabic_to_kansuji", &Config::arabic_to_kansuji,                     {OFF,      OFF,      OFF,      OFF,      OFF},
             &l2_script::kansuji::ARABIC_TO_KANSUJI_STEP, "ASCII digits to kanji numerals"),
    bool_row("canonicalize_numbers", &Config::canonicalize_numbers,               {OFF,      OFF,      OFF,      OFF,      ON},
             &l2_script::ascii_numbers::CANONICALIZE_STEP, "drop thousands separators and superfluous zeros; unpad dates"),
    bool_row("nfkc", &Config::nfkc,                                               {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::nfkc::NORMALIZE_STEP, "NFKC, keeping spacing accents and joining voiced sound marks"),
    bool_row("halfwidth_kana_to_fullwidth", &Config::halfwidth_kana_to_fullwidth, {OFF,      ON,       ON,       ON,       ON},
             &l1_char::width::HALFWIDTH_KANA_TO_FULLWIDTH_STEP, "ｶﾞ → ガ, ｡ → 。"),
    choice_row("kana", &Config::kana, KANA_NAMES,                                 {"keep",   "keep",   "keep",   "keep",   "keep"},
             &l2_script::kana::CONVERT_STEP, "\"keep\", \"hira_to_kata\" or \"kata_to_hira\""),
    bool_row("kyujitai_to_shinjitai", &Config::kyujitai_to_shinjitai,             {OFF,      OFF,      ON,       OFF,      ON},
             &l1_char::kanji::KYUJITAI_STEP, "old kanji forms to modern ones (國 → 国)"),
    bool_row("unify_itaiji", &Config::unify_itaiji,                               {OFF,      OFF,      ON,       OFF,      ON},
             &l1_char::kanji::ITAIJI_STEP, "variant kanji to their standard form"),
    bool_row("remove_variation_selectors", &Config::remove_variation_selectors,   {OFF,      OFF,      ON,       OFF,      ON},
             &l1_char::kanji::REMOVE_VARIATION_SELECTORS_STEP, "delete variation selectors"),
    bool_row("expand_iteration_marks", &Config::expand_iteration_marks,           {OFF,      OFF,      ON,       OFF,      ON},
             &l2_script::iteration::EXPAND_ITERATION_MARKS_STEP, "ゝ ゞ ヽ ヾ 々 spelled out"),
    bool_row("unify_loanword_kana", &Config::unify_loanword_kana,                 {OFF,      OFF,      ON,       OFF,      ON},
             &l2_script::loanword::UNIFY_LOANWORD_KANA_STEP, "unify loanword katakana spellings"),
    bool_row("strip_trailing_prolonged", &Config::strip_trailing_prolonged,       {OFF,      OFF,      ON,       OFF,      ON},
             &l2_script::loanword::STRIP_TRAILING_PROLONGED_STEP, "drop a final ー from long katakana words"),
    choice_row("case", &Config::case_action, CASE_NAMES,                          {"keep",   "keep",   "lower",  "keep",   "lower"},
             &l1_char::case_::CONVERT_STEP, "\"keep\", \"lower\" or \"upper\" (full Unicode case mapping)"),
    choice_row("cjk_spacing", &Config::cjk_spacing, CJK_SPACING_NAMES,            {"keep",   "keep",   "keep",   "keep",   "remove"},
             &l1_char::cjk_spacing::PROCESS_STEP, "\"keep\", \"remove\" or \"insert\" spaces between CJK and Latin"),
    bool_row("era_to_western", &Config::era_to_western,                           {OFF,      OFF,      ON,       OFF,      ON},
             &l2_script::era::ERA_TO_WESTERN_STEP, "Japanese era years to Western years (令和元年 → 2019年)"),
    bool_row("unify_hyphens", &Config::unify_hyphens,                             {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::symbols::UNIFY_STEP, "hyphen and dash look-alikes unified"),
    bool_row("unify_tildes", &Config::unify_tildes,                               {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::symbols::UNIFY_STEP, "tilde and wave-dash look-alikes unified"),
    bool_row("unify_prolonged", &Config::unify_prolonged,                         {OFF,      ON,       ON,       ON,       ON},
             &l1_char::symbols::UNIFY_STEP, "prolonged-sound-mark look-alikes → ー"),
    bool_row("collapse_prolonged_run", &Config::collapse_prolonged_run,           {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::prolonged::COLLAPSE_STEP, "ーーー → ー"),
    limit_row("repeat_limit", &Config::repeat_limit,                              {UNSET,    UNSET,    2,        UNSET,    2},
             &l1_char::repeat::SHORTEN_STEP, "cap runs of one repeated character (int ≥ 1 or None)"),
    bool_row("collapse_spaces", &Config::collapse_spaces,                         {OFF,      ON,       ON,       OFF,      ON},
             &l1_char::space_runs::COLLAPSE_STEP, "runs of spaces, tabs and U+3000 to one space"),
    bool_row("trim", &Config::trim,                                               {OFF,      ON,       ON,       ON,       ON},
             NO_STEP, "remove white space at both ends"),
    bool_row("expand_cjk_compat", &Config::expand_cjk_compat,                     {OFF,      OFF,      ON,       OFF,      ON},
             &l1_char::cjk_compat::EXPAND_STEP, "① → 1, ㈱ → (株), ㍍ → メートル"),
    bool_row("remove_symbols", &Config::remove_symbols,                           {OFF,      OFF,      OFF,      OFF,      ON},
             &l1_char::removal::REMOVE_SYMBOLS_STEP, "delete punctuation and symbols (1,234 → 1234, 12:30 → 12 30)"),
    bool_row("remove_cjk_compat", &Config::remove_cjk_compat,                     {OFF,      OFF,      OFF,      OFF,      ON},
             &l1_char::removal::REMOVE_CJK_COMPAT_STEP, "delete enclosed and compatibility characters"),
    bool_row("unify_quotes", &Config::unify_quotes,                               {OFF,      OFF,      ON,       OFF,      ON},
             &l1_char::quotes::UNIFY_STEP, "curly and full-width quotes to ASCII (「」 stay)"),
    bool_row("protect_urls", &Config::protect_urls,                               {OFF,      OFF,      ON,       OFF,      OFF},
             NO_STEP, "URLs pass through untouched"),
    bool_row("protect_emails", &Config::protect_emails,                           {OFF,      OFF,      ON,       OFF,      OFF},
             NO_STEP, "e-mail addresses pass through untouched"),
    bool_row("protect_mentions", &Config::protect_mentions,                       {OFF,      OFF,      ON,       OFF,      OFF},
             NO_STEP, "@mentions pass through untouched"),
    bool_row("protect_hashtags", &Config::protect_hashtags,                       {OFF,      OFF,      ON,       OFF,      OFF},
             NO_STEP, "#hashtags pass through untouched"),
    emoji_row("emoji",                                                            {"keep",   "keep",   "remove", "keep",   "remove"},
             &l4_extra::emoji::PROCESS_STEP, "\"keep\" or \"remove\""),
    emoji_placeholder_row("emoji_placeholder",                                    {UNSET,    UNSET,    UNSET,    UNSET,    UNSET},
             &l4_extra::emoji::PROCESS_STEP, "replace each run of emoji with this string (str or None)"),
    url_wrap_row("url_wrap",                                                      {UNSET,    UNSET,    UNSET,    UNSET,    UNSET},
             "(prefix, suffix) around protected URLs; turns protect_urls on"),
};
// clang-format on

// Whether a preset value is one that the option's setter accepts: the table
// is checked when it is compiled, so a misspelt or mistyped preset value
// fails the build rather than the first Normalizer.
constexpr bool fits_kind(const Option& option, const PresetValue& value) {
  using Type = PresetValue::Type;
  switch (option.kind) {
    case OptionKind::Bool: return value.type == Type::Bool;
    case OptionKind::Choice:
    case OptionKind::Emoji:
      for (const std::string_view name : option.names)
        if (value.type == Type::Name && value.name == name) return true;
      return false;
    case OptionKind::Limit: return value.type == Type::Unset || (value.type == Type::Number && value.number >= 1);
    case OptionKind::EmojiPlaceholder:
    case OptionKind::UrlWrap: break;
  }
  return value.type == Type::Unset;
}

static_assert([] {
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j)
      if (OPTIONS[j].key == OPTIONS[i].key) return false;
    for (const PresetValue& value : OPTIONS[i].presets)
      if (!fits_kind(OPTIONS[i], value)) return false;
  }
  return true;
}(), "every option has a key of its own and preset values of its kind");

static_assert([] {
  for (std::size_t i = 0; i < ALL_PRESETS.size(); ++i)
    if (static_cast<std::size_t>(ALL_PRESETS[i]) != i) return false;
  return true;
}(), "a preset's value of an option is found at the preset's number");

// The option names, in table order.
inline constexpr std::array<std::string_view, OPTIONS.size()> KEYS = [] {
  std::array<std::string_view, OPTIONS.size()> keys{};
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) keys[i] = OPTIONS[i].key;
  return keys;
}();

}  // namespace zenkor
