// The operating-system calls of cryptelle-tool, behind one table so that
// tests can fail any of them and supply fixed random bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>

#include "account_file_store.h"
#include "account_records.h"
#include "key_file_v2.h"

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
  KdfMemory kdfMemory;  // Argon2id's working memory
};

// getrandom, the plain POSIX calls, and malloc for Argon2id (wiped before
// it is freed).
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

// A user key file of either generation: the first 804 bytes of a first-
// generation one (a longer file is fine), or the whole 736 of a second-
// generation one, told apart by size and magic.
struct UserKeyFileBytes {
  uint8_t bytes[kUserKeyFileSize];
  bool secondGeneration;
};

// 1, or -1 with *reason (unreadable, shorter than 804 bytes and not a
// second-generation key file, or a second-generation magic on a file that
// is not 736 bytes).
int ReadUserKeyFile(const ToolSystem& system, const char* path, UserKeyFileBytes* file,
                    std::string* reason);
