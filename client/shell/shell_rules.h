// Decisions of the client's shell that need no OS: names, texts built from
// parts, the centring arithmetic and the cross-program request test. The
// Windows edge calls these so that the rules are tested natively too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "path_buffer.h"

// Tray balloon text field, terminator included.
constexpr size_t kBalloonTextUnits = 256;
constexpr size_t kTooltipUnits = 128;

// The program folder with every backslash replaced by an underscore, so that
// the client and the uninstaller of one folder share one mutex. 1 or -1.
int BuildInstanceMutexName(const char16_t* installFolder, PathBuffer* out);

// True only when the first 32 bytes are the terminated text
// "OpenAndExplorer". No byte at or beyond byteCount is read, so shorter data
// never matches.
bool IsOpenAndExplorerRequest(const void* data, size_t byteCount);

struct CentredOrigin {
  long x;
  long y;
};

// Top-left corner that centres a window of the given outer size on the
// desktop rectangle; divisions truncate toward zero, so a desktop narrower
// than the window gives a negative offset.
CentredOrigin CentreOrigin(long desktopLeft, long desktopTop, long desktopRight, long desktopBottom,
                           long windowWidth, long windowHeight);

// The Open balloon: its fixed parts around the shared documents folder.
// 1 when it fits kBalloonTextUnits with the terminator, else 0 (out empty).
int BuildOpenBalloonText(const char16_t* sharedDocumentsFolder, char16_t out[kBalloonTextUnits]);

// The Open tooltip with the drive letter written into its blank. 1, or 0 for
// a letter outside A to Z.
int BuildOpenTooltip(char16_t driveLetter, char16_t out[kTooltipUnits]);

// The shared documents folder, a backslash if missing, the shortcut name.
int BuildStorageShortcutPath(const char16_t* sharedDocumentsFolder, PathBuffer* out);

// installFolder, a backslash if missing, fileName. 1 or -1.
int BuildProgramFilePath(const char16_t* installFolder, const char16_t* fileName, PathBuffer* out);

// Copies text into a fixed field of `units` (terminator included). 1 when it
// fits, else 0 with the field emptied.
int CopyIntoField(const char16_t* text, char16_t* field, size_t units);

// The free-space figure of the storage screen in whole MB: what stays free
// after a container of sizeMb, or 0 when that would leave less than 1 MB.
unsigned long long FreeSpaceFigureMb(unsigned long long freeBytes, unsigned long long sizeMb);
