// The runtime's base exception: an 8-bit message text and nothing else.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vantro {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// Errors of the runtime's own classes (streams, lists).
class EStreamError : public Exception {
  using Exception::Exception;
};
class EListError : public Exception {
  using Exception::Exception;
};

}  // namespace vantro
