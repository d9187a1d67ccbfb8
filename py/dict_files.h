// Dictionary files as the binding takes them: a path argument (str, bytes or
// path-like), the format a file is read in, and its text, which
// dict/text_file reads.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>

#include "dict/text_file.h"

namespace zenkor::py {

// A file given as str, bytes or path-like: its bytes for the system, and its
// text for messages (bytes that are not UTF-8 shown as U+FFFD).
struct FilePath {
  std::string bytes;
  std::string text;
};

bool path_argument(PyObject* obj, FilePath& out);

// The argument `format` of load_custom_dict_file (None: the extension of
// `path`, in any case) as the delimiter of its rows: ',' for csv, a tab for
// tsv and txt, 0 for json.  False with an exception set for another format.
bool format_argument(PyObject* format_obj, const FilePath& path, char32_t& delimiter);

// Reads a whole file as UTF-8 text; false with OSError "cannot read {path}:
// {reason}" set (see raise_error in py/errors.h).
bool read_text_file(const FilePath& path, dict::text_file::Text& out);

}  // namespace zenkor::py
