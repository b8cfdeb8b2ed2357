// The mount-manager stand-in loaded from outside into the shipped
// Cryptelle.exe, as the journeys through the client load it: the started
// program's import entries for the volume-system calls must then lead into
// the stand-in. Cryptelle.exe itself carries no test code.
#include <windows.h>

#include <gtest/gtest.h>
#include <psapi.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 20000;

const char* const kVolumeSystemCalls[] = {
    "GetVolumeNameForVolumeMountPointW",
    "GetVolumePathNamesForVolumeNameW",
    "DeleteVolumeMountPointW",
    "SetVolumeLabelW",
    "DeviceIoControl",
    "SHGetFileInfoW",
    "Shell_NotifyIconW",  // only watched: the tray's tooltip for the tests
};

// A Linux path as Wine sees it (Z: is the Linux root).
std::wstring FromUnixPath(const char* path) {
  std::wstring result = L"Z:";
  for (const char* c = path; *c != 0; ++c) result += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return result;
}

struct Module {
  const BYTE* base = nullptr;
  SIZE_T size = 0;
};

// The module of `process` whose file name ends in `name` (any case).
Module FindModule(HANDLE process, const wchar_t* name) {
  std::vector<HMODULE> modules(512);
  DWORD bytes = 0;
  Module found;
  if (!EnumProcessModules(process, modules.data(),
                          static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes)) {
    return found;
  }
  const size_t nameLength = wcslen(name);
  for (size_t i = 0; i < bytes / sizeof(HMODULE) && i < modules.size(); ++i) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
    if (length < nameLength || _wcsicmp(path + length - nameLength, name) != 0) continue;
    MODULEINFO info = {};
    if (!GetModuleInformation(process, modules[i], &info, sizeof(info))) continue;
    found.base = static_cast<const BYTE*>(info.lpBaseOfDll);
    found.size = info.SizeOfImage;
    return found;
  }
  return found;
}

// The current value of each import entry of the program running in
// `process`, by imported name, read from its memory.
std::vector<std::pair<std::string, ULONG_PTR>> ImportEntries(HANDLE process,
                                                             const Module& program) {
  std::vector<std::pair<std::string, ULONG_PTR>> entries;
  std::vector<BYTE> image(program.size);
  SIZE_T read = 0;
  // Pages that cannot be read stay zero; the headers and the import data
  // are always readable.
  for (SIZE_T at = 0; at < program.size; at += 4096) {
    ReadProcessMemory(process, program.base + at, image.data() + at,
                      program.size - at < 4096 ? program.size - at : 4096, &read);
  }
  const BYTE* base = image.data();
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return entries;
  for (auto* module =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    if (module->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* slots = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      entries.emplace_back(reinterpret_cast<const char*>(byName->Name), slots->u1.Function);
    }
  }
  return entries;
}

struct WindowSearch {
  DWORD processId;
  bool found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->found = true;
  return !search->found;
}

bool HasVisibleWindow(DWORD processId) {
  WindowSearch search = {processId, false};
  EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Loads `library` into `process` on a thread of its own (LoadLibraryW);
// true when the load succeeded.
bool LoadLibraryInto(HANDLE process, const std::wstring& library) {
  const SIZE_T bytes = (library.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  bool loaded = false;
  // kernel32 is at the same address in every process of the session.
  auto* load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  if (WriteProcessMemory(process, remote, library.c_str(), bytes, nullptr)) {
    const HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
    if (thread != nullptr) {
      DWORD result = 0;
      loaded = WaitForSingleObject(thread, kPatienceMs) == WAIT_OBJECT_0 &&
               GetExitCodeThread(thread, &result) && result != 0;
      CloseHandle(thread);
    }
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return loaded;
}

// The started client; ended when the test is over.
class StartedClient {
 public:
  explicit StartedClient(const std::wstring& program) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + program + L"\"";
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info_)) {
      CloseHandle(info_.hThread);
    }
  }
  ~StartedClient() {
    if (info_.hProcess == nullptr) return;
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, kPatienceMs);
    CloseHandle(info_.hProcess);
  }
  StartedClient(const StartedClient&) = delete;
  StartedClient& operator=(const StartedClient&) = delete;

  HANDLE process() const { return info_.hProcess; }
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_ = {};
};

bool Inside(ULONG_PTR address, const Module& module) {
  const auto start = reinterpret_cast<ULONG_PTR>(module.base);
  return address >= start && address < start + module.size;
}

// Cryptelle.exe installed as setup would put it, into a folder of its own
// (the driver is installed for the whole test program); its path.
std::wstring InstallClient() {
  const std::wstring folder = L"C:\\CryptelleShipped";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* sub : {L"\\Key", L"\\PRF", L"\\CryptDsks"}) {
    CreateDirectoryW((folder + sub).c_str(), nullptr);
  }
  const std::wstring program = folder + L"\\Cryptelle.exe";
  if (!CopyFileW(FromUnixPath(CRYPTELLE_CLIENT_PATH).c_str(), program.c_str(), FALSE)) return L"";
  return program;
}

TEST(ShippedClient, StandInLoadedFromOutsideRedirectsItsVolumeSystemImports) {
  const std::wstring installed = InstallClient();
  ASSERT_FALSE(installed.empty()) << GetLastError();
  StartedClient client(installed);
  ASSERT_NE(client.process(), nullptr) << GetLastError();
  // Whatever screen the client starts with, it shows one and waits.
  const DWORD start = GetTickCount();
  while (!HasVisibleWindow(client.id()) && GetTickCount() - start < kPatienceMs) Sleep(100);
  DWORD exitCode = 0;
  GetExitCodeProcess(client.process(), &exitCode);
  ASSERT_TRUE(HasVisibleWindow(client.id())) << "exit code " << exitCode;

  const Module program = FindModule(client.process(), L"\\Cryptelle.exe");
  ASSERT_NE(program.base, nullptr);
  ASSERT_EQ(FindModule(client.process(), L"\\volume_system_standin.dll").base, nullptr);

  ASSERT_TRUE(LoadLibraryInto(client.process(), FromUnixPath(CRYPTELLE_VOLUME_STANDIN_PATH)));
  const Module standIn = FindModule(client.process(), L"\\volume_system_standin.dll");
  ASSERT_NE(standIn.base, nullptr);

  const auto entries = ImportEntries(client.process(), program);
  for (const char* call : kVolumeSystemCalls) {
    int found = 0;
    for (const auto& entry : entries) {
      if (entry.first != call) continue;
      ++found;
      EXPECT_TRUE(Inside(entry.second, standIn)) << call << " still leads to the system";
    }
    EXPECT_EQ(found, 1) << call << " is imported " << found << " times";
  }
  // Everything else still leads where the loader bound it.
  for (const auto& entry : entries) {
    bool ours = false;
    for (const char* call : kVolumeSystemCalls) ours = ours || entry.first == call;
    if (!ours) {
      EXPECT_FALSE(Inside(entry.second, standIn)) << entry.first;
    }
  }
}

}  // namespace
