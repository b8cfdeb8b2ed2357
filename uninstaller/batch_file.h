// The self-deleting batch file that removes the uninstaller and the program
// folder once the uninstaller has exited.
#pragma once

#include <string>

inline constexpr char kUninstallBatchName[] = "CTuninst.bat";

// The batch file lies in the root folder of the drive that holds the program
// folder: "C:\Program Files\Cryptelle" gives "C:\CTuninst.bat". Empty when
// the folder does not start with a drive letter and colon.
std::wstring UninstallBatchPath(const std::wstring& programFolder);

// Its five lines (CRLF): repeat deleting the uninstaller until it is gone,
// remove the program folder, delete the batch file itself. Paths in the
// ANSI code page.
std::string UninstallBatchText(const std::string& uninstallerPath, const std::string& programFolder,
                               const std::string& batchPath);
