// What normalize, normalize_batch and the module function normalize do
// without the interpreter lock: a text as a str stores it, scanned,
// converted and normalized in the thread's own buffers.  No Python here, so
// that the race test (tests/race) runs the same code on many threads without
// an interpreter.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/pipeline.h"

namespace zenkor::py {

// Buffers a thread reuses from call to call.  A buffer grown by a long text
// is given back afterwards (shrink), so a thread keeps little between calls.
struct ThreadBuffers {
  std::string input;
  Workspace space;
  NativeSpace native;
  std::string output;  // the result as a str stores it

  // Gives back every buffer grown past 1 MiB but the one that holds `kept`.
  void shrink(std::string_view kept = {});
};

// The calling thread's buffers: never shared, so no call waits for them.
ThreadBuffers& thread_buffers();

// What normalizing a text came to: the scan found nothing to do (clean),
// the steps left it as it was, changed it, or it holds a lone surrogate.
enum class Outcome { clean, unchanged, changed, unencodable };

// Normalizes the text of a str as it stores it, in which a scan found
// `found`: over its code units when the steps found allow it, else through
// UTF-8.  A changed result is left in `buffers.output` as a str will hold
// it, described by `wide`.
Outcome normalize_found(const Normalizer& normalizer, const CodeUnits& units, Plan::Found found,
                        ThreadBuffers& buffers, WideText& wide);

// A changed text of a chunk of a batch, at `offset` of the chunk's joined
// results; an unchanged one has offset UNCHANGED.
constexpr std::size_t UNCHANGED = std::numeric_limits<std::size_t>::max();
struct Changed {
  std::size_t offset = UNCHANGED;
  WideText text{};
};

// normalize_batch gives up the lock for chunks of about this many
// characters: long enough that taking it back is a small part of a chunk's
// time (about 0.5 ms of tweets), short enough that two threads' chunks
// interleave.
constexpr std::size_t BATCH_CHUNK_CHARS = std::size_t{1} << 16;

// One past the last text of the chunk that starts at texts[first]: texts
// are added until they hold `chars` characters, one text at least.
// REQUIRES: first < texts.size().
std::size_t chunk_end(const std::vector<CodeUnits>& texts, std::size_t first, std::size_t chars);

// Normalizes texts[first, last), a chunk of a batch, into `changed` (by
// index from `first`) and `joined`, in the calling thread's buffers.  The
// index of a text with a lone surrogate, or UNCHANGED.
std::size_t normalize_chunk(const Normalizer& normalizer, const std::vector<CodeUnits>& texts, std::size_t first,
                            std::size_t last, std::vector<Changed>& changed, std::string& joined);

// The normalizer of each preset, built once, at the first call from any
// thread: the module function would otherwise compile a plan for every call.
const Normalizer& preset_normalizer(Preset preset);

}  // namespace zenkor::py
