// How the interpreter calls into the extension module: entry points that
// turn C++ exceptions into Python ones, and argument binding.  The
// TypeErrors for arguments of the wrong type are raised where the argument
// is bound, worded as the interpreter words them.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "py/errors.h"
#include "py/job_threads.h"
#include "py/strings.h"

namespace zenkor::py {

// Every entry point the interpreter calls goes through Guarded: memory
// exhaustion comes back as MemoryError instead of ending the process, since no
// C++ exception may reach the interpreter.  On the way out RAII gives back the
// lock, borrows and references, and no object has been changed yet: each
// entry point replaces state only once everything new is built.
template <auto Function>
struct Guarded;

template <typename... Args, PyObject* (*Function)(Args...)>
struct Guarded<Function> {
  static PyObject* call(Args... args) noexcept {
    try {
      return Function(args...);
    } catch (const std::bad_alloc&) {
      return PyErr_NoMemory();
    } catch (const std::length_error&) {
      return PyErr_NoMemory();
    }
  }
};

// A guarded entry point as the method and slot tables take it.
template <auto Function>
PyCFunction method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&Guarded<Function>::call));
}
template <auto Function>
void* slot() {
  return reinterpret_cast<void*>(&Guarded<Function>::call);
}

// Binds the arguments of a METH_FASTCALL | METH_KEYWORDS function to its
// positional-or-keyword parameters `names`, of which the first `required` must
// be given (the others stay null when absent).  Errors are worded as the
// interpreter words them for extension functions.
template <std::size_t N>
bool bind_arguments(const char* func, const std::array<const char*, N>& names, std::size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, std::array<PyObject*, N>& out) {
  out.fill(nullptr);
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  if (nargs + nkw > static_cast<Py_ssize_t>(N)) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu argument%s (%zd given)", func, N, N == 1 ? "" : "s",
                 nargs + nkw);
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) out[static_cast<std::size_t>(i)] = args[i];
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    std::size_t j = 0;
    while (j < N && PyUnicode_CompareWithASCIIString(name, names[j]) != 0) ++j;
    if (j == N) {
      PyErr_Format(PyExc_TypeError, "'%U' is an invalid keyword argument for %s()", name, func);
      return false;
    }
    if (out[j]) {
      PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position (%zu)", func, names[j],
                   j + 1);
      return false;
    }
    out[j] = args[nargs + k];
  }
  for (std::size_t j = 0; j < required; ++j) {
    if (!out[j]) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", func, names[j], j + 1);
      return false;
    }
  }
  return true;
}

// Reads the bool argument `name` of function `func`; null (not given) reads
// as `absent`.
inline bool bool_argument(PyObject* obj, const char* func, const char* name, bool absent, bool& out) {
  if (obj == nullptr) {
    out = absent;
    return true;
  }
  if (!PyBool_Check(obj)) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be bool, not %.80s", func, name, Py_TYPE(obj)->tp_name);
    return false;
  }
  out = obj == Py_True;
  return true;
}

// Reads the argument 'jobs' of function `func`: any int from 1 up, where
// more than MAX_JOBS counts as that many.
inline bool jobs_argument(PyObject* obj, const char* func, std::size_t& out) {
  if (!PyLong_Check(obj)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'jobs' must be int, not %.80s", func, Py_TYPE(obj)->tp_name);
    return false;
  }
  int overflow = 0;
  const long long jobs = PyLong_AsLongLongAndOverflow(obj, &overflow);
  if (jobs == -1 && PyErr_Occurred()) return false;
  if (overflow < 0 || (overflow == 0 && jobs < 1)) {
    PyErr_Format(PyExc_ValueError, "%s() argument 'jobs' must be at least 1, not %S", func, obj);
    return false;
  }
  out = overflow > 0 ? MAX_JOBS : static_cast<std::size_t>(std::min<long long>(jobs, MAX_JOBS));
  return true;
}

// Checks that argument `name` of function `func` is a str.
inline bool is_str_argument(PyObject* obj, const char* func, const char* name) {
  if (PyUnicode_Check(obj)) return true;
  PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %.80s", func, name, Py_TYPE(obj)->tp_name);
  return false;
}

// Checks that argument `name` of function `func` is a str and reads it.
inline bool str_argument(PyObject* obj, const char* func, const char* name, std::string_view& out) {
  return is_str_argument(obj, func, name) && utf8_of(obj, out);
}

// The UTF-8 text of a str, leaving no UTF-8 form cached on it, unlike
// utf8_of: an ASCII str's own storage, or else a copy in `buffer`, which can
// be given back as soon as the text is read.  Fails as utf8_of does.
inline bool uncached_utf8_of(PyObject* str, std::string& buffer, std::string_view& out) {
  if (PyUnicode_IS_ASCII(str)) return utf8_of(str, out);  // its storage is UTF-8 as it is
  if (!to_utf8(code_units(str), buffer)) {
    raise_encode_error(str);
    return false;
  }
  out = buffer;
  return true;
}

// The same, caching nothing on the str (see uncached_utf8_of).
inline bool str_argument(PyObject* obj, const char* func, const char* name, std::string& buffer,
                         std::string_view& out) {
  return is_str_argument(obj, func, name) && uncached_utf8_of(obj, buffer, out);
}

}  // namespace zenkor::py
