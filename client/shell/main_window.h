// The hidden message-only main window: tray clicks and menu, the dialog
// chain's private messages, and "OpenAndExplorer" from the shell helper.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A tray menu command: 1 success, 0 failure, -1 error.
int MenuCommand(int id);
