#include "shell_rules.h"

#include <string.h>

#include "client_texts.h"

bool IsOpenAndExplorerRequest(const void* data, size_t byteCount) {
  static const char16_t kRequest[] = CT_U(CT_OPEN_AND_EXPLORER);
  if (data == nullptr || byteCount < sizeof(kRequest)) return false;
  return memcmp(data, kRequest, sizeof(kRequest)) == 0;
}

int CopyIntoField(const char16_t* text, char16_t* field, size_t units) {
  const size_t length = Utf16Length(text);
  if (length >= units) {
    field[0] = 0;
    return 0;
  }
  memcpy(field, text, (length + 1) * sizeof(char16_t));
  return 1;
}

int BuildOpenBalloonText(const char16_t* sharedDocumentsFolder, char16_t out[kBalloonTextUnits]) {
  static const char16_t kHead[] = CT_U(CT_BALLOON_OPEN_HEAD);
  static const char16_t kTail[] = CT_U(CT_BALLOON_OPEN_TAIL);
  const size_t headUnits = Utf16Length(kHead);
  const size_t folderUnits = Utf16Length(sharedDocumentsFolder);
  const size_t tailUnits = Utf16Length(kTail);
  if (headUnits + folderUnits + tailUnits >= kBalloonTextUnits) {
    out[0] = 0;
    return 0;
  }
  char16_t* cursor = out;
  memcpy(cursor, kHead, headUnits * sizeof(char16_t));
  cursor += headUnits;
  memcpy(cursor, sharedDocumentsFolder, folderUnits * sizeof(char16_t));
  cursor += folderUnits;
  memcpy(cursor, kTail, (tailUnits + 1) * sizeof(char16_t));
  return 1;
}

int BuildOpenTooltip(char16_t driveLetter, char16_t out[kTooltipUnits]) {
  static const char16_t kTemplate[] = CT_U(CT_TOOLTIP_OPEN);
  if (driveLetter < u'A' || driveLetter > u'Z') {
    out[0] = 0;
    return 0;
  }
  if (CopyIntoField(kTemplate, out, kTooltipUnits) != 1) return 0;
  for (char16_t* unit = out; *unit != 0; ++unit) {
    if (unit[0] == u'(' && unit[1] == u' ') {
      unit[1] = driveLetter;
      break;
    }
  }
  return 1;
}

int BuildStorageShortcutPath(const char16_t* sharedDocumentsFolder, PathBuffer<char16_t>* out) {
  return out->AssignJoined(sharedDocumentsFolder, CT_U(CT_SHORTCUT_FILE));
}

unsigned long ClampIdleMinutes(unsigned long minutes) {
  return minutes >= 1 && minutes <= 1440 ? minutes : 15;
}

bool IdleLongEnough(uint32_t now, uint32_t lastInput, unsigned long minutes) {
  const uint32_t idleMs = now - lastInput;  // modulo 2^32: right across the wrap
  return idleMs >= static_cast<uint64_t>(minutes) * 60000u;
}

int BuildIdleMenuText(unsigned long minutes, char16_t* out, size_t units) {
  char16_t number[8];
  size_t digits = 0;
  do {
    number[digits++] = static_cast<char16_t>(u'0' + minutes % 10);
    minutes /= 10;
  } while (minutes != 0 && digits < 7);
  char16_t text[64];
  size_t used = 0;
  for (const char16_t* unit = CT_U(CT_MENU_AUTO_LOCK_IDLE_HEAD); *unit != 0; ++unit) {
    text[used++] = *unit;
  }
  while (digits != 0) text[used++] = number[--digits];
  for (const char16_t* unit = CT_U(CT_MENU_AUTO_LOCK_IDLE_TAIL); *unit != 0; ++unit) {
    text[used++] = *unit;
  }
  text[used] = 0;
  return CopyIntoField(text, out, units);
}
