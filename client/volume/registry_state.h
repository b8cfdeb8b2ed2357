// The client's registry state under HKEY_LOCAL_MACHINE: the open flag, the
// user table "DefCryptDsks" and the icon of the open drive. Results: 1
// success, 0 failure (reported by the value only; the caller decides).
#pragma once

#include <windows.h>

// set: writes "CryptDskIsOpen" = deviceName (letter and colon).
// clear: deletes the value; 1 when the key could be opened.
int SetCryptDskOpenFlag(const WCHAR* deviceName, bool set);

// Start-up with nothing attached: removes a leftover open flag and tells the
// user about the improper shutdown. Nothing happens when there is no flag.
void ClearStaleOpenFlag();

// Start-up with a container attached: 1 with the flag's drive letter when the
// value is exactly a letter and a colon; 0 for anything else (missing key or
// value, other form), which the start-up reports as changed outside.
int ReadOpenFlagDriveLetter(WCHAR* letter);

// set: the letter's DefaultIcon becomes InstallFolder\CryptelleOpen.ico.
// clear: an existing DefaultIcon is emptied; nothing is created.
int SetDriveIcon(WCHAR letter, bool set);

// The user table: UserName = StorageFilePath.
int WriteDefaultCryptDsk();
// Reads UserName's value into StorageFilePath and lower-cases it (also when
// the read failed: then the previous content). A value that does not fit in
// 261 units with its terminator gives 0.
int ReadDefaultCryptDsk();
int DefaultCryptDskExists(const WCHAR* name);
int DeleteDefaultCryptDsk();
// 1 when the user table exists and holds at least one value.
int AnyUserRegistered();
