#include "core/l2_script/ascii_numbers.h"

#include <array>
#include <cstddef>

#include "core/l2_script/decimal.h"
#include "core/text/chars.h"

namespace zenkor::l2_script::ascii_numbers {
namespace {

// End of the run of digits that starts at `pos`.
std::size_t digit_run_end(std::string_view s, std::size_t pos) noexcept {
  while (pos < s.size() && text::is_ascii_digit(s[pos])) ++pos;
  return pos;
}

bool digit_at(std::string_view s, std::size_t pos) noexcept { return pos < s.size() && text::is_ascii_digit(s[pos]); }

// Whether a digit about to be read continues what the output already holds:
// an identifier (x007), the digits after a decimal point (x1.50, and .05 or
// p<.05, a fraction whose zeros count), or the digits after a comma that
// follows a digit, which are not a thousands group (0,05 or 1,0000) and must
// keep their zeros.  After an ellipsis (a..05) a number starts.  Reads the
// output, not the input.
bool continues_previous(const std::string& out) noexcept {
  return (!out.empty() && text::is_ascii_word(out.back())) || continues_number(out);
}

// Appends `digits` (with any "," skipped) without leading zeros, "0" if none is left.
void append_integer(std::string& out, std::string_view digits) {
  bool started = false;
  for (const char c : digits) {
    if (c == ',' || (!started && c == '0')) continue;
    started = true;
    out.push_back(c);
  }
  if (!started) out.push_back('0');
}

// Hyphenated groups at the start of `r`.  Emits the span and returns its
// length, or returns 0 to hand over to the plain-number scan and sets `stop`
// to where the groups end.
std::size_t scan_date(std::string_view r, std::string& out, std::size_t& stop) {
  std::array<std::string_view, 3> groups;
  std::size_t count = 0;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = digit_run_end(r, pos);
    if (count < groups.size()) groups[count] = r.substr(pos, end - pos);
    ++count;
    pos = end;
    if (pos == r.size()) break;
    const char c = r[pos];
    if (c == '-') {
      if (!digit_at(r, pos + 1)) break;
      ++pos;
      continue;
    }
    if (((c == ',' || c == '.') && digit_at(r, pos + 1)) || text::is_ascii_word(c)) {
      stop = pos;
      return 0;
    }
    break;
  }
  if (count < 2) {
    stop = pos;
    return 0;
  }
  const auto small_in = [](std::string_view g, unsigned lo, unsigned hi) {
    if (g.size() > 2) return false;
    const unsigned v = g.size() == 1 ? unsigned(g[0] - '0') : unsigned(g[0] - '0') * 10 + unsigned(g[1] - '0');
    return v >= lo && v <= hi;
  };
  const bool is_date = count <= 3 && groups[0].size() == 4 && small_in(groups[1], 1, 12) &&
                       (count == 2 || small_in(groups[2], 1, 31));
  if (!is_date) {
    out.append(r.substr(0, pos));
    return pos;
  }
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0) out.push_back('-');
    append_integer(out, groups[k]);
  }
  return pos;
}

// Dotted sequences and the number token at the start of `r`; returns the
// number of bytes consumed.
// REQUIRES: r starts with a digit.
std::size_t scan_plain_number(std::string_view r, std::string& out) {
  std::size_t pos = digit_run_end(r, 0);
  int dots = 0;
  while (pos < r.size() && r[pos] == '.' && digit_at(r, pos + 1)) {
    pos = digit_run_end(r, pos + 1);
    ++dots;
  }
  if (dots >= 2) {  // 1.2.3, 192.168.0.1
    out.append(r.substr(0, pos));
    return pos;
  }
  std::size_t int_end = digit_run_end(r, 0);
  while (int_end < r.size() && r[int_end] == ',' && is_thousands_group(r, int_end + 1)) int_end += 4;
  append_integer(out, r.substr(0, int_end));
  if (!(int_end < r.size() && r[int_end] == '.' && digit_at(r, int_end + 1))) return int_end;
  const std::size_t frac_end = digit_run_end(r, int_end + 1);
  const std::string_view fraction = r.substr(int_end + 1, frac_end - int_end - 1);
  const std::size_t last = fraction.find_last_not_of('0');
  if (last != std::string_view::npos) {
    out.push_back('.');
    out.append(fraction.substr(0, last + 1));
  }
  return frac_end;
}

}  // namespace

void canonicalize(std::string_view in, std::string& out, EditLog* log) {
  out.clear();
  out.reserve(in.size());
  // When the date scan hands a chain of groups over (1-2-3.5), the plain scan
  // takes only the first group and the next number starts at the following
  // group of the same chain, whose date scan would read to the same end and
  // hand over again.  Remembering that end keeps long chains linear.
  std::size_t handed_over_until = 0;
  std::size_t pos = 0;
  while (pos < in.size()) {
    if (!text::is_ascii_digit(in[pos])) {
      // Bytes of multi-byte characters are never digits, so whole characters
      // are copied along with the run: 2.2 ms -> 1.5 ms over the corpus.
      const std::size_t end = find_ascii_digit(in, pos);
      out.append(in, pos, end - pos);
      pos = end;
      continue;
    }
    if (continues_previous(out)) {
      // Once one digit is copied the next one continues it too.
      const std::size_t end = digit_run_end(in, pos);
      out.append(in, pos, end - pos);
      pos = end;
      continue;
    }
    const std::string_view rest = in.substr(pos);
    const std::size_t at = out.size();
    std::size_t used = 0;
    if (pos >= handed_over_until) {
      std::size_t stop = 0;
      used = scan_date(rest, out, stop);
      if (used == 0) handed_over_until = pos + stop;
    }
    if (used == 0) used = scan_plain_number(rest, out);
    if (log != nullptr) log->rewrite(in, pos, pos + used, out, at);
    pos += used;
  }
}

bool canonicalize_trigger(char32_t c) noexcept { return text::is_ascii_digit(c); }

}  // namespace zenkor::l2_script::ascii_numbers
