#include "core/origins.h"

#include <numeric>

#include "core/text/utf8.h"

namespace zenkor {

Origins::Origins(std::size_t first, std::size_t count) : at_(count + 1) {
  std::iota(at_.begin(), at_.end(), first);
}

void Origins::follow(std::string_view before, std::string_view after, const EditLog& log) {
  std::vector<std::size_t> next;
  next.reserve(at_.size() + after.size() / 3);
  std::size_t read = 0;  // bytes of `before` accounted for
  std::size_t from = 0;  // their characters
  const auto copy_to = [&](std::size_t end) {
    const std::size_t count = text::utf8::length(before.substr(read, end - read));
    next.insert(next.end(), at_.begin() + static_cast<std::ptrdiff_t>(from),
                at_.begin() + static_cast<std::ptrdiff_t>(from + count));
    from += count;
    read = end;
  };
  for (const Edit& e : log.edits()) {
    copy_to(e.in_begin);
    const std::size_t replaced = text::utf8::length(before.substr(e.in_begin, e.in_end - e.in_begin));
    const std::size_t written = text::utf8::length(after.substr(e.out_begin, e.out_end - e.out_begin));
    for (std::size_t k = 0; k < written; ++k) next.push_back(at_[from + k * replaced / written]);
    from += replaced;
    read = e.in_end;
  }
  copy_to(before.size());
  next.push_back(at_.back());
  at_.swap(next);
}

void Origins::drop_front(std::size_t count) { at_.erase(at_.begin(), at_.begin() + static_cast<std::ptrdiff_t>(count)); }

void Origins::drop_back(std::size_t count) {
  at_.erase(at_.end() - 1 - static_cast<std::ptrdiff_t>(count), at_.end() - 1);
}

}  // namespace zenkor
