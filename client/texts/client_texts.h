// Every fixed text of Cryptelle.exe, once. Plain #defines of narrow literals so
// that the resource script includes this header too; C++ code widens them
// with CT_W (wchar_t) or CT_U (char16_t). The GUI tests compare against these.
#pragma once

#include "product_names.h"

#define CT_W2(x) L##x
#define CT_W(x) CT_W2(x)
#define CT_U2(x) u##x
#define CT_U(x) CT_U2(x)

#define CT_PRODUCT "Cryptelle"
#define CT_VERSION_TEXT "1.0.1.0"
#define CT_WEB_SITE CRYPTELLE_WEB_SITE
#define CT_SUPPORT_MAIL CRYPTELLE_SUPPORT_EMAIL
#define CT_CLOSING "Thank You for using the Cryptelle program."

// Window class and cross-program request.
#define CT_WINDOW_CLASS CRYPTELLE_WINDOW_CLASS
#define CT_OPEN_AND_EXPLORER CRYPTELLE_OPEN_REQUEST

// Dialog titles.
#define CT_TITLE_PRIVACY_ALERT_DIALOG "Cryptelle: Privacy Alert"
#define CT_TITLE_WELCOME "Cryptelle - Welcome"
#define CT_TITLE_NEW_USER_INTRO "Cryptelle - Create New User"
#define CT_TITLE_CREATE_USER "Cryptelle - Create User"
#define CT_TITLE_RECOVERY_SETUP "Cryptelle - Create Password Recovery File"
#define CT_TITLE_RECOVER_PASSWORD "Cryptelle - Recover Your Password"
#define CT_TITLE_STORAGE_SETUP "Cryptelle - Setup Your Cryptelle"
#define CT_TITLE_CHANGE_PASSWORD "Cryptelle - Change Password"
#define CT_TITLE_LOG_IN "Cryptelle - Log In"
#define CT_TITLE_ABOUT "About Cryptelle Home Edition"

// Message box titles.
#define CT_TITLE_RUN_AS_ADMIN "Cryptelle - Run as administrator required"
#define CT_TITLE_PRIVACY_ALERT_BOX "Cryptelle - Privacy Alert"
#define CT_TITLE_RECOVERY_OPTION "Cryptelle - Password Recovery file option"
#define CT_TITLE_CREATE_FOR_USER "Cryptelle - Create Cryptelle for User"
#define CT_TITLE_CHANGE_YOUR_PASSWORD "Cryptelle - Change Your Password"
#define CT_TITLE_PASSWORD_RECOVERED "Cryptelle - Password Recovered"

// Button captions.
#define CT_BUTTON_NEXT "&Next >"
#define CT_BUTTON_NEXT_TIGHT "&Next>"
#define CT_BUTTON_CANCEL "&Cancel"
#define CT_BUTTON_OK "&OK"
#define CT_BUTTON_YES "&Yes"
#define CT_BUTTON_NO "&No"
#define CT_BUTTON_WHAT "?"
#define CT_BUTTON_BROWSE "&Browse"
#define CT_BUTTON_FORGOT "&Forgot Password"
#define CT_BUTTON_CHANGE "&Change Password"
#define CT_BUTTON_NEW_USER "Create &New User"
#define CT_BUTTON_HELP "&Help"

// Check box of the storage screen.
#define CT_CHECK_WHOLE_DRIVE "Encrypt the whole drive (recommended)"

// Tray menu.
#define CT_MENU_TASKBAR "TaskBar"
#define CT_MENU_HELP "&Help"
#define CT_MENU_MANUAL "&Manual"
#define CT_MENU_WEB_SITE "&Web-site"
#define CT_MENU_ABOUT "&About Cryptelle"
#define CT_MENU_EXPLORER "Cryptelle &Explorer"
#define CT_MENU_LOCK_EXIT "&Lock && Exit"
#define CT_MENU_AUTO_LOCK "Lock &automatically"
#define CT_MENU_AUTO_LOCK_SUSPEND "When the computer &sleeps or hibernates"
#define CT_MENU_AUTO_LOCK_WORKSTATION "When the &workstation is locked"
#define CT_MENU_AUTO_LOCK_IDLE_HEAD "After "
#define CT_MENU_AUTO_LOCK_IDLE_TAIL " minutes without &input"
#define CT_MENU_AUTO_LOCK_IDLE CT_MENU_AUTO_LOCK_IDLE_HEAD "15" CT_MENU_AUTO_LOCK_IDLE_TAIL

// Tray icon.
#define CT_BALLOON_LAUNCHED_TITLE "Cryptelle is Launched"
#define CT_BALLOON_LAUNCHED "Taskbar Menu activates when\na Cryptelle is opened."
#define CT_BALLOON_LOCKED_TITLE "Cryptelle is Locked"
#define CT_BALLOON_LOCKED                                                             \
  "Re-Open using:\nDesktop Cryptelle Icon\nAll Programs -> Cryptelle\nStart Menu -> " \
  "Cryptelle\nType Cryptelle in Start -> Run\nDouble-Click Cryptelle storage file"
#define CT_BALLOON_OPEN_TITLE "Cryptelle is Open"
#define CT_MSG_AUTO_LOCK_NOT_SAVED \
  "Your choice for locking automatically could not be saved in the Windows Registry."
#define CT_BALLOON_STAYED_OPEN_TITLE "Cryptelle stayed open"
#define CT_BALLOON_STAYED_OPEN \
  "Your Cryptelle was not locked automatically because files on it are in use.\n\nClose them, then choose Lock & Exit."
#define CT_BALLOON_OPEN_HEAD                                                                   \
  "Right-Click for:\nHelp\nCryptelle Explorer\nLock & Exit\n\nShortcut for Cryptelle Storage " \
  "at:\n"
#define CT_BALLOON_OPEN_TAIL "\n\nLock & Exit when leaving your computer."
#define CT_TOOLTIP_OPEN "Cryptelle ( :) - Open\n\nRight-Click for options."
#define CT_TOOLTIP_LOCKED "Cryptelle is Locked"

// The logged-in user's protection, in the Open tooltip (a line after the
// template) and in the About box. Whole drive: the second generation; first
// sectors: the first, which stores the files themselves as written.
#define CT_PROTECTION_WHOLE_DRIVE "Protection: whole drive encrypted"
#define CT_PROTECTION_FIRST_SECTORS "Protection: only the first sectors encrypted"
#define CT_ABOUT_PROTECTION_WHOLE_DRIVE \
  "Your drive: the whole drive is encrypted, every file on it included."
#define CT_ABOUT_PROTECTION_FIRST_SECTORS                                         \
  "Your drive: only its first sectors are encrypted. The files on it are stored " \
  "unencrypted in the storage file."

// Files.
#define CT_SHORTCUT_FILE "Cryptelle Storage.lnk"
#define CT_OPEN_ICON_FILE CRYPTELLE_OPEN_ICON_FILE
#define CT_MANUAL_FILE CRYPTELLE_MANUAL_FILE
#define CT_KEY_FOLDER_PATTERN "*.*"

// Registry.
#define CT_REG_STATUS_KEY CRYPTELLE_STATUS_KEY
#define CT_REG_OPEN_VALUE CRYPTELLE_OPEN_FLAG_VALUE
#define CT_REG_USERS_KEY CRYPTELLE_USERS_KEY

// Messages.
#define CT_MSG_GENERAL_ERROR                                                                   \
  "The Cryptelle program experienced error. Some reasons:\n\n1. If you're creating a new "     \
  "user:\nA. The software uses many of your system's services and rarely is unable to create " \
  "a new user. Try creating a new user again. This would be automated in the next "            \
  "update.\n\nB. Also, Enter/Select a shorter Username/Cryptelle Path. The default values "    \
  "should generally work. Some program filename's length could've exceeded limit which is "    \
  "rare if you select the defaults.\n\n2. If you're logging in:\nThe program uses many of "    \
  "your system's services and rarely is unable to log in. Try logging in again perhaps after " \
  "restarting your computer if you repeatedly get this message. This would be automated in "   \
  "the next update.\n\n3. Your security permissions on the computer and for the program "      \
  "folder:\nRight-click the program's icon and click the \"Run as administrator\" option. "    \
  "Then your Desktop or TaskBar (it would blink) would display the User Access Control (UAC) " \
  "dialog in which you need to click the Allow option.\n\n4. Your machine could be low on "    \
  "available memory due to other programs running:\nIf you're computer is running very "       \
  "slow, the Cryptelle program might not be able to run. Then you should restart your "        \
  "computer and run this program again.\n\nThe Cryptelle program will close now.\nThank You "  \
  "for using the Cryptelle program."

#define CT_MSG_RUN_AS_ADMIN                                                                    \
  "Important: Kindly read completey before using this software.\n\nThe Cryptelle program "     \
  "requires admin level permissions to create files etc. Your Windows OS by default does not " \
  "provide such permissions to user programs. Some options for not getting this dialog when "  \
  "running the Cryptelle program are:\n\nBasic Users:\nRight-click the program's icon and "    \
  "click the \"Run as administrator\" option. Then your Desktop or TaskBar (it would blink) "  \
  "would display the User Access Control (UAC) dialog in which you need to click the Allow "   \
  "option.\n\nYou need to \"Run as administrator\" everytime because UAC is enabled on your "  \
  "computer.\n\nAdvanced Users:\nLogin with a user having sufficient admin level "             \
  "permissions.\n\nThe program will close now.\nThank You for using the Cryptelle program."

#define CT_MSG_INITIALISATION                                                             \
  "Cryptelle program experienced error during initialization.\nYou must restart your "    \
  "computer to resolve this problem.\n\nThank You for using the Cryptelle program.\nThe " \
  "Cryptelle program will exit now."

#define CT_MSG_ALREADY_RUNNING                                                               \
  "The Cryptelle program might already be running or the Cryptelle uninstaller might be "    \
  "running.\n\nIf your program is running:\n\nEither, a program screen should be on your "   \
  "Desktop.\n\nOr, the program icon should be on the Taskbar which you can right-click for " \
  "options.\n\nThank You for using the Cryptelle program."

#define CT_MSG_OLD_WINDOWS                                                                     \
  "The Cryptelle program requires Windows XP, or later.\n\nThank You for using the Cryptelle " \
  "program."

#define CT_MSG_REGISTRY_CHANGED                                                               \
  "A registry entry for Cryptelle was found changed outside the program.\n\nCheck that the "  \
  "Cryptelle program may already be open.\n\nYou must restart your computer to resolve this " \
  "problem.\n\nThank You for using the Cryptelle program.\nThe Cryptelle program will exit "  \
  "now."

#define CT_MSG_IMPROPER_SHUTDOWN                                                       \
  "The Cryptelle program has detected improper shutdown.\nLock your Cryptelle before " \
  "shutting down your computer.\nThe program will now continue normally."

#define CT_MSG_TRAY_ADD_FAILED                                                                \
  "The Cryptelle program icon could not be added to\nthe TaskBar which either doesn't exist " \
  "or is unresponsive.\n\nIf you just started your computer, you can wait for some time "     \
  "before running this program again.\n\nElse, you must restart your computer to resolve "    \
  "this problem.\n\nThank You for using the Cryptelle program.\nThe Cryptelle program will "  \
  "exit now."

#define CT_MSG_TRAY_MENU_FAILED                                                               \
  "The Cryptelle program menu could not be added to\nthe TaskBar which either doesn't exist " \
  "or is unresponsive.\n\nIf you just started your computer, you can wait for some time "     \
  "before running this program again.\n\nElse, you must restart your computer to resolve "    \
  "this problem.\n\nThank You for using the Cryptelle program.\nThe Cryptelle program will "  \
  "exit now."

#define CT_MSG_TRAY_REMOVE_NOT_FOUND                                                        \
  "The Cryptelle program icon could not be removed from\nthe TaskBar which either doesn't " \
  "exist or is unresponsive.\nYou must restart your computer to resolve this problem.\n\n"  \
  "Thank You for using the Cryptelle program.\nThe Cryptelle program will exit now."

#define CT_MSG_TRAY_REMOVE_FAILED                                                             \
  "The Cryptelle program icon could not be removed from the\nTaskBar. You must restart your " \
  "computer to resolve this problem.\n\nThank You for using the Cryptelle program.\nThe "     \
  "Cryptelle program will exit now."

#define CT_MSG_MANUAL_ERROR                                                                 \
  "Cryptelle program experienced error while automatically opening the Cryptelle "          \
  "Manual.\n\nYou should lock your Cryptelle and run it again.\n\nThank You for using the " \
  "Cryptelle program."

#define CT_MSG_MANUAL_MISSING_HEAD "The Cryptelle Manual is not accessible.\n\nDownload from:\n"
#define CT_MSG_MANUAL_MISSING_TAIL "\n\nThank You for using the Cryptelle program."

#define CT_MSG_WEB_SITE_FAILED                                                                    \
  "The Cryptelle web-site could not be opened automatically.\n\nYou can reach it at " CT_WEB_SITE \
  ".\n\nThank You for using the Cryptelle program."

#define CT_MSG_EXPLORER_THRICE                                                                \
  "Your Cryptelle could not be automatically opened in Windows Explorer using the Cryptelle " \
  "Shell Helper program because it has opened it thrice already since you started the "       \
  "Cryptelle program.\n\nYou should be able to open it by double- or right- clicking the "    \
  "Cryptelle TaskBar icon."

#define CT_MSG_EXPLORER_FAILED                                                              \
  "Your Cryptelle could not be opened automatically in Windows Explorer.\n\nYou should be " \
  "able to access it by double- or right- clicking the Cryptelle TaskBar icon."

#define CT_MSG_RECOVERY_OPTION                                                                 \
  "Cryptelle users can recover their forgotten password using the Password Recovery File "     \
  "option.\n\nWhile creating the password, the user answers a few questions.\n\nWhile "        \
  "recovering the password, the user needs to provide the same answers.\n\nIf you select the " \
  "Password Recovery File option, then the Cryptelle program stores the password on the disk " \
  "in an encrypted form."

#define CT_MSG_ANSWERS_INCORRECT                                                               \
  "The Password Recovery has failed because your provided answers are incorrect. The answers " \
  "are case sensitive.\n\nIf you've forgotten the answers, you wouldn't be able to recover "   \
  "your password. If you've forgotten your password, this user might not be able to "          \
  "login.\n\nYour data in your Cryptelle can still be directly read from your hard disk for "  \
  "which you might need professional assistance."

#define CT_MSG_USER_NOT_CREATED "The user could not be created due to error."
#define CT_BROWSE_TITLE "Select Cryptelle Location For Your Data"
#define CT_PASSWORD_MASK "*****"

// Account flows: refusals and questions of the dialogs with input.
#define CT_MSG_KEY_FOLDER_MISSING                                                \
  "The Key folder in the Cryptelle program folder does not seem to exist or is " \
  "inaccessible\n\nCheck your security permissions for this sub folder.\n\nYou " \
  "might need to reinstall the program."
#define CT_MSG_STORAGE_FOLDER_MISSING                                               \
  "The CryptDsks folder in the Cryptelle program folder does not seem to exist or " \
  "is inaccessible\n\nCheck your security permissions for this sub folder.\n\nYou " \
  "might need to reinstall the program."
#define CT_MSG_ENTER_USERNAME "Enter a Username"
#define CT_MSG_USERNAME_CUT                                                          \
  "The Username maximum length is 260 characters.\n\nYour Username might have been " \
  "truncated to the first 260 characters."
#define CT_MSG_USERNAME_NOT_PLAIN                                                     \
  "Username can only be alpha-numeric with underscores [A-Z,a-z,0-9,_].\n\nYou must " \
  "enter another Username."
#define CT_MSG_USERNAME_EXISTS "This Username exists.\n\nYou must enter another Username."
#define CT_MSG_ENTER_PASSWORD "Enter a Password"
#define CT_MSG_PASSWORD_CUT                                                          \
  "The Password maximum length is 260 characters.\n\nYour Password might have been " \
  "truncated to the first 260 characters."
#define CT_MSG_RECONFIRM_PASSWORD "Reconfirm the entered Password"
#define CT_MSG_RECONFIRMATION_CUT                                                   \
  "The Password maximum length is 260 characters.\n\nYour Password reconfirmation " \
  "might have been truncated to the first 260 characters."
#define CT_MSG_PASSWORDS_DIFFER                                                     \
  "The Password and the Reconfim Password do not match.\n\nYou need to enter them " \
  "again."
#define CT_MSG_ENTER_STORAGE_NAME "Enter Cryptelle Name"
#define CT_MSG_STORAGE_NAME_CUT                                                  \
  "The Cryptelle Name maximum length is 260 characters.\n\nYour Cryptelle Name " \
  "might have been truncated to the first 260 characters."
#define CT_MSG_STORAGE_NAME_NOT_PLAIN                          \
  "Cryptelle Name can only be alpha-numeric with underscores " \
  "[A-Z,a-z,0-9,_].\n\nYou must enter another Cryptelle Name."
#define CT_MSG_ENTER_STORAGE_SIZE "Enter Cryptelle Size (in MB)"
#define CT_MSG_STORAGE_SIZE_MINIMUM "The Cryptelle Size minimum is 5 MB."
#define CT_MSG_STORAGE_SIZE_MAXIMUM                                              \
  "The Cryptelle Home Version Size maximum is 9999 MB per Username.\n\nYou may " \
  "create as many Cryptelle Usernames as you want on your machine."
#define CT_MSG_ENTER_STORAGE_FOLDER                                               \
  "Browse and Select Location (Full Path Name) where to store your Cryptelle on " \
  "your computer"
#define CT_MSG_STORAGE_FOLDER_CUT                                                   \
  "The Cryptelle Location (Full Path Name) maximum length is 260 "                  \
  "characters.\n\nYour Cryptelle Location might have been truncated to the first "  \
  "260 characters. If so, this might cause error.\n\nUsing Browse, select another " \
  "Location which is less than 260 characters."
#define CT_MSG_STORAGE_FILE_NAME_LONG                                               \
  "The Cryptelle Filename maximum length is 260 characters.\n\nEither shorten the " \
  "Name or the Cryptelle File Location address."
#define CT_MSG_STORAGE_FILE_MISSING                                                   \
  "The Cryptelle file for this Username does not exist.\n\nThe Username "             \
  "exists.\n\nThis Cryptelle file might have been deleted, renamed, moved from "      \
  "outside the program or not created due to previous error while creating a "        \
  "user.\n\nYou need to create a new user to create a new Cryptelle because you "     \
  "cannot log in with this user without the related Cryptelle file.\n\nThis file "    \
  "contains all the folders and files for the Username. If you have been using this " \
  "Username for storing data, you should find on your disk a file with the name "     \
  "[Your Username].cryptdsk and get professional assistance to recover your data."
#define CT_MSG_ENTER_CURRENT_PASSWORD "Enter your Current Password"
#define CT_MSG_ENTER_NEW_PASSWORD "Enter your New Password"
#define CT_MSG_RECONFIRM_NEW_PASSWORD "Reconfirm your New Password"
#define CT_MSG_ENTER_MAIDEN_NAME "Enter your Mother's Maiden Name"
#define CT_MSG_MAIDEN_NAME_CUT                                                        \
  "The Mother's Maiden Name maximum length is 260 characters.\n\nIt might have been " \
  "truncated to the first 260 characters."
#define CT_MSG_ENTER_HOBBY "Enter Name of your Hobby"
#define CT_MSG_HOBBY_CUT                                                              \
  "The Hobby Name maximum length is 260 characters.\n\nIt might have been truncated " \
  "to the first 260 characters."
#define CT_MSG_ENTER_FOOD "Enter Name of Food you like"
#define CT_MSG_FOOD_CUT                                                              \
  "The Food Name maximum length is 260 characters.\n\nIt might have been truncated " \
  "to the first 260 characters."
#define CT_MSG_RECOVERY_FILE_EXISTS                                                   \
  "A Password Recovery File exists for this Username.\n\nClick OK to overwrite this " \
  "file using your provided answers.\n\nClick CANCEL to not overwrite this file. If " \
  "you're creating a new User then it wouldn't be created and the program would be "  \
  "closed.\n\nYou can recover the Password for this Username from a Log-In screen "   \
  "option."
#define CT_MSG_RECOVERY_FILE_MISSING                                                  \
  "The Password Recovery File for this Username does not exist.\n\nEither, you "      \
  "entered an incorrect Username.\n\nOr, the Password Recovery File for this "        \
  "Username might have been deleted or moved or renamed from outside the program. "   \
  "This could be due to changing data in program folder from outside of the "         \
  "Cryptelle software. Without this file, you would not be able to recover the "      \
  "Password for this Username.\n\nIf you have forgotten your Password, your data in " \
  "your Cryptelle can still be directly read from your hard disk for which you "      \
  "might need professional assistance."
#define CT_MSG_RECOVERED_HEAD "Your Password:\n\n"
#define CT_MSG_RECOVERED_TAIL "\n\nNext is Change Password screen."

// A storage file already at the chosen path may be another user's container:
// creating over it would format it, and a failed creation would delete it.
#define CT_MSG_STORAGE_FILE_EXISTS                                                     \
  "A Cryptelle file with this Name already exists at this Location.\n\nIt might hold " \
  "another user's data, so it is left untouched.\n\nEnter another Cryptelle Name or, " \
  "using Browse, select another Location."
