#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "SysUtils.h"
#include "TestFiles.h"
#include "WorkList.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

const SplitCase kSplitCases[] = {
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

class WorkListSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(WorkListSplit, SetTextSplitsAtEveryBreak) {
    TWorkList list;
    list.SetLines({"old"});
    list.SetText(GetParam().text);
    EXPECT_EQ(list.Lines(), GetParam().lines);
    EXPECT_EQ(list.Count(), GetParam().lines.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkListSplit, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkList, TextEndsEveryLineWithCrLf) {
    TWorkList list;
    EXPECT_EQ(list.Text(), "");
    list.SetLines({""});
    EXPECT_EQ(list.Text(), "\r\n");
    list.SetLines({"a", "", "b"});
    EXPECT_EQ(list.Text(), "a\r\n\r\nb\r\n");
    list.SetText("x\ny\rz");
    EXPECT_EQ(list.Text(), "x\r\ny\r\nz\r\n");
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

// A fresh directory under the system's temporary directory, removed afterwards.
class WorkListFiles : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return tempDir_.File(name); }

    // Names in the directory: a save leaves no temporary file behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::TempDir tempDir_;
    fs::path dir_{tempDir_.Path()};
};

TEST_F(WorkListFiles, SaveWritesJoinedTextAsBytes) {
    TWorkList list;
    list.SetText("<HTML>\n\x97\x5c\x96\xf1\x95\x5c\r\x82\xa0</HTML>");
    list.SaveToFile(PathOf("ZAVOCV00.HTM"));
    EXPECT_EQ(ReadBytes(PathOf("ZAVOCV00.HTM")),
              "<HTML>\r\n\x97\x5c\x96\xf1\x95\x5c\r\n\x82\xa0</HTML>\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"ZAVOCV00.HTM"});
}

TEST_F(WorkListFiles, SaveOfEmptyListGivesEmptyFile) {
    WriteBytes(PathOf("Reserv.txt"), "old contents\r\n");
    TWorkList list;
    list.SaveToFile(PathOf("Reserv.txt"));
    EXPECT_TRUE(fs::exists(PathOf("Reserv.txt")));
    EXPECT_EQ(ReadBytes(PathOf("Reserv.txt")), "");
}

TEST_F(WorkListFiles, SaveReplacesLongerFileCompletely) {
    WriteBytes(PathOf("Reserv.txt"), std::string(5000, 'x'));
    TWorkList list;
    list.SetText("bExec=ON&lVoice=1&end_form=0");
    list.SaveToFile(PathOf("Reserv.txt"));
    EXPECT_EQ(ReadBytes(PathOf("Reserv.txt")), "bExec=ON&lVoice=1&end_form=0\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"Reserv.txt"});
}

TEST_F(WorkListFiles, SaveWithoutFlushWritesTheSameBytesAndNoTemporaryFile) {
    WriteBytes(PathOf("Reserv.txt"), std::string(5000, 'x'));
    TWorkList list;
    list.SetText("bExec=ON&detail=a\nb&lVoice=1&end_form=0");
    list.SaveToFile(PathOf("Reserv.txt"), /*flushToDisk=*/false);
    EXPECT_EQ(ReadBytes(PathOf("Reserv.txt")), "bExec=ON&detail=a\r\nb&lVoice=1&end_form=0\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"Reserv.txt"});
}

TEST_F(WorkListFiles, SaveKeepsPermissionsOfReplacedFile) {
    WriteBytes(PathOf("ZAVOCVST.HTM"), "old");
    fs::permissions(PathOf("ZAVOCVST.HTM"), fs::perms::owner_read | fs::perms::owner_write);
    TWorkList list;
    list.SetText("new");
    list.SaveToFile(PathOf("ZAVOCVST.HTM"));
    struct stat st;
    ASSERT_EQ(::stat(PathOf("ZAVOCVST.HTM").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadBytes(PathOf("ZAVOCVST.HTM")), "new\r\n");
}

TEST_F(WorkListFiles, SaveKeepsOwnerOfReplacedFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another owner";
    WriteBytes(PathOf("ZAVOCVCH.HTM"), "old");
    ASSERT_EQ(::chown(PathOf("ZAVOCVCH.HTM").c_str(), 12345, 12346), 0);
    TWorkList list;
    list.SetText("new");
    list.SaveToFile(PathOf("ZAVOCVCH.HTM"));
    struct stat st;
    ASSERT_EQ(::stat(PathOf("ZAVOCVCH.HTM").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 12346u);
}

TEST_F(WorkListFiles, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
    WriteBytes(PathOf("ZAVOCV00.HTM"), "kept");
    fs::permissions(PathOf("ZAVOCV00.HTM"), fs::perms::owner_read);
    TWorkList list;
    list.SetText("new");
    EXPECT_THROW(list.SaveToFile(PathOf("ZAVOCV00.HTM")), EFCreateError);
    EXPECT_EQ(ReadBytes(PathOf("ZAVOCV00.HTM")), "kept");
}

TEST_F(WorkListFiles, SavedFilesAreTheOwnersOnly) {
    mode_t mask = ::umask(022);
    WriteBytes(PathOf("Reserv.txt"), "old");
    fs::permissions(PathOf("Reserv.txt"),
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    TWorkList list;
    list.SetText("x");
    list.SaveToFile(PathOf("new.HTM"));
    list.SaveToFile(PathOf("Reserv.txt"), /*flushToDisk=*/false);
    ::umask(mask);
    for (const char* name : {"new.HTM", "Reserv.txt"}) {
        struct stat st;
        ASSERT_EQ(::stat(PathOf(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
    }
}

TEST_F(WorkListFiles, SaveThroughSymlinkUpdatesItsTarget) {
    WriteBytes(PathOf("real.HTM"), "old");
    fs::create_symlink(PathOf("real.HTM"), PathOf("link.HTM"));
    TWorkList list;
    list.SetText("new");
    list.SaveToFile(PathOf("link.HTM"));
    EXPECT_TRUE(fs::is_symlink(PathOf("link.HTM")));
    EXPECT_EQ(ReadBytes(PathOf("real.HTM")), "new\r\n");
}

// Paths that cannot be created, even by root.
TEST_F(WorkListFiles, SaveFailureRaisesCreateErrorWithThePath) {
    WriteBytes(PathOf("plain"), "not a directory");
    fs::create_directory(PathOf("ZAVOCV01.HTM"));
    const std::string paths[] = {PathOf("plain") + "/ZAVOCV00.HTM",
                                 PathOf("missing") + "/ZAVOCV00.HTM", PathOf("ZAVOCV01.HTM")};
    TWorkList list;
    list.SetText("x");
    for (const std::string& path : paths) {
        try {
            list.SaveToFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message, FileCreateErrorMessage(path));
            // "ファイル <path> を作成できません"
            EXPECT_EQ(e.Message, "\x83\x74\x83\x40\x83\x43\x83\x8b " + path +
                                     " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9"
                                     "\x82\xf1");
        }
    }
    EXPECT_TRUE(fs::is_directory(PathOf("ZAVOCV01.HTM")));
    EXPECT_EQ(ReadBytes(PathOf("plain")), "not a directory");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"ZAVOCV01.HTM", "plain"}));
}

// A write that fails half-way (here the file size limit, which binds root too) leaves the
// old file untouched and no temporary file behind.
TEST_F(WorkListFiles, FailedWriteLeavesOldFileIntact) {
    const std::string path = PathOf("Reserv.txt");
    WriteBytes(path, "bExec=ON&lVoice=1&end_form=0\r\n");
    TWorkList list;
    list.SetText(std::string(100000, 'y'));

    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        list.SaveToFile(path);
    } catch (const EFCreateError& e) {
        raised = true;
        EXPECT_EQ(e.Message, FileCreateErrorMessage(path));
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadBytes(path), "bExec=ON&lVoice=1&end_form=0\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"Reserv.txt"});
}

TEST_F(WorkListFiles, LoadSplitsFileBytes) {
    WriteBytes(PathOf("page.HTM"), "a\nb\r\nc\rd\0e\r\n"s);
    TWorkList list;
    list.LoadFromFile(PathOf("page.HTM"));
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(WorkListFiles, LoadFailureRaisesOpenErrorWithThePath) {
    fs::create_directory(PathOf("dir.HTM"));
    // A FIFO is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(PathOf("fifo.HTM").c_str(), 0600), 0);
    const std::string paths[] = {PathOf("missing.HTM"), PathOf("dir.HTM"), PathOf("fifo.HTM")};
    for (const std::string& path : paths) {
        TWorkList list;
        list.SetLines({"kept"});
        try {
            list.LoadFromFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const EFOpenError& e) {
            // "ファイル <path> は開けません"
            EXPECT_EQ(e.Message, "\x83\x74\x83\x40\x83\x43\x83\x8b " + path +
                                     " \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1");
        }
        EXPECT_EQ(list.Lines(), std::vector<std::string>{"kept"});
    }
}

TEST_F(WorkListFiles, SaveThenLoadRoundTrip) {
    TWorkList list;
    list.SetText("\x90\x56\x8b\x4b\x97\x5c\x96\xf1\r\n\r\n\x83\x5c\x83\x74\x83\x67");
    list.SaveToFile(PathOf("round.HTM"));
    TWorkList back;
    back.LoadFromFile(PathOf("round.HTM"));
    EXPECT_EQ(back.Lines(), list.Lines());
}

}  // namespace
