#include "setup_harness.h"

#include <objbase.h>
#include <setupapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

#include "setup_texts.h"
#include "win/gui_driver.h"

namespace setup_test {

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::string& path, const std::string& content) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadText(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  CloseHandle(file);
  return content;
}

bool CreateFolders(const std::string& path) {
  for (size_t slash = path.find('\\', 3); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  }
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH + 1] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return "";
  return path;
}

namespace {

// Files copied from the build; the rest are stand-ins of a few bytes.
struct BuiltFile {
  const char* name;
  const char* source;
};
const BuiltFile kBuiltFiles[] = {
    {CRYPTELLE_SETUP_EXE, BUILT_SETUP_EXE},
    {CRYPTELLE_DRIVER_SYS, CRYPTDSK_SYS},
    {CRYPTELLE_DRIVER_INF, CRYPTDSK_INF},
    {CRYPTELLE_CLIENT_EXE, STANDIN_CLIENT_EXE},
};

const char* BuiltSource(const std::string& name) {
  for (const BuiltFile& file : kBuiltFiles) {
    if (name == file.name) return file.source;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> PackageFileNames() {
  return {CRYPTELLE_CLIENT_EXE,       CRYPTELLE_UNINSTALLER_EXE, CRYPTELLE_SETUP_EXE,
          CRYPTELLE_DRIVER_SYS,       CRYPTELLE_DRIVER_INF,      CRYPTELLE_HOOK_DLL,
          CRYPTELLE_SHELL_HELPER_EXE, CRYPTELLE_ICON_FILE,       CRYPTELLE_OPEN_ICON_FILE,
          CRYPTELLE_LOCKED_ICON_FILE, CRYPTELLE_MANUAL_FILE,     CRYPTELLE_README_FILE};
}

std::string MakePackage(const std::string& name, const std::string& leaveOut,
                        const std::vector<std::string>& extras) {
  const std::string folder = "C:\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& file : PackageFileNames()) {
    if (file == leaveOut) continue;
    const std::string target = folder + "\\" + file;
    if (const char* source = BuiltSource(file)) {
      CopyFileA(source, target.c_str(), FALSE);
    } else {
      WriteText(target, "stand-in for " + file);
    }
  }
  for (const std::string& extra : extras) WriteText(folder + "\\" + extra, "extra");
  return folder;
}

SetupRun::SetupRun(const std::string& packageFolder, const std::string& currentFolder) {
  std::string commandLine = "\"" + packageFolder + "\\" + CRYPTELLE_SETUP_EXE + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
  }
}

SetupRun::~SetupRun() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
  CloseHandle(process_);
}

HWND SetupRun::WaitForSetupDialog() {
  dialog_ = gui::WaitForDialog(gui::Widen(setup::kDialogTitle).c_str());
  return dialog_;
}

void SetupRun::SetInstallPath(const std::string& path) {
  const std::wstring wide = gui::Widen(path.c_str());
  SendMessageW(GetDlgItem(dialog_, IDC_INSTALL_PATH), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(wide.c_str()));
}

void SetupRun::Press(int id) {
  gui::Press(dialog_, id);
}

std::string SetupRun::Item(int id) const {
  char text[4096] = {};
  GetDlgItemTextA(dialog_, id, text, sizeof(text));
  return text;
}

HWND SetupRun::WaitForOwnedDialog(DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window != nullptr;
         window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
      if (GetWindow(window, GW_OWNER) == dialog_ && IsWindowVisible(window)) return window;
    }
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(50);
  }
}

bool SetupRun::ButtonEnabled(int id) const {
  return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE;
}

DWORD SetupRun::Wait(DWORD timeoutMs) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    return ~DWORD{0};
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::string Answer(const char* caption, int button, DWORD timeoutMs) {
  const std::wstring text = gui::AnswerMessageBox(gui::Widen(caption).c_str(), button, timeoutMs);
  return std::string(text.begin(), text.end());
}

int WaitForAnyOf(const std::vector<const char*>& captions, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    for (size_t i = 0; i < captions.size(); ++i) {
      const HWND window = FindWindowA("#32770", captions[i]);
      if (window != nullptr && IsWindowVisible(window)) return static_cast<int>(i);
    }
    if (GetTickCount() - start > timeoutMs) return -1;
    Sleep(50);
  }
}

namespace {

struct ChildSearch {
  const std::string* text;
  bool found;
};

BOOL CALLBACK MatchChildText(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<ChildSearch*>(context);
  char text[MAX_PATH + 1] = {};
  GetWindowTextA(child, text, sizeof(text));
  search->found = *search->text == text;
  return search->found ? FALSE : TRUE;
}

}  // namespace

bool WaitForChildText(HWND window, const std::string& text, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    ChildSearch search{&text, false};
    EnumChildWindows(window, MatchChildText, reinterpret_cast<LPARAM>(&search));
    if (search.found) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
}

std::string RegistryText(HKEY root, const char* key, const char* value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return "<missing>";
  char data[1024] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  const LONG read =
      RegQueryValueExA(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(opened);
  if (read != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
  // The stored size counts the terminating zero.
  if (size == 0 || data[size - 1] != 0) return "<no terminator>";
  return data;
}

bool KeyExists(HKEY root, const char* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

void DeleteKeyTree(HKEY root, const char* key) {
  SHDeleteKeyA(root, key);
}

LinkFacts ReadLink(const std::string& path) {
  LinkFacts facts;
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    const std::wstring wide = gui::Widen(path.c_str());
    if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
      facts.loaded = true;
      char text[MAX_PATH + 1] = {};
      if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) facts.target = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) facts.workingDirectory = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &facts.iconIndex))) facts.icon = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) facts.description = text;
    }
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  if (com) CoUninitialize();
  return facts;
}

int CountCryptDskDevices() {
  const HDEVINFO set =
      SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    char ids[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2,
                                           nullptr)) {
      continue;
    }
    for (const char* id = ids; *id != 0; id += strlen(id) + 1) {
      if (_stricmp(id, "CryptDsk") == 0) ++count;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return count;
}

}  // namespace setup_test
