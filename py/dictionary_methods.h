// The custom dictionary methods of Normalizer: with_custom_dict,
// load_custom_dict_json, load_custom_dict_file, load_sudachi_synonyms,
// clear_custom_dict, custom_dict_items and the custom_dict_size property.
//
// Each method that changes the dictionary takes an exclusive borrow for its
// whole run and keeps the interpreter lock; a failure leaves the object as
// it was, since the new normalizer replaces the old one only once it is built.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/pipeline.h"

namespace zenkor::py {

PyObject* Normalizer_with_custom_dict(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_load_custom_dict_json(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames);
PyObject* Normalizer_load_custom_dict_file(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames);
PyObject* Normalizer_load_sudachi_synonyms(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames);
PyObject* Normalizer_clear_custom_dict(PyObject* obj, PyObject*);
PyObject* Normalizer_custom_dict_items(PyObject* obj, PyObject*);
PyObject* Normalizer_get_custom_dict_size(PyObject* obj, void*);

// The attached entries as (variant, canonical) tuples, oldest insert first:
// inserting them in this order rebuilds the same dictionary.
PyObject* custom_dict_items_of(const Normalizer& normalizer);

// The entries' whole-word marks in the same order, as bytes: 1 for a
// whole-word entry, 0 for one that matches anywhere.
PyObject* whole_word_marks_of(const Normalizer& normalizer);

}  // namespace zenkor::py
