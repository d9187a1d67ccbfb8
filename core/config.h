// The complete option set of one Normalizer, its presets and its errors.
//
// A Config is never built field by field by callers: it starts from a Preset
// and is changed one option at a time by name with Config::set, which takes a
// tagged ConfigValue and validates it.  Config::entries reads every option
// back in KEYS order; replaying that list through Config::set rebuilds an
// equal Config, except that a url_wrap pair stored with protect_urls off comes
// back with protection on (url_wrap turns it on and comes later in KEYS);
// Config::from_entries rebuilds that one exactly too.
// Option names, their order and every message are part of the public
// interface; KEYS below is the one list of the names.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zenkor {

enum class KanaAction : std::uint8_t { Keep = 0, HiraToKata = 1, KataToHira = 2 };
enum class CaseAction : std::uint8_t { Keep = 0, Lower = 1, Upper = 2 };
enum class CjkSpacing : std::uint8_t { Keep = 0, Remove = 1, Insert = 2 };

// What the emoji stage does.  The option keys "emoji" and "emoji_placeholder"
// are two views of this one field.
struct EmojiAction {
  enum class Kind : std::uint8_t { Keep, Remove, Placeholder };
  Kind kind = Kind::Keep;
  std::string placeholder;  // meaningful only for Kind::Placeholder

  friend bool operator==(const EmojiAction&, const EmojiAction&) = default;
};

// The 37 option names, in the order of Config::entries.
inline constexpr std::array<std::string_view, 37> KEYS = {
    "normalize_newlines",   "remove_zero_width",     "remove_control",
    "remove_bidi_control",  "kansuji_to_arabic",     "arabic_to_kansuji",
    "canonicalize_numbers", "nfkc",                  "halfwidth_kana_to_fullwidth",
    "kana",                 "kyujitai_to_shinjitai", "unify_itaiji",
    "remove_variation_selectors", "expand_iteration_marks", "unify_loanword_kana",
    "strip_trailing_prolonged", "case",              "cjk_spacing",
    "era_to_western",       "unify_hyphens",         "unify_tildes",
    "unify_prolonged",      "collapse_prolonged_run", "repeat_limit",
    "collapse_spaces",      "trim",                  "expand_cjk_compat",
    "remove_symbols",       "remove_cjk_compat",     "unify_quotes",
    "protect_urls",         "protect_emails",        "protect_mentions",
    "protect_hashtags",     "emoji",                 "emoji_placeholder",
    "url_wrap",
};

// The tagged value exchanged by Config::get, Config::set and Config::entries.
struct NoneValue {
  friend bool operator==(NoneValue, NoneValue) = default;
};
using ConfigValue = std::variant<bool, std::uint64_t, std::string, std::pair<std::string, std::string>, NoneValue>;

// Error of Config::set.  display() is the fixed text users see.
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
[[nodiscard]] std::variant<Preset, ParsePresetError> preset_from_str(std::string_view name);

// Q(s): s in double quotes with backslash escapes, as every message writes names.
[[nodiscard]] std::string quoted(std::string_view s);

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
  std::optional<std::pair<std::string, std::string>> url_wrap;

  // With no preset given, callers use Preset::NeologdnCompat.
  [[nodiscard]] static Config from_preset(Preset p);

  // The value of option `key`, or nothing for a name outside KEYS.
  [[nodiscard]] std::optional<ConfigValue> get(std::string_view key) const;

  // Sets option `key`.  On error the Config is unchanged.
  [[nodiscard]] std::optional<ConfigError> set(std::string_view key, ConfigValue value);

  // All 37 options as (name, value) in KEYS order.
  [[nodiscard]] std::vector<std::pair<std::string_view, ConfigValue>> entries() const;

  // The Config whose entries() are `entries`, exactly: options not listed
  // keep the values of Preset::None.  Unlike replaying entries() through set
  // in KEYS order, url_wrap is set first, so a pair stored with protect_urls
  // off comes back with protection off; this is how a saved Config is read
  // back.  Fails on the first value set() rejects or when the numeral
  // directions clash.
  [[nodiscard]] static std::variant<Config, ConfigError> from_entries(
      std::vector<std::pair<std::string, ConfigValue>> entries);

  // kansuji_to_arabic and arabic_to_kansuji must not both be on.
  [[nodiscard]] std::optional<ConfigError> check_cross_options() const;

  [[nodiscard]] bool protects_any() const noexcept {
    return protect_urls || protect_emails || protect_mentions || protect_hashtags;
  }

  friend bool operator==(const Config&, const Config&) = default;
};

}  // namespace zenkor
