// Run under valgrind's memcheck with the keys and the data marked undefined:
// memcheck then reports every branch taken on them and every address
// computed from them. The constant-time AES and its XTS must draw no report.
// With the argument "table" the table-driven AES runs instead and must draw
// reports, which shows the check sees a secret-dependent lookup.
#include <stdint.h>
#include <string.h>
#include <valgrind/memcheck.h>

#include "aes.h"
#include "aes_ct.h"
#include "xts.h"

int main(int argc, char** argv) {
  uint8_t key[kXtsKeySize];
  uint8_t data[3 * kXtsSectorSize];
  for (size_t i = 0; i < sizeof(key); ++i) key[i] = static_cast<uint8_t>(i * 29 + 3);
  for (size_t i = 0; i < sizeof(data); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
  VALGRIND_MAKE_MEM_UNDEFINED(key, sizeof(key));
  VALGRIND_MAKE_MEM_UNDEFINED(data, sizeof(data));

  if (argc > 1 && strcmp(argv[1], "table") == 0) {
    AesKeySchedule table;
    AesSetKey(key, 32, 0, &table);
    AesEncryptBlock(data, data, &table);
    AesDecryptBlock(data, data, &table);
    return 0;
  }

  AesCtSchedule schedule;
  AesCtSetKey(key, &schedule);
  AesCtEncryptBlocks(&schedule, data, data, 2 * kAesCtBatchBlocks + 1);
  AesCtDecryptBlocks(&schedule, data, data, 2 * kAesCtBatchBlocks + 1);

  XtsContext context;
  if (XtsSetKey(&context, key, kXtsEngineSoftware) != 1) return 2;
  XtsEncryptSectors(&context, 7, data, data, 3);
  XtsDecryptSectors(&context, 7, data, data, 3);
  XtsWipe(&context);
  return 0;
}
