// The commands that do the main job without a window or a display: capture, restore and list,
// on the same logic the windows use. Progress goes to standard error, the report and the table
// to standard output, and the exit status says what happened.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "CommandLine.h"
#include "TransferView.h"

// A transfer view on the two standard streams. Status lines go to err, one per page (the page
// under way, counted from 1, of the total once it is known; a pipe gets no "parsing" lines),
// and on a terminal they overwrite each other. Information boxes (the completion text, the
// restore's report, a dry run's plan) go to out, errors to err. A question is printed to err and
// answered Yes only with --yes; Ctrl-C asks the transfer to stop at its next safe point (a second
// one ends the program).
class ConsoleView : public TransferView {
  public:
    ConsoleView(std::FILE* out, std::FILE* err, bool yes);

    void SetStatus(const std::string& sjis) override;
    void SetBusyCursor(bool) override {}
    void ShowMessage(MessageKind kind, const std::string& sjis) override;
    bool Ask(const std::string& sjis) override;
    void SetProgress(int done, int total) override;
    bool StopRequested() override;
    // A dry run's plan goes to out, as its answer; before a restore, the reservations the plan
    // leaves out go to err.
    void ShowPlan(const RestorePlan& plan, bool dryRun) override;

    // What the transfer showed: an information box, an error (or the entry failure) box, a
    // question answered No.
    bool SawInformation = false;
    bool SawFailure = false;
    bool Declined = false;

  private:
    void EndStatusLine();

    std::FILE* out_;
    std::FILE* err_;
    bool yes_;
    bool terminal_;
    bool statusOpen_ = false;
    int done_ = 0, total_ = 0;
};

// Reads an --only list ("1,3,5-9", numbers 1 to 32 as the viewer counts) into reservation
// file numbers (0 to 31). False for an empty, malformed or out-of-range list.
bool ParseOnlyList(const std::string& text, std::set<int>& fileNumbers);

// Runs commandLine.Command (capture, restore or list) and returns the exit status: 0 done, 1 a
// transfer failure (or a question answered No), 2 wrong usage, 3 the recorder refused the user
// name or password. Wrong usage and an unusable data folder touch no file.
int RunConsoleCommand(const CommandLine& commandLine, std::FILE* out, std::FILE* err);

// Everything a run does without a window: a command (RunConsoleCommand), --help, --version or
// wrong usage (RunConsoleAction). Returns the exit status, or -1 when the window should open.
int RunWithoutWindow(const CommandLine& commandLine, std::FILE* out, std::FILE* err);
