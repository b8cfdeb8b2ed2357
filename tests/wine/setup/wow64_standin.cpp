// The WOW64 query of the setup test build that plays the 32-bit package's
// setup on 64-bit Windows.
#include "wow64.h"

namespace setup {

bool RunsUnderWow64() {
  return true;
}

}  // namespace setup
