// The program's command line. It is read before the application object exists, so --help,
// --version and a wrong option are answered without a display.
//
// The parser is table-driven: a command word selects what the run does (none: the window),
// and every option lists the commands it belongs to. A new command is one row in the command
// table plus its options' rows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class CommandAction {
    Window,   // open the main window
    Help,     // the usage on standard output, exit 0
    Version,  // the version on standard output, exit 0
    Usage,    // wrong usage: the error and the usage on standard error, exit 2
    Console,  // a command without a window: capture, restore or list
};

// The commands that run without a window.
enum class ConsoleCommand { None, Capture, Restore, List };

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a transfer failed, or a question was answered No
inline constexpr int kExitUsage = 2;
inline constexpr int kExitLoginRefused = 3;  // the recorder refused the user name or password

struct CommandLine {
    CommandAction Action = CommandAction::Window;
    // --data-dir DIR: the folder for the saved pages (and the settings file, unless one lies
    // beside the program); empty when not given.
    std::string DataDir;
    // The command word; None for the window.
    ConsoleCommand Command = ConsoleCommand::None;
    // --host, --user, --proxy, --proxy-port: empty when not given (the parser refuses an
    // empty value), so the settings file fills them in.
    std::string Host, User, Proxy, ProxyPort;
    // --only LIST of restore: "1,3,5-9", checked by the command itself.
    std::string Only;
    // --csv of list; --yes answers the questions a window would ask with Yes; --dry-run of
    // restore reads the RD-X4EX's list and prints the plan, sending nothing.
    bool Csv = false, Yes = false, DryRun = false;
    // For CommandAction::Usage: what was wrong, Shift-JIS ("--foo: 不明なオプションです").
    std::string Error;
    // The program name followed by the toolkit's own options (-platform NAME, -style NAME, ...)
    // in their order, for the application object.
    std::vector<std::string> ToolkitArgs;
};

// Reads the arguments, args[0] being the program. The first argument that is not an option
// may be a command word (capture, restore, list); options count only for their commands. Long
// options take their value as the next argument or after '=' ("--data-dir DIR",
// "--data-dir=DIR"); "--" ends the options. The first of --help, --version or a mistake, from
// the left, decides the action.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage, Shift-JIS, one '\n' after every line; lists only the options that work.
std::string UsageText();
// "zavoconv 2.0.0\n".
std::string VersionText();

// Answers Help, Version and Usage on the given streams (converted for the terminal) and
// returns the exit status; returns -1 for Window, which the caller runs itself.
int RunConsoleAction(const CommandLine& commandLine, std::FILE* out, std::FILE* err);
