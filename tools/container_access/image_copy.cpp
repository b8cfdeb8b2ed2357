#include "image_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "positioned_io.h"
#include "transfer.h"

namespace {

constexpr uint32_t kChunkBytes = 1u << 20;
// The granularity of holes: the page size of every file system we expect.
constexpr uint32_t kBlockBytes = 4096;

bool IsZero(const uint8_t* bytes, size_t length) {
  if (length == 0) return true;
  return bytes[0] == 0 && memcmp(bytes, bytes + 1, length - 1) == 0;
}

std::string ErrnoText(const char* what, int error) {
  return std::string(what) + ": " + strerror(error);
}

// Calls emit(begin, end, zero) for each maximal run of blocks in
// [0, length) that are all zero or all not, block 0 never counted as zero
// when keepFirst is set.
template <typename Emit>
int ForEachRun(const uint8_t* chunk, uint32_t length, bool keepFirst, Emit emit) {
  uint32_t begin = 0;
  bool runZero = false;
  for (uint32_t at = 0; at < length; at += kBlockBytes) {
    const uint32_t size = std::min(kBlockBytes, length - at);
    const bool zero = !(keepFirst && at == 0) && IsZero(chunk + at, size);
    if (at != begin && zero != runZero) {
      if (const int error = emit(begin, at, runZero)) return error;
      begin = at;
    }
    runZero = zero;
  }
  return length > begin ? emit(begin, length, runZero) : 0;
}

// Whether holes of the container read as plain zeros past its head: only in
// the first generation, which stores those sectors as written.
bool ZerosStoredAsZeros(const ContainerFile& container) {
  return container.generation() != cryptdsk::kGenerationWholeDisk;
}

// Where the next stored data at or after offset starts, aligned down to a
// chunk; size when there is none. Past the head only, and only where holes
// read as zeros in plain form too.
int64_t NextDataChunk(const ContainerFile& container, int64_t offset, int64_t size) {
  if (offset < static_cast<int64_t>(kChunkBytes) || !ZerosStoredAsZeros(container)) return offset;
  const off_t data = lseek(container.fd(), offset, SEEK_DATA);
  if (data < 0) return errno == ENXIO ? size : offset;  // no SEEK_DATA: read it all
  return std::max<int64_t>(offset, data - data % kChunkBytes);
}

}  // namespace

int ExportImage(const ContainerFile& container, const cryptdsk::ImageCipher& cipher, int outFd,
                std::string* reason) {
  std::vector<uint8_t> chunk(kChunkBytes);
  const int64_t size = container.size();
  int64_t offset = 0;
  while ((offset = NextDataChunk(container, offset, size)) < size) {
    const uint32_t length = static_cast<uint32_t>(std::min<int64_t>(kChunkBytes, size - offset));
    if (const int error = container.Read(cipher, offset, chunk.data(), length)) {
      *reason = ErrnoText("cannot read the container", error);
      return -1;
    }
    const int error = ForEachRun(chunk.data(), length, false, [&](uint32_t b, uint32_t e, bool z) {
      return z ? 0 : TransferAllAt(pwrite, outFd, chunk.data() + b, e - b, offset + b);
    });
    if (error != 0) {
      *reason = ErrnoText("cannot write the image", error);
      return -1;
    }
    offset += length;
  }
  if (ftruncate(outFd, size) != 0 || fsync(outFd) != 0) {
    *reason = ErrnoText("cannot finish the image", errno);
    return -1;
  }
  return 1;
}

int ImportImage(const ContainerFile& container, const cryptdsk::ImageCipher& cipher, int inFd,
                std::string* reason) {
  std::vector<uint8_t> chunk(kChunkBytes);
  bool canPunch = ZerosStoredAsZeros(container);
  const int64_t size = container.size();
  for (int64_t offset = 0; offset < size;) {
    const uint32_t length = static_cast<uint32_t>(std::min<int64_t>(kChunkBytes, size - offset));
    if (const int error = TransferAllAt(pread, inFd, chunk.data(), length, offset)) {
      *reason = ErrnoText("cannot read the image", error);
      return -1;
    }
    // The head's stored form of zeros is not zeros: block 0 is always written.
    const int error =
        ForEachRun(chunk.data(), length, offset == 0, [&](uint32_t b, uint32_t e, bool z) {
          if (z && canPunch) {
            if (fallocate(container.fd(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset + b,
                          e - b) == 0)
              return 0;
            if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
            canPunch = false;
          }
          return container.Write(cipher, offset + b, chunk.data() + b, e - b);
        });
    if (error != 0) {
      *reason = ErrnoText("cannot write the container", error);
      return -1;
    }
    offset += length;
  }
  if (const int error = container.Flush()) {
    *reason = ErrnoText("cannot flush the container", error);
    return -1;
  }
  return 1;
}
