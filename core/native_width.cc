#include "core/native_width.h"

#include "core/text/white_space.h"

namespace zenkor {


NativeWidth::NativeWidth(const Plan& plan, const Config& config)
    : repeat_limit_(static_cast<std::size_t>(config.repeat_limit.value_or(0))), trim_(config.trim) {
  const std::vector<const Step*>& steps = plan.steps();
  const auto has_table = [&](std::size_t i) { return steps[i] != nullptr && steps[i]->alone != nullptr; };
  for (std::size_t i = 0; i < steps.size();) {
    if (has_table(i)) {
      // A run of neighbouring steps with tables: one table, one pass.
      std::size_t end = i;
      Plan::Mask mask = 0;
      for (; end < steps.size() && has_table(end); ++end) mask |= Plan::Mask{1} << end;
      stages_.push_back({mask, end - 1, CharTable::of(plan, config, i, end)});
      native_ |= mask;
      i = end;
    } else {
      if (steps[i] == nullptr) {
        dictionary_ = Plan::Mask{1} << i;
      } else if (native_run_of(*steps[i]) != NativeRun::none) {
        stages_.push_back({Plan::Mask{1} << i, i, nullptr, native_run_of(*steps[i])});
        native_ |= Plan::Mask{1} << i;
      }
      ++i;
    }
  }
}

template <typename Unit>
Pass NativeWidth::apply(const Stage& stage, const Unit* in, std::size_t length, std::vector<std::uint32_t>& out,
                        Changes& changes) const {
  if (stage.table) return stage.table->apply(in, length, out, changes);
  return apply_native_run(stage.run, repeat_limit_, in, length, out, changes);
}

NativeWidth::Outcome NativeWidth::normalize(const Plan& plan, CodeUnits text, Plan::Found found, NativeSpace& space,
                                            std::string& output, WideText& wide, CodeUnits& left) const {
  if (found.outside || (found.steps & ~(native_ | dictionary_)) != 0) return Outcome::not_native;
  Plan::Mask present = found.steps;
  CodeUnits current = text;
  for (const Stage& stage : stages_) {
    if ((present & stage.steps) == 0) continue;
    std::vector<std::uint32_t>& out = current.data == space.a.data() ? space.b : space.a;
    Pass pass{};
    Changes changes;
    switch (current.width) {
      case 1: pass = apply(stage, static_cast<const std::uint8_t*>(current.data), current.length, out, changes); break;
      case 2: pass = apply(stage, static_cast<const std::uint16_t*>(current.data), current.length, out, changes); break;
      default: pass = apply(stage, static_cast<const std::uint32_t*>(current.data), current.length, out, changes); break;
    }
    if (pass == Pass::not_native) return Outcome::not_native;
    if (pass == Pass::unchanged) continue;
    current = {out.data(), out.size(), 4};
    // The text the stage wrote may trigger later steps its input did not,
    // around what it changed.
    const Plan::Mask sought = plan.after(stage.last) & ~present;
    if (sought == 0) continue;
    const Plan::Mask later = plan.rescan(current, changes.first, changes.end, sought);
    if ((later & ~(native_ | dictionary_)) != 0) return Outcome::not_native;
    present |= later;
  }
  if ((present & dictionary_) != 0) {
    left = current;
    return Outcome::dictionary_left;
  }
  if (trim_) {
    std::size_t first = 0;
    while (first < current.length && text::is_white_space(current.at(first))) ++first;
    std::size_t end = current.length;
    while (end > first && text::is_white_space(current.at(end - 1))) --end;
    current = {static_cast<const char*>(current.data) + first * current.width, end - first, current.width};
  }
  if (same_characters(current, text)) return Outcome::unchanged;
  wide = narrowest(current, output);
  return Outcome::changed;
}

}  // namespace zenkor
