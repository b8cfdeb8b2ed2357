// Titles and messages of the mount, format and lock sequences, exactly as
// the user sees them. The tests compare against these same constants.
#pragma once

#include "client_texts.h"
#include "vendor_info.h"

inline constexpr wchar_t kVolumeLabel[] = CT_W(CT_PRODUCT);
inline constexpr wchar_t kErrorTitle[] = CT_W(CT_PRODUCT);
inline constexpr wchar_t kCreateForUserTitle[] = CT_W(CT_TITLE_CREATE_FOR_USER);
inline constexpr wchar_t kUserCreationTitle[] = L"Cryptelle - User Creation";
inline constexpr wchar_t kLogInTitle[] = CT_W(CT_TITLE_LOG_IN);
inline constexpr wchar_t kPrivacyAlertBoxTitle[] = CT_W(CT_TITLE_PRIVACY_ALERT_BOX);
inline constexpr wchar_t kErrorMessageTitle[] = L"Cryptelle - Error Message";
inline constexpr wchar_t kRunAsAdminTitle[] = CT_W(CT_TITLE_RUN_AS_ADMIN);

inline constexpr wchar_t kUserCreationConfirmText[] =
    L"User Creation may require several minutes.\n\nPlease do not use your computer during this "
    L"process.\n\nAfter user creation, Cryptelle icon and menu are displayed on taskbar.\n\nClick "
    L"Cancel to return to User Creation screen.\n\nClick OK to proceed with User Creation.";

inline constexpr wchar_t kLogInConfirmText[] =
    L"Log In may require up to a few minutes.\n\nPlease do not use your computer during this "
    L"process.\n\nAfter log in, Cryptelle icon and menu are displayed on taskbar.\n\nClick Cancel "
    L"to return to Log In screen.\n\nClick OK to proceed with Log In.";

inline constexpr wchar_t kAlreadyOpenText[] =
    L"A Cryptelle might already be open.\nIf not, you must restart your computer to resolve "
    L"this.\n\nThe Cryptelle program will close now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kLettersInUseText[] =
    L"All drive letters on your system are in use.\n\nYou can browse some of the drive letters "
    L"from My Computer screen.\n\nIf you close a drive then you might get a drive letter for "
    L"your Cryptelle.\n\nThe Cryptelle program will close now.\nThank You for using the "
    L"Cryptelle program.";

inline constexpr wchar_t kHostSectorSizeText[] =
    L"The Cryptelle storage file is on a disk whose sectors are larger than 512 bytes, which "
    L"Cryptelle cannot use.\n\nMove the storage file to another disk, or create a new user "
    L"whose storage is on another disk.\n\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kInUseOrInaccessibleText[] =
    L"The Cryptelle is either in use or inaccessible.";

inline constexpr wchar_t kShortcutFailedText[] =
    L"The Cryptelle program could not create the shortcut link in your My Documents "
    L"folder.\n\nYour Cryptelle is accessible like a drive from My Computer but not like a "
    L"folder from your My Documents folder.";

inline constexpr char16_t kOpenTooltipTemplate[] =
    u"Cryptelle ( :) - Open\n\nRight-Click for options.";
inline constexpr wchar_t kLockedTooltip[] = CT_W(CT_TOOLTIP_LOCKED);

inline constexpr wchar_t kFormatLibraryMissingText[] =
    L"Operating System library file \"fmifs.dll\" not found.\nStorage for your Cryptelle could "
    L"not be created.\n\nYou may contact " CRYPTELLE_WIDE(
        CRYPTELLE_SUPPORT_EMAIL) L" for support.\nThank You for using Cryptelle program.";

inline constexpr wchar_t kLockIncompleteText[] =
    L"Your Cryptelle could not be locked completely due to a system issue. You need to restart "
    L"your computer and that should lock it.";

inline constexpr wchar_t kLockRegistryText[] =
    L"During locking, the Windows Registry entry for your Cryptelle could not be modified due "
    L"to a system issue.\n\nYou need to restart your computer to resolve this and use your "
    L"Cryptelle again.";

inline constexpr wchar_t kLockTrayText[] =
    L"During locking, the Taskbar Icon for your Cryptelle could not be modified due to a system "
    L"issue.\n\nYou need to restart your computer to resolve this.\n\nYour Cryptelle is locked.";

inline constexpr char16_t kLetterMessageHead[] = u"\nYour Cryptelle is opened as ";
inline constexpr char16_t kLetterText[] = u"(  : )";

// The reasons of a refused lock; the Privacy Alert's fourth reason ends
// with a full stop, Lock & Exit's does not.
#define CT_LOCK_REASONS(fourthEnd)                                                              \
  u" drive.\nIt could not be locked by the program.\n\nPossible reasons can be:\n1. Open "         \
  u"file(s) within your Cryptelle\n2. Open folder(s) within your Cryptelle\n3. Your Cryptelle "   \
  u"open in Windows Explorer or Console\n4. Your Cryptelle data being accessed by another "       \
  u"program" fourthEnd u"\n\n5. It could be that your Cryptelle didn't open or lock properly "     \
  u"because the program was closed like from Task Manager or you logged or turned off your "      \
  u"computer while the program was opening or locking. If so, the drive letter in this message " \
  u"is from the previous instance of your program and that you would need to restart your "      \
  u"computer to run the program again."

inline constexpr char16_t kPrivacyAlertReasons[] = CT_LOCK_REASONS(u".");

inline constexpr wchar_t kLockAnywayWarning[] =
    L"\n\nLock anyway: your Cryptelle is locked now and the files open on it are closed. "
    L"Changes not yet saved in them are lost.\nCancel: your Cryptelle stays open.";
inline constexpr wchar_t kLockAnywayButton[] = L"&Lock anyway";

inline constexpr char16_t kLockAndExitReasons[] = CT_LOCK_REASONS(u"");
