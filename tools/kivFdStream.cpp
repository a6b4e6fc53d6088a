#include "kivFdStream.h"

#include <string_view>

#include "kivFiles.h"

int64_t TkivFdStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!WriteAll(Fd, std::string_view(static_cast<const char*>(Buffer), size_t(Count)))) return 0;
  Written += Count;
  return Count;
}
