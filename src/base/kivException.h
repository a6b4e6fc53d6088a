#pragma once
// The failures of the framework: one base with a message, and the stream layer's two errors.

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
