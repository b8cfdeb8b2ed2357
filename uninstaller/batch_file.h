// The self-deleting batch file that removes the uninstaller and the program
// folder once the uninstaller has exited.
#pragma once

#include <string>

#include "path_buffer.h"

// The batch file lies in the root folder of the drive that holds the program
// folder: "C:\Program Files\Cryptelle" gives "C:\CTuninst.bat". -1 when the
// folder does not start with a drive letter and colon.
int UninstallBatchPath(const wchar_t* programFolder, PathBuffer<wchar_t>* path);

// Its five lines (CRLF): repeat deleting the uninstaller until it is gone,
// remove the program folder, delete the batch file itself. Paths in the
// ANSI code page.
std::string UninstallBatchText(const std::string& uninstallerPath, const std::string& programFolder,
                               const std::string& batchPath);
