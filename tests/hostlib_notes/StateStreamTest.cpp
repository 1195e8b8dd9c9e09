#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/StateStream.h"

namespace norv::host {
namespace {

TEST(StateStream, ReadsReportWhatMoved) {
    ByteStateStream s({1, 2, 3, 4, 5});
    uint8_t buf[8] = {};
    uint32_t got = 99;
    EXPECT_EQ(s.Read(buf, 3, &got), 0);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf[2], 3);
    // Running into the end: what is there, and the count says so.
    EXPECT_EQ(s.Read(buf, 4, &got), 1);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[1], 5);
    EXPECT_EQ(s.Read(buf, 4, &got), 1);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s.ReadPosition(), 5u);
    // No count pointer is fine; a null buffer moves nothing.
    ByteStateStream t({7, 8});
    EXPECT_EQ(t.Read(buf, 1, nullptr), 0);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(t.Read(nullptr, 1, &got), -1);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(t.Read(nullptr, 0, &got), 0);
    EXPECT_EQ(t.ReadPosition(), 1u);
}

TEST(StateStream, WritesAppend) {
    ByteStateStream s;
    uint32_t put = 0;
    const uint8_t a[] = {1, 2, 3};
    EXPECT_EQ(s.Write(a, 3, &put), 0);
    EXPECT_EQ(put, 3u);
    EXPECT_EQ(s.Write(a, 1, nullptr), 0);
    EXPECT_EQ(s.Write(nullptr, 2, &put), -1);
    EXPECT_EQ(put, 0u);
    EXPECT_EQ(s.Bytes(), (std::vector<uint8_t>{1, 2, 3, 1}));
}

TEST(StateStream, LayoutRoundTrip) {
    SavedState st;
    st.Name = "Grand";
    for (int i = 0; i < 15; ++i) st.Values.push_back(i == 8 ? 5000 : -i);
    const std::vector<uint8_t> bytes = StateBytes(st);
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10),
              (std::vector<uint8_t>{1, 0, 0, 0, 5, 'G', 'r', 'a', 'n', 'd'}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 14, bytes.begin() + 18), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    auto back = ParseState(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Version, 1);
    EXPECT_EQ(back->Name, "Grand");
    EXPECT_EQ(back->Values, st.Values);

    // Names are cut at 254 bytes.
    st.Name = std::string(300, 'x');
    st.Version = -3;
    back = ParseState(StateBytes(st));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Name, std::string(254, 'x'));
    EXPECT_EQ(back->Version, -3);
    EXPECT_EQ(StateBytes(st).size(), 65u + 254u);
}

TEST(StateStream, MalformedStatesAreRefused) {
    EXPECT_FALSE(ParseState(std::vector<uint8_t>{}));
    EXPECT_FALSE(ParseState(std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(ParseState(std::vector<uint8_t>{1, 0, 0, 0, 3, 'a', 'b'}));         // name cut short
    EXPECT_FALSE(ParseState(std::vector<uint8_t>{1, 0, 0, 0, 1, 'a', 1, 2, 3}));     // part of a value
    auto empty = ParseState(std::vector<uint8_t>{2, 0, 0, 0, 0});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Version, 2);
    EXPECT_TRUE(empty->Name.empty());
    EXPECT_TRUE(empty->Values.empty());
}

}  // namespace
}  // namespace norv::host
