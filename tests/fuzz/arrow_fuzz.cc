// Arrow string arrays built from the input, as a producer hands them over
// through the C data interface, normalized along normalize_arrow's own path
// (StringArray::view, then normalize_arrays) with one thread and with
// several.  The input picks the type (string, large_string, string_view),
// a preset, one to three arrays of a stream, and for each its slice, its
// validity bitmap or none, its values (text, or raw bytes), then breaks what
// it likes: offsets that decrease, are negative, or do not start at 0; views
// with any length, buffer index and offset; missing buffers; lengths,
// offsets and null counts out of range; an array already released.  The
// threads asked for may be any number, up to the largest a size_t holds.
//
// Every buffer is an allocation of exactly the size the interface promises,
// so the sanitizer sees any read past one.  The data buffer of string and
// large_string is as long as the last offset says, since the interface gives
// no other size.
//
// What must hold, judged by a reading of the layout of our own (`expect`):
// a released array gives a Released error; another broken layout or a
// malformed row gives a Malformed error, naming a row
// that is malformed; for an array whose offsets are in order, or of views,
// the first such row.  A well-formed stream gives columns of the same type
// and lengths, nulls where the input has them, and each value equal to
// Normalizer::normalize of the input's.  The input is never written.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config.h"
#include "core/pipeline.h"
#include "core/text/utf8_validate.h"
#include "py/arrow_column.h"
#include "py/arrow_normalize.h"
#include "tests/fuzz/check.h"

namespace {

using zenkor::Normalizer;
using zenkor::arrow::ArrowError;
using zenkor::arrow::Columns;
using zenkor::arrow::StringArray;
using zenkor::arrow::StringType;
using Bytes = std::vector<unsigned char>;

constexpr std::int64_t MAX_SLICE_OFFSET = 16;
constexpr std::int64_t MAX_LENGTH = 64;
constexpr std::size_t MAX_VALUE = 40;
constexpr std::int32_t INLINE_BYTES = 12;

// Offsets and view lengths may claim the most their type can address, which
// makes normalize_arrays cut the rows into several tasks (the path of
// several threads) and reserve 256 MB for one, which under AddressSanitizer
// costs about 0.1 s of page faults: one such claim per input is enough.
struct Claims {
  bool huge_left = true;
  bool take_huge(FuzzedDataProvider& in) {
    const bool take = huge_left && in.ConsumeIntegralInRange(0, 3) == 0;
    huge_left = huge_left && !take;
    return take;
  }
};

// What the input may break in an array's layout, each a fault that
// StringArray::view must report before anything is read.
enum class Fault : std::uint8_t {
  None,
  NegativeLength,
  NegativeOffset,
  OffsetOverflow,
  NullCount,
  BufferCount,
  NoBufferList,
  NoIndex,
  NoBitmapWithNulls,
  NoSizes,
  Released,
};

// An array the harness owns: each buffer its own allocation, and the C
// struct that points into them.
struct Built {
  StringType type = StringType::String;
  std::vector<std::unique_ptr<Bytes>> owned;
  std::vector<const void*> buffers;
  ArrowArray array{};
  bool layout_broken = false;
  bool released = false;
};

// What a live array's release callback does: the harness frees the buffers.
void release_built(ArrowArray* array) { array->release = nullptr; }

const void* add_buffer(Built& built, Bytes bytes) {
  built.owned.push_back(std::make_unique<Bytes>(std::move(bytes)));
  // An empty vector has no allocation: a null pointer, as producers pass it.
  return built.owned.back()->empty() ? nullptr : built.owned.back()->data();
}

template <typename T>
void put(Bytes& bytes, std::size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof(T));
}

template <typename T>
T get(const void* buffer, std::size_t index) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(buffer) + index * sizeof(T), sizeof(T));
  return value;
}

std::string value_from(FuzzedDataProvider& in, bool raw) {
  std::string value = in.ConsumeRandomLengthString(MAX_VALUE);
  return raw ? value : zenkor::fuzz::valid_text(value);
}

// The offsets and data of string (Offset = int32_t) or large_string.
template <typename Offset>
void build_offsets(FuzzedDataProvider& in, Claims& claims, Built& built, std::int64_t rows, bool raw) {
  std::string data(in.ConsumeIntegralInRange<std::size_t>(0, 4), '\xff');  // bytes before the first value
  std::vector<Offset> offsets{static_cast<Offset>(data.size())};
  for (std::int64_t i = 0; i < rows; ++i) {
    data += value_from(in, raw);
    offsets.push_back(static_cast<Offset>(data.size()));
  }
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    const auto at = in.ConsumeIntegralInRange<std::size_t>(0, offsets.size() - 1);
    // Any offset may claim the most its type can address, but the last:
    // the data buffer is as long as it says.
    const bool huge = at + 1 < offsets.size() && claims.take_huge(in);
    offsets[at] = huge ? std::numeric_limits<Offset>::max()
                       : in.ConsumeIntegralInRange<Offset>(-3, static_cast<Offset>(data.size()) + 3);
  }
  data.resize(static_cast<std::size_t>(std::max<Offset>(offsets.back(), 0)), '\0');
  Bytes index(offsets.size() * sizeof(Offset));
  for (std::size_t i = 0; i < offsets.size(); ++i) put(index, i * sizeof(Offset), offsets[i]);
  built.buffers.push_back(add_buffer(built, std::move(index)));
  const void* data_buffer = add_buffer(built, Bytes(data.begin(), data.end()));
  built.buffers.push_back(in.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : data_buffer);
}

// The views and data buffers of string_view.
void build_views(FuzzedDataProvider& in, Claims& claims, Built& built, std::int64_t rows, bool raw) {
  const auto count = in.ConsumeIntegralInRange<std::size_t>(0, 3);
  std::vector<std::string> data(count);
  Bytes views(static_cast<std::size_t>(rows) * 16, 0);
  for (std::int64_t i = 0; i < rows; ++i) {
    const std::string value = value_from(in, raw);
    const auto at = static_cast<std::size_t>(i) * 16;
    put(views, at, static_cast<std::int32_t>(value.size()));
    if (value.size() <= INLINE_BYTES) {
      std::memcpy(views.data() + at + 4, value.data(), value.size());
      continue;
    }
    const std::int32_t buffer = count == 0 ? 0 : in.ConsumeIntegralInRange<std::int32_t>(0, static_cast<std::int32_t>(count) - 1);
    std::string* target = count == 0 ? nullptr : &data[static_cast<std::size_t>(buffer)];
    if (target) target->append(in.ConsumeIntegralInRange<std::size_t>(0, 2), '\xff');  // a gap between values
    std::memcpy(views.data() + at + 4, value.data(), 4);
    put(views, at + 8, buffer);
    put(views, at + 12, target ? static_cast<std::int32_t>(target->size()) : 0);
    if (target) target->append(value);
  }
  for (int n = rows == 0 ? 0 : in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    const auto at = in.ConsumeIntegralInRange<std::size_t>(0, static_cast<std::size_t>(rows) - 1) * 16;
    constexpr std::int32_t HUGE_LENGTH = std::numeric_limits<std::int32_t>::max();
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0:
        put(views, at, claims.take_huge(in) ? HUGE_LENGTH : in.ConsumeIntegralInRange<std::int32_t>(-2, 30));
        break;
      case 1:
        put(views, at + 8, in.ConsumeIntegralInRange<std::int32_t>(-1, static_cast<std::int32_t>(count)));
        break;
      default:
        put(views, at + 12, in.ConsumeBool() ? HUGE_LENGTH : in.ConsumeIntegralInRange<std::int32_t>(-2, 60));
        break;
    }
  }
  built.buffers.push_back(add_buffer(built, std::move(views)));
  Bytes sizes(count * sizeof(std::int64_t));
  const auto missing = in.ConsumeIntegralInRange<std::size_t>(0, 2 * count + 1);  // a data buffer handed over as null
  for (std::size_t b = 0; b < count; ++b) {
    put(sizes, b * sizeof(std::int64_t), static_cast<std::int64_t>(data[b].size()));
    const void* buffer = add_buffer(built, Bytes(data[b].begin(), data[b].end()));
    built.buffers.push_back(b == missing ? nullptr : buffer);
  }
  built.buffers.push_back(add_buffer(built, std::move(sizes)));
}

Built build(FuzzedDataProvider& in, Claims& claims, StringType type) {
  Built built;
  built.type = type;
  const auto offset = in.ConsumeIntegralInRange<std::int64_t>(0, MAX_SLICE_OFFSET);
  const auto length = in.ConsumeIntegralInRange<std::int64_t>(0, MAX_LENGTH);
  const std::int64_t rows = offset + length;
  const bool raw = in.ConsumeIntegralInRange(0, 3) == 0;

  Bytes validity;
  std::int64_t nulls = 0;
  if (in.ConsumeBool()) {
    validity = in.ConsumeBytes<unsigned char>(static_cast<std::size_t>((rows + 7) / 8));
    validity.resize(static_cast<std::size_t>((rows + 7) / 8), 0xff);
    for (std::int64_t i = offset; i < rows; ++i) nulls += ((validity[static_cast<std::size_t>(i >> 3)] >> (i & 7)) & 1) ? 0 : 1;
  }
  const bool has_bitmap = !validity.empty();
  built.buffers.push_back(add_buffer(built, std::move(validity)));
  if (type == StringType::StringView) {
    build_views(in, claims, built, rows, raw);
  } else if (type == StringType::String) {
    build_offsets<std::int32_t>(in, claims, built, rows, raw);
  } else {
    build_offsets<std::int64_t>(in, claims, built, rows, raw);
  }

  // The null count need not be right: -1 (not computed) or any count the
  // length allows is a valid claim, and the bitmap is what counts.
  std::int64_t null_count = 0;
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      null_count = -1;
      break;
    case 1:
      null_count = nulls;
      break;
    default:
      null_count = has_bitmap ? in.ConsumeIntegralInRange<std::int64_t>(0, length) : 0;
      break;
  }
  built.array = ArrowArray{length, null_count, offset, static_cast<std::int64_t>(built.buffers.size()), 0,
                           built.buffers.data(), nullptr, nullptr, &release_built, nullptr};

  const bool views = type == StringType::StringView;
  const auto fault = static_cast<Fault>(in.ConsumeIntegralInRange(0, 19));
  ArrowArray& a = built.array;
  built.released = fault == Fault::Released;
  switch (fault) {
    case Fault::Released:
      // What a released array points to may be freed already, as it is here,
      // so that the sanitizer sees any read of it.
      a.release = nullptr;
      built.owned.clear();
      std::vector<const void*>().swap(built.buffers);
      break;
    case Fault::NegativeLength:
      a.length = in.ConsumeIntegralInRange<std::int64_t>(std::numeric_limits<std::int64_t>::min(), -1);
      break;
    case Fault::NegativeOffset:
      a.offset = in.ConsumeIntegralInRange<std::int64_t>(std::numeric_limits<std::int64_t>::min(), -1);
      break;
    case Fault::OffsetOverflow:
      a.length = std::max<std::int64_t>(a.length, 1);
      a.offset = std::numeric_limits<std::int64_t>::max() - in.ConsumeIntegralInRange<std::int64_t>(0, a.length - 1);
      break;
    case Fault::NullCount:
      a.null_count = in.ConsumeBool() ? a.length + in.ConsumeIntegralInRange<std::int64_t>(1, 4)
                                      : in.ConsumeIntegralInRange<std::int64_t>(-5, -2);
      break;
    case Fault::BufferCount:
      // Fewer buffers than the type has, or for string and large_string
      // more: a count past the list given would be a producer's lie no
      // consumer can catch.
      a.n_buffers = views ? in.ConsumeIntegralInRange<std::int64_t>(0, 2)
                          : std::array<std::int64_t, 4>{0, 1, 2, 4}[in.ConsumeIntegralInRange(0, 3)];
      break;
    default:
      break;
  }
  built.layout_broken = built.released || (fault >= Fault::NegativeLength && fault <= Fault::BufferCount);
  if (a.length > 0 && !built.layout_broken) {
    switch (fault) {
      case Fault::NoBufferList:
        a.buffers = nullptr;
        built.layout_broken = true;
        break;
      case Fault::NoIndex:
        built.buffers[1] = nullptr;
        built.layout_broken = true;
        break;
      case Fault::NoBitmapWithNulls:
        built.buffers[0] = nullptr;
        a.null_count = in.ConsumeIntegralInRange<std::int64_t>(1, a.length);
        built.layout_broken = true;
        break;
      case Fault::NoSizes:
        if (views && built.buffers.size() > 3) {
          built.buffers.back() = nullptr;
          built.layout_broken = true;
        }
        break;
      default:
        break;
    }
  }
  return built;
}

// A row as the layout defines it, read with every check written out.
struct Row {
  bool null = false;
  bool malformed = false;
  std::string_view value;
};

struct Expected {
  std::vector<Row> rows;
  bool any_malformed = false;
  bool offsets_in_order = true;  // string and large_string: nothing wrong with the offsets
};

bool is_null(const Built& built, std::int64_t row) {
  const auto* validity = static_cast<const unsigned char*>(built.buffers[0]);
  const std::int64_t bit = built.array.offset + row;
  return validity != nullptr && ((validity[bit >> 3] >> (bit & 7)) & 1) == 0;
}

template <typename Offset>
Expected expect_offsets(const Built& built) {
  const ArrowArray& a = built.array;
  const auto offset = [&](std::int64_t row) {
    return std::int64_t{get<Offset>(built.buffers[1], static_cast<std::size_t>(a.offset + row))};
  };
  const auto* data = static_cast<const char*>(built.buffers[2]);
  const std::int64_t end_of_data = offset(a.length);  // the data buffer's size
  Expected out;
  for (std::int64_t i = 0; i < a.length; ++i) {
    Row& row = out.rows.emplace_back();
    const std::int64_t start = offset(i), stop = offset(i + 1);
    const bool outside = start < 0 || stop < start || stop > end_of_data;
    out.offsets_in_order = out.offsets_in_order && !outside;
    row.null = is_null(built, i);
    if (outside) {
      row.malformed = true;  // a consumer may take any two offsets as a range, even under nulls
    } else if (!row.null && stop > start) {
      if (data == nullptr) {
        row.malformed = true;
      } else {
        row.value = std::string_view(data + start, static_cast<std::size_t>(stop - start));
        row.malformed = !zenkor::text::utf8::is_valid(row.value);
      }
    }
    out.any_malformed = out.any_malformed || row.malformed;
  }
  return out;
}

Expected expect_views(const Built& built) {
  const ArrowArray& a = built.array;
  const auto count = static_cast<std::int64_t>(built.buffers.size()) - 3;
  Expected out;
  for (std::int64_t i = 0; i < a.length; ++i) {
    Row& row = out.rows.emplace_back();
    row.null = is_null(built, i);
    if (row.null) continue;  // a null's view is never read
    const auto at = static_cast<std::size_t>(a.offset + i) * 4;  // in int32 units
    const auto length = get<std::int32_t>(built.buffers[1], at);
    if (length < 0) {
      row.malformed = true;
    } else if (length <= INLINE_BYTES) {
      row.value = std::string_view(static_cast<const char*>(built.buffers[1]) + at * 4 + 4, static_cast<std::size_t>(length));
    } else {
      const auto buffer = get<std::int32_t>(built.buffers[1], at + 2);
      const auto offset = get<std::int32_t>(built.buffers[1], at + 3);
      const bool exists = buffer >= 0 && buffer < count && built.buffers[static_cast<std::size_t>(buffer) + 2] != nullptr;
      const std::int64_t size =
          exists ? get<std::int64_t>(built.buffers.back(), static_cast<std::size_t>(buffer)) : 0;
      if (!exists || offset < 0 || std::int64_t{offset} + length > size) {
        row.malformed = true;
      } else {
        row.value = std::string_view(static_cast<const char*>(built.buffers[static_cast<std::size_t>(buffer) + 2]) + offset,
                                     static_cast<std::size_t>(length));
      }
    }
    row.malformed = row.malformed || !zenkor::text::utf8::is_valid(row.value);
    out.any_malformed = out.any_malformed || row.malformed;
  }
  return out;
}

Expected expect(const Built& built) {
  switch (built.type) {
    case StringType::String:
      return expect_offsets<std::int32_t>(built);
    case StringType::LargeString:
      return expect_offsets<std::int64_t>(built);
    case StringType::StringView:
      return expect_views(built);
  }
  return {};
}

// The row a row error names: "row N ...".
std::optional<std::int64_t> row_named(const std::string& message) {
  constexpr std::string_view ROW_PREFIX = "row ";
  if (message.compare(0, ROW_PREFIX.size(), ROW_PREFIX) != 0) return std::nullopt;
  std::int64_t row = -1;
  const char* first = message.data() + ROW_PREFIX.size();
  const auto [end, error] = std::from_chars(first, message.data() + message.size(), row);
  if (error != std::errc() || end == message.data() + message.size() || *end != ' ') return std::nullopt;
  return row;
}

// Everything the input hands over, byte for byte.
std::vector<Bytes> snapshot(const std::vector<Built>& arrays) {
  std::vector<Bytes> copy;
  for (const Built& built : arrays) {
    copy.emplace_back(reinterpret_cast<const unsigned char*>(&built.array),
                      reinterpret_cast<const unsigned char*>(&built.array) + sizeof(ArrowArray));
    const auto* list = reinterpret_cast<const unsigned char*>(built.buffers.data());
    copy.emplace_back(list, list + built.buffers.size() * sizeof(const void*));
    for (const auto& owned : built.owned) copy.push_back(*owned);
  }
  return copy;
}

void check_error(const ArrowError& error, const std::vector<Built>& arrays, const std::vector<Expected>& expected) {
  FUZZ_CHECK(error.kind == ArrowError::Kind::Malformed);
  const std::optional<std::int64_t> named = row_named(error.message);
  FUZZ_CHECK(named.has_value());
  // The error is of the first malformed array: every one before it is read
  // to the end by a task that comes first.
  std::int64_t first_row = 0;
  std::size_t a = 0;
  while (a < arrays.size() && !expected[a].any_malformed) first_row += arrays[a++].array.length;
  FUZZ_CHECK(a < arrays.size());
  const std::int64_t row = *named - first_row;
  FUZZ_CHECK(row >= 0 && row < arrays[a].array.length);
  const std::vector<Row>& rows = expected[a].rows;
  FUZZ_CHECK(rows[static_cast<std::size_t>(row)].malformed);
  // Rows are checked in order, so without a fault in the offsets the first
  // malformed row is the one named.
  if (expected[a].offsets_in_order) {
    for (std::int64_t i = 0; i < row; ++i) FUZZ_CHECK(!rows[static_cast<std::size_t>(i)].malformed);
  }
}

void check_columns(const Columns& columns, StringType type, const Normalizer& normalizer,
                   const std::vector<Built>& arrays, const std::vector<Expected>& expected) {
  FUZZ_CHECK(columns.size() == arrays.size());
  for (std::size_t a = 0; a < arrays.size(); ++a) {
    const auto& column = columns[a];
    const std::vector<Row>& rows = expected[a].rows;
    FUZZ_CHECK(column->type() == type && column->length() == arrays[a].array.length);
    std::int64_t nulls = 0;
    for (const Row& row : rows) nulls += row.null ? 1 : 0;
    FUZZ_CHECK(column->null_count() == nulls);

    // Read back as a consumer would, through an export.
    ArrowArray exported{};
    zenkor::arrow::export_array(column, exported);
    FUZZ_CHECK(exported.offset == 0 && exported.length == column->length() && exported.release != nullptr);
    auto viewed = StringArray::view(type, exported);
    FUZZ_CHECK(viewed.ok());
    std::size_t i = 0;
    const auto read = viewed.value().read(0, exported.length, 0, [&](std::optional<std::string_view> value) {
      FUZZ_CHECK(i < rows.size());
      const Row& row = rows[i++];
      FUZZ_CHECK(value.has_value() == !row.null);
      if (value) FUZZ_CHECK(*value == normalizer.normalize(row.value));
    });
    FUZZ_CHECK(read.ok() && i == rows.size());
    exported.release(&exported);
    FUZZ_CHECK(exported.release == nullptr);
  }
}

const Normalizer& normalizer_for(zenkor::Preset preset) {
  static std::array<std::unique_ptr<const Normalizer>, zenkor::ALL_PRESETS.size()> cache;
  for (std::size_t i = 0; i < zenkor::ALL_PRESETS.size(); ++i) {
    if (zenkor::ALL_PRESETS[i] != preset) continue;
    if (!cache[i]) cache[i] = std::make_unique<const Normalizer>(zenkor::Config::from_preset(preset));
    return *cache[i];
  }
  zenkor::fuzz::fail("a preset of ALL_PRESETS", __FILE__, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zenkor::fuzz::CpuBudget budget;
  FuzzedDataProvider in(data, size);
  const StringType type = std::array{StringType::String, StringType::LargeString,
                                     StringType::StringView}[in.ConsumeIntegralInRange(0, 2)];
  const Normalizer& normalizer = normalizer_for(in.PickValueInArray(zenkor::ALL_PRESETS));
  // A few threads, or more than there may be: a huge count must not wrap
  // when it is multiplied, and counts as MAX_JOBS.
  constexpr std::array<std::size_t, 6> JOBS = {2, 3, 4, zenkor::py::MAX_JOBS + 1, std::size_t{1} << 62,
                                               std::numeric_limits<std::size_t>::max()};
  const std::size_t jobs = in.PickValueInArray(JOBS);
  std::vector<Built> arrays;
  Claims claims;
  for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n) arrays.push_back(build(in, claims, type));
  const std::vector<Bytes> before = snapshot(arrays);

  // As normalize_arrow does: every array's layout first, then the rows.
  std::vector<StringArray> viewed;
  for (const Built& built : arrays) {
    auto result = StringArray::view(type, built.array);
    if (!result.ok()) {
      const ArrowError& error = result.error();
      const auto kind = built.released ? ArrowError::Kind::Released : ArrowError::Kind::Malformed;
      FUZZ_CHECK(built.layout_broken && error.kind == kind && !error.message.empty());
      FUZZ_CHECK(!row_named(error.message));
      FUZZ_CHECK(snapshot(arrays) == before);
      return 0;
    }
    FUZZ_CHECK(!built.layout_broken);
    viewed.push_back(result.value());
  }

  std::vector<Expected> expected;
  bool any_malformed = false;
  for (const Built& built : arrays) {
    expected.push_back(expect(built));
    any_malformed = any_malformed || expected.back().any_malformed;
  }
  // One thread, and several: rows are cut into tasks by the bytes the
  // offsets or views claim, which only huge claims make more than one per
  // array here.
  for (const std::size_t threads : {std::size_t{1}, jobs}) {
    const auto result = zenkor::arrow::normalize_arrays(normalizer, type, viewed, threads);
    FUZZ_CHECK(snapshot(arrays) == before);
    if (!result.ok()) {
      FUZZ_CHECK(any_malformed);
      check_error(result.error(), arrays, expected);
    } else {
      FUZZ_CHECK(!any_malformed);
      check_columns(result.value(), type, normalizer, arrays, expected);
    }
  }
  return 0;
}
