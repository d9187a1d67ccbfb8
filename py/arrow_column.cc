#include "py/arrow_column.h"

#include <cerrno>
#include <limits>
#include <new>

namespace zenkor::arrow {

namespace {

ArrowError malformed(const std::string& what) { return {ArrowError::Kind::Malformed, what}; }

// A pointer to export where a buffer is empty: some consumers take a null
// buffer for a missing one, whatever its length.
const void* non_null(const void* buffer) noexcept {
  alignas(8) static constexpr std::int64_t EMPTY = 0;
  return buffer ? buffer : &EMPTY;
}

}  // namespace

std::optional<StringType> string_type(std::string_view format) noexcept {
  if (format == "u") return StringType::String;
  if (format == "U") return StringType::LargeString;
  if (format == "vu") return StringType::StringView;
  return std::nullopt;
}

const char* format_of(StringType type) noexcept {
  switch (type) {
    case StringType::String:
      return "u";
    case StringType::LargeString:
      return "U";
    case StringType::StringView:
      return "vu";
  }
  return "";
}

const char* name_of(StringType type) noexcept {
  switch (type) {
    case StringType::String:
      return "string";
    case StringType::LargeString:
      return "large_string";
    case StringType::StringView:
      return "string_view";
  }
  return "";
}

std::uint64_t max_offset(StringType type) noexcept {
  return type == StringType::LargeString ? std::uint64_t{std::numeric_limits<std::int64_t>::max()}
                                         : std::uint64_t{std::numeric_limits<std::int32_t>::max()};
}

ArrowError malformed_row(std::int64_t row, const std::string& what) {
  return malformed("row " + std::to_string(row) + " " + what);
}

ArrowError released(const std::string& which) {
  return {ArrowError::Kind::Released, "the " + which + " it exported has been released (its release callback is NULL)"};
}

Result<StringArray, ArrowError> StringArray::view(StringType type, const ArrowArray& array) {
  if (array.release == nullptr) return released("ArrowArray");
  if (array.length < 0) return malformed("negative length (" + std::to_string(array.length) + ")");
  if (array.offset < 0 || array.offset > std::numeric_limits<std::int64_t>::max() - array.length) {
    return malformed("offset " + std::to_string(array.offset) + " out of range");
  }
  if (array.null_count < -1 || array.null_count > array.length) {
    return malformed("null count " + std::to_string(array.null_count) + " out of range for length " +
                     std::to_string(array.length));
  }
  // Validity, offsets or views, then data for string and large_string, or
  // any number of data buffers and their sizes for string_view.
  const bool views = type == StringType::StringView;
  if (views ? array.n_buffers < 3 : array.n_buffers != 3) {
    return malformed(std::to_string(array.n_buffers) + " buffers where " + name_of(type) + " has " +
                     (views ? "at least 3" : "3"));
  }
  StringArray out;
  out.type_ = type;
  out.length_ = array.length;
  out.offset_ = array.offset;
  if (array.length == 0) return out;  // nothing to read, so nothing is needed
  if (array.buffers == nullptr) return malformed("the list of buffers is missing");
  out.validity_ = static_cast<const std::uint8_t*>(array.buffers[0]);
  if (out.validity_ == nullptr && array.null_count > 0) {
    return malformed("the validity bitmap is missing, with " + std::to_string(array.null_count) + " nulls");
  }
  out.index_ = array.buffers[1];
  if (out.index_ == nullptr) return malformed(views ? "the views buffer is missing" : "the offsets buffer is missing");
  if (!views) {
    out.data_ = static_cast<const char*>(array.buffers[2]);
    return out;
  }
  out.variadic_count_ = array.n_buffers - 3;
  out.variadic_ = reinterpret_cast<const char* const*>(array.buffers + 2);
  out.variadic_sizes_ = static_cast<const std::int64_t*>(array.buffers[array.n_buffers - 1]);
  if (out.variadic_count_ > 0 && out.variadic_sizes_ == nullptr) {
    return malformed("the buffer of data buffer sizes is missing");
  }
  return out;
}

std::uint64_t StringArray::bytes_hint(std::int64_t begin, std::int64_t end) const noexcept {
  if (begin == end) return 0;
  // Unchecked offsets may be anything: computed without overflow, they
  // only misplace a split.
  const auto span = [](std::uint64_t first, std::uint64_t last) {
    return static_cast<std::int64_t>(last - first) > 0 ? last - first : 0;
  };
  switch (type_) {
    case StringType::String: {
      const auto* offsets = static_cast<const std::int32_t*>(index_) + offset_;
      return span(static_cast<std::uint64_t>(std::int64_t{offsets[begin]}),
                  static_cast<std::uint64_t>(std::int64_t{offsets[end]}));
    }
    case StringType::LargeString: {
      const auto* offsets = static_cast<const std::int64_t*>(index_) + offset_;
      return span(static_cast<std::uint64_t>(offsets[begin]), static_cast<std::uint64_t>(offsets[end]));
    }
    case StringType::StringView: {
      const auto* views = static_cast<const unsigned char*>(index_) + static_cast<std::size_t>(offset_) * VIEW_SIZE;
      std::uint64_t bytes = 0;
      for (std::int64_t i = begin; i < end; ++i) {
        std::int32_t length;
        std::memcpy(&length, views + static_cast<std::size_t>(i) * VIEW_SIZE, 4);
        bytes += length > 0 ? static_cast<std::uint64_t>(length) : 0;
      }
      return bytes;
    }
  }
  return 0;
}

Result<std::shared_ptr<const StringColumn>, ArrowError> StringColumn::assemble(StringType type,
                                                                               std::vector<Piece> pieces,
                                                                               std::uint64_t limit) {
  // Built in place, since the buffer list points into the column's members.
  std::shared_ptr<StringColumn> column(new StringColumn());
  column->type_ = type;
  for (const Piece& piece : pieces) {
    for (const std::int64_t length : piece.lengths) column->null_count_ += length < 0 ? 1 : 0;
    column->length_ += static_cast<std::int64_t>(piece.lengths.size());
  }
  const auto too_large = [&](const std::string& what) {
    return ArrowError{ArrowError::Kind::TooLarge, what + ", more than the " + std::to_string(limit) +
                                                      " bytes that the offsets of " + name_of(type) + " can address"};
  };
  if (type == StringType::StringView) {
    // Each view has its own offset, so only a single value can be too long.
    for (const Piece& piece : pieces) {
      for (const std::int64_t length : piece.lengths) {
        if (length > 0 && static_cast<std::uint64_t>(length) > limit) {
          return too_large("a value takes " + std::to_string(length) + " bytes");
        }
      }
    }
  } else {
    std::uint64_t total = 0;
    for (const Piece& piece : pieces) total += piece.data.size();
    if (total > limit) return too_large("the values take " + std::to_string(total) + " bytes");
  }
  if (column->null_count_ > 0) {
    column->validity_.assign((static_cast<std::size_t>(column->length_) + 7) / 8, 0);
    std::size_t row = 0;
    for (const Piece& piece : pieces) {
      for (const std::int64_t length : piece.lengths) {
        if (length >= 0) column->validity_[row >> 3] |= static_cast<std::uint8_t>(1u << (row & 7));
        ++row;
      }
    }
  }
  if (type == StringType::StringView) {
    column->assemble_views(pieces, limit);
  } else {
    column->assemble_offsets(pieces);
  }
  return std::shared_ptr<const StringColumn>(std::move(column));
}

template <typename Offset>
void StringColumn::write_offsets(const std::vector<Piece>& pieces) {
  std::vector<Offset> offsets;
  offsets.reserve(static_cast<std::size_t>(length_) + 1);
  Offset end = 0;
  offsets.push_back(end);
  for (const Piece& piece : pieces) {
    for (const std::int64_t length : piece.lengths) {
      if (length > 0) end += static_cast<Offset>(length);
      offsets.push_back(end);
    }
  }
  index_ = std::move(offsets);
}

void StringColumn::assemble_offsets(std::vector<Piece>& pieces) {
  if (type_ == StringType::String) {
    write_offsets<std::int32_t>(pieces);
  } else {
    write_offsets<std::int64_t>(pieces);
  }
  // One piece, the common case of one thread, is moved in whole.
  if (pieces.size() == 1) {
    data_.push_back(std::move(pieces[0].data));
  } else {
    std::size_t total = 0;
    for (const Piece& piece : pieces) total += piece.data.size();
    std::string joined;
    joined.reserve(total);
    for (const Piece& piece : pieces) joined.append(piece.data);
    data_.push_back(std::move(joined));
  }
  const void* offsets = std::visit([](const auto& v) -> const void* { return v.data(); }, index_);
  buffers_ = {validity_.empty() ? nullptr : validity_.data(), offsets, data_[0].data()};
}

void StringColumn::assemble_views(std::vector<Piece>& pieces, std::uint64_t limit) {
  std::vector<View> views(static_cast<std::size_t>(length_), View{});
  // The pieces' data become the data buffers, without a copy: moved in
  // first, so that the pointers taken below stay where they are.  The bytes
  // of short values stay in them unused, since their views hold them.
  data_.reserve(pieces.size());
  for (Piece& piece : pieces) data_.push_back(std::move(piece.data));
  std::size_t row = 0;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const std::string& data = data_[p];
    std::size_t at = 0;  // in data
    // The data buffer that long values of this piece go into, from its
    // start in `data`; a new one begins where a view's offset would pass
    // the limit of 32 bits.
    std::size_t buffer_start = 0;
    bool buffer_open = false;
    for (const std::int64_t length : pieces[p].lengths) {
      View& view = views[row++];
      if (length < 0) continue;  // a null: a zero view
      const auto size = static_cast<std::size_t>(length);
      const auto size32 = static_cast<std::int32_t>(length);
      std::memcpy(view.bytes, &size32, 4);
      if (length <= VIEW_INLINE) {
        std::memcpy(view.bytes + 4, data.data() + at, size);
      } else {
        if (!buffer_open || at + size - buffer_start > limit) {
          buffer_start = at;
          buffer_open = true;
          variadic_.push_back(data.data() + at);
          variadic_sizes_.push_back(0);
        }
        variadic_sizes_.back() = static_cast<std::int64_t>(at + size - buffer_start);
        const auto buffer = static_cast<std::int32_t>(variadic_.size() - 1);
        const auto offset = static_cast<std::int32_t>(at - buffer_start);
        std::memcpy(view.bytes + 4, data.data() + at, 4);
        std::memcpy(view.bytes + 8, &buffer, 4);
        std::memcpy(view.bytes + 12, &offset, 4);
      }
      at += size;
    }
  }
  index_ = std::move(views);
  buffers_.push_back(validity_.empty() ? nullptr : validity_.data());
  buffers_.push_back(non_null(std::get<std::vector<View>>(index_).data()));
  buffers_.insert(buffers_.end(), variadic_.begin(), variadic_.end());
  buffers_.push_back(non_null(variadic_sizes_.data()));
}

namespace {

struct ExportedSchema {
  std::string name;
};

void release_schema(ArrowSchema* schema) noexcept {
  delete static_cast<ExportedSchema*>(schema->private_data);
  schema->release = nullptr;
}

struct ExportedArray {
  std::shared_ptr<const StringColumn> column;
  std::vector<const void*> buffers;  // a copy per export: the interface hands out non-const pointers
};

void release_array(ArrowArray* array) noexcept {
  delete static_cast<ExportedArray*>(array->private_data);
  array->release = nullptr;
}

struct ExportedStream {
  Field field;
  std::vector<std::shared_ptr<const StringColumn>> chunks;
  std::size_t next = 0;
};

// The stream callbacks may be called from any thread, by code that expects
// an error code rather than an exception.
int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) noexcept {
  try {
    export_schema(static_cast<ExportedStream*>(stream->private_data)->field, *out);
    return 0;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) noexcept {
  auto* state = static_cast<ExportedStream*>(stream->private_data);
  if (state->next == state->chunks.size()) {
    out->release = nullptr;  // the end of the stream
    return 0;
  }
  try {
    export_array(state->chunks[state->next], *out);
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
  ++state->next;
  return 0;
}

const char* stream_get_last_error(ArrowArrayStream*) noexcept { return nullptr; }

void release_stream(ArrowArrayStream* stream) noexcept {
  delete static_cast<ExportedStream*>(stream->private_data);
  stream->release = nullptr;
}

}  // namespace

void export_schema(const Field& field, ArrowSchema& out) {
  auto owned = std::make_unique<ExportedSchema>(ExportedSchema{field.name});
  out = ArrowSchema{format_of(field.type), owned->name.c_str(), nullptr, field.flags, 0, nullptr, nullptr,
                    &release_schema, owned.get()};
  owned.release();
}

void export_array(std::shared_ptr<const StringColumn> column, ArrowArray& out) {
  auto owned = std::make_unique<ExportedArray>(ExportedArray{column, column->buffers()});
  out = ArrowArray{column->length(), column->null_count(),
                   0, static_cast<std::int64_t>(owned->buffers.size()),
                   0, owned->buffers.data(),
                   nullptr, nullptr,
                   &release_array, owned.get()};
  owned.release();
}

void export_stream(const Field& field, std::vector<std::shared_ptr<const StringColumn>> chunks, ArrowArrayStream& out) {
  auto owned = std::make_unique<ExportedStream>(ExportedStream{field, std::move(chunks)});
  out = ArrowArrayStream{&stream_get_schema, &stream_get_next, &stream_get_last_error, &release_stream, owned.get()};
  owned.release();
}

}  // namespace zenkor::arrow
