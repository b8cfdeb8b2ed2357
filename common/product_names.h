// Names that more than one Cryptelle program uses: registry keys and values,
// the client's window and request, the package's files. Macros, as in
// vendor_info.h, so the ANSI setup program pastes them into "..." literals
// and the Unicode programs into L"..." ones through CRYPTELLE_WIDE.
#pragma once

#include "vendor_info.h"

#define CRYPTELLE_NARROW(text) text

// Registry, under HKEY_LOCAL_MACHINE.
#define CRYPTELLE_PRODUCT_KEY "SOFTWARE\\Cryptelle"
#define CRYPTELLE_INSTALL_PATH_VALUE "InstallPath"
#define CRYPTELLE_STATUS_KEY CRYPTELLE_PRODUCT_KEY "\\CryptDskStatus"
#define CRYPTELLE_OPEN_FLAG_VALUE "CryptDskIsOpen"
#define CRYPTELLE_USERS_KEY CRYPTELLE_PRODUCT_KEY "\\DefCryptDsks"

// The client's hidden main window, which the shell helper finds by class and
// title and asks to open the drive.
#define CRYPTELLE_WINDOW_CLASS "CryptelleWindowClass"
#define CRYPTELLE_WINDOW_TITLE "Cryptelle"
#define CRYPTELLE_OPEN_REQUEST "OpenAndExplorer"

// The program folder's data folders.
#define CRYPTELLE_STORAGE_FOLDER "CryptDsks"
#define CRYPTELLE_KEY_FOLDER "Key"
#define CRYPTELLE_RECOVERY_FOLDER "PRF"

// The files of an installation.
#define CRYPTELLE_CLIENT_EXE "Cryptelle.exe"
#define CRYPTELLE_SETUP_EXE "CryptelleSetup.exe"
#define CRYPTELLE_UNINSTALLER_EXE "CryptelleUninstaller.exe"
#define CRYPTELLE_DRIVER_SYS "cryptdsk.sys"
#define CRYPTELLE_DRIVER_INF "cryptdsk.inf"
#define CRYPTELLE_HOOK_DLL "PromptGuard.dll"
#define CRYPTELLE_SHELL_HELPER_EXE "ShellHelperCT.exe"
#define CRYPTELLE_ICON_FILE "CryptelleIcon.ico"
#define CRYPTELLE_OPEN_ICON_FILE "CryptelleOpen.ico"
#define CRYPTELLE_LOCKED_ICON_FILE "CryptelleLocked.ico"
#define CRYPTELLE_MANUAL_FILE "CryptelleManual.pdf"
#define CRYPTELLE_README_FILE "CryptelleReadMe.txt"
#define CRYPTELLE_UNINSTALL_LOG "uninst.log"

// What the uninstaller deletes from the program folder (the uninstaller
// itself goes last, through its batch file). TEXT is CRYPTELLE_NARROW or
// CRYPTELLE_WIDE.
#define CRYPTELLE_PROGRAM_FOLDER_FILES(TEXT)                                                  \
  TEXT(CRYPTELLE_DRIVER_INF), TEXT(CRYPTELLE_DRIVER_SYS), TEXT(CRYPTELLE_CLIENT_EXE),         \
      TEXT(CRYPTELLE_ICON_FILE), TEXT(CRYPTELLE_LOCKED_ICON_FILE), TEXT(CRYPTELLE_MANUAL_FILE), \
      TEXT(CRYPTELLE_OPEN_ICON_FILE), TEXT(CRYPTELLE_SETUP_EXE), TEXT(CRYPTELLE_SHELL_HELPER_EXE), \
      TEXT(CRYPTELLE_HOOK_DLL), TEXT(CRYPTELLE_README_FILE), TEXT(CRYPTELLE_UNINSTALL_LOG)
