// Presets as the binding takes them: the `preset` argument of the
// constructor and of the module function normalize, and the static methods
// Normalizer.preset and Normalizer.presets.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "core/config.h"
#include "py/strings.h"

namespace zenkor::py {

// Looks a preset up by name; ValueError for a name that is not one.
bool preset_named(std::string_view name, Preset& out);

// Parses the argument `preset` of `func`: None or absent selects neologdn_compat.
// Inline: the module function normalize parses it on every call.
inline bool parse_preset(PyObject* obj, const char* func, Preset& out) {
  if (obj == nullptr || obj == Py_None) {
    out = Preset::NeologdnCompat;
    return true;
  }
  if (!PyUnicode_Check(obj)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'preset' must be str or None, not %.80s", func, Py_TYPE(obj)->tp_name);
    return false;
  }
  std::string_view name;
  return utf8_of(obj, name) && preset_named(name, out);
}

// Normalizer.preset(name) and Normalizer.presets().
PyObject* Normalizer_preset(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* Normalizer_presets(PyObject*, PyObject*);

}  // namespace zenkor::py
