#pragma once
// The framework's exception classes. Every error the library raises is an Exception (or a descendant)
// carrying its complete message text.
#include <exception>
#include <string>

namespace rulecraft {

class Exception : public std::exception {
 public:
  explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const noexcept { return FMessage; }

 private:
  std::string FMessage;
};

/// A conversion or formatting failure (bad number text, a format directive that does not fit its argument,
/// an assignment between incompatible objects).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

/// An index outside a list's bounds.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

/// A class name that is not in the class registry.
class EClassNotFound : public Exception {
 public:
  using Exception::Exception;
};

/// Floating-point and integer arithmetic failures (division by zero, overflow, invalid operation).
class EMathError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace rulecraft
