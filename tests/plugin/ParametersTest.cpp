// Parameters through the instance: set, get, host scale, knobs, texts, names.
#include <gtest/gtest.h>

#include <cstring>

#include "editor/SynthForm.h"
#include "support/PluginFixture.h"
#include "base/Cp936.h"

namespace norv::test {
namespace {

using Params = PluginFixture;

TEST_F(Params, SetGetAndHostScale) {
    TTestPlug* p = NewInstance();
    ASSERT_NE(p, nullptr);
    auto values = p->ParamValues;

    // Unknown indices change nothing, negative ones included.
    EXPECT_EQ(p->HandleParameter(15, 1234, 0x3F), 1234);
    EXPECT_EQ(p->HandleParameter(-1, 77, 0x3F), 77);
    EXPECT_EQ(p->ParamValues, values);

    // Host scale converts without storing; 0x21 also stores.
    EXPECT_EQ(p->HandleParameter(8, 32768, 0x20), 0);
    EXPECT_EQ(p->ParamValues[8], values[8]);
    p->ParamValues[8] = 555;
    EXPECT_EQ(p->HandleParameter(8, 32768, 0x21), 0);
    EXPECT_EQ(p->ParamValues[8], 0);
    EXPECT_EQ(p->Engine.Level(8), 0.5f);
    EXPECT_EQ(p->HandleParameter(8, 0, 0x20), -1000);
    EXPECT_EQ(p->HandleParameter(8, 65536, 0x20), 1000);

    // The LFO rate's range is the host's scale.
    EXPECT_EQ(p->HandleParameter(13, 65536, 0x21), 65536);
    EXPECT_EQ(p->ParamValues[13], 65536);
    EXPECT_EQ(p->Engine.Level(13), 1.0f);

    // Stored unclamped; only the knob stops at its end.
    EXPECT_EQ(p->HandleParameter(0, 5000, 0x01), 5000);
    EXPECT_EQ(p->ParamValues[0], 5000);
    EXPECT_EQ(p->Engine.Level(0), 3.0f);
    EXPECT_EQ(p->Form()->Wheels[0]->Value(), 0);
    p->HandleParameter(0, 5000, 0x11);
    EXPECT_EQ(p->Form()->Wheels[0]->Value(), 1000);

    // Get returns the stored value, also with the host-scale bit.
    EXPECT_EQ(p->HandleParameter(0, 0, 0x02), 5000);
    EXPECT_EQ(p->HandleParameter(0, 123, 0x22), 5000);
    // Neither: the given value comes back.
    EXPECT_EQ(p->HandleParameter(0, 321, 0), 321);
    EXPECT_TRUE(host->ParamChanges.empty());
}

TEST_F(Params, ValueTexts) {
    TTestPlug* p = NewInstance();
    auto text = [&](int index, int value) {
        p->HandleParameter(index, value, 0x14);
        return Hint(p);
    };
    EXPECT_EQ(text(0, -1000), "无衰减(持续)");
    EXPECT_EQ(text(0, -999), "-100%");
    EXPECT_EQ(text(0, 500), "50%");
    EXPECT_EQ(text(4, 784), "22%");
    EXPECT_EQ(text(5, 2000), "200%");
    EXPECT_EQ(text(6, -248), "-25%");
    EXPECT_EQ(text(8, -1000), "   -100 音分");
    EXPECT_EQ(text(10, 250), "   25.0 音分");
    EXPECT_EQ(text(9, 123), "    3.0");
    EXPECT_EQ(text(9, 500), "   50.0");
    EXPECT_EQ(text(12, -1000), "100% (声像)");
    EXPECT_EQ(text(12, 0), "关");
    EXPECT_EQ(text(12, 250), "25% (颤音)");
    EXPECT_EQ(text(13, 0), "   0.01 Hz");
    EXPECT_EQ(text(13, 65536), " 100.48 Hz");
    EXPECT_EQ(text(14, 1000), "  100.0%");
    EXPECT_EQ(text(7, 1000), "100%");

    // The text follows the knob, not the stored value.
    p->HandleParameter(8, 5000, 0x01);
    p->HandleParameter(8, 0, 0x04);
    EXPECT_EQ(Hint(p), "   -100 音分");
    p->HandleParameter(8, 5000, 0x15);
    EXPECT_EQ(Hint(p), "    100 音分");
    EXPECT_EQ(p->ParamValues[8], 5000);
}

TEST_F(Params, NamesForTheHost) {
    TTestPlug* p = NewInstance();
    const char* names[] = {"^b^a衰减", "^b^a释放", "^b^a硬度", "^b^a力度到硬度", "^b^a消声",
                           "^b^a力度到消声", "^b^a力度灵敏度", "^b^a立体声", "^b^a调谐", "^b^a失谐",
                           "^b^a拉伸", "^b^a高音", "^b^a声像/颤音", "^b^aLFO 速率", "^b^a过激励"};
    for (int i = 0; i < 15; ++i) {
        char buf[32];
        std::memset(buf, 'x', sizeof buf);
        p->DescribeItem(0, i, 0, buf);
        std::string expected = Utf8ToCp936(names[i]);
        ASSERT_LE(expected.size() + 1, 15u) << i;
        EXPECT_EQ(std::memcmp(buf, expected.c_str(), expected.size() + 1), 0) << i;
        EXPECT_EQ(buf[expected.size() + 1], 'x') << i;  // nothing past the terminator
    }
    char buf[32];
    p->DescribeItem(4, 99, 0, buf);
    EXPECT_EQ(Cp936ToUtf8(buf), "(未使用)");
    for (auto [kind, index] : {std::pair{1, 0}, {0, 15}, {0, -1}, {7, 3}}) {
        std::memset(buf, 'q', sizeof buf);
        p->DescribeItem(kind, index, 0, buf);
        EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'q')) << kind << " " << index;
    }
}

TEST_F(Params, DefaultsAndRefresh) {
    TTestPlug* p = NewInstance();
    const int32_t initial[] = {0, 0, 0, -1000, 784, 502, -248, 1000, 0, 123, 0, 0, 0, 0, 0};
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(p->ParamDefaults[static_cast<size_t>(i)], initial[i]) << i;
        EXPECT_EQ(p->Form()->Wheels[static_cast<size_t>(i)]->DefaultValue(),
                  (i == 3 || i == 6) ? 0 : initial[i]) << i;
    }
    // Values outside a knob's range stay as they are; knobs clamp; levels follow.
    p->ParamValues[8] = 5000;
    p->ParamValues[4] = -7;
    p->RefreshAllParameters();
    EXPECT_EQ(p->ParamValues[8], 5000);
    EXPECT_EQ(p->Form()->Wheels[8]->Value(), 1000);
    EXPECT_FLOAT_EQ(p->Engine.Level(8), 3.0f);
    EXPECT_EQ(p->Form()->Wheels[4]->Value(), 0);
    EXPECT_FLOAT_EQ(p->Engine.Level(4), -0.007f);
    EXPECT_TRUE(host->LastHint.empty());  // no texts while refreshing
}

}  // namespace
}  // namespace norv::test
