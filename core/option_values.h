// The types of the options that are more than on or off, apart from Config
// (core/config.h), so that the stages that take them can be included by the
// option table without including it in turn.
#pragma once

#include <cstdint>
#include <string>

namespace zenkor {

// Enums of the choice options: values number from 0 in the order of the
// names their table rows give.
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

}  // namespace zenkor
