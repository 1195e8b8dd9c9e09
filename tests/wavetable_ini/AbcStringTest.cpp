#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "wavetable/AbcString.h"

namespace norv {
namespace {

std::vector<std::string> Items(const TAbcStringlist& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list[i]);
    return items;
}

TEST(AbcStringlist, KeepsUpperCaseKeysInAscendingOrder) {
    TAbcStringlist list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Add("c3.wav"), 0);
    EXPECT_EQ(list.Add("e3.wav"), 1);  // appended at the end
    EXPECT_EQ(list.Add("g3.wav"), 2);
    EXPECT_EQ(list.Add("d3.wav"), 1);  // inserted in the middle
    EXPECT_EQ(list.Add("a3.wav"), 0);  // before the first
    EXPECT_EQ(list.Add("f3.WAV"), 4);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"A3.WAV", "C3.WAV", "D3.WAV", "E3.WAV", "F3.WAV", "G3.WAV"}));

    EXPECT_EQ(list.Find("F3.wav"), 4);
    EXPECT_EQ(list.Find("a3.WAV"), 0);
    EXPECT_EQ(list.Find("g3.wav"), 5);
    EXPECT_EQ(list.Find("b3.wav"), -1);
    EXPECT_EQ(list.Find("h3.wav"), -1);
    EXPECT_EQ(list.Find(""), -1);

    // An empty key adds nothing.
    EXPECT_EQ(list.Add(""), -1);
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(TAbcStringlist().Find("x"), -1);
}

TEST(AbcStringlist, DuplicatesSetting) {
    TAbcStringlist ignore;
    EXPECT_EQ(ignore.Duplicates, TDuplicates::Ignore);
    ignore.Add("piano.wav");
    EXPECT_EQ(ignore.Add("Piano.WAV"), -1);
    EXPECT_EQ(ignore.Count(), 1);

    TAbcStringlist accept;
    accept.Duplicates = TDuplicates::Accept;
    for (const char* key : {"a", "c", "e", "g"}) accept.Add(key);
    // The equal key is inserted where the halving met it.
    EXPECT_EQ(accept.Add("E"), 2);
    EXPECT_EQ(accept.Add("g"), 4);
    EXPECT_EQ(Items(accept), (std::vector<std::string>{"A", "C", "E", "E", "G", "G"}));
    // In a run of equal keys the halving meets the upper middle.
    TAbcStringlist run;
    run.Duplicates = TDuplicates::Accept;
    std::vector<int> places;
    for (int i = 0; i < 5; ++i) places.push_back(run.Add("b"));
    EXPECT_EQ(places, (std::vector<int>{0, 0, 1, 1, 2}));

    TAbcStringlist error;
    error.Duplicates = TDuplicates::Error;
    error.Add("x");
    try {
        error.Add("X");
        ADD_FAILURE() << "no exception";
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "An attempt was made to add a duplicate item to the list");
    }
    EXPECT_EQ(error.Count(), 1);
    EXPECT_EQ(error.Add("y"), 1);
}

TEST(AbcStringlist, OrdinalOrderLeavesOtherBytesAlone) {
    TAbcStringlist list;
    // Bytes above 127 (code page 936, UTF-8) sort after ASCII and keep their values.
    const std::string gbk = "\xC4\xCF.wav";
    const std::string utf8 = "\xC3\xA4.wav";
    EXPECT_EQ(list.Add(gbk), 0);
    EXPECT_EQ(list.Add("z.wav"), 0);
    EXPECT_EQ(list.Add(utf8), 1);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"Z.WAV", "\xC3\xA4.WAV", "\xC4\xCF.WAV"}));
    EXPECT_EQ(list.Find("\xC4\xCF.WAV"), 2);
    EXPECT_EQ(list.Find("\xC3\x84.wav"), -1);  // no case folding beyond ASCII
    // '_' lies between the upper- and lower-case letters: ordering follows the converted form.
    EXPECT_EQ(list.Add("_"), 1);
}

TEST(AbcStringlist, AgreesWithAnOrderedSet) {
    std::mt19937 random(1234);
    TAbcStringlist list;
    std::set<std::string> reference;
    for (int i = 0; i < 2000; ++i) {
        std::string key(1 + random() % 3, ' ');
        for (char& c : key) c = "aBcD\xE9"[random() % 5];
        std::string upper = key;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c -= 32;
        const bool isNew = reference.insert(upper).second;
        const int index = list.Add(key);
        if (isNew)
            EXPECT_EQ(index, std::distance(reference.begin(), reference.find(upper)));
        else
            EXPECT_EQ(index, -1);
    }
    EXPECT_EQ(Items(list), std::vector<std::string>(reference.begin(), reference.end()));
    for (const std::string& key : reference) EXPECT_EQ(list[list.Find(key)], key);
}

}  // namespace
}  // namespace norv
