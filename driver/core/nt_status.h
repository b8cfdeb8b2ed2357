// The status values the driver's portable core answers with. They are the
// kernel's NTSTATUS codes; the core includes no kernel header, so they are
// restated here and checked against the DDK in the kernel build.
// Freestanding.
#pragma once

#include <stdint.h>

namespace cryptdsk {

using NtStatus = int32_t;

constexpr NtStatus kStatusSuccess = 0x00000000;
constexpr NtStatus kStatusPending = 0x00000103;
constexpr NtStatus kStatusBufferOverflow = static_cast<NtStatus>(0x80000005u);
constexpr NtStatus kStatusUnsuccessful = static_cast<NtStatus>(0xC0000001u);
constexpr NtStatus kStatusInvalidParameter = static_cast<NtStatus>(0xC000000Du);
constexpr NtStatus kStatusNoSuchDevice = static_cast<NtStatus>(0xC000000Eu);
constexpr NtStatus kStatusNoSuchFile = static_cast<NtStatus>(0xC000000Fu);
constexpr NtStatus kStatusInvalidDeviceRequest = static_cast<NtStatus>(0xC0000010u);
constexpr NtStatus kStatusEndOfFile = static_cast<NtStatus>(0xC0000011u);
constexpr NtStatus kStatusNoMediaInDevice = static_cast<NtStatus>(0xC0000013u);
constexpr NtStatus kStatusUnrecognizedMedia = static_cast<NtStatus>(0xC0000014u);
constexpr NtStatus kStatusAccessDenied = static_cast<NtStatus>(0xC0000022u);
constexpr NtStatus kStatusBufferTooSmall = static_cast<NtStatus>(0xC0000023u);
constexpr NtStatus kStatusObjectNameNotFound = static_cast<NtStatus>(0xC0000034u);
constexpr NtStatus kStatusDeletePending = static_cast<NtStatus>(0xC0000056u);
constexpr NtStatus kStatusInsufficientResources = static_cast<NtStatus>(0xC000009Au);
constexpr NtStatus kStatusNotSupported = static_cast<NtStatus>(0xC00000BBu);
constexpr NtStatus kStatusDriverInternalError = static_cast<NtStatus>(0xC0000183u);

// Success and informational values are >= 0, warnings and errors negative.
constexpr bool IsSuccess(NtStatus status) {
  return status >= 0;
}

}  // namespace cryptdsk
