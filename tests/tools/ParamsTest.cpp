// norvkeys params reads the built instrument through its interface; what it
// reports must be the parameter table, and the texts at both ends.
#include <gtest/gtest.h>

#include "engine/Parameters.h"
#include "host/HostServices.h"
#include "support/TempDir.h"
#include "tools/MiniJson.h"
#include "tools/ToolRunner.h"

namespace norv::test {
namespace {

TEST(ParamsCommand, ReportsTheParameterTable) {
    TempDir scratch;
    const ToolResult r = RunTool({"params", "--json"}, scratch);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const JsonValue rows = ParseJson(r.Out);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kParamCount));
    // Initial: where a new instance starts, with the default set's preset
    // applied over the knobs' own initial values.
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    TQuirraPlug* plug = host.CreateInstance();
    ASSERT_NE(plug, nullptr);
    for (size_t i = 0; i < kParams.size(); ++i) {
        const TParamInfo& p = kParams[i];
        const JsonValue& row = rows[i];
        SCOPED_TRACE(p.ShortName);
        EXPECT_EQ(row["index"].Int(), static_cast<long long>(i));
        EXPECT_EQ(row["host_name"].Text(), p.Name);
        EXPECT_EQ(row["name"].Text(), std::string(p.Name).substr(4));  // without the host's "^b^a"
        EXPECT_EQ(row["short_name"].Text(), p.ShortName);
        EXPECT_EQ(row["min"].Int(), p.Min);
        EXPECT_EQ(row["max"].Int(), p.Max);
        EXPECT_EQ(row["initial"].Int(), plug->HandleParameter(static_cast<int32_t>(i), 0, ParamFlag::Get));
        EXPECT_EQ(row["text_max"].Text(), p.Text(p, p.Max));
    }
    EXPECT_EQ(rows[0]["text_min"].Text(), "无衰减(持续)");
    EXPECT_EQ(rows[13]["text_max"].Text(), " 100.48 Hz");
    host.DestroyInstance(plug);
}

}  // namespace
}  // namespace norv::test
