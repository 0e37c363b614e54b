#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "SysFile.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "TestSystem.h"
#include "WorkList.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using namespace testsupport;

// The same lines from the text, from a file holding it, and back from the list saved; the
// list's text ends every line with CR LF.
TEST(WorkList, SetTextAndLoadSplitAtEveryBreak) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"Empty", "", {}},
        {"OneLineWithoutBreak", "a", {"a"}},
        {"CrLf", "a\r\nb\r\n", {"a", "b"}},
        {"LastLineWithoutBreak", "a\r\nb", {"a", "b"}},
        {"BareLf", "a\nb\n", {"a", "b"}},
        {"LoneCr", "a\rb\r", {"a", "b"}},
        {"LfCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}},
        {"CrCrLf", "a\r\r\nb", {"a", "", "b"}},
        {"OnlyABreak", "\r\n", {""}},
        {"EmptyLinesKept", "\r\n\r\na\r\n\r\n", {"", "", "a", ""}},
        {"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"NulDropsTheRest", "a\r\nb\0c\r\nd"s, {"a", "b"}},
        {"NulFirst", "\0abc"s, {}},
        {"NulRightAfterBreak", "a\r\n\0b"s, {"a"}},
        {"CrBeforeNulIsABreak", "a\r\0\nb"s, {"a"}},
        {"ShiftJisKeptAsBytes", "\x97\x5c\x96\xf1\n\x95\x5c", {"\x97\x5c\x96\xf1", "\x95\x5c"}},
    };
    const testsupport::TempDir dir;
    const std::string path = dir.File("page.HTM");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TWorkList list;
        list.SetLines({"old"});
        list.SetText(c.text);
        EXPECT_EQ(list.Lines(), c.lines);
        EXPECT_EQ(list.Count(), c.lines.size());
        std::string text;
        for (const std::string& line : c.lines) text += line + "\r\n";
        EXPECT_EQ(list.Text(), text);
        std::string streamed;
        EXPECT_TRUE(list.WriteText([&](std::string_view piece) {
            streamed += piece;
            return true;
        }));
        EXPECT_EQ(streamed, text);
        TWorkList fromLines;
        fromLines.SetLines(c.lines);
        EXPECT_EQ(fromLines.Text(), text);
        WriteBytes(path, c.text);
        TWorkList loaded;
        loaded.SetLines({"old"});
        loaded.LoadFromFile(path);
        EXPECT_EQ(loaded.Lines(), c.lines);
        list.SaveToFile(path);
        loaded.LoadFromFile(path);
        EXPECT_EQ(loaded.Lines(), c.lines);
        list.Clear();
        EXPECT_EQ(list.Count(), 0u);
    }
}

// A page of 100,000 bare line feeds goes out as its 200,000 bytes of CR LF in pieces of at
// most 64 KB, never as one text; a piece refused ends it there.
TEST(WorkList, WriteTextHandsOutPiecesAndStopsAtTheFirstRefused) {
    TWorkList list;
    list.SetText(std::string(100000, '\n'));
    std::vector<size_t> pieces;
    std::string out;
    EXPECT_TRUE(list.WriteText([&](std::string_view piece) {
        pieces.push_back(piece.size());
        out += piece;
        return true;
    }));
    EXPECT_EQ(pieces, (std::vector<size_t>{65536, 65536, 65536, 3392}));
    EXPECT_EQ(out, list.Text());
    pieces.clear();
    EXPECT_FALSE(list.WriteText([&](std::string_view piece) {
        pieces.push_back(piece.size());
        return pieces.size() < 2;
    }));
    EXPECT_EQ(pieces.size(), 2u);
}

void Save(const std::string& text, const std::string& path, bool flush = true) {
    TWorkList list;
    list.SetText(text);
    list.SaveToFile(path, flush);
}

class WorkListFiles : public ::testing::Test {
  protected:
    testsupport::TempDir dir;
};

// Each save leaves exactly the one file (no temporary one), holding the joined lines, its
// owner's only whatever the file it replaced allowed.
TEST(WorkListSave, WritesTheJoinedTextAsBytesOwnerOnly) {
    const struct {
        const char* name;
        const char* file;
        std::string old;  // empty: no file before
        unsigned oldMode;
        std::string text;
        bool flush;
        std::string expected;
    } cases[] = {
        {"NewFile", "ZAVOCV00.HTM", "", 0, "<HTML>\n\x97\x5c\x96\xf1\x95\x5c\r\x82\xa0</HTML>",
         true, "<HTML>\r\n\x97\x5c\x96\xf1\x95\x5c\r\n\x82\xa0</HTML>\r\n"},
        {"EmptyListGivesEmptyFile", "Reserv.txt", "old contents\r\n", 0600, "", true, ""},
        {"LongerFileReplacedCompletely", "Reserv.txt", std::string(5000, 'x'), 0744,
         "bExec=ON&lVoice=1&end_form=0", true, "bExec=ON&lVoice=1&end_form=0\r\n"},
        {"WithoutFlush", "Reserv.txt", std::string(5000, 'x'), 0744,
         "bExec=ON&detail=a\nb&lVoice=1&end_form=0", false,
         "bExec=ON&detail=a\r\nb&lVoice=1&end_form=0\r\n"},
    };
    unsigned mask = 0;
    const bool masked = SetUmask(022, mask);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::string path = dir.File(c.file);
        if (!c.old.empty()) {
            WriteBytes(path, c.old);
            ASSERT_TRUE(!Sys::kHasFileModes || SetMode(path, c.oldMode));
        }
        Save(c.text, path, c.flush);
        EXPECT_EQ(ReadBytes(path), c.expected);
        EXPECT_EQ(dir.Names(), std::set<std::string>{c.file});
        EXPECT_FILE_MODE(path, 0600u);
    }
    if (masked) SetUmask(mask, mask);
}

TEST_F(WorkListFiles, SaveKeepsOwnerOfReplacedFile) {
    if (!IsSuperUser()) GTEST_SKIP() << "only root can hand a file to another owner";
    WriteBytes(dir.File("ZAVOCVCH.HTM"), "old");
    ASSERT_TRUE(SetOwner(dir.File("ZAVOCVCH.HTM"), 12345, 12346));
    Save("new", dir.File("ZAVOCVCH.HTM"));
    unsigned user = 0, group = 0;
    ASSERT_TRUE(OwnerOf(dir.File("ZAVOCVCH.HTM"), user, group));
    EXPECT_EQ(user, 12345u);
    EXPECT_EQ(group, 12346u);
}

TEST_F(WorkListFiles, ReadOnlyFileIsNotReplaced) {
    if (IsSuperUser()) GTEST_SKIP() << "root may write any file";
    WriteBytes(dir.File("ZAVOCV00.HTM"), "kept");
    fs::permissions(dir.File("ZAVOCV00.HTM"), fs::perms::owner_read);
    EXPECT_THROW(Save("new", dir.File("ZAVOCV00.HTM")), EFCreateError);
    EXPECT_EQ(ReadBytes(dir.File("ZAVOCV00.HTM")), "kept");
}

TEST_F(WorkListFiles, SaveThroughSymlinkUpdatesItsTarget) {
    WriteBytes(dir.File("real.HTM"), "old");
    if (!MakeSymlink(dir.File("real.HTM"), dir.File("link.HTM")))
        GTEST_SKIP() << "no symbolic link can be planted here";
    Save("new", dir.File("link.HTM"));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.HTM")));
    EXPECT_EQ(ReadBytes(dir.File("real.HTM")), "new\r\n");
}

// Paths that cannot be created, even by root.
TEST_F(WorkListFiles, SaveFailureRaisesCreateErrorWithThePath) {
    WriteBytes(dir.File("plain"), "not a directory");
    fs::create_directory(dir.File("ZAVOCV01.HTM"));
    const std::string paths[] = {dir.File("plain") + "/ZAVOCV00.HTM",
                                 dir.File("missing") + "/ZAVOCV00.HTM", dir.File("ZAVOCV01.HTM")};
    for (const std::string& path : paths) {
        const std::string error = ErrorOf<EFCreateError>([&] { Save("x", path); });
        EXPECT_EQ(error, FileCreateErrorMessage(path));
        // "ファイル <path> を作成できません"
        EXPECT_EQ(error, "\x83\x74\x83\x40\x83\x43\x83\x8b " + path +
                             " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
    }
    EXPECT_TRUE(fs::is_directory(dir.File("ZAVOCV01.HTM")));
    EXPECT_EQ(ReadBytes(dir.File("plain")), "not a directory");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"ZAVOCV01.HTM", "plain"}));
}

// A write that fails half-way (here the file size limit, which binds root too) leaves the
// old file untouched and no temporary file behind.
TEST_F(WorkListFiles, FailedWriteLeavesOldFileIntact) {
    const std::string path = dir.File("Reserv.txt");
    WriteBytes(path, "bExec=ON&lVoice=1&end_form=0\r\n");
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Ok());
        EXPECT_EQ(ErrorOf<EFCreateError>([&] { Save(std::string(100000, 'y'), path); }),
                  FileCreateErrorMessage(path));
    }
    EXPECT_EQ(ReadBytes(path), "bExec=ON&lVoice=1&end_form=0\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"Reserv.txt"});
}

TEST_F(WorkListFiles, LoadFailureRaisesOpenErrorWithThePath) {
    fs::create_directory(dir.File("dir.HTM"));
    std::vector<std::string> paths = {dir.File("missing.HTM"), dir.File("dir.HTM")};
    // A FIFO is refused at once rather than waited on.
    const bool fifo = MakeFifo(dir.File("fifo.HTM"));
    if (fifo) paths.push_back(dir.File("fifo.HTM"));
    for (const std::string& path : paths) {
        TWorkList list;
        list.SetLines({"kept"});
        // "ファイル <path> は開けません"
        EXPECT_EQ(ErrorOf<EFOpenError>([&] { list.LoadFromFile(path); }),
                  "\x83\x74\x83\x40\x83\x43\x83\x8b " + path +
                      " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1");
        EXPECT_EQ(list.Lines(), std::vector<std::string>{"kept"});
    }
    if (!fifo) GTEST_SKIP() << "Windows has no FIFOs";
}

}  // namespace
