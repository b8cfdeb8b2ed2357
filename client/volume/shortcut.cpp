#include "shortcut.h"

#include <objidl.h>
#include <ole2.h>
#include <shlobj.h>

#include "client_texts.h"
#include "win/unique_handles.h"

namespace {

// Balances OleInitialize on every path out.
class OleSession {
 public:
  OleSession() { OleInitialize(nullptr); }
  ~OleSession() { OleUninitialize(); }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
};

HRESULT FillLink(IShellLinkW* link, const wchar_t* iconPath, const wchar_t* targetPath) {
  HRESULT result = link->SetPath(targetPath);
  if (FAILED(result)) return result;
  result = link->SetDescription(CT_W(CT_PRODUCT));
  if (iconPath != nullptr) result = link->SetIconLocation(iconPath, 0);
  return result;
}

}  // namespace

int CreateStorageShortcut(const wchar_t* iconPath, const wchar_t* targetPath,
                          const wchar_t* shortcutPath) {
  OleSession ole;
  ComPtr<IShellLinkW> link;
  HRESULT result =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
  if (FAILED(result)) return 0;
  ComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(result)) return 0;
  result = FillLink(link.get(), iconPath, targetPath);
  if (SUCCEEDED(result)) result = file->Save(shortcutPath, TRUE);
  return SUCCEEDED(result) ? 1 : 0;
}
