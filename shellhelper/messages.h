// Texts of the shell helper, exactly as the user sees them.
#pragma once

#define SHELL_HELPER_THANKS "Thank You for using the Cryptelle program."

// How the user gets the client started without the shell helper.
#define SHELL_HELPER_REMEDY                                                                       \
  "\n\nEither, restart your computer and run this program again. If your Cryptelle is open, you " \
  "should lock it before restarting your computer.\n\nOr, you can run the Cryptelle program "     \
  "directly from its Desktop icon or from the Start -> All Programs -> Cryptelle -> "             \
  "Cryptelle.exe shortcut.\n\n" SHELL_HELPER_THANKS

namespace shellhelper {

inline constexpr wchar_t kErrorCaption[] = L"Cryptelle ShellHelper - Error Message";

inline constexpr wchar_t kGeneralError[] =
    L"The Cryptelle Shell Helper program has experienced an error." SHELL_HELPER_REMEDY;

inline constexpr wchar_t kAlreadyRunning[] =
    L"The Cryptelle Shell Helper program might already be running.\n\n" SHELL_HELPER_THANKS;

inline constexpr wchar_t kCannotLaunch[] =
    L"The Cryptelle Shell Helper Program could not launch the Cryptelle "
    L"program." SHELL_HELPER_REMEDY;

}  // namespace shellhelper
