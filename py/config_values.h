// Option values between Python and the core: a Python value as a
// ConfigValue, and a ConfigValue or a whole Config as Python objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "core/config.h"

namespace zenkor::py {

// Converts an option value, trying None, bool, int, str and a pair of str in
// that order.  Returns false with an exception set.
bool to_config_value(std::string_view key, PyObject* value, ConfigValue& out);

PyObject* from_config_value(const ConfigValue& value);

// The configuration as a dict in option order: the `config` property.
PyObject* config_to_dict(const Config& config);

}  // namespace zenkor::py
