// The plan against the stages it skips.  For many configurations and texts:
//   (a) normalize, which runs only the steps the plan finds triggers for, is
//       byte for byte normalize_stage_by_stage, which runs every step, with a
//       fresh workspace, a reused one and through the joined segments;
//   (b) in any width of code units the text fits, the steps a scan of them
//       finds give that same output, and where it finds none the stages
//       indeed leave the text as it is;
//   (b') normalize_native, given what that scan found, gives that same output
//       in the narrowest width that holds it, or leaves the text to the UTF-8
//       path (always for a text with a lone surrogate);
//   (c) to_utf8 gives back the text's UTF-8 in every such width, and fails
//       exactly for texts holding a lone surrogate; from_utf8 gives back
//       the text in the narrowest width it fits.
// Texts are the corpus lines, single characters, and random strings over
// the characters the stages touch.
//
//   plan_test [--corpus DIR] [--corpus-step K] [--char-step K] [--random N] [--mixtures N] [--seed S] [--full]
//
// By default every 50th corpus line, every 17th character and 2,000 random
// strings: a few seconds, for every run of the suite.  --full compares every
// corpus line, every character of the assigned planes and 300,000 random
// strings, some minutes; run it after changing a trigger or the plan:
//
//   build/cpp-tests/tests/cpp/plan_test --full --corpus ../shared/data/corpus
//
// --mixtures N draws N random option mixtures instead of 12, to explore
// combinations of options beyond the fixed list.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/pipeline.h"
#include "core/text/utf8.h"
#include "core/text/utf8_validate.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::Config;
using zenkor::ConfigValue;
using zenkor::Normalizer;
using zenkor::Preset;

// ---------------------------------------------------------------- configurations

struct NamedNormalizer {
  std::string name;
  Normalizer normalizer;
  // Kept across texts, as the binding keeps one per thread, so that nothing
  // a call leaves in it can reach the next call's output.
  zenkor::Workspace space;
  zenkor::NativeSpace native;  // likewise for the path over code units
  std::string output;
};

std::string value_text(const ConfigValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::uint64_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return zenkor::quoted(v);
        } else if constexpr (std::is_same_v<T, std::pair<std::string, std::string>>) {
          std::string pair = "(";
          pair += zenkor::quoted(v.first);
          pair += ", ";
          pair += zenkor::quoted(v.second);
          return pair + ")";
        } else {
          return "None";
        }
      },
      value);
}

// Every option whose value differs from the "none" preset, so a failure
// names the whole configuration.
std::string describe(const Config& config) {
  const Config none = Config::from_preset(Preset::None);
  std::string out;
  for (const auto& [key, value] : config.entries()) {
    if (value == *none.get(key)) continue;
    out += out.empty() ? "" : ", ";
    out += std::string(key) + "=" + value_text(value);
  }
  return out.empty() ? "(every option off)" : out;
}

// The values other than off that each non-boolean option is tried with.
// Boolean options need no entry: they are tried on.  The emoji placeholders
// hold characters later steps change, so the plan must rescan after them.
std::vector<ConfigValue> values_besides_off(std::string_view key) {
  using Pair = std::pair<std::string, std::string>;
  if (key == "kana") return {std::string("hira_to_kata"), std::string("kata_to_hira")};
  if (key == "case") return {std::string("lower"), std::string("upper")};
  if (key == "cjk_spacing") return {std::string("remove"), std::string("insert")};
  if (key == "repeat_limit") return {std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3}};
  if (key == "emoji") return {std::string("remove")};
  if (key == "emoji_placeholder") return {std::string("[Emoji 1]"), std::string("〓"), std::string()};
  if (key == "url_wrap") return {Pair("<", ">"), Pair("［", "］ ")};
  return {true};
}

Config with(Config config, std::string_view key, ConfigValue value) {
  const auto done = config.set(key, value);
  if (!CHECK(done.ok())) std::fprintf(stderr, "  %s\n", done.error().display().c_str());
  return config;
}

Normalizer build(const Config& config) {
  CHECK(config.check_cross_options().ok());
  return Normalizer(config);
}

std::vector<NamedNormalizer> configurations(std::size_t mixtures) {
  std::vector<NamedNormalizer> all;
  const auto add = [&](std::string name, const Config& config) {
    all.push_back({std::move(name), build(config), {}, {}, {}});
  };
  for (const Preset p : zenkor::ALL_PRESETS) add(std::string(zenkor::preset_name(p)), Config::from_preset(p));

  // Each option alone, with each of its values; the three symbol flags also together.
  const Config none = Config::from_preset(Preset::None);
  for (const std::string_view key : zenkor::KEYS) {
    for (const ConfigValue& value : values_besides_off(key)) {
      add("none + " + std::string(key) + "=" + value_text(value), with(none, key, value));
    }
  }
  Config symbols = none;
  for (const std::string_view key : {"unify_hyphens", "unify_tildes", "unify_prolonged"}) symbols = with(symbols, key, true);
  add("none + the three symbol flags", symbols);

  // Each option that is on in for_search or for_compare, switched off.
  for (const Preset p : {Preset::ForSearch, Preset::ForCompare}) {
    const Config preset = Config::from_preset(p);
    for (const std::string_view key : zenkor::KEYS) {
      const ConfigValue off = *none.get(key);
      if (*preset.get(key) == off) continue;
      add(std::string(zenkor::preset_name(p)) + " - " + std::string(key), with(preset, key, off));
    }
  }

  // Random mixtures from a fixed seed: each option keeps its preset's value or
  // takes one of its values, off included.
  std::mt19937 rng(20261207);
  for (std::size_t i = 0; i < mixtures; ++i) {
    Config config = Config::from_preset(zenkor::ALL_PRESETS[rng() % zenkor::ALL_PRESETS.size()]);
    for (const std::string_view key : zenkor::KEYS) {
      if (rng() % 2 == 0) continue;
      std::vector<ConfigValue> values = values_besides_off(key);
      values.push_back(*none.get(key));
      config = with(config, key, values[rng() % values.size()]);
    }
    if (!config.check_cross_options().ok()) config = with(config, "arabic_to_kansuji", false);
    add("random mixture " + std::to_string(i + 1), config);
  }

  // Dictionaries, whose first characters trigger the synonym step: variants
  // that start with ASCII, with a character past U+FFFF (which the plan looks
  // up apart from the rest), and one that normalization rewrites (𠮷 becomes
  // 吉 before it is stored).
  zenkor::l3_lexical::synonym::SynonymDict dict;
  dict.insert("スマホ", "スマートフォン");
  dict.insert("ai", "人工知能");
  dict.insert("𩸽定食", "ほっけ定食");
  dict.insert("𠮷野家", "吉野家");
  dict.insert("東京都庁", "都庁");
  dict.insert("ﾊﾟｿｺﾝ", "PC");
  for (const Preset p : {Preset::ForSearch, Preset::ForCompare}) {
    all.push_back({std::string(zenkor::preset_name(p)) + " with synonyms", build(Config::from_preset(p)).with_synonyms(dict), {}, {}, {}});
  }
  // With no other step that looks past U+FFFF, only the dictionary's astral
  // first character can make the plan read astral characters.
  const std::pair<std::string, std::string> single_entries[] = {{"𩸽", "ほっけ"}, {"ai", "AI"}};
  for (const auto& [variant, canonical] : single_entries) {
    zenkor::l3_lexical::synonym::SynonymDict one;
    one.insert(variant, canonical);
    all.push_back({"none with the synonym " + zenkor::quoted(variant), build(none).with_synonyms(one), {}, {}, {}});
  }
  return all;
}

// ---------------------------------------------------------------- texts

// One piece of a random text: a fixed string, or one code point of a range.
struct Atom {
  std::u32string fixed;
  char32_t first = 0;
  char32_t last = 0;

  [[nodiscard]] char32_t max() const {
    return fixed.empty() ? last : *std::max_element(fixed.begin(), fixed.end());
  }
};

// Atoms of one kind.  Texts draw each piece from a group first, so a range
// of sixty characters is drawn as often as a list of six.
using Group = std::vector<Atom>;

Group chars(std::u32string_view list) {
  Group group;
  for (const char32_t c : list) group.push_back({std::u32string(1, c)});
  return group;
}

Group strings(std::initializer_list<std::u32string_view> list) {
  Group group;
  for (const auto s : list) group.push_back({std::u32string(s)});
  return group;
}

Group ranges(std::initializer_list<std::pair<char32_t, char32_t>> list) {
  Group group;
  for (const auto& [first, last] : list) group.push_back({{}, first, last});
  return group;
}

// The characters the stages change, the ones they look at around those, and
// the ones that end or split their contexts.
std::vector<Group> alphabet() {
  return {
      // ASCII, and the strings of it that stages read as a unit.
      chars(U"aZxA0129  .,:;!?()[]{}<>/\\'\"`~-_#@%&*+=|^$"),
      strings({U"\r\n", U"\r", U"\n", U"\t", U"ab", U"AI", U"ai", U"12", U"3.5", U"1,000", U"007", U"  "}),
      // Controls, Latin-1 (all a one-byte str holds) and the white space trim removes.
      ranges({{0x00, 0x1F}, {0x7F, 0xFF}}),
      chars(U"\u0085\u00A0\u00AD\u00B5\u00BD\u00E9\u00DF\u00A8\u00B4\u1680\u2000\u2009\u200A\u202F\u205F\u2028\u2029\u3000"),
      // Fullwidth forms.
      ranges({{0xFF01, 0xFF5E}}),
      chars(U"ＡＢｚ０１９！？（）［］～－＿＂＇　"),
      // Halfwidth katakana and their sound marks.
      ranges({{0xFF61, 0xFF9F}}),
      chars(U"ｶﾞﾊﾟｳﾞﾞﾟｰﾝ"),
      // Kana, Ainu kana and the sound marks in their three forms.
      ranges({{0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x31F0, 0x31FF}, {0x3099, 0x309C}}),
      // Iteration marks, prolonged marks, small and old kana, and what they follow.
      chars(U"かがはばぱうゔカガハバパウヴ時ゝゞヽヾ々〻ーー〜〜ァィゥェォャュョヴヂヅヰヱウテデトドッ・"),
      strings({U"ヽ(", U"ゞ（", U"ウィ", U"ヴォ", U"ヴャ", U"トゥ", U"コーヒー", U"ビール"}),
      // The words of the test dictionaries, as written and as normalization finds them.
      strings({U"スマホ", U"ｽﾏﾎ", U"ai", U"AI", U"ＡＩ", U"𩸽", U"𩸽定食", U"𠮷野家", U"東京都庁", U"ﾊﾟｿｺﾝ", U"パソコン"}),
      // Numerals, eras and the words around them.
      chars(U"〇一二三四五六七八九十百千万億兆京零年月日人つ円不何幾数"),
      strings({U"明治", U"大正", U"昭和", U"平成", U"令和", U"元年", U"十一", U"二千二十四", U"八百屋", U"五十嵐"}),
      // Old and variant kanji, CJK compatibility characters, kanji past U+FFFF.
      chars(U"國學體舊龍德濵髙﨑嶋邊𠮷𩸽野家東京都庁①②⑳㈱㈲㌔㍻㍿豈\uF9FF\uFA11\U0002F800\U0002F8B2"),
      ranges({{0x2460, 0x24FF}, {0x3200, 0x33FF}, {0xF900, 0xFAFF}, {0x2F800, 0x2FA1F}}),
      // Invisible characters: bidi, zero width, variation selectors, tags.
      chars(U"\u200B\u200C\u200D\u200E\u200F\u202A\u202E\u2060\u2066\u2069\uFEFF\uFE00\uFE0E\uFE0F\U000E0100\U000E01EF\U000E0001"),
      // Emoji, their sequences, skin tones, flags, keycaps.
      chars(U"\U0001F600\U0001F44D\U0001F3FB\u2764\u2B50\u263A\U0001F1EF\U0001F1F5\U0001F9D1\U0001FAE0\u20E3"),
      strings({U"\U0001F468\u200D\U0001F469", U"1\uFE0F\u20E3", U"\u2764\uFE0F"}),
      // Quotes, dashes, bars, symbols.
      chars(U"‘’‚‛“”„‟‹›«»「」『』＂＇‐‑‒–—―−﹘﹣－\u00AD\u058A─━~˜⁓∼∽∾〜～…※・"),
      // Cased letters whose mapping is not one to one or looks around, and
      // letters that compose or fold past U+FFFF.
      chars(U"ΣσςΑİıßﬁǅẞ\U00010400\U00010428\u0301\u0308\U0001D400\U0001D7CF\U0001F130"),
      strings({U"ΑΣ", U"ΟΔΟΣ.", U"e\u0301", U"\u1100\u1161\u11A8", U"가\u11A8"}),
      // What protection finds.
      strings({U"https://x.jp/a", U"http://ex.com/?q=1", U"www.x.jp", U"a@b.co", U"@user", U"#tag", U"#タグ", U"x.jp"}),
      // Any character at all, for what the lists above forgot.
      ranges({{0x80, 0xD7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}}),
  };
}

// `groups` with only the atoms below `limit`, and no group left empty.
std::vector<Group> below(const std::vector<Group>& groups, char32_t limit) {
  std::vector<Group> kept;
  for (const Group& group : groups) {
    Group small;
    for (const Atom& atom : group) {
      if (atom.max() < limit) small.push_back(atom);
    }
    if (!small.empty()) kept.push_back(std::move(small));
  }
  return kept;
}

char32_t random_code_point(std::mt19937& rng, char32_t first, char32_t last) {
  return static_cast<char32_t>(std::uniform_int_distribution<std::uint32_t>(first, last)(rng));
}

// A random text of at most 40 code points over `groups`; runs of a repeated
// piece are frequent, for the stages that shorten or collapse them.
std::u32string random_text(std::mt19937& rng, const std::vector<Group>& groups) {
  const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
  std::u32string text;
  while (text.size() < length) {
    const Group& group = groups[rng() % groups.size()];
    const Atom& atom = group[rng() % group.size()];
    const int times = rng() % 6 == 0 ? std::uniform_int_distribution<int>(2, 6)(rng) : 1;
    const std::u32string piece =
        atom.fixed.empty() ? std::u32string(1, random_code_point(rng, atom.first, atom.last)) : atom.fixed;
    for (int t = 0; t < times; ++t) text += piece;
  }
  text.resize(length);
  return text;
}

// ---------------------------------------------------------------- the checks

std::string to_utf8_reference(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) zenkor::text::utf8::append(out, c);
  return out;
}

bool has_surrogate(const std::u32string& text) {
  return std::any_of(text.begin(), text.end(), [](char32_t c) { return c >= 0xD800 && c <= 0xDFFF; });
}

// A text as a Python str could store it, in each width it fits.
struct Stored {
  std::vector<std::uint8_t> narrow;
  std::vector<std::uint16_t> wide;
  std::vector<std::uint32_t> full;
  std::vector<zenkor::CodeUnits> forms;

  explicit Stored(const std::u32string& text) : full(text.begin(), text.end()) {
    const char32_t max = text.empty() ? 0 : *std::max_element(text.begin(), text.end());
    if (max < 0x100) {
      narrow.assign(text.begin(), text.end());
      forms.push_back({narrow.data(), narrow.size(), 1});
    }
    if (max < 0x10000) {
      wide.assign(text.begin(), text.end());
      forms.push_back({wide.data(), wide.size(), 2});
    }
    forms.push_back({full.data(), full.size(), 4});
  }
};

struct Tally {
  std::size_t pairs = 0;            // (text, configuration) pairs compared
  std::size_t unchanged_claims = 0; // may_change answers of false, each verified
  std::size_t native = 0;           // texts in a width that normalize_native took, each verified
  std::size_t failures = 0;
};

constexpr std::size_t MAX_REPORTED = 20;

void fail(Tally& tally, const std::string& what) {
  ++tally.failures;
  ++zenkor::test::failed();
  if (tally.failures <= MAX_REPORTED) std::fprintf(stderr, "%s\n", what.c_str());
  if (tally.failures == MAX_REPORTED) std::fprintf(stderr, "(further failures are counted, not shown)\n");
}

void pass() { ++zenkor::test::passed(); }

// (c), which no configuration changes.
void check_conversion(const std::u32string& text, Tally& tally) {
  const Stored stored(text);
  const bool surrogate = has_surrogate(text);
  const std::string want = surrogate ? std::string() : to_utf8_reference(text);
  std::string got;
  for (const zenkor::CodeUnits& form : stored.forms) {
    const bool ok = zenkor::to_utf8(form, got);
    if (ok == !surrogate && (surrogate || got == want)) {
      pass();
      continue;
    }
    fail(tally, "to_utf8, width " + std::to_string(form.width) + ": " + (ok ? "converted" : "failed") + "\n  text " +
                    (surrogate ? std::string("with a surrogate") : zenkor::quoted(want)) + "\n  got  " +
                    zenkor::quoted(got));
  }
  if (surrogate) return;
  std::string buffer;
  const zenkor::WideText back = zenkor::from_utf8(want, buffer);
  const zenkor::CodeUnits& narrowest = stored.forms.front();
  const std::size_t bytes = narrowest.length * narrowest.width;
  if (back.units.width == narrowest.width && back.units.length == narrowest.length &&
      (bytes == 0 || std::memcmp(back.units.data, narrowest.data, bytes) == 0)) {
    pass();
  } else {
    fail(tally, "from_utf8 of " + zenkor::quoted(want) + ": width " + std::to_string(back.units.width) + ", length " +
                    std::to_string(back.units.length));
  }
}

// (b') for one width of a text.
void check_native(NamedNormalizer& n, const zenkor::CodeUnits& form, zenkor::Plan::Found found, const std::string& text,
                  const std::string& every_step, Tally& tally) {
  zenkor::WideText got{};
  const auto outcome = n.normalizer.normalize_native(form, found, n.native, n.space, n.output, got);
  if (outcome == zenkor::NativeWidth::Outcome::not_native) return;
  ++tally.native;
  std::string buffer;
  const zenkor::WideText want = zenkor::from_utf8(every_step, buffer);
  const bool same =
      outcome == zenkor::NativeWidth::Outcome::unchanged
          ? every_step == text
          : every_step != text && got.units.width == want.units.width && got.units.length == want.units.length &&
                got.max_char == want.max_char &&
                std::memcmp(got.units.data, want.units.data, want.units.length * want.units.width) == 0;
  if (same) {
    pass();
    return;
  }
  std::string written;
  if (outcome == zenkor::NativeWidth::Outcome::changed && zenkor::to_utf8(got.units, written)) written = zenkor::quoted(written);
  fail(tally, "native path in width " + std::to_string(form.width) + " and stages differ\n  config " + n.name + ": " +
                  describe(n.normalizer.config()) + "\n  text   " + zenkor::quoted(text) + "\n  stages " +
                  zenkor::quoted(every_step) + "\n  native " +
                  (outcome == zenkor::NativeWidth::Outcome::unchanged ? std::string("unchanged")
                                                                      : written + ", width " + std::to_string(got.units.width)));
}

// (a) and (b) for one configuration.
void check_text(NamedNormalizer& n, const std::u32string& code_points, const std::string& text, Tally& tally) {
  ++tally.pairs;
  const Stored stored(code_points);
  if (has_surrogate(code_points)) {
    // No UTF-8 holds it; normalizing must go through the conversion that reports it.
    for (const zenkor::CodeUnits& form : stored.forms) {
      zenkor::WideText wide{};
      const zenkor::Plan::Found found = n.normalizer.scan(form);
      if (found.any() && n.normalizer.normalize_native(form, found, n.native, n.space, n.output, wide) ==
                             zenkor::NativeWidth::Outcome::not_native) {
        pass();
      } else {
        fail(tally, "a text with a surrogate not left to the UTF-8 path, width " + std::to_string(form.width) +
                        "\n  config " + n.name + ": " + describe(n.normalizer.config()));
      }
    }
    return;
  }
  const std::string every_step = n.normalizer.normalize_stage_by_stage(text);
  // The plan through each way in: a fresh workspace, a reused one, and the
  // segments (which are joined even when nothing is protected).
  const std::pair<const char*, std::string> planned[] = {
      {"plan", n.normalizer.normalize(text)},
      {"plan, workspace reused", std::string(n.normalizer.normalize(text, n.space))},
      {"plan, segments joined", n.normalizer.normalize_with_segments(text).text},
  };
  for (const auto& [way, output] : planned) {
    if (output == every_step) {
      pass();
    } else {
      fail(tally, std::string(way) + " and stages differ\n  config " + n.name + ": " + describe(n.normalizer.config()) +
                      "\n  text   " + zenkor::quoted(text) + "\n  stages " + zenkor::quoted(every_step) +
                      "\n  plan   " + zenkor::quoted(output));
    }
  }
  for (const zenkor::CodeUnits& form : stored.forms) {
    // What the binding does: the steps a scan of the str's storage found.
    const zenkor::Plan::Found found = n.normalizer.scan(form);
    if (found.any()) {
      const std::string_view output = n.normalizer.normalize(text, found.steps, n.space);
      if (output == every_step) {
        pass();
      } else {
        fail(tally, "steps found in width " + std::to_string(form.width) + " and stages differ\n  config " + n.name +
                        ": " + describe(n.normalizer.config()) + "\n  text   " + zenkor::quoted(text) +
                        "\n  stages " + zenkor::quoted(every_step) + "\n  plan   " + zenkor::quoted(output));
      }
      check_native(n, form, found, text, every_step, tally);
      continue;
    }
    ++tally.unchanged_claims;
    if (every_step == text) {
      pass();
    } else {
      fail(tally, "may_change false, width " + std::to_string(form.width) + ", but the stages change the text\n  config " +
                      n.name + ": " + describe(n.normalizer.config()) + "\n  text   " + zenkor::quoted(text) +
                      "\n  stages " + zenkor::quoted(every_step));
    }
  }
}

// ---------------------------------------------------------------- driver

struct Options {
  std::optional<std::filesystem::path> corpus;
  std::size_t corpus_step = 50;
  std::size_t char_step = 17;
  std::size_t random_texts = 2000;
  std::size_t mixtures = 12;
  std::uint32_t seed = 20261207;
};

std::optional<Options> parse(int argc, char** argv) {
  Options options;
  const auto count = [](const char* arg) { return static_cast<std::size_t>(std::strtoull(arg, nullptr, 10)); };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--full") {
      options.corpus_step = 1;
      options.char_step = 1;
      options.random_texts = 300000;
    } else if (arg == "--corpus" && has_value) {
      options.corpus = argv[++i];
    } else if (arg == "--corpus-step" && has_value) {
      options.corpus_step = std::max<std::size_t>(1, count(argv[++i]));
    } else if (arg == "--char-step" && has_value) {
      options.char_step = std::max<std::size_t>(1, count(argv[++i]));
    } else if (arg == "--random" && has_value) {
      options.random_texts = count(argv[++i]);
    } else if (arg == "--mixtures" && has_value) {
      options.mixtures = count(argv[++i]);
    } else if (arg == "--seed" && has_value) {
      options.seed = static_cast<std::uint32_t>(count(argv[++i]));
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// Every `step`-th line of the corpus files, in name order.  Lines that are not
// valid UTF-8 are counted in `invalid` and left out: normalize requires UTF-8.
std::vector<std::string> corpus_lines(const std::filesystem::path& dir, std::size_t step, std::size_t& invalid) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> lines;
  std::size_t index = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line); ++index) {
      if (index % step != 0) continue;
      if (zenkor::text::utf8::is_valid(line)) {
        lines.push_back(std::move(line));
      } else {
        ++invalid;
      }
    }
  }
  return lines;
}

void check_all(std::vector<NamedNormalizer>& normalizers, const std::u32string& text, Tally& tally) {
  check_conversion(text, tally);
  const std::string utf8 = has_surrogate(text) ? std::string() : to_utf8_reference(text);
  for (auto& n : normalizers) check_text(n, text, utf8, tally);
}

void print(const char* part, const std::string& texts, std::size_t configurations, const Tally& tally) {
  std::printf("%s: %s x %zu configurations = %zu pairs compared, %zu verdicts of may_change false checked, "
              "%zu texts in a width normalized over code units, %zu failures\n",
              part, texts.c_str(), configurations, tally.pairs, tally.unchanged_claims, tally.native, tally.failures);
}

// The corpus lines.
void check_corpus(std::vector<NamedNormalizer>& normalizers, const Options& options) {
  if (!options.corpus || !std::filesystem::is_directory(*options.corpus)) {
    std::printf("corpus: not found%s%s, skipped\n", options.corpus ? " at " : " (no --corpus given)",
                options.corpus ? options.corpus->string().c_str() : "");
    return;
  }
  std::size_t invalid = 0;
  const auto lines = corpus_lines(*options.corpus, options.corpus_step, invalid);
  CHECK(!lines.empty());
  CHECK(invalid == 0);
  Tally tally;
  for (const std::string& line : lines) check_all(normalizers, zenkor::text::utf8::decode(line), tally);
  print("corpus", std::to_string(lines.size()) + " lines (every " + std::to_string(options.corpus_step) + ")",
        normalizers.size(), tally);
}

// Every `char_step`-th character alone, which settles each character-local
// trigger, and after a katakana, which sound marks and iteration marks join.
// Past the Basic Multilingual Plane, the planes that Unicode 15 assigns
// characters to: 1 to 3 and the tags and selectors of plane 14.
void check_characters(std::vector<NamedNormalizer>& normalizers, const Options& options) {
  constexpr std::pair<char32_t, char32_t> ASSIGNED[] = {{0x0, 0xD7FF}, {0xE000, 0x3FFFF}, {0xE0000, 0xE01EF}};
  Tally tally;
  std::size_t count = 0;
  std::size_t index = 0;
  for (const auto& [first, last] : ASSIGNED) {
    for (char32_t c = first; c <= last; ++c, ++index) {
      if (index % options.char_step != 0) continue;
      ++count;
      check_all(normalizers, std::u32string(1, c), tally);
      if (c < 0x10000) check_all(normalizers, std::u32string{U'カ', c}, tally);
    }
  }
  print("characters", std::to_string(count) + " code points (every " + std::to_string(options.char_step) +
                          "), alone and the BMP ones also after カ", normalizers.size(), tally);
}

// Texts in which a step makes a trigger of a later step where part of it
// lies outside the characters that step changed: the era's name before them
// or the 年 after them, the run they continue.  After a step the plan looks
// only around what it changed.
void check_rescans(std::vector<NamedNormalizer>& normalizers) {
  const std::u32string texts[] = {
      U"\u337B30年",        // the era's name made, its 年 after it
      U"Ｈ30年と",           // the era's letter made
      U"平成30\uF98E",       // the 年 made, the era's name before it
      U"平成の30\uF98Eに",
      U"!!！",               // a run continued backwards
      U"！!!",               // and forwards
      U"！!!!",
      U"ﾃﾞｰｰタ",            // a run of ー made next to one
      U"ｶ\u3099ｰ",           // a sound mark joined before a ー
      U"コーヒー\u200B。",   // a word end made by a removal
      U"x\u3000\u200B\u3000y",  // spaces brought together
  };
  // A run longer than two past what a step changed takes a longer limit.
  std::vector<NamedNormalizer> with_longer_runs;
  with_longer_runs.push_back(
      {"for_search, repeat_limit=3", build(with(Config::from_preset(Preset::ForSearch), "repeat_limit", std::uint64_t{3})), {}, {}, {}});
  Tally tally;
  for (const std::u32string& text : texts) {
    check_all(normalizers, text, tally);
    check_all(with_longer_runs, text, tally);
  }
  print("rescans", std::to_string(std::size(texts)) + " texts", normalizers.size() + 1, tally);
}

// Texts where the path over code units must see that a character's rewrite
// reads its neighbour: what the character before a guarded entry is (or was
// before an earlier step removed or rewrote it), pairs and chains, and
// results narrower or wider than their input.
void check_neighbours(std::vector<NamedNormalizer>& normalizers) {
  const std::u32string texts[] = {
      U"ｶﾟ", U"カﾟ", U"(ﾟ", U"ﾟﾟ", U"カ\u200Bﾟ", U"ｶ\u200B\u309B", U"\u309Bカ", U"A\u3099",  // sound marks
      U"Σ", U"ΑΣ", U"(Σ)", U"'Σ", U"\u0345Σ", U"ＡΣ", U"ΣΑ",                               // final sigma
      U"\r\n", U"\r", U"カ─", U"─カ", U"ア━━",                                            // CR LF, bars
      U"時々々", U"ヽ(", U"ヽ（", U"ゞ", U"カヾ",                                              // iteration marks
      U"ウィ", U"ヴャ", U"ヴ", U"ヴァー", U"ﾃﾞｨ",                                             // loanword pairs
      U"¼", U"µ", U"Ａé", U"\u3000ａ\u3000", U"ｱ  ｲ", U"ｰｰｰ", U"ＡＡＡＡ",                // widths, runs, trim
  };
  Tally tally;
  for (const std::u32string& text : texts) check_all(normalizers, text, tally);
  print("neighbours", std::to_string(std::size(texts)) + " texts", normalizers.size(), tally);
}

// Random strings; a third keep to Latin-1 and a third to the Basic
// Multilingual Plane, so every width of code units is tried often, and one in
// sixteen of the others holds a lone surrogate, as a str may.
void check_random(std::vector<NamedNormalizer>& normalizers, const Options& options) {
  const std::vector<Group> any = alphabet();
  const std::vector<Group> latin1 = below(any, 0x100);
  const std::vector<Group> bmp = below(any, 0x10000);
  std::mt19937 rng(options.seed);
  std::size_t with_surrogate = 0;
  Tally tally;
  for (std::size_t i = 0; i < options.random_texts; ++i) {
    std::u32string text = random_text(rng, i % 3 == 0 ? latin1 : i % 3 == 1 ? bmp : any);
    if (i % 3 != 0 && rng() % 16 == 0) {
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(rng() % (text.size() + 1)),
                  random_code_point(rng, 0xD800, 0xDFFF));
      ++with_surrogate;
    }
    check_all(normalizers, text, tally);
  }
  print("random", std::to_string(options.random_texts) + " texts (" + std::to_string(with_surrogate) +
                      " with a surrogate, seed " + std::to_string(options.seed) + ")",
        normalizers.size(), tally);
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = parse(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: %s [--corpus DIR] [--corpus-step K] [--char-step K] [--random N] [--mixtures N] [--seed S] [--full]\n",
                 argv[0]);
    return 2;
  }
  std::vector<NamedNormalizer> normalizers = configurations(options->mixtures);
  check_corpus(normalizers, *options);
  check_characters(normalizers, *options);
  check_rescans(normalizers);
  check_neighbours(normalizers);
  check_random(normalizers, *options);
  return zenkor::test::finish();
}
