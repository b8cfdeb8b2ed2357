#include "nbd_export.h"

#include <stdint.h>

#include <vector>

namespace {

constexpr uint64_t kServerMagic = 0x4e42444d41474943;  // "NBDMAGIC"
constexpr uint64_t kOptionMagic = 0x49484156454f5054;  // "IHAVEOPT"
constexpr uint64_t kOptionReplyMagic = 0x0003e889045565a9;
constexpr uint32_t kRequestMagic = 0x25609513;
constexpr uint32_t kSimpleReplyMagic = 0x67446698;

constexpr uint16_t kFixedNewstyle = 1;
constexpr uint16_t kNoZeroes = 2;
constexpr uint16_t kTransmissionFlags = 1 | 4;  // has flags, flush

constexpr uint32_t kOptionExportName = 1;
constexpr uint32_t kOptionAbort = 2;
constexpr uint32_t kOptionInfo = 6;
constexpr uint32_t kOptionGo = 7;
constexpr uint32_t kReplyAck = 1;
constexpr uint32_t kReplyInfo = 3;
constexpr uint32_t kReplyUnsupported = 0x80000001;
constexpr uint16_t kInfoExport = 0;

constexpr uint16_t kCommandRead = 0;
constexpr uint16_t kCommandWrite = 1;
constexpr uint16_t kCommandDisconnect = 2;
constexpr uint16_t kCommandFlush = 3;
constexpr uint32_t kErrorIo = 5;
constexpr uint32_t kErrorInvalid = 22;

constexpr uint32_t kLargestOption = 4096;
constexpr uint32_t kLargestTransfer = 32u << 20;

// Big-endian fields, as NBD puts them on the wire.
class Message {
 public:
  Message& Put(uint64_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
      bytes_.push_back(static_cast<uint8_t>(value >> shift));
    }
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

uint64_t Field(const uint8_t* at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | at[i];
  return value;
}

// Moves all `length` bytes with `step` (recv or send), which may move fewer
// at a time.
template <typename Step>
bool MoveAll(char* at, size_t length, Step step) {
  while (length > 0) {
    const int moved = step(at, static_cast<int>(length < 65536 ? length : 65536));
    if (moved <= 0) return false;
    at += moved;
    length -= static_cast<size_t>(moved);
  }
  return true;
}

bool Receive(SOCKET connection, void* data, size_t length) {
  return MoveAll(static_cast<char*>(data), length,
                 [connection](char* at, int bytes) { return recv(connection, at, bytes, 0); });
}

bool Send(SOCKET connection, const void* data, size_t length) {
  return MoveAll(const_cast<char*>(static_cast<const char*>(data)), length,
                 [connection](char* at, int bytes) { return send(connection, at, bytes, 0); });
}

bool Send(SOCKET connection, const Message& message) {
  return Send(connection, message.bytes().data(), message.bytes().size());
}

bool ReplyToOption(SOCKET connection, uint32_t option, uint32_t type, const Message& data) {
  Message reply;
  reply.Put(kOptionReplyMagic, 8).Put(option, 4).Put(type, 4).Put(data.bytes().size(), 4);
  return Send(connection, reply) && Send(connection, data);
}

enum class Haggled { kTransmission, kEnd };

// The options until the client picks the export; -1 on a broken handshake.
int Handshake(SOCKET connection, uint64_t size, Haggled* outcome) {
  if (!Send(connection, Message().Put(kServerMagic, 8).Put(kOptionMagic, 8).Put(
                            kFixedNewstyle | kNoZeroes, 2))) {
    return -1;
  }
  uint8_t clientFlags[4];
  if (!Receive(connection, clientFlags, sizeof(clientFlags))) return -1;
  const bool zeroes = (Field(clientFlags, 4) & kNoZeroes) == 0;
  for (;;) {
    uint8_t header[16];
    if (!Receive(connection, header, sizeof(header)) || Field(header, 8) != kOptionMagic) return -1;
    const uint32_t option = static_cast<uint32_t>(Field(header + 8, 4));
    const uint32_t length = static_cast<uint32_t>(Field(header + 12, 4));
    if (length > kLargestOption) return -1;
    std::vector<uint8_t> data(length);
    if (!Receive(connection, data.data(), length)) return -1;
    if (option == kOptionExportName) {
      Message answer;
      answer.Put(size, 8).Put(kTransmissionFlags, 2);
      for (int i = 0; zeroes && i < 124; ++i) answer.Put(0, 1);
      *outcome = Haggled::kTransmission;
      return Send(connection, answer) ? 1 : -1;
    }
    if (option == kOptionAbort) {
      *outcome = Haggled::kEnd;
      ReplyToOption(connection, option, kReplyAck, Message());
      return 1;
    }
    bool replied = false;
    if (option == kOptionInfo || option == kOptionGo) {
      const Message info = Message().Put(kInfoExport, 2).Put(size, 8).Put(kTransmissionFlags, 2);
      replied = ReplyToOption(connection, option, kReplyInfo, info) &&
                ReplyToOption(connection, option, kReplyAck, Message());
      if (replied && option == kOptionGo) {
        *outcome = Haggled::kTransmission;
        return 1;
      }
    } else {
      replied = ReplyToOption(connection, option, kReplyUnsupported, Message());
    }
    if (!replied) return -1;
  }
}

bool SendReply(SOCKET connection, const uint8_t* handle, uint32_t error, const uint8_t* data,
               uint32_t length) {
  const Message reply = Message().Put(kSimpleReplyMagic, 4).Put(error, 4).Put(Field(handle, 8), 8);
  return Send(connection, reply) && (error != 0 || Send(connection, data, length));
}

// Requests until the client disconnects.
int Transmission(SOCKET connection, SectorDisk* disk) {
  std::vector<uint8_t> buffer;
  for (;;) {
    uint8_t request[28];
    if (!Receive(connection, request, sizeof(request)) || Field(request, 4) != kRequestMagic) {
      return -1;
    }
    const uint16_t type = static_cast<uint16_t>(Field(request + 6, 2));
    const uint8_t* handle = request + 8;
    const uint64_t offset = Field(request + 16, 8);
    const uint32_t length = static_cast<uint32_t>(Field(request + 24, 4));
    if (type == kCommandDisconnect) return 1;
    const bool transfer = type == kCommandRead || type == kCommandWrite;
    if (transfer && length > kLargestTransfer) return -1;
    buffer.resize(length);
    if (type == kCommandWrite && !Receive(connection, buffer.data(), length)) return -1;
    uint32_t error = 0;
    if (transfer && (offset > disk->size() || length > disk->size() - offset)) {
      error = kErrorInvalid;
    } else if (type == kCommandRead) {
      error = disk->Read(offset, buffer.data(), length) ? 0 : kErrorIo;
    } else if (type == kCommandWrite) {
      error = disk->Write(offset, buffer.data(), length) ? 0 : kErrorIo;
    } else if (type == kCommandFlush) {
      error = disk->Flush() ? 0 : kErrorIo;
    } else {
      error = kErrorInvalid;
    }
    const bool withData = type == kCommandRead && error == 0;
    if (!SendReply(connection, handle, error, buffer.data(), withData ? length : 0)) return -1;
  }
}

}  // namespace

int ServeNbdClient(SOCKET connection, SectorDisk* disk) {
  Haggled outcome = Haggled::kEnd;
  if (Handshake(connection, disk->size(), &outcome) != 1) return -1;
  return outcome == Haggled::kTransmission ? Transmission(connection, disk) : 1;
}
