// cryptelle-trial-bridge: the trial's helper inside the Wine session of
// tools/run-cryptelle, never part of the package. It loads the volume-system
// stand-in into every Cryptelle.exe that starts, serves the open drive's
// disk, through the real driver, as an NBD export for Linux to mount, and
// passes the stand-ins' requests on to the run script (script_link.h).
//   cryptelle-trial-bridge STAND_IN_DLL
#include <winsock2.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <thread>

#include "drive_export.h"
#include "script_link.h"
#include "standin_loader.h"
#include "standin_requests.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: cryptelle-trial-bridge STAND_IN_DLL\n");
    return 2;
  }
  // Lines end in "\n" alone, as the script on Linux reads and writes them.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  WSADATA winsock;
  if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) return 1;
  ScriptLink script;
  DriveExport drive(&script);
  // Watches for the bridge's whole life; the run script ends the bridge.
  std::thread(LoadStandInIntoEveryClient, std::wstring(argv[1]), &script).detach();
  AnswerStandIns(&script, &drive);
  fprintf(stderr, "cryptelle-trial-bridge: the stand-ins' pipe cannot be made\n");
  return 1;
}
