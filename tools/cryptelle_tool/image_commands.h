// cryptelle-tool's whole-disk commands:
//
//   export --key-file K --container C --out IMG
//   import --key-file K --container C --in IMG
//
// The password arrives as one UTF-8 line on standard input. Exit status as
// for the other commands: 0 done; 1 refused or wrong password; 2 unreadable
// or malformed files, bad input or bad arguments.
#pragma once

#include <stdio.h>

// True when argv names export or import; RunImageCommand handles those.
bool IsImageCommand(int argc, const char* const* argv);

int RunImageCommand(int argc, const char* const* argv, FILE* in, FILE* err);
