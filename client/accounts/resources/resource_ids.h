// Resource numbers of Cryptelle.exe. Plain #defines: the resource script
// includes this header too.
#pragma once

#define IDD_PRIVACY_ALERT 801
#define IDD_WELCOME 802
#define IDD_NEW_USER_INTRO 804
#define IDD_CREATE_USER 805
#define IDD_RECOVERY_SETUP 806
#define IDD_RECOVER_PASSWORD 807
#define IDD_STORAGE_SETUP 808
#define IDD_CHANGE_PASSWORD 810
#define IDD_LOG_IN 814
#define IDD_ABOUT 816

// Background images; the static control of each dialog has the same number.
#define IDB_PRIVACY_ALERT 851
#define IDB_WELCOME 852
#define IDB_NEW_USER_INTRO 854
#define IDB_CREATE_USER 855
#define IDB_RECOVERY_SETUP 856
#define IDB_RECOVER_PASSWORD 857
#define IDB_STORAGE_SETUP 858
#define IDB_CHANGE_PASSWORD 860
#define IDB_LOG_IN 864
#define IDB_ABOUT 866

#define IDI_OPEN 900
#define IDI_LAUNCHED 901
#define IDI_LOCKED 902
#define IDI_PROGRAM 903

#define IDM_TRAY 750
#define IDM_EXPLORER 751
#define IDM_LOCK_EXIT 752
#define IDM_MANUAL 753
#define IDM_ABOUT 754
#define IDM_UNUSED 755  // no menu item has this number
#define IDM_WEB_SITE 756
#define IDM_AUTO_LOCK_SUSPEND 757
#define IDM_AUTO_LOCK_WORKSTATION 758
#define IDM_AUTO_LOCK_IDLE 759

#define IDS_WINDOW_TITLE 100

// Create User
#define IDC_NEW_USER_NAME 250
#define IDC_NEW_PASSWORD 251
#define IDC_NEW_PASSWORD_AGAIN 252
#define IDC_RECOVERY_YES 253
#define IDC_RECOVERY_NO 254
#define IDC_RECOVERY_WHAT 255
// Create Password Recovery File
#define IDC_ANSWER_MAIDEN 300
#define IDC_ANSWER_HOBBY 301
#define IDC_ANSWER_FOOD 302
// Recover Your Password
#define IDC_RECOVER_USER 350
#define IDC_RECOVER_MAIDEN 351
#define IDC_RECOVER_HOBBY 352
#define IDC_RECOVER_FOOD 353
// Setup Your Cryptelle
#define IDC_STORAGE_NAME 400
#define IDC_STORAGE_SIZE 401
#define IDC_STORAGE_FOLDER 403
#define IDC_STORAGE_BROWSE 404
#define IDC_STORAGE_FREE 405
#define IDC_STORAGE_WHOLE_DRIVE 406
// Change Password
#define IDC_CHANGE_USER 500
#define IDC_CHANGE_OLD 501
#define IDC_CHANGE_NEW 502
#define IDC_CHANGE_NEW_AGAIN 503
// Log In
#define IDC_LOGIN_USER 650
#define IDC_LOGIN_PASSWORD 651
#define IDC_LOGIN_FORGOT 652
#define IDC_LOGIN_CHANGE 653
#define IDC_LOGIN_NEW_USER 654
#define IDC_LOGIN_HELP 655
// About
#define IDC_ABOUT_PROTECTION 700
