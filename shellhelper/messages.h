// Texts of the shell helper, exactly as the user sees them.
#pragma once

namespace shellhelper {

inline constexpr wchar_t kMutexName[] = L"CryptelleShellHelper";
inline constexpr wchar_t kRegistryKey[] = L"SOFTWARE\\Cryptelle";
inline constexpr wchar_t kInstallPathValue[] = L"InstallPath";
inline constexpr wchar_t kClientFileName[] = L"Cryptelle.exe";
inline constexpr wchar_t kClientWindowClass[] = L"CryptelleWindowClass";
inline constexpr wchar_t kClientWindowTitle[] = L"Cryptelle";
inline constexpr wchar_t kOpenRequest[] = L"OpenAndExplorer";

inline constexpr wchar_t kErrorCaption[] = L"Cryptelle ShellHelper - Error Message";

inline constexpr wchar_t kGeneralError[] =
    L"The Cryptelle Shell Helper program has experienced an error.\n\n"
    L"Either, restart your computer and run this program again. If your Cryptelle is open, you "
    L"should lock it before restarting your computer.\n\n"
    L"Or, you can run the Cryptelle program directly from its Desktop icon or from the Start -> "
    L"All Programs -> Cryptelle -> Cryptelle.exe shortcut.\n\n"
    L"Thank You for using the Cryptelle program.";

inline constexpr wchar_t kAlreadyRunning[] =
    L"The Cryptelle Shell Helper program might already be running.\n\n"
    L"Thank You for using the Cryptelle program.";

inline constexpr wchar_t kCannotLaunch[] =
    L"The Cryptelle Shell Helper Program could not launch the Cryptelle program.\n\n"
    L"Either, restart your computer and run this program again. If your Cryptelle is open, you "
    L"should lock it before restarting your computer.\n\n"
    L"Or, you can run the Cryptelle program directly from its Desktop icon or from the Start -> "
    L"All Programs -> Cryptelle -> Cryptelle.exe shortcut.\n\n"
    L"Thank You for using the Cryptelle program.";

}  // namespace shellhelper
