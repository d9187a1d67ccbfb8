// How the steps of options that take a value read it from a Config.
//
// Each such stage declares these functions with its Step, in its header;
// they are defined here, above the option table, so that no stage includes
// core/config.h, which includes the stages.  A boolean option's stage reads
// no option and needs nothing here.

#include <cstddef>

#include "core/config.h"
#include "core/l1_char/case.h"
#include "core/l1_char/cjk_spacing.h"
#include "core/l1_char/repeat.h"
#include "core/l1_char/symbols.h"
#include "core/l2_script/kana.h"
#include "core/l4_extra/emoji.h"

namespace zenkor {

namespace l1_char::case_ {
void convert_step(const Config& config, std::string_view in, std::string& out, EditLog* log) {
  convert(in, out, config.case_action, log);
}
int convert_step_variant(const Config& config) noexcept { return static_cast<int>(config.case_action); }
}  // namespace l1_char::case_

namespace l1_char::cjk_spacing {
void process_step(const Config& config, std::string_view in, std::string& out, EditLog* log) {
  process(in, out, config.cjk_spacing, log);
}
int process_step_variant(const Config& config) noexcept { return static_cast<int>(config.cjk_spacing); }
}  // namespace l1_char::cjk_spacing

namespace l1_char::repeat {
void shorten_step(const Config& config, std::string_view in, std::string& out, EditLog* log) {
  shorten(in, out, static_cast<std::size_t>(*config.repeat_limit), log);  // planned only with a limit
}
}  // namespace l1_char::repeat

namespace l1_char::symbols {
void unify_step(const Config& config, std::string_view in, std::string& out, EditLog* log) {
  unify(in, out, config.unify_hyphens, config.unify_tildes, config.unify_prolonged, log);
}
int unify_step_variant(const Config& config) noexcept {
  return (config.unify_hyphens ? 1 : 0) | (config.unify_tildes ? 2 : 0) | (config.unify_prolonged ? 4 : 0);
}
}  // namespace l1_char::symbols

namespace l2_script::kana {
void convert_step(const Config& config, std::string_view in, std::string& out, EditLog* /*log*/) {
  if (config.kana == KanaAction::HiraToKata) {
    hira_to_kata(in, out);
  } else {
    kata_to_hira(in, out);
  }
}
int convert_step_variant(const Config& config) noexcept { return static_cast<int>(config.kana); }
}  // namespace l2_script::kana

namespace l4_extra::emoji {
void process_step(const Config& config, std::string_view in, std::string& out, EditLog* log) {
  process(in, out, config.emoji, log);
}
int process_step_variant(const Config& config) noexcept { return static_cast<int>(config.emoji.kind); }
}  // namespace l4_extra::emoji

}  // namespace zenkor
