// The edit distance on two texts from the input, against the plain dynamic
// programme where that is cheap, and against what holds of any distance.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "core/levenshtein.h"
#include "core/text/utf8.h"
#include "tests/fuzz/check.h"

namespace {

// The two-row table, one cell at a time.
std::size_t table_distance(std::u32string_view a, std::u32string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zenkor::fuzz::CpuBudget budget;
  FuzzedDataProvider in(data, size);
  const std::u32string a = zenkor::text::utf8::decode(zenkor::fuzz::valid_text(in.ConsumeRandomLengthString(size)));
  const std::u32string b = zenkor::text::utf8::decode(zenkor::fuzz::valid_text(in.ConsumeRemainingBytesAsString()));
  const std::size_t d = zenkor::levenshtein(a, b);
  FUZZ_CHECK(d == zenkor::levenshtein(b, a));
  FUZZ_CHECK(d >= std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
  FUZZ_CHECK(d <= std::max(a.size(), b.size()));
  FUZZ_CHECK((d == 0) == (a == b));
  if (a.size() * b.size() <= (std::size_t{1} << 20)) FUZZ_CHECK(d == table_distance(a, b));
  return 0;
}
