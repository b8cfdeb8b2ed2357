// The removal itself: confirmations, the driver's device and file, user
// data, program files, registry, shortcuts, and the self-deleting batch file.
#pragma once

#include <windows.h>

namespace uninstaller {

struct SequenceContext {
  HWND dialog;                   // owner of the in-sequence messages, holder of the status labels
  const wchar_t* programFolder;  // no trailing backslash
  const wchar_t* uninstallerPath;
};

// 1 when the batch file has been started, 0 when the user cancelled or the
// driver's device could not be removed (already reported), -1 on an
// internal error (no message).
int RunUninstallSequence(const SequenceContext& context);

}  // namespace uninstaller
