// Changing and recovering a password through the screens.
#include "flows_fixture.h"
