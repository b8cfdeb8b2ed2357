#include "tour_steps.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "flow_screens.h"
#include "product_names.h"
#include "tray_icon.h"
#include "vendor_info.h"
#include "win/system_probes.h"
#include "win/unique_handles.h"

namespace tour {

namespace {

constexpr wchar_t kStandInModule[] = L"volume_system_standin.dll";
constexpr int kMinuteInTenths = 600;

int PicturesSoFar(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW((folder + L"\\*.bmp").c_str(), &entry));
  if (!search.valid()) return 0;
  int count = 1;
  while (FindNextFileW(search.get(), &entry)) ++count;
  return count;
}

bool HasModule(DWORD processId, const wchar_t* name) {
  UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  bool found = false;
  for (BOOL more = snapshot.valid() && Module32FirstW(snapshot.get(), &module); more && !found;
       more = Module32NextW(snapshot.get(), &module)) {
    found = _wcsicmp(module.szModule, name) == 0;
  }
  return found;
}

// Polls `done` every tenth of a second for up to a minute.
template <typename Condition>
bool WithinAMinute(Condition done) {
  for (int tenths = 0; tenths < kMinuteInTenths; ++tenths) {
    if (done()) return true;
    Sleep(100);
  }
  return done();
}

HWND FindVisible(const wchar_t* className) {
  HWND window = FindWindowExW(nullptr, nullptr, className, nullptr);
  while (window != nullptr && !IsWindowVisible(window)) {
    window = FindWindowExW(nullptr, window, className, nullptr);
  }
  return window;
}

HWND VisibleWindowOfClass(const wchar_t* className) {
  HWND window = nullptr;
  WithinAMinute([&] { return (window = FindVisible(className)) != nullptr; });
  return window;
}

}  // namespace

UniqueHandle Start(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\",
                      &startup, &info)) {
    return UniqueHandle();
  }
  CloseHandle(info.hThread);
  return UniqueHandle(info.hProcess);
}

void Shot(HWND window, const char* name) {
  const char* folder = getenv("CRYPTELLE_TOUR_SHOTS");
  if (folder == nullptr || folder[0] == 0) return;
  Sleep(400);  // the last paint reaches the screen
  const std::wstring windowsFolder = gui::FromUnixPath(folder);
  wchar_t file[MAX_PATH];
  swprintf(file, MAX_PATH, L"%ls\\%02d-%hs.bmp", windowsFolder.c_str(),
           PicturesSoFar(windowsFolder) + 1, name);
  EXPECT_TRUE(gui::SaveScreenshot(window != nullptr ? window : GetDesktopWindow(), file)) << name;
}

void ShotOfTheTray(const char* name) {
  for (int tenths = 0; tenths < 50 && FindVisible(L"tooltips_class32") == nullptr; ++tenths) {
    Sleep(100);
  }
  Shot(nullptr, name);
}

DWORD Run(const std::wstring& commandLine) {
  UniqueHandle process = Start(commandLine);
  DWORD code = ~DWORD{0};
  if (process.valid() && WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.get(), &code);
  }
  return code;
}

void ShowProgram(const std::wstring& commandLine, const wchar_t* windowClass, const char* shot) {
  UniqueHandle program = Start(commandLine);
  ASSERT_TRUE(program.valid()) << "does not start: " << shot;
  HWND window = VisibleWindowOfClass(windowClass);
  EXPECT_NE(window, nullptr) << "no window: " << shot;
  if (window != nullptr) {
    Shot(window, shot);
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(WaitForSingleObject(program.get(), gui::kPatienceMs), WAIT_OBJECT_0) << shot;
}

HWND WaitForClientAt(const wchar_t* title) {
  HWND screen = gui::WaitForDialog(title);
  DWORD processId = 0;
  if (screen == nullptr || GetWindowThreadProcessId(screen, &processId) == 0) return nullptr;
  return WithinAMinute([&] { return HasModule(processId, kStandInModule); }) ? screen : nullptr;
}

HWND StartClientAt(const wchar_t* title) {
  const std::wstring folder = RegistryText(HKEY_LOCAL_MACHINE, CRYPTELLE_WIDE(CRYPTELLE_PRODUCT_KEY),
                                           CRYPTELLE_WIDE(CRYPTELLE_INSTALL_PATH_VALUE));
  if (!Start(L"\"" + folder + L"\\" CRYPTELLE_WIDE(CRYPTELLE_CLIENT_EXE) L"\"").valid()) {
    return nullptr;
  }
  return WaitForClientAt(title);
}

void LockAndExitFromTheTrayMenu(const char* shot) {
  HWND mainWindow = gui::WaitForMainWindow();
  ASSERT_NE(mainWindow, nullptr);
  SetCursorPos(640, 300);
  PostMessageW(mainWindow, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
  HWND menu = VisibleWindowOfClass(L"#32768");
  EXPECT_NE(menu, nullptr) << "no tray menu";
  if (menu != nullptr) {
    Shot(menu, shot);
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    gui::WaitUntilGone(menu);
  }
  flow_screens::ChooseLockAndExit();
}

bool WaitForClientExit() {
  return WithinAMinute([] {
    return FindWindowExW(HWND_MESSAGE, nullptr, CRYPTELLE_WIDE(CRYPTELLE_WINDOW_CLASS), nullptr) ==
           nullptr;
  });
}

bool WaitForDriveFiles(bool shown) {
  return WithinAMinute([shown] {
    const DWORD attributes = GetFileAttributesW(L"H:\\");
    return (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == shown;
  });
}

std::string ReadFileText(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr));
  if (!file.valid()) return "<none>";
  char text[4096] = {};
  DWORD read = 0;
  ReadFile(file.get(), text, sizeof(text) - 1, &read, nullptr);
  return std::string(text, read);
}

}  // namespace tour
