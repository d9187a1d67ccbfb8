// The text-normalizing calls: Normalizer.normalize, normalize_batch,
// normalize_arrow and the module function normalize.
//
// Every one copies its input out of Python objects (or reads a str's own
// storage, kept alive by a reference), releases the interpreter lock for the
// C++ work when the text is long enough to repay it, and builds Python
// objects only once it has the lock again.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>

namespace zenkor::py {

// Texts (and batches) of fewer characters than this are normalized with the
// interpreter lock held.  Giving it up and taking it back costs about 45 ns
// with no other thread waiting (8% of the 560 ns a for_search tweet takes,
// against 2% of a Wikipedia paragraph's 3 us), and far more when another
// thread waits for the lock and takes it in between: a short text gains
// nothing from the release that its cost would not eat.
constexpr std::size_t UNLOCKED_FROM_CHARS = 128;

// normalize_batch gives up the lock for chunks of about this many
// characters: long enough that taking it back is a small part of a chunk's
// time (about 0.5 ms of tweets), short enough that two threads' chunks
// interleave.
constexpr std::size_t BATCH_CHUNK_CHARS = std::size_t{1} << 16;

PyObject* Normalizer_normalize(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_normalize_batch(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_normalize_arrow(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* module_normalize(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace zenkor::py
