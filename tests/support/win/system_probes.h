// What a test asks of the system after a program ran: does a file exist,
// what does a registry value or a drive letter's link say. Answers "<none>"
// where there is nothing, so that a comparison shows it.
#pragma once

#include <windows.h>

#include <string>

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A REG_SZ value, or "<none>".
inline std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t text[MAX_PATH] = {};
  DWORD bytes = sizeof(text);
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return text;
}

// A REG_DWORD value, or -1.
inline long long RegistryNumber(HKEY root, const wchar_t* key, const wchar_t* value) {
  DWORD number = 0;
  DWORD bytes = sizeof(number);
  if (RegGetValueW(root, key, value, RRF_RT_REG_DWORD, nullptr, &number, &bytes) != ERROR_SUCCESS) {
    return -1;
  }
  return number;
}

// The DOS-device target of "X:", or "<none>".
inline std::wstring LinkTarget(wchar_t letter) {
  const wchar_t device[3] = {letter, L':', 0};
  wchar_t target[MAX_PATH] = {};
  if (QueryDosDeviceW(device, target, MAX_PATH) == 0) return L"<none>";
  return target;
}
