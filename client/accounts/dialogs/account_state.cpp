#include "account_state.h"

#include "secure_wipe.h"

AccountState& Accounts() {
  static AccountState state;
  return state;
}

void WipeText(wchar_t (&text)[kPathBufferUnits]) {
  SecureWipe(text, sizeof(text));
}
