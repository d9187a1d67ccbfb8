// explain and normalize_with_offsets: the argument both read, and the calls.

#include "py/traced_calls.h"

#include <array>
#include <cstddef>
#include <numeric>
#include <string>
#include <vector>

#include "core/code_units.h"
#include "core/pipeline.h"
#include "py/borrow.h"
#include "py/calls.h"
#include "py/errors.h"
#include "py/lock_policy.h"
#include "py/normalizer_object.h"
#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

// Reads the argument `text` of `func` for a traced call on `self`, which the
// caller holds a shared borrow of: checks `text` is a str, and tells whether
// any step could change it (`changes`); when one could, writes its UTF-8
// into `utf8`.  False with an exception set.
bool traced_argument(PyNormalizer* self, PyObject* text, const char* func, std::string& utf8, bool& changes) {
  if (!PyUnicode_Check(text)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'text' must be str, not %.80s", func, Py_TYPE(text)->tp_name);
    return false;
  }
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return false;
#endif
  const zenkor::CodeUnits units = code_units(text);
  changes = self->inner->scan(units).any();
  if (changes && !zenkor::to_utf8(units, utf8)) {
    raise_encode_error(text);
    return false;
  }
  return true;
}

// Runs `work` over a text of `length` characters, without the interpreter
// lock when that repays it (see LockPolicy).
template <typename Work>
void run_traced(Py_ssize_t length, Work&& work) {
  LockPolicy& policy = thread_lock_policy();
  if (policy.releases(static_cast<std::size_t>(length))) {
    run_without_gil([&] { policy.run(work); });
  } else {
    policy.run(work);
  }
}

}  // namespace

PyObject* Normalizer_explain(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("explain", std::array{"text"}, 1, args, nargs, kwnames, bound)) return nullptr;
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  std::string input;
  bool changes = false;
  if (!traced_argument(self, bound[0], "explain", input, changes)) return nullptr;
  std::vector<zenkor::ExplainedStep> steps;
  if (changes) run_traced(PyUnicode_GET_LENGTH(bound[0]), [&] { steps = self->inner->explain(input); });
  Ref list(PyList_New(static_cast<Py_ssize_t>(steps.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    Ref record(PyStructSequence_New(explain_step_type));
    Ref option(str_from(steps[i].option));
    Ref after(str_from(steps[i].text));
    if (!record || !option || !after) return nullptr;
    PyStructSequence_SetItem(record.get(), 0, option.release());
    PyStructSequence_SetItem(record.get(), 1, after.release());
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), record.release());
  }
  return list.release();
}

PyObject* Normalizer_normalize_with_offsets(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("normalize_with_offsets", std::array{"text"}, 1, args, nargs, kwnames, bound)) return nullptr;
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  PyObject* text = bound[0];
  std::string input;
  bool changes = false;
  if (!traced_argument(self, text, "normalize_with_offsets", input, changes)) return nullptr;
  zenkor::TextWithOffsets traced;
  if (changes) {
    run_traced(PyUnicode_GET_LENGTH(text), [&] { traced = self->inner->normalize_with_offsets(input); });
  } else {
    // Unchanged: every character maps to itself.
    traced.offsets.resize(static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)) + 1);
    std::iota(traced.offsets.begin(), traced.offsets.end(), std::size_t{0});
  }
  // An unchanged text comes back as it is (as a str, were it of a subclass).
  Ref result(changes ? str_from(traced.text) : PyUnicode_FromObject(text));
  Ref offsets(PyList_New(static_cast<Py_ssize_t>(traced.offsets.size())));
  if (!result || !offsets) return nullptr;
  for (std::size_t i = 0; i < traced.offsets.size(); ++i) {
    PyObject* index = PyLong_FromSize_t(traced.offsets[i]);
    if (!index) return nullptr;
    PyList_SET_ITEM(offsets.get(), static_cast<Py_ssize_t>(i), index);
  }
  return PyTuple_Pack(2, result.get(), offsets.get());
}

}  // namespace zenkor::py
