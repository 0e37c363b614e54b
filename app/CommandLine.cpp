#include "CommandLine.h"

#include <string_view>

#include "SjisText.h"
#include "Texts.h"
#include "Version.h"

namespace {

constexpr char kProgramName[] = "zavoconv";

// The commands a run can be, as bits so that an option can name several. Only the window
// exists yet; the command words of the scripted transfers join this table.
enum CommandBit : unsigned {
    kCmdWindow = 1u << 0,
};

struct CommandSpec {
    const char* Word;  // nullptr: the run without a command word
    CommandBit Bit;
};

const CommandSpec kCommands[] = {
    {nullptr, kCmdWindow},
};

constexpr unsigned kAllCommands = ~0u;

struct OptionSpec {
    const char* Long;                  // "--data-dir"
    const char* Short;                 // "-h", or nullptr
    const char* ValueName;             // "DIR" for an option with a value, nullptr for a flag
    unsigned Commands;                 // the commands it belongs to
    std::string CommandLine::*Target;  // where the value goes
    CommandAction Action;              // what a flag asks for
    const char* Help;                  // its line in the usage, Shift-JIS
};

const OptionSpec kOptions[] = {
    {"--data-dir", nullptr, "DIR", kCmdWindow, &CommandLine::DataDir, CommandAction::Window,
     Texts::kUsageDataDir},
    {"--help", "-h", nullptr, kAllCommands, nullptr, CommandAction::Help, Texts::kUsageHelp},
    {"--version", nullptr, nullptr, kAllCommands, nullptr, CommandAction::Version,
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

const OptionSpec* FindOption(std::string_view name, unsigned command) {
    for (const OptionSpec& option : kOptions) {
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
            // A command word would be taken here; none is known yet.
            return Wrong(result, arg, Texts::kUnexpectedArgument);
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
        if (const OptionSpec* option = FindOption(name, command)) {
            if (!option->ValueName) {
                if (inlineValue) return Wrong(result, arg, Texts::kUnknownOption);
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
    std::string text = std::string(Texts::kUsageLine) + "\n" + Texts::kUsagePurpose + "\n\n";
    for (const OptionSpec& option : kOptions) {
        std::string names = option.Short ? std::string(option.Short) + ", " : std::string();
        names += option.Long;
        if (option.ValueName) names += std::string(" ") + option.ValueName;
        constexpr size_t kColumn = 18;
        std::string line = "  " + names;
        line.append(line.size() < kColumn ? kColumn - line.size() : 1, ' ');
        text += line + option.Help + "\n";
    }
    return text;
}

std::string VersionText() {
    return std::string(kProgramName) + " " + kProgramVersion + "\n";
}

int RunConsoleAction(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    switch (commandLine.Action) {
        case CommandAction::Window:
            return -1;
        case CommandAction::Help:
            std::fputs(SjisToUtf8(UsageText()).c_str(), out);
            return std::fflush(out) == 0 ? kExitOk : 1;
        case CommandAction::Version:
            std::fputs(VersionText().c_str(), out);
            return std::fflush(out) == 0 ? kExitOk : 1;
        case CommandAction::Usage:
            break;
    }
    std::string message = std::string(kProgramName) + ": " + commandLine.Error + "\n" + UsageText();
    std::fputs(SjisToUtf8(message).c_str(), err);
    std::fflush(err);
    return kExitUsage;
}
