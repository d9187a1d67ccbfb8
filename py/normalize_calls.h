// The text-normalizing calls: Normalizer.normalize, normalize_batch,
// normalize_arrow and the module function normalize.
//
// Every one copies its input out of Python objects (or reads a str's own
// storage, kept alive by a reference), releases the interpreter lock for the
// C++ work when that repays it, and builds Python objects only once it has
// the lock again.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>

namespace zenkor::py {

// Batches of fewer characters than this are normalized with the interpreter
// lock held: giving it up and taking it back costs about 45 ns with no other
// thread waiting, and far more when another thread waits for the lock and
// takes it in between.  (A call on one text decides as LockPolicy says.)
constexpr std::size_t UNLOCKED_BATCH_FROM_CHARS = 128;

PyObject* Normalizer_normalize(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_normalize_batch(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_normalize_arrow(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* module_normalize(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace zenkor::py
