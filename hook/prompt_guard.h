// PromptGuard.dll: while its system-wide window hook runs, the shell cannot
// create or activate windows, and children of such a window whose text
// contains "format" are minimised. The client starts it before a new volume
// arrives so that the shell's own offer to format that volume stays away.
#pragma once

#include <windows.h>

#include "product_names.h"

// Exported as "_StartPromptGuardHook@0" and "_StopPromptGuardHook@0" on
// every architecture, the names the client looks up.
#define PROMPT_GUARD_START_EXPORT "_StartPromptGuardHook@0"
#define PROMPT_GUARD_STOP_EXPORT "_StopPromptGuardHook@0"
#define PROMPT_GUARD_LIBRARY CRYPTELLE_WIDE(CRYPTELLE_HOOK_DLL)

// 0 when a hook is installed afterwards (new or already there), 1 when the
// installation failed.
typedef int(WINAPI* StartPromptGuardHookFunction)();
// 1 when no hook is installed afterwards, 0 when unhooking failed (the hook
// stays recorded).
typedef int(WINAPI* StopPromptGuardHookFunction)();
