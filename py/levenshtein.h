// The module function levenshtein(a, b): the edit distance of two str in
// characters, read from each str's own storage.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace zenkor::py {

PyObject* module_levenshtein(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace zenkor::py
