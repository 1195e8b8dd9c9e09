// The built LV2 bundle laid out again for a test, with a second sound set
// (a renamed copy of the default grand) so that a set can be switched.
#pragma once

#include <filesystem>
#include <string>

namespace norv::test {

// Makes `root` (a folder named like a bundle, e.g. .../norv-keys.lv2) and
// returns it with a trailing '/'.
std::string MakeTwoSetBundle(const std::filesystem::path& root);

}  // namespace norv::test
