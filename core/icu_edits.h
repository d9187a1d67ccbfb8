// What an ICU call that takes an icu::Edits (normalizing, case mapping)
// changed, copied into an EditLog.
#pragma once

#include <unicode/edits.h>

#include <cstddef>

#include "core/edit_log.h"

namespace zenkor {

// Records the changes of `edits`, made by a call over UTF-8 that read from
// byte `in_at` of the stage's input and appended from byte `out_at` of its
// output.  ICU counts UTF-8 in bytes, as the log does.
inline void log_icu_changes(const icu::Edits& edits, std::size_t in_at, std::size_t out_at, EditLog& log) {
  UErrorCode status = U_ZERO_ERROR;
  for (auto change = edits.getFineChangesIterator(); change.next(status);) {
    const std::size_t in_begin = in_at + static_cast<std::size_t>(change.sourceIndex());
    const std::size_t out_begin = out_at + static_cast<std::size_t>(change.destinationIndex());
    log.replace(in_begin, in_begin + static_cast<std::size_t>(change.oldLength()), out_begin,
                out_begin + static_cast<std::size_t>(change.newLength()));
  }
}

}  // namespace zenkor
