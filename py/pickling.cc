// __reduce__ and the function that restores what it saved.

#include "py/pickling.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "core/pipeline.h"
#include "py/borrow.h"
#include "py/config_values.h"
#include "py/dictionary_methods.h"
#include "py/errors.h"
#include "py/normalizer_object.h"
#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

using l3_lexical::synonym::SynonymDict;

// The entries saved by custom_dict_items_of, in their order, with the marks
// saved by whole_word_marks_of (null: none saved).
bool entries_argument(PyObject* items, PyObject* marks, SynonymDict& out) {
  std::string_view mark_bytes;
  if (marks != nullptr) {
    if (!PyBytes_Check(marks)) {
      PyErr_Format(PyExc_TypeError, "_restore_normalizer() argument 'marks' must be bytes, not %.80s",
                   Py_TYPE(marks)->tp_name);
      return false;
    }
    mark_bytes = std::string_view(PyBytes_AS_STRING(marks), static_cast<std::size_t>(PyBytes_GET_SIZE(marks)));
  }
  Ref iterator(PyObject_GetIter(items));
  if (!iterator) return false;
  std::size_t index = 0;
  while (Ref item{PyIter_Next(iterator.get())}) {
    std::string_view variant, canonical;
    if (!PyTuple_Check(item.get()) || PyTuple_GET_SIZE(item.get()) != 2 ||
        !PyUnicode_Check(PyTuple_GET_ITEM(item.get(), 0)) || !PyUnicode_Check(PyTuple_GET_ITEM(item.get(), 1))) {
      PyErr_SetString(PyExc_TypeError, "custom dict entries must be (variant, canonical) pairs of str");
      return false;
    }
    if (!utf8_of(PyTuple_GET_ITEM(item.get(), 0), variant) || !utf8_of(PyTuple_GET_ITEM(item.get(), 1), canonical))
      return false;
    if (marks != nullptr && index >= mark_bytes.size()) break;
    out.insert(std::string(variant), std::string(canonical), marks != nullptr && mark_bytes[index] != 0);
    ++index;
  }
  if (PyErr_Occurred()) return false;
  if (marks != nullptr && index != mark_bytes.size()) {
    PyErr_SetString(PyExc_ValueError, "_restore_normalizer() argument 'marks' must have one byte per entry");
    return false;
  }
  return true;
}

}  // namespace

PyObject* Normalizer_reduce(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  Ref module(PyImport_ImportModule("zenkor._native"));
  Ref restore(module ? PyObject_GetAttrString(module.get(), "_restore_normalizer") : nullptr);
  Ref config(config_to_dict(self->inner->config()));
  Ref items(custom_dict_items_of(*self->inner));
  Ref marks(whole_word_marks_of(*self->inner));
  if (!restore || !config || !items || !marks) return nullptr;
  Ref args(PyTuple_Pack(4, reinterpret_cast<PyObject*>(Py_TYPE(obj)), config.get(), items.get(), marks.get()));
  if (!args) return nullptr;
  Ref state(PyObject_GetAttrString(obj, "__dict__"));
  if (!state) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return nullptr;
    PyErr_Clear();
  }
  if (state && PyDict_Check(state.get()) && PyDict_GET_SIZE(state.get()) > 0) {
    return PyTuple_Pack(3, restore.get(), args.get(), state.get());
  }
  return PyTuple_Pack(2, restore.get(), args.get());
}

PyObject* module_restore_normalizer(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 3 && nargs != 4) {
    PyErr_Format(PyExc_TypeError, "_restore_normalizer() takes 3 or 4 arguments (%zd given)", nargs);
    return nullptr;
  }
  PyObject* cls = args[0];
  if (!PyType_Check(cls) || !PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(cls), normalizer_type)) {
    PyErr_SetString(PyExc_TypeError, "_restore_normalizer() argument 'cls' must be a Normalizer class");
    return nullptr;
  }
  if (!PyDict_Check(args[1])) {
    PyErr_Format(PyExc_TypeError, "_restore_normalizer() argument 'config' must be dict, not %.80s",
                 Py_TYPE(args[1])->tp_name);
    return nullptr;
  }
  // A snapshot of the items: without the GIL another thread may change the
  // dict while it is read, and walking it in place would then be unsafe.
  Ref items(PyDict_Items(args[1]));
  if (!items) return nullptr;
  std::vector<std::pair<std::string, ConfigValue>> entries;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* key_obj = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 0);
    PyObject* value_obj = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 1);
    std::string_view key;
    if (!PyUnicode_Check(key_obj)) {
      PyErr_SetString(PyExc_TypeError, "keywords must be strings");
      return nullptr;
    }
    ConfigValue value;
    if (!utf8_of(key_obj, key) || !to_config_value(key, value_obj, value)) return nullptr;
    entries.emplace_back(key, std::move(value));
  }
  auto config = Config::from_entries(std::move(entries));
  if (!config.ok()) return raise_error(config.error());
  SynonymDict dict;
  if (!entries_argument(args[2], nargs == 4 ? args[3] : nullptr, dict)) return nullptr;
  auto normalizer = dict.empty() ? std::make_unique<Normalizer>(std::move(config).value())
                                 : std::make_unique<Normalizer>(std::move(config).value(), std::move(dict));
  return wrap(reinterpret_cast<PyTypeObject*>(cls), std::move(normalizer));
}

}  // namespace zenkor::py
