#include "arena/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kestrovan {

namespace {

// Closes a file descriptor when it goes out of scope.
class TDescriptor {
 public:
  explicit TDescriptor(int Descriptor) : descriptor_(Descriptor) {}
  ~TDescriptor() {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return descriptor_; }

 private:
  int descriptor_;
};

[[noreturn]] void Fail(int Error) {
  if (Error == ENOENT) {
    throw TInputFileError("File not found");
  }
  throw TInputFileError(std::strerror(Error));
}

std::string Megabytes(std::size_t Bytes) { return std::to_string(Bytes / (1024u * 1024u)) + " MB"; }

// True for a FIFO that has a name in the file system (mkfifo), as opposed to
// an anonymous pipe reached through /dev/stdin or /dev/fd/N, whose link
// names no file ("pipe:[...]").
bool IsNamedFifo(const std::string& FileName) {
  char resolved[PATH_MAX];
  if (::realpath(FileName.c_str(), resolved) == nullptr) {
    return false;
  }
  struct stat status {};
  return ::lstat(resolved, &status) == 0 && S_ISFIFO(status.st_mode);
}

const char* KindOf(mode_t Mode) {
  if (S_ISDIR(Mode)) {
    return "a folder";
  }
  if (S_ISFIFO(Mode)) {
    return "a named FIFO";
  }
  if (S_ISCHR(Mode) || S_ISBLK(Mode)) {
    return "a device";
  }
  if (S_ISSOCK(Mode)) {
    return "a socket";
  }
  return "not a file";
}

}  // namespace

std::string ReadInputFile(const std::string& FileName, std::size_t MaximumSize) {
  // non-blocking, so that opening a FIFO without a writer returns at once
  const TDescriptor file(::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) {
    Fail(errno);
  }
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) {
    Fail(errno);
  }
  const bool pipe = S_ISFIFO(status.st_mode) && !IsNamedFifo(FileName);
  if (!S_ISREG(status.st_mode) && !pipe) {
    throw TInputFileError(std::string("not a regular file (") + KindOf(status.st_mode) + ")");
  }
  if (S_ISREG(status.st_mode) && static_cast<std::uintmax_t>(status.st_size) > MaximumSize) {
    throw TInputFileError("file larger than " + Megabytes(MaximumSize));
  }
  // a pipe is read to its end, waiting for its writer
  const int flags = ::fcntl(file.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    Fail(errno);
  }

  std::string content;
  if (S_ISREG(status.st_mode)) {
    content.reserve(static_cast<std::size_t>(status.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      Fail(errno);
    }
    if (count == 0) {
      break;
    }
    if (content.size() + static_cast<std::size_t>(count) > MaximumSize) {
      throw TInputFileError("file larger than " + Megabytes(MaximumSize));
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
  return content;
}

std::string EscapeControlCharacters(std::string_view Text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(Text.size());
  for (const char c : Text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace kestrovan
