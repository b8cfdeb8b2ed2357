// Setup and uninstall as a person does them, through the programs' own
// dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace journey {

// Runs CryptelleSetup.exe from the package folder, presses Install and
// answers the last question with Yes, so that setup starts the client.
// Gives the folder Cryptelle was installed into, or "" with `failure` set.
std::wstring InstallWithSetup(const std::wstring& packageFolder, std::wstring* failure);

// Starts the installed uninstaller, presses OK and then OK on every box it
// shows (the data prompts, and any message), until it ends. Gives the box
// texts in order; `exitCode` gets its exit code (~0 when it did not end).
std::vector<std::wstring> UninstallAnsweringOk(const std::wstring& installFolder, DWORD* exitCode);

}  // namespace journey
