#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "DataLocation.h"
#include "SysFile.h"
#include "SysPath.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "TestSystem.h"

namespace {

using namespace testsupport;

struct LocationCase {
    const char* name;
    bool writable, installedDir, settingsBeside;
    const char* option;
    LocationKind kind;
    const char* settingsPath;
    const char* dataDir;
};

// The program is /opt/zavo/zavoconv; the user's XDG folders are ~/.config and ~/.local/share.
using enum LocationKind;
const char* const kBeside = "/opt/zavo/zavoconv.INI";
const char* const kXdgSettings = "/home/u/.config/zavoconv/zavoconv.INI";
const char* const kXdgData = "/home/u/.local/share/zavoconv/";

const LocationCase kCases[] = {
    {"Portable", true, false, false, "", Portable, kBeside, "/opt/zavo/"},
    {"ReadOnlyFolderIsInstalled", false, false, false, "", Installed, kXdgSettings, kXdgData},
    {"InstallFolderWritableByRootIsInstalled", true, true, false, "", Installed, kXdgSettings,
     kXdgData},
    {"SettingsBesideReadOnlyProgramWin", false, false, true, "", Portable, kBeside, "/opt/zavo/"},
    {"SettingsBesideInstalledProgramWin", false, true, true, "", Portable, kBeside, "/opt/zavo/"},
    {"DataDirChosen", true, false, false, "/srv/rd", Chosen, "/srv/rd/zavoconv.INI", "/srv/rd/"},
    {"DataDirChosenWhenInstalled", false, false, false, "/srv/rd/", Chosen, "/srv/rd/zavoconv.INI",
     "/srv/rd/"},
    {"DataDirKeepsSettingsBesideProgram", true, false, true, "/srv/rd", Chosen, kBeside,
     "/srv/rd/"},
};

TEST(DecideDataLocation, SettingsAndDataFolder) {
    for (const LocationCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const DataLocation location =
            DecideDataLocation({"/opt/zavo/zavoconv", c.writable, c.installedDir, c.settingsBeside,
                                c.option, "/home/u/.config", "/home/u/.local/share/"});
        EXPECT_EQ(location.Kind, c.kind);
        EXPECT_EQ(location.SettingsPath, c.settingsPath);
        EXPECT_EQ(location.DataDir, c.dataDir);
    }
}

TEST(XdgBaseDir, AbsoluteValueOrHomeFallback) {
    using Sys::XdgBaseDir;
    EXPECT_EQ(XdgBaseDir("/x/cfg", "/home/u", "/.config"), "/x/cfg");
    EXPECT_EQ(XdgBaseDir(std::nullopt, "/home/u", "/.config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir("", "/home/u", "/.config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir("rel/cfg", "/home/u", "/.config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir(std::nullopt, "/", "/.local/share"), "/.local/share");
}

// Sets an environment variable for one test and puts the old value back.
class EnvGuard {
  public:
    EnvGuard(const char* name, const std::optional<std::string>& value)
        : name_(name), old_(Sys::GetEnv(name)) {
        Sys::SetEnv(name, value);
    }
    ~EnvGuard() { Sys::SetEnv(name_, old_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(GatherLocationFacts, ReadsTheFileSystemAndTheEnvironment) {
    if (!HasXdgFolders())
        GTEST_SKIP()
            << "the user's folders come from %APPDATA% here, and no /usr/bin holds programs";
    TempDir dir;
    std::string program = dir.File("zavoconv");
    WriteBytes(program, "");
    EnvGuard config("XDG_CONFIG_HOME", "/x/cfg");
    EnvGuard data("XDG_DATA_HOME", std::nullopt);
    EnvGuard home("HOME", "/home/u");
    // The install folder as configured: without the trailing '/'.
    const std::string bindir = dir.Path().substr(0, dir.Path().size() - 1);
    LocationFacts facts = GatherLocationFacts(program, "/d", bindir);
    EXPECT_TRUE(facts.ProgramDirWritable);
    EXPECT_TRUE(facts.InstalledDir);
    EXPECT_FALSE(facts.SettingsBesideProgram);
    EXPECT_EQ(facts.DataDirOption, "/d");
    EXPECT_EQ(facts.ConfigHome, "/x/cfg");
    EXPECT_EQ(facts.DataHome, "/home/u/.local/share");
    WriteBytes(dir.File("zavoconv.INI"), "[RD]\r\n");
    facts = GatherLocationFacts(program, "", "/usr/local/bin");
    EXPECT_TRUE(facts.SettingsBesideProgram);
    EXPECT_FALSE(facts.InstalledDir);
    EXPECT_TRUE(GatherLocationFacts("/usr/bin/zavoconv", "", "").InstalledDir);
    // A relative --data-dir is taken from the current folder.
    EXPECT_EQ(GatherLocationFacts(program, "rd/./x", "").DataDirOption,
              Sys::CurrentFolder() + "rd/x");
}

// Installed folders are created for their owner only and left as they are at a second start;
// a folder that cannot be made or written is named in the error.
TEST(PrepareDataLocation, FoldersCreatedOwnerOnlyOrNamedInTheError) {
    TempDir dir;
    DataLocation location{Installed, dir.File("cfg/zavoconv/zavoconv.INI"),
                          dir.File("share/zavoconv/")};
    PrepareDataLocation(location);
    for (const char* folder : {"cfg", "cfg/zavoconv", "share", "share/zavoconv"}) {
        EXPECT_TRUE(Sys::IsFolder(dir.File(folder))) << folder;
        EXPECT_FILE_MODE(dir.File(folder), 0700u) << folder;
    }
    ASSERT_TRUE(!Sys::kHasFileModes || SetMode(dir.File("share/zavoconv"), 0750));
    PrepareDataLocation(location);
    EXPECT_FILE_MODE(dir.File("share/zavoconv"), 0750u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("cfg/zavoconv/zavoconv.INI")));

    WriteBytes(dir.File("file"), "x");
    DataLocation blocked{Chosen, dir.File("file/d/zavoconv.INI"), dir.File("file/d/")};
    // "フォルダ %s を作成できません"
    EXPECT_EQ(ErrorOf<Exception>([&] { PrepareDataLocation(blocked); }),
              "\x83\x74\x83\x48\x83\x8b\x83\x5f " + dir.File("file/d/") +
                  " \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
    if (IsSuperUser()) return;  // root writes any folder
    if (!Sys::kHasFileModes) GTEST_SKIP() << "no folder modes here to close a folder with";
    std::filesystem::create_directory(dir.File("ro"));
    ASSERT_TRUE(SetMode(dir.File("ro"), 0500));
    DataLocation readOnly{Chosen, dir.File("ro/zavoconv.INI"), dir.File("ro/")};
    EXPECT_THROW(PrepareDataLocation(readOnly), Exception);
}

TEST(DisplayFolder, HomeShownAsTilde) {
    EXPECT_EQ(DisplayFolder("/home/u/.local/share/zavoconv/", "/home/u"),
              "~/.local/share/zavoconv/");
    EXPECT_EQ(DisplayFolder("/home/u", "/home/u"), "~");
    EXPECT_EQ(DisplayFolder("/home/user2/x/", "/home/u"), "/home/user2/x/");
    EXPECT_EQ(DisplayFolder("/opt/zavo/", "/"), "/opt/zavo/");
}

}  // namespace
