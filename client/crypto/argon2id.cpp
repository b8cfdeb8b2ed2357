#include "argon2id.h"

#include <string.h>

#include "blake2b.h"
#include "byte_order.h"
#include "secure_wipe.h"

namespace {

constexpr uint32_t kVersion = 0x13;
constexpr uint32_t kTypeArgon2id = 2;
constexpr uint32_t kSlices = 4;
constexpr size_t kBlockWords = 128;
constexpr size_t kBlockSize = 8 * kBlockWords;
constexpr size_t kSeedSize = 64;  // H0

struct Block {
  uint64_t Words[kBlockWords];
};

void HashLe32(Blake2bContext* context, uint32_t value) {
  uint8_t bytes[4];
  StoreLe32(bytes, value);
  Blake2bUpdate(context, bytes, sizeof(bytes));
}

// Length-prefixed input, as H0 takes its variable fields.
void HashField(Blake2bContext* context, const uint8_t* data, size_t size) {
  HashLe32(context, static_cast<uint32_t>(size));
  if (size > 0) Blake2bUpdate(context, data, size);
}

// H': BLAKE2b stretched to any length, over LE32(size) || first || second.
void VariableHash(uint8_t* out, size_t size, const uint8_t* first, size_t firstSize,
                  const uint8_t* second, size_t secondSize) {
  Blake2bContext context;
  Blake2bInit(&context, size < kBlake2bMaxDigestSize ? size : kBlake2bMaxDigestSize, nullptr, 0);
  HashLe32(&context, static_cast<uint32_t>(size));
  Blake2bUpdate(&context, first, firstSize);
  Blake2bUpdate(&context, second, secondSize);
  if (size <= kBlake2bMaxDigestSize) {
    Blake2bFinal(&context, out);
    return;
  }
  // 32 bytes from each 64-byte hash of the previous one; the last hash gives
  // whatever is left, 33 to 64 bytes.
  uint8_t chain[kBlake2bMaxDigestSize];
  Blake2bFinal(&context, chain);
  memcpy(out, chain, 32);
  size_t done = 32;
  while (size - done > kBlake2bMaxDigestSize) {
    Blake2bInit(&context, kBlake2bMaxDigestSize, nullptr, 0);
    Blake2bUpdate(&context, chain, sizeof(chain));
    Blake2bFinal(&context, chain);
    memcpy(out + done, chain, 32);
    done += 32;
  }
  Blake2bInit(&context, size - done, nullptr, 0);
  Blake2bUpdate(&context, chain, sizeof(chain));
  Blake2bFinal(&context, out + done);
  SecureWipeObject(chain);
}

inline uint64_t MultiplyLow(uint64_t a, uint64_t b) {
  return (a & 0xFFFFFFFFull) * (b & 0xFFFFFFFFull);
}

// BLAKE2b's mixing with the additions hardened by 2 * low(a) * low(b).
inline void Mix(uint64_t& a, uint64_t& b, uint64_t& c, uint64_t& d) {
  a = a + b + 2 * MultiplyLow(a, b);
  d = RotateRight64(d ^ a, 32);
  c = c + d + 2 * MultiplyLow(c, d);
  b = RotateRight64(b ^ c, 24);
  a = a + b + 2 * MultiplyLow(a, b);
  d = RotateRight64(d ^ a, 16);
  c = c + d + 2 * MultiplyLow(c, d);
  b = RotateRight64(b ^ c, 63);
}

// The permutation P over sixteen words of the block.
inline void Permute(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3, uint64_t& v4,
                    uint64_t& v5, uint64_t& v6, uint64_t& v7, uint64_t& v8, uint64_t& v9,
                    uint64_t& v10, uint64_t& v11, uint64_t& v12, uint64_t& v13, uint64_t& v14,
                    uint64_t& v15) {
  Mix(v0, v4, v8, v12);
  Mix(v1, v5, v9, v13);
  Mix(v2, v6, v10, v14);
  Mix(v3, v7, v11, v15);
  Mix(v0, v5, v10, v15);
  Mix(v1, v6, v11, v12);
  Mix(v2, v7, v8, v13);
  Mix(v3, v4, v9, v14);
}

// Row i of the block: its sixteen consecutive words.
inline void PermuteRow(uint64_t* w) {
  Permute(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10], w[11], w[12], w[13],
          w[14], w[15]);
}

// Column i: words 2i and 2i + 1 of every row.
inline void PermuteColumn(uint64_t* w) {
  Permute(w[0], w[1], w[16], w[17], w[32], w[33], w[48], w[49], w[64], w[65], w[80], w[81], w[96],
          w[97], w[112], w[113]);
}

// The compression G: R = X ^ Y; P over each row of eight 16-byte registers,
// then over each column; the result XOR R. With `accumulate`, the result is
// also XORed into what `out` held (passes after the first).
void Compress(const Block& x, const Block& y, Block* out, bool accumulate) {
  Block r;
  Block keep;
  for (size_t i = 0; i < kBlockWords; ++i) r.Words[i] = x.Words[i] ^ y.Words[i];
  if (accumulate) {
    for (size_t i = 0; i < kBlockWords; ++i) keep.Words[i] = r.Words[i] ^ out->Words[i];
  } else {
    keep = r;
  }
  for (size_t row = 0; row < 8; ++row) PermuteRow(r.Words + 16 * row);
  for (size_t column = 0; column < 8; ++column) PermuteColumn(r.Words + 2 * column);
  for (size_t i = 0; i < kBlockWords; ++i) out->Words[i] = keep.Words[i] ^ r.Words[i];
}

struct Geometry {
  uint32_t Lanes;
  uint32_t Columns;        // blocks per lane
  uint32_t SegmentLength;  // Columns / 4
  uint32_t Blocks;         // Lanes * Columns
};

bool GeometryOf(const Argon2idParameters& parameters, Geometry* geometry) {
  if (parameters.Passes == 0 || parameters.Lanes == 0 || parameters.Lanes > 0xFFFFFF) return false;
  if (parameters.MemoryKiB / 8 < parameters.Lanes) return false;
  geometry->Lanes = parameters.Lanes;
  geometry->SegmentLength = parameters.MemoryKiB / (kSlices * parameters.Lanes);
  geometry->Columns = kSlices * geometry->SegmentLength;
  geometry->Blocks = geometry->Columns * geometry->Lanes;
  return true;
}

// The pseudo-random words that choose reference blocks in the first half of
// the first pass, where the choice must not depend on the password: blocks
// G(0, G(0, input)) for a counter in the input.
class AddressStream {
 public:
  AddressStream(const Argon2idParameters& parameters, uint32_t blocks, uint32_t pass, uint32_t lane,
                uint32_t slice) {
    memset(&input_, 0, sizeof(input_));
    memset(&zero_, 0, sizeof(zero_));
    input_.Words[0] = pass;
    input_.Words[1] = lane;
    input_.Words[2] = slice;
    input_.Words[3] = blocks;
    input_.Words[4] = parameters.Passes;
    input_.Words[5] = kTypeArgon2id;
  }
  ~AddressStream() { SecureWipeObject(addresses_); }

  uint64_t At(uint32_t index) {
    if (index % kBlockWords == 0 || !started_) {
      ++input_.Words[6];
      Block once;
      Compress(zero_, input_, &once, false);
      Compress(zero_, once, &addresses_, false);
      started_ = true;
    }
    return addresses_.Words[index % kBlockWords];
  }

 private:
  Block input_;
  Block zero_;
  Block addresses_;
  bool started_ = false;
};

// The column of the block that block `index` of the segment refers to in
// lane `refLane`, from the 32-bit pseudo-random value j1.
uint32_t ReferenceColumn(const Geometry& g, uint32_t pass, uint32_t slice, uint32_t index,
                         bool sameLane, uint64_t j1) {
  // Blocks that may be referenced: everything finished, less the previous
  // block; another lane's current segment is not finished.
  uint32_t area;
  if (pass == 0) {
    area = slice * g.SegmentLength;
  } else {
    area = g.Columns - g.SegmentLength;
  }
  if (sameLane) {
    area += index - 1;
  } else if (index == 0) {
    area -= 1;
  }
  const uint64_t x = (j1 * j1) >> 32;
  const uint64_t offset = area - 1 - ((area * x) >> 32);
  const uint32_t start = pass == 0 || slice == kSlices - 1 ? 0 : (slice + 1) * g.SegmentLength;
  return static_cast<uint32_t>((start + offset) % g.Columns);
}

void FillSegment(const Argon2idParameters& parameters, const Geometry& g, Block* memory,
                 uint32_t pass, uint32_t slice, uint32_t lane) {
  const bool independent = pass == 0 && slice < kSlices / 2;
  AddressStream addresses(parameters, g.Blocks, pass, lane, slice);
  Block* laneStart = memory + size_t{lane} * g.Columns;
  const uint32_t first = pass == 0 && slice == 0 ? 2 : 0;
  for (uint32_t index = first; index < g.SegmentLength; ++index) {
    const uint32_t column = slice * g.SegmentLength + index;
    const Block& previous = laneStart[column == 0 ? g.Columns - 1 : column - 1];
    const uint64_t random = independent ? addresses.At(index) : previous.Words[0];
    const uint32_t refLane =
        pass == 0 && slice == 0 ? lane : static_cast<uint32_t>((random >> 32) % g.Lanes);
    const uint32_t refColumn =
        ReferenceColumn(g, pass, slice, index, refLane == lane, random & 0xFFFFFFFFull);
    const Block& reference = memory[size_t{refLane} * g.Columns + refColumn];
    Compress(previous, reference, &laneStart[column], pass > 0);
  }
}

void Seed(const Argon2idParameters& parameters, const Argon2idInputs& inputs, size_t tagSize,
          uint8_t seed[kSeedSize]) {
  Blake2bContext context;
  Blake2bInit(&context, kSeedSize, nullptr, 0);
  HashLe32(&context, parameters.Lanes);
  HashLe32(&context, static_cast<uint32_t>(tagSize));
  HashLe32(&context, parameters.MemoryKiB);
  HashLe32(&context, parameters.Passes);
  HashLe32(&context, kVersion);
  HashLe32(&context, kTypeArgon2id);
  HashField(&context, inputs.Password, inputs.PasswordSize);
  HashField(&context, inputs.Salt, inputs.SaltSize);
  HashField(&context, inputs.Secret, inputs.SecretSize);
  HashField(&context, inputs.AssociatedData, inputs.AssociatedDataSize);
  Blake2bFinal(&context, seed);
}

void LoadBlock(Block* block, const uint8_t bytes[kBlockSize]) {
  for (size_t i = 0; i < kBlockWords; ++i) {
    block->Words[i] = uint64_t{LoadLe32(bytes + 8 * i)} | uint64_t{LoadLe32(bytes + 8 * i + 4)}
                                                              << 32;
  }
}

void StoreBlock(uint8_t bytes[kBlockSize], const Block& block) {
  for (size_t i = 0; i < kBlockWords; ++i) {
    StoreLe32(bytes + 8 * i, static_cast<uint32_t>(block.Words[i]));
    StoreLe32(bytes + 8 * i + 4, static_cast<uint32_t>(block.Words[i] >> 32));
  }
}

bool SizesAccepted(const Argon2idInputs& inputs, size_t tagSize) {
  const size_t kMax = 0xFFFFFFFFu;
  return tagSize >= 4 && tagSize <= kMax && inputs.SaltSize >= 8 && inputs.SaltSize <= kMax &&
         inputs.PasswordSize <= kMax && inputs.SecretSize <= kMax &&
         inputs.AssociatedDataSize <= kMax;
}

}  // namespace

size_t Argon2idMemorySize(const Argon2idParameters& parameters) {
  Geometry g;
  if (!GeometryOf(parameters, &g)) return 0;
  if (g.Blocks > static_cast<size_t>(-1) / kBlockSize) return 0;
  return size_t{g.Blocks} * kBlockSize;
}

int Argon2id(const Argon2idParameters& parameters, const Argon2idInputs& inputs, void* memory,
             size_t memorySize, uint8_t* tag, size_t tagSize) {
  Geometry g;
  const size_t needed = Argon2idMemorySize(parameters);
  if (needed == 0 || memorySize < needed || !GeometryOf(parameters, &g)) return -1;
  if (!SizesAccepted(inputs, tagSize)) return -1;
  if (reinterpret_cast<uintptr_t>(memory) % alignof(Block) != 0) return -1;
  Block* blocks = static_cast<Block*>(memory);

  // The first two columns of each lane come from H0, the column and the lane.
  uint8_t seed[kSeedSize];
  Seed(parameters, inputs, tagSize, seed);
  uint8_t bytes[kBlockSize];
  for (uint32_t lane = 0; lane < g.Lanes; ++lane) {
    for (uint32_t column = 0; column < 2; ++column) {
      uint8_t suffix[8];
      StoreLe32(suffix, column);
      StoreLe32(suffix + 4, lane);
      VariableHash(bytes, kBlockSize, seed, sizeof(seed), suffix, sizeof(suffix));
      LoadBlock(&blocks[size_t{lane} * g.Columns + column], bytes);
    }
  }
  SecureWipeObject(seed);

  for (uint32_t pass = 0; pass < parameters.Passes; ++pass) {
    for (uint32_t slice = 0; slice < kSlices; ++slice) {
      for (uint32_t lane = 0; lane < g.Lanes; ++lane) {
        FillSegment(parameters, g, blocks, pass, slice, lane);
      }
    }
  }

  // The tag: H' of the last column, XORed over the lanes.
  Block last = blocks[g.Columns - 1];
  for (uint32_t lane = 1; lane < g.Lanes; ++lane) {
    const Block& other = blocks[size_t{lane} * g.Columns + g.Columns - 1];
    for (size_t i = 0; i < kBlockWords; ++i) last.Words[i] ^= other.Words[i];
  }
  StoreBlock(bytes, last);
  VariableHash(tag, tagSize, bytes, sizeof(bytes), nullptr, 0);
  SecureWipeObject(bytes);
  SecureWipeObject(last);
  SecureWipe(memory, needed);
  return 1;
}
