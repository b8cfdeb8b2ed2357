// Writing the account files so that no failure leaves a damaged one: a new
// file is created exclusively and written whole, or removed again; a key file
// is replaced by its successor, written whole beside it and renamed over it in
// one step. The Windows client and the Linux tool each supply the file calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

// What a store's exclusive create-and-write did.
enum class StoreWrite {
  kWritten,          // created, written whole and flushed to stable storage
  kExists,           // a file of that name is already there; it is untouched
  kNotCreated,       // the create failed for another reason
  kCreatedNotWhole,  // created, then a write, flush or close failed
};

template <typename Unit>
class AccountFileStore {
 public:
  virtual StoreWrite CreateNewAndWrite(const Unit* path, const uint8_t* bytes, size_t length) = 0;
  // Renames from over to in one step that reaches the disk; false when the
  // rename did not happen.
  virtual bool Replace(const Unit* from, const Unit* to) = 0;
  virtual void Remove(const Unit* path) = 0;

 protected:
  ~AccountFileStore() = default;
};

enum class AccountFileWrite { kDone, kExists, kWriteFailed, kReplaceFailed };

// Creates path with bytes, never over an existing file. A file it created
// but could not write whole is removed again. kDone, kExists or kWriteFailed.
template <typename Unit>
AccountFileWrite WriteNewFileWhole(AccountFileStore<Unit>& store, const Unit* path,
                                   const uint8_t* bytes, size_t length) {
  const StoreWrite created = store.CreateNewAndWrite(path, bytes, length);
  if (created == StoreWrite::kWritten) return AccountFileWrite::kDone;
  if (created == StoreWrite::kExists) return AccountFileWrite::kExists;
  if (created == StoreWrite::kCreatedNotWhole) store.Remove(path);
  return AccountFileWrite::kWriteFailed;
}

// Writes bytes to temporary as WriteNewFileWhole does, then renames it over
// keyFile. On every failure keyFile is untouched: a temporary already there
// is left as it was (kExists), a partly written one is removed
// (kWriteFailed), a whole one stays when the rename fails (kReplaceFailed).
template <typename Unit>
AccountFileWrite ReplaceKeyFileSafely(AccountFileStore<Unit>& store, const Unit* keyFile,
                                      const Unit* temporary, const uint8_t* bytes, size_t length) {
  const AccountFileWrite written = WriteNewFileWhole(store, temporary, bytes, length);
  if (written != AccountFileWrite::kDone) return written;
  return store.Replace(temporary, keyFile) ? AccountFileWrite::kDone
                                           : AccountFileWrite::kReplaceFailed;
}
