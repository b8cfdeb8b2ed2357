#include "batch_file.h"

namespace {

// A path in quotation marks for cmd, with every "%" doubled so that cmd
// does not expand it.
std::string Quoted(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

}  // namespace

int UninstallBatchFolder(const wchar_t* programFolder, PathBuffer<wchar_t>* root) {
  if (programFolder[0] == 0 || programFolder[1] != L':') return -1;
  const wchar_t driveRoot[] = {programFolder[0], L':', L'\\', 0};
  return root->Assign(driveRoot);
}

int UninstallBatchPath(const wchar_t* programFolder, PathBuffer<wchar_t>* path) {
  PathBuffer<wchar_t> root;
  if (UninstallBatchFolder(programFolder, &root) != 1) return -1;
  return path->AssignJoined(root.c_str(), L"CTuninst.bat");
}

std::string UninstallBatchText(const std::string& uninstallerPath, const std::string& programFolder,
                               const std::string& batchPath) {
  const std::string uninstaller = Quoted(uninstallerPath);
  const std::string folder = Quoted(programFolder);
  // clang-format off
  return "@echo off\r\n"
         "set tries=0\r\n"
         ":Repeat\r\n"
         "attrib -r " + uninstaller + "\r\n"
         "del " + uninstaller + "\r\n"
         "if not exist " + uninstaller + " goto Removed\r\n"
         "set /a tries+=1\r\n"
         "if %tries% geq 60 goto Removed\r\n"
         "ping -n 2 127.0.0.1 >nul\r\n"
         "goto Repeat\r\n"
         ":Removed\r\n"
         "attrib -r " + folder + "\r\n"
         "rmdir " + folder + "\r\n"
         "del " + Quoted(batchPath) + "\r\n";
  // clang-format on
}
