// The user key file and the password recovery file on disk. Results: 1
// success, 0 refusal already shown to the user, -1 error (no message unless
// stated; the calling flow decides).
#pragma once

#include <stdint.h>
#include <windows.h>

#include "account_state.h"

// Every file these create carries the private descriptor (SYSTEM and
// Administrators only), and none is reached through a junction or symbolic
// link: a Key or PRF folder, key file or recovery file that is one gives -1.

// Writes the key file of UserName for Password and StorageFilePath (already
// lower-cased). New user: fresh salt and key material, exclusive create.
// ChangingPassword: re-wraps the key material read with OldPassword into the
// temporary file (key file name + ".new"), flushes it and then replaces the
// key file in one step, so a crash leaves either the old or the new file
// whole. A temporary file still there fails with -1 and changes nothing; a
// failed replace leaves the earlier key file and the temporary file. An
// unencodable path shows the mode's message, sets MustCloseProgram and
// returns -1.
int WriteUserKeyFile(HWND owner);

// 1 when Password opens UserKeyFilePath and its stored path equals
// StorageFilePath; 0 on a mismatch after its message; -1 when the file is
// absent, unreadable or shorter than 804 bytes (a file that exists but
// cannot be opened shows "This user does not exist." first). A temporary
// file left by an unfinished change is settled first: deleted when the key
// file opens with Password; moved into its place when the key file does not
// (missing, damaged or still under the earlier password) and it does.
int VerifyUserPassword(HWND owner);

// The disk key the open request carries: the first generation's 32 bytes,
// or the second's data key and tweak key.
struct UserDiskKey {
  uint32_t Generation;  // cryptdsk::kGenerationHeadOnly or kGenerationWholeDisk
  uint8_t Key[64];      // the first generation uses bytes 0 to 31
};

// Reads UserKeyFilePath with Password (after VerifyUserPassword, inside the
// same RememberedAccountKeyScope, so the check's derivation serves again).
// 1 filled; -1 unreadable or not opened (key all zero). The caller wipes it.
int ReadUserDiskKey(UserDiskKey* key);

// Salt (20 bytes, optional) and key: DiskKey (32 bytes), or in change-
// password mode the 256 bytes of key material unwrapped with OldPassword.
// The password is not checked: a wrong one yields a wrong key. 1 or -1.
int ReadUserKeyFile(uint8_t* saltOut, uint8_t* keyOut);

// Writes RecoveryFilePath with Password under the three answers and a fresh
// salt; on success the answer slots are zeroed. Change-password mode removes
// the earlier file first. An unencodable password leaves no file, shows the
// mode's message, sets MustCloseProgram and returns -1 (new user) or 0.
int WriteRecoveryFile(HWND owner, AnswerTexts& answers);

// 1: the copies agree; Password and RecoveryAnswers are filled. 0: they
// disagree (nothing changed, no message). -1: the file cannot be opened or
// read, or is not 1604 bytes (that one after its message).
int ReadRecoveryFile(HWND owner, const AnswerTexts& answers);
