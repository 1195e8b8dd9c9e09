#include "support/PluginFixture.h"

#include "base/Cp936.h"

namespace norv::test {

std::string PluginFixture::Hint(TQuirraPlug* plug) { return Cp936ToUtf8(host->LastHint[plug->HostTag]); }

}  // namespace norv::test
