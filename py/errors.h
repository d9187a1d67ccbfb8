// The Python exception for each error value of the core, the dictionary
// loaders and the Arrow reader, raised in this one place.
//
// Which exception type an error kind becomes, and the words put before its
// display text, are written in errors.cc and nowhere else.  Each function
// sets the exception and returns null, so that an entry point can end with
// `return raise_error(...)`.  Errors the binding finds in its own arguments
// (a wrong type, an unknown format name) are raised where the argument is
// read, worded as the interpreter words its own; a borrow conflict is
// raised by the borrow (py/borrow.h).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "dict/sudachi.h"
#include "dict/text_file.h"
#include "py/arrow_column.h"

namespace zenkor::py {

// TypeError for an unknown option (with a "did you mean" note when a name
// is close) or an option of the wrong type; ValueError for a bad value.
PyObject* raise_error(const ConfigError& error);

// ValueError: the name is no preset's.
PyObject* raise_error(const ParsePresetError& error);

// ValueError "invalid custom dict {source}: ...", where `source` is "json"
// for a string and the path for a file.
PyObject* raise_error(const l3_lexical::synonym::SynonymDictError& error, std::string_view source);

// ValueError "invalid sudachi synonyms {path}: ...".
PyObject* raise_error(const dict::sudachi::SudachiParseError& error, std::string_view path);

// OSError "cannot read {path}: {reason}"; for a failure the system reports,
// the subclass the interpreter picks for its errno, with `errno` set.
PyObject* raise_error(const dict::text_file::ReadError& error, std::string_view path);

// ValueError for a malformed input array, OverflowError for a result that
// does not fit its type.
PyObject* raise_error(const arrow::ArrowError& error);

// The interpreter's own UnicodeEncodeError for a str holding a lone
// surrogate, which the core's UTF-8 conversion refused.
PyObject* raise_encode_error(PyObject* str);

}  // namespace zenkor::py
