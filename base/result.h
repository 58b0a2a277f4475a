#pragma once
// A value, or the reason there is none: what a step that can fail returns,
// so that the user reads why ("frame 3: truncated"), not only that it failed.

#include <optional>
#include <string>
#include <utility>

namespace trovabild {

template <class T>
struct Result {
  std::optional<T> value;
  std::string reason;  ///< empty when value is set

  static Result success(T v) { return Result{std::optional<T>(std::move(v)), {}}; }
  static Result failure(std::string why) { return Result{std::nullopt, std::move(why)}; }

  explicit operator bool() const { return value.has_value(); }
  T& operator*() { return *value; }
  const T& operator*() const { return *value; }
  T* operator->() { return &*value; }
  const T* operator->() const { return &*value; }
};

}  // namespace trovabild
