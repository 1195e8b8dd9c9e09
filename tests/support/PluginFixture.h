// An instance of the instrument linked into the test program, driven through
// the host side, with its library folder in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "host/HostServices.h"
#include "plugin/QP_Extra.h"
#include "plugin/TestPlug.h"
#include "support/TempDir.h"

namespace norv::test {

class PluginFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetModulePathForTesting(dir.path().string());
        host = std::make_unique<host::Host>(&CreateInstanceChecked);
        host->Status.Quiet = true;
    }
    void TearDown() override { host.reset(); }

    TTestPlug* NewInstance() { return static_cast<TTestPlug*>(host->CreateInstance()); }

    // The hint text the host got from `plug`, as UTF-8.
    std::string Hint(TQuirraPlug* plug);

    TempDir dir;
    std::unique_ptr<host::Host> host;
};

}  // namespace norv::test
