// Path arguments, format names and the reading of dictionary files.

#include "py/dict_files.h"

#include <string_view>
#include <utility>
#include <variant>

#include "core/config.h"
#include "core/text/utf8.h"
#include "py/errors.h"
#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

// The extension of the final path component, or "" when it has none: the
// component "..", a name whose only "." is its first character, and an
// extension that is not UTF-8 have none.
std::string_view extension_of(std::string_view path) {
  // Trailing separators and "." components do not name the file.
  while (path.size() > 1 && (path.back() == '/' || path.ends_with("/."))) {
    path.remove_suffix(path.back() == '/' ? 1 : 2);
  }
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name == "..") return {};
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  const std::string_view extension = name.substr(dot + 1);
  return zenkor::text::utf8::is_valid(extension) ? extension : std::string_view();
}

}  // namespace

bool path_argument(PyObject* obj, FilePath& out) {
  Ref fs_path(PyOS_FSPath(obj));
  if (!fs_path) return false;
  Ref encoded(PyUnicode_Check(fs_path.get()) ? PyUnicode_EncodeFSDefault(fs_path.get()) : Py_NewRef(fs_path.get()));
  if (!encoded) return false;
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(encoded.get(), &data, &size) < 0) return false;
  out.bytes.assign(data, static_cast<std::size_t>(size));
  out.text = zenkor::text::utf8::to_valid_lossy(out.bytes);
  return true;
}

bool format_argument(PyObject* format_obj, const FilePath& path, char32_t& delimiter) {
  std::string format;
  if (format_obj == Py_None) {
    format = extension_of(path.bytes);
  } else {
    if (!PyUnicode_Check(format_obj)) {
      PyErr_Format(PyExc_TypeError, "load_custom_dict_file() argument 'format' must be str or None, not %.80s",
                   Py_TYPE(format_obj)->tp_name);
      return false;
    }
    std::string_view given;
    if (!utf8_of(format_obj, given)) return false;
    format = given;
  }
  for (char& c : format) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  delimiter = 0;  // none: JSON
  if (format == "csv") {
    delimiter = ',';
  } else if (format == "tsv" || format == "txt") {
    delimiter = '\t';
  } else if (format != "json") {
    PyErr_SetString(PyExc_ValueError,
                    ("unknown custom dict format " + zenkor::quoted(format) + " (expected json, csv, tsv)").c_str());
    return false;
  }
  return true;
}

bool read_text_file(const FilePath& path, dict::text_file::Text& out) {
  auto read = dict::text_file::read(path.bytes);
  if (read.ok()) {
    out = std::move(read).value();
    return true;
  }
  raise_error(read.error(), path.text);
  return false;
}

}  // namespace zenkor::py
