#include "ConsoleTransfer.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <vector>

#include "DataLocation.h"
#include "HttpMessage.h"
#include "IniFile.h"
#include "ProgramLocation.h"
#include "ReservationTable.h"
#include "RestorePlan.h"
#include "RestoreReport.h"
#include "SavedSet.h"
#include "SettingsFile.h"
#include "SysConsole.h"
#include "SysPath.h"
#include "SysText.h"
#include "SysUtils.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace {

constexpr char kProgramName[] = "zavoconv";

void Print(std::FILE* stream, const std::string& sjis) {
    std::fputs(Sys::SjisToUtf8(sjis).c_str(), stream);
    std::fflush(stream);
}

// A message text's LF CR breaks as a terminal expects them.
std::string Lines(const std::string& sjis) {
    std::string text;
    for (size_t i = 0; i < sjis.size(); ++i) {
        text += sjis[i];
        // The boxes' LF CR is one line end on a terminal: the CR would return the cursor to
        // the start of the next line's text and hide nothing, but a pipe would keep it.
        if (sjis[i] == '\n' && i + 1 < sjis.size() && sjis[i + 1] == '\r') ++i;
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

int Usage(std::FILE* err, const std::string& what, const char* text) {
    Print(err, std::string(kProgramName) + ": " + what + ": " + text + "\n");
    return kExitUsage;
}

// The saved reservations as the viewer's table, or as CSV. In Shift-JIS a character's bytes
// are its width on a terminal (a full-width character is two bytes, a half-width one one), so
// the columns line up by padding the bytes.
int RunList(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    std::string programDir;
    try {
        const std::string program = Sys::ProgramFilePath();
        if (program.empty()) throw Exception(FileOpenErrorMessage(Sys::ProgramFileSource()));
        const DataLocation location = LocateData(program, commandLine.DataDir);
        // Listing creates nothing: a folder that is not there holds no reservation.
        programDir = location.DataDir;
    } catch (const Exception& e) {
        Print(err, std::string(kProgramName) + ": " + e.Message + "\n");
        return kExitFailure;
    }
    const std::vector<ReservationRow> rows = ReadReservationTable(programDir);
    if (commandLine.Csv) {
        std::fputs(ReservationCsv(rows).c_str(), out);
        return std::fflush(out) == 0 ? kExitOk : kExitFailure;
    }
    // The plan's notes beside the number: dates gone by and overlaps, as the restore sees them.
    const RestorePlan plan = MakeRestorePlan(rows, SavedSetFacts(programDir), PlanChoice());
    std::vector<std::vector<std::string>> table(1);
    for (ReservationColumn column : kReservationColumns) {
        table[0].push_back(ReservationHeading(column));
        if (column == ReservationColumn::Number) table[0].push_back(Texts::kColPlan);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        table.emplace_back();
        for (ReservationColumn column : kReservationColumns) {
            table.back().push_back(ReservationCell(rows[r], column));
            if (column == ReservationColumn::Number) table.back().push_back(PlanNote(plan.Rows[r]));
        }
    }
    Print(out, ReservationSummary(rows) + "\n" + AlignColumns(table));
    return kExitOk;
}

}  // namespace

ConsoleView::ConsoleView(std::FILE* out, std::FILE* err, bool yes)
    : out_(out), err_(err), yes_(yes), terminal_(Sys::IsTerminal(err)) {}

void ConsoleView::EndStatusLine() {
    if (!statusOpen_) return;
    std::fputc('\n', err_);
    statusOpen_ = false;
}

void ConsoleView::SetStatus(const std::string& sjis) {
    if (sjis.empty()) {
        EndStatusLine();
        return;
    }
    // Off a terminal, one line per page: the page's "parsing" step adds nothing to a log.
    const std::string parsing = Texts::kStatusParsing;
    if (!terminal_ && sjis.size() >= parsing.size() &&
        sjis.compare(sjis.size() - parsing.size(), parsing.size(), parsing) == 0)
        return;
    // The page (or reservation) under way, counted from 1.
    std::string line;
    if (total_ > 0)
        line =
            "[" + std::to_string(std::min(done_ + 1, total_)) + "/" + std::to_string(total_) + "] ";
    line += sjis;
    if (terminal_) {
        // One line that keeps its place: carriage return, clear to the end, the new text.
        Print(err_, "\r\x1b[K" + line);
        statusOpen_ = true;
    } else {
        Print(err_, line + "\n");
    }
}

void ConsoleView::SetProgress(int done, int total) {
    done_ = done;
    total_ = total;
}

void ConsoleView::ShowMessage(MessageKind kind, const std::string& sjis) {
    EndStatusLine();
    if (kind == MessageKind::Information) {
        SawInformation = true;
        Print(out_, Lines(sjis));
    } else {
        SawFailure = true;
        Print(err_, Lines(sjis));
    }
}

bool ConsoleView::Ask(const std::string& sjis) {
    EndStatusLine();
    Print(err_, Lines(sjis));
    if (!yes_) {
        Declined = true;
        Print(err_, std::string(Texts::kAnsweredNo) + "\n");
    }
    return yes_;
}

bool ConsoleView::StopRequested() {
    return Sys::InterruptRequested();
}

void ConsoleView::ShowPlan(const RestorePlan& plan, bool dryRun) {
    EndStatusLine();
    if (dryRun) {
        SawInformation = true;
        Print(out_, PlanText(plan));
        return;
    }
    const std::string leftOut = PlanText(plan, /*leftOutOnly=*/true);
    if (!leftOut.empty()) Print(err_, std::string(Texts::kSkippedHead) + "\n" + leftOut);
}

bool ParseOnlyList(const std::string& text, std::set<int>& fileNumbers) {
    fileNumbers.clear();
    size_t i = 0;
    auto number = [&](int& value) {
        size_t start = i;
        value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + (text[i++] - '0');
        return i > start && value >= 1 && value <= Texts::kMaxReservations;
    };
    while (true) {
        int first = 0, last = 0;
        if (!number(first)) return false;
        last = first;
        if (i < text.size() && text[i] == '-') {
            ++i;
            if (!number(last) || last < first) return false;
        }
        for (int n = first; n <= last; ++n) fileNumbers.insert(n - 1);
        if (i == text.size()) return true;
        if (text[i] != ',') return false;
        ++i;
    }
}

int RunConsoleCommand(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    // Everything the user typed is checked before any file or folder is touched.
    std::set<int> only;
    if (!commandLine.Only.empty() && !ParseOnlyList(commandLine.Only, only))
        return Usage(err, "--only", Texts::kOnlyMalformed);
    if (HasControlByte(commandLine.Host)) return Usage(err, "--host", Texts::kHostHasControl);

    if (commandLine.Command == ConsoleCommand::List) return RunList(commandLine, out, err);

    TransferSession session;
    try {
        const std::string program = Sys::ProgramFilePath();
        if (program.empty()) throw Exception(FileOpenErrorMessage(Sys::ProgramFileSource()));
        const DataLocation location = LocateData(program, commandLine.DataDir);
        PrepareDataLocation(location);
        ApplyDataLocation(location, session);
        // Read only: a scripted run never rewrites the user's settings.
        LoadConnectionSettings(TIniFile(location.SettingsPath), session.Settings);
    } catch (const Exception& e) {
        Print(err, std::string(kProgramName) + ": " + e.Message + "\n");
        return kExitFailure;
    }

    ConnectionSettings& settings = session.Settings;
    if (!commandLine.Host.empty()) settings.Host = commandLine.Host;
    if (!commandLine.User.empty()) settings.User = commandLine.User;
    if (!commandLine.Proxy.empty()) settings.Proxy = commandLine.Proxy;
    if (!commandLine.ProxyPort.empty()) settings.ProxyPort = commandLine.ProxyPort;
    if (const auto password = Sys::GetEnv("ZAVOCONV_PASSWORD")) settings.Password = *password;
    if (settings.Host.empty()) return Usage(err, "--host", Texts::kHostMissing);
    if (HasControlByte(settings.Host)) return Usage(err, "--host", Texts::kHostHasControl);
    // The window shows an empty report when there is nothing to enter; a script would take
    // that silence for a restore done, after an upgrade that emptied the recorder.
    const std::optional<std::set<int>> picked =
        only.empty() ? std::nullopt : std::optional<std::set<int>>(only);
    if (commandLine.Command == ConsoleCommand::Restore) {
        try {
            SavedSet::Recover(session.ProgramDir);
        } catch (const Exception& e) {
            Print(err, std::string(kProgramName) + ": " + e.Message + "\n");
            return kExitFailure;
        }
        if (ReservationsToRestore(session.ProgramDir, picked).empty()) {
            Print(err, std::string(kProgramName) + ": " + Texts::kNothingToRestore + "\n" +
                           Texts::kDataFolderCaption);
            // The folder's name as the file system has it, not taken for Shift-JIS.
            std::fprintf(err, "%s\n", Sys::ForDisplay(session.ProgramDir).c_str());
            return kExitFailure;
        }
    }

    TransferFrame frame(session);
    ConsoleView view(out, err, commandLine.Yes);
    Sys::StartCatchingInterrupt();
    if (commandLine.Command == ConsoleCommand::Capture) {
        frame.RunCapture(view);
    } else {
        // Numbers named outright are sent as named; without them the plan leaves out what
        // has gone by and what will not fit.
        RestoreChoice choice;
        choice.Choice.Selection = picked;
        choice.Choice.Forced = picked.has_value();
        choice.DryRun = commandLine.DryRun;
        frame.RunRestore(view, choice);
    }
    const bool stopped = Sys::InterruptRequested();
    Sys::StopCatchingInterrupt();
    if (session.LoginRefused) return kExitLoginRefused;
    // A stopped transfer did not do its job, however cleanly it ended.
    if (stopped) return kExitFailure;
    if (view.SawInformation && !view.SawFailure && !view.Declined) return kExitOk;
    return kExitFailure;
}

int RunWithoutWindow(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    if (commandLine.Action == CommandAction::Console)
        return RunConsoleCommand(commandLine, out, err);
    return RunConsoleAction(commandLine, out, err);
}
