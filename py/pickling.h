// Saving and restoring a Normalizer: pickle, copy.copy and copy.deepcopy.
//
// A normalizer is saved as its class, its whole option state (the `config`
// dict), its dictionary entries as attached, variants already normalized, and
// their whole-word marks.
// Restoring sets the options with Config::from_entries, which keeps a url_wrap
// pair with protect_urls off (keyword arguments cannot say that), and attaches
// the entries without normalizing them again: not every Config normalizes
// idempotently, and a variant normalized twice could miss the text it matched.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace zenkor::py {

// Normalizer.__reduce__: (restore function, (class, config dict, entries,
// marks)), plus the instance's __dict__ when a subclass gave it attributes.
PyObject* Normalizer_reduce(PyObject* obj, PyObject*);

// _restore_normalizer(cls, config, items[, marks]): the module function
// __reduce__ names.  Without marks (saved by a version that had none) every
// entry matches anywhere.
PyObject* module_restore_normalizer(PyObject*, PyObject* const* args, Py_ssize_t nargs);

}  // namespace zenkor::py
