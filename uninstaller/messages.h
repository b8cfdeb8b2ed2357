// Texts of the uninstaller, exactly as the user sees them. Sentences that
// several texts share are written once, as narrow literals that join the
// wide ones they follow.
#pragma once

#include "vendor_info.h"

#define UNINSTALLER_THANKS "Thank You for using the Cryptelle program."
#define UNINSTALLER_CONTINUES "\n\nThe uninstaller program will continue now.\n" UNINSTALLER_THANKS
#define UNINSTALLER_STOPS "The Cryptelle uninstaller program will stop because "
#define UNINSTALLER_RUN_AGAIN "restart your computer and run the uninstaller program again"
#define UNINSTALLER_RUN_AS_ADMIN                                                                 \
  " icon and click the \"Run as administrator\" option. Then your Desktop or TaskBar (it would " \
  "blink) would display the User Access Control (UAC) dialog in which you need to click the "    \
  "Allow option.\n\n"
#define UNINSTALLER_INF_DOWNLOAD                                                    \
  "download this file from " CRYPTELLE_WEB_SITE                                     \
  " and save it in the Cryptelle program folder. Then run the uninstaller program " \
  "again.\n\n" UNINSTALLER_THANKS

// A data file was found that the uninstall deletes with every file of its
// kind; `elsewhere` narrows where the user should save the data first.
#define UNINSTALLER_DATA_PROMPT(found, holds, all, elsewhere)                                     \
  L"IMPORTANT: A Cryptelle " found " found.\n\n" holds "\n\nDuring uninstall, all Cryptelle " all \
  " would be deleted. You should login to each of your Usernames and save data to another "       \
  "location" elsewhere                                                                            \
  " before uninstalling the Cryptelle program.\n\nClick OK to DELETE all your Cryptelle " all     \
  " and uninstall the software.\n\nClick CANCEL to STOP the uninstaller program."

// Something the uninstall leaves behind and the next setup overwrites.
#define UNINSTALLER_LEFT_FOR_SETUP(what, these)              \
  L"The Cryptelle uninstaller program couldn't delete " what \
  ".\n\nOn your next Cryptelle setup, these " these " would be overwritten." UNINSTALLER_CONTINUES

#define UNINSTALLER_SHORTCUT_LEFT(place, shortcut)                                                \
  L"The Cryptelle uninstaller program couldn't delete from the " place " the Cryptelle " shortcut \
  " shortcut.\n\nYou need to delete it yourself." UNINSTALLER_CONTINUES

namespace uninstaller {

inline constexpr wchar_t kCaption[] = L"Cryptelle Uninstaller";
inline constexpr wchar_t kAdminCaption[] = L"Cryptelle Uninstaller - Run as administrator required";
inline constexpr wchar_t kDialogTitle[] = L"Cryptelle Uninstaller Program";
inline constexpr wchar_t kPending[] = L"PENDING";
inline constexpr wchar_t kCompleted[] = L"COMPLETED";

inline constexpr wchar_t kGeneralError[] =
    L"The Cryptelle uninstaller program experienced error. Some reasons:\n\n1.Your security "
    L"permissions on the computer and for the Cryptelle program folder:\nRight-click the setup "
    L"program's" UNINSTALLER_RUN_AS_ADMIN L"2. Your machine could be low on available memory due "
    L"to other programs running:\nIf your computer is running very slow, the Cryptelle "
    L"uninstaller might not be able to run. Then you should restart your computer and run this "
    L"uninstaller program again. Do not run multiple instances of this setup program together."
    L"\n\nThe Cryptelle program will close now.\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kNotStarted[] =
    L"The Cryptelle uninstaller program couldn't be started.\n\nThe uninstaller program might "
    L"already be running or the Cryptelle program might be running.\n\nYou can restart your "
    L"computer and then run the uninstaller program.\n\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kOldPlatform[] =
    L"The Cryptelle program requires Windows XP, or later.\n\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kStillOpen[] =
    UNINSTALLER_STOPS L"the Cryptelle program might still be running.\n\nIf the Cryptelle "
    L"program is not running then " UNINSTALLER_RUN_AGAIN L".\n\nIt could be that your Cryptelle "
    L"didn't open or lock properly because the program was closed like from Task Manager or you "
    L"logged or turned off your computer while the program was opening or locking. If so, you "
    L"would need to restart your computer to run the uninstaller program.\n\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kAdministratorRequired[] =
    L"Important: Kindly read completey before using this software.\n\nThe Cryptelle uninstaller "
    L"program requires admin level permissions to delete files etc. Your Windows OS by default "
    L"does not provide such permissions to user programs. Some options for not getting this "
    L"dialog when running the Cryptelle program are:\n\nBasic Users:\nRight-click the program's"
    UNINSTALLER_RUN_AS_ADMIN L"You need to \"Run as administrator\" everytime because UAC is "
    L"enabled on your computer.\n\nAdvanced Users:\nLogin with a user having sufficient admin "
    L"level permissions.\n\nThe program will close now.\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kStoragePrompt[] = UNINSTALLER_DATA_PROMPT(
    "storage", "It might contain your files and folders.", "storage", " outside of Cryptelle");
inline constexpr wchar_t kKeyPrompt[] = UNINSTALLER_DATA_PROMPT(
    "User Key file", "It would contain data to log into the related Cryptelle storage.",
    "User Key files", " outside of Cryptelle");
inline constexpr wchar_t kRecoveryPrompt[] = UNINSTALLER_DATA_PROMPT(
    "Password Recovery file", "It would contain data to recover your password if you forget it.",
    "Password Recovery files", "");

inline constexpr wchar_t kNotUninstalled[] =
    L"IMPORTANT: Cryptelle program could not be uninstalled.\n\nYou would need "
    L"to " UNINSTALLER_RUN_AGAIN L" to uninstall the Cryptelle program.\n\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kInfMissing[] =
    UNINSTALLER_STOPS L"the driver's setup file \"cryptdsk.inf\" has been deleted from outside "
    L"of the Cryptelle program.\n\nYou can " UNINSTALLER_INF_DOWNLOAD;

inline constexpr wchar_t kInfUnreadable[] =
    UNINSTALLER_STOPS L"the driver's setup file \"cryptdsk.inf\" exists but could not be read "
    L"properly.\n\nEither, " UNINSTALLER_RUN_AGAIN L".\n\nOr, " UNINSTALLER_INF_DOWNLOAD;

inline constexpr wchar_t kDriverNotRemovable[] =
    UNINSTALLER_STOPS L"your system doesn't make the Cryptelle driver accessible for deletion."
    L"\n\nEither, " UNINSTALLER_RUN_AGAIN L".\n\nOr, download the uninstaller program again from "
    CRYPTELLE_WEB_SITE L" and run it.\n\n" UNINSTALLER_THANKS;

inline constexpr wchar_t kDriverFile[] = UNINSTALLER_LEFT_FOR_SETUP(
    "the driver files from your system folder but the drivers themselves have been uninstalled",
    "files in your system folder");
inline constexpr wchar_t kRegistry[] =
    UNINSTALLER_LEFT_FOR_SETUP("the Windows Registry entries", "Windows Registry entries");

inline constexpr wchar_t kProgramShortcut[] =
    UNINSTALLER_SHORTCUT_LEFT("All Programs Menu", "program's");
inline constexpr wchar_t kUninstallerShortcut[] =
    UNINSTALLER_SHORTCUT_LEFT("All Programs Menu", "uninstaller program's");
inline constexpr wchar_t kStartMenuShortcut[] =
    UNINSTALLER_SHORTCUT_LEFT("Start Menu", "program's");
inline constexpr wchar_t kDesktopShortcut[] = UNINSTALLER_SHORTCUT_LEFT("Desktop", "program's");

}  // namespace uninstaller
