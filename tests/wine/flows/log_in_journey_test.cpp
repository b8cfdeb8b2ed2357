// Logging in through the screens with the real key file and registry.
#include "flows_fixture.h"
