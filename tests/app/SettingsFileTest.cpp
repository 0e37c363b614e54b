#include <gtest/gtest.h>

#include "SettingsFile.h"
#include "SysFile.h"
#include "SysPath.h"
#include "TestFiles.h"
#include "TestSystem.h"

namespace {

using namespace testsupport;

TEST(SettingsPath, ExtensionReplacedOrAppended) {
    const struct {
        const char *program, *settings, *directory;
    } cases[] = {
        {"/opt/zavo/zavoconv", "/opt/zavo/zavoconv.INI", "/opt/zavo/"},
        {"/opt/zavo/ZAVOCONV.EXE", "/opt/zavo/ZAVOCONV.INI", "/opt/zavo/"},
        {"/opt/zavo.d/zavoconv", "/opt/zavo.d/zavoconv.INI", "/opt/zavo.d/"},
        {"/opt/a.tar.gz", "/opt/a.tar.INI", "/opt/"},
        {"/home/u/.zavo", "/home/u/.zavo.INI", "/home/u/"},
        {"/zavoconv", "/zavoconv.INI", "/"},
        {"zavoconv", "zavoconv.INI", "./"},
        {"C:/zavo/zavoconv-cli.exe", "C:/zavo/zavoconv.INI", "C:/zavo/"},
        {"/opt/-cli", "/opt/-cli.INI", "/opt/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsPathFor(c.program), c.settings);
        EXPECT_EQ(DirectoryWithSeparator(c.settings), c.directory);
    }
}

TEST(SettingsPath, ProgramFileIsThisTestProgram) {
    std::string path = Sys::ProgramFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(Sys::IsAbsolutePath(path)) << path;
    EXPECT_NE(path.find("app_settings_tests"), std::string::npos);
}

using Five = ConnectionSettings;

std::vector<std::string> Fields(const Five& s) {
    return {s.Host, s.User, s.Password, s.Proxy, s.ProxyPort};
}

// No file gives the defaults; saving them writes the five keys in order, for the owner only.
TEST(ConnectionSettingsFile, NoFileGivesDefaultsAndSaveWritesFiveKeysInOrder) {
    TempDir dir;
    TIniFile ini(dir.File("zavoconv.INI"));
    Five s{"a", "b", "c", "d", "e"};
    LoadConnectionSettings(ini, s);
    EXPECT_EQ(Fields(s), (std::vector<std::string>{"rd-x4", "", "", "", ""}));
    SaveConnectionSettings(ini, s);
    EXPECT_EQ(ReadBytes(dir.File("zavoconv.INI")),
              "[RD]\r\nRDIP=rd-x4\r\nRDUSER=\r\nRDPASS=\r\nRDPROXY=\r\nRDPORT=\r\n");
    EXPECT_FILE_MODE(dir.File("zavoconv.INI"), 0600u);
}

// A file that receives a password is narrowed to its owner; without one its mode stays,
// and no mode is ever widened.
TEST(ConnectionSettingsFile, PasswordNarrowsTheFileToItsOwner) {
    if (!Sys::kHasFileModes) GTEST_SKIP() << "Windows files have no modes to narrow";
    struct {
        unsigned before;
        const char* password;
        unsigned after;
    } const kCases[] = {{0644, "pw", 0600},
                        {0664, "pw", 0600},
                        {0400, "pw", 0400},
                        {0644, "", 0644},
                        {0600, "pw", 0600}};
    for (const auto& c : kCases) {
        TempDir dir;
        WriteBytes(dir.File("z.INI"), "[RD]\r\nRDIP=old\r\n");
        ASSERT_TRUE(SetMode(dir.File("z.INI"), c.before));
        TIniFile ini(dir.File("z.INI"));
        SaveConnectionSettings(ini, Five{"h", "u", c.password, "", ""});
        EXPECT_EQ(ModeOf(dir.File("z.INI")), c.after) << std::oct << c.before << " " << c.password;
    }
}

TEST(ConnectionSettingsFile, RoundTripKeepsOtherSections) {
    TempDir dir;
    WriteBytes(dir.File("z.INI"), "[Window]\r\nLeft=10\r\n\r\n[RD]\r\nRDIP=old\r\nNOTE=mine\r\n");
    TIniFile ini(dir.File("z.INI"));
    Five s{"192.168.0.10:8080", "\x83\x86\x81\x5b\x83\x55", " p\x97\x5c ", "proxy.lan", "8080"};
    SaveConnectionSettings(ini, s);
    Five back;
    LoadConnectionSettings(TIniFile(dir.File("z.INI")), back);
    EXPECT_EQ(Fields(back), Fields(s));
    EXPECT_EQ(ReadBytes(dir.File("z.INI")),
              "[Window]\r\nLeft=10\r\n\r\n[RD]\r\nRDIP=192.168.0.10:8080\r\nNOTE=mine\r\n"
              "RDUSER=\x83\x86\x81\x5b\x83\x55\r\nRDPASS= p\x97\x5c \r\nRDPROXY=proxy.lan\r\n"
              "RDPORT=8080\r\n");
}

}  // namespace
