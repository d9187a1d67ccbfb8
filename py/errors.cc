// Every error value that reaches Python becomes its exception here.

#include "py/errors.h"

#include <optional>
#include <string>

#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

// Sets an exception of `type` whose message is all of `message`.  Returns null.
PyObject* raise(PyObject* type, const std::string& message) {
  if (Ref text{str_from(message)}) PyErr_SetObject(type, text.get());
  return nullptr;
}

// The option name most like `key`, by difflib's measure (the one the
// interpreter's own suggestions resemble), when one is close enough to be
// what was meant; nothing otherwise.  Never leaves an exception set: the
// suggestion is a courtesy, and failing to make one is not an error.
std::optional<std::string> close_key(std::string_view key) {
  Ref difflib(PyImport_ImportModule("difflib"));
  Ref word(str_from(key));
  Ref keys(PyList_New(0));
  bool ok = difflib && word && keys;
  for (const std::string_view name : KEYS) {
    if (!ok) break;
    Ref item(str_from(name));
    ok = item && PyList_Append(keys.get(), item.get()) == 0;
  }
  Ref matches(ok ? PyObject_CallMethod(difflib.get(), "get_close_matches", "OOi", word.get(), keys.get(), 1) : nullptr);
  std::string_view match;
  if (!matches || !PyList_Check(matches.get()) || PyList_GET_SIZE(matches.get()) != 1 ||
      !utf8_of(PyList_GET_ITEM(matches.get(), 0), match)) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::string(match);
}

// Attaches `note` to `error` as add_note does; before Python 3.11, which has
// no add_note, as the __notes__ list that add_note would make.
void add_note(PyObject* error, const std::string& note) {
  Ref text(str_from(note));
  if (!text) return PyErr_Clear();
  if (Ref done{PyObject_CallMethod(error, "add_note", "O", text.get())}) return;
  PyErr_Clear();
  Ref notes(PyList_New(1));
  if (!notes) return PyErr_Clear();
  PyList_SET_ITEM(notes.get(), 0, text.release());
  if (PyObject_SetAttrString(error, "__notes__", notes.get()) < 0) PyErr_Clear();
}

// TypeError for an option name that is not one, with a "did you mean" note
// when a name is close to it.
PyObject* raise_unknown_option(std::string_view key) {
  Ref message(str_from("unknown option " + quoted(key) + "; see Normalizer.config for valid keys"));
  Ref error(message ? PyObject_CallOneArg(PyExc_TypeError, message.get()) : nullptr);
  if (!error) return nullptr;
  if (auto name = close_key(key)) add_note(error.get(), "did you mean " + quoted(*name) + "?");
  PyErr_SetObject(PyExc_TypeError, error.get());
  return nullptr;
}

// The subclass of OSError the interpreter raises for `errno_value` (a
// builtin type, which lives as long as the interpreter), or null with an
// exception set.  OSError(errno, strerror) comes out as that subclass.
PyObject* os_error_type(int errno_value) {
  Ref sample(PyObject_CallFunction(PyExc_OSError, "is", errno_value, ""));
  return sample ? reinterpret_cast<PyObject*>(Py_TYPE(sample.get())) : nullptr;
}

}  // namespace

PyObject* raise_error(const ConfigError& error) {
  switch (error.kind) {
    case ConfigError::Kind::UnknownKey:
      return raise_unknown_option(error.key);
    case ConfigError::Kind::TypeMismatch:
      return raise(PyExc_TypeError, error.display());
    case ConfigError::Kind::Invalid:
      break;
  }
  return raise(PyExc_ValueError, error.display());
}

PyObject* raise_error(const ParsePresetError& error) { return raise(PyExc_ValueError, error.display()); }

PyObject* raise_error(const l3_lexical::synonym::SynonymDictError& error, std::string_view source) {
  return raise(PyExc_ValueError, "invalid custom dict " + std::string(source) + ": " + error.display());
}

PyObject* raise_error(const dict::sudachi::SudachiParseError& error, std::string_view path) {
  return raise(PyExc_ValueError, "invalid sudachi synonyms " + std::string(path) + ": " + error.display());
}

// `filename` stays unset: with it, OSError's str() would print "[Errno N]
// ..." in place of the message.
PyObject* raise_error(const dict::text_file::ReadError& error, std::string_view path) {
  const bool from_system = error.kind == dict::text_file::ReadError::Kind::Os;
  PyObject* type = from_system ? os_error_type(error.os_code) : PyExc_OSError;
  if (!type) return nullptr;
  Ref message(str_from("cannot read " + std::string(path) + ": " + error.display()));
  if (!message) return nullptr;
  Ref exception(PyObject_CallOneArg(type, message.get()));
  if (!exception) return nullptr;
  if (from_system) {
    Ref code(PyLong_FromLong(error.os_code));
    if (!code || PyObject_SetAttrString(exception.get(), "errno", code.get()) < 0) return nullptr;
  }
  PyErr_SetObject(type, exception.get());
  return nullptr;
}

PyObject* raise_error(const arrow::ArrowError& error) {
  switch (error.kind) {
    case arrow::ArrowError::Kind::Malformed:
      return raise(PyExc_ValueError, "normalize_arrow() got a malformed Arrow array: " + error.message);
    case arrow::ArrowError::Kind::Released:
      return raise(PyExc_ValueError, "normalize_arrow() argument 'data': " + error.message);
    case arrow::ArrowError::Kind::TooLarge:
      break;
  }
  return raise(PyExc_OverflowError, "normalize_arrow() result does not fit its type: " + error.message +
                                        "; cast the column to large_string first");
}

PyObject* raise_encode_error(PyObject* str) {
  // Asking for the UTF-8 form fails with the interpreter's error and caches nothing.
  Py_ssize_t size = 0;
  if (PyUnicode_AsUTF8AndSize(str, &size) != nullptr) {
    PyErr_SetString(PyExc_SystemError, "a text without surrogates failed to convert");
  }
  return nullptr;
}

}  // namespace zenkor::py
