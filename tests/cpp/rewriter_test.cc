// The Rewriter through small stages written with it, each a table of inputs
// and wanted outputs: what each call writes, the edits it records (which
// must map every output character back to the input), and the ways of
// passing over text it does not read.

#include "core/text/rewriter.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/edit_log.h"
#include "core/text/char_set.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::Edit;
using zenkor::EditLog;
using zenkor::NoLog;
using zenkor::test::hex;
using zenkor::text::CharSet;
using zenkor::text::Rewriter;

// a -> "xy", b dropped, ｶ+ﾞ (read as one) -> ガ, a "-" inserted before each
// c, and every other character copied.  Reads each character.
template <typename Log>
void edit_each(std::string_view in, std::string& out, Log& log) {
  Rewriter w(in, out, log);
  while (!w.done()) {
    const char32_t c = w.next();
    if (c == U'a') {
      w.replace("xy");
    } else if (c == U'b') {
      w.drop();
    } else if (c == U'c') {
      w.insert_before(U'-');
    } else if (c == U'ｶ' && w.rest().starts_with("ﾞ")) {
      (void)w.take_next();
      w.replace(U'ガ');
    }
  }
  w.finish();
}

struct Case {
  std::string_view in;
  std::string_view want;
  std::vector<Edit> edits;
};

void test_edits_and_their_record() {
  const Case CASES[] = {
      {"", "", {}},
      {"zzz", "zzz", {}},
      {"a", "xy", {{0, 1, 0, 2}}},
      {"zaz", "zxyz", {{1, 2, 1, 3}}},
      {"bb", "", {{0, 1, 0, 0}, {1, 2, 0, 0}}},
      {"日c", "日-c", {{3, 3, 3, 4}}},
      {"ｶﾞｶ", "ガｶ", {{0, 6, 0, 3}}},
      {"abc日", "xy-c日", {{0, 1, 0, 2}, {1, 2, 2, 2}, {2, 2, 2, 3}}},
  };
  for (const Case& c : CASES) {
    std::string plain;
    NoLog none;
    edit_each(c.in, plain, none);
    std::string logged = "left over";  // the Rewriter clears its output first
    EditLog log;
    edit_each(c.in, logged, log);
    if (!CHECK(plain == c.want && logged == c.want && log.edits() == c.edits)) {
      std::fprintf(stderr, "  %s gave %s\n", hex(c.in).c_str(), hex(logged).c_str());
    }
  }
}

// previous() reads the input before the character just read, whatever was
// written for it: each character becomes the one before it, 0 at the start
// written as "^".
void test_previous_reads_the_input() {
  struct Shift {
    std::string_view in;
    std::string_view want;
  };
  constexpr Shift CASES[] = {{"", ""}, {"a", "^"}, {"ab", "^a"}, {"日本語", "^日本"}, {"😊x", "^😊"}};
  for (const auto& [in, want] : CASES) {
    std::string out;
    Rewriter w(in, out);
    while (!w.done()) {
      (void)w.next();
      const char32_t before = w.previous();
      if (before == 0) {
        w.replace("^");
      } else {
        w.replace(before);
      }
    }
    w.finish();
    if (!CHECK(out == want)) std::fprintf(stderr, "  %s gave %s\n", hex(in).c_str(), hex(out).c_str());
  }
}

// The three ways to pass over text, each with a stage that upper-cases only
// what it stops at: what it passes stays as it is, what it stops at is read.
void test_skipping() {
  const CharSet vowels = {{U'a', U'a'}, {U'e', U'e'}, {U'o', U'o'}};
  struct Skip {
    std::string_view in;
    std::string_view to_lead;        // skip_to_lead('a')
    std::string_view to_set;         // skip_to(vowels)
    std::string_view to_three_byte;  // skip_to_three_byte(), then 日 -> 曰
  };
  constexpr Skip CASES[] = {
      {"", "", "", ""},
      {"banana", "bAnAnA", "bAnAnA", "banana"},
      {"tree日o", "tree日o", "trEE日O", "tree曰o"},
      {"é日a日", "é日A日", "é日A日", "é曰a曰"},
  };
  for (const auto& [in, to_lead, to_set, to_three_byte] : CASES) {
    std::string out;
    const auto upper = [](char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; };
    {
      Rewriter w(in, out);
      for (w.skip_to_lead('a'); !w.done(); w.skip_to_lead('a')) w.replace(upper(w.next()));
      w.finish();
    }
    CHECK(out == to_lead);
    {
      Rewriter w(in, out);
      for (w.skip_to(vowels); !w.done(); w.skip_to(vowels)) {
        const char32_t c = w.next();
        if (vowels.contains(c)) w.replace(upper(c));
      }
      w.finish();
    }
    CHECK(out == to_set);
    {
      Rewriter w(in, out);
      for (w.skip_to_three_byte(); !w.done(); w.skip_to_three_byte()) {
        if (w.next() == U'日') w.replace(U'曰');
      }
      w.finish();
    }
    if (!CHECK(out == to_three_byte)) std::fprintf(stderr, "  %s\n", hex(in).c_str());
  }
}

void test_drop_all() {
  const CharSet dropped = {{0x200B, 0x200B}, {0xFE00, 0xFE0F}, {0xE0100, 0xE01EF}};
  struct Drop {
    std::string_view in;
    std::string_view want;
    std::vector<Edit> edits;
  };
  const Drop CASES[] = {
      {"", "", {}},
      {"abc", "abc", {}},
      {"a\u200Bb", "ab", {{1, 4, 1, 1}}},
      {"葛\U000E0100\uFE0F", "葛", {{3, 7, 3, 3}, {7, 10, 3, 3}}},
  };
  for (const Drop& d : CASES) {
    std::string out;
    EditLog log;
    zenkor::text::drop_all(d.in, out, dropped, log);
    if (!CHECK(out == d.want && log.edits() == d.edits)) std::fprintf(stderr, "  %s\n", hex(d.in).c_str());
  }
}

}  // namespace

int main() {
  test_edits_and_their_record();
  test_previous_reads_the_input();
  test_skipping();
  test_drop_all();
  return zenkor::test::finish();
}
