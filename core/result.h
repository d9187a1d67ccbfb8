// Result<T, E>: what every fallible call of the core returns, either its
// value or an error value that says what went wrong.
//
// The core never throws; an error is a value with a fixed display text
// (ConfigError, SynonymDictError, ...), and the binding turns it into the
// Python exception users see.  One shape for all of them keeps call sites
// alike: test ok(), then take value() or error().
//
//   Result<Config, ConfigError> r = Config::from_entries(...);
//   if (!r.ok()) return report(r.error());
//   use(std::move(r).value());
//
// A call that has nothing to return on success returns Result<void, E>,
// whose success is written `return {};`.  A value or an error converts to a
// Result implicitly, so `return config;` and `return ConfigError{...};` both
// read as they mean.
//
// There is deliberately no conversion to bool: code that once read
// `if (auto err = call())` (an optional error, true on failure) must not
// compile against a Result with the opposite sense.  std::expected would do
// the same job, but it is C++23, and the compilers we support (GCC 12,
// clang 14) do not have it.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace zenkor {

template <typename T, typename E>
class [[nodiscard]] Result {
  static_assert(!std::is_same_v<T, E>, "a value and an error of one type could not be told apart");

 public:
  Result(T value) noexcept(std::is_nothrow_move_constructible_v<T>)
      : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) noexcept(std::is_nothrow_move_constructible_v<E>)
      : state_(std::in_place_index<1>, std::move(error)) {}

  [[nodiscard]] bool ok() const noexcept { return state_.index() == 0; }

  // REQUIRES: ok().
  [[nodiscard]] T& value() & noexcept { return *std::get_if<0>(&state_); }
  [[nodiscard]] const T& value() const& noexcept { return *std::get_if<0>(&state_); }
  [[nodiscard]] T&& value() && noexcept { return std::move(*std::get_if<0>(&state_)); }

  // REQUIRES: !ok().
  [[nodiscard]] const E& error() const& noexcept { return *std::get_if<1>(&state_); }
  [[nodiscard]] E&& error() && noexcept { return std::move(*std::get_if<1>(&state_)); }

 private:
  std::variant<T, E> state_;
};

template <typename E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() noexcept = default;  // success
  Result(E error) noexcept(std::is_nothrow_move_constructible_v<E>)
      : error_(std::move(error)) {}

  [[nodiscard]] bool ok() const noexcept { return !error_.has_value(); }

  // REQUIRES: !ok().
  [[nodiscard]] const E& error() const& noexcept { return *error_; }
  [[nodiscard]] E&& error() && noexcept { return std::move(*error_); }

 private:
  std::optional<E> error_;
};

}  // namespace zenkor
