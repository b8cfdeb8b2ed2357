// ShellHelperCT.exe run for real under Wine against a stand-in client window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../../../shellhelper/messages.h"
#include "product_names.h"

namespace {

using namespace shellhelper;

constexpr wchar_t kRegistryKey[] = CRYPTELLE_WIDE(CRYPTELLE_PRODUCT_KEY);
constexpr wchar_t kInstallPathValue[] = CRYPTELLE_WIDE(CRYPTELLE_INSTALL_PATH_VALUE);
constexpr wchar_t kClientFileName[] = CRYPTELLE_WIDE(CRYPTELLE_CLIENT_EXE);
constexpr wchar_t kClientWindowClass[] = CRYPTELLE_WIDE(CRYPTELLE_WINDOW_CLASS);
constexpr wchar_t kClientWindowTitle[] = CRYPTELLE_WIDE(CRYPTELLE_WINDOW_TITLE);

// A message-only window of the client's class and title that records every
// WM_COPYDATA; it can hold its reply back to keep the helper busy.
class StandInClient {
 public:
  StandInClient() {
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, INFINITE);
  }
  ~StandInClient() {
    SetEvent(release_);
    PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(release_);
  }

  struct Request {
    ULONG_PTR dwData;
    DWORD cbData;
    std::wstring text;
  };
  std::vector<Request> requests() const { return requests_; }

  void HoldReplies() { ResetEvent(release_); }
  void ReleaseReplies() { SetEvent(release_); }
  HANDLE received() const { return received_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<StandInClient*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COPYDATA && self != nullptr) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      self->requests_.push_back({data->dwData, data->cbData,
                                 std::wstring(static_cast<const wchar_t*>(data->lpData),
                                              data->cbData / sizeof(wchar_t))});
      SetEvent(self->received_);
      WaitForSingleObject(self->release_, 20000);
      return TRUE;
    }
    if (message == WM_CLOSE) {
      DestroyWindow(window);
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  void Run() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClientWindowClass;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kClientWindowClass, kClientWindowTitle, 0, 0, 0, 0, 0,
                              HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnregisterClassW(kClientWindowClass, GetModuleHandleW(nullptr));
  }

  HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE received_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HWND window_ = nullptr;
  std::vector<Request> requests_;
  std::thread thread_;
};

// Answers the first message box with the helper's caption: records its text
// and presses OK.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() {
    thread_ = std::thread([this] {
      for (int i = 0; i < 600 && !stop_; ++i) {
        const HWND box = FindWindowW(L"#32770", kErrorCaption);
        if (box != nullptr) {
          wchar_t text[2048] = {};
          GetDlgItemTextW(box, 65535, text, 2048);
          text_ = text;
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(50);
      }
    });
  }
  ~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  std::wstring Text() {
    stop_ = false;
    thread_.join();
    thread_ = std::thread([] {});
    return text_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::wstring text_;
  std::thread thread_;
};

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text != 0; ++text) wide += static_cast<wchar_t>(*text);
  return wide;
}

HANDLE StartHelper(const std::wstring& commandLineTail = L"") {
  std::wstring commandLine = L"\"" + Widen(SHELL_HELPER_EXE) + L"\"" + commandLineTail;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start the helper: " << GetLastError();
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

DWORD WaitForExit(HANDLE process) {
  EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
  DWORD code = 999;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

void SetInstallPath(const std::wstring* path) {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRegistryKey);
  if (path == nullptr) return;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, kInstallPathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path->c_str()),
                 static_cast<DWORD>((path->size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// A folder holding a stand-in Cryptelle.exe.
std::wstring MakeInstallFolder(bool withClient) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + (withClient ? L"ct-install" : L"ct-empty");
  CreateDirectoryW(folder.c_str(), nullptr);
  if (withClient) {
    const std::wstring client = folder + L"\\" + kClientFileName;
    EXPECT_TRUE(CopyFileW(Widen(FAKE_CLIENT_EXE).c_str(), client.c_str(), FALSE));
    DeleteFileW((client + L".started").c_str());
  }
  return folder;
}

bool WaitForFile(const std::wstring& path) {
  for (int i = 0; i < 200; ++i) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

TEST(ShellHelper, RunningClientGetsExactlyOneOpenRequestAndNoNewClientStarts) {
  const std::wstring folder = MakeInstallFolder(true);
  SetInstallPath(&folder);
  StandInClient client;
  EXPECT_EQ(WaitForExit(StartHelper(L" \"C:\\some\\Cryptelle_bob.cryptdsk\"")), 0u);

  const auto requests = client.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].dwData, 0u);
  EXPECT_EQ(requests[0].cbData, 32u);
  EXPECT_EQ(requests[0].text, std::wstring(L"OpenAndExplorer", 16));
  Sleep(300);
  EXPECT_EQ(GetFileAttributesW((folder + L"\\Cryptelle.exe.started").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(ShellHelper, StartsTheClientWhenNoneRuns) {
  for (const wchar_t* ending : {L"", L"\\"}) {
    const std::wstring folder = MakeInstallFolder(true);
    const std::wstring installPath = folder + ending;
    SetInstallPath(&installPath);
    EXPECT_EQ(WaitForExit(StartHelper()), 0u);
    EXPECT_TRUE(WaitForFile(folder + L"\\Cryptelle.exe.started"))
        << "InstallPath ending '" << ending[0] << "'";
  }
}

TEST(ShellHelper, MissingInstallPathGivesTheGeneralError) {
  SetInstallPath(nullptr);
  MessageBoxAnswerer answerer;
  EXPECT_EQ(WaitForExit(StartHelper()), 0u);
  EXPECT_EQ(answerer.Text(), kGeneralError);
}

TEST(ShellHelper, FolderWithoutTheClientGivesCannotLaunch) {
  const std::wstring folder = MakeInstallFolder(false);
  SetInstallPath(&folder);
  StandInClient client;
  MessageBoxAnswerer answerer;
  EXPECT_EQ(WaitForExit(StartHelper()), 0u);
  EXPECT_EQ(answerer.Text(), kCannotLaunch);
  EXPECT_TRUE(client.requests().empty());
}

TEST(ShellHelper, SecondHelperWhileTheFirstRunsSaysAlreadyRunning) {
  const std::wstring folder = MakeInstallFolder(true);
  SetInstallPath(&folder);
  StandInClient client;
  client.HoldReplies();
  const HANDLE first = StartHelper();
  ASSERT_EQ(WaitForSingleObject(client.received(), 20000), WAIT_OBJECT_0);
  {
    MessageBoxAnswerer answerer;
    EXPECT_EQ(WaitForExit(StartHelper()), 0u);
    EXPECT_EQ(answerer.Text(), kAlreadyRunning);
  }
  client.ReleaseReplies();
  EXPECT_EQ(WaitForExit(first), 0u);
  EXPECT_EQ(client.requests().size(), 1u);
}

}  // namespace
