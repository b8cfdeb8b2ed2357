// Texts of the uninstaller, exactly as the user sees them.
#pragma once

#include "vendor_info.h"

namespace uninstaller {

inline constexpr wchar_t kCaption[] = L"Cryptelle Uninstaller";
inline constexpr wchar_t kAdminCaption[] = L"Cryptelle Uninstaller - Run as administrator required";
inline constexpr wchar_t kDialogTitle[] = L"Cryptelle Uninstaller Program";
inline constexpr wchar_t kPending[] = L"PENDING";
inline constexpr wchar_t kCompleted[] = L"COMPLETED";

inline constexpr wchar_t kGeneralError[] =
    L"The Cryptelle uninstaller program experienced error. Some reasons:\n\n1.Your security "
    L"permissions on the computer and for the Cryptelle program folder:\nRight-click the setup "
    L"program's icon and click the \"Run as administrator\" option. Then your Desktop or TaskBar "
    L"(it would blink) would display the User Access Control (UAC) dialog in which you need to "
    L"click the Allow option.\n\n2. Your machine could be low on available memory due to other "
    L"programs running:\nIf your computer is running very slow, the Cryptelle uninstaller might "
    L"not be able to run. Then you should restart your computer and run this uninstaller program "
    L"again. Do not run multiple instances of this setup program together.\n\nThe Cryptelle "
    L"program will close now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kNotStarted[] =
    L"The Cryptelle uninstaller program couldn't be started.\n\nThe uninstaller program might "
    L"already be running or the Cryptelle program might be running.\n\nYou can restart your "
    L"computer and then run the uninstaller program.\n\nThank You for using the Cryptelle "
    L"program.";

inline constexpr wchar_t kOldPlatform[] =
    L"The Cryptelle program requires Windows XP, or later.\n\nThank You for using the Cryptelle "
    L"program.";

inline constexpr wchar_t kStillOpen[] =
    L"The Cryptelle uninstaller program will stop because the Cryptelle program might still be "
    L"running.\n\nIf the Cryptelle program is not running then restart your computer and run the "
    L"uninstaller program again.\n\nIt could be that your Cryptelle didn't open or lock properly "
    L"because the program was closed like from Task Manager or you logged or turned off your "
    L"computer while the program was opening or locking. If so, you would need to restart your "
    L"computer to run the uninstaller program.\n\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kAdministratorRequired[] =
    L"Important: Kindly read completey before using this software.\n\nThe Cryptelle uninstaller "
    L"program requires admin level permissions to delete files etc. Your Windows OS by default "
    L"does not provide such permissions to user programs. Some options for not getting this "
    L"dialog when running the Cryptelle program are:\n\nBasic Users:\nRight-click the program's "
    L"icon and click the \"Run as administrator\" option. Then your Desktop or TaskBar (it would "
    L"blink) would display the User Access Control (UAC) dialog in which you need to click the "
    L"Allow option.\n\nYou need to \"Run as administrator\" everytime because UAC is enabled on "
    L"your computer.\n\nAdvanced Users:\nLogin with a user having sufficient admin level "
    L"permissions.\n\nThe program will close now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kStoragePrompt[] =
    L"IMPORTANT: A Cryptelle storage found.\n\nIt might contain your files and folders.\n\nDuring "
    L"uninstall, all Cryptelle storage would be deleted. You should login to each of your "
    L"Usernames and save data to another location outside of Cryptelle before uninstalling the "
    L"Cryptelle program.\n\nClick OK to DELETE all your Cryptelle storage and uninstall the "
    L"software.\n\nClick CANCEL to STOP the uninstaller program.";

inline constexpr wchar_t kKeyPrompt[] =
    L"IMPORTANT: A Cryptelle User Key file found.\n\nIt would contain data to log into the "
    L"related Cryptelle storage.\n\nDuring uninstall, all Cryptelle User Key files would be "
    L"deleted. You should login to each of your Usernames and save data to another location "
    L"outside of Cryptelle before uninstalling the Cryptelle program.\n\nClick OK to DELETE all "
    L"your Cryptelle User Key files and uninstall the software.\n\nClick CANCEL to STOP the "
    L"uninstaller program.";

inline constexpr wchar_t kRecoveryPrompt[] =
    L"IMPORTANT: A Cryptelle Password Recovery file found.\n\nIt would contain data to recover "
    L"your password if you forget it.\n\nDuring uninstall, all Cryptelle Password Recovery files "
    L"would be deleted. You should login to each of your Usernames and save data to another "
    L"location before uninstalling the Cryptelle program.\n\nClick OK to DELETE all your "
    L"Cryptelle Password Recovery files and uninstall the software.\n\nClick CANCEL to STOP the "
    L"uninstaller program.";

inline constexpr wchar_t kNotUninstalled[] =
    L"IMPORTANT: Cryptelle program could not be uninstalled.\n\nYou would need to restart your "
    L"computer and run the uninstaller program again to uninstall the Cryptelle program.\n\n"
    L"Thank You for using the Cryptelle program.";

inline constexpr wchar_t kInfMissing[] =
    L"The Cryptelle uninstaller program will stop because the driver's setup file "
    L"\"cryptdsk.inf\" has been deleted from outside of the Cryptelle program.\n\nYou can "
    L"download this file from " CRYPTELLE_WIDE(CRYPTELLE_WEB_SITE) L" and save it in the "
    L"Cryptelle program folder. Then run the uninstaller program again.\n\nThank You for using "
    L"the Cryptelle program.";

inline constexpr wchar_t kInfUnreadable[] =
    L"The Cryptelle uninstaller program will stop because the driver's setup file "
    L"\"cryptdsk.inf\" exists but could not be read properly.\n\nEither, restart your computer and "
    L"run the uninstaller program again.\n\nOr, download this file from " CRYPTELLE_WIDE(
        CRYPTELLE_WEB_SITE) L" and save it in the Cryptelle program folder. Then run the "
    L"uninstaller program again.\n\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kDriverNotRemovable[] =
    L"The Cryptelle uninstaller program will stop because your system doesn't make the Cryptelle "
    L"driver accessible for deletion.\n\nEither, restart your computer and run the uninstaller "
    L"program again.\n\nOr, download the uninstaller program again from " CRYPTELLE_WIDE(
        CRYPTELLE_WEB_SITE) L" and run it.\n\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kDriverFile[] =
    L"The Cryptelle uninstaller program couldn't delete the driver files from your system folder "
    L"but the drivers themselves have been uninstalled.\n\nOn your next Cryptelle setup, these "
    L"files in your system folder would be overwritten.\n\nThe uninstaller program will continue "
    L"now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kRegistry[] =
    L"The Cryptelle uninstaller program couldn't delete the Windows Registry entries.\n\nOn your "
    L"next Cryptelle setup, these Windows Registry entries would be overwritten.\n\nThe "
    L"uninstaller program will continue now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kProgramShortcut[] =
    L"The Cryptelle uninstaller program couldn't delete from the All Programs Menu the Cryptelle "
    L"program's shortcut.\n\nYou need to delete it yourself.\n\nThe uninstaller program will "
    L"continue now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kUninstallerShortcut[] =
    L"The Cryptelle uninstaller program couldn't delete from the All Programs Menu the Cryptelle "
    L"uninstaller program's shortcut.\n\nYou need to delete it yourself.\n\nThe uninstaller "
    L"program will continue now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kStartMenuShortcut[] =
    L"The Cryptelle uninstaller program couldn't delete from the Start Menu the Cryptelle "
    L"program's shortcut.\n\nYou need to delete it yourself.\n\nThe uninstaller program will "
    L"continue now.\nThank You for using the Cryptelle program.";

inline constexpr wchar_t kDesktopShortcut[] =
    L"The Cryptelle uninstaller program couldn't delete from the Desktop the Cryptelle program's "
    L"shortcut.\n\nYou need to delete it yourself.\n\nThe uninstaller program will continue now."
    L"\nThank You for using the Cryptelle program.";

}  // namespace uninstaller
