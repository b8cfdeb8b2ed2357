// The hook's text tests, free of the OS so that they are tested natively.
#pragma once

#include <stddef.h>

namespace prompt_guard {

// True when the last path component of `path`, lower-cased (A-Z and the
// Latin-1 capitals), contains "explorer.exe".
bool IsShellExecutable(const wchar_t* path);

// True when the first 31 units of `text`, lower-cased, contain "format".
bool IsFormatText(const wchar_t* text);

}  // namespace prompt_guard
