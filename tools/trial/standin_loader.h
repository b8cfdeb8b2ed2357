// Loads the volume test bed's mount-manager and file-system stand-in into
// every Cryptelle.exe of the session as soon as its main window exists,
// from outside with a remote LoadLibraryW, as the test bed's journeys do.
#pragma once

#include <string>

#include "script_link.h"

// Watches for ever; `library` is the stand-in's Windows path.
void LoadStandInIntoEveryClient(const std::wstring& library, ScriptLink* script);
