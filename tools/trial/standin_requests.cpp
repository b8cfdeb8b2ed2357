#include "standin_requests.h"

#include <windows.h>

#include <string.h>

#include <string>

#include "outside_file_system.h"
#include "win/unique_handles.h"

namespace {

constexpr DWORD kLargestRequest = 64;

bool Names(const char* request, const char* kind) {
  const size_t length = strlen(kind);
  return strncmp(request, kind, length) == 0 && (request[length] == 0 || request[length] == ' ');
}

// 1 done, 0 refused.
int Answer(const char* request, ScriptLink* script, DriveExport* drive) {
  const char* argument = strchr(request, ' ');
  argument = argument != nullptr ? argument + 1 : "";
  if (Names(request, kMakeNtfsImageRequest)) {
    return script->Ask(std::string("ntfs ") + argument) == "ok" ? 1 : 0;
  }
  if (Names(request, kMountRequest)) return drive->Mount(argument[0]);
  if (Names(request, kReleaseRequest)) return drive->Release(false);
  if (Names(request, kForceReleaseRequest)) return drive->Release(true);
  script->Tell(std::string("unknown request: ") + request);
  return 0;
}

}  // namespace

void AnswerStandIns(ScriptLink* script, DriveExport* drive) {
  for (bool first = true;; first = false) {
    UniqueFile pipe(CreateNamedPipeW(kOutsideFileSystemPipe, PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                     kLargestRequest, kLargestRequest, 0, nullptr));
    if (!pipe.valid()) return;
    if (first) script->Tell("ready");
    if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
    char request[kLargestRequest + 1] = {};
    DWORD read = 0;
    if (ReadFile(pipe.get(), request, kLargestRequest, &read, nullptr)) {
      request[read] = 0;
      const char answer = Answer(request, script, drive) == 1 ? kDoneAnswer : kRefusedAnswer;
      DWORD written = 0;
      WriteFile(pipe.get(), &answer, 1, &written, nullptr);
      FlushFileBuffers(pipe.get());
    }
    DisconnectNamedPipe(pipe.get());
  }
}
