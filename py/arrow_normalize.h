// Normalizing columns of Arrow strings: every row of each input array, by up
// to `jobs` threads, into new columns.  No Python here: normalize_arrow
// (py/arrow.h) calls it without the interpreter lock.
#pragma once

#include <cstddef>
#include <memory>
#include <variant>
#include <vector>

#include "core/pipeline.h"
#include "py/arrow_column.h"

namespace zenkor::arrow {

using Columns = std::vector<std::shared_ptr<const StringColumn>>;

// Every row of `arrays` normalized, one output column per array, in order;
// or the error of the first malformed row, or of a column too large for its
// type.  Up to `jobs` threads share the work.
// Throws std::bad_alloc (from any of the threads).
[[nodiscard]] std::variant<Columns, ArrowError> normalize_arrays(const Normalizer& normalizer, StringType type,
                                                                 const std::vector<StringArray>& arrays,
                                                                 std::size_t jobs);

}  // namespace zenkor::arrow
