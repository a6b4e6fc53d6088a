#include "kivFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFileForWriting(const std::string& Path, bool& NotRegular) {
  NotRegular = false;
  // A few rounds, for a name that comes and goes while it is looked at.
  for (int Tries = 0; Tries < 3; ++Tries) {
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (Fd >= 0 || errno != EEXIST) return Fd;
    // Something is there. Only a regular file is opened: a device is not even opened, since
    // opening one may do something; the file opened is then looked at once more, so that what
    // is written to is what was looked at.
    struct stat Status;
    if (::lstat(Path.c_str(), &Status) != 0) {
      if (errno == ENOENT) continue;
      return -1;
    }
    if (!S_ISREG(Status.st_mode)) {
      NotRegular = true;
      return -1;
    }
    const int Existing =
        ::open(Path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Existing < 0) {
      if (errno == ENOENT) continue;
      NotRegular = errno == ELOOP || errno == ENXIO;
      return -1;
    }
    if (::fstat(Existing, &Status) != 0 || !S_ISREG(Status.st_mode) ||
        ::ftruncate(Existing, 0) != 0) {
      NotRegular = !S_ISREG(Status.st_mode);
      ::close(Existing);
      return -1;
    }
    return Existing;
  }
  return -1;
}

bool WriteAll(int Fd, std::string_view Bytes) {
  while (!Bytes.empty()) {
    const ssize_t N = ::write(Fd, Bytes.data(), Bytes.size());
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) return false;
    Bytes.remove_prefix(size_t(N));
  }
  return true;
}
