#include "batch_file.h"

int UninstallBatchPath(const wchar_t* programFolder, PathBuffer<wchar_t>* path) {
  if (programFolder[0] == 0 || programFolder[1] != L':') return -1;
  const wchar_t driveRoot[] = {programFolder[0], L':', L'\\', 0};
  return path->AssignJoined(driveRoot, L"CTuninst.bat");
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
