#include "core/native_tables.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "core/text/utf8.h"

namespace zenkor {

std::shared_ptr<const CharTable> CharTable::of(const Plan& plan, const Config& config, std::size_t first,
                                               std::size_t last) {
  std::vector<StepOf> steps;
  for (std::size_t i = first; i < last; ++i) steps.push_back({plan.steps()[i], plan.variant(i)});
  const auto same = [&](const std::shared_ptr<const CharTable>& table) {
    return std::equal(steps.begin(), steps.end(), table->steps_.begin(), table->steps_.end(),
                      [](const StepOf& a, const StepOf& b) { return a.step == b.step && a.variant == b.variant; });
  };
  // A table takes some milliseconds to build (each trigger through the stage
  // functions) and a few dozen KiB: one per process for each run of steps.
  static std::mutex mutex;
  static std::vector<std::shared_ptr<const CharTable>> built;
  const std::lock_guard<std::mutex> lock(mutex);
  if (const auto found = std::find_if(built.begin(), built.end(), same); found != built.end()) return *found;

  // Whether step k of the run has `c` for a trigger: a bit test of the plan's
  // sets below U+10000.
  const auto triggers = [&](std::size_t k, char32_t c) {
    return c < 0x10000 ? plan.triggered_by(first + k, c) : steps[k].step->trigger(c, steps[k].variant);
  };
  auto table = std::make_shared<CharTable>();
  table->steps_ = steps;
  table->blocks_.emplace_back();
  for (std::size_t k = 0; k < steps.size(); ++k) {
    if (steps[k].step->joins == nullptr) continue;
    for (char32_t c = 0; c < 0x10000; ++c) {
      bool earlier_trigger = false;
      for (std::size_t j = 0; j < k && !earlier_trigger; ++j) earlier_trigger = triggers(j, c);
      if (earlier_trigger || steps[k].step->joins(c)) table->guard_.add(c);
    }
  }
  std::string in;
  std::string out;
  std::u32string chars;
  std::u32string next;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // no str the table reads holds one: the scan stops them
    bool triggered = false;
    for (std::size_t k = 0; k < steps.size() && !triggered; ++k) triggered = triggers(k, c);
    if (!triggered) continue;
    // The steps one after the other, each over what the one before wrote.
    chars.assign(1, c);
    bool alone = true;
    bool guarded = false;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      const StepOf& s = steps[k];
      next.clear();
      for (const char32_t x : chars) {
        if (!triggers(k, x)) {
          next.push_back(x);
          continue;
        }
        alone = s.step->alone(x, s.variant);
        // Only the character read, as no earlier step changed it, can be
        // guarded by the one before it.
        if (!alone && chars.size() == 1 && x == c && s.step->alone_unless_joined != nullptr &&
            s.step->alone_unless_joined(x, s.variant)) {
          alone = guarded = true;
        }
        if (!alone) break;
        in.clear();
        text::utf8::append(in, x);
        s.step->run(config, in, out, nullptr);
        for (std::size_t pos = 0; pos < out.size();) next.push_back(text::utf8::next(out, pos));
      }
      if (!alone) break;
      chars.swap(next);
    }
    const std::uint32_t guard = guarded ? GUARDED : 0;
    if (!alone) {
      table->set(c, NO_ENTRY);
    } else if (chars.size() == 1) {
      if (chars[0] != c || guarded) table->set(c, (chars[0] + 1) | guard);
    } else {
      table->set(c, REPLACED | guard | static_cast<std::uint32_t>(chars.size()) << 24 |
                        static_cast<std::uint32_t>(table->chars_.size()));
      table->chars_.insert(table->chars_.end(), chars.begin(), chars.end());
    }
  }
  built.push_back(table);
  return table;
}

void CharTable::set(char32_t c, std::uint32_t entry) {
  std::uint16_t& block = block_of_[c >> 6];
  if (block == 0) {
    block = static_cast<std::uint16_t>(blocks_.size());
    blocks_.emplace_back();
  }
  blocks_[block][c & 63] = entry;
}

bool CharTable::triggered_past_bmp(char32_t c) const noexcept {
  return std::any_of(steps_.begin(), steps_.end(), [&](const StepOf& s) { return s.step->trigger(c, s.variant); });
}

template <typename Unit>
Pass CharTable::apply(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out,
                      Changes& changes) const {
  // Room for a character of output per character of input left to read,
  // kept after each expansion.
  out.resize(length + 16);
  std::uint32_t* written = out.data();  // read again only where `out` grows
  std::size_t pos = 0;
  bool changed = false;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t c = in[i];
    std::uint32_t e = entry(c);
    if (e == COPY) {
      written[pos++] = c;
      continue;
    }
    if (e == NO_ENTRY) return Pass::not_native;
    if ((e & GUARDED) != 0) {
      if (i > 0 && (in[i - 1] >= 0x10000 || guard_.contains(in[i - 1]))) return Pass::not_native;
      e &= ~GUARDED;
    }
    changed = true;
    if (e <= MAX_SINGLE) {
      changes.mark(pos, pos + 1);
      written[pos++] = e - 1;
      continue;
    }
    const std::size_t n = (e >> 24) & 0x3F;
    if (pos + n + (length - i) > out.size()) {
      out.resize(2 * (pos + n + length - i));
      written = out.data();
    }
    std::copy_n(chars_.begin() + (e & 0xFFFFFF), n, written + pos);
    changes.mark(pos, pos + n);
    pos += n;
  }
  out.resize(pos);
  return changed ? Pass::changed : Pass::unchanged;
}

template Pass CharTable::apply(const std::uint8_t*, std::size_t, std::vector<std::uint32_t>&, Changes&) const;
template Pass CharTable::apply(const std::uint16_t*, std::size_t, std::vector<std::uint32_t>&, Changes&) const;
template Pass CharTable::apply(const std::uint32_t*, std::size_t, std::vector<std::uint32_t>&, Changes&) const;

}  // namespace zenkor
