// The operating-system calls of cryptelle-tool, behind one table so that
// tests can fail any of them and supply fixed random bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

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

// Results of the file helpers below.
enum class FileResult { kOk, kExists, kMissing, kFailed };

// Creates path exclusively (never overwrites), writes all bytes and flushes
// them to the disk. A file this call created is removed again when a later
// step fails. errno-style detail goes to *error.
FileResult WriteNewFile(const ToolSystem& system, const char* path, const uint8_t* bytes,
                        size_t length, int* error);

// Reads up to capacity bytes; *size gets how many, *whole whether the file
// ended there (false when it has more bytes).
FileResult ReadFilePrefix(const ToolSystem& system, const char* path, uint8_t* buffer,
                          size_t capacity, size_t* size, bool* whole, int* error);

// Replaces to with from in one step and flushes the folder, so a crash leaves
// either file whole.
FileResult ReplaceFile(const ToolSystem& system, const char* from, const char* to, int* error);
