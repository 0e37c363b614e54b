// Where the connection settings live and how they map onto the settings file.
#pragma once

#include <string>

#include "ConnectionSettings.h"
#include "IniFile.h"
#include "Texts.h"

// The program file's path with its extension replaced by ".INI", or ".INI" appended when the
// file name has none ("/opt/zavo/zavoconv" -> "/opt/zavo/zavoconv.INI"). A dot that starts
// the file name or sits in a directory name is no extension. The command line beside the
// Windows window program shares its file ("C:/z/zavoconv-cli.exe" -> "C:/z/zavoconv.INI").
std::string SettingsPathFor(const std::string& programPath);

// The directory part of a path, including its trailing '/'; "./" for a bare name.
std::string DirectoryWithSeparator(const std::string& path);

// Reads the five connection settings from section "RD", in the order RDIP, RDUSER, RDPASS,
// RDPROXY, RDPORT, each with its default (the recorder's factory host name for RDIP, empty
// for the rest).
void LoadConnectionSettings(const TIniFile& ini, ConnectionSettings& s);

// Writes all five keys, in the same order, in one replacement of the file; a file that
// receives a password becomes readable by its owner only. Raises
// EIniFileError "%s に書き込めません" when the file cannot be written.
void SaveConnectionSettings(TIniFile& ini, const ConnectionSettings& s);
