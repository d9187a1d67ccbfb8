// Normalizer: a Config run over text as one fixed sequence of stages.
//
// A Normalizer is immutable once built, so any number of threads may call
// normalize_with_segments on one instance at once.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config.h"

namespace zenkor {

// One piece of the output, in output order.  Protected segments come from
// spans the stages never saw; trimming stops at them.
struct Segment {
  std::string text;
  bool is_protected = false;
};

struct Normalized {
  std::string text;
  std::vector<Segment> segments;
};

class Normalizer {
 public:
  explicit Normalizer(Config config) : config_(std::move(config)) {}

  [[nodiscard]] const Config& config() const noexcept { return config_; }

  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] Normalized normalize_with_segments(std::string_view text) const;

  // The joined text only, for callers that do not need the segments.
  [[nodiscard]] std::string normalize(std::string_view text) const {
    return normalize_with_segments(text).text;
  }

 private:
  // Runs every stage that is on over `work`; `scratch` is the second buffer.
  void run_stages(std::string& work, std::string& scratch) const;

  Config config_;
};

}  // namespace zenkor
