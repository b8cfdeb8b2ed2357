// UTF-8 text from the command line and standard input, as the UTF-16 code
// units the Windows client would hold, and back for printing.
#pragma once

#include <stddef.h>

#include <string>

#include "path_buffer.h"

// Strict UTF-8 (no overlong forms, surrogates, values above U+10FFFF or NUL) into
// at most 260 units plus terminator. 1; 0 more than 260 units; -1 not UTF-8.
// On 0 and -1 out is all zero.
int Utf8ToUtf16(const char* text, size_t length, char16_t out[kPathBufferUnits]);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD. The result is
// allocated once, so a secret leaves no freed copy behind: the caller wipes
// the one it gets.
std::string Utf16ToUtf8(const char16_t* text);
