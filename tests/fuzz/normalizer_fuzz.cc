// A Normalizer built from the input: a preset, then options set by name with
// values of every kind (valid or not, and names that are no option), then
// possibly a small dictionary from one of the loaders; the rest of the input
// is the text.  What must hold whatever the options: the output is valid
// UTF-8 and the same along every path (the plan's, and every stage over the
// whole text), a failed Config::set leaves the config as it was, replaying
// Config::entries rebuilds the config, protected spans reach the output as
// written, and the none preset returns its input.  The path over code units
// gives what the others give.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "core/l4_extra/protect.h"
#include "core/pipeline.h"
#include "core/text/utf8_validate.h"
#include "dict/sudachi.h"
#include "tests/fuzz/check.h"

namespace {

using zenkor::Config;
using zenkor::ConfigError;
using zenkor::ConfigValue;
using zenkor::Normalized;
using zenkor::Normalizer;
using zenkor::Preset;
using zenkor::fuzz::valid_text;
using zenkor::l3_lexical::synonym::SynonymDict;
namespace protect = zenkor::l4_extra::protect;

// Option values the options accept, so that valid settings are common.
constexpr std::array<std::string_view, 9> WORDS = {
    "keep", "lower", "upper", "remove", "insert", "hira_to_kata", "kata_to_hira", "", "<絵>"};

ConfigValue any_value(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      return in.ConsumeBool();
    case 1:
      return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint64_t>(0, 4) : in.ConsumeIntegral<std::uint64_t>();
    case 2:
      return std::string(in.PickValueInArray(WORDS));
    case 3:
      return valid_text(in.ConsumeRandomLengthString(16));
    case 4: {
      std::string prefix = valid_text(in.ConsumeRandomLengthString(8));
      return std::pair(std::move(prefix), valid_text(in.ConsumeRandomLengthString(8)));
    }
    default:
      return zenkor::NoneValue{};
  }
}

bool is_option(std::string_view key) { return std::find(zenkor::KEYS.begin(), zenkor::KEYS.end(), key) != zenkor::KEYS.end(); }

// Sets options from the input, checking what a failed set must leave behind.
Config config_from(FuzzedDataProvider& in) {
  Config config = Config::from_preset(in.PickValueInArray(zenkor::ALL_PRESETS));
  for (int n = in.ConsumeIntegralInRange(0, 40); n > 0; --n) {
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, zenkor::KEYS.size());
    const std::string key =
        pick < zenkor::KEYS.size() ? std::string(zenkor::KEYS[pick]) : valid_text(in.ConsumeRandomLengthString(12));
    const Config before = config;
    if (const auto done = config.set(key, any_value(in)); !done.ok()) {
      FUZZ_CHECK(config == before);
      FUZZ_CHECK((done.error().kind == ConfigError::Kind::UnknownKey) == !is_option(key));
      FUZZ_CHECK(!done.error().display().empty());
    }
  }
  return config;
}

// Config::entries, replayed through Config::set, gives the config back; a
// url_wrap pair kept with protection off is the one documented exception.
void check_entries_rebuild(const Config& config) {
  Config rebuilt = Config::from_preset(Preset::None);
  for (const auto& [key, value] : config.entries()) FUZZ_CHECK(rebuilt.set(key, value).ok());
  if (config.url_wrap && !config.protect_urls) rebuilt.protect_urls = false;
  FUZZ_CHECK(rebuilt == config);
}

// A dictionary from one of the loaders, its entries whole-word or not, or none.
std::optional<SynonymDict> dictionary_from(FuzzedDataProvider& in) {
  const int loader = in.ConsumeIntegralInRange(0, 4);
  if (loader == 0) return std::nullopt;
  const bool whole_words = in.ConsumeBool();
  const std::string text = valid_text(in.ConsumeRandomLengthString(512));
  std::optional<SynonymDict> dict;
  if (loader == 4) {
    if (auto loaded = zenkor::dict::sudachi::load_sudachi_synonyms(text); loaded.ok()) dict = std::move(loaded).value();
  } else {
    auto loaded = loader == 3 ? SynonymDict::from_json_grouped(text)
                              : SynonymDict::from_delimited(text, loader == 1 ? U',' : U'\t');
    if (loaded.ok()) dict = std::move(loaded).value();
  }
  if (dict) dict->mark_whole_words(whole_words);
  return dict;
}

// Every way the library offers to normalize a text must give the same
// result; a new path is compared with the others here.  The reference is the
// definition: every stage that is on, each over the whole text.
void check_paths_agree(const Normalizer& normalizer, std::string_view text, const Normalized& segmented) {
  const std::string reference = normalizer.normalize_stage_by_stage(text);
  FUZZ_CHECK(segmented.text == reference);
  FUZZ_CHECK(normalizer.normalize(text) == reference);

  // As the binding calls it: the text as a str stores it is scanned first,
  // and one that no step can change is returned as it is; buffers are reused
  // from call to call.
  static std::string stored;
  static zenkor::Workspace space;
  const zenkor::WideText wide = zenkor::from_utf8(text, stored);
  std::string round_trip;
  FUZZ_CHECK(zenkor::to_utf8(wide.units, round_trip) && round_trip == text);
  const zenkor::Plan::Found found = normalizer.scan(wide.units);
  FUZZ_CHECK(found.any() || reference == text);
  if (found.any()) FUZZ_CHECK(normalizer.normalize(text, found.steps, space) == reference);
  FUZZ_CHECK(normalizer.normalize(text, space) == reference);

  // Over the code units, where the steps found allow it: the same text, in
  // the narrowest width that holds it.
  static zenkor::NativeSpace native;
  static std::string written_units;
  static std::string reference_units;
  zenkor::WideText written{};
  const auto outcome = found.any() ? normalizer.normalize_native(wide.units, found, native, space, written_units, written)
                                   : zenkor::NativeWidth::Outcome::not_native;
  if (outcome == zenkor::NativeWidth::Outcome::unchanged) FUZZ_CHECK(reference == text);
  if (outcome == zenkor::NativeWidth::Outcome::changed) {
    const zenkor::WideText want = zenkor::from_utf8(reference, reference_units);
    FUZZ_CHECK(zenkor::to_utf8(written.units, round_trip) && round_trip == reference && reference != text);
    FUZZ_CHECK(written.units.width == want.units.width && written.max_char == want.max_char);
  }
}

// Protected spans come out exactly as written (URLs inside the url_wrap
// pair), in order, as protected segments of the output.
void check_protected_spans(const Config& c, std::string_view text, const Normalized& out) {
  std::vector<std::string> expected;
  for (const auto& span : protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags)) {
    std::string written(text.substr(span.start, span.end - span.start));
    if (span.kind == protect::Kind::Url && c.url_wrap) written = c.url_wrap->first + written + c.url_wrap->second;
    expected.push_back(std::move(written));
  }
  std::vector<std::string> got;
  std::string joined;
  for (const auto& segment : out.segments) {
    if (segment.is_protected) got.push_back(segment.text);
    joined += segment.text;
  }
  FUZZ_CHECK(got == expected);
  FUZZ_CHECK(joined == out.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zenkor::fuzz::CpuBudget budget;
  FuzzedDataProvider in(data, size);
  Config config = config_from(in);
  if (const auto checked = config.check_cross_options(); !checked.ok()) {
    FUZZ_CHECK(checked.error().kind == ConfigError::Kind::Invalid && config.kansuji_to_arabic &&
               config.arabic_to_kansuji);
    return 0;  // such a config never makes a Normalizer
  }
  check_entries_rebuild(config);

  Normalizer normalizer(config);
  if (auto dict = dictionary_from(in)) normalizer = normalizer.with_synonyms(*dict);
  if (const SynonymDict* attached = normalizer.synonyms()) {
    for (const auto& entry : attached->entries()) FUZZ_CHECK(!entry.variant.empty());
  }

  const std::string text = valid_text(in.ConsumeRemainingBytesAsString());
  const Normalized out = normalizer.normalize_with_segments(text);
  FUZZ_CHECK(zenkor::text::utf8::is_valid(out.text));
  check_paths_agree(normalizer, text, out);
  check_protected_spans(config, text, out);

  static const Normalizer none(Config::from_preset(Preset::None));
  FUZZ_CHECK(none.normalize(text) == text);
  return 0;
}
