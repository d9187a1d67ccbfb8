// The steps whose rewrite of a character reads its neighbours (runs of
// spaces, of ー and 〜, of any repeated character, a ー that ends a word,
// loanword spellings), over
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

// Whether `context` has a form here.
[[nodiscard]] bool has_native_run(StepContext context) noexcept;

// Writes the step of `context` over in[0, length) into `out`, and where it
// changed the text into `changes`; `limit` is the repeat limit, for
// StepContext::RepeatRun.  Never not_native.  REQUIRES: has_native_run(context).
template <typename Unit>
[[nodiscard]] Pass apply_native_run(StepContext context, std::size_t limit, const Unit* in, std::size_t length,
                                    std::vector<std::uint32_t>& out, Changes& changes);

}  // namespace zenkor
