// The tests' bundle: the built plug-in with Norv Grand alone in its library.
// Programs the tests start find it through NORVKEYS_PLUGIN, so that nothing
// hangs on which pianos this machine has imported into the real bundle.
#pragma once

#include <cstdlib>

namespace norv::test {

inline void UseTestBundle() { setenv("NORVKEYS_PLUGIN", NORV_TEST_PLUGIN, 0); }

}  // namespace norv::test
