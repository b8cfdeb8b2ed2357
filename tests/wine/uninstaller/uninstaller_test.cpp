// CryptelleUninstaller.exe run for real under Wine in a throw-away program
// folder, driven through its dialog and message boxes.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "../../../uninstaller/messages.h"
#include "program_folder.h"
#include "win/gui_driver.h"
#include "win/system_probes.h"

namespace {

using namespace uninstaller;

void WriteFile(const std::wstring& path, const char* content = "x") {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << std::string(path.begin(), path.end());
  DWORD written = 0;
  ::WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
  CloseHandle(file);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

bool KeyExists(const wchar_t* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, key, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

void CreateKey(const wchar_t* key) {
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, key, &created), ERROR_SUCCESS);
  RegCloseKey(created);
}

void SetDefaultText(const wchar_t* key, const wchar_t* text) {
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, key, &created), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(created);
}

std::wstring DriverFile() {
  return SpecialFolder(CSIDL_SYSTEM) + L"\\drivers\\cryptdsk.sys";
}

// A complete installation in C:\ct-<name>: program files, data folders,
// registry keys, shortcuts and the driver file.
class Installation {
 public:
  explicit Installation(const wchar_t* name) : folder_(std::wstring(L"C:\\ct-") + name) {
    CreateDirectoryW(folder_.c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(gui::Widen(UNINSTALLER_EXE).c_str(), uninstaller().c_str(), FALSE));
    EXPECT_TRUE(
        CopyFileW(gui::Widen(DRIVER_INF).c_str(), (folder_ + L"\\cryptdsk.inf").c_str(), FALSE));
    for (const wchar_t* file : {L"Cryptelle.exe", L"ShellHelperCT.exe", L"uninst.log",
                                L"PromptGuard.dll", L"CryptelleManual.pdf"}) {
      WriteFile(folder_ + L"\\" + file);
    }
    for (const wchar_t* sub : {L"\\CryptDsks", L"\\Key", L"\\PRF"}) {
      CreateDirectoryW((folder_ + sub).c_str(), nullptr);
    }
    WriteFile(DriverFile());
    for (const wchar_t* key :
         {L"SOFTWARE\\Classes\\Cryptelle\\DefaultIcon",
          L"SOFTWARE\\Classes\\Cryptelle\\shell\\open\\command", L"SOFTWARE\\Classes\\.cryptdsk",
          L"SOFTWARE\\Cryptelle\\DefCryptDsks", L"SOFTWARE\\Cryptelle\\CryptDskStatus",
          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle"}) {
      CreateKey(key);
    }
    const std::wstring menu = SpecialFolder(CSIDL_PROGRAMS) + L"\\Cryptelle";
    CreateDirectoryW(menu.c_str(), nullptr);
    WriteFile(menu + L"\\Cryptelle.lnk");
    WriteFile(menu + L"\\CryptelleUninstaller.lnk");
    WriteFile(SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Cryptelle.lnk");
    WriteFile(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Cryptelle.lnk");
  }

  std::wstring folder() const { return folder_; }
  std::wstring uninstaller() const { return folder_ + L"\\CryptelleUninstaller.exe"; }
  std::wstring path(const wchar_t* relative) const { return folder_ + L"\\" + relative; }

 private:
  std::wstring folder_;
};

HWND StartAndConfirm(gui::Process& process) {
  EXPECT_TRUE(process.started());
  const HWND dialog = gui::WaitForDialog(kDialogTitle);
  EXPECT_NE(dialog, nullptr);
  if (dialog == nullptr) return nullptr;
  for (int id : {103, 104, 105, 106, 107}) EXPECT_EQ(gui::ItemText(dialog, id), kPending);
  gui::Press(dialog, IDOK);
  return dialog;
}

TEST(Uninstaller, RemovesEverythingOfTheProductAndNothingElse) {
  Installation installation(L"full");
  WriteFile(installation.path(L"Key\\bob.USER"));
  WriteFile(installation.path(L"CryptDsks\\Cryptelle_bob.cryptdsk"));
  WriteFile(installation.path(L"CryptDsks\\notes.txt"));
  CreateKey(L"SOFTWARE\\Cryptelle\\SomethingElse");  // keeps "SOFTWARE\Cryptelle" alive
  // Drive icons as the client leaves them (emptied at a lock, or still set
  // after a crash), and one of another program.
  const std::wstring icons =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\";
  const std::wstring ourIcon = installation.path(L"CryptelleOpen.ico");
  SetDefaultText((icons + L"J\\DefaultIcon").c_str(), L"");
  SetDefaultText((icons + L"K\\DefaultIcon").c_str(), ourIcon.c_str());
  SetDefaultText((icons + L"L\\DefaultIcon").c_str(), L"C:\\Other\\disk.ico");

  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  const HWND dialog = StartAndConfirm(process);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kStoragePrompt);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kKeyPrompt);

  // The registry step reports the key it could not delete; the labels show
  // how far the work has come.
  const HWND box = gui::WaitForDialog(kCaption);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(gui::ItemText(dialog, 103), kCompleted);
  EXPECT_EQ(gui::ItemText(dialog, 105), kCompleted);
  EXPECT_EQ(gui::ItemText(dialog, 104), kCompleted);
  EXPECT_EQ(gui::ItemText(dialog, 106), kPending);
  EXPECT_EQ(gui::ItemText(dialog, 107), kPending);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kRegistry);
  EXPECT_EQ(process.Wait(), 0u);

  EXPECT_FALSE(FileExists(DriverFile()));
  EXPECT_FALSE(FileExists(installation.path(L"Key\\bob.USER")));
  EXPECT_FALSE(FileExists(installation.path(L"Key")));
  EXPECT_FALSE(FileExists(installation.path(L"CryptDsks\\Cryptelle_bob.cryptdsk")));
  EXPECT_TRUE(FileExists(installation.path(L"CryptDsks\\notes.txt")));
  for (const wchar_t* file : {L"Cryptelle.exe", L"cryptdsk.inf", L"uninst.log"}) {
    EXPECT_FALSE(FileExists(installation.path(file)));
  }
  EXPECT_FALSE(KeyExists(L"SOFTWARE\\Classes\\Cryptelle"));
  EXPECT_FALSE(KeyExists(L"SOFTWARE\\Classes\\.cryptdsk"));
  EXPECT_FALSE(KeyExists(L"SOFTWARE\\Cryptelle\\DefCryptDsks"));
  EXPECT_TRUE(KeyExists(L"SOFTWARE\\Cryptelle"));
  EXPECT_FALSE(KeyExists(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle"));
  EXPECT_FALSE(KeyExists((icons + L"J").c_str()));
  EXPECT_FALSE(KeyExists((icons + L"K").c_str()));
  EXPECT_TRUE(KeyExists((icons + L"L\\DefaultIcon").c_str()));
  EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Cryptelle"));
  EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Cryptelle.lnk"));
  EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Cryptelle.lnk"));

  // The batch file deletes the uninstaller once it has exited, then itself;
  // the folder stays because the user's text file is still in it.
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = !FileExists(installation.uninstaller()) && !FileExists(L"C:\\CTuninst.bat");
    Sleep(100);
  }
  EXPECT_TRUE(gone);
  EXPECT_TRUE(FileExists(installation.folder()));
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle\\SomethingElse");
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Cryptelle");
}

TEST(Uninstaller, ACopyWithReadOnlyFilesGoesWithItsFolder) {
  Installation installation(L"cd");
  // Files copied from a CD keep the read-only attribute.
  ASSERT_TRUE(SetFileAttributesW(installation.uninstaller().c_str(), FILE_ATTRIBUTE_READONLY));
  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  ASSERT_NE(StartAndConfirm(process), nullptr);
  EXPECT_EQ(process.Wait(), 0u);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = !FileExists(installation.folder()) && !FileExists(L"C:\\CTuninst.bat");
    Sleep(100);
  }
  EXPECT_TRUE(gone);
}

TEST(Uninstaller, CancelAtAPromptChangesNothing) {
  Installation installation(L"cancel");
  WriteFile(installation.path(L"PRF\\bob.prf"));
  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  StartAndConfirm(process);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption, IDCANCEL), kRecoveryPrompt);
  EXPECT_EQ(process.Wait(), 0u);
  EXPECT_TRUE(FileExists(installation.path(L"PRF\\bob.prf")));
  EXPECT_TRUE(FileExists(installation.path(L"cryptdsk.inf")));
  EXPECT_TRUE(FileExists(DriverFile()));
  EXPECT_TRUE(KeyExists(L"SOFTWARE\\Cryptelle\\DefCryptDsks"));
}

TEST(Uninstaller, MissingInfStopsBeforeAnythingIsRemoved) {
  Installation installation(L"noinf");
  DeleteFileW(installation.path(L"cryptdsk.inf").c_str());
  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  StartAndConfirm(process);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kInfMissing);
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kNotUninstalled);
  EXPECT_EQ(process.Wait(), 0u);
  EXPECT_TRUE(FileExists(DriverFile()));
  EXPECT_TRUE(FileExists(installation.path(L"Cryptelle.exe")));
}

TEST(Uninstaller, RefusesToStartWhileTheClientHoldsTheFolderMutex) {
  Installation installation(L"busy");
  PathBuffer<wchar_t> name;
  ASSERT_EQ(ProgramFolderMutexName(installation.folder().c_str(), &name), 1);
  EXPECT_EQ(name.c_str(), std::wstring(L"Global\\C:_ct-busy"));
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  EXPECT_EQ(gui::AnswerMessageBox(kCaption), kNotStarted);
  EXPECT_EQ(process.Wait(), 0u);
  CloseHandle(mutex);
  EXPECT_TRUE(FileExists(installation.path(L"Cryptelle.exe")));
}

TEST(Uninstaller, MissingDriverFileNeedsAnAdministrator) {
  Installation installation(L"nodriver");
  DeleteFileW(DriverFile().c_str());
  gui::Process process(L"\"" + installation.uninstaller() + L"\"");
  EXPECT_EQ(gui::AnswerMessageBox(kAdminCaption), kAdministratorRequired);
  EXPECT_EQ(process.Wait(), 0u);
}

}  // namespace
