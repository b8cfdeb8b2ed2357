// Registry key and value names and the start-up messages about the open flag.
#pragma once

#include <windows.h>

inline constexpr WCHAR kStatusKey[] = L"SOFTWARE\\Cryptelle\\CryptDskStatus";
inline constexpr WCHAR kOpenFlagValue[] = L"CryptDskIsOpen";
inline constexpr WCHAR kUserTableKey[] = L"SOFTWARE\\Cryptelle\\DefCryptDsks";
inline constexpr WCHAR kDriveIconsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\";
inline constexpr WCHAR kDefaultIconSubkey[] = L"\\DefaultIcon";
inline constexpr WCHAR kOpenDriveIconFile[] = L"CryptelleOpen.ico";

inline constexpr WCHAR kRegistryMessageTitle[] = L"Cryptelle";

inline constexpr WCHAR kImproperShutdownText[] =
    L"The Cryptelle program has detected improper shutdown.\nLock your Cryptelle before shutting "
    L"down your computer.\nThe program will now continue normally.";

inline constexpr WCHAR kRegistryChangedOutsideText[] =
    L"A registry entry for Cryptelle was found changed outside the program.\n\nCheck that the "
    L"Cryptelle program may already be open.\n\nYou must restart your computer to resolve this "
    L"problem.\n\nThank You for using the Cryptelle program.\nThe Cryptelle program will exit now.";
