// The extension module zenkor._native: the Normalizer type and the module.
// Its helpers live in headers beside it (references.h, calls.h), and the
// Arrow column path in arrow.cc.
//
// Every normalizing call copies its input out of Python objects, releases the
// interpreter lock for the C++ work, and builds Python objects only after it
// has the lock again.  Each Normalizer object guards its C++ normalizer with
// an atomic borrow flag: normalizing and reading take a shared borrow,
// dictionary changes an exclusive one, and a conflict fails at once.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/l3_lexical/synonym.h"
#include "core/levenshtein.h"
#include "core/pipeline.h"
#include "core/text/utf8_validate.h"
#include "dict/sudachi.h"
#include "dict/text_file.h"
#include "py/arrow.h"
#include "py/calls.h"
#include "py/references.h"

namespace {

using zenkor::py::bind_arguments;
using zenkor::py::Guarded;
using zenkor::py::method;
using zenkor::py::Ref;
using zenkor::py::run_without_gil;
using zenkor::py::slot;
using zenkor::Config;
using zenkor::ConfigError;
using zenkor::ConfigValue;
using zenkor::Normalizer;
using zenkor::Preset;
using zenkor::l3_lexical::synonym::SynonymDict;
using zenkor::l3_lexical::synonym::SynonymDictError;

// The package version from pyproject.toml, passed in by the build.
constexpr const char* VERSION = ZENKOR_VERSION;

PyObject* str_from(std::string_view s) {
  return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

// The UTF-8 text of a str, valid while the str lives.  Fails (with the
// interpreter's UnicodeEncodeError) for strings holding lone surrogates.
bool utf8_of(PyObject* str, std::string_view& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (!data) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

// Checks that argument `name` of function `func` is a str and reads it.
bool str_argument(PyObject* obj, const char* func, const char* name, std::string_view& out) {
  if (!PyUnicode_Check(obj)) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %.80s", func, name, Py_TYPE(obj)->tp_name);
    return false;
  }
  return utf8_of(obj, out);
}

// ---------------------------------------------------------------------------
// Errors of the core, raised as Python exceptions in one place.

// The option name most like `key`, by difflib's measure (the one the
// interpreter's own suggestions resemble), when one is close enough to be
// what was meant; nothing otherwise.  Never leaves an exception set: the
// suggestion is a courtesy, and failing to make one is not an error.
std::optional<std::string> close_key(std::string_view key) {
  Ref difflib(PyImport_ImportModule("difflib"));
  Ref word(str_from(key));
  Ref keys(PyList_New(0));
  bool ok = difflib && word && keys;
  for (const std::string_view name : zenkor::KEYS) {
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
void raise_unknown_option(std::string_view key) {
  Ref message(str_from("unknown option " + zenkor::quoted(key) + "; see Normalizer.config for valid keys"));
  Ref error(message ? PyObject_CallOneArg(PyExc_TypeError, message.get()) : nullptr);
  if (!error) return;
  if (auto name = close_key(key)) add_note(error.get(), "did you mean " + zenkor::quoted(*name) + "?");
  PyErr_SetObject(PyExc_TypeError, error.get());
}

void raise_config_error(const ConfigError& err) {
  switch (err.kind) {
    case ConfigError::Kind::UnknownKey:
      raise_unknown_option(err.key);
      return;
    case ConfigError::Kind::TypeMismatch:
      PyErr_SetString(PyExc_TypeError, err.display().c_str());
      return;
    case ConfigError::Kind::Invalid:
      PyErr_SetString(PyExc_ValueError, err.display().c_str());
      return;
  }
}

// Looks a preset up by name; ValueError for a name that is not one.
bool preset_named(std::string_view name, Preset& out) {
  auto parsed = zenkor::preset_from_str(name);
  if (auto* err = std::get_if<zenkor::ParsePresetError>(&parsed)) {
    PyErr_SetString(PyExc_ValueError, err->display().c_str());
    return false;
  }
  out = std::get<Preset>(parsed);
  return true;
}

// Parses the argument `preset` of `func`: None or absent selects neologdn_compat.
bool parse_preset(PyObject* obj, const char* func, Preset& out) {
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

// ---------------------------------------------------------------------------
// Conversions between Python values and ConfigValue.

bool is_numpy_bool(PyObject* obj) {
  const std::string_view type_name = Py_TYPE(obj)->tp_name;
  return type_name == "numpy.bool" || type_name == "numpy.bool_";
}

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

// ---------------------------------------------------------------------------
// The Normalizer type.

// Shared borrows count up from 0; an exclusive borrow is EXCLUSIVE.
constexpr std::intptr_t EXCLUSIVE = -1;

struct PyNormalizer {
  PyObject_HEAD
  std::atomic<std::intptr_t> borrow;
  Normalizer* inner;
};

// The class object, created by the module's execution step.
PyTypeObject* normalizer_type = nullptr;

// Takes a shared borrow of `self`, or of nothing when `self` is null (a
// normalizer only the caller can reach).
class SharedBorrow {
 public:
  explicit SharedBorrow(PyNormalizer* self) : self_(self) {
    if (!self) return;
    std::intptr_t seen = self->borrow.load(std::memory_order_acquire);
    do {
      if (seen == EXCLUSIVE) {
        PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
        self_ = nullptr;
        failed_ = true;
        return;
      }
    } while (!self->borrow.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire));
  }
  SharedBorrow(const SharedBorrow&) = delete;
  SharedBorrow& operator=(const SharedBorrow&) = delete;
  ~SharedBorrow() {
    if (self_) self_->borrow.fetch_sub(1, std::memory_order_release);
  }
  explicit operator bool() const noexcept { return self_ != nullptr || !failed_; }

 private:
  PyNormalizer* self_;
  bool failed_ = false;
};

// What a shared borrow would check, without taking one: for calls that keep
// the interpreter lock throughout, during which no dictionary method can
// begin.  Saves two atomic writes to a line that all threads share.
[[maybe_unused]] bool not_mutably_borrowed(PyNormalizer* self) {
  if (self->borrow.load(std::memory_order_acquire) != EXCLUSIVE) return true;
  PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
  return false;
}

class ExclusiveBorrow {
 public:
  explicit ExclusiveBorrow(PyNormalizer* self) : self_(self) {
    std::intptr_t expected = 0;
    if (!self->borrow.compare_exchange_strong(expected, EXCLUSIVE, std::memory_order_acquire)) {
      PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
      self_ = nullptr;
    }
  }
  ExclusiveBorrow(const ExclusiveBorrow&) = delete;
  ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;
  ~ExclusiveBorrow() {
    if (self_) self_->borrow.store(0, std::memory_order_release);
  }
  explicit operator bool() const noexcept { return self_ != nullptr; }

 private:
  PyNormalizer* self_;
};

PyObject* wrap(PyTypeObject* type, std::unique_ptr<Normalizer> normalizer) {
  auto* self = reinterpret_cast<PyNormalizer*>(type->tp_alloc(type, 0));
  if (!self) return nullptr;
  new (&self->borrow) std::atomic<std::intptr_t>(0);
  self->inner = normalizer.release();
  return reinterpret_cast<PyObject*>(self);
}

PyObject* Normalizer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  const Py_ssize_t positional = PyTuple_GET_SIZE(args);
  if (positional > 1) {
    PyErr_Format(PyExc_TypeError, "Normalizer() takes at most 1 positional argument (%zd given)", positional);
    return nullptr;
  }
  PyObject* preset_obj = positional == 1 ? PyTuple_GET_ITEM(args, 0) : nullptr;
  if (kwargs) {
    if (PyObject* by_name = PyDict_GetItemString(kwargs, "preset")) {
      if (preset_obj) {
        PyErr_SetString(PyExc_TypeError,
                        "argument for Normalizer() given by name ('preset') and position (1)");
        return nullptr;
      }
      preset_obj = by_name;
    }
  }
  Preset preset;
  if (!parse_preset(preset_obj, "Normalizer", preset)) return nullptr;
  Config config = Config::from_preset(preset);

  bool any_option = false;
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject* key_obj;
    PyObject* value_obj;
    while (PyDict_Next(kwargs, &pos, &key_obj, &value_obj)) {
      // Calling a type does not check that keyword names are str: **{1: True} gets here.
      if (!PyUnicode_Check(key_obj)) {
        PyErr_SetString(PyExc_TypeError, "keywords must be strings");
        return nullptr;
      }
      std::string_view key;
      if (!utf8_of(key_obj, key)) return nullptr;
      if (key == "preset") continue;
      any_option = true;
      ConfigValue value;
      if (!to_config_value(key, value_obj, value)) return nullptr;
      if (auto err = config.set(key, std::move(value))) {
        raise_config_error(*err);
        return nullptr;
      }
    }
  }
  if (any_option) {
    if (auto err = config.check_cross_options()) {
      raise_config_error(*err);
      return nullptr;
    }
  }
  return wrap(type, std::make_unique<Normalizer>(std::move(config)));
}

void Normalizer_dealloc(PyObject* obj) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  PyTypeObject* type = Py_TYPE(obj);
  delete self->inner;
  self->borrow.~atomic();
  type->tp_free(obj);
  Py_DECREF(type);
}

PyObject* Normalizer_repr(PyObject* obj) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  const Config& config = self->inner->config();

  std::string head;
  for (const Preset p : zenkor::ALL_PRESETS) {
    if (config == Config::from_preset(p)) {
      head = "preset='" + std::string(zenkor::preset_name(p)) + "'";
      break;
    }
  }
  if (head.empty()) {
    bool first = true;
    for (const auto& [key, value] : config.entries()) {
      Ref item(from_config_value(value));
      if (!item) return nullptr;
      Ref text(PyObject_Repr(item.get()));
      std::string_view rendered;
      if (!text || !utf8_of(text.get(), rendered)) return nullptr;
      if (!first) head += ", ";
      first = false;
      head += key;
      head += '=';
      head += rendered;
    }
  }
  const SynonymDict* dict = self->inner->synonyms();
  if (dict && !dict->empty()) head += ", custom_dict_size=" + std::to_string(dict->size());
  return str_from("Normalizer(" + head + ")");
}

// Texts (and batches) of fewer characters than this are normalized with the
// interpreter lock held.  Giving it up and taking it back costs about 45 ns
// with no other thread waiting (8% of the 560 ns a for_search tweet takes,
// against 2% of a Wikipedia paragraph's 3 us), and far more when another
// thread waits for the lock and takes it in between: a short text gains
// nothing from the release that its cost would not eat.
constexpr std::size_t UNLOCKED_FROM_CHARS = 128;

// normalize_batch gives up the lock for chunks of about this many
// characters: long enough that taking it back is a small part of a chunk's
// time (about 0.5 ms of tweets), short enough that two threads' chunks
// interleave.
constexpr std::size_t BATCH_CHUNK_CHARS = std::size_t{1} << 16;

// The text of a str as it stores it.
zenkor::CodeUnits code_units(PyObject* str) {
  return {PyUnicode_DATA(str), static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)),
          static_cast<unsigned>(PyUnicode_KIND(str))};
}

// A new str of `text`, which from_utf8 made without the interpreter lock:
// with the lock, one allocation and one copy.
PyObject* str_from_wide(const zenkor::WideText& text) {
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.units.length), static_cast<Py_UCS4>(text.max_char));
  if (str != nullptr) std::memcpy(PyUnicode_DATA(str), text.units.data, text.units.length * text.units.width);
  return str;
}

// Buffers a thread reuses from call to call.  A buffer grown by a long text
// is given back afterwards, so a thread keeps little between calls.
struct ThreadBuffers {
  std::string input;
  zenkor::Workspace space;
  std::string output;  // the result as a str stores it

  void shrink() {
    constexpr std::size_t KEPT = std::size_t{1} << 20;
    for (std::string* s : {&input, &space.work, &space.scratch, &output}) {
      if (s->capacity() > KEPT) std::string().swap(*s);
    }
  }
};

ThreadBuffers& thread_buffers() {
  thread_local ThreadBuffers buffers;
  return buffers;
}

// Raises the interpreter's own UnicodeEncodeError for a str holding a lone
// surrogate (asking for its UTF-8 form fails and caches nothing).
PyObject* raise_encode_error(PyObject* str) {
  Py_ssize_t size = 0;
  if (PyUnicode_AsUTF8AndSize(str, &size) != nullptr) {
    PyErr_SetString(PyExc_SystemError, "a text without surrogates failed to convert");
  }
  return nullptr;
}

// `text` itself, or for a subclass of str a plain str of its `units`.
PyObject* unchanged_str(PyObject* text, const zenkor::CodeUnits& units) {
  if (PyUnicode_CheckExact(text)) return Py_NewRef(text);
  return PyUnicode_FromKindAndData(static_cast<int>(units.width), units.data, static_cast<Py_ssize_t>(units.length));
}

enum class Outcome { unchanged, changed, unencodable };

// Normalizes the text of a str as it stores it, in which a scan found
// `found`; needs no interpreter lock.  A changed result is left in
// `buffers.output` as a str will hold it, described by `wide`.
Outcome normalize_found(const Normalizer& normalizer, const zenkor::CodeUnits& units, zenkor::Plan::Found found,
                        ThreadBuffers& buffers, zenkor::WideText& wide) {
  if (!found.any()) return Outcome::unchanged;
  if (!zenkor::to_utf8(units, buffers.input)) return Outcome::unencodable;
  const std::string_view result = normalizer.normalize(buffers.input, found.steps, buffers.space);
  if (result == buffers.input) return Outcome::unchanged;
  wide = zenkor::from_utf8(result, buffers.output);
  return Outcome::changed;
}

// The same, scanning the text first.
Outcome normalize_units(const Normalizer& normalizer, const zenkor::CodeUnits& units, ThreadBuffers& buffers,
                        zenkor::WideText& wide) {
  return normalize_found(normalizer, units, normalizer.scan(units), buffers, wide);
}

// `text` normalized by `normalizer`; null with an exception set.  `self` is
// the object the normalizer belongs to, borrowed around any work done
// without the interpreter lock; null for a normalizer nobody else can reach.
// A long text is scanned without the lock too, so that other threads wait
// for it only while this one allocates; a short one that nothing changes
// costs a scan alone.
// REQUIRES: text is a str.
PyObject* normalize_str(const Normalizer& normalizer, PyNormalizer* self, PyObject* text) {
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return nullptr;
#endif
  const zenkor::CodeUnits units = code_units(text);
  zenkor::WideText wide{};
  Outcome outcome{};
  if (units.length < UNLOCKED_FROM_CHARS) {
    const zenkor::Plan::Found found = normalizer.scan(units);
    if (!found.any()) return unchanged_str(text, units);
    outcome = normalize_found(normalizer, units, found, thread_buffers(), wide);
  } else {
    SharedBorrow borrow(self);
    if (!borrow) return nullptr;
    run_without_gil([&] { outcome = normalize_units(normalizer, units, thread_buffers(), wide); });
  }
  PyObject* out = outcome == Outcome::changed     ? str_from_wide(wide)
                  : outcome == Outcome::unchanged ? unchanged_str(text, units)
                                                  : raise_encode_error(text);
  thread_buffers().shrink();
  return out;
}

PyObject* Normalizer_normalize(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("normalize", std::array{"text"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* text_obj = bound[0];
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
#ifdef Py_GIL_DISABLED
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  PyNormalizer* borrowed_by_call = nullptr;
#else
  // While this thread holds the interpreter lock no dictionary method can
  // start, so a call that keeps the lock needs only to see that none is
  // running; normalize_str borrows for work it does without the lock.
  if (!not_mutably_borrowed(self)) return nullptr;
  PyNormalizer* borrowed_by_call = self;
#endif
  if (!PyUnicode_Check(text_obj)) {
    PyErr_Format(PyExc_TypeError, "normalize() argument 'text' must be str, not %.80s", Py_TYPE(text_obj)->tp_name);
    return nullptr;
  }
  return normalize_str(*self->inner, borrowed_by_call, text_obj);
}

PyObject* Normalizer_normalize_batch(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("normalize_batch", std::array{"texts"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* texts_obj = bound[0];
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  if (PyUnicode_Check(texts_obj)) {
    PyErr_SetString(PyExc_TypeError, "argument 'texts': Can't extract `str` to `Vec`");
    return nullptr;
  }
  if (!PySequence_Check(texts_obj) || PyDict_Check(texts_obj)) {
    PyErr_Format(PyExc_TypeError, "argument 'texts': '%.80s' object is not an instance of 'Sequence'",
                 Py_TYPE(texts_obj)->tp_name);
    return nullptr;
  }
  // A tuple of the items holds a reference to each, so their text stays
  // valid while the lock is released, even if another thread empties a list
  // that was passed in.
  Ref items(PySequence_Tuple(texts_obj));
  if (!items) return nullptr;
  const auto n = static_cast<std::size_t>(PyTuple_GET_SIZE(items.get()));
  const auto item = [&](std::size_t i) { return PyTuple_GET_ITEM(items.get(), static_cast<Py_ssize_t>(i)); };
  std::vector<zenkor::CodeUnits> texts(n);
  std::size_t total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!PyUnicode_Check(item(i))) {
      PyErr_Format(PyExc_TypeError, "normalize_batch() items must be str, not %.80s", Py_TYPE(item(i))->tp_name);
      return nullptr;
    }
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(item(i)) < 0) return nullptr;
#endif
    texts[i] = code_units(item(i));
    total += texts[i].length;
  }
  Ref list(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!list) return nullptr;
  // The texts go in chunks: each normalized without the lock, then made
  // into str objects with it.  Another thread calling normalize_batch then
  // makes its objects while this one normalizes, instead of both waiting
  // for the lock at the end.  Every changed text of a chunk goes into
  // `joined` as a str stores it, at the offset in `changed`; an unchanged
  // one comes back as it is.
  constexpr std::size_t UNCHANGED = std::numeric_limits<std::size_t>::max();
  struct Changed {
    std::size_t offset = UNCHANGED;
    zenkor::WideText text{};
  };
  std::vector<Changed> changed;
  std::string joined;
  for (std::size_t first = 0; first < n;) {
    std::size_t last = first;  // one past the chunk's last text
    std::size_t chars = 0;
    while (last < n && (last == first || chars < BATCH_CHUNK_CHARS)) chars += texts[last++].length;
    changed.assign(last - first, Changed{});
    joined.clear();
    std::size_t unencodable = UNCHANGED;
    const auto work = [&] {
      ThreadBuffers& buffers = thread_buffers();
      for (std::size_t i = first; i < last; ++i) {
        zenkor::WideText wide{};
        const Outcome outcome = normalize_units(*self->inner, texts[i], buffers, wide);
        if (outcome == Outcome::unencodable) {
          unencodable = i;
          break;
        }
        if (outcome == Outcome::unchanged) continue;
        changed[i - first] = {joined.size(), wide};
        joined.append(buffers.output);
      }
      buffers.shrink();
    };
    if (total < UNLOCKED_FROM_CHARS) {
      work();
    } else {
      run_without_gil(work);
    }
    if (unencodable != UNCHANGED) return raise_encode_error(item(unencodable));
    for (std::size_t i = first; i < last; ++i) {
      PyObject* s;
      if (const Changed& c = changed[i - first]; c.offset != UNCHANGED) {
        zenkor::WideText text = c.text;
        text.units.data = joined.data() + c.offset;
        s = str_from_wide(text);
      } else {
        s = unchanged_str(item(i), texts[i]);
      }
      if (!s) return nullptr;
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), s);
    }
    first = last;
  }
  return list.release();
}

PyObject* Normalizer_normalize_arrow(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return zenkor::py::normalize_arrow(*self->inner, args, nargs, kwnames);
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
  Ref list(PyList_New(static_cast<Py_ssize_t>(zenkor::ALL_PRESETS.size())));
  if (!list) return nullptr;
  Py_ssize_t i = 0;
  for (const Preset p : zenkor::ALL_PRESETS) {
    PyObject* name = str_from(zenkor::preset_name(p));
    if (!name) return nullptr;
    PyList_SET_ITEM(list.get(), i++, name);
  }
  return list.release();
}

PyObject* Normalizer_get_config(PyObject* obj, void*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return config_to_dict(self->inner->config());
}

// ---------------------------------------------------------------------------
// What normalizing did: explain (the text after each step that changed it)
// and normalize_with_offsets (where each output character came from).  Both
// run the steps one at a time, recording their edits (Normalizer::trace).

// The records explain returns: named tuples (option, text).
PyStructSequence_Field explain_step_fields[] = {
    {"option", "この段を有効にしたオプション名"},
    {"text", "この段のあとのテキスト"},
    {nullptr, nullptr},
};

PyStructSequence_Desc explain_step_desc = {
    "zenkor._native.ExplainStep",
    "explain() の 1 段: テキストを変えたオプション名と、その段のあとのテキスト。",
    explain_step_fields,
    2,
};

// The class object, created by the module's execution step.
PyTypeObject* explain_step_type = nullptr;

// Reads the argument `text` of `func` for a traced call: borrows `self`
// shared, checks `text` is a str, and tells whether any step could change it
// (`changes`); when one could, writes its UTF-8 into `utf8`.  False with an
// exception set.
bool traced_argument(PyNormalizer* self, PyObject* text, const char* func, std::string& utf8, bool& changes) {
  if (!PyUnicode_Check(text)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'text' must be str, not %.80s", func, Py_TYPE(text)->tp_name);
    return false;
  }
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return false;
#endif
  const zenkor::CodeUnits units = code_units(text);
  changes = self->inner->scan(units).any();
  if (changes && !zenkor::to_utf8(units, utf8)) {
    raise_encode_error(text);
    return false;
  }
  return true;
}

// Runs `work` over a text of `length` characters, without the interpreter
// lock when the text is long enough to repay it (see UNLOCKED_FROM_CHARS).
template <typename Work>
void run_traced(Py_ssize_t length, Work&& work) {
  if (static_cast<std::size_t>(length) < UNLOCKED_FROM_CHARS) {
    work();
  } else {
    run_without_gil(work);
  }
}

PyObject* Normalizer_explain(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("explain", std::array{"text"}, 1, args, nargs, kwnames, bound)) return nullptr;
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  std::string input;
  bool changes = false;
  if (!traced_argument(self, bound[0], "explain", input, changes)) return nullptr;
  std::vector<zenkor::ExplainedStep> steps;
  if (changes) run_traced(PyUnicode_GET_LENGTH(bound[0]), [&] { steps = self->inner->explain(input); });
  Ref list(PyList_New(static_cast<Py_ssize_t>(steps.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    Ref record(PyStructSequence_New(explain_step_type));
    Ref option(str_from(steps[i].option));
    Ref after(str_from(steps[i].text));
    if (!record || !option || !after) return nullptr;
    PyStructSequence_SetItem(record.get(), 0, option.release());
    PyStructSequence_SetItem(record.get(), 1, after.release());
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), record.release());
  }
  return list.release();
}

PyObject* Normalizer_normalize_with_offsets(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("normalize_with_offsets", std::array{"text"}, 1, args, nargs, kwnames, bound)) return nullptr;
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  PyObject* text = bound[0];
  std::string input;
  bool changes = false;
  if (!traced_argument(self, text, "normalize_with_offsets", input, changes)) return nullptr;
  zenkor::TextWithOffsets traced;
  if (changes) {
    run_traced(PyUnicode_GET_LENGTH(text), [&] { traced = self->inner->normalize_with_offsets(input); });
  } else {
    // Unchanged: every character maps to itself.
    traced.offsets.resize(static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)) + 1);
    std::iota(traced.offsets.begin(), traced.offsets.end(), std::size_t{0});
  }
  // An unchanged text comes back as it is (as a str, were it of a subclass).
  Ref result(changes ? str_from(traced.text) : PyUnicode_FromObject(text));
  Ref offsets(PyList_New(static_cast<Py_ssize_t>(traced.offsets.size())));
  if (!result || !offsets) return nullptr;
  for (std::size_t i = 0; i < traced.offsets.size(); ++i) {
    PyObject* index = PyLong_FromSize_t(traced.offsets[i]);
    if (!index) return nullptr;
    PyList_SET_ITEM(offsets.get(), static_cast<Py_ssize_t>(i), index);
  }
  return PyTuple_Pack(2, result.get(), offsets.get());
}

// ---------------------------------------------------------------------------
// Custom dictionary methods.  Each takes an exclusive borrow for its whole run
// and keeps the interpreter lock; a failure leaves the object as it was.

// Replaces the object's normalizer with one holding the current dictionary
// extended by `added`, whose variants are pre-normalized.  Returns self.
PyObject* merge_synonyms(PyObject* obj, const SynonymDict& added) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  auto next = std::make_unique<Normalizer>(self->inner->with_synonyms(added));
  delete std::exchange(self->inner, next.release());
  return Py_NewRef(obj);
}

// A file given as str, bytes or path-like: its bytes for the system, and its
// text for messages (bytes that are not UTF-8 shown as U+FFFD).
struct FilePath {
  std::string bytes;
  std::string text;
};

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

// The subclass of OSError the interpreter raises for `errno_value` (a
// builtin type, which lives as long as the interpreter), or null with an
// exception set.  OSError(errno, strerror) comes out as that subclass.
PyObject* os_error_type(int errno_value) {
  Ref sample(PyObject_CallFunction(PyExc_OSError, "is", errno_value, ""));
  return sample ? reinterpret_cast<PyObject*>(Py_TYPE(sample.get())) : nullptr;
}

// Reads a whole file as UTF-8 text, or raises OSError "cannot read {path}:
// {reason}".  A failure the system reports raises the subclass the
// interpreter picks for its errno (FileNotFoundError, PermissionError,
// IsADirectoryError, ...) with `errno` set.  `filename` stays unset: with it,
// OSError's str() would print "[Errno N] ..." in place of the message.
bool read_text_file(const FilePath& path, zenkor::dict::text_file::Text& out) {
  auto read = zenkor::dict::text_file::read(path.bytes);
  if (auto* text = std::get_if<zenkor::dict::text_file::Text>(&read)) {
    out = std::move(*text);
    return true;
  }
  const auto& err = std::get<zenkor::dict::text_file::ReadError>(read);
  const bool from_system = err.kind == zenkor::dict::text_file::ReadError::Kind::Os;
  PyObject* type = from_system ? os_error_type(err.os_code) : PyExc_OSError;
  if (!type) return false;
  // Built from the whole message: a NUL in the path must not cut it short.
  Ref message(str_from("cannot read " + path.text + ": " + err.display()));
  if (!message) return false;
  Ref exception(PyObject_CallOneArg(type, message.get()));
  if (!exception) return false;
  if (from_system) {
    Ref code(PyLong_FromLong(err.os_code));
    if (!code || PyObject_SetAttrString(exception.get(), "errno", code.get()) < 0) return false;
  }
  PyErr_SetObject(type, exception.get());
  return false;
}

PyObject* Normalizer_with_custom_dict(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("with_custom_dict", std::array{"mapping"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* mapping = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  if (!PyDict_Check(mapping)) {
    PyErr_Format(PyExc_TypeError, "argument 'mapping': '%.80s' object is not an instance of 'dict'",
                 Py_TYPE(mapping)->tp_name);
    return nullptr;
  }
  // A snapshot of the items: Python code run by a value's iterator may change
  // the mapping, and that does not change what this call reads.
  Ref items(PyDict_Items(mapping));
  if (!items) return nullptr;
  SynonymDict added;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* item = PyList_GET_ITEM(items.get(), i);
    PyObject* key = PyTuple_GET_ITEM(item, 0);
    PyObject* value = PyTuple_GET_ITEM(item, 1);
    std::string_view canonical;
    if (!PyUnicode_Check(key)) {
      PyErr_SetString(PyExc_TypeError, "custom dict keys must be str");
      return nullptr;
    }
    if (!utf8_of(key, canonical)) return nullptr;
    const auto bad_value = [&](const char* must_be) {
      PyErr_SetString(PyExc_TypeError,
                      ("custom dict value for " + zenkor::quoted(canonical) + " must be " + must_be).c_str());
      return nullptr;
    };
    if (PyUnicode_Check(value)) return bad_value("a list of str, not str");
    Ref iterator(PyObject_GetIter(value));
    if (!iterator) {
      PyErr_Clear();
      return bad_value("an iterable of str");
    }
    while (Ref element{PyIter_Next(iterator.get())}) {
      std::string_view variant;
      if (!PyUnicode_Check(element.get())) {
        PyErr_SetString(PyExc_TypeError, "custom dict variants must be str");
        return nullptr;
      }
      if (!utf8_of(element.get(), variant)) return nullptr;
      if (variant != canonical) added.insert(std::string(variant), std::string(canonical));
    }
    if (PyErr_Occurred()) return nullptr;
  }
  return merge_synonyms(obj, added);
}

PyObject* Normalizer_load_custom_dict_json(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("load_custom_dict_json", std::array{"json"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* json_obj = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  std::string_view json;
  if (!str_argument(json_obj, "load_custom_dict_json", "json", json)) return nullptr;
  auto loaded = SynonymDict::from_json_grouped(json);
  if (auto* err = std::get_if<SynonymDictError>(&loaded)) {
    PyErr_SetString(PyExc_ValueError, ("invalid custom dict json: " + err->display()).c_str());
    return nullptr;
  }
  return merge_synonyms(obj, std::get<SynonymDict>(loaded));
}

PyObject* Normalizer_load_custom_dict_file(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  if (!bind_arguments("load_custom_dict_file", std::array{"path", "format"}, 1, args, nargs, kwnames, bound))
    return nullptr;
  PyObject* path_obj = bound[0];
  PyObject* format_obj = bound[1] ? bound[1] : Py_None;
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  FilePath path;
  if (!path_argument(path_obj, path)) return nullptr;
  std::string format;
  if (format_obj == Py_None) {
    format = extension_of(path.bytes);
  } else {
    if (!PyUnicode_Check(format_obj)) {
      PyErr_Format(PyExc_TypeError, "load_custom_dict_file() argument 'format' must be str or None, not %.80s",
                   Py_TYPE(format_obj)->tp_name);
      return nullptr;
    }
    std::string_view given;
    if (!utf8_of(format_obj, given)) return nullptr;
    format = given;
  }
  for (char& c : format) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  char32_t delimiter = 0;  // none: JSON
  if (format == "csv") {
    delimiter = ',';
  } else if (format == "tsv" || format == "txt") {
    delimiter = '\t';
  } else if (format != "json") {
    PyErr_SetString(PyExc_ValueError,
                    ("unknown custom dict format " + zenkor::quoted(format) + " (expected json, csv, tsv)").c_str());
    return nullptr;
  }
  zenkor::dict::text_file::Text text;
  if (!read_text_file(path, text)) return nullptr;
  auto loaded = delimiter == 0 ? SynonymDict::from_json_grouped(text.view())
                               : SynonymDict::from_delimited(text.view(), delimiter);
  if (auto* err = std::get_if<SynonymDictError>(&loaded)) {
    PyErr_SetString(PyExc_ValueError, ("invalid custom dict " + path.text + ": " + err->display()).c_str());
    return nullptr;
  }
  return merge_synonyms(obj, std::get<SynonymDict>(loaded));
}

PyObject* Normalizer_load_sudachi_synonyms(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  std::array<PyObject*, 1> bound;
  if (!bind_arguments("load_sudachi_synonyms", std::array{"path"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* path_obj = bound[0];
  ExclusiveBorrow borrow(reinterpret_cast<PyNormalizer*>(obj));
  if (!borrow) return nullptr;
  FilePath path;
  zenkor::dict::text_file::Text text;
  if (!path_argument(path_obj, path) || !read_text_file(path, text)) return nullptr;
  auto loaded = zenkor::dict::sudachi::load_sudachi_synonyms(text.view());
  if (auto* err = std::get_if<zenkor::dict::sudachi::SudachiParseError>(&loaded)) {
    PyErr_SetString(PyExc_ValueError, ("invalid sudachi synonyms " + path.text + ": " + err->display()).c_str());
    return nullptr;
  }
  return merge_synonyms(obj, std::get<SynonymDict>(loaded));
}

PyObject* Normalizer_clear_custom_dict(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  ExclusiveBorrow borrow(self);
  if (!borrow) return nullptr;
  auto next = std::make_unique<Normalizer>(self->inner->config());
  delete std::exchange(self->inner, next.release());
  return Py_NewRef(obj);
}

PyObject* Normalizer_get_custom_dict_size(PyObject* obj, void*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  const SynonymDict* dict = self->inner->synonyms();
  return PyLong_FromSize_t(dict ? dict->size() : 0);
}

// ---------------------------------------------------------------------------
// Saving and restoring: pickle, copy.copy and copy.deepcopy.
//
// A normalizer is saved as its class, its whole option state (the `config`
// dict) and its dictionary entries as attached, variants already normalized.
// Restoring sets the options with Config::from_entries, which keeps a url_wrap
// pair with protect_urls off (keyword arguments cannot say that), and attaches
// the entries without normalizing them again: not every Config normalizes
// idempotently, and a variant normalized twice could miss the text it matched.

// The attached entries as (variant, canonical) tuples, oldest insert first:
// inserting them in this order rebuilds the same dictionary.
PyObject* custom_dict_items_of(const Normalizer& normalizer) {
  const SynonymDict* dict = normalizer.synonyms();
  const auto order = dict ? dict->insert_order() : std::vector<std::size_t>();
  Ref list(PyList_New(static_cast<Py_ssize_t>(order.size())));
  if (!list) return nullptr;
  Py_ssize_t i = 0;
  for (const std::size_t at : order) {
    const auto& entry = dict->entries()[at];
    Ref variant(str_from(entry.variant));
    Ref canonical(str_from(entry.canonical));
    if (!variant || !canonical) return nullptr;
    PyObject* pair = PyTuple_Pack(2, variant.get(), canonical.get());
    if (!pair) return nullptr;
    PyList_SET_ITEM(list.get(), i++, pair);
  }
  return list.release();
}

PyObject* Normalizer_custom_dict_items(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return custom_dict_items_of(*self->inner);
}

// (restore function, (class, config dict, entries)), plus the instance's
// __dict__ when a subclass gave it attributes.
PyObject* Normalizer_reduce(PyObject* obj, PyObject*) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  Ref module(PyImport_ImportModule("zenkor._native"));
  Ref restore(module ? PyObject_GetAttrString(module.get(), "_restore_normalizer") : nullptr);
  Ref config(config_to_dict(self->inner->config()));
  Ref items(custom_dict_items_of(*self->inner));
  if (!restore || !config || !items) return nullptr;
  Ref args(PyTuple_Pack(3, reinterpret_cast<PyObject*>(Py_TYPE(obj)), config.get(), items.get()));
  if (!args) return nullptr;
  Ref state(PyObject_GetAttrString(obj, "__dict__"));
  if (!state) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return nullptr;
    PyErr_Clear();
  }
  if (state && PyDict_Check(state.get()) && PyDict_GET_SIZE(state.get()) > 0) {
    return PyTuple_Pack(3, restore.get(), args.get(), state.get());
  }
  return PyTuple_Pack(2, restore.get(), args.get());
}

// The entries saved by custom_dict_items_of, in their order.
bool entries_argument(PyObject* items, SynonymDict& out) {
  Ref iterator(PyObject_GetIter(items));
  if (!iterator) return false;
  while (Ref item{PyIter_Next(iterator.get())}) {
    std::string_view variant, canonical;
    if (!PyTuple_Check(item.get()) || PyTuple_GET_SIZE(item.get()) != 2 ||
        !PyUnicode_Check(PyTuple_GET_ITEM(item.get(), 0)) || !PyUnicode_Check(PyTuple_GET_ITEM(item.get(), 1))) {
      PyErr_SetString(PyExc_TypeError, "custom dict entries must be (variant, canonical) pairs of str");
      return false;
    }
    if (!utf8_of(PyTuple_GET_ITEM(item.get(), 0), variant) || !utf8_of(PyTuple_GET_ITEM(item.get(), 1), canonical))
      return false;
    out.insert(std::string(variant), std::string(canonical));
  }
  return !PyErr_Occurred();
}

// _restore_normalizer(cls, config, items): the module function __reduce__ names.
PyObject* module_restore_normalizer(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 3) {
    PyErr_Format(PyExc_TypeError, "_restore_normalizer() takes exactly 3 arguments (%zd given)", nargs);
    return nullptr;
  }
  PyObject* cls = args[0];
  if (!PyType_Check(cls) || !PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(cls), normalizer_type)) {
    PyErr_SetString(PyExc_TypeError, "_restore_normalizer() argument 'cls' must be a Normalizer class");
    return nullptr;
  }
  if (!PyDict_Check(args[1])) {
    PyErr_Format(PyExc_TypeError, "_restore_normalizer() argument 'config' must be dict, not %.80s",
                 Py_TYPE(args[1])->tp_name);
    return nullptr;
  }
  std::vector<std::pair<std::string, ConfigValue>> entries;
  Py_ssize_t pos = 0;
  PyObject* key_obj;
  PyObject* value_obj;
  while (PyDict_Next(args[1], &pos, &key_obj, &value_obj)) {
    std::string_view key;
    if (!PyUnicode_Check(key_obj)) {
      PyErr_SetString(PyExc_TypeError, "keywords must be strings");
      return nullptr;
    }
    ConfigValue value;
    if (!utf8_of(key_obj, key) || !to_config_value(key, value_obj, value)) return nullptr;
    entries.emplace_back(key, std::move(value));
  }
  auto config = Config::from_entries(std::move(entries));
  if (auto* err = std::get_if<ConfigError>(&config)) {
    raise_config_error(*err);
    return nullptr;
  }
  SynonymDict dict;
  if (!entries_argument(args[2], dict)) return nullptr;
  auto normalizer = dict.empty() ? std::make_unique<Normalizer>(std::get<Config>(std::move(config)))
                                 : std::make_unique<Normalizer>(std::get<Config>(std::move(config)), std::move(dict));
  return wrap(reinterpret_cast<PyTypeObject*>(cls), std::move(normalizer));
}

PyMethodDef normalizer_methods[] = {
    {"normalize", method<Normalizer_normalize>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize($self, text)\n--\n\nテキストを正規化する。長いテキストの処理中は GIL を解放する。"},
    {"normalize_batch", method<Normalizer_normalize_batch>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize_batch($self, texts)\n--\n\n複数テキストをまとめて正規化する。処理中は GIL を解放する。"},
    {"explain", method<Normalizer_explain>(), METH_FASTCALL | METH_KEYWORDS,
     "explain($self, text)\n--\n\n"
     "正規化の各段がテキストをどう変えたかを返す。\n"
     "\n"
     "テキストを変えた段ごとに `ExplainStep(option, text)` を処理順に並べたリスト。\n"
     "`option` はその段を有効にしたオプション名(URL の囲みは `url_wrap`、\n"
     "前後の空白除去は `trim`、カスタム辞書は `custom_dict`)、`text` はその段のあとの\n"
     "テキスト全体。最後の `text` は `normalize(text)` と等しい。何も変わらなければ空リスト。"},
    {"normalize_with_offsets", method<Normalizer_normalize_with_offsets>(), METH_FASTCALL | METH_KEYWORDS,
     "normalize_with_offsets($self, text)\n--\n\n"
     "正規化したテキストと、その各文字が元のテキストのどの文字から来たかを返す。\n"
     "\n"
     "`(normalized, offsets)` のタプル。`offsets` は長さ `len(normalized) + 1` の int のリストで、\n"
     "出力の `[i, j)` は入力の `[offsets[i], offsets[j])` に対応する(末尾は `len(text)`)。\n"
     "置換された文字は置換元の範囲の中へ、挿入された文字は挿入位置へ対応し、常に単調非減少。"},
    {"normalize_arrow", method<Normalizer_normalize_arrow>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize_arrow($self, data, jobs=1)\n--\n\n"
     "Normalize a column of Arrow strings without a Python object per value.\n"
     "\n"
     "`data` exports the Arrow PyCapsule interface (`__arrow_c_array__` or\n"
     "`__arrow_c_stream__`) with values of type string, large_string or\n"
     "string_view: a pyarrow Array or ChunkedArray, a polars or pandas Series.\n"
     "The result exports the same interface, with the same type, length and\n"
     "nulls, and each value equal to `normalize(value)`.  The interpreter lock\n"
     "is released for the whole column; `jobs` threads share a long one."},
    {"preset", method<Normalizer_preset>(),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "preset(name)\n--\n\nプリセット名から生成する(`Normalizer(name)` と同じ)。"},
    {"presets", method<Normalizer_presets>(), METH_NOARGS | METH_STATIC, "presets()\n--\n\n利用可能なプリセット名の一覧。"},
    {"with_custom_dict",
     method<Normalizer_with_custom_dict>(), METH_FASTCALL | METH_KEYWORDS,
     "with_custom_dict($self, mapping)\n--\n\n"
     "カスタム辞書を追加する。既存のエントリにマージされる。\n"
     "\n"
     "`mapping` は `{正規形: [表記ゆれ, ...]}` 形式の dict。\n"
     "例: `{\"幽遊白書\": [\"幽白\", \"ゆうはく\", \"幽☆遊☆白書\"]}`\n"
     "\n"
     "与えられた表記ゆれは正規化の最終段で正規形に置換される。\n"
     "メソッドチェーンできるよう自身を返す。"},
    {"load_custom_dict_json",
     method<Normalizer_load_custom_dict_json>(), METH_FASTCALL | METH_KEYWORDS,
     "load_custom_dict_json($self, json)\n--\n\n"
     "カスタム辞書を JSON 文字列から読み込んで追加する。\n"
     "\n"
     "フォーマットは `{\"正規形\": [\"表記ゆれ\", ...]}`。`json.dumps()` の既定出力\n"
     "(`\\uXXXX` エスケープ)もそのまま読める。"},
    {"load_custom_dict_file",
     method<Normalizer_load_custom_dict_file>(), METH_FASTCALL | METH_KEYWORDS,
     "load_custom_dict_file($self, path, format=None)\n--\n\n"
     "カスタム辞書をファイルから読み込んで追加する。\n"
     "\n"
     "`format` 省略時は拡張子で判定する:\n"
     "- `.json`: `{\"正規形\": [\"表記ゆれ\", ...]}`\n"
     "- `.csv`: `表記ゆれ,正規形` (1行1件、`#` 行はコメント)\n"
     "- `.tsv` / `.txt`: `表記ゆれ<TAB>正規形`"},
    {"load_sudachi_synonyms",
     method<Normalizer_load_sudachi_synonyms>(), METH_FASTCALL | METH_KEYWORDS,
     "load_sudachi_synonyms($self, path)\n--\n\n"
     "Sudachi 同義語辞書 (`synonyms.txt`) を読み込んで追加する。\n"
     "\n"
     "辞書本体はバンドルしていないので、SudachiDict から別途ダウンロードすること。"},
    {"clear_custom_dict", method<Normalizer_clear_custom_dict>(), METH_NOARGS,
     "clear_custom_dict($self)\n--\n\nカスタム辞書をすべて削除する。"},
    {"custom_dict_items", method<Normalizer_custom_dict_items>(), METH_NOARGS,
     "custom_dict_items($self)\n--\n\n"
     "登録済みカスタム辞書のエントリを (表記ゆれ, 正規形) の組のリストで返す。\n"
     "表記ゆれは登録時に正規化された形。登録順(同じ表記ゆれは最後の登録の位置)に並ぶ。"},
    {"__reduce__", method<Normalizer_reduce>(), METH_NOARGS,
     "__reduce__($self)\n--\n\npickle・copy・deepcopy 用: 設定の全体と辞書のエントリをそのまま保存する。"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef normalizer_getset[] = {
    {"config", &Guarded<Normalizer_get_config>::call, nullptr,
     "現在の設定を kwargs 互換の dict で返す。`Normalizer(**n.config)` で複製できる。", nullptr},
    {"custom_dict_size", &Guarded<Normalizer_get_custom_dict_size>::call, nullptr, "登録済みカスタム辞書のエントリ数。", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot normalizer_slots[] = {
    {Py_tp_doc, const_cast<char*>("Normalizer(preset=None, **options)\n--\n\nPython に公開する Normalizer。")},
    {Py_tp_new, slot<Normalizer_new>()},
    {Py_tp_dealloc, reinterpret_cast<void*>(Normalizer_dealloc)},
    {Py_tp_repr, slot<Normalizer_repr>()},
    {Py_tp_methods, normalizer_methods},
    {Py_tp_getset, normalizer_getset},
    {0, nullptr},
};

PyType_Spec normalizer_spec = {
    "zenkor._native.Normalizer",
    sizeof(PyNormalizer),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    normalizer_slots,
};

// ---------------------------------------------------------------------------
// Module functions.

// The normalizer of each preset, built once: the module function would
// otherwise compile a plan for every call.
const Normalizer& preset_normalizer(Preset preset) {
  static const std::array<Normalizer, zenkor::ALL_PRESETS.size()> normalizers = [] {
    return std::array{Normalizer(Config::from_preset(Preset::None)), Normalizer(Config::from_preset(Preset::NeologdnCompat)),
                      Normalizer(Config::from_preset(Preset::ForSearch)), Normalizer(Config::from_preset(Preset::ForDisplay)),
                      Normalizer(Config::from_preset(Preset::ForCompare))};
  }();
  return normalizers[static_cast<std::size_t>(preset)];
}

PyObject* module_normalize(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  if (!bind_arguments("normalize", std::array{"text", "preset"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* text_obj = bound[0];
  PyObject* preset_obj = bound[1];
  if (!PyUnicode_Check(text_obj)) {
    PyErr_Format(PyExc_TypeError, "normalize() argument 'text' must be str, not %.80s", Py_TYPE(text_obj)->tp_name);
    return nullptr;
  }
  Preset preset;
  if (!parse_preset(preset_obj, "normalize", preset)) return nullptr;
  return normalize_str(preset_normalizer(preset), nullptr, text_obj);
}

// The characters of a str as scalar values, read from the str's own storage
// (no UTF-8 round trip).  Short texts stay on the stack.
class Scalars {
 public:
  // False with an exception set: TypeError for a non-str, and the
  // interpreter's UnicodeEncodeError for a lone surrogate, as for every text.
  bool read(PyObject* obj, const char* func, const char* name) {
    if (!PyUnicode_Check(obj)) {
      PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %.80s", func, name, Py_TYPE(obj)->tp_name);
      return false;
    }
    const Py_ssize_t length = PyUnicode_GET_LENGTH(obj);
    const auto size = static_cast<std::size_t>(length);
    char32_t* data = size <= inline_.size() ? inline_.data() : (heap_.resize(size), heap_.data());
    if (!PyUnicode_AsUCS4(obj, reinterpret_cast<Py_UCS4*>(data), length, 0)) return false;
    view_ = std::u32string_view(data, size);
    if (PyUnicode_KIND(obj) != PyUnicode_1BYTE_KIND &&
        std::any_of(view_.begin(), view_.end(), [](char32_t c) { return c >= 0xD800 && c <= 0xDFFF; })) {
      std::string_view ignored;
      return utf8_of(obj, ignored);  // fails with the interpreter's own error
    }
    return true;
  }

  [[nodiscard]] std::u32string_view view() const noexcept { return view_; }

 private:
  std::array<char32_t, 256> inline_;
  std::u32string heap_;
  std::u32string_view view_;
};

// Whether comparing texts of these lengths pays for releasing the interpreter
// lock.  Releasing and retaking it costs 70 to 100 ns here (a call with two
// empty strings took 112 ns with it, 46 without), more than comparing two
// 10-character words.  Up to 1,024 block steps (64 characters of the shorter
// text against one of the longer, 1.3 to 2 ns each) the lock is kept: other
// threads wait at most about 2 us, and releasing would add 5 % or more.
bool levenshtein_releases_lock(std::size_t a, std::size_t b) {
  const auto [shorter, longer] = std::minmax(a, b);
  return (shorter + 63) / 64 * longer > 1024;
}

PyObject* module_levenshtein(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::array<PyObject*, 2> bound;
  if (!bind_arguments("levenshtein", std::array{"a", "b"}, 2, args, nargs, kwnames, bound)) return nullptr;
  Scalars a, b;
  if (!a.read(bound[0], "levenshtein", "a") || !b.read(bound[1], "levenshtein", "b")) return nullptr;
  std::size_t distance = 0;
  const auto compare = [&] { distance = zenkor::levenshtein(a.view(), b.view()); };
  if (levenshtein_releases_lock(a.view().size(), b.view().size())) {
    run_without_gil(compare);
  } else {
    compare();
  }
  return PyLong_FromSize_t(distance);
}

PyMethodDef module_functions[] = {
    {"normalize", method<module_normalize>(),
     METH_FASTCALL | METH_KEYWORDS,
     "normalize(text, preset=None)\n--\n\n"
     "トップレベル関数: プリセット(既定は `neologdn_compat`)でテキストを正規化する。"},
    {"levenshtein", method<module_levenshtein>(),
     METH_FASTCALL | METH_KEYWORDS, "levenshtein(a, b)\n--\n\n2 文字列のレーベンシュタイン距離(文字単位)。"},
    {"_restore_normalizer", method<module_restore_normalizer>(), METH_FASTCALL,
     "_restore_normalizer(cls, config, items)\n--\n\nNormalizer.__reduce__ が保存した状態から復元する。"},
    {nullptr, nullptr, 0, nullptr},
};

// Fills the module in the order its attributes are documented.
int module_exec(PyObject* module) {
  if (!normalizer_type) {
    normalizer_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&normalizer_spec));
    if (!normalizer_type) return -1;
  }
  if (PyModule_AddObjectRef(module, "Normalizer", reinterpret_cast<PyObject*>(normalizer_type)) < 0) return -1;
  if (!explain_step_type) {
    explain_step_type = PyStructSequence_NewType(&explain_step_desc);
    if (!explain_step_type) return -1;
  }
  // Under a private name: the module's public names are a fixed list; the
  // package exports it as zenkor.ExplainStep.
  if (PyModule_AddObjectRef(module, "_ExplainStep", reinterpret_cast<PyObject*>(explain_step_type)) < 0) return -1;
  Ref module_name(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  for (PyMethodDef* def = module_functions; def->ml_name; ++def) {
    Ref function(PyCFunction_NewEx(def, module, module_name.get()));
    if (!function || PyModule_AddObjectRef(module, def->ml_name, function.get()) < 0) return -1;
  }
  if (PyModule_AddStringConstant(module, "__version__", VERSION) < 0) return -1;
  return zenkor::py::init_arrow_types();
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_native",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__native(void) { return PyModuleDef_Init(&module_def); }
