// The text-normalizing calls, around the engine's hot path: normalize_str,
// and the batches' chunks made into str objects.  What they do without the
// interpreter lock is in py/text_work.

#include "py/normalize_calls.h"

#include <array>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/pipeline.h"
#include "py/arrow.h"
#include "py/batch_jobs.h"
#include "py/borrow.h"
#include "py/calls.h"
#include "py/errors.h"
#include "py/lock_policy.h"
#include "py/normalizer_object.h"
#include "py/presets.h"
#include "py/references.h"
#include "py/strings.h"
#include "py/text_work.h"

namespace zenkor::py {

namespace {

// `text` normalized by `normalizer`; null with an exception set.  `self` is
// the object the normalizer belongs to, borrowed around any work done
// without the interpreter lock; null for a normalizer nobody else can reach.
// A call that gives up the lock (see LockPolicy) scans without it too, so
// that other threads wait for it only while this one allocates.
// REQUIRES: text is a str.
PyObject* normalize_str(const Normalizer& normalizer, PyNormalizer* self, PyObject* text) {
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(text) < 0) return nullptr;
#endif
  const zenkor::CodeUnits units = code_units(text);
  LockPolicy& policy = thread_lock_policy();
  zenkor::WideText wide{};
  Outcome outcome{};
  // The thread's buffers are looked up only when the scan finds work.
  const auto work = [&] {
    const zenkor::Plan::Found found = normalizer.scan(units);
    outcome = found.any() ? normalize_found(normalizer, units, found, thread_buffers(), wide) : Outcome::clean;
  };
  if (!policy.releases(units.length)) {
    policy.run(work);
  } else {
    SharedBorrow borrow(self);
    if (!borrow) return nullptr;
    run_without_gil([&] { policy.run(work); });
  }
  if (outcome == Outcome::clean) return unchanged_str(text, units);
  PyObject* out = outcome == Outcome::changed     ? str_from_wide(wide)
                  : outcome == Outcome::unchanged ? unchanged_str(text, units)
                                                  : raise_encode_error(text);
  thread_buffers().shrink();
  return out;
}

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

// Puts into `list` the results of texts[first, last): a str of each changed
// text, the item itself for each unchanged one.  False with an exception set.
bool set_chunk_results(PyObject* list, PyObject* items, const std::vector<zenkor::CodeUnits>& texts,
                       std::size_t first, const std::vector<Changed>& changed, const std::string& joined) {
  for (std::size_t k = 0; k < changed.size(); ++k) {
    const std::size_t i = first + k;
    PyObject* s;
    if (changed[k].offset != UNCHANGED) {
      zenkor::WideText text = changed[k].text;
      text.units.data = joined.data() + changed[k].offset;
      s = str_from_wide(text);
    } else {
      s = unchanged_str(PyTuple_GET_ITEM(items, static_cast<Py_ssize_t>(i)), texts[i]);
    }
    if (!s) return false;
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), s);
  }
  return true;
}

// The batch's chunks normalized by up to `jobs` threads without the lock
// (SharedBatch), while this one makes each chunk's str objects in order with
// it, into `list`.  Errors come as with one thread: the first in the order
// of the items.  False with an exception set.
bool normalize_shared_batch(const Normalizer& normalizer, PyObject* items, const std::vector<zenkor::CodeUnits>& texts,
                            std::size_t total, std::size_t jobs, PyObject* list) {
  std::optional<SharedBatch> batch;
  run_without_gil([&] { batch.emplace(normalizer, texts, total, jobs); });
  bool ok = true;
  std::exception_ptr thrown;
  for (std::size_t k = 0; ok && !thrown && k < batch->chunks(); ++k) {
    const SharedBatch::Chunk* chunk = nullptr;
    run_without_gil([&] {
      if (k > 0) batch->release(k - 1);
      chunk = &batch->wait_for(k);
    });
    if (chunk->thrown) {
      thrown = chunk->thrown;
    } else if (chunk->unencodable != UNCHANGED) {
      raise_encode_error(PyTuple_GET_ITEM(items, static_cast<Py_ssize_t>(chunk->unencodable)));
      ok = false;
    } else {
      ok = set_chunk_results(list, items, texts, chunk->first, chunk->changed, chunk->joined);
    }
  }
  // The helpers finish the chunk they are on; nothing of Python's is waited for.
  run_without_gil([&] { batch.reset(); });
  if (thrown) std::rethrow_exception(thrown);
  return ok;
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
  std::array<PyObject*, 2> bound;
  if (!bind_arguments("normalize_batch", std::array{"texts", "jobs"}, 1, args, nargs, kwnames, bound)) return nullptr;
  PyObject* texts_obj = bound[0];
  std::size_t jobs = 1;
  if (bound[1] && !jobs_argument(bound[1], "normalize_batch", jobs)) return nullptr;
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
  Ref list(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!list) return nullptr;
  // A batch of one chunk stays on this thread: there is nothing to share.
  if (jobs > 1 && total > BATCH_CHUNK_CHARS) {
    if (!normalize_shared_batch(*self->inner, items.get(), texts, total, jobs, list.get())) return nullptr;
    return list.release();
  }
  // The texts go in chunks, each normalized without the lock and then made
  // into str objects with it: another thread calling normalize_batch makes
  // its objects while this one normalizes, instead of both waiting for the
  // lock at the end.
  std::vector<Changed> changed;
  std::string joined;
  for (std::size_t first = 0; first < n;) {
    const std::size_t last = chunk_end(texts, first, BATCH_CHUNK_CHARS);
    std::size_t unencodable = UNCHANGED;
    const auto work = [&] { unencodable = normalize_chunk(*self->inner, texts, first, last, changed, joined); };
    if (total < UNLOCKED_BATCH_FROM_CHARS) {
      work();
    } else {
      run_without_gil(work);
    }
    if (unencodable != UNCHANGED) {
      return raise_encode_error(PyTuple_GET_ITEM(items.get(), static_cast<Py_ssize_t>(unencodable)));
    }
    if (!set_chunk_results(list.get(), items.get(), texts, first, changed, joined)) return nullptr;
    first = last;
  }
  return list.release();
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
