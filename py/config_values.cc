// Conversions between Python values and ConfigValue.

#include "py/config_values.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

bool is_numpy_bool(PyObject* obj) {
  const std::string_view type_name = Py_TYPE(obj)->tp_name;
  return type_name == "numpy.bool" || type_name == "numpy.bool_";
}

}  // namespace

// Converts an option value, trying None, bool, int, str and a pair of str in
// that order.  Returns false with an exception set.
bool to_config_value(std::string_view key, PyObject* value, ConfigValue& out) {
  if (value == Py_None) {
    out = zenkor::NoneValue{};
    return true;
  }
  if (PyBool_Check(value) || is_numpy_bool(value)) {
    const int truth = PyObject_IsTrue(value);
    if (truth < 0) return false;
    out = truth == 1;
    return true;
  }
  if (PyIndex_Check(value)) {
    // An int, or an integer of another kind (NumPy's among them) through
    // __index__; one whose __index__ fails is an unsupported value.
    Ref number(PyNumber_Index(value));
    if (number) {
      const unsigned long long n = PyLong_AsUnsignedLongLong(number.get());
      if (!(n == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
        out = static_cast<std::uint64_t>(n);
        return true;
      }
      PyErr_Clear();
      int overflow = 0;
      const long long signed_value = PyLong_AsLongLongAndOverflow(number.get(), &overflow);
      if (overflow == 0 && signed_value < 0) {
        PyErr_SetString(PyExc_TypeError, ("option " + zenkor::quoted(key) + " must be a non-negative int").c_str());
        return false;
      }
    }
    PyErr_Clear();  // out of both 64-bit ranges: an unsupported value
  } else if (PyUnicode_Check(value)) {
    std::string_view s;
    if (!utf8_of(value, s)) return false;
    out = std::string(s);
    return true;
  } else if (PyTuple_Check(value) && PyTuple_GET_SIZE(value) == 2 && PyUnicode_Check(PyTuple_GET_ITEM(value, 0)) &&
             PyUnicode_Check(PyTuple_GET_ITEM(value, 1))) {
    std::string_view prefix, suffix;
    if (!utf8_of(PyTuple_GET_ITEM(value, 0), prefix) || !utf8_of(PyTuple_GET_ITEM(value, 1), suffix)) return false;
    out = std::pair<std::string, std::string>(prefix, suffix);
    return true;
  }
  // The type's __name__, without the module prefix tp_name may carry.
  Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__name__"));
  std::string_view type_name = Py_TYPE(value)->tp_name;
  if (!name || !PyUnicode_Check(name.get()) || !utf8_of(name.get(), type_name)) PyErr_Clear();
  PyErr_SetString(PyExc_TypeError,
                  ("option " + zenkor::quoted(key) + " has unsupported type " + std::string(type_name)).c_str());
  return false;
}

PyObject* from_config_value(const ConfigValue& value) {
  return std::visit(
      [](const auto& v) -> PyObject* {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return PyBool_FromLong(v);
        } else if constexpr (std::is_same_v<T, std::uint64_t>) {
          return PyLong_FromUnsignedLongLong(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return str_from(v);
        } else if constexpr (std::is_same_v<T, std::pair<std::string, std::string>>) {
          Ref first(str_from(v.first));
          Ref second(str_from(v.second));
          if (!first || !second) return nullptr;
          return PyTuple_Pack(2, first.get(), second.get());
        } else {
          Py_RETURN_NONE;
        }
      },
      value);
}

// The configuration as a dict in option order: the `config` property.
PyObject* config_to_dict(const Config& config) {
  Ref dict(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [key, value] : config.entries()) {
    Ref item(from_config_value(value));
    if (!item) return nullptr;
    Ref name(str_from(key));
    if (!name || PyDict_SetItem(dict.get(), name.get(), item.get()) < 0) return nullptr;
  }
  return dict.release();
}

}  // namespace zenkor::py
