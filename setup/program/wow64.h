// Whether setup runs as a 32-bit program on 64-bit Windows (WOW64), where
// the 32-bit package's driver cannot work. In a source of its own so that a
// test build can stand in for it.
#pragma once

namespace setup {

bool RunsUnderWow64();

}  // namespace setup
