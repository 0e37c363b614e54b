#include <gtest/gtest.h>

#include <filesystem>

#include "IniFile.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "TestSystem.h"

namespace {

using namespace testsupport;

// " に書き込めません" and "ファイル " / " は開けません", spelled out as bytes.
const std::string kCannotWrite =
    " \x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";
const std::string kFile = "\x83\x74\x83\x40\x83\x43\x83\x8b ";
const std::string kCannotOpen = " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1";

using Values = std::vector<std::pair<std::string, std::string>>;

// Only the keys given are rewritten; everything else keeps its bytes.
TEST(IniText, UpdateSection) {
    struct UpdateCase {
        const char* name;
        std::string before;
        Values values;
        std::string after;
    };
    const UpdateCase cases[] = {
        {"EmptyFile", "", Values{{"RDIP", "rd-x4"}, {"RDUSER", ""}},
         "[RD]\r\nRDIP=rd-x4\r\nRDUSER=\r\n"},
        {"OtherSectionKeptAndSeparated", "; made by hand\r\n[Other]\r\nA=1\r\n",
         Values{{"RDIP", "h"}}, "; made by hand\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=h\r\n"},
        {"LastLineWithoutBreak", "[Other]\nA=1", Values{{"RDIP", "h"}},
         "[Other]\nA=1\r\n\r\n[RD]\r\nRDIP=h\r\n"},
        {"ExistingKeyReplacedInPlaceKeepingItsLineEnd",
         "[RD]\nRDUSER=old\nRDIP = x\n[Next]\nRDIP=keep\n", Values{{"RDIP", "new"}},
         "[RD]\nRDUSER=old\nRDIP=new\n[Next]\nRDIP=keep\n"},
        {"MissingKeyGoesBeforeTheBlankLinesOfItsSection", "[rd]\r\nRDIP=a\r\n\r\n[Next]\r\nX=1\r\n",
         Values{{"RDPORT", "8080"}}, "[rd]\r\nRDIP=a\r\nRDPORT=8080\r\n\r\n[Next]\r\nX=1\r\n"},
        {"CommentsAndForeignKeysInsideTheSectionKept",
         "[RD]\r\n;RDIP=commented\r\nEXTRA=1\r\nRDIP=a\r\n", Values{{"RDIP", "b"}},
         "[RD]\r\n;RDIP=commented\r\nEXTRA=1\r\nRDIP=b\r\n"},
        {"KeyNamesIgnoreCase", "[RD]\r\nrdip=a\r\n", Values{{"RDIP", "b"}}, "[RD]\r\nRDIP=b\r\n"},
        {"LineBreakInValueCannotForgeAKey", "", Values{{"RDPASS", "pw\r\nRDIP=evil"}},
         "[RD]\r\nRDPASS=pw\r\n"},
        {"NulEndsTheValue", "", Values{{"RDPASS", std::string("ab\0cd", 5)}},
         "[RD]\r\nRDPASS=ab\r\n"},
        {"ValueWrittenExactlyAsHeld", "", Values{{"RDPASS", " =;\x97\x5c\x95\x5c\" "}},
         "[RD]\r\nRDPASS= =;\x97\x5c\x95\x5c\" \r\n"},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IniText::UpdateSection(c.before, "RD", c.values), c.after);
    }
}

// The first matching key of the first matching section is read.
TEST(IniText, FindValue) {
    struct FindCase {
        const char* name;
        std::string text;
        const char* key;
        bool found;
        std::string value;
    };
    const FindCase cases[] = {
        {"Plain", "[RD]\r\nRDIP=rd-x4\r\n", "RDIP", true, "rd-x4"},
        {"BlanksAroundKeyTrimmedValueKept", "[ RD ]\r\n  RDIP\t= a b \r\n", "RDIP", true, " a b "},
        {"LoneCrLines", "[RD]\rRDUSER=u\rRDIP=h\r", "RDIP", true, "h"},
        {"OtherSectionIgnored", "[X]\nRDIP=no\n[RD]\nRDIP=yes\n", "RDIP", true, "yes"},
        {"FirstKeyWins", "[RD]\nRDIP=1\nRDIP=2\n", "RDIP", true, "1"},
        {"CommentIsNoKey", "[RD]\n;RDIP=1\n#RDIP=2\n", "RDIP", false, ""},
        {"KeyOfLaterSectionNotTaken", "[RD]\nA=1\n[B]\nRDIP=2\n", "RDIP", false, ""},
        {"EqualsInsideValue", "[RD]\nRDPASS=a=b\n", "RDPASS", true, "a=b"},
        {"EmptyValue", "[RD]\nRDPROXY=\n", "RDPROXY", true, ""},
        {"NoSection", "RDIP=1\n", "RDIP", false, ""},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string value = "untouched";
        EXPECT_EQ(IniText::FindValue(c.text, "RD", c.key, value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
        }
    }
}

// A missing file reads as the default and is not created; a new file is its owner's only,
// whatever the umask, keeps Shift-JIS values byte for byte and leaves no temporary file.
TEST(IniFile, NewFileRoundTripsShiftJisForItsOwnerOnly) {
    TempDir dir;
    TIniFile ini(dir.File("a.INI"));
    EXPECT_EQ(ini.ReadString("RD", "RDIP", "def"), "def");
    EXPECT_TRUE(dir.Names().empty());
    // 予 and 表 end in 0x5C; blanks and '=' at the edges must survive too.
    const std::string value = " \x97\x5c\x96\xf1=\x95\x5c\xa6 ";
    unsigned old = 0;
    const bool masked = SetUmask(0, old);
    ini.WriteStrings("RD", {{"RDPASS", value}, {"RDUSER", "\x83\x70\x83\x58"}});
    if (masked) SetUmask(old, old);
    EXPECT_FILE_MODE(dir.File("a.INI"), 0600u);
    ini.WriteString("RD", "RDIP", "1");
    ini.WriteString("RD", "RDIP", "2");
    TIniFile again(dir.File("a.INI"));
    EXPECT_EQ(again.ReadString("RD", "RDPASS", "x"), value);
    EXPECT_EQ(again.ReadString("RD", "RDUSER", "x"), "\x83\x70\x83\x58");
    EXPECT_EQ(ReadBytes(dir.File("a.INI")),
              "[RD]\r\nRDPASS=" + value + "\r\nRDUSER=\x83\x70\x83\x58\r\nRDIP=2\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.INI"});
}

// At most 2047 bytes are read, and the cut never splits a double-byte character.
TEST(IniFile, ValueReadIsLimitedTo2047BytesOfWholeCharacters) {
    const std::string a2045(2045, 'a');
    const struct {
        std::string value, read;
    } cases[] = {
        {std::string(3000, 'a'), std::string(2047, 'a')},
        {a2045 + "a\x97\x5c" + "b", a2045 + "a"},        // 予 (97 5C) straddles the limit
        {a2045 + "\x97\x5c" + "b", a2045 + "\x97\x5c"},  // ends exactly at it: kept whole
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.File("a.INI"), "[RD]\r\nK=" + c.value + "\r\n");
        EXPECT_EQ(TIniFile(dir.File("a.INI")).ReadString("RD", "K", ""), c.read);
    }
}

// An existing file keeps its mode and its other content; a symbolic link stays a link and
// its target is written.
TEST(IniFile, ExistingFileKeepsItsModeContentAndLink) {
    TempDir dir;
    const std::string before = "; mine\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=x\r\n";
    WriteBytes(dir.File("a.INI"), before);
    ASSERT_TRUE(!Sys::kHasFileModes || SetMode(dir.File("a.INI"), 0640));
    TIniFile(dir.File("a.INI")).WriteString("RD", "RDIP", "y");
    EXPECT_FILE_MODE(dir.File("a.INI"), 0640u);
    EXPECT_EQ(ReadBytes(dir.File("a.INI")), "; mine\r\n[Other]\r\nA=1\r\n\r\n[RD]\r\nRDIP=y\r\n");

    WriteBytes(dir.File("real.INI"), "[RD]\r\nRDIP=x\r\n");
    if (!MakeSymlink(dir.File("real.INI"), dir.File("link.INI")))
        GTEST_SKIP() << "no symbolic link can be planted here";
    TIniFile(dir.File("link.INI")).WriteString("RD", "RDIP", "y");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.INI")));
    EXPECT_EQ(ReadBytes(dir.File("real.INI")), "[RD]\r\nRDIP=y\r\n");
}

// A file that cannot be written raises "cannot write" with its path. A directory or a FIFO
// in the settings file's place is refused at once (a FIFO must not hang the start): reading
// raises "cannot open", writing never replaces it with a file holding only our section.
TEST(IniFile, FailuresNameThePathAndReplaceNothing) {
    TempDir dir;
    WriteBytes(dir.File("plain"), "x");
    for (const char* name : {"missing/zavoconv.INI", "plain/zavoconv.INI"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ErrorOf<EIniFileError>([&] {
                      TIniFile(dir.File(name)).WriteStrings("RD", {{"RDIP", "h"}});
                  }),
                  dir.File(name) + kCannotWrite);
    }
    EXPECT_EQ(ReadBytes(dir.File("plain")), "x");

    std::filesystem::create_directory(dir.File("dir.INI"));
    WriteBytes(dir.File("dir.INI/inside"), "keep");
    const bool fifo = MakeFifo(dir.File("fifo.INI"));
    for (const std::string name : {"dir.INI", "fifo.INI"}) {
        if (name == "fifo.INI" && !fifo) continue;
        SCOPED_TRACE(name);
        TIniFile ini(dir.File(name));
        EXPECT_EQ(ErrorOf<EFOpenError>([&] { ini.ReadString("RD", "RDIP", "x"); }),
                  kFile + dir.File(name) + kCannotOpen);
        EXPECT_THROW(ini.WriteString("RD", "RDIP", "h"), EIniFileError);
    }
    EXPECT_EQ(ReadBytes(dir.File("dir.INI/inside")), "keep");
    if (!fifo) {
        EXPECT_EQ(dir.Names(), (std::set<std::string>{"plain", "dir.INI"}));
        GTEST_SKIP() << "Windows has no FIFOs: only a folder was in the file's place";
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo.INI")));
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"plain", "dir.INI", "fifo.INI"}));
}

}  // namespace
