// Texts, file names and registry names of the setup program, exactly as the
// user and the rest of the product see them. Narrow strings: setup is ANSI.
// Names other programs share come from product_names.h.
#pragma once

#include "product_names.h"

namespace setup {

// Titles.
inline constexpr char kCaption[] = "Cryptelle Setup";
inline constexpr char kAdminCaption[] = "Cryptelle Setup - Run as administrator required";
inline constexpr char kReadCaption[] = "Cryptelle Setup - Changing Install Path";
inline constexpr char kInstalledCaption[] = "Cryptelle installed successfully";
inline constexpr char kDialogTitle[] = "Cryptelle Setup Program";
inline constexpr char kBrowseTitle[] = "Select Program Installation Path";

// Initial field contents.
inline constexpr char kFolderName[] = "Cryptelle";
inline constexpr char kShortcutName[] = "Cryptelle";
inline constexpr char kStatusReady[] = "Click \"Install\" to begin installation.";

// Status line of the install sequence.
inline constexpr char kStatusCheckingPath[] = "Checking Cryptelle installation path";
inline constexpr char kStatusCreatingFolder[] = "Creating Cryptelle installation folder";
inline constexpr char kStatusCreatingSubFolders[] = "Creating program sub-folders";
inline constexpr char kStatusCopyingFiles[] = "Copying files to installation folder";
inline constexpr char kStatusCopyingDriver[] = "Copying driver files to System32 folder";
inline constexpr char kStatusRegisteringExtension[] = "Registering Cryptelle extension";
inline constexpr char kStatusCreatingLog[] = "Creating log file for uninstallation";
inline constexpr char kStatusCreatingShortcuts[] =
    "Creating shortcuts for desktop and program groups";
inline constexpr char kStatusRegisteringUninstaller[] =
    "Registering Uninstaller with \"Add/Remove Programs\"";
inline constexpr char kStatusInstallingDrivers[] = "Installing device drivers";
inline constexpr char kStatusInstallPath[] = "Making registry entry for install folder";

// Messages.
inline constexpr char kGeneralError[] =
    "The Cryptelle setup program experienced error. Some reasons:\n\n1. Length of installation "
    "path:\nSelect a shorter Installation Path and run setup again. The default values should "
    "generally work.\n\n2.Your security permissions on the computer and for the installation "
    "folder:\nRight-click the setup program's icon and click the \"Run as administrator\" "
    "option. Then your Desktop or TaskBar (it would blink) would display the User Access Control "
    "(UAC) dialog in which you need to click the Allow option.\n\n3. Your machine could be low "
    "on available memory due to other programs running:\nIf your computer is running very slow, "
    "the Cryptelle setup might not be able to run. Then you should restart your computer and run "
    "this setup program again. Do not run multiple instances of this setup program "
    "together.\n\nThe Cryptelle program will close now.\nThank You for using the Cryptelle "
    "program.";

inline constexpr char kAdministratorRequired[] =
    "Important: Kindly read completey before using this software.\n\nThe Cryptelle setup program "
    "requires admin level permissions to create files etc. Your Windows OS by default does not "
    "provide such permissions to user programs. Some options for not getting this dialog when "
    "running the Cryptelle setup program are:\n\nBasic Users:\nRight-click the setup program's "
    "icon and click the \"Run as administrator\" option. Then your Desktop or TaskBar (it would "
    "blink) would display the User Access Control (UAC) dialog in which you need to click the "
    "Allow option.\n\nYou need to \"Run as administrator\" everytime because UAC is enabled on "
    "your computer.\n\nAdvanced Users:\nLogin with a user having sufficient admin level "
    "permissions.\n\nThe setup program will close now.\nThank You for using the Cryptelle "
    "program.";

inline constexpr char kNotStarted[] =
    "The Cryptelle setup program could not be started. This program might already be running. "
    "Otherwise,\nrestart your computer and run the uninstaller program again.\n\nThank You for "
    "using the Cryptelle program.";

inline constexpr char kOldPlatform[] =
    "The Cryptelle program requires Windows XP, or later.\n\nThank You for using the Cryptelle "
    "program.";

inline constexpr char kVersionUnknown[] =
    "You computer failed to report on the Windows platform version.\n\nThe setup program will "
    "close now.\nThank You for using the Cryptelle program.";

inline constexpr char kAlreadyInstalled[] =
    "The Cryptelle program is already installed on this computer.\n\nBefore you can run this "
    "setup program, log in to each of your Usernames and save your data to another location "
    "outside of Cryptelle, then uninstall the installed Cryptelle program.\n\nThank You for "
    "using the Cryptelle program.";

inline constexpr char kStillInMemory[] =
    "The Cryptelle program is still in memory.\n\nIf you uninstalled a previous installation of "
    "the program, then you must restart your computer before re-installation.\n\nThank You for "
    "using the Cryptelle program.";

inline constexpr char kNoProgramFiles[] =
    "The \"Program Files\" folder was not found.\nYou must browse and select an installation "
    "folder.\n\n";

inline constexpr char kChangingPathAdvice[] =
    "IMPORTANT: Changing the Installation Path\n\nThe default Installation Path is on your "
    "Windows OS partition which is usually the C: drive letter.\n\nYou can view the partitions "
    "using the My Computer (XP) or Computer (VISTA) option from the Start menu. They will be "
    "listed as Hard Disk Drives.\n\nIf you later re-install the Windows OS on this partition, "
    "your Cryptelle installation and your data in it could get deleted because the "
    "re-installation might format the partition.\n\nIf you've a data partition (which can be "
    "the D: drive letter) on your hard disk, you should select that partition for the "
    "installation path by using the Browse button and selecting that drive letter.";

// Refused before anything is created; the dialog stays open.
inline constexpr char kFilesMissing[] =
    "The Cryptelle setup program has files missing.\n\nDownload the Cryptelle software again "
    "from " CRYPTELLE_WEB_SITE
    " and run its setup program from the folder that holds all of its files.";

// The same fault found while copying; setup ends after it.
inline constexpr char kFilesMissingClosing[] =
    "The Cryptelle setup program has files missing.\n\nDownload the Cryptelle software again "
    "from " CRYPTELLE_WEB_SITE
    " and run its setup program from the folder that holds all of its files.\n\nThe setup "
    "program will close now.\nThank You for using the Cryptelle program.";

inline constexpr char kPathNotAccessible[] =
    "Your selected installation path is not accessible.\nSelect another installation path.\n";

inline constexpr char kPathTooLong[] =
    "The selected installation path including folder names is longer than 260 "
    "characters.\n\nSelect another installation path.";

inline constexpr char kProgramFoldersExist[] =
    "The Cryptelle directory along with program folders exist at the selected installation "
    "path.\n\nIf the previous installation was unsuccessful then you can either delete those "
    "files and folders yourself or select another installation path.\n\nImportant: The previous "
    "installation path might contain a Cryptelle with your data.";

inline constexpr char kFolderExists[] =
    "The Cryptelle directory exists at the selected installation path.\n\nIf the previous "
    "installation was unsuccessful then you can either delete those files and folders yourself "
    "or select another installation path.\n\nImportant: The previous installation path might "
    "contain a Cryptelle with your data.";

inline constexpr char kShortcutFailed[] =
    "The program is unable to create the shortcut link for Cryptelle program.\nCheck your "
    "security permissions for this user and then try re-installing the software.";

inline constexpr char kCompleted[] =
    "Congratulations!\nThe Cryptelle setup has completed successfully.\n\nImportant: During "
    "installation, if your computer asked you to restart it then you need to restart it before "
    "running the program.\n\n\nWould you like to run the program now?";

inline constexpr char kLaunchFailed[] =
    "The Cryptelle could not be launched automatically.\n\nYou should be able to access it from "
    "the Desktop or the Start Menu Cryptelle icon.";

// The 32-bit package on 64-bit Windows: refused before anything changes.
inline constexpr char kWrongArchitecture[] =
    "This is the 32-bit Cryptelle package, and this computer runs 64-bit Windows, where its "
    "driver cannot work.\n\nRun CryptelleSetup.exe of the 64-bit Cryptelle package instead.\n\n"
    "Thank You for using the Cryptelle program.";

// Installed, but the driver is not running: said instead of "Congratulations".
inline constexpr char kDriverNeedsRestart[] =
    "The Cryptelle setup has installed the program. Windows starts its encrypted disk driver after "
    "a restart.\n\nRestart your computer before you run the Cryptelle program.\n\nThank You for "
    "using the Cryptelle program.";

inline constexpr char kDriverUnsigned[] =
    "The Cryptelle setup has installed the program, but Windows refused to start its encrypted "
    "disk driver: the driver carries a test signature, which 64-bit Windows Vista and later "
    "accept only in test mode.";

inline constexpr char kDriverNotStarted[] =
    "The Cryptelle setup has installed the program, but Windows did not start its encrypted disk "
    "driver. On 64-bit Windows Vista and later the usual reason is the driver's test signature, "
    "which Windows accepts only in test mode.";

// Follows kDriverUnsigned or kDriverNotStarted (and the problem code).
inline constexpr char kTestModeAdvice[] =
    "\n\nUntil the driver runs, the Cryptelle program cannot open any storage. To turn test mode "
    "on, switch Secure Boot off in the computer's firmware settings, then run\n\n    bcdedit /set "
    "testsigning on\n\nin a command prompt started with \"Run as administrator\", and restart "
    "the computer. A Cryptelle release signed by its publisher needs no test mode.\n\n"
    "CryptelleReadMe.txt in the setup folder explains each step.\n\nThank You for using the "
    "Cryptelle program.";

// Files and folders.
inline constexpr char kDriverInSystemFolder[] = "Drivers\\" CRYPTELLE_DRIVER_SYS;
inline constexpr char kSubFolders[3][10] = {CRYPTELLE_RECOVERY_FOLDER, CRYPTELLE_KEY_FOLDER,
                                            CRYPTELLE_STORAGE_FOLDER};
inline constexpr char kProgramGroup[] = "Cryptelle";
inline constexpr char kClientLink[] = "Cryptelle.lnk";
inline constexpr char kUninstallerLink[] = "CryptelleUninstaller.lnk";
inline constexpr char kClientDescription[] = "Cryptelle";
inline constexpr char kUninstallerDescription[] = "Uninstall Cryptelle";

// Registry.
inline constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char kRunOnceValue[] = "CryptelleUninstall";
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cryptelle";
inline constexpr char kDisplayNameValue[] = "DisplayName";
inline constexpr char kDisplayName[] = "Cryptelle";
inline constexpr char kPublisher[] = "Cryptelle";
inline constexpr char kUninstallStringValue[] = "UninstallString";
inline constexpr char kExtensionKey[] = ".cryptdsk";
inline constexpr char kClassKey[] = "Cryptelle";
inline constexpr char kClassName[] = "Cryptelle";
inline constexpr char kDefaultIconKey[] = "Cryptelle\\DefaultIcon";
inline constexpr char kOpenCommandKey[] = "Cryptelle\\shell\\open\\command";

}  // namespace setup
