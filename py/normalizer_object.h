// The Python Normalizer object: its layout, its class object and how one is
// made.  The type itself (slots, methods, PyType_Spec) is defined in lib.cc.
//
// The object owns its C++ Normalizer through a unique_ptr, beside the atomic
// borrow flag that guards it (py/borrow.h).  tp_alloc only zero-fills the
// object's memory; wrap() constructs both members in it at once, and every
// way of making an object (the constructor, Normalizer.preset, unpickling)
// goes through wrap, so a live object always holds a normalizer.  The type's
// tp_dealloc destroys the members again.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/pipeline.h"

namespace zenkor::py {

struct PyNormalizer {
  PyObject_HEAD
  std::atomic<std::intptr_t> borrow;
  std::unique_ptr<Normalizer> inner;
};

// The class object, created by the module's execution step.
extern PyTypeObject* normalizer_type;

// A new object of `type` (Normalizer or a subclass) owning `normalizer`;
// null with an exception set.
PyObject* wrap(PyTypeObject* type, std::unique_ptr<Normalizer> normalizer);

}  // namespace zenkor::py
