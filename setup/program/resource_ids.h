// Resource numbers of the setup program (also used by the .rc script).
#pragma once

#define IDD_SETUP 130
#define IDB_SETUP_BACKGROUND 129
#define IDC_SETUP_PICTURE 129
#define IDC_READ 1000
#define IDC_BROWSE 1001
#define IDC_INSTALL 1002
#define IDC_CANCEL 1003
#define IDC_INSTALL_PATH 1025
#define IDC_FOLDER_NAME 1026
#define IDC_SHORTCUT_NAME 1027
#define IDC_STATUS 1050
