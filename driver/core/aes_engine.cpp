#include "aes_engine.h"

#include "secure_wipe.h"

int AesEngineSetKey(AesEngine* engine, const uint8_t key[kAesEngineKeySize], XtsEngine requested) {
  XtsEngine choice;
  if (!ResolveXtsEngine(requested, &choice)) return -1;
  engine->Engine = choice;
  if (choice == kXtsEngineAesNi) {
    AesNiSetKey(key, &engine->Keys.Ni);
  } else {
    AesCtSetKey(key, &engine->Keys.Software);
  }
  return 1;
}

void AesEngineWipe(AesEngine* engine) {
  SecureWipeObject(*engine);
}

void AesEngineEncryptBlocks(const AesEngine* engine, const uint8_t* in, uint8_t* out,
                            size_t blocks) {
  if (engine->Engine == kXtsEngineAesNi) {
    AesNiEncryptBlocks(&engine->Keys.Ni, in, out, blocks);
  } else {
    AesCtEncryptBlocks(&engine->Keys.Software, in, out, blocks);
  }
}

void AesEngineDecryptBlocks(const AesEngine* engine, const uint8_t* in, uint8_t* out,
                            size_t blocks) {
  if (engine->Engine == kXtsEngineAesNi) {
    AesNiDecryptBlocks(&engine->Keys.Ni, in, out, blocks);
  } else {
    AesCtDecryptBlocks(&engine->Keys.Software, in, out, blocks);
  }
}
