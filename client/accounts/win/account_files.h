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
// lower-cased). New user: exclusive create; with WantWholeDriveEncryption a
// second-generation file (fresh 32-byte salt, 64 fresh key bytes, the
// client's Argon2id cost), otherwise a first-generation one (fresh salt and
// key material). ChangingPassword: the file read with OldPassword, of the
// generation it has, is written again for Password (the first generation
// re-wraps its key material; the second keeps keys, path and cost under a
// new salt) into the temporary file (key file name + ".new"), flushed and
// then put in the key file's place in one step, so a crash leaves either the
// old or the new file whole. A temporary file still there fails with -1 and
// changes nothing; a failed replace leaves the earlier key file and the
// temporary file. A first-generation path that cannot be encoded shows the
// mode's message, sets MustCloseProgram and returns -1. Inside a
// RememberedAccountKeyScope a second-generation file written is remembered,
// so the check and the read after it derive nothing more.
int WriteUserKeyFile(HWND owner);

// 1 when Password opens UserKeyFilePath and its stored path equals
// StorageFilePath; 0 on a mismatch after its message (a second-generation
// file that the password does not open, or that was altered, is one; its
// message says the whole drive is encrypted); -1 when the file is absent,
// unreadable, neither 804 bytes or more nor a 736-byte second-generation
// file, or Argon2id has no memory (a file that exists but cannot be opened
// shows "This user does not exist." first). A temporary
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

// Writes RecoveryFilePath with Password under the three answers and a fresh
// salt; on success the answer slots are zeroed. Of the second generation for
// a new user with WantWholeDriveEncryption and for a changing user whose key
// file is (at that file's cost), otherwise of the first. Change-password mode
// removes the earlier file first. A password the first generation cannot
// encode leaves no file, shows the mode's message, sets MustCloseProgram and
// returns -1 (new user) or 0.
int WriteRecoveryFile(HWND owner, AnswerTexts& answers);

// 1: the answers open the file (the first generation's three copies agree,
// the second generation's MAC holds); Password and RecoveryAnswers are
// filled. 0: they do not (nothing changed, no message). -1: the file cannot
// be opened or read, or is neither 1604 bytes nor a 672-byte second-
// generation file (that one after its message).
int ReadRecoveryFile(HWND owner, const AnswerTexts& answers);
