// The shape every pipeline stage has.
//
// A stage is a free function `void stage(std::string_view in, std::string& out)`
// over valid UTF-8: it clears `out` (keeping its capacity) and writes the whole
// result there.  Stages never fail, keep no state and share nothing mutable.
// A stage that can write other than one character for one takes a last,
// optional `EditLog*` and, given one, records there every span it changed
// (core/edit_log.h), for tracing output characters back to the input.
// `apply` is the small by-value wrapper for callers outside the pipeline.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace zenkor {

template <typename Stage, typename... Args>
[[nodiscard]] std::string apply(Stage&& stage, std::string_view in, Args&&... args) {
  std::string out;
  std::forward<Stage>(stage)(in, out, std::forward<Args>(args)...);
  return out;
}

}  // namespace zenkor
