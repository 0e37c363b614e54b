// The platform's own promises about files, paths and the local time: the ones the program's
// files rest on (a replacement is whole or nothing, with no temporary file left), what an
// open reports, and the zone offset of the log lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "SysClock.h"
#include "SysFile.h"
#include "SysPath.h"
#include "TestFiles.h"
#include "TestSystem.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

TEST(SysReplaceFile, ReplacesWholeOrLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.File("a.txt");
    WriteBytes(path, "old contents");
    EXPECT_TRUE(Sys::ReplaceFile(path, "new"));
    EXPECT_EQ(ReadBytes(path), "new");
    // The writer fails half-way.
    EXPECT_FALSE(Sys::ReplaceFileWith(path, [](Sys::File& file) {
        file.WriteAll("half of it");
        return false;
    }));
    EXPECT_EQ(ReadBytes(path), "new");
    Sys::MakeFolder(dir.File("folder"), false);
    EXPECT_FALSE(Sys::ReplaceFile(dir.File("folder"), "x"));
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.txt", "folder"}));
    WriteBytes(dir.File("b.txt"), "b");
    EXPECT_TRUE(Sys::MoveReplacing(dir.File("b.txt"), path));
    EXPECT_EQ(ReadBytes(path), "b");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.txt", "folder"}));
}

TEST(SysOpenFile, ReportsWhyItRefuses) {
    TempDir dir;
    WriteBytes(dir.File("file"), "x");
    Sys::MakeFolder(dir.File("folder"), false);
    const struct {
        const char* name;
        Sys::FileCreation creation;
        Sys::FileError error;
    } rows[] = {
        {"file", Sys::FileCreation::OpenExisting, Sys::FileError::None},
        {"missing", Sys::FileCreation::OpenExisting, Sys::FileError::Missing},
        {"missing/file", Sys::FileCreation::OpenOrCreate, Sys::FileError::Missing},
        {"folder", Sys::FileCreation::OpenExisting, Sys::FileError::NotRegular},
        {"file", Sys::FileCreation::CreateNew, Sys::FileError::Exists},
        {"new", Sys::FileCreation::CreateNew, Sys::FileError::None},
    };
    for (const auto& row : rows) {
        Sys::FileError error = Sys::FileError::Other;
        const Sys::File file =
            Sys::OpenFile(dir.File(row.name), {Sys::FileAccess::Read, row.creation}, &error);
        EXPECT_EQ(error, row.error) << row.name;
        EXPECT_EQ(file.Valid(), row.error == Sys::FileError::None) << row.name;
    }
    const std::vector<std::string> names = Sys::ListFolder(dir.Path());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"file", "folder", "new"}));
}

TEST(SysPath, AbsolutePathsAgainstTheCurrentFolder) {
    const std::string here = Sys::CurrentFolder();
    ASSERT_EQ(here.back(), '/');
    EXPECT_TRUE(Sys::IsAbsolutePath(here));
    for (const char* relative : {"", "a/b", "./a", "../a"})
        EXPECT_FALSE(Sys::IsAbsolutePath(relative)) << relative;
    EXPECT_EQ(Sys::AbsolutePath("a/./b/../c"), here + "a/c");
    EXPECT_EQ(Sys::AbsolutePath(here + "x/../y"), here + "y");
}

TEST(SysClock, LocalTimeOfAFixedZoneCarriesItsOffset) {
    // 2026-12-08 01:02:03 UTC.
    const auto time = std::chrono::system_clock::time_point(std::chrono::seconds(1796691723));
    const struct {
        int offset, day, hour, minute;
    } rows[] = {{9 * 60, 8, 10, 2}, {0, 8, 1, 2}, {-(3 * 60 + 30), 7, 21, 32}};
    for (const auto& row : rows) {
        const testsupport::FixedTimeZone zone(row.offset);
        if (!zone.Ok()) GTEST_SKIP() << "the local time zone cannot be chosen here";
        const Sys::LocalTime t = Sys::ToLocalTime(time);
        EXPECT_EQ(t.UtcOffsetMinutes, row.offset);
        EXPECT_EQ(std::vector<int>({t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second}),
                  std::vector<int>({2026, 12, row.day, row.hour, row.minute, 3}))
            << row.offset;
    }
}

}  // namespace
