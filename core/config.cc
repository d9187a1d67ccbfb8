#include "core/config.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cstdio>

#include "core/text/utf8.h"

namespace zenkor {
namespace {

// The thirty plain boolean options, each bound to its field.
struct BoolOption {
  std::string_view key;
  bool Config::*field;
};

constexpr std::array<BoolOption, 30> BOOL_OPTIONS = {{
    {"normalize_newlines", &Config::normalize_newlines},
    {"remove_zero_width", &Config::remove_zero_width},
    {"remove_control", &Config::remove_control},
    {"remove_bidi_control", &Config::remove_bidi_control},
    {"kansuji_to_arabic", &Config::kansuji_to_arabic},
    {"arabic_to_kansuji", &Config::arabic_to_kansuji},
    {"canonicalize_numbers", &Config::canonicalize_numbers},
    {"nfkc", &Config::nfkc},
    {"halfwidth_kana_to_fullwidth", &Config::halfwidth_kana_to_fullwidth},
    {"kyujitai_to_shinjitai", &Config::kyujitai_to_shinjitai},
    {"unify_itaiji", &Config::unify_itaiji},
    {"remove_variation_selectors", &Config::remove_variation_selectors},
    {"expand_iteration_marks", &Config::expand_iteration_marks},
    {"unify_loanword_kana", &Config::unify_loanword_kana},
    {"strip_trailing_prolonged", &Config::strip_trailing_prolonged},
    {"era_to_western", &Config::era_to_western},
    {"unify_hyphens", &Config::unify_hyphens},
    {"unify_tildes", &Config::unify_tildes},
    {"unify_prolonged", &Config::unify_prolonged},
    {"collapse_prolonged_run", &Config::collapse_prolonged_run},
    {"collapse_spaces", &Config::collapse_spaces},
    {"trim", &Config::trim},
    {"expand_cjk_compat", &Config::expand_cjk_compat},
    {"remove_symbols", &Config::remove_symbols},
    {"remove_cjk_compat", &Config::remove_cjk_compat},
    {"unify_quotes", &Config::unify_quotes},
    {"protect_urls", &Config::protect_urls},
    {"protect_emails", &Config::protect_emails},
    {"protect_mentions", &Config::protect_mentions},
    {"protect_hashtags", &Config::protect_hashtags},
}};

// A misspelt or repeated name here would leave an option unreachable, so the
// table is checked against KEYS when it is compiled.
static_assert([] {
  for (std::size_t i = 0; i < BOOL_OPTIONS.size(); ++i) {
    if (std::find(KEYS.begin(), KEYS.end(), BOOL_OPTIONS[i].key) == KEYS.end()) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (BOOL_OPTIONS[j].key == BOOL_OPTIONS[i].key) return false;
  }
  return true;
}(), "every boolean option is a distinct name of KEYS");

// The three-way choices; names in table order keep, second, third.
template <typename Enum>
using ChoiceTable = std::array<std::pair<std::string_view, Enum>, 3>;

constexpr ChoiceTable<KanaAction> KANA_CHOICES = {{
    {"keep", KanaAction::Keep}, {"hira_to_kata", KanaAction::HiraToKata}, {"kata_to_hira", KanaAction::KataToHira}}};
constexpr ChoiceTable<CaseAction> CASE_CHOICES = {{
    {"keep", CaseAction::Keep}, {"lower", CaseAction::Lower}, {"upper", CaseAction::Upper}}};
constexpr ChoiceTable<CjkSpacing> SPACING_CHOICES = {{
    {"keep", CjkSpacing::Keep}, {"remove", CjkSpacing::Remove}, {"insert", CjkSpacing::Insert}}};

template <typename Enum>
std::string_view choice_name(const ChoiceTable<Enum>& table, Enum value) {
  for (const auto& [name, v] : table)
    if (v == value) return name;
  return table[0].first;
}

ConfigError type_mismatch(std::string_view key, std::string_view expected) {
  return {ConfigError::Kind::TypeMismatch, std::string(key), std::string(expected)};
}

ConfigError invalid(std::string_view key, std::string message) {
  return {ConfigError::Kind::Invalid, std::string(key), std::move(message)};
}

std::optional<ConfigError> expect_bool(std::string_view key, const ConfigValue& value, bool& out) {
  if (const bool* b = std::get_if<bool>(&value)) {
    out = *b;
    return std::nullopt;
  }
  return type_mismatch(key, "bool");
}

std::optional<ConfigError> expect_str(std::string_view key, const ConfigValue& value, const std::string*& out) {
  if (const auto* s = std::get_if<std::string>(&value)) {
    out = s;
    return std::nullopt;
  }
  return type_mismatch(key, "str");
}

template <typename Enum>
std::optional<ConfigError> choice(std::string_view key, const ConfigValue& value, const ChoiceTable<Enum>& table,
                                  Enum& out) {
  const std::string* text = nullptr;
  if (auto err = expect_str(key, value, text)) return err;
  for (const auto& [name, v] : table) {
    if (name == *text) {
      out = v;
      return std::nullopt;
    }
  }
  return invalid(key, "must be one of " + std::string(table[0].first) + ", " + std::string(table[1].first) + ", " +
                          std::string(table[2].first) + " (got " + quoted(*text) + ")");
}

// Whether Q writes `c` as it is: a printable character that stands on its
// own.  Controls, format characters, separators other than the space,
// private-use and unassigned code points are invisible or ambiguous in a
// message; a combining mark or other grapheme extender would fuse with the
// character before it (the opening quote, say), so it is escaped as well.
bool shown_as_is(char32_t c) {
  if (c == U' ') return true;
  if (u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_GRAPHEME_EXTEND)) return false;
  switch (u_charType(static_cast<UChar32>(c))) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_SPACE_SEPARATOR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
      return false;
    default:
      return true;
  }
}

}  // namespace

std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('"');
  for (std::size_t pos = 0; pos < s.size();) {
    const char32_t c = text::utf8::next(s, pos);
    switch (c) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\n': out += "\\n"; break;
      case U'\r': out += "\\r"; break;
      case U'\t': out += "\\t"; break;
      case U'\0': out += "\\0"; break;
      default:
        if (shown_as_is(c)) {
          text::utf8::append(out, c);
        } else {
          char buf[16];
          std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
          out += buf;
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string ConfigError::display() const {
  switch (kind) {
    case Kind::UnknownKey: return "unknown option " + quoted(key);
    case Kind::TypeMismatch: return "option " + quoted(key) + " must be " + detail;
    case Kind::Invalid: break;
  }
  return "option " + quoted(key) + ": " + detail;
}

std::string_view preset_name(Preset p) noexcept {
  switch (p) {
    case Preset::None: return "none";
    case Preset::NeologdnCompat: return "neologdn_compat";
    case Preset::ForSearch: return "for_search";
    case Preset::ForDisplay: return "for_display";
    case Preset::ForCompare: break;
  }
  return "for_compare";
}

std::variant<Preset, ParsePresetError> preset_from_str(std::string_view name) {
  for (const Preset p : ALL_PRESETS)
    if (preset_name(p) == name) return p;
  return ParsePresetError{std::string(name)};
}

std::string ParsePresetError::display() const {
  std::string out = "unknown preset: " + quoted(name) + " (valid: ";
  for (std::size_t i = 0; i < ALL_PRESETS.size(); ++i) {
    if (i) out += ", ";
    out += preset_name(ALL_PRESETS[i]);
  }
  out += ")";
  return out;
}

Config Config::from_preset(Preset p) {
  Config c;
  if (p == Preset::None) return c;

  // Shared by every preset but none.
  c.halfwidth_kana_to_fullwidth = true;
  c.unify_prolonged = true;
  c.trim = true;
  if (p == Preset::ForDisplay) return c;

  c.normalize_newlines = c.remove_zero_width = c.remove_control = c.remove_bidi_control = true;
  c.nfkc = true;
  c.unify_hyphens = c.unify_tildes = true;
  c.collapse_prolonged_run = true;
  c.collapse_spaces = true;
  if (p == Preset::NeologdnCompat) return c;

  // for_search and for_compare.
  c.kyujitai_to_shinjitai = c.unify_itaiji = c.remove_variation_selectors = true;
  c.expand_iteration_marks = c.unify_loanword_kana = c.strip_trailing_prolonged = true;
  c.case_action = CaseAction::Lower;
  c.era_to_western = true;
  c.repeat_limit = 2;
  c.expand_cjk_compat = true;
  c.unify_quotes = true;
  c.emoji.kind = EmojiAction::Kind::Remove;
  if (p == Preset::ForSearch) {
    c.protect_urls = c.protect_emails = c.protect_mentions = c.protect_hashtags = true;
    return c;
  }
  c.kansuji_to_arabic = true;
  c.canonicalize_numbers = true;
  c.cjk_spacing = CjkSpacing::Remove;
  c.remove_symbols = c.remove_cjk_compat = true;
  return c;
}

std::optional<ConfigValue> Config::get(std::string_view key) const {
  for (const auto& opt : BOOL_OPTIONS)
    if (opt.key == key) return ConfigValue(this->*opt.field);
  if (key == "kana") return ConfigValue(std::string(choice_name(KANA_CHOICES, kana)));
  if (key == "case") return ConfigValue(std::string(choice_name(CASE_CHOICES, case_action)));
  if (key == "cjk_spacing") return ConfigValue(std::string(choice_name(SPACING_CHOICES, cjk_spacing)));
  if (key == "repeat_limit") return repeat_limit ? ConfigValue(*repeat_limit) : ConfigValue(NoneValue{});
  if (key == "emoji")
    return ConfigValue(std::string(emoji.kind == EmojiAction::Kind::Remove ? "remove" : "keep"));
  if (key == "emoji_placeholder")
    return emoji.kind == EmojiAction::Kind::Placeholder ? ConfigValue(emoji.placeholder) : ConfigValue(NoneValue{});
  if (key == "url_wrap") return url_wrap ? ConfigValue(*url_wrap) : ConfigValue(NoneValue{});
  return std::nullopt;
}

std::optional<ConfigError> Config::set(std::string_view key, ConfigValue value) {
  if (std::find(KEYS.begin(), KEYS.end(), key) == KEYS.end())
    return ConfigError{ConfigError::Kind::UnknownKey, std::string(key), {}};

  for (const auto& opt : BOOL_OPTIONS)
    if (opt.key == key) return expect_bool(key, value, this->*opt.field);
  if (key == "kana") return choice(key, value, KANA_CHOICES, kana);
  if (key == "case") return choice(key, value, CASE_CHOICES, case_action);
  if (key == "cjk_spacing") return choice(key, value, SPACING_CHOICES, cjk_spacing);

  if (key == "repeat_limit") {
    if (std::holds_alternative<NoneValue>(value)) {
      repeat_limit.reset();
      return std::nullopt;
    }
    const auto* n = std::get_if<std::uint64_t>(&value);
    if (!n) return type_mismatch(key, "int >= 1 or None");
    if (*n == 0) return invalid(key, "must be >= 1 (use None to disable)");
    repeat_limit = *n;
    return std::nullopt;
  }
  if (key == "emoji") {
    const std::string* text = nullptr;
    if (auto err = expect_str(key, value, text)) return err;
    if (*text == "keep" || *text == "remove") {
      emoji = {*text == "keep" ? EmojiAction::Kind::Keep : EmojiAction::Kind::Remove, {}};
      return std::nullopt;
    }
    return invalid(key, "must be keep or remove (got " + quoted(*text) + "); use emoji_placeholder to replace");
  }
  if (key == "emoji_placeholder") {
    if (std::holds_alternative<NoneValue>(value)) {
      if (emoji.kind == EmojiAction::Kind::Placeholder) emoji = {};
      return std::nullopt;
    }
    auto* s = std::get_if<std::string>(&value);
    if (!s) return type_mismatch(key, "str or None");
    emoji = {EmojiAction::Kind::Placeholder, std::move(*s)};
    return std::nullopt;
  }
  // url_wrap, the last key.
  if (std::holds_alternative<NoneValue>(value)) {
    url_wrap.reset();
    return std::nullopt;
  }
  auto* pair = std::get_if<std::pair<std::string, std::string>>(&value);
  if (!pair) return type_mismatch(key, "a (prefix, suffix) pair or None");
  url_wrap = std::move(*pair);
  protect_urls = true;
  return std::nullopt;
}

std::vector<std::pair<std::string_view, ConfigValue>> Config::entries() const {
  std::vector<std::pair<std::string_view, ConfigValue>> out;
  out.reserve(KEYS.size());
  for (const std::string_view key : KEYS) {
    auto value = get(key);
    // REQUIRES: get answers every name of KEYS ("key is in KEYS").
    out.emplace_back(key, std::move(*value));
  }
  return out;
}

std::variant<Config, ConfigError> Config::from_entries(std::vector<std::pair<std::string, ConfigValue>> entries) {
  // url_wrap turns protect_urls on as it is set, so it goes before every
  // other option: a protect_urls listed as off then has the last word.
  std::stable_partition(entries.begin(), entries.end(), [](const auto& entry) { return entry.first == "url_wrap"; });
  Config config;
  for (auto& [key, value] : entries) {
    if (auto err = config.set(key, std::move(value))) return *std::move(err);
  }
  if (auto err = config.check_cross_options()) return *std::move(err);
  return config;
}

std::optional<ConfigError> Config::check_cross_options() const {
  if (kansuji_to_arabic && arabic_to_kansuji)
    return invalid("arabic_to_kansuji", "kansuji_to_arabic and arabic_to_kansuji cannot both be enabled");
  return std::nullopt;
}

}  // namespace zenkor
