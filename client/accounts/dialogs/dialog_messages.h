// Private window messages of the dialog chain: each dialog ends by posting
// one of them to the main window, which opens the next.
#pragma once

#include <windows.h>

constexpr UINT UM_EXIT = WM_USER + 100;
constexpr UINT UM_SHOW_WELCOME = WM_USER + 101;
constexpr UINT UM_WELCOME_DONE = WM_USER + 102;
constexpr UINT UM_SHOW_NEW_USER_INTRO = WM_USER + 105;
constexpr UINT UM_NEW_USER_INTRO_DONE = WM_USER + 106;
constexpr UINT UM_LOGGED_IN = WM_USER + 107;
constexpr UINT UM_SHOW_CREATE_USER = WM_USER + 108;
constexpr UINT UM_USER_ENTERED = WM_USER + 109;
constexpr UINT UM_SHOW_RECOVERY_SETUP = WM_USER + 110;
constexpr UINT UM_SHOW_STORAGE_SETUP = WM_USER + 111;
constexpr UINT UM_SHOW_LOG_IN = WM_USER + 112;
constexpr UINT UM_SHOW_RECOVER_PASSWORD = WM_USER + 113;
constexpr UINT UM_SHOW_CHANGE_PASSWORD = WM_USER + 114;
constexpr UINT UM_SHOW_ABOUT = WM_USER + 115;

static_assert(UM_EXIT == 1124 && UM_SHOW_ABOUT == 1139, "other programs post these numbers");
