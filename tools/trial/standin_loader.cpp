#include "standin_loader.h"

#include <windows.h>

#include <memory>

#include "gui_harness.h"
#include "product_names.h"
#include "vendor_info.h"

namespace {

constexpr DWORD kLookMs = 100;

DWORD RunningClientId() {
  const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, CRYPTELLE_WIDE(CRYPTELLE_WINDOW_CLASS),
                                    CRYPTELLE_WIDE(CRYPTELLE_WINDOW_TITLE));
  DWORD processId = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &processId);
  return processId;
}

}  // namespace

void LoadStandInIntoEveryClient(const std::wstring& library, ScriptLink* script) {
  // Held while the client runs: the harness ends a process it still holds
  // when it lets go.
  std::unique_ptr<gui::ClientProcess> client;
  for (;; Sleep(kLookMs)) {
    const DWORD processId = RunningClientId();
    if (processId == 0 || (client != nullptr && client->Running())) continue;
    client = std::make_unique<gui::ClientProcess>();
    const bool loaded = client->Attach(processId) && client->LoadLibraryInto(library);
    script->Tell(std::string(loaded ? "stand-in loaded into" : "stand-in NOT loaded into") +
                 " Cryptelle.exe, process " + std::to_string(processId));
  }
}
