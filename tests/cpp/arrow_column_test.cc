// Arrow string columns assembled from pieces, exported, and read back, with a
// small offset limit standing in for the 2^31 - 1 bytes of 32-bit offsets,
// which Python tests cannot afford to fill.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "py/arrow_column.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::arrow::ArrowError;
using zenkor::arrow::Piece;
using zenkor::arrow::StringArray;
using zenkor::arrow::StringColumn;
using zenkor::arrow::StringType;
using Values = std::vector<std::optional<std::string>>;
using Column = std::shared_ptr<const StringColumn>;

std::vector<Piece> pieces_of(const std::vector<Values>& parts) {
  std::vector<Piece> pieces;
  for (const Values& part : parts) {
    Piece& piece = pieces.emplace_back();
    for (const auto& value : part) {
      if (value) {
        piece.append(*value);
      } else {
        piece.append_null();
      }
    }
  }
  return pieces;
}

zenkor::Result<Column, ArrowError> assemble(StringType type, const std::vector<Values>& parts, std::uint64_t limit) {
  return StringColumn::assemble(type, pieces_of(parts), limit);
}

// The values of an exported array, read back as an input array.
std::optional<Values> read_back(const ArrowArray& array, StringType type) {
  const auto viewed = StringArray::view(type, array);
  if (!viewed.ok()) return std::nullopt;
  const StringArray& strings = viewed.value();
  Values out;
  const auto read = strings.read(0, strings.length(), 0, [&](std::optional<std::string_view> value) {
    out.push_back(value ? std::optional<std::string>(std::string(*value)) : std::nullopt);
  });
  if (!read.ok()) return std::nullopt;
  return out;
}

void test_string_offsets_stop_at_the_limit() {
  const std::vector<Values> fits = {{"abcd", std::nullopt}, {"efghij"}};
  CHECK(assemble(StringType::String, fits, 10).ok());
  const auto too_large = assemble(StringType::String, {{"abcd", std::nullopt}, {"efghijk"}}, 10);
  CHECK(!too_large.ok() && too_large.error().kind == ArrowError::Kind::TooLarge &&
        too_large.error().message ==
            "the values take 11 bytes, more than the 10 bytes that the offsets of string can address");
}

void test_views_open_a_new_buffer_before_the_limit() {
  // Long values of 13 to 15 bytes with a limit of 20: no two share a buffer.
  const std::vector<Values> parts = {
      {"abcdefghijklm", "short", std::nullopt, "nopqrstuvwxyz", "0123456789ABCDE"},
      {std::nullopt, "ＡＢＣＤＥ", ""},
  };
  const auto assembled = assemble(StringType::StringView, parts, 20);
  if (!CHECK(assembled.ok())) return;
  const Column column = assembled.value();
  CHECK(column->length() == 8 && column->null_count() == 2);
  const auto& buffers = column->buffers();
  // validity, views, four data buffers, their sizes
  if (!CHECK(buffers.size() == 7)) return;
  const auto* sizes = static_cast<const std::int64_t*>(buffers[6]);
  CHECK(sizes[0] == 13 && sizes[1] == 13 && sizes[2] == 15 && sizes[3] == 15);
  const auto* validity = static_cast<const std::uint8_t*>(buffers[0]);
  CHECK(validity[0] == 0b11011011);

  ArrowArray array{};
  zenkor::arrow::export_array(column, array);
  const Values want = {"abcdefghijklm", "short", std::nullopt, "nopqrstuvwxyz", "0123456789ABCDE",
                       std::nullopt, "ＡＢＣＤＥ", ""};
  CHECK(read_back(array, StringType::StringView) == want);
  array.release(&array);
  CHECK(array.release == nullptr);

  const auto too_long = assemble(StringType::StringView, {{"abcdefghijklmnopqrstu"}}, 20);
  CHECK(!too_long.ok() && too_long.error().message ==
            "a value takes 21 bytes, more than the 20 bytes that the offsets of string_view can address");
}

void test_exports_share_the_column_until_released() {
  const Column column = assemble(StringType::LargeString, {{"a", "b"}, {std::nullopt}}, 100).value();
  ArrowArray first{}, second{};
  zenkor::arrow::export_array(column, first);
  zenkor::arrow::export_array(column, second);
  CHECK(column.use_count() == 3);
  CHECK(first.length == 3 && first.null_count == 1 && first.offset == 0 && first.n_buffers == 3);
  first.release(&first);
  CHECK(column.use_count() == 2);
  CHECK(read_back(second, StringType::LargeString) == Values{"a", "b", std::nullopt});
  second.release(&second);
  CHECK(column.use_count() == 1);
}

void test_a_stream_hands_out_each_chunk_then_ends() {
  std::vector<Column> chunks;
  for (const Values& values : {Values{"x"}, Values{}, Values{"y", "z"}}) {
    chunks.push_back(assemble(StringType::String, {values}, 100).value());
  }
  ArrowArrayStream stream{};
  zenkor::arrow::export_stream({StringType::String, "text", ARROW_FLAG_NULLABLE}, chunks, stream);
  ArrowSchema schema{};
  CHECK(stream.get_schema(&stream, &schema) == 0);
  CHECK(std::string(schema.format) == "u" && std::string(schema.name) == "text" && schema.flags == ARROW_FLAG_NULLABLE);
  schema.release(&schema);
  std::vector<std::int64_t> lengths;
  for (;;) {
    ArrowArray array{};
    if (!CHECK(stream.get_next(&stream, &array) == 0) || array.release == nullptr) break;
    lengths.push_back(array.length);
    array.release(&array);
  }
  CHECK(lengths == std::vector<std::int64_t>{1, 0, 2});
  stream.release(&stream);
  CHECK(stream.release == nullptr);
  CHECK(chunks[0].use_count() == 1);
}

void test_an_empty_slice_of_views_reads_nothing() {
  // A producer may hand over an empty array with no buffers, sliced: the
  // reader must not even move a pointer from null (UBSan, in scripts/fuzz.sh).
  const void* buffers[3] = {nullptr, nullptr, nullptr};
  const auto release = [](ArrowArray* released) { released->release = nullptr; };
  const ArrowArray array{0, 0, 3, 3, 0, buffers, nullptr, nullptr, release, nullptr};
  auto viewed = StringArray::view(StringType::StringView, array);
  if (!CHECK(viewed.ok())) return;
  int visits = 0;
  const auto read = viewed.value().read(0, 0, 0, [&](std::optional<std::string_view>) { ++visits; });
  CHECK(read.ok() && visits == 0);
}

}  // namespace

int main() {
  test_string_offsets_stop_at_the_limit();
  test_views_open_a_new_buffer_before_the_limit();
  test_exports_share_the_column_until_released();
  test_a_stream_hands_out_each_chunk_then_ends();
  test_an_empty_slice_of_views_reads_nothing();
  return zenkor::test::finish();
}
