#include "py/arrow.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "py/arrow_column.h"
#include "py/arrow_normalize.h"
#include "py/calls.h"
#include "py/errors.h"
#include "py/references.h"

namespace zenkor::py {

namespace {

using arrow::ArrowError;
using arrow::Columns;
using arrow::Field;
using arrow::Imported;
using arrow::StringArray;
using arrow::StringType;
using arrow::normalize_arrays;

// ---------------------------------------------------------------------------
// The input: what the data's __arrow_c_array__ or __arrow_c_stream__ hands over.

struct Input {
  Ref exported;  // the capsules, which own the structs below or what they point into
  Imported<ArrowSchema> stream_schema;
  std::vector<Imported<ArrowArray>> stream_chunks;
  bool is_array = false;
  const ArrowSchema* schema = nullptr;
  std::vector<const ArrowArray*> arrays;
};

// Looks up the method `name` of `obj` into `out`, left empty when `obj` has
// no such attribute; false with an exception set when the look-up fails.
bool optional_method(PyObject* obj, const char* name, Ref& out) {
  out = Ref(PyObject_GetAttrString(obj, name));
  if (out) return true;
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
  PyErr_Clear();
  return true;
}

template <typename T>
T* capsule_pointer(PyObject* capsule, const char* name) {
  if (!PyCapsule_IsValid(capsule, name)) return nullptr;
  return static_cast<T*>(PyCapsule_GetPointer(capsule, name));
}

bool bad_export(const char* method, const char* returns) {
  PyErr_Format(PyExc_TypeError, "normalize_arrow() argument 'data': %s() must return %s", method, returns);
  return false;
}

bool read_array(PyObject* method, Input& in) {
  in.is_array = true;
  in.exported = Ref(PyObject_CallNoArgs(method));
  if (!in.exported) return false;
  PyObject* pair = in.exported.get();
  constexpr const char* PAIR = "a tuple of PyCapsules 'arrow_schema' and 'arrow_array'";
  if (!PyTuple_Check(pair) || PyTuple_GET_SIZE(pair) != 2) return bad_export("__arrow_c_array__", PAIR);
  in.schema = capsule_pointer<ArrowSchema>(PyTuple_GET_ITEM(pair, 0), "arrow_schema");
  const auto* array = capsule_pointer<ArrowArray>(PyTuple_GET_ITEM(pair, 1), "arrow_array");
  if (!in.schema || !array) return bad_export("__arrow_c_array__", PAIR);
  in.arrays.push_back(array);
  return true;
}

bool stream_failed(ArrowArrayStream* stream, int code) {
  if (PyErr_Occurred()) return false;  // a producer written in Python raised
  const char* detail = stream->get_last_error ? stream->get_last_error(stream) : nullptr;
  PyErr_Format(PyExc_RuntimeError, "normalize_arrow() could not read the Arrow stream: %s (error %d)",
               detail ? detail : "no detail given", code);
  return false;
}

// Reads the whole stream, holding the interpreter lock: a producer may run
// Python code to make each array.
bool read_stream(PyObject* method, Input& in) {
  in.exported = Ref(PyObject_CallNoArgs(method));
  if (!in.exported) return false;
  auto* stream = capsule_pointer<ArrowArrayStream>(in.exported.get(), "arrow_array_stream");
  if (!stream) return bad_export("__arrow_c_stream__", "a PyCapsule 'arrow_array_stream'");
  if (!stream->release) {
    raise_error(arrow::released("ArrowArrayStream"));
    return false;
  }
  if (const int code = stream->get_schema(stream, in.stream_schema.get())) return stream_failed(stream, code);
  in.schema = &*in.stream_schema;
  for (;;) {
    Imported<ArrowArray> chunk;
    if (const int code = stream->get_next(stream, chunk.get())) return stream_failed(stream, code);
    if (!chunk->release) break;  // the end
    in.stream_chunks.push_back(std::move(chunk));
  }
  for (const auto& chunk : in.stream_chunks) in.arrays.push_back(&*chunk);
  return true;
}

bool read_input(PyObject* data, Input& in) {
  Ref method;
  if (!optional_method(data, "__arrow_c_array__", method)) return false;
  if (method) return read_array(method.get(), in);
  if (!optional_method(data, "__arrow_c_stream__", method)) return false;
  if (method) return read_stream(method.get(), in);
  PyErr_Format(PyExc_TypeError,
               "normalize_arrow() argument 'data' must export Arrow data (__arrow_c_array__ or __arrow_c_stream__), "
               "not %.80s; for a sequence of str use normalize_batch()",
               Py_TYPE(data)->tp_name);
  return false;
}

// The field of a column of strings, or TypeError naming the type it holds.
bool string_field(const ArrowSchema& schema, Field& out) {
  const char* format = schema.format ? schema.format : "";
  const std::optional<StringType> type = arrow::string_type(format);
  if (!type || schema.dictionary) {
    const char* kind = schema.dictionary ? " (dictionary-encoded)"
                       : std::string_view(format) == "+s" ? " (a table or struct: pass one of its columns)"
                                                          : "";
    PyErr_Format(PyExc_TypeError,
                 "normalize_arrow() argument 'data' must hold strings (Arrow format \"u\", \"U\" or \"vu\"), "
                 "not Arrow format \"%s\"%s",
                 format, kind);
    return false;
  }
  out.type = *type;
  out.name = schema.name ? schema.name : "";
  out.flags = schema.flags & ARROW_FLAG_NULLABLE;
  return true;
}

// ---------------------------------------------------------------------------
// The result: ArrowStringStream exports a stream, its subtype ArrowStringArray
// an array too.  Both share their columns with every export, so exporting
// costs no copy and may be done any number of times.

struct Output {
  Field field;
  Columns columns;
};

struct PyArrowStrings {
  PyObject_HEAD
  Output* output;
};

PyTypeObject* stream_type = nullptr;
PyTypeObject* array_type = nullptr;

const Output& output_of(PyObject* obj) { return *reinterpret_cast<PyArrowStrings*>(obj)->output; }

void ArrowStrings_dealloc(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  delete reinterpret_cast<PyArrowStrings*>(obj)->output;
  type->tp_free(obj);
  Py_DECREF(type);
}

// An exported struct, released (if its consumer has not) and freed when it goes.
template <typename T>
struct ReleaseAndDelete {
  void operator()(T* value) const noexcept {
    if (value->release) value->release(value);
    delete value;
  }
};
template <typename T>
using Exported = std::unique_ptr<T, ReleaseAndDelete<T>>;

template <typename T>
void destroy_capsule(PyObject* capsule) {
  Exported<T>(static_cast<T*>(PyCapsule_GetPointer(capsule, PyCapsule_GetName(capsule))));
}

template <typename T>
PyObject* to_capsule(Exported<T> value, const char* name) {
  PyObject* capsule = PyCapsule_New(value.get(), name, &destroy_capsule<T>);
  if (capsule) (void)value.release();
  return capsule;
}

// requested_schema is accepted as the interface asks, and not followed: the
// interface lets a producer keep its own type, and the result's type is the
// input's.
PyObject* ArrowStrings_arrow_c_stream(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("__arrow_c_stream__", std::array{"requested_schema"}, 0, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  const Output& out = output_of(obj);
  Exported<ArrowArrayStream> stream(new ArrowArrayStream{});
  arrow::export_stream(out.field, out.columns, *stream);
  return to_capsule(std::move(stream), "arrow_array_stream");
}

PyObject* ArrowStrings_arrow_c_array(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("__arrow_c_array__", std::array{"requested_schema"}, 0, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  const Output& out = output_of(obj);
  Exported<ArrowSchema> schema(new ArrowSchema{});
  arrow::export_schema(out.field, *schema);
  Exported<ArrowArray> array(new ArrowArray{});
  arrow::export_array(out.columns.front(), *array);
  Ref schema_capsule(to_capsule(std::move(schema), "arrow_schema"));
  if (!schema_capsule) return nullptr;
  Ref array_capsule(to_capsule(std::move(array), "arrow_array"));
  if (!array_capsule) return nullptr;
  return PyTuple_Pack(2, schema_capsule.get(), array_capsule.get());
}

PyObject* ArrowStrings_repr(PyObject* obj) {
  const Output& out = output_of(obj);
  std::int64_t length = 0;
  for (const auto& column : out.columns) length += column->length();
  if (Py_TYPE(obj) == array_type) {
    return PyUnicode_FromFormat("ArrowStringArray(type=%s, length=%lld)", arrow::name_of(out.field.type),
                                static_cast<long long>(length));
  }
  return PyUnicode_FromFormat("ArrowStringStream(type=%s, length=%lld, chunks=%zu)", arrow::name_of(out.field.type),
                              static_cast<long long>(length), out.columns.size());
}

PyMethodDef stream_methods[] = {
    {"__arrow_c_stream__", method<ArrowStrings_arrow_c_stream>(), METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__($self, requested_schema=None)\n--\n\n"
     "Export the column as an Arrow C stream in a PyCapsule 'arrow_array_stream'."},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef array_methods[] = {
    {"__arrow_c_array__", method<ArrowStrings_arrow_c_array>(), METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_array__($self, requested_schema=None)\n--\n\n"
     "Export the column as an Arrow C array: a pair of PyCapsules 'arrow_schema' and 'arrow_array'."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot stream_slots[] = {
    {Py_tp_doc, const_cast<char*>("Normalized Arrow strings in chunks, as normalize_arrow returns them for a stream.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(ArrowStrings_dealloc)},
    {Py_tp_repr, slot<ArrowStrings_repr>()},
    {Py_tp_methods, stream_methods},
    {0, nullptr},
};

PyType_Slot array_slots[] = {
    {Py_tp_doc, const_cast<char*>("A normalized Arrow string array, as normalize_arrow returns it for an array.")},
    {Py_tp_methods, array_methods},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "zenkor._native.ArrowStringStream",
    sizeof(PyArrowStrings),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    stream_slots,
};

PyType_Spec array_spec = {
    "zenkor._native.ArrowStringArray",
    sizeof(PyArrowStrings),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    array_slots,
};

}  // namespace

PyObject* normalize_arrow(const Normalizer& normalizer, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  if (!bind_arguments("normalize_arrow", std::array{"data", "jobs"}, 1, args, nargs, kwnames, bound)) return nullptr;
  std::size_t jobs = 1;
  if (bound[1] && !jobs_argument(bound[1], "normalize_arrow", jobs)) return nullptr;
  Input input;
  Field field;
  if (!read_input(bound[0], input)) return nullptr;
  // A released struct may point into freed memory.  (StringArray::view
  // checks each array.)
  if (!input.schema->release) return raise_error(arrow::released("ArrowSchema"));
  if (!string_field(*input.schema, field)) return nullptr;
  std::vector<StringArray> arrays;
  for (const ArrowArray* array : input.arrays) {
    auto viewed = StringArray::view(field.type, *array);
    if (!viewed.ok()) return raise_error(viewed.error());
    arrays.push_back(viewed.value());
  }
  std::optional<Result<Columns, ArrowError>> result;  // set without the lock
  run_without_gil([&] { result.emplace(normalize_arrays(normalizer, field.type, arrays, jobs)); });
  if (!result->ok()) return raise_error(result->error());
  PyTypeObject* type = input.is_array ? array_type : stream_type;
  auto output = std::make_unique<Output>(Output{std::move(field), std::move(*result).value()});
  auto* obj = reinterpret_cast<PyArrowStrings*>(type->tp_alloc(type, 0));
  if (!obj) return nullptr;
  obj->output = output.release();
  return reinterpret_cast<PyObject*>(obj);
}

int init_arrow_types() {
  if (!stream_type) {
    stream_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&stream_spec));
    if (!stream_type) return -1;
  }
  if (!array_type) {
    Ref bases(PyTuple_Pack(1, reinterpret_cast<PyObject*>(stream_type)));
    if (!bases) return -1;
    array_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpecWithBases(&array_spec, bases.get()));
    if (!array_type) return -1;
  }
  return 0;
}

}  // namespace zenkor::py
