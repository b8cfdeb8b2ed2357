#include "tool_system.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <unistd.h>

#include "secure_wipe.h"

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

void ReleaseKdfMemory(void* memory, size_t size) {
  SecureWipe(memory, size);
  free(memory);
}

}  // namespace

ToolSystem DefaultToolSystem() {
  return ToolSystem{SystemRandomBytes, OpenFile, ::read,
                    ::write,           ::fsync,  ::close,
                    ::rename,          ::unlink, {malloc, ReleaseKdfMemory}};
}

StoreWrite ToolFileStore::CreateNewAndWrite(const char* path, const uint8_t* bytes, size_t length) {
  const int fd = system_.open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = errno;
    return error_ == EEXIST ? StoreWrite::kExists : StoreWrite::kNotCreated;
  }
  size_t done = 0;
  int error = 0;
  while (error == 0 && done < length) {
    const ssize_t written = system_.write(fd, bytes + done, length - done);
    if (written > 0)
      done += static_cast<size_t>(written);
    else if (written == 0)
      error = ENOSPC;
    else if (errno != EINTR)
      error = errno;
  }
  if (error == 0 && system_.fsync(fd) != 0) error = errno;
  if (system_.close(fd) != 0 && error == 0) error = errno;
  if (error == 0) return StoreWrite::kWritten;
  error_ = error;
  return StoreWrite::kCreatedNotWhole;
}

bool ToolFileStore::Replace(const char* from, const char* to) {
  if (system_.rename(from, to) != 0) {
    error_ = errno;
    return false;
  }
  FlushFolderOf(system_, to);
  return true;
}

void FlushFolderOf(const ToolSystem& system, const char* path) {
  const int folder = system.open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (folder >= 0) {
    system.fsync(folder);
    system.close(folder);
  }
}

int ReadFilePrefix(const ToolSystem& system, const char* path, uint8_t* buffer, size_t capacity,
                   size_t* size, bool* whole, int* error) {
  const int fd = system.open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW, 0);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  size_t done = 0;
  int result = 1;
  for (;;) {
    uint8_t probe;
    const bool full = done == capacity;
    const ssize_t got =
        full ? system.read(fd, &probe, 1) : system.read(fd, buffer + done, capacity - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      result = -1;
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

int ReadUserKeyFile(const ToolSystem& system, const char* path, UserKeyFileBytes* file,
                    std::string* reason) {
  size_t size = 0;
  bool whole = false;
  int error = 0;
  if (ReadFilePrefix(system, path, file->bytes, kUserKeyFileSize, &size, &whole, &error) != 1) {
    *reason = std::string("cannot read key file ") + path + ": " +
              (error == ELOOP ? "it is a symbolic link, which is never followed" : strerror(error));
    return -1;
  }
  // The magic alone, whatever the size.
  const bool secondMagic = size >= kKeyFileV2Size && IsKeyFileV2(file->bytes, kKeyFileV2Size);
  file->secondGeneration = secondMagic && size == kKeyFileV2Size && whole;
  if (file->secondGeneration || (size == kUserKeyFileSize && !secondMagic)) return 1;
  *reason = std::string("key file ") + path +
            (secondMagic ? " starts as a second-generation key file but is not 736 bytes"
                         : " is shorter than 804 bytes and not a second-generation key file");
  return -1;
}
