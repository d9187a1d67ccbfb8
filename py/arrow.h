// Normalizer.normalize_arrow: a column of Arrow strings in, one out, with no
// Python object per value.
//
// The column comes through the Arrow PyCapsule interface (__arrow_c_array__
// or __arrow_c_stream__), is read in place and normalized without the
// interpreter lock, and goes back as an object that exports the same
// interface: ArrowStringArray for an array, ArrowStringStream for a stream.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/pipeline.h"

namespace zenkor::py {

// normalize_arrow(data, jobs=1) with `normalizer`, which the caller keeps
// borrowed for the whole call (the work runs without the interpreter lock).
PyObject* normalize_arrow(const Normalizer& normalizer, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Creates the result types, once; -1 with an exception set on failure.
// They are not module attributes: only normalize_arrow makes them.
int init_arrow_types();

}  // namespace zenkor::py
