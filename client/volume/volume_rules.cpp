#include "volume_rules.h"

#include "cryptdsk_protocol.h"
#include "path_buffer.h"
#include "volume_texts.h"

namespace {

// Copies the pieces one after another; -1 when they do not fit `units`
// with the terminator, else 1 with *length set.
int Concatenate(const char16_t* const* pieces, size_t count, char16_t* out, size_t units,
                size_t* length) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) total += Utf16Length(pieces[i]);
  if (units == 0 || total > units - 1) return -1;
  size_t at = 0;
  for (size_t i = 0; i < count; ++i) {
    for (const char16_t* p = pieces[i]; *p != 0; ++p) out[at++] = *p;
  }
  out[at] = 0;
  *length = at;
  return 1;
}

// The tooltip's protection line; empty for an unknown generation.
const char16_t* ProtectionLine(uint32_t generation) {
  if (generation == cryptdsk::kGenerationWholeDisk) return CT_U(CT_PROTECTION_WHOLE_DRIVE);
  if (generation == cryptdsk::kGenerationHeadOnly) return CT_U(CT_PROTECTION_FIRST_SECTORS);
  return u"";
}

}  // namespace

int BuildKernelFileName(const char16_t* path, char16_t* out, size_t units, uint16_t* length) {
  const char16_t* pieces[2] = {u"\\??\\", path};
  if (path[0] == u'\\' && path[1] == u'\\') {
    pieces[0] = u"\\??\\UNC";
    pieces[1] = path + 1;
  } else if (path[0] == u'\\') {
    pieces[0] = u"";
  }
  size_t written = 0;
  if (Concatenate(pieces, 2, out, units, &written) != 1 || written > 0xFFFF) return -1;
  *length = static_cast<uint16_t>(written);
  return 1;
}

int ParseMegabytes(const char16_t* text, int64_t* bytes) {
  size_t at = 0;
  bool negative = false;
  if (text[at] == u'+' || text[at] == u'-') negative = text[at++] == u'-';
  if (text[at] == 0) return -1;
  int64_t megabytes = 0;
  for (; text[at] != 0; ++at) {
    if (text[at] < u'0' || text[at] > u'9') return -1;
    const int digit = text[at] - u'0';
    if (megabytes > (INT64_MAX / 1048576 - digit) / 10) return -1;
    megabytes = megabytes * 10 + digit;
  }
  if (negative || megabytes == 0) return -1;
  *bytes = megabytes * 1048576;
  return 1;
}

DriveNames MakeDriveNames(char16_t letter) {
  return DriveNames{
      {letter, u':', 0}, {letter, u':', u'\\', 0}, {u'\\', u'\\', u'.', u'\\', letter, u':', 0}};
}

bool IsDriveLetter(int letter) {
  return letter >= 'A' && letter <= 'Z';
}

bool IsWindows7OrLater(unsigned long major, unsigned long minor) {
  return major > 6 || (major == 6 && minor >= 1);
}

int BuildLetterMessage(char16_t letter, const char16_t* reasons, char16_t* out, size_t units) {
  char16_t letterText[sizeof(kLetterText) / sizeof(kLetterText[0])];
  for (size_t i = 0; i < sizeof(kLetterText) / sizeof(kLetterText[0]); ++i) {
    letterText[i] = kLetterText[i];
  }
  letterText[2] = letter;
  const char16_t* pieces[3] = {kLetterMessageHead, letterText, reasons};
  size_t length = 0;
  if (Concatenate(pieces, 3, out, units, &length) == 1) return 1;
  if (units > 0) out[0] = 0;
  return 0;
}

int BuildOpenTooltip(char16_t letter, uint32_t generation, char16_t* out, size_t units) {
  char16_t head[sizeof(kOpenTooltipTemplate) / sizeof(kOpenTooltipTemplate[0])];
  for (size_t i = 0; i < sizeof(head) / sizeof(head[0]); ++i) head[i] = kOpenTooltipTemplate[i];
  head[11] = letter;
  const char16_t* protection = ProtectionLine(generation);
  const char16_t* pieces[3] = {head, u"\n", protection};
  const size_t count = protection[0] != 0 ? 3 : 1;
  size_t length = 0;
  if (Concatenate(pieces, count, out, units, &length) == 1) return 1;
  if (units > 0) out[0] = 0;
  return 0;
}

uint64_t ContainerFileBytes(uint64_t diskBytes, uint32_t generation) {
  if (generation != cryptdsk::kGenerationWholeDisk) return diskBytes;
  return diskBytes + cryptdsk::kWholeDiskBackupAreaBytes;
}

char16_t FirstListedDriveLetter(const char16_t* list) {
  const char16_t first = list[0];
  const bool upper = first >= u'A' && first <= u'Z';
  const bool lower = first >= u'a' && first <= u'z';
  if ((!upper && !lower) || list[1] != u':' || list[2] != u'\\' || list[3] != 0) return 0;
  return upper ? first : static_cast<char16_t>(first - u'a' + u'A');
}
