#include "tool_system.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <string>

namespace {

int SystemRandomBytes(uint8_t* destination, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t got = getrandom(destination + done, length - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<size_t>(got);
  }
  return 1;
}

int OpenFile(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

std::string FolderOf(const char* path) {
  const std::string text(path);
  const size_t slash = text.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return text.substr(0, slash);
}

}  // namespace

ToolSystem DefaultToolSystem() {
  return ToolSystem{SystemRandomBytes, OpenFile, ::read,   ::write,
                    ::fsync,           ::close,  ::rename, ::unlink};
}

FileResult WriteNewFile(const ToolSystem& system, const char* path, const uint8_t* bytes,
                        size_t length, int* error) {
  const int fd = system.open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = errno;
    return *error == EEXIST ? FileResult::kExists : FileResult::kFailed;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < length) {
    const ssize_t written = system.write(fd, bytes + done, length - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = written == 0 ? ENOSPC : errno;
      ok = false;
    } else {
      done += static_cast<size_t>(written);
    }
  }
  if (ok && system.fsync(fd) != 0) {
    *error = errno;
    ok = false;
  }
  if (system.close(fd) != 0 && ok) {
    *error = errno;
    ok = false;
  }
  if (ok) return FileResult::kOk;
  system.unlink(path);
  return FileResult::kFailed;
}

FileResult ReadFilePrefix(const ToolSystem& system, const char* path, uint8_t* buffer,
                          size_t capacity, size_t* size, bool* whole, int* error) {
  const int fd = system.open(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) {
    *error = errno;
    return *error == ENOENT ? FileResult::kMissing : FileResult::kFailed;
  }
  size_t done = 0;
  FileResult result = FileResult::kOk;
  for (;;) {
    uint8_t probe;
    const bool full = done == capacity;
    const ssize_t got =
        full ? system.read(fd, &probe, 1) : system.read(fd, buffer + done, capacity - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      result = FileResult::kFailed;
      break;
    }
    if (got == 0) {
      *whole = true;
      break;
    }
    if (full) {
      *whole = false;
      break;
    }
    done += static_cast<size_t>(got);
  }
  system.close(fd);
  *size = done;
  return result;
}

FileResult ReplaceFile(const ToolSystem& system, const char* from, const char* to, int* error) {
  if (system.rename(from, to) != 0) {
    *error = errno;
    return FileResult::kFailed;
  }
  // Make the rename itself durable.
  const int folder = system.open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (folder >= 0) {
    system.fsync(folder);
    system.close(folder);
  }
  return FileResult::kOk;
}
