// libFuzzer target over the driver's portable core: control-protocol answers
// with arbitrary codes, sizes (up to records with any name length), states
// and bytes, the open-record check, and sequences of reads and writes
// against an in-memory container of either generation.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "control_protocol.h"
#include "disk_requests.h"
#include "transfer.h"

namespace {

using namespace cryptdsk;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    const size_t n = size_ < sizeof(T) ? size_ : sizeof(T);
    memcpy(&value, data_, n);
    data_ += n;
    size_ -= n;
    return value;
  }
  const uint8_t* rest() const { return data_; }
  size_t size() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

const uint32_t kCodes[] = {IOCTL_CRYPTDSK_OPEN_IMAGE,
                           IOCTL_CRYPTDSK_CLOSE_IMAGE,
                           IOCTL_CRYPTDSK_IS_OPEN,
                           IOCTL_CRYPTDSK_QUERY_IMAGE,
                           IOCTL_CRYPTDSK_SET_DRIVE_LETTER,
                           kIoctlDiskGetDriveGeometry,
                           kIoctlDiskVerify,
                           kIoctlDiskIsWritable,
                           kIoctlDiskGetPartitionInfoEx,
                           kIoctlDiskGetPartitionInfo,
                           kIoctlDiskGetLengthInfo,
                           kIoctlDiskCheckVerify,
                           kIoctlDiskMediaRemoval,
                           kIoctlDiskSetPartitionInfo,
                           kIoctlStorageCheckVerify2,
                           kIoctlStorageCheckVerify,
                           kIoctlStorageMediaRemoval,
                           kIoctlMountdevQueryUniqueId,
                           kIoctlMountdevQueryDeviceName};

// Large enough for a record whose name-length field is 0xFFFF and whose
// name lies inside the input.
constexpr uint32_t kLargestInput = 50 + 2 * 0xFFFF + 16;

// Mostly the sizes around the record; sometimes any size up to the largest.
uint32_t TakeLength(Input& in, uint8_t shape) {
  return shape ? in.Take<uint32_t>() % (kLargestInput + 1) : in.Take<uint16_t>() % 1200;
}

void FuzzControl(Input& in) {
  const uint8_t pick = in.Take<uint8_t>();
  const uint32_t code =
      pick < 200 ? kCodes[pick % (sizeof(kCodes) / sizeof(kCodes[0]))] : in.Take<uint32_t>();
  const uint8_t shape = in.Take<uint8_t>();
  const uint32_t inputLength = TakeLength(in, shape & 1);
  const uint32_t outputLength = TakeLength(in, shape & 2);
  DiskView disk{};
  disk.PnpState = in.Take<uint8_t>() % 6;
  disk.ImageAttached = in.Take<uint8_t>() & 1;
  disk.Generation = in.Take<uint8_t>() & 1 ? kGenerationWholeDisk : kGenerationHeadOnly;
  disk.ImageSize = in.Take<int64_t>();
  disk.DriveLetter = in.Take<uint16_t>();
  std::vector<char16_t> name(in.Take<uint16_t>() % 700);
  disk.ImageFileName = name.data();
  disk.ImageFileNameUnits = static_cast<uint32_t>(name.size());
  // Exactly max(in, out) bytes: the sanitizer catches any write beyond.
  const size_t size = inputLength > outputLength ? inputLength : outputLength;
  std::vector<uint8_t> buffer(size);
  // Every name-length value, also where the fuzzer's bytes end before it.
  const uint16_t nameLength = in.Take<uint16_t>();
  if (size != 0) memcpy(buffer.data(), in.rest(), in.size() < size ? in.size() : size);
  if ((shape & 4) && size >= 36) StoreU16(buffer.data() + 34, nameLength);
  // Whole-disk requests often, whatever the fuzzer's bytes hold there.
  if ((shape & 8) && size >= 40) StoreU32(buffer.data() + 36, kGenerationWholeDisk);
  ControlRequest request{code, inputLength, outputLength, size ? buffer.data() : nullptr};
  OpenImageParameters open;
  const bool validRecord =
      ParseOpenImageRecord(buffer.data(), inputLength, &open) == kStatusSuccess;
  if (validRecord && (open.FileNameUnits == 0 || open.FileNameUnits > kMaxFileNameUnits ||
                      50u + 2u * open.FileNameUnits > inputLength)) {
    __builtin_trap();
  }
  if (validRecord && open.Generation == kGenerationWholeDisk &&
      (inputLength < 608 || 50u + 2u * open.FileNameUnits > 576 ||
       open.TweakKey != buffer.data() + 576)) {
    __builtin_trap();
  }
  const ControlAnswer answer = AnswerControlRequest(request, disk);
  // A refused open leaves no key byte in the system buffer.
  if (code == IOCTL_CRYPTDSK_OPEN_IMAGE && answer.Action == ControlAction::kComplete) {
    for (uint32_t i = 0; i < inputLength && i < 32; ++i) {
      if (buffer[i] != 0) __builtin_trap();
    }
    for (uint32_t i = 576; i < inputLength && i < 608; ++i) {
      if (buffer[i] != 0) __builtin_trap();
    }
  }
  if (!disk.ImageAttached && RequiresImage(code) && answer.Status != kStatusNoMediaInDevice)
    __builtin_trap();
  const bool copies = answer.Status == kStatusSuccess || answer.Status == kStatusBufferOverflow;
  if (copies && answer.Action == ControlAction::kComplete &&
      code != IOCTL_CRYPTDSK_SET_DRIVE_LETTER && answer.Information > outputLength) {
    __builtin_trap();
  }
  if (answer.Action != ControlAction::kComplete && answer.Status != kStatusPending)
    __builtin_trap();
  if (answer.Action == ControlAction::kQueueOpen && !validRecord) __builtin_trap();
}

struct MemoryFile {
  std::vector<uint8_t> Bytes;
  int Calls = 0;
  static NtStatus Read(void* context, uint8_t* buffer, uint32_t length, int64_t offset,
                       uint32_t* done) {
    auto* file = static_cast<MemoryFile*>(context);
    ++file->Calls;
    if (offset < 0 || static_cast<uint64_t>(offset) + length > file->Bytes.size()) __builtin_trap();
    memcpy(buffer, file->Bytes.data() + offset, length);
    *done = length;
    return kStatusSuccess;
  }
  static NtStatus Write(void* context, const uint8_t* buffer, uint32_t length, int64_t offset,
                        uint32_t* done) {
    auto* file = static_cast<MemoryFile*>(context);
    ++file->Calls;
    if (offset < 0 || static_cast<uint64_t>(offset) + length > file->Bytes.size()) __builtin_trap();
    memcpy(file->Bytes.data() + offset, buffer, length);
    *done = length;
    return kStatusSuccess;
  }
};

void FuzzTransfers(Input& in) {
  constexpr size_t kFileSize = 32 * 1024;
  constexpr int kMaxOperations = 16;
  MemoryFile file;
  file.Bytes.resize(kFileSize);
  // Either generation, either engine, bounce buffers of 2048 to 5632 bytes.
  const uint8_t setup = in.Take<uint8_t>();
  const uint32_t generation = setup & 1 ? kGenerationWholeDisk : kGenerationHeadOnly;
  ImageCipher cipher;
  uint8_t key[64];
  for (auto& b : key) b = in.Take<uint8_t>();
  ImageCipherSetKey(&cipher, generation, key, generation == kGenerationWholeDisk ? 64 : 32,
                    setup & 2 ? kXtsEngineSoftware : kXtsEngineBest);
  std::vector<uint8_t> bounceBytes(kEncryptedAreaBytes + 512 * ((setup >> 2) % 8));
  const BounceBuffer bounce{bounceBytes.data(), static_cast<uint32_t>(bounceBytes.size())};
  ImageFileIo io{&file, &MemoryFile::Read, &MemoryFile::Write};
  const int64_t imageSize =
      in.Take<uint8_t>() & 1 ? kFileSize : in.Take<uint16_t>() % (kFileSize + 1);
  std::vector<uint8_t> data;
  std::vector<uint8_t> back;
  for (int op = 0; op < kMaxOperations && in.size() > 0; ++op) {
    const uint8_t shape = in.Take<uint8_t>();
    int64_t offset =
        shape & 0x80 ? in.Take<int64_t>() : 512 * static_cast<int64_t>(in.Take<uint8_t>() % 66);
    const uint32_t length = shape & 0x40 ? in.Take<uint32_t>() : in.Take<uint16_t>() % 9000;
    const bool valid = CheckTransferRange(offset, length, imageSize) == kStatusSuccess &&
                       (generation != kGenerationWholeDisk || length % 512 == 0);
    if (!valid) {
      // Refused ranges reach no file call at all.
      const int calls = file.Calls;
      uint8_t scratch[16];
      if (WriteImage(io, &cipher, bounce, imageSize, offset, scratch, length).Status == kStatusSuccess ||
          ReadImage(io, &cipher, imageSize, offset, scratch, length).Status == kStatusSuccess ||
          file.Calls != calls) {
        __builtin_trap();
      }
      continue;
    }
    data.assign(length, 0);
    for (uint32_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(shape * 131 + i * 7);
    const std::vector<uint8_t> original = data;
    const TransferResult w = WriteImage(io, &cipher, bounce, imageSize, offset, data.data(), length);
    if (w.Status != kStatusSuccess || w.Information != length || data != original) __builtin_trap();
    back.assign(length, 0xEE);
    const TransferResult r = ReadImage(io, &cipher, imageSize, offset, back.data(), length);
    if (r.Status != kStatusSuccess || r.Information != length || back != original) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  if (in.Take<uint8_t>() & 1) {
    FuzzTransfers(in);
  } else {
    FuzzControl(in);
  }
  return 0;
}
