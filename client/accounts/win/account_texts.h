// Message texts and titles of the account files, exactly as the user sees
// them. Tests compare the shown messages against these same constants.
#pragma once

#include <windows.h>

#include "client_texts.h"

inline constexpr WCHAR kProductTitle[] = CT_W(CT_PRODUCT);
inline constexpr WCHAR kCreateUserTitle[] = CT_W(CT_TITLE_CREATE_FOR_USER);
inline constexpr WCHAR kRecoverPasswordTitle[] = CT_W(CT_TITLE_RECOVER_PASSWORD);

inline constexpr WCHAR kKeyFilePathUnencodableText[] =
    L"Your Cryptelle storage file's fullpathname has a character that can't be used to create "
    L"the User key file.\n\nYou need to restart the Cryptelle program and then create a new user "
    L"with Cryptelle storage file at some other location on your computer.\n\nThe Cryptelle "
    L"program will close now.\nThank You for using the Cryptelle program.";

inline constexpr WCHAR kKeyFilePathUnencodableChangeText[] =
    L"Your Password has not been changed.\n\nYour Cryptelle storage file's fullpathname has a "
    L"character that can't be used to create the User key file.\n\nYour earlier User key and "
    L"Cryptelle storage files exist.\n\nThe Cryptelle program will close now.\nThank You for "
    L"using the Cryptelle program.";

inline constexpr WCHAR kUserDoesNotExistText[] =
    L"This user does not exist.\n\nEither, you entered an incorrect Username.\n\nOr, the key file "
    L"for this Username might have been deleted or moved or renamed from outside the program. "
    L"This could be due to changing data in program folder from outside of the Cryptelle "
    L"software. If so, this user might not be able to login or change the password.\n\nYour data "
    L"in your Cryptelle can still be directly read from your hard disk for which you might need "
    L"professional assistance.";

inline constexpr WCHAR kPasswordMismatchText[] =
    L"The File to verify user's Password exists.\n\nHowever, it does not match the user's "
    L"Password.\n\nEither, you entered an incorrect Password.\n\nOr, this file's data might have "
    L"changed from outside the program. This could be due to changing data in program folder "
    L"from outside of the Cryptelle software. If so, this user might not be able to login or "
    L"change its password.\n\nYour data in your Cryptelle can still be directly read from your "
    L"hard disk for which you might need professional assistance.";

// The second generation encrypts the whole drive: nothing of it can be read
// without the key file and the password.
inline constexpr WCHAR kPasswordMismatchWholeDiskText[] =
    L"The File to verify user's Password exists.\n\nHowever, it does not match the user's "
    L"Password.\n\nEither, you entered an incorrect Password.\n\nOr, this file's data might have "
    L"changed from outside the program. This could be due to changing data in program folder "
    L"from outside of the Cryptelle software. If so, this user might not be able to login or "
    L"change its password.\n\nThe whole of your Cryptelle drive is encrypted: its data can only "
    L"be read with this user's key file as it was written and the user's Password.";

inline constexpr WCHAR kRecoveryPasswordUnencodableText[] =
    L"Your Password has a character that can't be used to create the Password Recovery "
    L"file.\n\nYou need to restart the Cryptelle program and then create a new user with a "
    L"different password or don't select the Password Recovery File option.\n\nIf you want to "
    L"create a Password Recovery file then you need to create your password generally by using "
    L"these characters:\n[ A-Z,0-9,!@#$%^&*()_+[]\\;',./{}|:\"<>? ]\n\nThe Cryptelle program "
    L"will close now.\nThank You for using the Cryptelle program.";

inline constexpr WCHAR kRecoveryPasswordUnencodableChangeText[] =
    L"Your Password has been changed.\nYour Password has a character that can't be used to "
    L"create the Password Recovery file.\n\nIf you want to create a Password Recovery file then "
    L"you need to change your password generally by using these characters:\n[ "
    L"A-Z,0-9,!@#$%^&*()_+[]\\;',./{}|:\"<>? ]";

inline constexpr WCHAR kRecoveryFileSizeText[] =
    L"The Password Recovery File for this Username is of a different size than "
    L"required.\n\nThe Password for this Username cannot be recovered.";
