// The program without a window: the commands, --help and --version, on the same logic as the
// windowed program's command line. Started without a command it says where the window is (on
// Windows the window program beside it, when the build has one; otherwise that this build has
// none) and shows the usage.
#include <cstdio>

#include "CommandLine.h"
#include "ConsoleTransfer.h"
#include "SysConsole.h"
#include "SysPath.h"
#include "SysText.h"
#include "Texts.h"

int main(int argc, char* argv[]) {
    Sys::PrepareConsole();
    const CommandLine commandLine = ParseCommandLine(Sys::Arguments(argc, argv));
    if (commandLine.Action != CommandAction::Window)
        return RunWithoutWindow(commandLine, stdout, stderr);
#ifdef ZAVO_WINDOW_BESIDE
    const char* const noWindow = Texts::kWindowIsTheOtherProgram;
#else
    const char* const noWindow = Texts::kNoWindow;
#endif
    const std::string text = std::string("zavoconv: ") + noWindow + "\n" + UsageText();
    std::fputs(Sys::SjisToUtf8(text).c_str(), stderr);
    return kExitUsage;
}
