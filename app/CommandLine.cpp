#include "CommandLine.h"

#include <string_view>

#include "SysText.h"
#include "Texts.h"
#include "Version.h"

namespace {

constexpr char kProgramName[] = "zavoconv";

// The commands a run can be, as bits so that an option can name several.
enum CommandBit : unsigned {
    kCmdWindow = 1u << 0,
    kCmdCapture = 1u << 1,
    kCmdRestore = 1u << 2,
    kCmdList = 1u << 3,
};

struct CommandRow {
    const char* Word;  // nullptr: the run without a command word
    CommandBit Bit;
    ConsoleCommand Command;
    const char* Help;  // its line in the usage, Shift-JIS
};

const CommandRow kCommands[] = {
    {nullptr, kCmdWindow, ConsoleCommand::None, nullptr},
    {"capture", kCmdCapture, ConsoleCommand::Capture, Texts::kUsageCapture},
    {"restore", kCmdRestore, ConsoleCommand::Restore, Texts::kUsageRestore},
    {"list", kCmdList, ConsoleCommand::List, Texts::kUsageList},
};

constexpr unsigned kTransfers = kCmdCapture | kCmdRestore;

constexpr unsigned kAllCommands = ~0u;

struct OptionRow {
    const char* Long;                  // "--data-dir"
    const char* Short;                 // "-h", or nullptr
    const char* ValueName;             // "DIR" for an option with a value, nullptr for a flag
    unsigned Commands;                 // the commands it belongs to
    std::string CommandLine::*Target;  // where the value goes
    bool CommandLine::*Flag;           // the flag it sets, or the action below
    CommandAction Action;              // what a flag without Flag asks for
    const char* Help;                  // its line in the usage, Shift-JIS
};

// No option takes the password: arguments are visible to every user of the machine.
const OptionRow kOptions[] = {
    {"--host", nullptr, "HOST", kTransfers, &CommandLine::Host, nullptr, CommandAction::Console,
     Texts::kLabel1},
    {"--user", nullptr, "USER", kTransfers, &CommandLine::User, nullptr, CommandAction::Console,
     Texts::kLabel3},
    {"--proxy", nullptr, "PROXY", kTransfers, &CommandLine::Proxy, nullptr, CommandAction::Console,
     Texts::kLabel4},
    {"--proxy-port", nullptr, "N", kTransfers, &CommandLine::ProxyPort, nullptr,
     CommandAction::Console, Texts::kPortFieldName},
    {"--only", nullptr, "LIST", kCmdRestore, &CommandLine::Only, nullptr, CommandAction::Console,
     Texts::kUsageOnly},
    {"--dry-run", nullptr, nullptr, kCmdRestore, nullptr, &CommandLine::DryRun,
     CommandAction::Console, Texts::kUsageDryRun},
    {"--csv", nullptr, nullptr, kCmdList, nullptr, &CommandLine::Csv, CommandAction::Console,
     Texts::kUsageCsv},
    {"--yes", "-y", nullptr, kTransfers, nullptr, &CommandLine::Yes, CommandAction::Console,
     Texts::kUsageYes},
    {"--data-dir", nullptr, "DIR", kAllCommands, &CommandLine::DataDir, nullptr,
     CommandAction::Window, Texts::kUsageDataDir},
    {"--help", "-h", nullptr, kAllCommands, nullptr, nullptr, CommandAction::Help,
     Texts::kUsageHelp},
    {"--version", nullptr, nullptr, kAllCommands, nullptr, nullptr, CommandAction::Version,
     Texts::kUsageVersion},
};

// The toolkit's own options that a desktop or a user may pass; they go on to the application
// object untouched, so "zavoconv -platform offscreen" keeps working.
struct ToolkitOption {
    const char* Name;
    bool TakesValue;
};

const ToolkitOption kToolkitOptions[] = {
    {"-platform", true},    {"-platformtheme", true},   {"-plugin", true},
    {"-style", true},       {"-stylesheet", true},      {"-session", true},
    {"-display", true},     {"-qwindowgeometry", true}, {"-qwindowtitle", true},
    {"-qwindowicon", true}, {"-reverse", false},
};

CommandLine Wrong(CommandLine commandLine, const std::string& what, const char* text) {
    commandLine.Action = CommandAction::Usage;
    commandLine.Error = what + ": " + text;
    return commandLine;
}

const OptionRow* FindOption(std::string_view name, unsigned command) {
    for (const OptionRow& option : kOptions) {
        if (!(option.Commands & command)) continue;
        if (name == option.Long || (option.Short && name == option.Short)) return &option;
    }
    return nullptr;
}

const ToolkitOption* FindToolkitOption(std::string_view name) {
    for (const ToolkitOption& option : kToolkitOptions)
        if (name == option.Name) return &option;
    return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    result.ToolkitArgs.push_back(args.empty() ? std::string(kProgramName) : args[0]);
    unsigned command = kCommands[0].Bit;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            // One command word, before any other plain argument.
            const CommandRow* word = nullptr;
            for (const CommandRow& c : kCommands)
                if (c.Word && arg == c.Word) word = &c;
            if (optionsEnded || command != kCmdWindow || word == nullptr)
                return Wrong(result, arg, Texts::kUnexpectedArgument);
            command = word->Bit;
            result.Command = word->Command;
            result.Action = CommandAction::Console;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (arg.compare(0, 2, "--") == 0) {
            size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
                inlineValue = true;
            }
        }
        if (const OptionRow* option = FindOption(name, command)) {
            if (!option->ValueName) {
                if (inlineValue) return Wrong(result, arg, Texts::kUnknownOption);
                if (option->Flag) {
                    result.*(option->Flag) = true;
                    continue;
                }
                result.Action = option->Action;
                return result;
            }
            if (!inlineValue) {
                if (i + 1 >= args.size()) return Wrong(result, name, Texts::kOptionNeedsValue);
                value = args[++i];
            }
            if (value.empty()) return Wrong(result, name, Texts::kOptionNeedsValue);
            result.*(option->Target) = value;
            continue;
        }
        if (const ToolkitOption* option = FindToolkitOption(arg); option && command == kCmdWindow) {
            result.ToolkitArgs.push_back(arg);
            if (option->TakesValue) {
                if (i + 1 >= args.size()) return Wrong(result, arg, Texts::kOptionNeedsValue);
                result.ToolkitArgs.push_back(args[++i]);
            }
            continue;
        }
        return Wrong(result, name, Texts::kUnknownOption);
    }
    return result;
}

std::string UsageText() {
    constexpr size_t kColumn = 20;
    auto row = [](std::string names, const char* help) {
        std::string line = "  " + names;
        line.append(line.size() < kColumn ? kColumn - line.size() : 1, ' ');
        return line + help + "\n";
    };
    std::string text = std::string(Texts::kUsageLine) + "\n" + Texts::kUsagePurpose + "\n\n";
    text += std::string(Texts::kUsageCommands) + "\n";
    for (const CommandRow& command : kCommands)
        if (command.Word) text += row(command.Word, command.Help);
    text += "\n" + std::string(Texts::kUsageOptions) + "\n";
    for (const OptionRow& option : kOptions) {
        std::string names = option.Short ? std::string(option.Short) + ", " : std::string();
        names += option.Long;
        if (option.ValueName) names += std::string(" ") + option.ValueName;
        std::string words;
        for (const CommandRow& command : kCommands)
            if (command.Word && (option.Commands & command.Bit) && option.Commands != kAllCommands)
                words += (words.empty() ? "" : ", ") + std::string(command.Word);
        text += row(names, option.Help);
        if (!words.empty()) text.insert(text.size() - 1, " [" + words + "]");
    }
    return text + "\n" + Texts::kUsagePassword + "\n";
}

std::string VersionText() {
    return std::string(kProgramName) + " " + kProgramVersion + "\n";
}

int RunConsoleAction(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    switch (commandLine.Action) {
        case CommandAction::Window:
        case CommandAction::Console:
            return -1;
        case CommandAction::Help:
            std::fputs(Sys::SjisToUtf8(UsageText()).c_str(), out);
            return std::fflush(out) == 0 ? kExitOk : 1;
        case CommandAction::Version:
            std::fputs(VersionText().c_str(), out);
            return std::fflush(out) == 0 ? kExitOk : 1;
        case CommandAction::Usage:
            break;
    }
    std::string message = std::string(kProgramName) + ": " + commandLine.Error + "\n" + UsageText();
    std::fputs(Sys::SjisToUtf8(message).c_str(), err);
    std::fflush(err);
    return kExitUsage;
}
