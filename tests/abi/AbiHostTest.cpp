// A host written apart from the instrument: it includes only the ABI header,
// loads the built bundle with dlopen and drives instances through the slots.
#include <dlfcn.h>
#include <iconv.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/QP_Def.h"

namespace {

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

class TestHost : public THostServices {
public:
    TestHost() { HostVersion = 4002000; }
    intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t, intptr_t value) override {
        dispatches.push_back({tag, opcode});
        if (opcode == 22 && value) status.emplace_back(reinterpret_cast<const char*>(value));
        if (opcode == 29) return reinterpret_cast<intptr_t>("/tmp/abi-host/");
        return 0;
    }
    void NotifyParamChanged(intptr_t, intptr_t, intptr_t) override {}
    void DisplayHint(intptr_t tag, const char* text) override { hints[tag] = text; }
    void NotifyVoiceEnded(intptr_t voiceTag, intptr_t code) override { ended.push_back({voiceTag, code}); }
    void LockProcessing() override { ++locks; }
    void UnlockProcessing() override { ++unlocks; }
    void ComputeVoiceGains(float* l, float* r, float, float v) override { *l = *r = v; }
    void LockMixOutput() override {}
    void UnlockMixOutput() override {}

    std::vector<std::pair<intptr_t, intptr_t>> dispatches;
    std::vector<std::string> status;
    std::map<intptr_t, std::string> hints;
    std::vector<std::pair<intptr_t, intptr_t>> ended;
    int locks = 0, unlocks = 0;
};

class Abi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Drawing hosts have cairo loaded already. Without that, unloading the
        // plug-in unloads pixman too, whose load-time tables then read as leaks.
        graphics = dlopen("libcairo.so.2", RTLD_NOW | RTLD_GLOBAL);
        lib = dlopen(NORV_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        create = reinterpret_cast<CreatePlugInstanceFn>(dlsym(lib, "CreatePlugInstance"));
        ASSERT_NE(create, nullptr);
    }
    static void TearDownTestSuite() {
        if (lib) dlclose(lib);
        lib = nullptr;
    }
    std::string Text(TQuirraPlug* p, intptr_t index, intptr_t value) {
        p->HandleParameter(index, value, 0x14);
        return host.hints[p->HostTag];
    }

    static inline void* lib = nullptr;
    static inline void* graphics = nullptr;
    static inline CreatePlugInstanceFn create = nullptr;
    TestHost host;
};

TEST_F(Abi, ExportsOneSymbolAndGatesTheVersion) {
    host.HostVersion = 4001001;
    testing::internal::CaptureStderr();
    EXPECT_EQ(create(&host, 5), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Norv Keys"), std::string::npos);

    ASSERT_EQ(host.status.size(), 1u);  // the refusal also reaches the status line
    host.dispatches.clear();
    host.HostVersion = 4001002;
    TQuirraPlug* p = create(&host, 5);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->HostTag, 5);
    ASSERT_NE(p->Info, nullptr);
    EXPECT_EQ(p->Info->InfoVersion, 1);
    EXPECT_STREQ(p->Info->PlugName, "Norv Keys");
    EXPECT_STREQ(p->Info->PlugShortName, "Keys");
    EXPECT_EQ(p->Info->InfoFlags, 0x00600011);
    EXPECT_EQ(p->Info->ParamCount, 15);
    EXPECT_EQ(p->Info->DefaultPolyphony, 32);
    ASSERT_FALSE(host.dispatches.empty());
    EXPECT_EQ(host.dispatches.front().second, 46);
    EXPECT_EQ(host.dispatches.back().second, 33);
    p->DestroyInstance();
}

TEST_F(Abi, ParametersAndTexts) {
    TQuirraPlug* p = create(&host, 9);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->HandleParameter(15, 1234, 0x3F), 1234);
    EXPECT_EQ(p->HandleParameter(-3, 1234, 0x3F), 1234);
    EXPECT_EQ(p->HandleParameter(8, 32768, 0x20), 0);
    EXPECT_EQ(p->HandleParameter(8, 32768, 0x21), 0);
    EXPECT_EQ(p->HandleParameter(8, 0, 0x02), 0);
    EXPECT_EQ(p->HandleParameter(13, 65536, 0x21), 65536);
    EXPECT_EQ(p->HandleParameter(0, 5000, 0x01), 5000);
    EXPECT_EQ(p->HandleParameter(0, 0, 0x22), 5000);

    EXPECT_EQ(Text(p, 0, -1000), ToGbk("无衰减(持续)"));
    EXPECT_EQ(Text(p, 0, -999), "-100%");
    EXPECT_EQ(Text(p, 4, 784), "22%");
    EXPECT_EQ(Text(p, 6, -248), "-25%");
    EXPECT_EQ(Text(p, 8, -1000), ToGbk("   -100 音分"));
    EXPECT_EQ(Text(p, 9, 123), "    3.0");
    EXPECT_EQ(Text(p, 12, -1000), ToGbk("100% (声像)"));
    EXPECT_EQ(Text(p, 12, 0), ToGbk("关"));
    EXPECT_EQ(Text(p, 13, 65536), " 100.48 Hz");

    char buf[16];
    p->DescribeItem(0, 3, 0, buf);
    EXPECT_EQ(std::string(buf), ToGbk("^b^a力度到硬度"));
    p->DescribeItem(4, 99, 0, buf);
    EXPECT_EQ(std::string(buf), ToGbk("(未使用)"));
    std::memset(buf, 7, sizeof buf);
    p->DescribeItem(1, 0, 0, buf);
    p->DescribeItem(0, 15, 0, buf);
    for (char c : buf) EXPECT_EQ(c, 7);
    p->DestroyInstance();
}

TEST_F(Abi, CommandsEventsAndTwoInstances) {
    TQuirraPlug* a = create(&host, 1);
    TQuirraPlug* b = create(&host, 2);
    ASSERT_TRUE(a && b);
    for (intptr_t op : {1, 7, 99}) EXPECT_EQ(a->HostCommand(op, 0, 0), 0);
    EXPECT_EQ(a->HostCommand(23, 0, 1), 0);  // no menu open
    EXPECT_EQ(a->HostCommand(4, 0, 48000), 0);
    EXPECT_EQ(a->HostCommand(2, 0, 0), 0);
    EXPECT_EQ(host.locks, 1);
    EXPECT_EQ(host.unlocks, 1);
    EXPECT_EQ(a->HandleEvent(1, 8, 0), 0);
    EXPECT_EQ(a->HandleEvent(2, 8, 0), 0);
    EXPECT_EQ(a->VoiceEvent(-1, 1, 2, 3), 0);

    EXPECT_EQ(a->HostCommand(0, 0, 0x4242), 0);
    EXPECT_NE(a->EditorHandle, 0);
    intptr_t panel = a->EditorHandle;
    EXPECT_EQ(a->HostCommand(0, 0, 0), 0);
    EXPECT_EQ(a->EditorHandle, panel);

    // Each instance's texts reach the host under its own tag.
    a->HandleParameter(7, 2000, 0x15);
    b->HandleParameter(7, 0, 0x15);
    EXPECT_EQ(host.hints[1], "200%");
    EXPECT_EQ(host.hints[2], "0%");
    a->IdleUpdate();
    b->IdleUpdate();

    // Destroying the later one first leaves the earlier one working.
    b->DestroyInstance();
    EXPECT_EQ(a->HandleParameter(7, 1000, 0x05), 1000);
    EXPECT_EQ(host.hints[1], "200%");  // the text follows the knob, which did not move
    EXPECT_EQ(a->HandleParameter(7, 1000, 0x15), 1000);
    EXPECT_EQ(host.hints[1], "100%");
    a->DestroyInstance();
}

TEST_F(Abi, TheNinthNoteUnderPolyphonyEightStealsTheQuietest) {
    TQuirraPlug* p = create(&host, 3);
    ASSERT_NE(p, nullptr);
    p->HostCommand(4, 0, 44100);
    EXPECT_EQ(p->HandleEvent(1, 8, 0), 0);
    THostVoiceRecord records[9] = {};
    intptr_t handles[9];
    std::vector<float> out(2 * 64);
    for (int i = 0; i < 9; ++i) {
        records[i].InitVolume = 1.0f;
        records[i].InitPitch = 6000;
        records[i].CurVolume = 1.0f;
        // Same key, one block apart: the earliest has decayed the most.
        handles[i] = p->StartVoice(&records[i], 100 + i);
        ASSERT_NE(handles[i], -1) << i;
        int32_t frames = 64;
        p->RenderMix(out.data(), &frames);
        if (i < 8) {
            EXPECT_TRUE(host.ended.empty()) << i;
        }
    }
    // The ninth start marked the first voice ended; the block after it reports it.
    ASSERT_EQ(host.ended.size(), 1u);
    EXPECT_EQ(host.ended[0].first, 100);
    EXPECT_EQ(host.ended[0].second, -1);
    for (intptr_t h : handles) p->KillVoice(h);
    p->DestroyInstance();
}

}  // namespace
