// The operating-system calls of cryptelle-tool, behind one table so that
// tests can fail any of them and supply fixed random bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>

#include "account_file_store.h"

struct ToolSystem {
  // 1 with length bytes written, -1 on failure.
  int (*randomBytes)(uint8_t* destination, size_t length);
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, size_t length);
  ssize_t (*write)(int fd, const void* buffer, size_t length);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// getrandom and the plain POSIX calls.
ToolSystem DefaultToolSystem();

// The account files' store on these calls. New files get mode 0600; a
// replace flushes the folder as well, so the rename itself is durable.
// error() holds the errno of the last failed call.
class ToolFileStore final : public AccountFileStore<char> {
 public:
  explicit ToolFileStore(const ToolSystem& system) : system_(system) {}
  StoreWrite CreateNewAndWrite(const char* path, const uint8_t* bytes, size_t length) override;
  bool Replace(const char* from, const char* to) override;
  void Remove(const char* path) override { system_.unlink(path); }
  int error() const { return error_; }

 private:
  const ToolSystem& system_;
  int error_ = 0;
};

// Flushes the folder that holds path, so that a rename into it is durable.
void FlushFolderOf(const ToolSystem& system, const char* path);

// Reads up to capacity bytes; *size gets how many, *whole whether the file
// ended there (false when it has more bytes). 1, or -1 with errno in *error
// (ELOOP when path is a symbolic link, which is never followed).
int ReadFilePrefix(const ToolSystem& system, const char* path, uint8_t* buffer, size_t capacity,
                   size_t* size, bool* whole, int* error);

// The first 804 bytes of a user key file; a longer file is fine. 1, or -1
// with *reason (unreadable, or shorter).
int ReadKeyFile(const ToolSystem& system, const char* path, uint8_t* file, std::string* reason);
