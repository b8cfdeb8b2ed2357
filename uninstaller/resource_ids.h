// Resource numbers of the uninstaller (also used by the .rc script).
#pragma once

#define IDD_UNINSTALL 102
#define IDB_UNINSTALL_BANNER 101
#define IDC_UNINSTALL_PICTURE 101
#define IDC_STATUS_DRIVERS 103
#define IDC_STATUS_PROGRAM_FILES 104
#define IDC_STATUS_SUB_FOLDERS 105
#define IDC_STATUS_REGISTRY 106
#define IDC_STATUS_SHORTCUTS 107
