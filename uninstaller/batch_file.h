// The self-deleting batch file that removes the uninstaller and the program
// folder once the uninstaller has exited.
#pragma once

#include <string>

#include "path_buffer.h"

// The root folder of the drive that holds the program folder ("C:\"): the
// batch file lies there and runs there, so that it holds no folder it
// removes. -1 when the folder does not start with a drive letter and colon.
int UninstallBatchFolder(const wchar_t* programFolder, PathBuffer<wchar_t>* root);

// The batch file in that folder: "C:\Program Files\Cryptelle" gives
// "C:\CTuninst.bat". -1 as above.
int UninstallBatchPath(const wchar_t* programFolder, PathBuffer<wchar_t>* path);

// Its text (CRLF lines), paths in the OEM code page that cmd reads: clear the
// uninstaller's read-only attribute and delete it, up to 60 times a second
// apart until it is gone; then remove the program folder (read-only cleared)
// and delete the batch file itself.
std::string UninstallBatchText(const std::string& uninstallerPath, const std::string& programFolder,
                               const std::string& batchPath);
