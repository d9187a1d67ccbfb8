// Character-level edit distance (insertion, deletion, substitution, each 1).
#pragma once

#include <cstddef>
#include <string_view>

namespace zenkor {

// Distance between a and b counted in Unicode scalar values.
// REQUIRES: a and b are valid UTF-8.
[[nodiscard]] std::size_t levenshtein(std::string_view a, std::string_view b);

}  // namespace zenkor
