// Normalizing columns of Arrow strings: every row of some input arrays, on up
// to `jobs` threads, into output columns of the same type.  No Python here,
// so that normalize_arrow runs it without the interpreter lock and the fuzz
// harness runs it without an interpreter.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/pipeline.h"
#include "core/result.h"
#include "py/arrow_column.h"
#include "py/job_threads.h"

namespace zenkor::arrow {

using Columns = std::vector<std::shared_ptr<const StringColumn>>;

// Every row of `arrays` normalized, one output column per array, in order;
// or the error of a malformed row (of the first array, or part of one, that
// has any), or of a column too large for its type.  Up to `jobs` threads
// (at most py::MAX_JOBS) share the work.  Throws only what allocating or
// starting a thread throws.
// REQUIRES: jobs >= 1, and every array of `type`.
[[nodiscard]] Result<Columns, ArrowError> normalize_arrays(const Normalizer& normalizer, StringType type,
                                                         const std::vector<StringArray>& arrays, std::size_t jobs);

}  // namespace zenkor::arrow
