#include "transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sector_cipher.h"

namespace cryptdsk {
namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                          0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                          0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};

// The second generation's data key, then its tweak key.
const uint8_t kXtsKey[64] = {
    0x27, 0x18, 0x28, 0x18, 0x28, 0x45, 0x90, 0x45, 0x23, 0x53, 0x60, 0x28, 0x74, 0x71, 0x35, 0x26,
    0x62, 0x49, 0x77, 0x57, 0x24, 0x70, 0x93, 0x69, 0x99, 0x59, 0x57, 0x49, 0x66, 0x96, 0x76, 0x27,
    0x31, 0x41, 0x59, 0x26, 0x53, 0x58, 0x97, 0x93, 0x23, 0x84, 0x62, 0x64, 0x33, 0x83, 0x27, 0x95,
    0x02, 0x88, 0x41, 0x97, 0x16, 0x93, 0x99, 0x37, 0x51, 0x05, 0x82, 0x09, 0x74, 0x94, 0x45, 0x92};

// Independent oracle: OpenSSL's AES-256-CBC without padding over `length`
// bytes, IV = sector number as 16 little-endian bytes.
Bytes OracleCbc(bool encrypt, const uint8_t* data, size_t length, uint64_t sector) {
  uint8_t iv[16] = {};
  for (int i = 0; i < 8; ++i) iv[i] = static_cast<uint8_t>(sector >> (8 * i));
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, kKey, iv, encrypt ? 1 : 0);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  Bytes out(length + 16);
  int n = 0;
  int tail = 0;
  EVP_CipherUpdate(ctx, out.data(), &n, data, static_cast<int>(length));
  EVP_CipherFinal_ex(ctx, out.data() + n, &tail);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(length);
  return out;
}

// What the disk must store for `plain` written at sector-aligned `offset`:
// sectors 0-3 encrypted by their own number, whole blocks only; the rest as is.
Bytes StoredForm(const Bytes& plain, int64_t offset) {
  Bytes stored = plain;
  for (size_t done = 0; done < plain.size(); done += 512) {
    const uint64_t sector = static_cast<uint64_t>(offset) / 512 + done / 512;
    if (sector >= 4) break;
    const size_t bytes = std::min<size_t>(512, plain.size() - done) / 16 * 16;
    const Bytes sealed = OracleCbc(true, plain.data() + done, bytes, sector);
    std::copy(sealed.begin(), sealed.end(), stored.begin() + done);
  }
  return stored;
}

// Independent oracle: OpenSSL's AES-256-XTS, one data unit per 512-byte
// sector, tweak = sector number as 16 little-endian bytes.
Bytes OracleXts(bool encrypt, const Bytes& data, uint64_t firstSector) {
  Bytes out(data.size());
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (size_t done = 0; done < data.size(); done += 512) {
    uint8_t tweak[16] = {};
    const uint64_t sector = firstSector + done / 512;
    for (int i = 0; i < 8; ++i) tweak[i] = static_cast<uint8_t>(sector >> (8 * i));
    int n = 0;
    EVP_CipherInit_ex(ctx, EVP_aes_256_xts(), nullptr, kXtsKey, tweak, encrypt ? 1 : 0);
    EVP_CipherUpdate(ctx, out.data() + done, &n, data.data() + done, 512);
  }
  EVP_CIPHER_CTX_free(ctx);
  return out;
}

Bytes Pattern(size_t length, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(length);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A real container file in the temp folder, driven through pread/pwrite, with
// every file call counted and an optional fault injected at the seam. Its
// disk is `size` bytes; a second-generation file has the backup area after it.
class ContainerFile {
 public:
  explicit ContainerFile(int64_t size, uint32_t generation = kGenerationHeadOnly,
                         uint32_t bounceBytes = kEncryptedAreaBytes)
      : bounce_(bounceBytes) {
    char path[] = "/tmp/cryptdsk-transfer-XXXXXX";
    fd_ = mkstemp(path);
    path_ = path;
    const bool wholeDisk = generation == kGenerationWholeDisk;
    EXPECT_EQ(ftruncate(fd_, size + (wholeDisk ? kWholeDiskBackupAreaBytes : 0)), 0);
    size_ = size;
    EXPECT_EQ(ImageCipherSetKey(&cipher_, generation, wholeDisk ? kXtsKey : kKey,
                                wholeDisk ? sizeof(kXtsKey) : sizeof(kKey), kXtsEngineBest),
              1);
    io_.Context = this;
    io_.Read = &ContainerFile::ReadAt;
    io_.Write = &ContainerFile::WriteAt;
  }
  ~ContainerFile() {
    close(fd_);
    unlink(path_.c_str());
  }

  TransferResult Read(int64_t offset, Bytes& buffer) {
    return ReadImage(io_, &cipher_, size_, offset, buffer.data(),
                     static_cast<uint32_t>(buffer.size()));
  }
  TransferResult Write(int64_t offset, const Bytes& buffer) {
    return WriteImage(io_, &cipher_, Bounce(), size_, offset, buffer.data(),
                      static_cast<uint32_t>(buffer.size()));
  }
  TransferResult WriteThrough(int64_t offset, const Bytes& buffer) {
    return WriteImageThrough(io_, &ContainerFile::Flush, &cipher_, Bounce(), size_, offset,
                             buffer.data(), static_cast<uint32_t>(buffer.size()));
  }
  Bytes Stored(int64_t offset, size_t length) const {
    Bytes bytes(length);
    EXPECT_EQ(pread(fd_, bytes.data(), length, offset), static_cast<ssize_t>(length));
    return bytes;
  }
  int64_t FileSize() const {
    struct stat status;
    EXPECT_EQ(fstat(fd_, &status), 0);
    return status.st_size;
  }
  const Bytes& BounceBytes() const { return bounce_; }
  void Store(int64_t offset, const Bytes& bytes) {
    EXPECT_EQ(pwrite(fd_, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
  }

  int FileCalls = 0;
  uint32_t ShortenWritesBy = 0;  // reported count = asked - this
  NtStatus FailWith = kStatusSuccess;
  NtStatus FlushFailsWith = kStatusSuccess;
  std::string Log;  // 'w' per write, 'f' per flush that reached the file

 private:
  static NtStatus ReadAt(void* context, uint8_t* buffer, uint32_t length, int64_t offset,
                         uint32_t* done) {
    auto* self = static_cast<ContainerFile*>(context);
    ++self->FileCalls;
    *done = 0;
    if (self->FailWith != kStatusSuccess) return self->FailWith;
    const ssize_t n = pread(self->fd_, buffer, length, offset);
    if (n < 0) return kStatusUnsuccessful;
    *done = static_cast<uint32_t>(n);
    return n == 0 && length != 0 ? kStatusEndOfFile : kStatusSuccess;
  }
  static NtStatus WriteAt(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                          uint32_t* done) {
    auto* self = static_cast<ContainerFile*>(context);
    ++self->FileCalls;
    *done = 0;
    if (self->FailWith != kStatusSuccess) return self->FailWith;
    const uint32_t asked = length > self->ShortenWritesBy ? length - self->ShortenWritesBy : 0;
    const ssize_t n = pwrite(self->fd_, buffer, asked, offset);
    if (n < 0) return kStatusUnsuccessful;
    self->Log += 'w';
    *done = static_cast<uint32_t>(n);
    return kStatusSuccess;
  }
  static NtStatus Flush(void* context) {
    auto* self = static_cast<ContainerFile*>(context);
    if (self->FlushFailsWith != kStatusSuccess) return self->FlushFailsWith;
    if (fsync(self->fd_) != 0) return kStatusUnsuccessful;
    self->Log += 'f';
    return kStatusSuccess;
  }

  int fd_ = -1;
  std::string path_;
  int64_t size_ = 0;
  BounceBuffer Bounce() { return {bounce_.data(), static_cast<uint32_t>(bounce_.size())}; }

  ImageCipher cipher_{};
  Bytes bounce_;
  ImageFileIo io_{};
};

constexpr int64_t kDiskSize = 1 << 20;

TEST(ReadImage, Read512AtZeroIsCbcDecryptionWithZeroIv) {
  ContainerFile disk(kDiskSize);
  const Bytes stored = Pattern(512, 1);
  disk.Store(0, stored);
  Bytes buffer(512);
  const TransferResult r = disk.Read(0, buffer);
  EXPECT_EQ(r.Status, kStatusSuccess);
  EXPECT_EQ(r.Information, 512u);
  EXPECT_EQ(buffer, OracleCbc(false, stored.data(), 512, 0));
}

TEST(WriteImage, Write4096AtZeroEncryptsFirst2048BytesPerSectorAndKeepsTheRest) {
  ContainerFile disk(kDiskSize);
  const Bytes plain = Pattern(4096, 2);
  const TransferResult w = disk.Write(0, plain);
  EXPECT_EQ(w.Status, kStatusSuccess);
  EXPECT_EQ(w.Information, 4096u);
  const Bytes stored = disk.Stored(0, 4096);
  for (uint64_t s = 0; s < 4; ++s) {
    EXPECT_EQ(Bytes(stored.begin() + 512 * s, stored.begin() + 512 * (s + 1)),
              OracleCbc(true, plain.data() + 512 * s, 512, s))
        << "sector " << s;
  }
  EXPECT_EQ(Bytes(stored.begin() + 2048, stored.end()), Bytes(plain.begin() + 2048, plain.end()));
  Bytes back(4096);
  EXPECT_EQ(disk.Read(0, back).Information, 4096u);
  EXPECT_EQ(back, plain);
}

TEST(WriteImage, ZerosAtZeroStoreEncryptionOfZeroAndOfSectorOneIv) {
  ContainerFile disk(kDiskSize);
  const Bytes zeros(1024, 0);
  disk.Write(0, zeros);
  const Bytes stored = disk.Stored(0, 1024);
  const Bytes zeroBlock(16, 0);
  Bytes ivOne(16, 0);
  ivOne[0] = 1;
  // CBC of a zero block is the encryption of the IV itself.
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 16), OracleCbc(true, zeroBlock.data(), 16, 0));
  EXPECT_EQ(Bytes(stored.begin() + 512, stored.begin() + 528),
            OracleCbc(true, zeroBlock.data(), 16, 1));
  Bytes back(1024, 0xFF);
  disk.Read(0, back);
  EXPECT_EQ(back, zeros);
}

TEST(ReadImage, Read1000AtZeroTransforms62BlocksAndLeavesTheTail) {
  ContainerFile disk(kDiskSize);
  const Bytes stored = Pattern(1024, 3);
  disk.Store(0, stored);
  Bytes buffer(1000);
  EXPECT_EQ(disk.Read(0, buffer).Information, 1000u);
  const Bytes first = OracleCbc(false, stored.data(), 512, 0);
  const Bytes second = OracleCbc(false, stored.data() + 512, 480, 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 512), first);
  EXPECT_EQ(Bytes(buffer.begin() + 512, buffer.begin() + 992), second);
  EXPECT_EQ(Bytes(buffer.begin() + 992, buffer.end()),
            Bytes(stored.begin() + 992, stored.begin() + 1000));
}

// Sectors 1 to 3 are stored encrypted by their own number whatever sector
// the request started at, so they read back the same through any shape.
struct ShapeCase {
  const char* Name;
  int64_t Offset;
  size_t Length;
};

const ShapeCase kShapeCases[] = {
    {"Sector0Only", 0, 512},         {"Sector1Only", 512, 512},  {"Sector2And3", 1024, 1024},
    {"Sector3Into4", 1536, 1024},    {"Sector2To9", 1024, 4096}, {"Sector4Only", 2048, 512},
    {"FarSector", 512 * 1000, 4096}, {"WholeHead", 0, 2048},     {"Sector1OddLength", 512, 1000},
    {"Sector3Tail7", 1536, 7},       {"Head64KiB", 0, 65536},
};

class TransferShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(TransferShapes, StoredFormDependsOnSectorNumberAlone) {
  const ShapeCase& c = GetParam();
  ContainerFile disk(kDiskSize);
  const Bytes plain = Pattern(c.Length, 4);
  const Bytes untouched = disk.Stored(0, 8192);
  const TransferResult w = disk.Write(c.Offset, plain);
  EXPECT_EQ(w.Status, kStatusSuccess);
  EXPECT_EQ(w.Information, c.Length);
  EXPECT_EQ(disk.Stored(c.Offset, c.Length), StoredForm(plain, c.Offset));
  Bytes back(c.Length);
  EXPECT_EQ(disk.Read(c.Offset, back).Information, c.Length);
  EXPECT_EQ(back, plain);
  // The same sectors read through a request that starts at sector 0.
  if (c.Offset < 8192 && c.Offset + static_cast<int64_t>(c.Length) <= 8192 && c.Length % 16 == 0) {
    Bytes whole(8192);
    disk.Read(0, whole);
    EXPECT_EQ(Bytes(whole.begin() + c.Offset, whole.begin() + c.Offset + c.Length), plain);
  }
  EXPECT_EQ(Bytes(untouched.begin(), untouched.begin() + std::min<int64_t>(c.Offset, 8192)),
            disk.Stored(0, std::min<int64_t>(c.Offset, 8192)));
}

INSTANTIATE_TEST_SUITE_P(Shapes, TransferShapes, ::testing::ValuesIn(kShapeCases),
                         [](const ::testing::TestParamInfo<ShapeCase>& info) {
                           return info.param.Name;
                         });

// Requests that start at sector 0 store exactly what chunked 2048-byte
// transfers with only the first chunk transformed stored: existing
// containers read the same.
TEST(WriteImage, RequestsFromSectorZeroStoreWhatChunkedTransfersStored) {
  for (const size_t length : {16u, 100u, 512u, 1000u, 2048u, 2064u, 4096u, 65536u}) {
    ContainerFile disk(kDiskSize);
    const Bytes plain = Pattern(length, 5);
    disk.Write(0, plain);
    Bytes expected = plain;
    const size_t first = std::min<size_t>(length, 2048);
    // The software engine: the transfers ran on the processor's best.
    AesEngine engine{};
    ASSERT_EQ(AesEngineSetKey(&engine, kKey, kXtsEngineSoftware), 1);
    SectorIv iv;
    SetSectorIv(&iv, 0);
    EncryptChunk(expected.data(), static_cast<uint32_t>(first), &iv, &engine);
    AesEngineWipe(&engine);
    EXPECT_EQ(disk.Stored(0, length), expected) << length;
  }
}

struct RangeCase {
  const char* Name;
  int64_t Offset;
  uint32_t Length;
  NtStatus Status;
};

const RangeCase kRangeCases[] = {
    {"EndsExactlyAtImageSize", kDiskSize - 4096, 4096, kStatusSuccess},
    {"EndsOneBytePast", kDiskSize - 4096, 4097, kStatusInvalidParameter},
    {"WholeDisk", 0, static_cast<uint32_t>(kDiskSize), kStatusSuccess},
    {"StartsAtImageSizeEmpty", kDiskSize, 0, kStatusSuccess},
    {"StartsAtImageSize", kDiskSize, 512, kStatusInvalidParameter},
    {"StartsPastImageSize", kDiskSize + 512, 0, kStatusInvalidParameter},
    {"OffsetOne", 1, 512, kStatusInvalidParameter},
    {"Offset511", 511, 512, kStatusInvalidParameter},
    {"Offset513", 513, 512, kStatusInvalidParameter},
    {"Offset2049", 2049, 512, kStatusInvalidParameter},
    {"NegativeOffset", -512, 512, kStatusInvalidParameter},
    {"OffsetNearTopWouldWrap", INT64_MAX - 511, 0xFFFFFFFFu, kStatusInvalidParameter},
    {"OffsetMaxAligned", INT64_C(0x7FFFFFFFFFFFFE00), 4096, kStatusInvalidParameter},
    {"LengthMax", 0, 0xFFFFFFFFu, kStatusInvalidParameter},
};

class TransferRanges : public ::testing::TestWithParam<RangeCase> {};

TEST_P(TransferRanges, RefusedRangesTouchNothing) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(CheckTransferRange(c.Offset, c.Length, kDiskSize), c.Status);
  const __int128 end = static_cast<__int128>(c.Offset) + c.Length;
  EXPECT_EQ(CheckTransferRange(c.Offset, c.Length, INT64_MAX) == kStatusSuccess,
            c.Offset >= 0 && c.Offset % 512 == 0 && end <= INT64_MAX)
      << "near the top of the range";
  if (c.Length > kDiskSize) return;  // no buffer that large for the transfer calls
  ContainerFile disk(kDiskSize);
  const Bytes before = disk.Stored(kDiskSize - 8192, 8192);
  Bytes buffer = Pattern(c.Length, 6);
  const Bytes original = buffer;
  const TransferResult w = disk.Write(c.Offset, buffer);
  const TransferResult r = disk.Read(c.Offset, buffer);
  EXPECT_EQ(w.Status, c.Status);
  EXPECT_EQ(r.Status, c.Status);
  if (c.Status != kStatusSuccess) {
    EXPECT_EQ(disk.FileCalls, 0);
    EXPECT_EQ(w.Information, 0u);
    EXPECT_EQ(r.Information, 0u);
    EXPECT_EQ(buffer, original);
    EXPECT_EQ(disk.Stored(kDiskSize - 8192, 8192), before);
  } else {
    EXPECT_EQ(w.Information, c.Length);
    EXPECT_EQ(r.Information, c.Length);
    EXPECT_EQ(buffer, original);
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, TransferRanges, ::testing::ValuesIn(kRangeCases),
                         [](const ::testing::TestParamInfo<RangeCase>& info) {
                           return info.param.Name;
                         });

struct CallCountCase {
  const char* Name;
  int64_t Offset;
  size_t Length;
  int ReadCalls;
  int WriteCalls;
};

const CallCountCase kCallCountCases[] = {
    {"OneMiBFromZero", 0, 1 << 20, 1, 2}, {"HeadOnly", 0, 2048, 1, 1},
    {"InsideHead", 1024, 512, 1, 1},      {"AcrossHeadEnd", 1536, 65536 - 2048, 1, 2},
    {"PastHead", 2048, 512 * 1000, 1, 1}, {"FarOneMiB", 4096, (1 << 20) - 8192, 1, 1},
};

class FileCallCount : public ::testing::TestWithParam<CallCountCase> {};

TEST_P(FileCallCount, OneFileCallPerRequestTwoForWritesIntoTheHead) {
  const CallCountCase& c = GetParam();
  ContainerFile disk(kDiskSize);
  Bytes buffer = Pattern(c.Length, 7);
  disk.Write(c.Offset, buffer);
  EXPECT_EQ(disk.FileCalls, c.WriteCalls);
  disk.FileCalls = 0;
  disk.Read(c.Offset, buffer);
  EXPECT_EQ(disk.FileCalls, c.ReadCalls);
}

INSTANTIATE_TEST_SUITE_P(Calls, FileCallCount, ::testing::ValuesIn(kCallCountCases),
                         [](const ::testing::TestParamInfo<CallCountCase>& info) {
                           return info.param.Name;
                         });

TEST(WriteImage, NeverModifiesTheCallersBuffer) {
  ContainerFile disk(kDiskSize);
  const Bytes plain = Pattern(8192, 8);
  Bytes buffer = plain;
  disk.Write(0, buffer);
  EXPECT_EQ(buffer, plain);
}

TEST(Transfers, ZeroLengthSucceedsWithoutFileCalls) {
  ContainerFile disk(kDiskSize);
  Bytes empty;
  EXPECT_EQ(disk.Write(0, empty).Status, kStatusSuccess);
  EXPECT_EQ(disk.Read(512, empty).Status, kStatusSuccess);
  EXPECT_EQ(disk.FileCalls, 0);
}

TEST(WriteImage, ShortFileWriteStopsWithSuccessAndBytesWritten) {
  ContainerFile disk(kDiskSize);
  disk.ShortenWritesBy = 16;
  const TransferResult head = disk.Write(0, Pattern(4096, 9));
  EXPECT_EQ(head.Status, kStatusSuccess);
  EXPECT_EQ(head.Information, 2048u - 16);
  EXPECT_EQ(disk.FileCalls, 1);
  const TransferResult tail = disk.Write(4096, Pattern(4096, 9));
  EXPECT_EQ(tail.Status, kStatusSuccess);
  EXPECT_EQ(tail.Information, 4096u - 16);
}

TEST(Transfers, FailedFileCallReturnsItsStatus) {
  ContainerFile disk(kDiskSize);
  disk.FailWith = static_cast<NtStatus>(0xC0000185u);  // device I/O error
  Bytes buffer(4096);
  EXPECT_EQ(disk.Write(0, buffer).Status, disk.FailWith);
  EXPECT_EQ(disk.Write(8192, buffer).Status, disk.FailWith);
  EXPECT_EQ(disk.Read(0, buffer).Status, disk.FailWith);
  EXPECT_EQ(disk.Read(8192, buffer).Information, 0u);
}

// Random aligned writes of random shapes against a model of the plain disk:
// every read, of any shape, returns what was last written.
TEST(Transfers, RandomShapesReadBackWhatWasWritten) {
  constexpr int64_t kSize = 64 * 512;
  ContainerFile disk(kSize);
  Bytes model(kSize, 0);
  Bytes zeros(kSize, 0);
  disk.Write(0, zeros);
  std::mt19937 random(10);
  for (int round = 0; round < 300; ++round) {
    const int64_t sector = random() % 64;
    const size_t sectors = 1 + random() % std::min<int64_t>(16, 64 - sector);
    Bytes data = Pattern(sectors * 512, static_cast<uint32_t>(round));
    ASSERT_EQ(disk.Write(sector * 512, data).Information, data.size());
    std::copy(data.begin(), data.end(), model.begin() + sector * 512);
    const int64_t readSector = random() % 64;
    const size_t readSectors = 1 + random() % (64 - readSector);
    Bytes back(readSectors * 512);
    ASSERT_EQ(disk.Read(readSector * 512, back).Information, back.size());
    ASSERT_EQ(back, Bytes(model.begin() + readSector * 512,
                          model.begin() + readSector * 512 + back.size()))
        << "round " << round;
  }
  EXPECT_EQ(disk.Stored(0, kSize), StoredForm(model, 0));
}

// A write-through (FUA) request is on stable storage when it completes: the
// container is flushed after its writes, and only then.
TEST(WriteImageThrough, FlushesTheContainerAfterEveryWrittenRequest) {
  ContainerFile disk(kDiskSize);
  const Bytes plain = Pattern(4096, 11);
  const TransferResult head = disk.WriteThrough(0, plain);
  EXPECT_EQ(head.Status, kStatusSuccess);
  EXPECT_EQ(head.Information, 4096u);
  EXPECT_EQ(disk.Log, "wwf");
  EXPECT_EQ(disk.Stored(0, 4096), StoredForm(plain, 0));
  disk.Log.clear();
  EXPECT_EQ(disk.WriteThrough(8192, plain).Status, kStatusSuccess);
  EXPECT_EQ(disk.Log, "wf");
  disk.Log.clear();
  EXPECT_EQ(disk.Write(8192, plain).Status, kStatusSuccess);
  EXPECT_EQ(disk.Log, "w") << "a plain write is not flushed";
}

TEST(WriteImageThrough, FailedFlushFailsTheRequestAndNothingWrittenIsNotFlushed) {
  ContainerFile disk(kDiskSize);
  disk.FlushFailsWith = static_cast<NtStatus>(0xC0000185u);  // device I/O error
  const TransferResult failed = disk.WriteThrough(4096, Pattern(1024, 12));
  EXPECT_EQ(failed.Status, disk.FlushFailsWith);
  EXPECT_EQ(failed.Information, 1024u);
  disk.FlushFailsWith = kStatusSuccess;
  disk.Log.clear();
  Bytes empty;
  EXPECT_EQ(disk.WriteThrough(0, empty).Status, kStatusSuccess);
  EXPECT_EQ(disk.WriteThrough(kDiskSize, Pattern(512, 13)).Status, kStatusInvalidParameter);
  disk.FailWith = static_cast<NtStatus>(0xC0000185u);
  EXPECT_EQ(disk.WriteThrough(0, Pattern(512, 14)).Status, disk.FailWith);
  EXPECT_EQ(disk.Log, "");
}

// Containers written by earlier builds: sectors 1 to 3 written by a request
// that started at them (not at sector 0) were stored in plain. Such a sector
// now reads as its decryption, through any request shape; sectors written by
// requests from sector 0, and every sector from 4 on, read the same.
TEST(ReadImage, SectorsOneToThreeStoredInPlainByEarlierBuildsReadAsTheirDecryption) {
  ContainerFile disk(kDiskSize);
  const Bytes head = Pattern(512, 15);
  const Bytes plainSectors = Pattern(1536, 16);  // sectors 1-3 as the old form stored them
  const Bytes tail = Pattern(2048, 17);
  disk.Store(0, OracleCbc(true, head.data(), 512, 0));
  disk.Store(512, plainSectors);
  disk.Store(2048, tail);
  Bytes expected;
  for (uint64_t sector = 1; sector <= 3; ++sector) {
    const Bytes decrypted = OracleCbc(false, plainSectors.data() + 512 * (sector - 1), 512, sector);
    expected.insert(expected.end(), decrypted.begin(), decrypted.end());
  }
  ASSERT_NE(expected, plainSectors);
  Bytes alone(1536);
  ASSERT_EQ(disk.Read(512, alone).Information, 1536u);
  EXPECT_EQ(alone, expected);
  Bytes whole(4096);
  ASSERT_EQ(disk.Read(0, whole).Information, 4096u);
  EXPECT_EQ(Bytes(whole.begin(), whole.begin() + 512), head);
  EXPECT_EQ(Bytes(whole.begin() + 512, whole.begin() + 2048), expected);
  EXPECT_EQ(Bytes(whole.begin() + 2048, whole.end()), tail);
}

// Second generation: every sector stored as its AES-256-XTS encryption.

constexpr uint32_t kBounce = 4096;

TEST(WholeDisk, WriteStoresTheXtsEncryptionOfEverySector) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  const Bytes plain = Pattern(8192, 30);
  const TransferResult w = disk.Write(5 * 512, plain);
  EXPECT_EQ(w.Status, kStatusSuccess);
  EXPECT_EQ(w.Information, 8192u);
  EXPECT_EQ(disk.Stored(5 * 512, 8192), OracleXts(true, plain, 5));
}

TEST(WholeDisk, ReadDecryptsEverySector) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  const Bytes plain = Pattern(4096, 31);
  disk.Store(0, OracleXts(true, plain, 0));
  Bytes buffer(4096);
  const TransferResult r = disk.Read(0, buffer);
  EXPECT_EQ(r.Status, kStatusSuccess);
  EXPECT_EQ(r.Information, 4096u);
  EXPECT_EQ(buffer, plain);
}

TEST(WholeDisk, WriteLeavesTheCallersBufferAsItWasAndTheBounceBufferWiped) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  const Bytes plain = Pattern(3 * kBounce, 32);
  Bytes buffer = plain;
  ASSERT_EQ(disk.Write(0, buffer).Information, buffer.size());
  EXPECT_EQ(buffer, plain);
  EXPECT_EQ(disk.BounceBytes(), Bytes(kBounce, 0));
}

TEST(WholeDisk, RequestLargerThanTheBounceBufferIsWrittenChunkByChunk) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  const Bytes plain = Pattern(2 * kBounce + 1024, 33);
  EXPECT_EQ(disk.Write(64 * 512, plain).Information, plain.size());
  EXPECT_EQ(disk.Log, "www");
  EXPECT_EQ(disk.Stored(64 * 512, plain.size()), OracleXts(true, plain, 64));
}

TEST(WholeDisk, ShortFileWriteStopsWithSuccessAndBytesWritten) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  disk.ShortenWritesBy = 512;
  const TransferResult w = disk.Write(0, Pattern(3 * kBounce, 34));
  EXPECT_EQ(w.Status, kStatusSuccess);
  EXPECT_EQ(w.Information, kBounce - 512);
  EXPECT_EQ(disk.Log, "w");
}

TEST(WholeDisk, FailedChunkReturnsItsStatusAndStopsThere) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  disk.FailWith = static_cast<NtStatus>(0xC0000185u);  // device I/O error
  EXPECT_EQ(disk.Write(0, Pattern(3 * kBounce, 35)).Status, disk.FailWith);
  EXPECT_EQ(disk.FileCalls, 1);
}

// The disk is the file less its backup area: the last 4096 bytes of the file
// are no sector of it.
TEST(WholeDisk, TransfersPastTheDiskEndAreRefusedUntouched) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  const int64_t end = DiskSizeOfContainer(kGenerationWholeDisk, disk.FileSize());
  ASSERT_EQ(end, kDiskSize);
  Bytes sector(512);
  EXPECT_EQ(disk.Read(end - 512, sector).Status, kStatusSuccess);
  EXPECT_EQ(disk.Read(end, sector).Status, kStatusInvalidParameter);
  EXPECT_EQ(disk.Write(end, sector).Status, kStatusInvalidParameter);
  Bytes across(1024);
  EXPECT_EQ(disk.Read(end - 512, across).Status, kStatusInvalidParameter);
  EXPECT_EQ(disk.FileCalls, 1);
  EXPECT_EQ(disk.Stored(end, 4096), Bytes(4096, 0));
}

TEST(WholeDisk, LengthOfPartSectorsIsRefused) {
  ContainerFile disk(kDiskSize, kGenerationWholeDisk, kBounce);
  Bytes odd(1000);
  EXPECT_EQ(disk.Write(0, odd).Status, kStatusInvalidParameter);
  EXPECT_EQ(disk.Read(0, odd).Status, kStatusInvalidParameter);
  EXPECT_EQ(disk.FileCalls, 0);
}

TEST(WholeDisk, RandomShapesReadBackWhatWasWritten) {
  constexpr int64_t kSize = 64 * 512;
  ContainerFile disk(kSize, kGenerationWholeDisk, 2048);
  Bytes model(kSize, 0);
  ASSERT_EQ(disk.Write(0, model).Information, model.size());
  std::mt19937 random(36);
  for (int round = 0; round < 100; ++round) {
    const int64_t sector = random() % 64;
    Bytes data = Pattern((1 + random() % (64 - sector)) * 512, static_cast<uint32_t>(round));
    ASSERT_EQ(disk.Write(sector * 512, data).Information, data.size());
    std::copy(data.begin(), data.end(), model.begin() + sector * 512);
  }
  Bytes back(kSize);
  ASSERT_EQ(disk.Read(0, back).Information, back.size());
  EXPECT_EQ(back, model);
  EXPECT_EQ(disk.Stored(0, kSize), OracleXts(true, model, 0));
}

TEST(Transfers, CipherNotKeyedIsRefusedWithoutFileCalls) {
  ContainerFile disk(kDiskSize);
  Bytes buffer(512);
  ImageFileIo io{};
  ImageCipher unkeyed{};
  uint8_t bounce[kEncryptedAreaBytes];
  EXPECT_EQ(ReadImage(io, &unkeyed, kDiskSize, 0, buffer.data(), 512).Status,
            kStatusInvalidDeviceRequest);
  EXPECT_EQ(WriteImage(io, &unkeyed, {bounce, sizeof(bounce)}, kDiskSize, 0, buffer.data(), 512)
                .Status,
            kStatusInvalidDeviceRequest);
}

TEST(DiskSizeOfContainer, FirstGenerationIsTheFileSecondLeavesOutTheBackupArea) {
  EXPECT_EQ(DiskSizeOfContainer(0, 10000), 10000);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationHeadOnly, 10000), 10000);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationWholeDisk, (1 << 20) + 4096), 1 << 20);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationWholeDisk, (1 << 20) + 4096 + 511), 1 << 20);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationWholeDisk, 4096 + 512), 512);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationWholeDisk, 4096 + 511), -1);
  EXPECT_EQ(DiskSizeOfContainer(kGenerationWholeDisk, 0), -1);
}

TEST(ImageCipherSetKey, UnknownGenerationOrWrongKeySizeLeavesTheCipherZero) {
  const ImageCipher zero{};
  ImageCipher cipher;
  for (const auto& [generation, size] :
       {std::pair<uint32_t, size_t>{3, 64}, {0, 32}, {kGenerationHeadOnly, 64},
        {kGenerationWholeDisk, 32}}) {
    std::memset(&cipher, 0x77, sizeof(cipher));
    EXPECT_EQ(ImageCipherSetKey(&cipher, generation, kXtsKey, size, kXtsEngineBest), -1);
    EXPECT_EQ(std::memcmp(&cipher, &zero, sizeof(cipher)), 0) << generation;
  }
}

}  // namespace
}  // namespace cryptdsk
