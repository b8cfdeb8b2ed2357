#include "shell_link.h"

#include <objbase.h>
#include <shlobj.h>

#include "messages.h"
#include "path_buffer.h"
#include "setup_texts.h"
#include "win/unique_handles.h"

namespace setup {
namespace {

bool SaveLink(const char* linkPath, const char* target, const char* iconPath,
              const char* description, const char* workingDirectory) {
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void()))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  if (FAILED(link->SetPath(target)) || FAILED(link->SetWorkingDirectory(workingDirectory)) ||
      FAILED(link->SetDescription(description))) {
    return false;
  }
  if (iconPath != nullptr && FAILED(link->SetIconLocation(iconPath, 0))) return false;
  wchar_t widePath[kPathBufferUnits] = {};
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kPathBufferUnits) == 0) return false;
  return SUCCEEDED(file->Save(widePath, TRUE));
}

}  // namespace

int CreateShellLink(const char* linkPath, const char* target, const char* iconPath,
                    const char* description, const char* workingDirectory, HWND owner) {
  if (SaveLink(linkPath, target, iconPath, description, workingDirectory)) return 1;
  ShowError(owner, kShortcutFailed);
  return 0;
}

}  // namespace setup
