// The thread buffers, one text and a chunk of a batch, and the preset
// normalizers: the part of the text calls that runs without the lock.

#include "py/text_work.h"

#include <array>
#include <cstdint>

namespace zenkor::py {

void ThreadBuffers::shrink(std::string_view kept) {
  constexpr std::size_t KEPT = std::size_t{1} << 20;
  for (std::string* s : {&input, &space.work, &space.scratch, &output}) {
    const auto at = reinterpret_cast<std::uintptr_t>(kept.data());
    const auto begin = reinterpret_cast<std::uintptr_t>(s->data());
    const bool holds_kept = at >= begin && at - begin < s->capacity();
    if (s->capacity() > KEPT && !holds_kept) std::string().swap(*s);
  }
  if (native.utf8.capacity() > KEPT) std::string().swap(native.utf8);
  for (std::vector<std::uint32_t>* v : {&native.a, &native.b}) {
    if (v->capacity() * sizeof(std::uint32_t) > KEPT) std::vector<std::uint32_t>().swap(*v);
  }
}

ThreadBuffers& thread_buffers() {
  thread_local ThreadBuffers buffers;
  return buffers;
}

namespace {

// Texts of this many bytes of code units or more are normalized without an
// input buffer of their own (Normalizer::normalize_in_work), and their
// buffers go as soon as they are read.  Below, the buffers kept from call to
// call cost nothing, and the check for an unchanged text stays one
// comparison of UTF-8.
constexpr std::size_t HUGE_TEXT_BYTES = std::size_t{1} << 20;

// normalize_found of a huge text.  No copy of its input is kept, so whether
// it changed is told by comparing the result with the str's own text.
Outcome normalize_huge(const Normalizer& normalizer, const CodeUnits& units, Plan::Found found,
                       ThreadBuffers& buffers, WideText& wide) {
  // The buffer becomes a step's output once the first step that changes the
  // text has read it: with room for that from the start it is never
  // replaced by a larger one while the text is held elsewhere.
  std::string& work = buffers.space.work;
  if (const std::size_t room = room_for_growth(utf8_size(units)); work.capacity() < room) {
    std::string().swap(work);
    work.reserve(room);
  }
  if (!to_utf8(units, work)) return Outcome::unencodable;
  const std::string_view result = normalizer.normalize_in_work(found.steps, buffers.space);
  // Before the result is decoded, every buffer but the result's goes; after,
  // every one but the decoded one.  So no more than two are held at once
  // while the steps run, and while the str is made.
  buffers.shrink(result);
  wide = from_utf8(result, buffers.output);
  buffers.shrink(buffers.output);
  return same_characters(wide.units, units) ? Outcome::unchanged : Outcome::changed;
}

}  // namespace

Outcome normalize_found(const Normalizer& normalizer, const CodeUnits& units, Plan::Found found,
                        ThreadBuffers& buffers, WideText& wide) {
  if (!found.any()) return Outcome::clean;
  // A huge text goes the UTF-8 way, whose buffers take less memory than
  // the passes over code units (four bytes a character, twice).
  if (units.length * units.width >= HUGE_TEXT_BYTES) return normalize_huge(normalizer, units, found, buffers, wide);
  switch (normalizer.normalize_native(units, found, buffers.native, buffers.space, buffers.output, wide)) {
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

std::size_t chunk_end(const std::vector<CodeUnits>& texts, std::size_t first, std::size_t chars) {
  std::size_t last = first + 1;
  for (std::size_t held = texts[first].length; last < texts.size() && held < chars; ++last) held += texts[last].length;
  return last;
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
