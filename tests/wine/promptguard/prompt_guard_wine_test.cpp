// PromptGuard.dll under Wine: the hook refuses windows of a process whose
// executable is named explorer.exe, minimises its "format" children and
// refuses nothing once stopped.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "prompt_guard.h"
#include "win/gui_driver.h"

namespace {

constexpr wchar_t kProbeFolder[] = L"C:\\cryptelle-tests\\promptguard";

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

// The probe copied under `name` into the probe folder.
std::wstring ProbeAs(const wchar_t* name) {
  CreateDirectoryW(L"C:\\cryptelle-tests", nullptr);
  CreateDirectoryW(kProbeFolder, nullptr);
  const std::wstring target = std::wstring(kProbeFolder) + L"\\" + name;
  const std::wstring source = ProgramFolder() + L"\\shell_window_probe.exe";
  EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << GetLastError();
  return target;
}

DWORD RunProbe(const wchar_t* name, const wchar_t* mode) {
  gui::Process probe(L"\"" + ProbeAs(name) + L"\" " + mode);
  EXPECT_TRUE(probe.started());
  return probe.Wait();
}

class PromptGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine's desktop window belongs to its own explorer.exe; it must exist
    // before the hook, which would refuse it like any shell window.
    const HWND warmUp = CreateWindowExW(0, L"STATIC", L"warm-up", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(warmUp, nullptr);
    DestroyWindow(warmUp);
    const std::wstring path = ProgramFolder() + L"\\" + PROMPT_GUARD_LIBRARY;
    library_ = LoadLibraryW(path.c_str());
    ASSERT_NE(library_, nullptr) << GetLastError();
    start_ = reinterpret_cast<StartPromptGuardHookFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, PROMPT_GUARD_START_EXPORT)));
    stop_ = reinterpret_cast<StopPromptGuardHookFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, PROMPT_GUARD_STOP_EXPORT)));
    ASSERT_NE(start_, nullptr);
    ASSERT_NE(stop_, nullptr);
  }
  void TearDown() override {
    if (stop_ != nullptr) stop_();
    if (library_ != nullptr) FreeLibrary(library_);
  }

  HMODULE library_ = nullptr;
  StartPromptGuardHookFunction start_ = nullptr;
  StopPromptGuardHookFunction stop_ = nullptr;
};

TEST_F(PromptGuard, StopWithoutStartReportsNoHook) {
  EXPECT_EQ(stop_(), 1);
}

TEST_F(PromptGuard, StartingTwiceKeepsOneHookAndBothCallsSucceed) {
  EXPECT_EQ(start_(), 0);
  EXPECT_EQ(start_(), 0);
  EXPECT_EQ(stop_(), 1);
  EXPECT_EQ(stop_(), 1);
}

TEST_F(PromptGuard, ShellProcessCannotCreateAWindowWhileTheHookRuns) {
  ASSERT_EQ(start_(), 0);
  EXPECT_EQ(RunProbe(L"explorer.exe", L"create"), 1u);
}

TEST_F(PromptGuard, ShellNameMatchesInAnyLetterCase) {
  ASSERT_EQ(start_(), 0);
  EXPECT_EQ(RunProbe(L"Explorer.EXE", L"create"), 1u);
}

TEST_F(PromptGuard, OtherProcessesCreateWindowsWhileTheHookRuns) {
  ASSERT_EQ(start_(), 0);
  EXPECT_EQ(RunProbe(L"notepad.exe", L"create"), 0u);
}

TEST_F(PromptGuard, NothingIsRefusedAfterTheStop) {
  ASSERT_EQ(start_(), 0);
  ASSERT_EQ(stop_(), 1);
  EXPECT_EQ(RunProbe(L"explorer.exe", L"create"), 0u);
}

TEST_F(PromptGuard, FormatChildIsMinimisedAndCancelIsLeftAlone) {
  const std::wstring library = ProgramFolder() + L"\\" + PROMPT_GUARD_LIBRARY;
  gui::Process probe(L"\"" + ProbeAs(L"explorer.exe") + L"\" children \"" + library + L"\"");
  ASSERT_TRUE(probe.started());
  EXPECT_EQ(probe.Wait(), 1u | 4u);
}

}  // namespace
