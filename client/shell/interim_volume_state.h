// The registry state and entropy-pool start that the start-up needs, until
// the volume and crypto subsystems provide them.
// TODO(volume, crypto): switch to their functions and delete this pair.
#pragma once

#include <windows.h>

// Removes "CryptDskIsOpen" left by an improper shutdown, with its message.
void ClearStaleOpenFlag();
// 1 at least one user under DefCryptDsks, else 0.
int AnyUserRegistered();
// 1 the open flag is a letter and a colon (*letter set), else 0.
int ReadCryptDskOpenFlag(wchar_t* letter);
// 1 the entropy pool runs.
int RandomPoolStart();
