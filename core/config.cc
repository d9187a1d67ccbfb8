#include "core/config.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cstdio>
#include <type_traits>

#include "core/text/utf8.h"

namespace zenkor {
namespace {

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

ConfigError type_mismatch(std::string_view key, std::string_view expected) {
  return {ConfigError::Kind::TypeMismatch, std::string(key), std::string(expected)};
}

ConfigError invalid(std::string_view key, std::string message) {
  return {ConfigError::Kind::Invalid, std::string(key), std::move(message)};
}

// The field of `option`, whose row gives it the type T (its kind's builder
// takes only fields of that type).
template <typename T>
T Config::*field_of(const Option& option) noexcept {
  return *std::get_if<T Config::*>(&option.field);
}

// A choice option's enum field, read and written as the index of its name.
std::size_t choice_index(const Config& config, const Option& option) noexcept {
  return std::visit([&](auto field) { return static_cast<std::size_t>(config.*field); },
                    *std::get_if<ChoiceField>(&option.field));
}

void set_choice_index(Config& config, const Option& option, std::size_t index) noexcept {
  std::visit(
      [&](auto field) { config.*field = static_cast<std::remove_reference_t<decltype(config.*field)>>(index); },
      *std::get_if<ChoiceField>(&option.field));
}

// The index of `text` among the names of a Choice or Emoji option.
std::optional<std::size_t> name_index(const Option& option, std::string_view text) noexcept {
  const auto found = std::find(option.names.begin(), option.names.end(), text);
  if (found == option.names.end()) return std::nullopt;
  return static_cast<std::size_t>(found - option.names.begin());
}

template <typename T>
ConfigValue or_none(const std::optional<T>& value) {
  return value ? ConfigValue(*value) : ConfigValue(NoneValue{});
}

// ---------------------------------------------------------------------------
// Each kind of value: how it is read back, and how a new one is checked and
// stored.  These setters are the only checks of option values; each writes
// its kind's messages.

using Done = Result<void, ConfigError>;

Done set_bool(Config& config, const Option& option, ConfigValue& value) {
  const bool* on = std::get_if<bool>(&value);
  if (!on) return type_mismatch(option.key, "bool");
  config.*field_of<bool>(option) = *on;
  return {};
}

Done set_choice(Config& config, const Option& option, ConfigValue& value) {
  const auto* text = std::get_if<std::string>(&value);
  if (!text) return type_mismatch(option.key, "str");
  const auto index = name_index(option, *text);
  if (!index) {
    std::string names;
    for (const std::string_view name : option.names) names += (names.empty() ? "" : ", ") + std::string(name);
    return invalid(option.key, "must be one of " + names + " (got " + quoted(*text) + ")");
  }
  set_choice_index(config, option, *index);
  return {};
}

Done set_limit(Config& config, const Option& option, ConfigValue& value) {
  auto& limit = config.*field_of<std::optional<std::uint64_t>>(option);
  if (std::holds_alternative<NoneValue>(value)) {
    limit.reset();
    return {};
  }
  const auto* n = std::get_if<std::uint64_t>(&value);
  if (!n) return type_mismatch(option.key, "int >= 1 or None");
  if (*n == 0) return invalid(option.key, "must be >= 1 (use None to disable)");
  limit = *n;
  return {};
}

// Keep and Remove by name; a placeholder is set through its own key.
ConfigValue emoji_value(const Config& config, const Option& option) {
  const EmojiAction& emoji = config.*field_of<EmojiAction>(option);
  return std::string(option.names[emoji.kind == EmojiAction::Kind::Remove ? 1 : 0]);
}

Done set_emoji(Config& config, const Option& option, ConfigValue& value) {
  const auto* text = std::get_if<std::string>(&value);
  if (!text) return type_mismatch(option.key, "str");
  const auto index = name_index(option, *text);
  if (!index) {
    return invalid(option.key, "must be keep or remove (got " + quoted(*text) + "); use emoji_placeholder to replace");
  }
  config.*field_of<EmojiAction>(option) = {static_cast<EmojiAction::Kind>(*index), {}};
  return {};
}

ConfigValue placeholder_value(const Config& config, const Option& option) {
  const EmojiAction& emoji = config.*field_of<EmojiAction>(option);
  return emoji.kind == EmojiAction::Kind::Placeholder ? ConfigValue(emoji.placeholder) : ConfigValue(NoneValue{});
}

// None clears a placeholder and leaves keep or remove as it was.
Done set_placeholder(Config& config, const Option& option, ConfigValue& value) {
  EmojiAction& emoji = config.*field_of<EmojiAction>(option);
  if (std::holds_alternative<NoneValue>(value)) {
    if (emoji.kind == EmojiAction::Kind::Placeholder) emoji = {};
    return {};
  }
  auto* text = std::get_if<std::string>(&value);
  if (!text) return type_mismatch(option.key, "str or None");
  emoji = {EmojiAction::Kind::Placeholder, std::move(*text)};
  return {};
}

// A pair wraps protected URLs, so it turns their protection on.
Done set_url_wrap(Config& config, const Option& option, ConfigValue& value) {
  auto& wrap = config.*field_of<std::optional<PrefixSuffix>>(option);
  if (std::holds_alternative<NoneValue>(value)) {
    wrap.reset();
    return {};
  }
  auto* pair = std::get_if<PrefixSuffix>(&value);
  if (!pair) return type_mismatch(option.key, "a (prefix, suffix) pair or None");
  wrap = std::move(*pair);
  config.protect_urls = true;
  return {};
}

ConfigValue value_of(const Config& config, const Option& option) {
  switch (option.kind) {
    case OptionKind::Bool: return config.*field_of<bool>(option);
    case OptionKind::Choice: return std::string(option.names[choice_index(config, option)]);
    case OptionKind::Limit: return or_none(config.*field_of<std::optional<std::uint64_t>>(option));
    case OptionKind::Emoji: return emoji_value(config, option);
    case OptionKind::EmojiPlaceholder: return placeholder_value(config, option);
    case OptionKind::UrlWrap: break;
  }
  return or_none(config.*field_of<std::optional<PrefixSuffix>>(option));
}

Done set_value(Config& config, const Option& option, ConfigValue& value) {
  switch (option.kind) {
    case OptionKind::Bool: return set_bool(config, option, value);
    case OptionKind::Choice: return set_choice(config, option, value);
    case OptionKind::Limit: return set_limit(config, option, value);
    case OptionKind::Emoji: return set_emoji(config, option, value);
    case OptionKind::EmojiPlaceholder: return set_placeholder(config, option, value);
    case OptionKind::UrlWrap: break;
  }
  return set_url_wrap(config, option, value);
}

const Option* find_option(std::string_view key) noexcept {
  const auto found = std::find_if(OPTIONS.begin(), OPTIONS.end(), [&](const Option& o) { return o.key == key; });
  return found == OPTIONS.end() ? nullptr : &*found;
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

Result<Preset, ParsePresetError> preset_from_str(std::string_view name) {
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

bool Option::switches_on(const Config& config) const noexcept {
  switch (kind) {
    case OptionKind::Bool: return config.*field_of<bool>(*this);
    case OptionKind::Choice: return choice_index(config, *this) != 0;
    case OptionKind::Limit: return (config.*field_of<std::optional<std::uint64_t>>(*this)).has_value();
    case OptionKind::Emoji: return (config.*field_of<EmojiAction>(*this)).kind == EmojiAction::Kind::Remove;
    case OptionKind::EmojiPlaceholder:
      return (config.*field_of<EmojiAction>(*this)).kind == EmojiAction::Kind::Placeholder;
    case OptionKind::UrlWrap: break;
  }
  return (config.*field_of<std::optional<PrefixSuffix>>(*this)).has_value();
}

ConfigValue PresetValue::value() const {
  switch (type) {
    case Type::Bool: return on;
    case Type::Name: return std::string(name);
    case Type::Number: return static_cast<std::uint64_t>(number);  // >= 1: the table is checked
    case Type::Unset: break;
  }
  return NoneValue{};
}

Config Config::from_preset(Preset p) {
  // Preset values go through set as a user's would; the table's
  // static_assert holds each to its option's kind, so set accepts them all.
  // That takes 0.6 us a preset, so each is built once and then copied, in
  // about 10 ns (assigning the fields one by one took 5).
  static const std::array<Config, ALL_PRESETS.size()> presets = [] {
    std::array<Config, ALL_PRESETS.size()> built;
    for (std::size_t i = 0; i < built.size(); ++i) {
      for (const Option& option : OPTIONS) {
        ConfigValue value = option.presets[i].value();
        (void)set_value(built[i], option, value);
      }
    }
    return built;
  }();
  return presets[static_cast<std::size_t>(p)];
}

std::optional<ConfigValue> Config::get(std::string_view key) const {
  const Option* option = find_option(key);
  if (!option) return std::nullopt;
  return value_of(*this, *option);
}

Result<void, ConfigError> Config::set(std::string_view key, ConfigValue value) {
  const Option* option = find_option(key);
  if (!option) return ConfigError{ConfigError::Kind::UnknownKey, std::string(key), {}};
  return set_value(*this, *option, value);
}

std::vector<std::pair<std::string_view, ConfigValue>> Config::entries() const {
  std::vector<std::pair<std::string_view, ConfigValue>> out;
  out.reserve(OPTIONS.size());
  for (const Option& option : OPTIONS) out.emplace_back(option.key, value_of(*this, option));
  return out;
}

Result<Config, ConfigError> Config::from_entries(std::vector<std::pair<std::string, ConfigValue>> entries) {
  // url_wrap turns protect_urls on as it is set, so it goes before every
  // other option: a protect_urls listed as off then has the last word.
  std::stable_partition(entries.begin(), entries.end(), [](const auto& entry) { return entry.first == "url_wrap"; });
  Config config;
  for (auto& [key, value] : entries) {
    if (auto done = config.set(key, std::move(value)); !done.ok()) return std::move(done).error();
  }
  if (auto done = config.check_cross_options(); !done.ok()) return std::move(done).error();
  return config;
}

Result<void, ConfigError> Config::check_cross_options() const {
  if (kansuji_to_arabic && arabic_to_kansuji)
    return invalid("arabic_to_kansuji", "kansuji_to_arabic and arabic_to_kansuji cannot both be enabled");
  return {};
}

}  // namespace zenkor
