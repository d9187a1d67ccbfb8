// The text-normalizing calls, around the engine's hot path: the thread
// buffers, normalize_units (no interpreter lock needed) and normalize_str.

#include "py/normalize_calls.h"

#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/pipeline.h"
#include "py/arrow.h"
#include "py/borrow.h"
#include "py/calls.h"
#include "py/errors.h"
#include "py/normalizer_object.h"
#include "py/presets.h"
#include "py/references.h"
#include "py/strings.h"

namespace zenkor::py {

namespace {

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

enum class Outcome { unchanged, changed, unencodable };

// Normalizes the text of a str as it stores it, needing no interpreter
// lock.  A changed result is left in `buffers.output` as a str will hold
// it, described by `wide`.
Outcome normalize_units(const Normalizer& normalizer, const zenkor::CodeUnits& units, ThreadBuffers& buffers,
                        zenkor::WideText& wide) {
  const zenkor::Plan::Found found = normalizer.scan(units);
  if (!found.any()) return Outcome::unchanged;
  if (!zenkor::to_utf8(units, buffers.input)) return Outcome::unencodable;
  const std::string_view result = normalizer.normalize(buffers.input, found.steps, buffers.space);
  if (result == buffers.input) return Outcome::unchanged;
  wide = zenkor::from_utf8(result, buffers.output);
  return Outcome::changed;
}

// `text` normalized by `normalizer`; null with an exception set.  `self` is
// the object the normalizer belongs to, borrowed around any work done
// without the interpreter lock; null for a normalizer nobody else can reach.
// The scan too runs without the lock when the text is long, so that other
// threads wait for the lock only while this one allocates.
// REQUIRES: text is a str.
PyObject* normalize_str(const Normalizer& normalizer, PyNormalizer* self, PyObject* text) {
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return nullptr;
#endif
  const zenkor::CodeUnits units = code_units(text);
  ThreadBuffers& buffers = thread_buffers();
  zenkor::WideText wide{};
  Outcome outcome{};
  if (units.length < UNLOCKED_FROM_CHARS) {
    outcome = normalize_units(normalizer, units, buffers, wide);
  } else {
    SharedBorrow borrow(self);
    if (!borrow) return nullptr;
    run_without_gil([&] { outcome = normalize_units(normalizer, units, buffers, wide); });
  }
  PyObject* out = outcome == Outcome::changed     ? str_from_wide(wide)
                  : outcome == Outcome::unchanged ? unchanged_str(text, units)
                                                  : raise_encode_error(text);
  buffers.shrink();
  return out;
}

// Every changed text of a batch goes into one string as a str stores it,
// at `offset`; an unchanged one comes back as it is.
constexpr std::size_t UNCHANGED = std::numeric_limits<std::size_t>::max();
struct Changed {
  std::size_t offset = UNCHANGED;
  zenkor::WideText text{};
};

// The text of each str in the tuple `items` as it stores it, into `texts`,
// and their total length; false with an exception set when one is no str.
bool batch_texts(PyObject* items, std::vector<zenkor::CodeUnits>& texts, std::size_t& total) {
  const auto item = [&](std::size_t i) { return PyTuple_GET_ITEM(items, static_cast<Py_ssize_t>(i)); };
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!PyUnicode_Check(item(i))) {
      PyErr_Format(PyExc_TypeError, "normalize_batch() items must be str, not %.80s", Py_TYPE(item(i))->tp_name);
      return false;
    }
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(item(i)) < 0) return false;
#endif
    texts[i] = code_units(item(i));
    total += texts[i].length;
  }
  return true;
}

// The list normalize_batch returns: a str of each changed text, the item
// itself for each unchanged one.
PyObject* batch_result(PyObject* items, const std::vector<zenkor::CodeUnits>& texts,
                       const std::vector<Changed>& changed, const std::string& joined) {
  const std::size_t n = texts.size();
  Ref list(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* s;
    if (changed[i].offset != UNCHANGED) {
      zenkor::WideText text = changed[i].text;
      text.units.data = joined.data() + changed[i].offset;
      s = str_from_wide(text);
    } else {
      s = unchanged_str(PyTuple_GET_ITEM(items, static_cast<Py_ssize_t>(i)), texts[i]);
    }
    if (!s) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), s);
  }
  return list.release();
}

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

}  // namespace

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
  std::vector<zenkor::CodeUnits> texts(n);
  std::size_t total = 0;
  if (!batch_texts(items.get(), texts, total)) return nullptr;
  std::vector<Changed> changed(n);
  std::string joined;
  std::size_t unencodable = UNCHANGED;
  const auto work = [&] {
    ThreadBuffers& buffers = thread_buffers();
    for (std::size_t i = 0; i < n; ++i) {
      zenkor::WideText wide{};
      const Outcome outcome = normalize_units(*self->inner, texts[i], buffers, wide);
      if (outcome == Outcome::unencodable) {
        unencodable = i;
        break;
      }
      if (outcome == Outcome::unchanged) continue;
      changed[i] = {joined.size(), wide};
      joined.append(buffers.output);
    }
    buffers.shrink();
  };
  if (total < UNLOCKED_FROM_CHARS) {
    work();
  } else {
    run_without_gil(work);
  }
  if (unencodable != UNCHANGED) {
    return raise_encode_error(PyTuple_GET_ITEM(items.get(), static_cast<Py_ssize_t>(unencodable)));
  }
  return batch_result(items.get(), texts, changed, joined);
}

PyObject* Normalizer_normalize_arrow(PyObject* obj, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto* self = reinterpret_cast<PyNormalizer*>(obj);
  SharedBorrow borrow(self);
  if (!borrow) return nullptr;
  return normalize_arrow(*self->inner, args, nargs, kwnames);
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

}  // namespace zenkor::py
