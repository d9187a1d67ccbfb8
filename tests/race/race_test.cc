// Many threads on one Normalizer, as a free-threaded interpreter lets Python
// threads share one with no lock around the module's code.  Built under
// ThreadSanitizer by scripts/race.sh, which fails on any report.
//
// The normalizer holds a large dictionary (the Sudachi synonyms, through
// the project's own loader) whose search is compiled lazily: every thread's
// first call needs it, and the threads start at once, so they race to
// compile it.  Each thread then runs every call in an order of its own,
// along the binding's own paths (py/text_work, py/lock_policy.h,
// py/arrow_normalize):
//   - normalize: the text as a str stores it (latin-1, UCS-2 or UCS-4),
//     scanned and normalized in the thread's buffers, timed by the thread's
//     lock policy;
//   - the module function normalize, with the preset normalizers that the
//     first call builds;
//   - batches: chunks of texts of every width, a lone surrogate among them;
//     and a batch of them all shared by several jobs (py/batch_jobs);
//   - explain and normalize_with_offsets;
//   - levenshtein;
//   - normalize_arrays with several jobs on columns of every Arrow string
//     type that all threads read at once.
// Every output is compared with what a single thread got beforehand from a
// second normalizer built alike, through the core's plain calls.
//
//   race_test SYNONYMS CORPUS_DIR [--threads N] [--lines N] [--rounds N]
//
// Defaults: 8 threads, 3,000 corpus lines (a spread of every file), 1 round:
// about 10 s under ThreadSanitizer, the build of the core about a minute.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/levenshtein.h"
#include "core/pipeline.h"
#include "core/text/utf8.h"
#include "dict/sudachi.h"
#include "dict/text_file.h"
#include "py/arrow_column.h"
#include "py/arrow_normalize.h"
#include "py/batch_jobs.h"
#include "py/lock_policy.h"
#include "py/text_work.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::CodeUnits;
using zenkor::Config;
using zenkor::Normalizer;
using zenkor::Preset;
namespace arrow = zenkor::arrow;
namespace py = zenkor::py;

// ---------------------------------------------------------------- texts

// A text as a str would store it: in the narrowest width of its characters.
struct Text {
  std::u32string chars;
  std::string storage;
  unsigned width = 1;
  bool surrogate = false;  // a lone one: the text has no UTF-8 form
  std::string utf8;        // when it has one

  explicit Text(std::u32string c) : chars(std::move(c)) {
    const char32_t most = chars.empty() ? 0 : *std::max_element(chars.begin(), chars.end());
    width = most < 0x100 ? 1 : most < 0x10000 ? 2 : 4;
    for (const char32_t ch : chars) {
      surrogate = surrogate || (ch >= 0xD800 && ch <= 0xDFFF);
      storage.append(reinterpret_cast<const char*>(&ch), width);  // little-endian: the low bytes first
    }
    if (!surrogate) {
      for (const char32_t ch : chars) zenkor::text::utf8::append(utf8, ch);
    }
  }
  [[nodiscard]] CodeUnits units() const { return {storage.data(), chars.size(), width}; }
};

// Every `step`-th line of each corpus file, in name order.
std::vector<std::string> corpus_lines(const std::filesystem::path& dir, std::size_t wanted) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::vector<std::string>> all;
  std::size_t total = 0;
  for (const auto& file : files) {
    std::ifstream in(file);
    auto& lines = all.emplace_back();
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.size() < 2000 && zenkor::text::utf8::length(line) > 0) lines.push_back(line);
    }
    total += lines.size();
  }
  std::vector<std::string> out;
  const std::size_t step = std::max<std::size_t>(1, total / std::max<std::size_t>(1, wanted));
  for (const auto& lines : all) {
    for (std::size_t i = 0; i < lines.size(); i += step) out.push_back(lines[i]);
  }
  return out;
}

// Texts that hold dictionary variants (first, from index 0); the corpus
// lines; latin-1 texts and texts past U+FFFF, so that every width is
// common; and lone surrogates.
std::vector<Text> make_texts(const std::vector<std::string>& lines, const zenkor::l3_lexical::synonym::SynonymDict& dict) {
  std::vector<Text> texts;
  const auto& entries = dict.entries();
  for (std::size_t i = 0; i < entries.size(); i += std::max<std::size_t>(1, entries.size() / 300)) {
    texts.emplace_back(zenkor::text::utf8::decode("「" + entries[i].variant + "」と" + entries[i / 2].variant + "の話"));
  }
  for (const std::string& line : lines) texts.emplace_back(zenkor::text::utf8::decode(line));
  const std::vector<std::u32string> latin1 = {
      U"  Caf\u00e9   au lait!!!!  ",  U"HELLO\u00a0\u00a0World \u00bd \u00b2 \u00c0\u00c9\u00d6",
      U"tab\there\r\nnew line",        U"plain ascii text that needs nothing",
      U"\u00ab quoted \u00bb -- yes",  U"AAAAAAAAAAaaaaaaaa~~~~",
  };
  for (std::size_t i = 0; i < 200; ++i) texts.emplace_back(latin1[i % latin1.size()] + std::u32string(i % 7, U'!'));
  for (std::size_t i = 0; i < lines.size(); i += 5) {
    texts.emplace_back(zenkor::text::utf8::decode(lines[i]) + U"\U0001F600\U00020BB7\uFF21");
  }
  texts.emplace_back(std::u32string(U"\uFF21\uFF22") + char32_t{0xD800} + U"\u30A2");
  texts.emplace_back(std::u32string(U"\U0001F600") + char32_t{0xDC00});
  return texts;
}

// ---------------------------------------------------------------- expected

std::string utf8_of(const zenkor::WideText& wide) {
  std::string out;
  if (!zenkor::to_utf8(wide.units, out)) return "(not UTF-8)";
  return out;
}

// What one thread got, by the core's plain calls, with the other normalizer.
struct Expected {
  std::vector<std::string> normalized;                     // "" for a text with a surrogate
  std::vector<std::array<std::string, 5>> by_preset;        // the module function's
  std::vector<std::vector<zenkor::ExplainedStep>> explained;
  std::vector<zenkor::TextWithOffsets> with_offsets;
  std::vector<std::size_t> distances;  // of text i and text i + 1
};

bool traced(std::size_t i) { return i % 4 == 0; }

Expected expect(const Normalizer& reference, const std::vector<Text>& texts) {
  Expected out;
  std::array<std::unique_ptr<Normalizer>, 5> presets;
  for (std::size_t p = 0; p < presets.size(); ++p) {
    presets[p] = std::make_unique<Normalizer>(Config::from_preset(zenkor::ALL_PRESETS[p]));
  }
  out.explained.resize(texts.size());
  out.with_offsets.resize(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const Text& text = texts[i];
    out.normalized.push_back(text.surrogate ? std::string() : reference.normalize(text.utf8));
    auto& by_preset = out.by_preset.emplace_back();
    for (std::size_t p = 0; p < presets.size(); ++p) {
      if (!text.surrogate) by_preset[p] = presets[p]->normalize(text.utf8);
    }
    if (traced(i) && !text.surrogate) {
      out.explained[i] = reference.explain(text.utf8);
      out.with_offsets[i] = reference.normalize_with_offsets(text.utf8);
    }
    const Text& next = texts[(i + 1) % texts.size()];
    out.distances.push_back(zenkor::levenshtein(text.chars, next.chars));
  }
  return out;
}

// ---------------------------------------------------------------- Arrow columns

// An Arrow column of some texts (every seventh row null), exported as a
// producer hands it over, and what normalizing each row must give.
struct Column {
  arrow::StringType type;
  ArrowArray exported{};
  std::vector<std::optional<std::string>> want;

  Column(const Column&) = delete;
  Column& operator=(const Column&) = delete;
  Column(arrow::StringType t, const std::vector<Text>& texts, const Expected& expected, std::size_t first,
         std::size_t count)
      : type(t) {
    arrow::Piece piece;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t i = (first + k) % texts.size();
      if (k % 7 == 3 || texts[i].surrogate) {
        piece.append_null();
        want.emplace_back();
      } else {
        piece.append(texts[i].utf8);
        want.emplace_back(expected.normalized[i]);
      }
    }
    std::vector<arrow::Piece> pieces;
    pieces.push_back(std::move(piece));
    auto column = arrow::StringColumn::assemble(t, std::move(pieces), arrow::max_offset(t));
    if (!CHECK(column.ok())) std::exit(1);
    arrow::export_array(std::move(column).value(), exported);
  }
  ~Column() {
    if (exported.release) exported.release(&exported);
  }
};

// Whether `columns` hold `want`, read back through an export.
bool columns_hold(const arrow::Columns& columns, arrow::StringType type,
                  const std::vector<std::optional<std::string>>& want) {
  if (columns.size() != 1) return false;
  ArrowArray out{};
  arrow::export_array(columns.front(), out);
  auto viewed = arrow::StringArray::view(type, out);
  bool same = viewed.ok() && viewed.value().length() == static_cast<std::int64_t>(want.size());
  if (same) {
    std::size_t row = 0;
    const auto read = viewed.value().read(0, viewed.value().length(), 0, [&](std::optional<std::string_view> value) {
      same = same && value.has_value() == want[row].has_value() && (!value || *value == *want[row]);
      ++row;
    });
    same = same && read.ok();
  }
  out.release(&out);
  return same;
}

// ---------------------------------------------------------------- the calls

enum class Call { Normalize, ModuleNormalize, Batch, SharedBatch, Explain, Offsets, Levenshtein, Arrow };
constexpr std::array<const char*, 8> CALL_NAMES = {"normalize",   "module normalize",       "batch",
                                                   "shared batch", "explain",               "normalize_with_offsets",
                                                   "levenshtein",  "normalize_arrow"};

struct Task {
  Call call;
  std::size_t index;  // a text, the first of a batch, or a column
};

constexpr std::size_t BATCH = 24;
constexpr std::size_t ARROW_JOBS = 4;
constexpr std::size_t BATCH_JOBS = 3;

struct Shared {
  const Normalizer& normalizer;
  const std::vector<Text>& texts;
  const Expected& expected;
  const std::vector<std::unique_ptr<Column>>& columns;
};

// A text as normalize returns it, in UTF-8.
std::string normalize_call(const Normalizer& normalizer, const Text& text, bool& unencodable) {
  py::ThreadBuffers& buffers = py::thread_buffers();
  zenkor::WideText wide{};
  py::Outcome outcome{};
  py::thread_lock_policy().run([&] {
    const CodeUnits units = text.units();
    outcome = py::normalize_found(normalizer, units, normalizer.scan(units), buffers, wide);
  });
  unencodable = outcome == py::Outcome::unencodable;
  const std::string out = outcome == py::Outcome::changed ? utf8_of(wide) : text.utf8;
  buffers.shrink();
  return out;
}

// Whether texts[members[first]] to texts[members[last - 1]], normalized as a
// chunk of a batch into `changed` and `joined`, are what one thread got,
// and a lone surrogate among them is the first reported.
bool chunk_holds(const Shared& s, const std::vector<std::size_t>& members, std::size_t first, std::size_t last,
                 const std::vector<py::Changed>& changed, const std::string& joined, std::size_t unencodable) {
  for (std::size_t k = first; k < last; ++k) {
    const Text& text = s.texts[members[k]];
    if (text.surrogate) return unencodable == k;
    const py::Changed& c = changed[k - first];
    std::string got = text.utf8;
    if (c.offset != py::UNCHANGED) {
      zenkor::WideText wide = c.text;
      wide.units.data = joined.data() + c.offset;
      got = utf8_of(wide);
    }
    if (got != s.expected.normalized[members[k]]) return false;
  }
  return unencodable == py::UNCHANGED;
}

bool run(const Shared& s, const Task& task) {
  const std::vector<Text>& texts = s.texts;
  const Expected& want = s.expected;
  const std::size_t i = task.index;
  switch (task.call) {
    case Call::Normalize: {
      bool unencodable = false;
      const std::string got = normalize_call(s.normalizer, texts[i], unencodable);
      return unencodable == texts[i].surrogate && (unencodable || got == want.normalized[i]);
    }
    case Call::ModuleNormalize: {
      const std::size_t p = i % zenkor::ALL_PRESETS.size();
      bool unencodable = false;
      const std::string got = normalize_call(py::preset_normalizer(zenkor::ALL_PRESETS[p]), texts[i], unencodable);
      return unencodable == texts[i].surrogate && (unencodable || got == want.by_preset[i][p]);
    }
    case Call::Batch: {
      std::vector<CodeUnits> units;
      std::vector<std::size_t> members;
      const std::size_t last = std::min(texts.size(), i + BATCH);
      for (std::size_t k = 0; k < last; ++k) {
        units.push_back(texts[k].units());
        members.push_back(k);
      }
      std::vector<py::Changed> changed;
      std::string joined;
      const std::size_t unencodable = py::normalize_chunk(s.normalizer, units, i, last, changed, joined);
      return chunk_holds(s, members, i, last, changed, joined, unencodable);
    }
    case Call::SharedBatch: {
      // Every text without a surrogate from i on, then one with: the helpers
      // stop at its chunk, which the caller reaches last.
      std::vector<CodeUnits> units;
      std::vector<std::size_t> members;
      std::size_t total = 0;
      for (std::size_t k = 0; k < texts.size(); ++k) {
        const std::size_t t = (i + k) % texts.size();
        if (texts[t].surrogate) continue;
        units.push_back(texts[t].units());
        members.push_back(t);
        total += units.back().length;
      }
      const auto bad = std::find_if(texts.begin(), texts.end(), [](const Text& t) { return t.surrogate; });
      if (bad != texts.end()) {
        units.push_back(bad->units());
        members.push_back(static_cast<std::size_t>(bad - texts.begin()));
      }
      py::SharedBatch batch(s.normalizer, units, total, BATCH_JOBS);
      for (std::size_t k = 0; k < batch.chunks(); ++k) {
        const py::SharedBatch::Chunk& chunk = batch.wait_for(k);
        if (chunk.thrown ||
            !chunk_holds(s, members, chunk.first, chunk.last, chunk.changed, chunk.joined, chunk.unencodable)) {
          return false;
        }
        if (chunk.unencodable != py::UNCHANGED) return k + 1 == batch.chunks();
        batch.release(k);
      }
      return bad == texts.end();
    }
    case Call::Explain: {
      std::vector<zenkor::ExplainedStep> got;
      py::thread_lock_policy().run([&] { got = s.normalizer.explain(texts[i].utf8); });
      const auto& steps = want.explained[i];
      return got.size() == steps.size() &&
             std::equal(got.begin(), got.end(), steps.begin(),
                        [](const auto& a, const auto& b) { return a.option == b.option && a.text == b.text; });
    }
    case Call::Offsets: {
      zenkor::TextWithOffsets got;
      py::thread_lock_policy().run([&] { got = s.normalizer.normalize_with_offsets(texts[i].utf8); });
      return got.text == want.with_offsets[i].text && got.offsets == want.with_offsets[i].offsets;
    }
    case Call::Levenshtein:
      return zenkor::levenshtein(texts[i].chars, texts[(i + 1) % texts.size()].chars) == want.distances[i];
    case Call::Arrow: {
      const Column& column = *s.columns[i];
      auto viewed = arrow::StringArray::view(column.type, column.exported);
      if (!viewed.ok()) return false;
      const auto result = arrow::normalize_arrays(s.normalizer, column.type, {viewed.value()}, ARROW_JOBS);
      return result.ok() && columns_hold(result.value(), column.type, column.want);
    }
  }
  return false;
}

// Every call once, in an order of the thread's own; first the calls that
// need the dictionary's search and the preset normalizers, so that all
// threads race to make them.
std::vector<Task> tasks_of(std::size_t thread, const std::vector<Text>& texts, std::size_t columns) {
  std::vector<Task> tasks;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    tasks.push_back({Call::Normalize, i});
    if (i % 3 == thread % 3) tasks.push_back({Call::ModuleNormalize, i});
    if (traced(i) && !texts[i].surrogate) tasks.push_back({i % 8 == 0 ? Call::Explain : Call::Offsets, i});
    if (i % 4 == 2) tasks.push_back({Call::Levenshtein, i});
    if (i % BATCH == 0) tasks.push_back({Call::Batch, i});
  }
  tasks.push_back({Call::SharedBatch, thread * texts.size() / 8 % texts.size()});
  for (std::size_t c = 0; c < columns; ++c) tasks.push_back({Call::Arrow, c});
  std::mt19937 rng(static_cast<std::uint32_t>(thread) * 7919u + 1u);
  std::shuffle(tasks.begin(), tasks.end(), rng);
  // (The texts of dictionary variants come first.)
  const std::array<Task, 3> first = {Task{Call::Normalize, thread}, Task{Call::ModuleNormalize, thread},
                                     Task{Call::Explain, 0}};
  tasks.insert(tasks.begin(), first.begin(), first.end());
  return tasks;
}

struct Options {
  std::filesystem::path synonyms;
  std::filesystem::path corpus;
  std::size_t threads = 8;
  std::size_t lines = 3000;
  std::size_t rounds = 1;
};

std::optional<Options> parse(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--threads" && has_value) {
      options.threads = std::max<std::size_t>(2, std::strtoull(argv[++i], nullptr, 10));
    } else if (arg == "--lines" && has_value) {
      options.lines = std::max<std::size_t>(10, std::strtoull(argv[++i], nullptr, 10));
    } else if (arg == "--rounds" && has_value) {
      options.rounds = std::max<std::size_t>(1, std::strtoull(argv[++i], nullptr, 10));
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return std::nullopt;
  options.synonyms = positional[0];
  options.corpus = positional[1];
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: race_test SYNONYMS CORPUS_DIR [--threads N] [--lines N] [--rounds N]\n");
    return 2;
  }
  auto file = zenkor::dict::text_file::read(options->synonyms.string());
  if (!file.ok()) {
    std::fprintf(stderr, "cannot read %s: %s\n", options->synonyms.c_str(), file.error().display().c_str());
    return 2;
  }
  auto loaded = zenkor::dict::sudachi::load_sudachi_synonyms(file.value().view());
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s: %s\n", options->synonyms.c_str(), loaded.error().display().c_str());
    return 2;
  }
  // Two normalizers with one dictionary, neither search compiled: one for
  // the threads, one for the single-threaded run.
  const Config config = Config::from_preset(Preset::ForSearch);
  const Normalizer reference = Normalizer(config).with_synonyms(loaded.value());
  const Normalizer shared(config, *reference.synonyms());

  const std::vector<Text> texts = make_texts(corpus_lines(options->corpus, options->lines), *reference.synonyms());
  std::array<std::size_t, 5> widths{};
  for (const Text& text : texts) ++widths[text.width];
  std::printf("race_test: %zu threads, %zu dictionary entries, %zu texts (%zu latin-1, %zu UCS-2, %zu UCS-4)\n",
              options->threads, reference.synonyms()->size(), texts.size(), widths[1], widths[2], widths[4]);
  if (!CHECK(widths[1] > 100 && widths[2] > 100 && widths[4] > 100)) return zenkor::test::finish();

  const Expected expected = expect(reference, texts);
  // Columns of about 60 KB: several tasks for the jobs of each call.
  std::vector<std::unique_ptr<Column>> columns;
  for (const auto type : {arrow::StringType::String, arrow::StringType::LargeString, arrow::StringType::StringView}) {
    for (std::size_t first : {std::size_t{0}, texts.size() / 2}) {
      columns.push_back(std::make_unique<Column>(type, texts, expected, first, 600));
    }
  }
  const Shared shared_state{shared, texts, expected, columns};

  std::mutex report;
  std::array<std::size_t, CALL_NAMES.size()> runs{}, mismatches{};
  for (std::size_t round = 0; round < options->rounds; ++round) {
    std::latch start(static_cast<std::ptrdiff_t>(options->threads));
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < options->threads; ++t) {
      threads.emplace_back([&, t] {
        const std::vector<Task> tasks = tasks_of(t + round * options->threads, texts, columns.size());
        std::array<std::size_t, CALL_NAMES.size()> mine_runs{}, mine_bad{};
        start.arrive_and_wait();
        for (const Task& task : tasks) {
          const auto c = static_cast<std::size_t>(task.call);
          ++mine_runs[c];
          if (!run(shared_state, task)) {
            ++mine_bad[c];
            const std::lock_guard lock(report);
            std::fprintf(stderr, "thread %zu: %s of %zu differs from the single-threaded run\n", t, CALL_NAMES[c],
                         task.index);
          }
        }
        const std::lock_guard lock(report);
        for (std::size_t c = 0; c < runs.size(); ++c) {
          runs[c] += mine_runs[c];
          mismatches[c] += mine_bad[c];
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  for (std::size_t c = 0; c < runs.size(); ++c) {
    std::printf("  %-24s %7zu calls, %zu differ\n", CALL_NAMES[c], runs[c], mismatches[c]);
    CHECK(runs[c] > 0 && mismatches[c] == 0);
  }
  return zenkor::test::finish();
}
