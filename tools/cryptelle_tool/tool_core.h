// cryptelle-tool: the user accounts of the Windows client from Linux.
//
//   new-user        --key-file K --storage-path P [--recovery-file R]
//   verify          --key-file K --storage-path P
//   show-path       --key-file K
//   change-password --key-file K [--recovery-file R]
//   recover         --recovery-file R
//
// Secrets arrive one per line on standard input, in UTF-8. Exit status:
// 0 success; 1 refused or a secret is wrong (one line on stderr); 2 an
// unreadable or malformed file, bad input or bad arguments.
#pragma once

#include <stdio.h>

#include "tool_system.h"

constexpr int kToolSuccess = 0;
constexpr int kToolRefused = 1;
constexpr int kToolBadInput = 2;

int RunTool(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err,
            const ToolSystem& system);
