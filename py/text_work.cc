// The thread buffers, one text and a chunk of a batch, and the preset
// normalizers: the part of the text calls that runs without the lock.

#include "py/text_work.h"

#include <array>

namespace zenkor::py {

void ThreadBuffers::shrink() {
  constexpr std::size_t KEPT = std::size_t{1} << 20;
  for (std::string* s : {&input, &space.work, &space.scratch, &output}) {
    if (s->capacity() > KEPT) std::string().swap(*s);
  }
  for (std::vector<std::uint32_t>* v : {&native.a, &native.b}) {
    if (v->capacity() * sizeof(std::uint32_t) > KEPT) std::vector<std::uint32_t>().swap(*v);
  }
}

ThreadBuffers& thread_buffers() {
  thread_local ThreadBuffers buffers;
  return buffers;
}

Outcome normalize_found(const Normalizer& normalizer, const CodeUnits& units, Plan::Found found,
                        ThreadBuffers& buffers, WideText& wide) {
  if (!found.any()) return Outcome::clean;
  switch (normalizer.normalize_native(units, found, buffers.native, buffers.output, wide)) {
    case NativeWidth::Outcome::unchanged: return Outcome::unchanged;
    case NativeWidth::Outcome::changed: return Outcome::changed;
    case NativeWidth::Outcome::not_native: break;
  }
  if (!to_utf8(units, buffers.input)) return Outcome::unencodable;
  const std::string_view result = normalizer.normalize(buffers.input, found.steps, buffers.space);
  if (result == buffers.input) return Outcome::unchanged;
  wide = from_utf8(result, buffers.output);
  return Outcome::changed;
}

std::size_t normalize_chunk(const Normalizer& normalizer, const std::vector<CodeUnits>& texts, std::size_t first,
                            std::size_t last, std::vector<Changed>& changed, std::string& joined) {
  ThreadBuffers& buffers = thread_buffers();
  changed.assign(last - first, Changed{});
  joined.clear();
  std::size_t unencodable = UNCHANGED;
  for (std::size_t i = first; i < last; ++i) {
    WideText wide{};
    const Outcome outcome = normalize_found(normalizer, texts[i], normalizer.scan(texts[i]), buffers, wide);
    if (outcome == Outcome::unencodable) {
      unencodable = i;
      break;
    }
    if (outcome != Outcome::changed) continue;
    changed[i - first] = {joined.size(), wide};
    joined.append(buffers.output);
  }
  buffers.shrink();
  return unencodable;
}

const Normalizer& preset_normalizer(Preset preset) {
  static const std::array<Normalizer, ALL_PRESETS.size()> normalizers = [] {
    return std::array{Normalizer(Config::from_preset(Preset::None)), Normalizer(Config::from_preset(Preset::NeologdnCompat)),
                      Normalizer(Config::from_preset(Preset::ForSearch)), Normalizer(Config::from_preset(Preset::ForDisplay)),
                      Normalizer(Config::from_preset(Preset::ForCompare))};
  }();
  return normalizers[static_cast<std::size_t>(preset)];
}

}  // namespace zenkor::py
