#include "flows_fixture.h"

#include <stdlib.h>

#include "client_texts.h"
#include "driver_harness.h"
#include "resource_ids.h"
#include "volume_texts.h"

namespace {

constexpr wchar_t kTestBedKey[] = L"Software\\CryptelleTestBed";

}  // namespace

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t text[MAX_PATH] = {};
  DWORD bytes = sizeof(text);
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return text;
}

std::wstring LinkTarget(wchar_t letter) {
  const wchar_t device[3] = {letter, L':', 0};
  wchar_t target[MAX_PATH] = {};
  if (QueryDosDeviceW(device, target, MAX_PATH) == 0) return L"<none>";
  return target;
}

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
  HWND box = gui::WaitForDialog(title, except);
  if (box == nullptr) return L"<none>";
  // A box may show before its text is set.
  std::wstring text = gui::MessageBoxText(box);
  for (DWORD waited = 0; text.empty() && waited < gui::kPatienceMs; waited += 50) {
    Sleep(50);
    text = gui::MessageBoxText(box);
  }
  gui::Click(box, button);
  gui::WaitUntilGone(box);
  return text;
}

HWND FlowJourney::OpenCreateUserFromWelcome() {
  HWND welcome = gui::WaitForDialog(CT_W(CT_TITLE_WELCOME));
  if (welcome == nullptr) return nullptr;
  gui::Click(welcome, IDOK);
  HWND intro = gui::WaitForDialog(CT_W(CT_TITLE_NEW_USER_INTRO));
  if (intro == nullptr) return nullptr;
  gui::Click(intro, IDOK);
  return gui::WaitForDialog(CT_W(CT_TITLE_CREATE_USER));
}

void FlowJourney::FillUser(HWND createUser, const wchar_t* name, const wchar_t* password,
                           const wchar_t* again) {
  gui::SetControlText(createUser, IDC_NEW_USER_NAME, name);
  gui::SetControlText(createUser, IDC_NEW_PASSWORD, password);
  gui::SetControlText(createUser, IDC_NEW_PASSWORD_AGAIN, again);
}

void FlowJourney::FillAnswers(HWND dialog, int firstId, const RecoveryAnswers& answers) {
  gui::SetControlText(dialog, firstId, answers.maiden);
  gui::SetControlText(dialog, firstId + 1, answers.hobby);
  gui::SetControlText(dialog, firstId + 2, answers.food);
}

void FlowJourney::CreateUserThroughTheScreens(const wchar_t* name, const wchar_t* password,
                                              const RecoveryAnswers* answers,
                                              const wchar_t* sizeMb) {
  HWND createUser = OpenCreateUserFromWelcome();
  ASSERT_NE(createUser, nullptr);
  FillUser(createUser, name, password, password);
  if (answers != nullptr) {
    gui::Click(createUser, IDC_RECOVERY_YES);
    gui::Click(createUser, IDOK);
    HWND recovery = gui::WaitForDialog(CT_W(CT_TITLE_RECOVERY_SETUP));
    ASSERT_NE(recovery, nullptr);
    FillAnswers(recovery, IDC_ANSWER_MAIDEN, *answers);
    gui::Click(recovery, IDOK);
  } else {
    gui::Click(createUser, IDOK);
  }
  HWND storage = gui::WaitForDialog(CT_W(CT_TITLE_STORAGE_SETUP));
  ASSERT_NE(storage, nullptr);
  gui::SetControlText(storage, IDC_STORAGE_SIZE, sizeMb);
  gui::Click(storage, IDOK);
  EXPECT_EQ(AnswerBox(kUserCreationTitle), kUserCreationConfirmText);
  EXPECT_TRUE(gui::WaitUntilGone(storage));
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
}
