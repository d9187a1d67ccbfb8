// References and the interpreter lock, as every source of the extension
// module holds them.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace zenkor::py {

// Owns one strong reference.
class Ref {
 public:
  Ref() = default;
  explicit Ref(PyObject* o) noexcept : o_(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : o_(std::exchange(other.o_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    Py_XSETREF(o_, std::exchange(other.o_, nullptr));
    return *this;
  }
  ~Ref() { Py_XDECREF(o_); }
  [[nodiscard]] PyObject* get() const noexcept { return o_; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(o_, nullptr); }
  explicit operator bool() const noexcept { return o_ != nullptr; }

 private:
  PyObject* o_ = nullptr;
};

// Releases the interpreter lock for its lifetime.
class WithoutGil {
 public:
  WithoutGil() noexcept : state_(PyEval_SaveThread()) {}
  WithoutGil(const WithoutGil&) = delete;
  WithoutGil& operator=(const WithoutGil&) = delete;
  ~WithoutGil() { PyEval_RestoreThread(state_); }

 private:
  PyThreadState* state_;
};

// Runs `work` without the interpreter lock.
template <typename Work>
void run_without_gil(Work&& work) {
  WithoutGil unlocked;
  work();
}

}  // namespace zenkor::py
