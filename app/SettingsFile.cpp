#include "SettingsFile.h"

std::string SettingsPathFor(const std::string& programPath) {
    size_t slash = programPath.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = programPath.rfind('.');
    std::string base =
        dot == std::string::npos || dot <= nameStart ? programPath : programPath.substr(0, dot);
    // The command line beside the Windows window program (zavoconv-cli.exe) keeps the window's
    // settings file, not one of its own.
    const std::string cli = "-cli";
    if (base.size() - nameStart > cli.size() &&
        base.compare(base.size() - cli.size(), cli.size(), cli) == 0)
        base.resize(base.size() - cli.size());
    return base + Texts::kIniExtension;
}

std::string DirectoryWithSeparator(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

void LoadConnectionSettings(const TIniFile& ini, ConnectionSettings& s) {
    s.Host = ini.ReadString(Texts::kIniSection, Texts::kIniKeyHost, Texts::kDefaultHost);
    s.User = ini.ReadString(Texts::kIniSection, Texts::kIniKeyUser, "");
    s.Password = ini.ReadString(Texts::kIniSection, Texts::kIniKeyPassword, "");
    s.Proxy = ini.ReadString(Texts::kIniSection, Texts::kIniKeyProxy, "");
    s.ProxyPort = ini.ReadString(Texts::kIniSection, Texts::kIniKeyProxyPort, "");
}

void SaveConnectionSettings(TIniFile& ini, const ConnectionSettings& s) {
    ini.WriteStrings(Texts::kIniSection,
                     {{Texts::kIniKeyHost, s.Host},
                      {Texts::kIniKeyUser, s.User},
                      {Texts::kIniKeyPassword, s.Password},
                      {Texts::kIniKeyProxy, s.Proxy},
                      {Texts::kIniKeyProxyPort, s.ProxyPort}},
                     /*ownerOnly=*/!s.Password.empty());
}
