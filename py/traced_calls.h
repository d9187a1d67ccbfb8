// What normalizing did: Normalizer.explain (the text after each step that
// changed it) and Normalizer.normalize_with_offsets (where each output
// character came from).  Both run the steps one at a time, recording their
// edits (Normalizer::trace).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace zenkor::py {

// The class of the records explain returns, named tuples (option, text);
// created by the module's execution step.
extern PyTypeObject* explain_step_type;

PyObject* Normalizer_explain(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_normalize_with_offsets(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames);

}  // namespace zenkor::py
