// How the study tool's modules fail: a function that can fail returns a
// Result, which holds either its value or one Failure (a one-line Spanish
// message and the exit status it stands for). Modules never print; the
// subcommands print the message and end with its status.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "study/exit_status.h"

struct Failure {
  int status = EXIT_TROUBLE;
  std::string message;  // one line, Spanish, without the program's name
};

// The value of an operation that returns nothing when it succeeds.
struct Ok {};

template <class T = Ok>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// Return a Failure with its status and message.
inline Failure fail(int status, std::string message) { return Failure{status, std::move(message)}; }
