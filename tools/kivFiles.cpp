#include "kivFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

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

namespace {
// Undoes the percent-encoding of a file: URL's path; an escape that is not one stays as it is.
std::string PercentDecoded(std::string_view Url) {
  const auto Digit = [](char C) {
    return C >= '0' && C <= '9'   ? C - '0'
           : C >= 'A' && C <= 'F' ? C - 'A' + 10
           : C >= 'a' && C <= 'f' ? C - 'a' + 10
                                  : -1;
  };
  std::string Path;
  for (size_t I = 0; I < Url.size(); ++I) {
    if (Url[I] == '%' && I + 2 < Url.size() && Digit(Url[I + 1]) >= 0 && Digit(Url[I + 2]) >= 0) {
      Path += static_cast<char>(Digit(Url[I + 1]) * 16 + Digit(Url[I + 2]));
      I += 2;
    } else {
      Path += Url[I];
    }
  }
  return Path;
}

} // namespace

std::vector<std::string> PicturesOfPage(const std::string& PagePath) {
  namespace fs = std::filesystem;
  const fs::path Directory = fs::path(PagePath).parent_path();
  std::vector<std::string> Pictures;
  const int Fd = ::open(PagePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (Fd < 0) return Pictures;
  // Read a piece at a time: a page may be far larger than its references. A reference longer
  // than any path is no picture of ours.
  static constexpr std::string_view Mark = "SRC=\"file://";
  static constexpr size_t Longest = 3 * 4096;
  std::string Window;
  char Buffer[65536];
  for (ssize_t N; (N = ::read(Fd, Buffer, sizeof Buffer)) > 0;) {
    Window.append(Buffer, size_t(N));
    size_t Done = 0;
    for (size_t At; (At = Window.find(Mark, Done)) != std::string::npos;) {
      const size_t Begin = At + Mark.size(), End = Window.find('"', Begin);
      if (End == std::string::npos) break;
      Done = End + 1;
      if (End - Begin > Longest) continue;
      const fs::path Picture = PercentDecoded(std::string_view(Window).substr(Begin, End - Begin));
      if (Picture.parent_path() == Directory && IsPictureFileName(Picture.filename().string()))
        Pictures.push_back(Picture.string());
    }
    Window.erase(0, std::max(Done, Window.size() - std::min(Window.size(), Mark.size() + Longest)));
  }
  ::close(Fd);
  return Pictures;
}

bool IsPictureFileName(const std::string& Name) {
  return Name.starts_with("kivBMP") && Name.ends_with(".bmp");
}

void RemovePictures(const std::vector<std::string>& Paths) {
  for (const std::string& Path : Paths) {
    struct stat Status;
    if (::lstat(Path.c_str(), &Status) == 0 && S_ISREG(Status.st_mode)) ::unlink(Path.c_str());
  }
}
