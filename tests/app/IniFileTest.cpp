#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "IniFile.h"
#include "TestFiles.h"

namespace {

using testsupport::ModeOf;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// " に書き込めません" and "ファイル " / " は開けません", spelled out as bytes.
const std::string kCannotWrite =
    " \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";
const std::string kFile = "\x83\x74\x83\x40\x83\x43\x83\x8b ";
const std::string kCannotOpen = " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1";

using Values = std::vector<std::pair<std::string, std::string>>;

struct UpdateCase {
    const char* name;
    std::string before;
    Values values;
    std::string after;
};

class IniUpdateSection : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(IniUpdateSection, RewritesOnlyTheKeysGiven) {
    const UpdateCase& c = GetParam();
    EXPECT_EQ(IniText::UpdateSection(c.before, "RD", c.values), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniUpdateSection,
    ::testing::Values(
        UpdateCase{"EmptyFile",
                   "",
                   {{"RDIP", "rd-x4"}, {"RDUSER", ""}},
                   "[RD]\r\nRDIP=rd-x4\r\nRDUSER=\r\n"},
        UpdateCase{"OtherSectionKeptAndSeparated",
                   "; made by hand\r\n[Other]\r\nA=1\r\n",
                   {{"RDIP", "h"}},
                   "; made by hand\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=h\r\n"},
        UpdateCase{"LastLineWithoutBreak",
                   "[Other]\nA=1",
                   {{"RDIP", "h"}},
                   "[Other]\nA=1\r\n\r\n[RD]\r\nRDIP=h\r\n"},
        UpdateCase{"ExistingKeyReplacedInPlaceKeepingItsLineEnd",
                   "[RD]\nRDUSER=old\nRDIP = x\n[Next]\nRDIP=keep\n",
                   {{"RDIP", "new"}},
                   "[RD]\nRDUSER=old\nRDIP=new\n[Next]\nRDIP=keep\n"},
        UpdateCase{"MissingKeyGoesBeforeTheBlankLinesOfItsSection",
                   "[rd]\r\nRDIP=a\r\n\r\n[Next]\r\nX=1\r\n",
                   {{"RDPORT", "8080"}},
                   "[rd]\r\nRDIP=a\r\nRDPORT=8080\r\n\r\n[Next]\r\nX=1\r\n"},
        UpdateCase{"CommentsAndForeignKeysInsideTheSectionKept",
                   "[RD]\r\n;RDIP=commented\r\nEXTRA=1\r\nRDIP=a\r\n",
                   {{"RDIP", "b"}},
                   "[RD]\r\n;RDIP=commented\r\nEXTRA=1\r\nRDIP=b\r\n"},
        UpdateCase{
            "KeyNamesIgnoreCase", "[RD]\r\nrdip=a\r\n", {{"RDIP", "b"}}, "[RD]\r\nRDIP=b\r\n"},
        UpdateCase{"LineBreakInValueCannotForgeAKey",
                   "",
                   {{"RDPASS", "pw\r\nRDIP=evil"}},
                   "[RD]\r\nRDPASS=pw\r\n"},
        UpdateCase{
            "NulEndsTheValue", "", {{"RDPASS", std::string("ab\0cd", 5)}}, "[RD]\r\nRDPASS=ab\r\n"},
        UpdateCase{"ValueWrittenExactlyAsHeld",
                   "",
                   {{"RDPASS", " =;\x97\x5c\x95\x5c\" "}},
                   "[RD]\r\nRDPASS= =;\x97\x5c\x95\x5c\" \r\n"}),
    [](const ::testing::TestParamInfo<UpdateCase>& info) { return std::string(info.param.name); });

struct FindCase {
    const char* name;
    std::string text;
    const char* key;
    bool found;
    std::string value;
};

class IniFindValue : public ::testing::TestWithParam<FindCase> {};

TEST_P(IniFindValue, ReadsTheFirstMatchingKeyOfTheFirstMatchingSection) {
    const FindCase& c = GetParam();
    std::string value = "untouched";
    EXPECT_EQ(IniText::FindValue(c.text, "RD", c.key, value), c.found);
    if (c.found) {
        EXPECT_EQ(value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniFindValue,
    ::testing::Values(
        FindCase{"Plain", "[RD]\r\nRDIP=rd-x4\r\n", "RDIP", true, "rd-x4"},
        FindCase{"BlanksAroundKeyTrimmedValueKept", "[ RD ]\r\n  RDIP\t= a b \r\n", "RDIP", true,
                 " a b "},
        FindCase{"LoneCrLines", "[RD]\rRDUSER=u\rRDIP=h\r", "RDIP", true, "h"},
        FindCase{"OtherSectionIgnored", "[X]\nRDIP=no\n[RD]\nRDIP=yes\n", "RDIP", true, "yes"},
        FindCase{"FirstKeyWins", "[RD]\nRDIP=1\nRDIP=2\n", "RDIP", true, "1"},
        FindCase{"CommentIsNoKey", "[RD]\n;RDIP=1\n#RDIP=2\n", "RDIP", false, ""},
        FindCase{"KeyOfLaterSectionNotTaken", "[RD]\nA=1\n[B]\nRDIP=2\n", "RDIP", false, ""},
        FindCase{"EqualsInsideValue", "[RD]\nRDPASS=a=b\n", "RDPASS", true, "a=b"},
        FindCase{"EmptyValue", "[RD]\nRDPROXY=\n", "RDPROXY", true, ""},
        FindCase{"NoSection", "RDIP=1\n", "RDIP", false, ""}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST(IniFile, MissingFileGivesTheDefaultAndCreatesNothing) {
    TempDir dir;
    TIniFile ini(dir.File("zavoconv.INI"));
    EXPECT_EQ(ini.ReadString("RD", "RDIP", "def"), "def");
    EXPECT_FALSE(std::filesystem::exists(dir.File("zavoconv.INI")));
}

TEST(IniFile, RoundTripOfShiftJisValues) {
    TempDir dir;
    TIniFile ini(dir.File("a.INI"));
    // 予 and 表 end in 0x5C; blanks and '=' at the edges must survive too.
    const std::string value = " \x97\x5c\x96\xf1=\x95\x5c\xa6 ";
    ini.WriteStrings("RD", {{"RDPASS", value}, {"RDUSER", "\x83\x70\x83\x58"}});
    TIniFile again(dir.File("a.INI"));
    EXPECT_EQ(again.ReadString("RD", "RDPASS", "x"), value);
    EXPECT_EQ(again.ReadString("RD", "RDUSER", "x"), "\x83\x70\x83\x58");
    EXPECT_EQ(ReadBytes(dir.File("a.INI")),
              "[RD]\r\nRDPASS=" + value + "\r\nRDUSER=\x83\x70\x83\x58\r\n");
}

TEST(IniFile, ValueReadIsLimitedTo2047Bytes) {
    TempDir dir;
    WriteBytes(dir.File("a.INI"), "[RD]\r\nLONG=" + std::string(3000, 'a') + "\r\n");
    TIniFile ini(dir.File("a.INI"));
    EXPECT_EQ(ini.ReadString("RD", "LONG", ""), std::string(2047, 'a'));
}

TEST(IniFile, LimitNeverSplitsADoubleByteCharacter) {
    TempDir dir;
    // 2046 single bytes, then 予 (97 5C) straddling the limit.
    WriteBytes(dir.File("a.INI"), "[RD]\r\nK=" + std::string(2046, 'a') + "\x97\x5c" + "b\r\n");
    EXPECT_EQ(TIniFile(dir.File("a.INI")).ReadString("RD", "K", ""), std::string(2046, 'a'));
    // A character ending exactly at the limit is kept whole.
    WriteBytes(dir.File("a.INI"), "[RD]\r\nK=" + std::string(2045, 'a') + "\x97\x5c" + "b\r\n");
    EXPECT_EQ(TIniFile(dir.File("a.INI")).ReadString("RD", "K", ""),
              std::string(2045, 'a') + "\x97\x5c");
}

TEST(IniFile, NewFileIsReadableByItsOwnerOnly) {
    TempDir dir;
    mode_t old = ::umask(0);  // even a permissive umask must not open the file up
    TIniFile ini(dir.File("a.INI"));
    ini.WriteString("RD", "RDPASS", "secret");
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.File("a.INI")), 0600u);
}

TEST(IniFile, ExistingFileKeepsItsModeAndOtherContent) {
    TempDir dir;
    const std::string before = "; mine\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=x\r\n";
    WriteBytes(dir.File("a.INI"), before);
    ASSERT_EQ(::chmod(dir.File("a.INI").c_str(), 0640), 0);
    TIniFile(dir.File("a.INI")).WriteString("RD", "RDIP", "y");
    EXPECT_EQ(ModeOf(dir.File("a.INI")), 0640u);
    EXPECT_EQ(ReadBytes(dir.File("a.INI")), "; mine\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=y\r\n");
}

TEST(IniFile, SymbolicLinkKeptAndItsTargetWritten) {
    TempDir dir;
    WriteBytes(dir.File("real.INI"), "[RD]\r\nRDIP=x\r\n");
    ASSERT_EQ(::symlink(dir.File("real.INI").c_str(), dir.File("link.INI").c_str()), 0);
    TIniFile(dir.File("link.INI")).WriteString("RD", "RDIP", "y");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.INI")));
    EXPECT_EQ(ReadBytes(dir.File("real.INI")), "[RD]\r\nRDIP=y\r\n");
}

TEST(IniFile, NoTemporaryFileIsLeftBehind) {
    TempDir dir;
    TIniFile ini(dir.File("a.INI"));
    ini.WriteString("RD", "RDIP", "1");
    ini.WriteString("RD", "RDIP", "2");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

struct WriteFailureCase {
    const char* name;
    std::string relativePath;  // under a directory that holds a regular file "plain"
};

class IniWriteFailure : public ::testing::TestWithParam<WriteFailureCase> {};

TEST_P(IniWriteFailure, RaisesCannotWriteWithThePath) {
    TempDir dir;
    WriteBytes(dir.File("plain"), "x");
    std::string path = dir.File(GetParam().relativePath);
    TIniFile ini(path);
    try {
        ini.WriteStrings("RD", {{"RDIP", "h"}});
        FAIL() << "no error raised";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(e.Message, path + kCannotWrite);
    }
    EXPECT_EQ(ReadBytes(dir.File("plain")), "x");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWriteFailure,
    ::testing::Values(WriteFailureCase{"DirectoryMissing", "missing/zavoconv.INI"},
                      WriteFailureCase{"ParentIsARegularFile", "plain/zavoconv.INI"}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& info) {
        return std::string(info.param.name);
    });

TEST(IniFile, UnreadableExistingFileIsNeverReplaced) {
    TempDir dir;
    // A directory in the settings file's place: it cannot be read, so it must not be replaced
    // by a file holding only our section.
    std::filesystem::create_directory(dir.File("a.INI"));
    WriteBytes(dir.File("a.INI/inside"), "keep");
    TIniFile ini(dir.File("a.INI"));
    EXPECT_THROW(ini.WriteString("RD", "RDIP", "h"), EIniFileError);
    EXPECT_EQ(ReadBytes(dir.File("a.INI/inside")), "keep");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

// A directory or a FIFO in the settings file's place: refused at once (a FIFO must not hang
// the start), on reading with the "cannot open" message, on writing without replacing it.
TEST(IniFile, NoRegularFileRaisesOpenErrorOnReadAndIsNeverReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("dir.INI"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.INI").c_str(), 0600), 0);
    for (const std::string name : {"dir.INI", "fifo.INI"}) {
        TIniFile ini(dir.File(name));
        try {
            ini.ReadString("RD", "RDIP", "x");
            ADD_FAILURE() << "no error raised for " << name;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message, kFile + dir.File(name) + kCannotOpen);
        }
        EXPECT_THROW(ini.WriteString("RD", "RDIP", "h"), EIniFileError) << name;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo.INI")));
}

}  // namespace
