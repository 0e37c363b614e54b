#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "SavedSet.h"
#include "SysFile.h"
#include "TestFiles.h"
#include "Texts.h"

using testsupport::Snapshot;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

using Files = std::map<std::string, std::string>;

// A set of the given reservation count whose every file says which set it belongs to.
Files MakeSet(const std::string& tag, int reservations) {
    Files set;
    for (const char* name : {"ZAVOCVRV.HTM", "ZAVOCVST.HTM", "ZAVOCVCH.HTM"})
        set[name] = tag + " " + name + "\r\n";
    for (int i = 0; i < reservations; ++i) {
        const std::string name = Texts::ReservationPageFile(i);
        set[name] = tag + " " + name + "\r\n";
    }
    return set;
}

void Put(const std::string& folder, const Files& files) {
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : files) WriteBytes(folder + name, bytes);
}

struct CrashAtStep {};

class SavedSetDir : public ::testing::Test {
  protected:
    std::string Dir() const { return dir->Path(); }
    std::string Backup() const { return SavedSet::BackupDir(Dir()); }
    // The program directory's files (the settings file among them) and its folders.
    void ExpectState(const Files& set, const Files& backup) {
        Files expected = set;
        expected["ZAVOCONV.INI"] = "settings";
        EXPECT_EQ(Snapshot(Dir()), expected);
        EXPECT_EQ(Snapshot(Backup()), backup);
        EXPECT_FALSE(std::filesystem::exists(SavedSet::StagingDir(Dir())));
    }
    void Fresh(const Files& set, const Files& backup) {
        dir = std::make_unique<TempDir>();
        Put(Dir(), set);
        WriteBytes(Dir() + "ZAVOCONV.INI", "settings");
        if (!backup.empty()) Put(Backup(), backup);
    }
    std::unique_ptr<TempDir> dir;
};

// A power loss after any step of the commit leaves, once the next start has recovered, the
// old set (before the commit marker) or the new one with the old as backup, never a mix.
// The new set is smaller: the old set's later pages must go.
TEST_F(SavedSetDir, CrashAtEveryStepOfTheCommitEndsInTheOldOrTheNewSet) {
    const Files older = MakeSet("older", 1);
    const Files old = MakeSet("old", 5);
    const Files fresh = MakeSet("new", 2);
    bool completed = false;
    for (int crashAt = 1; !completed; ++crashAt) {
        SCOPED_TRACE(crashAt);
        ASSERT_LT(crashAt, 20);
        Fresh(old, older);
        bool markerWritten = false;
        try {
            SavedSetStaging staging(Dir());
            for (const auto& [name, bytes] : fresh) staging.Save(name, bytes);
            EXPECT_EQ(staging.ReservationCount(), 2);
            int step = 0;
            staging.AfterStep = [&] {
                markerWritten = markerWritten ||
                                std::filesystem::exists(SavedSet::StagingDir(Dir()) + "COMMIT");
                if (++step == crashAt) throw CrashAtStep();
            };
            staging.Commit();
            completed = true;
        } catch (const CrashAtStep&) {
        }
        SavedSet::Recover(Dir());
        if (!markerWritten && !completed) {
            ExpectState(old, older);
            continue;
        }
        ExpectState(fresh, old);
        for (const auto& [name, bytes] : fresh) EXPECT_FILE_MODE(Dir() + name, 0600u) << name;
    }
}

// What a crash in the middle of the moves leaves: one old page out, one new page in.
TEST_F(SavedSetDir, RecoveryFinishesMovesCutHalfWay) {
    const Files old = MakeSet("old", 3);
    const Files fresh = MakeSet("new", 1);
    Fresh(old, {});
    const std::string staging = SavedSet::StagingDir(Dir());
    Put(staging, fresh);
    WriteBytes(staging + "COMMIT", "ZAVOCV00.HTM\nZAVOCVCH.HTM\nZAVOCVRV.HTM\nZAVOCVST.HTM\nEND\n");
    Put(staging + "old/", {{"ZAVOCVRV.HTM", old.at("ZAVOCVRV.HTM")}});
    std::filesystem::rename(staging + "ZAVOCVRV.HTM", Dir() + "ZAVOCVRV.HTM");
    SavedSet::Recover(Dir());
    ExpectState(fresh, old);
}

// No marker, or one a power loss cut short (its last line missing): no page has moved yet.
TEST_F(SavedSetDir, StagingWithoutWholeMarkerIsRemovedNeverTakenForTheSet) {
    const Files old = MakeSet("old", 2);
    for (const char* marker : {"", "ZAVOCV00.HTM\nZAVOCV01.HTM\nZAVOCV02.HTM\nZAVOCV03.HTM\nEN",
                               "ZAVOCV00.HTM\nZAVOCV01.HTM\nZAVOC", "XEND\n"}) {
        SCOPED_TRACE(marker);
        Fresh(old, {});
        Put(SavedSet::StagingDir(Dir()), MakeSet("half", 4));
        if (*marker) WriteBytes(SavedSet::StagingDir(Dir()) + "COMMIT", marker);
        SavedSet::Recover(Dir());
        ExpectState(old, {});
    }
}

TEST_F(SavedSetDir, BackupSwapsWithTheSetAndBackAgainEvenAfterACrash) {
    const Files a = MakeSet("a", 4);
    const Files b = MakeSet("b", 2);
    Fresh(a, {});  // no backup: nothing changes
    EXPECT_FALSE(SavedSet::RestoreBackup(Dir()));
    ExpectState(a, {});
    Fresh(a, b);
    EXPECT_TRUE(SavedSet::RestoreBackup(Dir()));
    ExpectState(b, a);
    bool completed = false;
    for (int crashAt = 1; !completed; ++crashAt) {
        SCOPED_TRACE(crashAt);
        ASSERT_LT(crashAt, 20);
        Fresh(a, b);
        int step = 0;
        try {
            completed = SavedSet::RestoreBackup(Dir(), [&] {
                if (++step == crashAt) throw CrashAtStep();
            });
        } catch (const CrashAtStep&) {
        }
        SavedSet::Recover(Dir());
        // Only the marker is written before the first step: from the second on, it is done.
        ExpectState(crashAt == 1 ? a : b, crashAt == 1 ? b : a);
    }
}

TEST(SavedSetNames, OnlyTheCapturesFiles) {
    for (const char* name : {"ZAVOCVRV.HTM", "ZAVOCVST.HTM", "ZAVOCVCH.HTM", "ZAVOCVTM.TXT",
                             "ZAVOCV00.HTM", "ZAVOCV31.HTM", "ZAVOCV98.HTM"})
        EXPECT_TRUE(SavedSet::IsSetFile(name)) << name;
    for (const char* name : {"Reserv.txt", "Head.txt", "ZAVOCV0.HTM", "ZAVOCV100.HTM",
                             "ZAVOCVXX.HTM", "zavocv00.htm", "ZAVOCV00.HTM.tmp", "COMMIT"})
        EXPECT_FALSE(SavedSet::IsSetFile(name)) << name;
}

}  // namespace
