#include "shell_link.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include "messages.h"
#include "narrow_path.h"
#include "setup_texts.h"

namespace setup {
namespace {

// Releases a COM interface exactly once.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  void** out() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

bool SaveLink(const char* linkPath, const char* target, const char* iconPath,
              const char* description, const char* workingDirectory) {
  const OleSession ole;
  if (!ole.ok()) return false;
  // The interfaces go before OLE does: declared after the session.
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.out()))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  if (FAILED(link->SetPath(target)) || FAILED(link->SetWorkingDirectory(workingDirectory)) ||
      FAILED(link->SetDescription(description))) {
    return false;
  }
  if (iconPath != nullptr && FAILED(link->SetIconLocation(iconPath, 0))) return false;
  wchar_t widePath[kPathBufferChars] = {};
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kPathBufferChars) == 0) return false;
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
