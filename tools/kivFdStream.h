#pragma once
// The bytes of a page written straight to an open file or to standard output, as they come:
// a whole file's page is never held whole.

#include "base/kivStream.h"

class TkivFdStream : public TStream {
public:
  // Fd stays open: its owner closes it.
  explicit TkivFdStream(int Fd) : Fd(Fd) {}
  // What has been written.
  int64_t GetSize() const override { return Written; }
  int64_t GetPosition() const override { return Written; }
  // Write only, in order: there is nowhere else to go.
  void SetPosition(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }
  // All of the bytes, or none counted (WriteBuffer then throws EWriteError).
  int64_t Write(const void* Buffer, int64_t Count) override;

private:
  int Fd;
  int64_t Written = 0;
};
