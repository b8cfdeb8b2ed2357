// The answers of the disk device's control requests, without the kernel: the
// request code, the buffer sizes and the device's state go in; the status,
// the Information value and the bytes of the answer come out. The kernel's
// control dispatch is a thin edge around AnswerControlRequest.
// Freestanding.
#pragma once

#include <stdint.h>

#include "cryptdsk_protocol.h"
#include "nt_status.h"

namespace cryptdsk {

constexpr char16_t kDeviceNameUtf16[] = u"\\Device\\CryptDsk00";
constexpr uint32_t kDeviceNameBytes = sizeof(kDeviceNameUtf16) - sizeof(char16_t);
static_assert(kDeviceNameBytes == 36, "device name is 18 code units");

// What the caller does with the request after the answer.
enum class ControlAction : uint8_t {
  kComplete,    // complete now with Status and Information
  kQueueOpen,   // capture the caller's security context, then queue for attach
  kQueueClose,  // queue for detach
};

// A buffered request: input and output share SystemBuffer, which holds
// max(InputLength, OutputLength) bytes.
struct ControlRequest {
  uint32_t Code;
  uint32_t InputLength;
  uint32_t OutputLength;
  uint8_t* SystemBuffer;
};

// The device state the answers depend on. ImageFileName need not be
// terminated; it is read only while a container is attached.
struct DiskView {
  uint32_t PnpState;  // a device gone takes no new open
  bool ImageAttached;
  uint32_t Generation;  // of the attached container: kGenerationHeadOnly or kGenerationWholeDisk
  int64_t ImageSize;    // the disk's size
  uint16_t DriveLetter;
  const char16_t* ImageFileName;
  uint32_t ImageFileNameUnits;
};

struct ControlAnswer {
  NtStatus Status;
  uint32_t Information;
  ControlAction Action;
  bool DriveLetterChanged;  // the set request succeeded: store NewDriveLetter
  uint16_t NewDriveLetter;
};

// True for every code that needs an attached container; open and is-open
// are the only ones served without one.
bool RequiresImage(uint32_t code);

// The whole answer of one control request. Writes only inside the first
// OutputLength bytes of SystemBuffer, and only for requests that succeed or
// return STATUS_BUFFER_OVERFLOW.
ControlAnswer AnswerControlRequest(const ControlRequest& request, const DiskView& disk);

// The attach procedure's view of a validated open request.
struct OpenImageParameters {
  uint32_t Generation;      // kGenerationHeadOnly (also for 0) or kGenerationWholeDisk
  const uint8_t* Key;       // 32 bytes inside the system buffer: the AES or XTS data key
  const uint8_t* TweakKey;  // the second generation's 32 bytes at 576; else null
  const uint8_t* FileName;  // FileNameUnits UTF-16LE code units, unaligned
  uint16_t FileNameUnits;
  uint64_t FileSize;
  uint16_t DriveLetter;
};

// The longest name the record may give: its length in bytes and the zero
// terminator must fit a kernel counted string (16-bit byte counts).
constexpr uint32_t kMaxFileNameUnits = 32766;

// Checks an open request's record: a name of 1 to kMaxFileNameUnits code
// units that lies inside the input, and a known generation. The second
// generation needs the whole-disk request (at least 608 bytes) with the name
// inside the record, before the tweak key. Returns kStatusSuccess and fills
// `parameters`, or kStatusInvalidParameter.
NtStatus ParseOpenImageRecord(const uint8_t* buffer, uint32_t inputLength,
                              OpenImageParameters* parameters);

// The keys leave the system buffer, which the I/O manager frees unwiped:
// overwrites the record's key field and the whole-disk request's tweak key
// (bytes 576 to 607), or as much of them as the input holds, whatever the
// generation field says.
void WipeOpenRecordKey(uint8_t* systemBuffer, uint32_t inputLength);

// Ends a request with `status`; an open request's key is wiped first.
ControlAnswer RefuseControlRequest(const ControlRequest& request, NtStatus status);

// Little-endian loads and stores for the wire layouts (buffers unaligned).
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t LoadU64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace cryptdsk
