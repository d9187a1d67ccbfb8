// The borrow flag of a Normalizer object: the guards that every method holds
// while it reads or replaces the object's C++ normalizer.
//
// Normalizing and reading take a shared borrow, dictionary changes an
// exclusive one.  A conflict fails at once with RuntimeError and never
// waits: a shared borrow is given back only once its holder has the
// interpreter lock again, so a method that waited for one while holding the
// lock would wait forever.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "py/normalizer_object.h"

namespace zenkor::py {

// Shared borrows count up from 0; an exclusive borrow is EXCLUSIVE.
constexpr std::intptr_t EXCLUSIVE = -1;

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
inline bool not_mutably_borrowed(PyNormalizer* self) {
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

}  // namespace zenkor::py
