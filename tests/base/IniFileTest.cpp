#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/TempDir.h"
#include "base/IniFile.h"

namespace norv {
namespace {

// The example definition, also a seed of the fuzz corpus.
const std::filesystem::path kExample = std::filesystem::path(NORV_SOURCE_DIR) / "tests/fuzz/corpus/wti/example.wti";

TEST(IniFile, ReadsTheExampleDefinition) {
    const TIniFile ini(kExample);
    EXPECT_EQ(ini.ReadString("info", "name", ""), "Grand Piano Example");
    EXPECT_EQ(ini.ReadString("info", "shortname", ""), "Grand");
    EXPECT_EQ(ini.ReadString("info", "author", ""), "Sample Team");
    EXPECT_EQ(ini.ReadString("info", "path", ""), "grand");
    EXPECT_EQ(ini.ReadInteger("info", "samples", 0), 4);
    EXPECT_EQ(ini.ReadString("info", "samplefile", ""), "");
    EXPECT_EQ(ini.ReadString("info", "filetype", "riff"), "riff");
    EXPECT_EQ(ini.ReadString("info", "resample", "true"), "true");
    EXPECT_EQ(ini.ReadFloat("info", "samplerate", 0.0), 44100.0);
    EXPECT_EQ(ini.ReadFloat("info", "velocityfactor", 0.0), 1.0);
    EXPECT_FALSE(ini.ReadBool("info", "releasehighnotes", true));
    EXPECT_EQ(ini.ReadInteger("info", "isstandard", 7), 0);
    EXPECT_EQ(ini.ReadInteger("velocitylayers", "count", 1), 2);
    EXPECT_EQ(ini.ReadInteger("velocitylayers", "0", 128), 0);
    EXPECT_EQ(ini.ReadInteger("velocitylayers", "1", 128), 90);
    EXPECT_EQ(ini.ReadFloat("parameters", "0", -1.0), 0.5);
    EXPECT_EQ(ini.ReadFloat("parameters", "1", -1.0), -1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "2", -1.0), 0.25);
    EXPECT_EQ(ini.ReadFloat("parameters", "14", -1.0), -1.0);
    EXPECT_EQ(ini.ReadString("sample2", "name", ""), "c5_soft.wav");
    EXPECT_EQ(ini.ReadInteger("sample2", "high", 0), 999);
    EXPECT_EQ(ini.ReadInteger("sample3", "high", 0), -1);
    EXPECT_EQ(ini.ReadInteger("sample3", "root", -1), 72);
    EXPECT_EQ(ini.ReadInteger("sample3", "pos", 0), 0);
    EXPECT_EQ(ini.ReadInteger("sample4", "root", -1), -1);
    EXPECT_EQ(ini.ReadString("default", "file", "self.wti"), "self.wti");
    EXPECT_TRUE(ini.SectionExists("SAMPLE3"));
    EXPECT_FALSE(ini.SectionExists("sample4"));
}

TEST(IniFile, NamesIgnoreCaseAndValuesAreTrimmedAndUnquoted) {
    const TIniFile ini = TIniFile::FromText(
        "[Info]\n"
        "  NaMe \t=  \t Grand  Piano \t \n"
        "author=\"  Team  \"\n"
        "path='sub\\dir'\n"
        "mixed=\"abc'\n"
        "lone=\"\n"
        "inner=a\"b\"\n"
        "equation=a=b=c\n"
        "empty=\n"
        "blank=   \n"
        "quotedempty=\"\"\n"
        "[ SAMPLE0 ]\n"
        "Name=x.wav\n");
    EXPECT_EQ(ini.ReadString("INFO", "name", "d"), "Grand  Piano");
    EXPECT_EQ(ini.ReadString("info", "AUTHOR", "d"), "  Team  ");
    EXPECT_EQ(ini.ReadString("info", "path", "d"), "sub\\dir");
    EXPECT_EQ(ini.ReadString("info", "mixed", "d"), "\"abc'");
    EXPECT_EQ(ini.ReadString("info", "lone", "d"), "\"");
    EXPECT_EQ(ini.ReadString("info", "inner", "d"), "a\"b\"");
    EXPECT_EQ(ini.ReadString("info", "equation", "d"), "a=b=c");
    // Empty values, also after unquoting, give the default like absent ones.
    EXPECT_EQ(ini.ReadString("info", "empty", "d"), "d");
    EXPECT_EQ(ini.ReadString("info", "blank", "d"), "d");
    EXPECT_EQ(ini.ReadString("info", "quotedempty", "d"), "d");
    EXPECT_EQ(ini.ReadInteger("info", "empty", 42), 42);
    EXPECT_EQ(ini.ReadFloat("info", "empty", 2.5), 2.5);
    EXPECT_EQ(ini.ReadString("info", "absent", "d"), "d");
    EXPECT_EQ(ini.ReadString("absent", "name", "d"), "d");
    EXPECT_EQ(ini.ReadString("sample0", "NAME", "d"), "x.wav");
    // A value ends at a NUL byte, as in a zero-terminated buffer.
    const TIniFile nul = TIniFile::FromText(std::string_view("[a]\nk= ab\0cd\nn=1\n", 17));
    EXPECT_EQ(nul.ReadString("a", "k", ""), "ab");
    EXPECT_EQ(nul.ReadInteger("a", "n", 0), 1);
    // Quotes come off before numbers are read.
    EXPECT_EQ(TIniFile::FromText("[a]\nk='12'\n").ReadInteger("a", "k", 0), 12);
}

TEST(IniFile, SeesAtMost2047CharactersOfAValue) {
    const std::string longValue(3000, 'v');
    const std::string exact(2047, 'e');
    const std::string quoted(2048, 'q');
    const TIniFile ini = TIniFile::FromText("[a]\nlong=" + longValue + "\nexact=" + exact + "\nquoted=\"" + quoted +
                                            "\"\nafter=ok\n");
    EXPECT_EQ(ini.ReadString("a", "long", ""), std::string(2047, 'v'));
    EXPECT_EQ(ini.ReadString("a", "exact", ""), exact);
    EXPECT_EQ(ini.ReadString("a", "quoted", ""), std::string(2047, 'q'));
    EXPECT_EQ(ini.ReadString("a", "after", ""), "ok");
    // A number beyond the cut is read from what is seen.
    EXPECT_EQ(TIniFile::FromText("[a]\nn=" + std::string(2046, '0') + "12\n").ReadInteger("a", "n", -5), 1);
}

TEST(IniFile, LineEndsMarksCommentsAndStrayLines) {
    const TIniFile ini = TIniFile::FromText(
        "\xEF\xBB\xBF[info]\r\n"
        "name=crlf\r\n"
        "; samples=9\r\n"
        "  ;author=commented\n"
        "just some words\n"
        "samples=3\r"
        "path=cr\r"
        "=orphan value\n"
        "[broken\n"
        "author=lost\n"
        "[velocitylayers] trailing text\n"
        "count=4");
    EXPECT_EQ(ini.ReadString("info", "name", ""), "crlf");
    EXPECT_EQ(ini.ReadInteger("info", "samples", 0), 3);
    EXPECT_EQ(ini.ReadString("info", "path", ""), "cr");
    EXPECT_EQ(ini.ReadString("info", "author", "none"), "none");
    EXPECT_EQ(ini.ReadString("info", "; samples", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("velocitylayers", "count", 1), 4);
    // Keys before the first section header belong to no section.
    EXPECT_EQ(TIniFile::FromText("name=x\n[info]\n").ReadString("info", "name", "d"), "d");
    // Without a byte order mark the first line is still the header.
    EXPECT_EQ(TIniFile::FromText("[info]\nname=x").ReadString("info", "name", ""), "x");
}

TEST(IniFile, FirstOccurrenceWinsAndRepeatedSectionsMerge) {
    const TIniFile ini = TIniFile::FromText(
        "[info]\nname=first\nNAME=second\nempty=\nempty=late\n"
        "[other]\nname=other\n"
        "[INFO]\nname=third\nauthor=from repeat\n");
    EXPECT_EQ(ini.ReadString("info", "name", ""), "first");
    EXPECT_EQ(ini.ReadString("info", "author", ""), "from repeat");
    EXPECT_EQ(ini.ReadString("info", "empty", "d"), "d");
    EXPECT_EQ(ini.ReadString("other", "name", ""), "other");
}

TEST(IniFile, IntegersAndBooleans) {
    const TIniFile ini = TIniFile::FromText(
        "[info]\n"
        "releasehighnotes=true\n"
        "isstandard=0x1\n"
        "[b]\n"
        "two=2\nzero=0\nminus=-1\n"
        "[velocitylayers]\n"
        "count=257\n");
    EXPECT_FALSE(ini.ReadBool("info", "releasehighnotes", false));
    EXPECT_TRUE(ini.ReadBool("info", "releasehighnotes", true));  // not a number: the default stands
    EXPECT_TRUE(ini.ReadBool("b", "two", false));
    EXPECT_FALSE(ini.ReadBool("b", "zero", true));
    EXPECT_TRUE(ini.ReadBool("b", "minus", false));
    EXPECT_FALSE(ini.ReadBool("b", "absent", false));
    EXPECT_EQ(ini.ReadInteger("info", "isstandard", 0), 1);
    EXPECT_EQ(ini.ReadInteger("velocitylayers", "count", 1), 257);

    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"2", 2},
        {"+7", 7},
        {"-5", -5},
        {"007", 7},
        {"-0", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"$1F", 31},
        {"$1f", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0x1", 1},
        {"$7FFFFFFF", INT32_MAX},
        {"$80000000", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"0xffffffff", -1},
        {"$000000001", 1},
        {"$100000000", std::nullopt},
        {"0x", std::nullopt},  // too short to be turned into '$'
        {"$", std::nullopt},
        {"0x$1", std::nullopt},
        {"-$10", std::nullopt},
        {"0x-1", std::nullopt},
        {"$1G", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"1.0", std::nullopt},
        {"1e3", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"true", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(TIniFile::ParseInteger(c.text), c.value) << '"' << c.text << '"';
    // The reader falls back to the default for each invalid form.
    EXPECT_EQ(TIniFile::FromText("[a]\nk=12abc\n").ReadInteger("a", "k", -1), -1);
    EXPECT_EQ(TIniFile::FromText("[a]\nk=2147483648\n").ReadInteger("a", "k", 128), 128);
}

TEST(IniFile, FloatsUseThePointWhateverTheLocale) {
    const TIniFile ini = TIniFile::FromText(
        "[info]\nvelocityfactor=1,5\nsamplerate=48000\n"
        "[parameters]\n0=1.0\n1=1.01\n2=-0.01\n3=.5\n4=2.5E-1\n5=1e3\n6=inf\n7=nan\n8=0.5x\n9=1e400\n10= 0.75 \n");
    EXPECT_EQ(ini.ReadFloat("info", "velocityfactor", 1.0), 1.0);
    EXPECT_EQ(TIniFile::FromText("[info]\nvelocityfactor=1.5").ReadFloat("info", "velocityfactor", 1.0), 1.5);
    EXPECT_EQ(ini.ReadFloat("info", "samplerate", 44100.0), 48000.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "0", -1.0), 1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "1", -1.0), 1.01);
    EXPECT_EQ(ini.ReadFloat("parameters", "2", -1.0), -0.01);
    EXPECT_EQ(ini.ReadFloat("parameters", "3", -1.0), 0.5);
    EXPECT_EQ(ini.ReadFloat("parameters", "4", -1.0), 0.25);
    EXPECT_EQ(ini.ReadFloat("parameters", "5", -1.0), 1000.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "6", -1.0), -1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "7", -1.0), -1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "8", -1.0), -1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "9", -1.0), -1.0);
    EXPECT_EQ(ini.ReadFloat("parameters", "10", -1.0), 0.75);
}

TEST(IniFile, ReadsFilesAndToleratesMissingOnes) {
    test::TempDir dir;
    // Code page 936 bytes of a name pass through as they are.
    const std::string gbkName = "\xC4\xCF\xB7\xE7";
    dir.Write("Sets/Grand.WTI", "[info]\r\nname=" + gbkName + "\r\nsamples=4\r\n");
    const TIniFile exact(dir.path() / "Sets/Grand.WTI");
    EXPECT_EQ(exact.ReadString("info", "name", ""), gbkName);
    const TIniFile loose(dir.path() / "sets/grand.wti");
    EXPECT_EQ(loose.ReadInteger("info", "samples", 0), 4);

    for (const auto& path : {dir.path() / "missing.wti", dir.path() / "Sets", std::filesystem::path()}) {
        const TIniFile none(path);
        EXPECT_EQ(none.ReadInteger("info", "samples", 0), 0) << path;
        EXPECT_EQ(none.ReadString("default", "file", "own.wti"), "own.wti") << path;
    }
}

}  // namespace
}  // namespace norv
