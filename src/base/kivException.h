#pragma once
// The failures of the framework: one base with a message, the stream layer's errors and the
// decoders' own.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

class EReadError : public Exception {
public:
  EReadError() : Exception("Stream read error") {}
};

class EWriteError : public Exception {
public:
  EWriteError() : Exception("Stream write error") {}
};

class EFOpenError : public Exception {
public:
  explicit EFOpenError(const std::string& FileName)
      : Exception("Cannot open file \"" + FileName + "\"") {}
};

// Data that a decoder cannot make sense of (a library's refusal, a value that contradicts the
// rest). With EReadError it is all that decoders catch: any other exception is a fault of
// ours and goes on to the guard at the library's entry points.
class EkivDecodeError : public Exception {
public:
  using Exception::Exception;
};

// The message of the exception being handled; call only inside a catch block.
inline std::string ExceptionText() {
  try {
    throw;
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
    return "unknown error";
  }
}
