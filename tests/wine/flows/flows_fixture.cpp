#include "flows_fixture.h"

#include <stdlib.h>

#include "client_texts.h"
#include "driver_harness.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

constexpr wchar_t kTestBedKey[] = L"Software\\CryptelleTestBed";

}  // namespace

const RecoveryAnswers kRecoveryAnswers = {L"Smith", L"Chess", L"Soup"};

void MarkFileOpenOnVolume(DWORD open) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kTestBedKey, L"FileOpenOnVolume", REG_DWORD, &open,
                  sizeof(open));
}

bool DriverHasImage() {
  cryptdsk_test::Handle device = cryptdsk_test::OpenDevice();
  return device.valid() && cryptdsk_test::IsOpen(device.get());
}

void FlowJourney::SetUp() {
  ClientJourney::SetUp();
  RegDeleteTreeW(HKEY_CURRENT_USER, kTestBedKey);
  MarkFileOpenOnVolume(0);
}

void FlowJourney::TearDown() {
  CrashAndDetach();
  ClientJourney::TearDown();
}

HWND FlowJourney::StartWithStandIn(const wchar_t* title) {
  HWND screen = StartAndWaitFor(title);
  EXPECT_TRUE(client_.LoadLibraryInto(gui::FromUnixPath(CRYPTELLE_VOLUME_STANDIN_PATH)));
  return screen;
}

std::wstring FlowJourney::AnswerBox(const wchar_t* title, int button, HWND except) {
  return flow_screens::AnswerBox(title, button, except);
}

HWND FlowJourney::OpenCreateUserFromWelcome() {
  return flow_screens::OpenCreateUserFromWelcome();
}

void FlowJourney::FillUser(HWND createUser, const wchar_t* name, const wchar_t* password,
                           const wchar_t* again) {
  flow_screens::FillUser(createUser, name, password, again);
}

void FlowJourney::FillAnswers(HWND dialog, int firstId, const RecoveryAnswers& answers) {
  flow_screens::FillAnswers(dialog, firstId, answers);
}

void FlowJourney::CreateUserThroughTheScreens(const wchar_t* name, const wchar_t* password,
                                              const RecoveryAnswers* answers, const wchar_t* sizeMb,
                                              flow_screens::DriveEncryption encryption) {
  flow_screens::CreateUserThroughTheScreens(name, password, answers, sizeMb, encryption);
}

void FlowJourney::CreateLockedUser(const wchar_t* name, const wchar_t* password,
                                   const RecoveryAnswers* answers, const wchar_t* sizeMb,
                                   flow_screens::DriveEncryption encryption) {
  StartWithStandIn(CT_W(CT_TITLE_WELCOME));
  ASSERT_NO_FATAL_FAILURE(CreateUserThroughTheScreens(name, password, answers, sizeMb, encryption));
  CrashAndDetach();
}

void FlowJourney::CrashAndDetach() {
  if (client_.Running()) client_.Kill();
  if (DriverHasImage()) DetachContainer();
  for (wchar_t letter = L'H'; letter <= L'Z'; ++letter) {
    if (LinkTarget(letter) != CRYPTDSK_DEVICE_NAME) continue;
    const wchar_t device[3] = {letter, L':', 0};
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, device, nullptr);
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, CT_W(CT_REG_STATUS_KEY), 0, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    RegDeleteValueW(key, CT_W(CT_REG_OPEN_VALUE));
    RegCloseKey(key);
  }
}

std::wstring FlowJourney::StoragePath(const std::wstring& storageName) const {
  return folder_ + L"\\CryptDsks\\" + storageName + L".cryptdsk";
}

std::wstring FlowJourney::KeyFilePath(const std::wstring& name) const {
  return folder_ + L"\\Key\\" + name + L".user";
}

std::wstring FlowJourney::RecoveryFilePath(const std::wstring& name) const {
  return folder_ + L"\\PRF\\" + name + L".prf";
}

void FlowJourney::HandOver(const std::wstring& storageName, const std::wstring& userName) {
  const char* folder = getenv("CRYPTELLE_FLOWS_HANDOVER");
  if (folder == nullptr || folder[0] == 0) return;
  const std::wstring target = gui::FromUnixPath(folder);
  CreateDirectoryW(target.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(StoragePath(storageName).c_str(),
                        (target + L"\\" + userName + L".cryptdsk").c_str(), FALSE));
  EXPECT_TRUE(CopyFileW(KeyFilePath(userName).c_str(),
                        (target + L"\\" + userName + L".user").c_str(), FALSE));
  // The key file names the container's path; whoever logs in with it later
  // must find the container there.
  const std::wstring path = StoragePath(storageName);
  HANDLE file = CreateFileW((target + L"\\" + userName + L".storage-path").c_str(), GENERIC_WRITE,
                            0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, path.c_str(), static_cast<DWORD>(path.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(file);
}

void LockedUserJourney::SetUp() {
  ASSERT_NO_FATAL_FAILURE(FlowJourney::SetUp());
  ASSERT_NO_FATAL_FAILURE(CreateLockedUser(user_, L"Secret#1", &kRecoveryAnswers, L"5"));
  ASSERT_TRUE(FileExists(RecoveryFilePath(user_)));
}

void LockedUserJourney::StartAtLogIn() {
  logIn_ = StartWithStandIn(CT_W(CT_TITLE_LOG_IN));
  ASSERT_NE(logIn_, nullptr);
}
