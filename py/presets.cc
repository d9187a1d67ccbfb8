// Looking presets up by name, and the static methods that name them.

#include "py/presets.h"

#include <array>
#include <memory>
#include <variant>

#include "py/calls.h"
#include "py/errors.h"
#include "py/normalizer_object.h"
#include "py/references.h"

namespace zenkor::py {

bool preset_named(std::string_view name, Preset& out) {
  const auto parsed = preset_from_str(name);
  if (!parsed.ok()) {
    raise_error(parsed.error());
    return false;
  }
  out = parsed.value();
  return true;
}

PyObject* Normalizer_preset(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("preset", std::array{"name"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* name_obj = bound[0];
  std::string_view name;
  Preset preset;
  if (!str_argument(name_obj, "preset", "name", name) || !preset_named(name, preset)) return nullptr;
  return wrap(normalizer_type, std::make_unique<Normalizer>(Config::from_preset(preset)));
}

PyObject* Normalizer_presets(PyObject*, PyObject*) {
  Ref list(PyList_New(static_cast<Py_ssize_t>(ALL_PRESETS.size())));
  if (!list) return nullptr;
  Py_ssize_t i = 0;
  for (const Preset p : ALL_PRESETS) {
    PyObject* name = str_from(preset_name(p));
    if (!name) return nullptr;
    PyList_SET_ITEM(list.get(), i++, name);
  }
  return list.release();
}

}  // namespace zenkor::py
