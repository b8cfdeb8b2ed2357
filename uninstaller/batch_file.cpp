#include "batch_file.h"

std::wstring UninstallBatchPath(const std::wstring& programFolder) {
  if (programFolder.size() < 2 || programFolder[1] != L':') return std::wstring();
  std::wstring path = programFolder.substr(0, 2) + L"\\";
  for (const char* p = kUninstallBatchName; *p != 0; ++p) path += static_cast<wchar_t>(*p);
  return path;
}

std::string UninstallBatchText(const std::string& uninstallerPath, const std::string& programFolder,
                               const std::string& batchPath) {
  return ":Repeat\r\n"
         "del \"" +
         uninstallerPath +
         "\"\r\n"
         "if exist \"" +
         uninstallerPath +
         "\" goto Repeat\r\n"
         "rmdir \"" +
         programFolder +
         "\"\r\n"
         "del \"" +
         batchPath + "\"\r\n";
}
