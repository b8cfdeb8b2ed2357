// Registry key and value names and the start-up messages about the open flag.
#pragma once

#include <windows.h>

#include "client_texts.h"

inline constexpr WCHAR kStatusKey[] = CT_W(CT_REG_STATUS_KEY);
inline constexpr WCHAR kOpenFlagValue[] = CT_W(CT_REG_OPEN_VALUE);
inline constexpr WCHAR kUserTableKey[] = CT_W(CT_REG_USERS_KEY);
inline constexpr WCHAR kDriveIconsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\";
inline constexpr WCHAR kDefaultIconSubkey[] = L"\\DefaultIcon";
inline constexpr WCHAR kOpenDriveIconFile[] = CT_W(CT_OPEN_ICON_FILE);

inline constexpr WCHAR kRegistryMessageTitle[] = CT_W(CT_PRODUCT);

inline constexpr WCHAR kImproperShutdownText[] =
    L"The Cryptelle program has detected improper shutdown.\nLock your Cryptelle before shutting "
    L"down your computer.\nThe program will now continue normally.";

inline constexpr WCHAR kRegistryChangedOutsideText[] =
    L"A registry entry for Cryptelle was found changed outside the program.\n\nCheck that the "
    L"Cryptelle program may already be open.\n\nYou must restart your computer to resolve this "
    L"problem.\n\nThank You for using the Cryptelle program.\nThe Cryptelle program will exit now.";
