// The steps whose rewrite of a character reads its neighbours (runs of
// spaces, of ー and 〜, of any repeated character, a ー that ends a word,
// loanword spellings, iteration marks), over
// text as a str stores it: each written once for every width of code unit,
// from the same rules as its stage over UTF-8, which tests/cpp/plan_test.cc
// holds it to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/native_tables.h"
#include "core/step.h"

namespace zenkor {

enum class NativeRun : std::uint8_t { none, spaces, prolonged, trailing_prolonged, repeats, loanword, iteration };

// The template of `step`, or none.
[[nodiscard]] NativeRun native_run_of(const Step& step) noexcept;

// Writes the step of `run` over in[0, length) into `out`, and where it
// changed the text into `changes`; `limit` is the repeat limit, for
// NativeRun::repeats.  Never not_native.  REQUIRES: run is not none.
template <typename Unit>
[[nodiscard]] Pass apply_native_run(NativeRun run, std::size_t limit, const Unit* in, std::size_t length,
                                    std::vector<std::uint32_t>& out, Changes& changes);

}  // namespace zenkor
