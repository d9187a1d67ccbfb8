// Normalizer: a Config run over text as one fixed sequence of stages.
//
// A Normalizer is immutable once built, so any number of threads may call
// normalize_with_segments on one instance at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config.h"
#include "core/l3_lexical/synonym.h"

namespace zenkor {

// One piece of the output, in output order.  Protected segments come from
// spans the stages never saw; trimming stops at them.
struct Segment {
  std::string text;
  bool is_protected = false;
};

// What normalize_with_segments returns: the joined text and the segments it
// was joined from.
struct Normalized {
  std::string text;
  std::vector<Segment> segments;
};

class Normalizer {
 public:
  explicit Normalizer(Config config) : config_(std::move(config)) {}

  // A Normalizer with `prenormalized` attached as it is: its variants are not
  // normalized again, so they must already be written the way this Config
  // writes text, as the synonyms() of a Normalizer with this Config are.
  // This is how a saved normalizer comes back exactly.
  Normalizer(Config config, l3_lexical::synonym::SynonymDict prenormalized)
      : config_(std::move(config)), synonyms_(std::move(prenormalized)) {}

  [[nodiscard]] const Config& config() const noexcept { return config_; }

  // The attached dictionary, or null.
  [[nodiscard]] const l3_lexical::synonym::SynonymDict* synonyms() const noexcept {
    return synonyms_ ? &*synonyms_ : nullptr;
  }

  // A Normalizer with the same Config and this one's dictionary (if any)
  // extended by `added`: for a variant in both, `added` wins.  The variants
  // of `added` are first normalized with this Config (without a dictionary),
  // so they are written the way text reaching the dictionary step is;
  // variants that normalize to nothing are dropped, and of variants that
  // become equal the one inserted last wins.  Canonical forms are kept as
  // given.  Entries already attached are not normalized a second time: not
  // every Config normalizes idempotently, and a twice-normalized variant
  // could miss text that was normalized once.
  [[nodiscard]] Normalizer with_synonyms(const l3_lexical::synonym::SynonymDict& added) const;

  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] Normalized normalize_with_segments(std::string_view text) const;

  // The joined text only, for callers that do not need the segments.
  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] std::string normalize(std::string_view text) const;

 private:
  // `dict` with every variant normalized by this Config, dictionary aside.
  [[nodiscard]] l3_lexical::synonym::SynonymDict prenormalized(const l3_lexical::synonym::SynonymDict& dict) const;

  // Runs every stage that is on over `in` and leaves the result in `work`;
  // `scratch` is the second buffer.
  void run_stages(std::string_view in, std::string& work, std::string& scratch) const;

  Config config_;
  std::optional<l3_lexical::synonym::SynonymDict> synonyms_;
};

}  // namespace zenkor
