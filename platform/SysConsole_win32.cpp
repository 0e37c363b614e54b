#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>

#include "SysConsole.h"

namespace Sys {

namespace {

std::atomic<bool> interrupted{false};
HANDLE endRequested = nullptr;

BOOL WINAPI OnInterrupt(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    // The first one is ours; a second one goes on to the system, which ends the program.
    return interrupted.exchange(true) ? FALSE : TRUE;
}

BOOL WINAPI OnEndRequest(DWORD) {
    if (endRequested) ::SetEvent(endRequested);
    return TRUE;
}

HANDLE ConsoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

}  // namespace

void PrepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
    for (std::FILE* stream : {stdout, stderr}) {
        // Bytes as they are: the CSV's CR LF, the UTF-8 text; no LF turned into CR LF.
        ::_setmode(::_fileno(stream), _O_BINARY);
        DWORD mode = 0;
        const HANDLE console = ConsoleOf(stream);
        if (::GetConsoleMode(console, &mode))
            ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

bool IsTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(ConsoleOf(stream), &mode) &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void StartCatchingInterrupt() {
    interrupted = false;
    ::SetConsoleCtrlHandler(OnInterrupt, TRUE);
}

void StopCatchingInterrupt() {
    ::SetConsoleCtrlHandler(OnInterrupt, FALSE);
}

bool InterruptRequested() {
    return interrupted;
}

void BlockEndRequests() {
    if (!endRequested) endRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnEndRequest, TRUE);
}

void WaitForEndRequest() {
    if (endRequested) ::WaitForSingleObject(endRequested, INFINITE);
}

}  // namespace Sys
