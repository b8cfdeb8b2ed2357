#include "gui_harness.h"

#include <vector>

namespace gui {

namespace {

constexpr DWORD kPollMs = 50;

// Polls `found` until it gives a non-null window or patience runs out.
template <typename Probe>
HWND Poll(Probe found) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = found();
    if (window != nullptr || GetTickCount() - start > kPatienceMs) return window;
    Sleep(kPollMs);
  }
}

struct CountRequest {
  DWORD processId;
  int count;
};

BOOL CALLBACK CountIfDialogOf(HWND window, LPARAM parameter) {
  auto* request = reinterpret_cast<CountRequest*>(parameter);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == request->processId && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
    ++request->count;
  }
  return TRUE;
}

}  // namespace

ClientProcess::~ClientProcess() {
  if (Running()) Kill();
  if (process_ != nullptr) CloseHandle(process_);
}

bool ClientProcess::LoadLibraryInto(const std::wstring& libraryPath) {
  const SIZE_T bytes = (libraryPath.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  bool loaded = false;
  // kernel32 sits at the same address in every process of the session.
  auto* load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  if (WriteProcessMemory(process_, remote, libraryPath.c_str(), bytes, nullptr)) {
    HANDLE thread = CreateRemoteThread(process_, nullptr, 0, load, remote, 0, nullptr);
    if (thread != nullptr) {
      DWORD module = 0;
      loaded = WaitForSingleObject(thread, kPatienceMs) == WAIT_OBJECT_0 &&
               GetExitCodeThread(thread, &module) && module != 0;
      CloseHandle(thread);
    }
  }
  VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
  return loaded;
}

bool ClientProcess::Attach(DWORD processId) {
  if (process_ != nullptr) CloseHandle(process_);
  process_ = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
  processId_ = process_ != nullptr ? processId : 0;
  return process_ != nullptr;
}

bool ClientProcess::Start(const std::wstring& exePath) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

bool ClientProcess::WaitForExit(DWORD* exitCode) {
  if (process_ == nullptr) return false;
  if (WaitForSingleObject(process_, kPatienceMs) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(process_, exitCode);
  return true;
}

bool ClientProcess::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ClientProcess::Kill() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 9);
  WaitForSingleObject(process_, kPatienceMs);
}

// A dialog becomes visible only after its controls exist and WM_INITDIALOG
// has run; before that a click would go nowhere.
HWND FindDialog(const std::wstring& title, HWND except) {
  HWND window = FindWindowExW(nullptr, nullptr, L"#32770", title.c_str());
  while (window != nullptr && (window == except || !IsWindowVisible(window))) {
    window = FindWindowExW(nullptr, window, L"#32770", title.c_str());
  }
  return window;
}

HWND WaitForDialog(const std::wstring& title, HWND except) {
  return Poll([&] { return FindDialog(title, except); });
}

bool WaitUntilEnabled(HWND dialog, int id) {
  return Poll([&]() -> HWND { return ControlEnabled(dialog, id) ? dialog : nullptr; }) != nullptr;
}

bool WaitUntilGone(HWND window) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > kPatienceMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

int CountDialogsOf(DWORD processId) {
  CountRequest request = {processId, 0};
  EnumWindows(&CountIfDialogOf, reinterpret_cast<LPARAM>(&request));
  return request.count;
}

std::wstring WindowTitle(HWND window) {
  wchar_t text[512] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      kPatienceMs, nullptr);
  return text;
}

std::wstring ControlText(HWND dialog, int id) {
  std::vector<wchar_t> text(4096, 0);
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return {};
  SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kPatienceMs, nullptr);
  return text.data();
}

// A box can be visible a moment before its text is set; every box has one.
std::wstring MessageBoxText(HWND box) {
  const DWORD start = GetTickCount();
  std::wstring text = ControlText(box, 0xFFFF);
  while (text.empty() && IsWindow(box) && GetTickCount() - start < kPatienceMs) {
    Sleep(kPollMs);
    text = ControlText(box, 0xFFFF);
  }
  return text;
}

bool ControlEnabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}

int FocusedControlId(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return 0;
  if (info.hwndFocus == nullptr || GetParent(info.hwndFocus) != dialog) return 0;
  return GetDlgCtrlID(info.hwndFocus);
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kPatienceMs, nullptr);
}

bool Checked(HWND dialog, int id) {
  return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
  SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Click(HWND dialog, int id) {
  PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressEscape(HWND dialog) {
  PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

HWND WaitForMainWindow() {
  return Poll(
      [] { return FindWindowExW(HWND_MESSAGE, nullptr, L"CryptelleWindowClass", L"Cryptelle"); });
}

bool SendAndReturn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result) != 0;
}

bool SendCopyData(HWND window, const void* data, DWORD byteCount) {
  COPYDATASTRUCT copy = {};
  copy.cbData = byteCount;
  copy.lpData = const_cast<void*>(data);
  return SendAndReturn(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

bool SaveScreenshot(HWND window, const std::wstring& bmpPath) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  const DWORD rowBytes = ((width * 3) + 3) & ~3;
  const DWORD imageBytes = rowBytes * height;
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageBytes;
  bool saved = false;
  HANDLE file = CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    saved = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
            WriteFile(file, &info.bmiHeader, sizeof(BITMAPINFOHEADER), &written, nullptr) &&
            WriteFile(file, bits, imageBytes, &written, nullptr);
    CloseHandle(file);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

std::wstring FromUnixPath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c != 0; ++c) path += (*c == '/') ? L'\\' : wchar_t(*c);
  return path;
}

}  // namespace gui
