// The console of the command line: whether a stream is a terminal, UTF-8 output, Ctrl-C.
#pragma once

#include <cstdio>

namespace Sys {

// Sets the console up for UTF-8 output and line rewriting (Windows: the console output code
// page and its escape sequences; POSIX: nothing). Call once before printing.
void PrepareConsole();

// True when stream is a terminal that can rewrite its last line ("\r\x1b[K"); a Windows
// console without escape sequences counts as no terminal.
bool IsTerminal(std::FILE* stream);

// From now on the first Ctrl-C (Windows: Ctrl-C or Ctrl-Break) only raises the flag that
// InterruptRequested reads; a second one ends the program at once. StopCatchingInterrupt
// gives Ctrl-C back to the system; the flag keeps what it saw until the next start.
void StartCatchingInterrupt();
void StopCatchingInterrupt();
bool InterruptRequested();

// For a server that runs until it is told to end. BlockEndRequests, first thing in main
// before any thread starts, keeps Ctrl-C and the request to end (POSIX SIGINT and SIGTERM;
// Windows Ctrl-C, Ctrl-Break and the console closing) from ending the process at once;
// WaitForEndRequest then sleeps until one comes.
void BlockEndRequests();
void WaitForEndRequest();

}  // namespace Sys
