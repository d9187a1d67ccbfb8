// Python str objects and the text the core reads and writes: the UTF-8 of a
// str, a str's own storage (its code units), and new str objects made from
// either.  Inline, since every normalizing call goes through them.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/code_units.h"

namespace zenkor::py {

inline PyObject* str_from(std::string_view s) {
  return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

// The UTF-8 text of a str, valid while the str lives.  Fails (with the
// interpreter's UnicodeEncodeError) for strings holding lone surrogates.
inline bool utf8_of(PyObject* str, std::string_view& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (!data) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

// The text of a str as it stores it.
inline CodeUnits code_units(PyObject* str) {
  return {PyUnicode_DATA(str), static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)),
          static_cast<unsigned>(PyUnicode_KIND(str))};
}

// A new str of `text`, which from_utf8 made without the interpreter lock:
// with the lock, one allocation and one copy.
inline PyObject* str_from_wide(const WideText& text) {
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.units.length), static_cast<Py_UCS4>(text.max_char));
  if (str != nullptr) std::memcpy(PyUnicode_DATA(str), text.units.data, text.units.length * text.units.width);
  return str;
}

// `text` itself, or for a subclass of str a plain str of its `units`.
inline PyObject* unchanged_str(PyObject* text, const CodeUnits& units) {
  if (PyUnicode_CheckExact(text)) return Py_NewRef(text);
  return PyUnicode_FromKindAndData(static_cast<int>(units.width), units.data, static_cast<Py_ssize_t>(units.length));
}

}  // namespace zenkor::py
