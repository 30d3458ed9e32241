// A value or the description of what went wrong; errors are values here, never exceptions.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kovant::dict {

struct Error {
  std::string description;  // UTF-8, for the user
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

// The first error of a walk whose visitor can only answer "go on" (true) or
// "stop" (false): the visitor stops with Stop(error), the caller adds the
// walk's own error with Note(walked) and then looks at the error.
class WalkError {
 public:
  // Keeps the error (the first one only) and answers "stop".
  bool Stop(Error error) {
    if (!error_) error_ = std::move(error);
    return false;
  }
  template <typename T>
  void Note(const Result<T>& walked) {
    if (!walked) Stop(walked.error());
  }
  explicit operator bool() const { return error_.has_value(); }
  const Error& error() const { return *error_; }
  std::optional<Error> Take() {
    std::optional<Error> taken = std::move(error_);
    error_.reset();
    return taken;
  }

 private:
  std::optional<Error> error_;
};

}  // namespace kovant::dict
