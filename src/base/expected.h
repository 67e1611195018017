// The one way a fallible step reports: either its value or an Error, never both. A result
// must be looked at ([[nodiscard]]); one that is deliberately not looked at goes through
// Ignore with the reason, so a dropped result is always visible where it is dropped.
#pragma once

#include <string>
#include <utility>
#include <variant>

// Why a step failed: a code of the step's own domain (an enum of its own, an exit code, a host
// error number), each its own type, so codes of two domains can neither be mixed nor compared;
// and, where the step has one, a text for the log.
template <typename Code>
struct Error {
  Code code{};
  std::string text;
};

template <typename Code>
Error<Code> MakeError(Code code, std::string text = std::string()) {
  return Error<Code>{code, std::move(text)};
}

template <typename T, typename Code>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Error<Code> error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error<Code>& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error<Code>> state_;
};

// A step with nothing to return but success.
template <typename Code>
class [[nodiscard]] Expected<void, Code> {
 public:
  Expected() = default;
  Expected(Error<Code> error) : failed_(true), error_(std::move(error)) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error<Code>& error() const { return error_; }

 private:
  bool failed_ = false;
  Error<Code> error_;
};

// Drops a result on purpose; reason says why the caller needs neither its value nor its error.
template <typename T, typename Code>
void Ignore(const Expected<T, Code>& result, const char* reason) {
  static_cast<void>(result);
  static_cast<void>(reason);
}
