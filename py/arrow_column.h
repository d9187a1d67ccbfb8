// Columns of Arrow strings read and written through the C data interface,
// without Python and without any Arrow library.
//
// An input array is read where its producer keeps it, and never written:
// StringArray checks its layout, and yields each row's value only once the
// value's offsets or view lie inside its buffers and its bytes are valid
// UTF-8.  An output column is assembled from Pieces, the values of
// consecutive rows as one thread produced them, into buffers a StringColumn
// owns; export_array, export_schema and export_stream hand it to consumers,
// who share it (and keep it alive) until they call the release callbacks.
//
// The interface gives no buffer sizes for string and large_string, so the
// last offset is taken as the size of the data buffer: a producer whose
// offsets lie beyond its buffers cannot be caught by any consumer.  Offsets
// that decrease or are negative, and views of string_view (whose buffer
// sizes are given), are checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/result.h"
#include "core/text/utf8.h"
#include "core/text/utf8_validate.h"
#include "py/arrow_abi.h"

namespace zenkor::arrow {

// The Arrow types of UTF-8 strings: 32-bit offsets, 64-bit offsets, and
// 16-byte views that hold short values inline.
enum class StringType : std::uint8_t { String, LargeString, StringView };

// The type an Arrow format string names, or nullopt for any other type.
[[nodiscard]] std::optional<StringType> string_type(std::string_view format) noexcept;
[[nodiscard]] const char* format_of(StringType type) noexcept;
[[nodiscard]] const char* name_of(StringType type) noexcept;

// What went wrong, with its display text.  Malformed: the input breaks the
// layout of its type.  Released: a struct handed over has been released.
// TooLarge: the output does not fit its type's offsets.
struct ArrowError {
  enum class Kind : std::uint8_t { Malformed, Released, TooLarge };
  Kind kind;
  std::string message;
};

// The largest byte offset into a data buffer that a type can express:
// 32-bit offsets and views address 2^31 - 1 bytes.
[[nodiscard]] std::uint64_t max_offset(StringType type) noexcept;

// An input array of strings, read in place.
class StringArray {
 public:
  // The array's layout checked: that it is not released, its length and
  // offset, the number of buffers the type has, and the buffers that a
  // non-empty array needs.
  // REQUIRES: `array` stays alive and unchanged while the result is used.
  [[nodiscard]] static Result<StringArray, ArrowError> view(StringType type, const ArrowArray& array);

  [[nodiscard]] std::int64_t length() const noexcept { return length_; }

  // The bytes of the values of rows [begin, end) as the array says, never
  // negative: to split the work and size buffers, not to read, since the
  // array is not checked yet.  REQUIRES: 0 <= begin <= end <= length().
  [[nodiscard]] std::uint64_t bytes_hint(std::int64_t begin, std::int64_t end) const noexcept;

  // Calls visit(std::optional<std::string_view>) for rows [begin, end) in
  // order: nullopt for a null, else the value, checked to lie inside the
  // buffers and to be valid UTF-8.  The first malformed row ends the walk
  // and returns its error, naming it as row `first_row + i`.
  // REQUIRES: 0 <= begin <= end <= length().
  template <typename Visit>
  [[nodiscard]] Result<void, ArrowError> read(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                              Visit&& visit) const;

 private:
  StringArray() = default;

  [[nodiscard]] bool is_valid(std::int64_t i) const noexcept {
    if (validity_ == nullptr) return true;
    const std::int64_t bit = offset_ + i;
    return ((validity_[bit >> 3] >> (bit & 7)) & 1) != 0;
  }

  template <typename Offset, typename Visit>
  [[nodiscard]] Result<void, ArrowError> read_offsets(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                                      Visit& visit) const;
  template <typename Visit>
  [[nodiscard]] Result<void, ArrowError> read_views(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                                    Visit& visit) const;

  StringType type_ = StringType::String;
  std::int64_t length_ = 0;
  std::int64_t offset_ = 0;
  const std::uint8_t* validity_ = nullptr;  // null when every row is valid
  const void* index_ = nullptr;             // the offsets or the views
  const char* data_ = nullptr;              // string and large_string
  const char* const* variadic_ = nullptr;   // string_view: its data buffers
  const std::int64_t* variadic_sizes_ = nullptr;
  std::int64_t variadic_count_ = 0;
};

// ArrowError for a malformed row.
[[nodiscard]] ArrowError malformed_row(std::int64_t row, const std::string& what);

// ArrowError for a struct handed over with a null release callback: its
// producer released it, or a consumer moved it out, so what it points to may
// be freed already.  `which` names the struct ("ArrowSchema", "ArrowArray",
// "ArrowArrayStream").
[[nodiscard]] ArrowError released(const std::string& which);

template <typename Visit>
Result<void, ArrowError> StringArray::read(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                           Visit&& visit) const {
  switch (type_) {
    case StringType::String:
      return read_offsets<std::int32_t>(begin, end, first_row, visit);
    case StringType::LargeString:
      return read_offsets<std::int64_t>(begin, end, first_row, visit);
    case StringType::StringView:
      return read_views(begin, end, first_row, visit);
  }
  return {};
}

// Whether a value read from outside is UTF-8: 32 bytes at a time from a
// length where that is quicker (half the time on 70-byte tweets).
[[nodiscard]] inline bool is_utf8(std::string_view value) noexcept {
  return value.size() >= 32 ? text::utf8::is_valid_long(value) : text::utf8::is_valid(value);
}

template <typename Offset, typename Visit>
Result<void, ArrowError> StringArray::read_offsets(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                                   Visit& visit) const {
  if (begin == end) return {};
  const Offset* offsets = static_cast<const Offset*>(index_) + offset_;
  // The offsets first.  They must rise even under nulls: a consumer may take
  // any two as a range.
  if (offsets[begin] < 0) {
    return malformed_row(first_row + begin, "has a negative offset (" + std::to_string(offsets[begin]) + ")");
  }
  for (std::int64_t i = begin; i < end; ++i) {
    if (offsets[i + 1] < offsets[i]) {
      return malformed_row(first_row + i, "has offsets that decrease (from " + std::to_string(offsets[i]) + " to " +
                                              std::to_string(offsets[i + 1]) + ")");
    }
  }
  // Rising offsets of some of the rows say nothing of where the data ends,
  // which is at the array's last offset: rows read in parts (by several
  // threads) must end there too.
  const Offset data_end = offsets[length_];
  if (offsets[end] > data_end) {
    std::int64_t i = begin;
    while (offsets[i + 1] <= data_end) ++i;
    return malformed_row(first_row + i, "lies outside the data (bytes " + std::to_string(offsets[i]) + " to " +
                                            std::to_string(offsets[i + 1]) + " of " + std::to_string(data_end) + ")");
  }
  // Then the bytes of all the rows in one check, far quicker than one per
  // value: when they are UTF-8, a value is exactly when it starts and ends
  // at a character boundary of them.  Bytes under nulls may be anything and
  // fail the check; then each value is checked alone.
  const auto bytes = static_cast<std::size_t>(offsets[end] - offsets[begin]);
  const bool all_valid = data_ != nullptr && text::utf8::is_valid_long(std::string_view(data_ + offsets[begin], bytes));
  const auto boundary = [&](Offset at) {
    return at == offsets[end] || !text::utf8::is_continuation(static_cast<unsigned char>(data_[at]));
  };
  for (std::int64_t i = begin; i < end; ++i) {
    if (!is_valid(i)) {
      visit(std::optional<std::string_view>());
      continue;
    }
    const Offset start = offsets[i], stop = offsets[i + 1];
    if (start == stop) {
      visit(std::optional<std::string_view>(std::string_view()));
      continue;
    }
    if (data_ == nullptr) return malformed_row(first_row + i, "needs the data buffer, which is missing");
    const std::string_view value(data_ + start, static_cast<std::size_t>(stop - start));
    if (all_valid ? !boundary(start) || !boundary(stop) : !is_utf8(value)) {
      return malformed_row(first_row + i, "is not valid UTF-8");
    }
    visit(std::optional<std::string_view>(value));
  }
  return {};
}

// A view: the value's length, then either the value itself (up to 12 bytes,
// zero-padded) or its first 4 bytes, the index of a data buffer and the
// offset of the value in it.
inline constexpr std::size_t VIEW_SIZE = 16;
inline constexpr std::int32_t VIEW_INLINE = 12;

template <typename Visit>
Result<void, ArrowError> StringArray::read_views(std::int64_t begin, std::int64_t end, std::int64_t first_row,
                                                 Visit& visit) const {
  // An empty array may have no views buffer, and no pointer may be moved
  // from null, even by nothing read.
  if (begin == end) return {};
  const auto* views = static_cast<const unsigned char*>(index_) + static_cast<std::size_t>(offset_) * VIEW_SIZE;
  for (std::int64_t i = begin; i < end; ++i) {
    // A null's view may hold anything: it is never read.
    if (!is_valid(i)) {
      visit(std::optional<std::string_view>());
      continue;
    }
    const unsigned char* view = views + static_cast<std::size_t>(i) * VIEW_SIZE;
    std::int32_t length;
    std::memcpy(&length, view, 4);
    const char* bytes;
    if (length < 0) {
      return malformed_row(first_row + i, "has a negative length (" + std::to_string(length) + ")");
    } else if (length <= VIEW_INLINE) {
      bytes = reinterpret_cast<const char*>(view + 4);
    } else {
      std::int32_t buffer, offset;
      std::memcpy(&buffer, view + 8, 4);
      std::memcpy(&offset, view + 12, 4);
      if (buffer < 0 || buffer >= variadic_count_) {
        return malformed_row(first_row + i, "points to data buffer " + std::to_string(buffer) + " of " +
                                                std::to_string(variadic_count_));
      }
      const std::int64_t size = variadic_sizes_[buffer];
      if (variadic_[buffer] == nullptr) {
        return malformed_row(first_row + i, "needs data buffer " + std::to_string(buffer) + ", which is missing");
      }
      if (offset < 0 || std::int64_t{offset} + length > size) {
        return malformed_row(first_row + i, "lies outside data buffer " + std::to_string(buffer) + " (bytes " +
                                                std::to_string(offset) + " to " + std::to_string(std::int64_t{offset} + length) +
                                                " of " + std::to_string(size) + ")");
      }
      bytes = variadic_[buffer] + offset;
    }
    const std::string_view value(bytes, static_cast<std::size_t>(length));
    if (!is_utf8(value)) return malformed_row(first_row + i, "is not valid UTF-8");
    visit(std::optional<std::string_view>(value));
  }
  return {};
}

// The values of consecutive rows of an output column, as one thread produces
// them: the bytes of every value one after another, and each row's length
// (-1 for a null).
struct Piece {
  std::vector<std::int64_t> lengths;
  std::string data;

  void append(std::string_view value) {
    lengths.push_back(static_cast<std::int64_t>(value.size()));
    data.append(value);
  }
  void append_null() { lengths.push_back(-1); }
};

// A column of strings in buffers it owns, laid out as the C data interface
// wants them.  Immutable once assembled, so any number of exports may share it.
class StringColumn {
 public:
  // The pieces' rows, in order, as one column of `type`.  TooLarge when
  // its values need offsets past `limit` (max_offset(type) but in tests).
  [[nodiscard]] static Result<std::shared_ptr<const StringColumn>, ArrowError> assemble(
      StringType type, std::vector<Piece> pieces, std::uint64_t limit);

  [[nodiscard]] StringType type() const noexcept { return type_; }
  [[nodiscard]] std::int64_t length() const noexcept { return length_; }
  [[nodiscard]] std::int64_t null_count() const noexcept { return null_count_; }
  // The buffers as ArrowArray.buffers lists them.
  [[nodiscard]] const std::vector<const void*>& buffers() const noexcept { return buffers_; }

 private:
  struct alignas(8) View {
    unsigned char bytes[VIEW_SIZE];
  };

  StringColumn() = default;
  void assemble_offsets(std::vector<Piece>& pieces);
  template <typename Offset>
  void write_offsets(const std::vector<Piece>& pieces);
  void assemble_views(std::vector<Piece>& pieces, std::uint64_t limit);

  StringType type_ = StringType::String;
  std::int64_t length_ = 0;
  std::int64_t null_count_ = 0;
  std::vector<std::uint8_t> validity_;  // empty when no row is null
  std::variant<std::vector<std::int32_t>, std::vector<std::int64_t>, std::vector<View>> index_;
  std::vector<std::string> data_;  // one buffer, or the pieces' data that the views point into
  std::vector<const void*> variadic_;
  std::vector<std::int64_t> variadic_sizes_;
  std::vector<const void*> buffers_;
};

// The one field of a column: its type, name and flags.
struct Field {
  StringType type = StringType::String;
  std::string name;
  std::int64_t flags = ARROW_FLAG_NULLABLE;
};

// Fill `out` (whose release callback is null) with an export that shares what
// it describes; the consumer's release frees it.
void export_schema(const Field& field, ArrowSchema& out);
void export_array(std::shared_ptr<const StringColumn> column, ArrowArray& out);
void export_stream(const Field& field, std::vector<std::shared_ptr<const StringColumn>> chunks, ArrowArrayStream& out);

// A struct a producer handed over: released when it goes, as the interface
// requires of its consumer.  Moving it moves the ownership, as the
// interface moves structs: copy, and mark the source released.
template <typename T>
class Imported {
 public:
  Imported() = default;
  Imported(const Imported&) = delete;
  Imported& operator=(const Imported&) = delete;
  Imported(Imported&& other) noexcept : value_(other.value_) { other.value_.release = nullptr; }
  ~Imported() {
    if (value_.release) value_.release(&value_);
  }

  [[nodiscard]] T* get() noexcept { return &value_; }
  [[nodiscard]] const T& operator*() const noexcept { return value_; }
  [[nodiscard]] const T* operator->() const noexcept { return &value_; }

 private:
  T value_{};
};

}  // namespace zenkor::arrow
