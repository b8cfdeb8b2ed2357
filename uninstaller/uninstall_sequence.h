// The removal itself: confirmations, the driver's device and file, user
// data, program files, registry, shortcuts, and the self-deleting batch file.
#pragma once

#include <windows.h>

#include <string>

namespace uninstaller {

// Status labels of the dialog, each turned to "COMPLETED" once its step is done.
enum StatusLabel : int {
  kLabelDrivers = 103,
  kLabelProgramFiles = 104,
  kLabelSubFolders = 105,
  kLabelRegistry = 106,
  kLabelShortcuts = 107,
};

struct SequenceContext {
  HWND dialog;                 // owner of the in-sequence messages, holder of the labels
  std::wstring programFolder;  // no trailing backslash
  std::wstring uninstallerPath;
};

// 1 when the batch file has been started, 0 when the user cancelled or the
// driver's device could not be removed (already reported), -1 on an
// internal error (no message).
int RunUninstallSequence(const SequenceContext& context);

}  // namespace uninstaller
