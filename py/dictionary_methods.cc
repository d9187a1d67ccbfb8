// The custom dictionary methods: reading entries from a mapping, a JSON
// string or a file, and replacing the object's normalizer with one that
// holds them.

#include "py/dictionary_methods.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "dict/sudachi.h"
#include "dict/text_file.h"
#include "py/borrow.h"
#include "py/calls.h"
#include "py/dict_files.h"
#include "py/errors.h"
#include "py/normalizer_object.h"
#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

using l3_lexical::synonym::SynonymDict;
using l3_lexical::synonym::SynonymDictError;

// Replaces the object's normalizer with one holding the current dictionary
// extended by `added`, whose variants are pre-normalized and marked
// whole-word or not.  Returns self.  `added` is only read from here on, so
// its index goes before its normalized copy is built beside it, and it is
// given back before the guards are.
PyObject* merge_synonyms(PyObject* obj, SynonymDict added, bool whole_words) {
  added.drop_index();
  added.mark_whole_words(whole_words);
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  self->inner = std::make_unique<Normalizer>(self->inner->with_synonyms(std::move(added)));
  return Py_NewRef(obj);
}

// Adds the entries of one item of a with_custom_dict mapping, the canonical
// form `key` with the iterable of variants `value`, to `added`.  False with
// an exception set.
bool add_item(PyObject* key, PyObject* value, SynonymDict& added) {
  std::string_view canonical;
  if (!PyUnicode_Check(key)) {
    PyErr_SetString(PyExc_TypeError, "custom dict keys must be str");
    return false;
  }
  if (!utf8_of(key, canonical)) return false;
  const auto bad_value = [&](const char* must_be) {
    PyErr_SetString(PyExc_TypeError,
                    ("custom dict value for " + zenkor::quoted(canonical) + " must be " + must_be).c_str());
    return false;
  };
  if (PyUnicode_Check(value)) return bad_value("a list of str, not str");
  Ref iterator(PyObject_GetIter(value));
  if (!iterator) {
    PyErr_Clear();
    return bad_value("an iterable of str");
  }
  while (Ref element{PyIter_Next(iterator.get())}) {
    std::string_view variant;
    if (!PyUnicode_Check(element.get())) {
      PyErr_SetString(PyExc_TypeError, "custom dict variants must be str");
      return false;
    }
    if (!utf8_of(element.get(), variant)) return false;
    if (variant != canonical) added.insert(std::string(variant), std::string(canonical));
  }
  return !PyErr_Occurred();
}

}  // namespace

PyObject* Normalizer_with_custom_dict(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  bool whole_words = false;
  if (!bind_arguments("with_custom_dict", std::array{"mapping", "whole_words"}, 1, args, nargs, kwnames, bound) ||
      !bool_argument(bound[1], "with_custom_dict", "whole_words", false, whole_words))
    return nullptr;
  PyObject* mapping = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  if (!PyDict_Check(mapping)) {
    PyErr_Format(PyExc_TypeError, "argument 'mapping': '%.80s' object is not an instance of 'dict'",
                 Py_TYPE(mapping)->tp_name);
    return nullptr;
  }
  // A snapshot of the items: Python code run by a value's iterator may change
  // the mapping, and that does not change what this call reads.
  Ref items(PyDict_Items(mapping));
  if (!items) return nullptr;
  SynonymDict added;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* item = PyList_GET_ITEM(items.get(), i);
    if (!add_item(PyTuple_GET_ITEM(item, 0), PyTuple_GET_ITEM(item, 1), added)) return nullptr;
  }
  return merge_synonyms(obj, std::move(added), whole_words);
}

PyObject* Normalizer_load_custom_dict_json(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  bool whole_words = false;
  if (!bind_arguments("load_custom_dict_json", std::array{"json", "whole_words"}, 1, args, nargs, kwnames, bound) ||
      !bool_argument(bound[1], "load_custom_dict_json", "whole_words", false, whole_words))
    return nullptr;
  PyObject* json_obj = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  // A UTF-8 copy of a large document is given back once read, not held
  // while its entries are normalized, nor left cached on the str.
  std::string buffer;
  std::string_view json;
  if (!str_argument(json_obj, "load_custom_dict_json", "json", buffer, json)) return nullptr;
  auto loaded = SynonymDict::from_json_grouped(json);
  std::string().swap(buffer);
  if (!loaded.ok()) return raise_error(loaded.error(), "json");
  return merge_synonyms(obj, std::move(loaded).value(), whole_words);
}

PyObject* Normalizer_load_custom_dict_file(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 3> bound;
  bool whole_words = false;
  if (!bind_arguments("load_custom_dict_file", std::array{"path", "format", "whole_words"}, 1, args, nargs, kwnames,
                      bound) ||
      !bool_argument(bound[2], "load_custom_dict_file", "whole_words", false, whole_words))
    return nullptr;
  PyObject* path_obj = bound[0];
  PyObject* format_obj = bound[1] ? bound[1] : Py_None;
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  FilePath path;
  char32_t delimiter = 0;
  if (!path_argument(path_obj, path) || !format_argument(format_obj, path, delimiter)) return nullptr;
  dict::text_file::Text text;
  if (!read_text_file(path, text)) return nullptr;
  auto loaded = delimiter == 0 ? SynonymDict::from_json_grouped(text.view())
                               : SynonymDict::from_delimited(text.view(), delimiter);
  if (!loaded.ok()) return raise_error(loaded.error(), path.text);
  return merge_synonyms(obj, std::move(loaded).value(), whole_words);
}

PyObject* Normalizer_load_sudachi_synonyms(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  bool whole_words = true;
  if (!bind_arguments("load_sudachi_synonyms", std::array{"path", "whole_words"}, 1, args, nargs, kwnames, bound) ||
      !bool_argument(bound[1], "load_sudachi_synonyms", "whole_words", true, whole_words))
    return nullptr;
  PyObject* path_obj = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  FilePath path;
  dict::text_file::Text text;
  if (!path_argument(path_obj, path) || !read_text_file(path, text)) return nullptr;
  auto loaded = dict::sudachi::load_sudachi_synonyms(text.view());
  if (!loaded.ok()) return raise_error(loaded.error(), path.text);
  return merge_synonyms(obj, std::move(loaded).value(), whole_words);
}

PyObject* Normalizer_clear_custom_dict(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  ExclusiveBorrow borrow(self);
  if (!borrow) return nullptr;
  self->inner = std::make_unique<Normalizer>(self->inner->config());
  return Py_NewRef(obj);
}

PyObject* custom_dict_items_of(const Normalizer& normalizer) {
  const SynonymDict* dict = normalizer.synonyms();
  const auto order = dict ? dict->insert_order() : std::vector<std::size_t>();
  Ref list(PyList_New(static_cast<Py_ssize_t>(order.size())));
  if (!list) return nullptr;
  Py_ssize_t i = 0;
  for (const std::size_t at : order) {
    const auto& entry = dict->entries()[at];
    Ref variant(str_from(entry.variant));
    Ref canonical(str_from(entry.canonical));
    if (!variant || !canonical) return nullptr;
    PyObject* pair = PyTuple_Pack(2, variant.get(), canonical.get());
    if (!pair) return nullptr;
    PyList_SET_ITEM(list.get(), i++, pair);
  }
  return list.release();
}

PyObject* whole_word_marks_of(const Normalizer& normalizer) {
  const SynonymDict* dict = normalizer.synonyms();
  std::string marks;
  if (dict != nullptr) {
    for (const std::size_t at : dict->insert_order()) marks += dict->entries()[at].whole_word ? '\1' : '\0';
  }
  return PyBytes_FromStringAndSize(marks.data(), static_cast<Py_ssize_t>(marks.size()));
}

PyObject* Normalizer_custom_dict_items(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return custom_dict_items_of(*self->inner);
}

PyObject* Normalizer_get_custom_dict_size(PyObject* obj, void*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  const SynonymDict* dict = self->inner->synonyms();
  return PyLong_FromSize_t(dict ? dict->size() : 0);
}

}  // namespace zenkor::py
