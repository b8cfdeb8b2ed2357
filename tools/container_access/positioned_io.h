// Transfers at a file offset: pread or pwrite until every byte has moved,
// an interrupted call tried again.
#pragma once

#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

// call is pread or pwrite. *done gets how many bytes moved: all of them, or
// fewer when a read met the end of the file or a write moved nothing.
// 0, or the errno of the failed call.
template <typename Byte, typename Call>
int TransferAt(Call call, int fd, Byte* bytes, size_t length, int64_t offset, size_t* done) {
  *done = 0;
  while (*done < length) {
    const ssize_t moved = call(fd, bytes + *done, length - *done, offset + *done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0) return errno;
    if (moved == 0) break;
    *done += static_cast<size_t>(moved);
  }
  return 0;
}

// As TransferAt, a short transfer failing with EIO.
template <typename Byte, typename Call>
int TransferAllAt(Call call, int fd, Byte* bytes, size_t length, int64_t offset) {
  size_t done = 0;
  const int error = TransferAt(call, fd, bytes, length, offset, &done);
  return error != 0 ? error : done == length ? 0 : EIO;
}
