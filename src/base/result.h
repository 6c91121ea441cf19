// Result<T, E>: the value of a fallible operation or its error, never both.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace quarn {

// Wraps an error so that Result<T, E> stays unambiguous even when T and E are the same type.
template <class E>
struct Failure {
  E error;
};

// Builds the error side of a Result: `return fail(ReadError::kEndOfInput);`
template <class E>
Failure<std::decay_t<E>> fail(E&& error) {
  return Failure<std::decay_t<E>>{std::forward<E>(error)};
}

// The success value of an operation that returns nothing.
struct Done {};

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
  Result(Failure<E> failure)                                             // NOLINT: implicit
      : state_(std::in_place_index<1>, std::move(failure.error)) {}
  template <class F>
  requires(std::is_convertible_v<F, E> && !std::is_same_v<F, E>)
      Result(Failure<F> failure)  // NOLINT: implicit
      : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // Accessors; calling the wrong one is a programming error (std::get throws).
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const E& error() const { return std::get<1>(state_); }
  E& error() { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

}  // namespace quarn
