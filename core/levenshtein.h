// Character-level edit distance (insertion, deletion, substitution, each 1).
#pragma once

#include <cstddef>
#include <string_view>

namespace zenkor {

// Distance between a and b, sequences of Unicode scalar values.
[[nodiscard]] std::size_t levenshtein(std::u32string_view a, std::u32string_view b);

}  // namespace zenkor
