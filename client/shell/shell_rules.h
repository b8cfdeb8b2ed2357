// Decisions of the client's shell that need no OS: texts built from parts
// and the cross-program request test. The
// Windows edge calls these so that the rules are tested natively too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "path_buffer.h"
#include "window_centring.h"

// Tray balloon text field, terminator included.
constexpr size_t kBalloonTextUnits = 256;
constexpr size_t kTooltipUnits = 128;

// True only when the first 32 bytes are the terminated text
// "OpenAndExplorer". No byte at or beyond byteCount is read, so shorter data
// never matches.
bool IsOpenAndExplorerRequest(const void* data, size_t byteCount);

// The Open balloon: its fixed parts around the shared documents folder.
// 1 when it fits kBalloonTextUnits with the terminator, else 0 (out empty).
int BuildOpenBalloonText(const char16_t* sharedDocumentsFolder, char16_t out[kBalloonTextUnits]);

// The Open tooltip with the drive letter written into its blank. 1, or 0 for
// a letter outside A to Z.
int BuildOpenTooltip(char16_t driveLetter, char16_t out[kTooltipUnits]);

// The shared documents folder, a backslash if missing, the shortcut name.
int BuildStorageShortcutPath(const char16_t* sharedDocumentsFolder, PathBuffer<char16_t>* out);

// Copies text into a fixed field of `units` (terminator included). 1 when it
// fits, else 0 with the field emptied.
int CopyIntoField(const char16_t* text, char16_t* field, size_t units);

// The idle minutes a user may choose for the automatic lock: 1 to 1440;
// anything else is the default, 15.
unsigned long ClampIdleMinutes(unsigned long minutes);

// True when the last input lies at least `minutes` before `now` (both in the
// milliseconds of GetTickCount, which wraps after 49.7 days).
bool IdleLongEnough(uint32_t now, uint32_t lastInput, unsigned long minutes);

// The idle item of the tray menu: "After N minutes without input". 1, or 0
// when it does not fit `units`.
int BuildIdleMenuText(unsigned long minutes, char16_t* out, size_t units);
