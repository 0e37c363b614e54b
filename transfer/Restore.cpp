#include "Restore.h"

#include <algorithm>
#include <vector>

#include "BoxText.h"
#include "EntryForm.h"
#include "PageScan.h"
#include "ReservationTable.h"
#include "RestoreReport.h"
#include "SavedSet.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferRun.h"

namespace {

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// The report kept beside the program: one block per restore that sent anything, also when a
// failure ended it (then with the failure's text as its last line).
class ReportFile {
  public:
    explicit ReportFile(TransferRun& run)
        : run_(run), path_(run.Session.ProgramDir + Texts::kRestoreReportFile) {}
    // Appends the block; the text to add to the report box when it could not be written.
    std::string Keep(const std::string& report) {
        if (AppendReportFile(path_, ReportBlock(LocalTimestamp(), run_.Host, report)))
            return std::string();
        return Texts::kReportFileFailed + path_;
    }

  private:
    TransferRun& run_;
    std::string path_;
};

}  // namespace

void RestoreSequence(TransferRun& run, const RestoreChoice& choice) {
    TransferSession& ctx = run.Session;
    THttpClient& http = ctx.HttpClient1;
    // The user's stop takes effect between reservations, never between an entry's pages.
    run.StopBeforeEachPage = false;
    // The GETs; one that does not arrive ends the restore with its failure box.
    auto fetch = [&run](const std::string& path) {
        return run.FetchOrFail(run.Url(path), Texts::kRestoreCommFailed);
    };
    // The report file keeps every answer whole; the box shows each clipped, since a broken
    // recorder's answer could be megabytes long.
    std::string report;
    std::string shown;
    ReportFile reportFile(run);
    // Ends the restore early: the box as ever, and the report so far kept in the file.
    auto fail = [&](MessageKind kind, const std::string& text) {
        reportFile.Keep(report + text + Texts::kLfCr);
        run.Finish(kind, text);
    };
    // Both are kept from one reservation to the next: the list of the first reservation is
    // read before any segment is known.
    std::string segment;
    std::string slot;

    // A capture that a crash cut short is finished (or undone) first, whichever program
    // front end runs the restore: it never reads a mix of two captures.
    SavedSet::Recover(ctx.ProgramDir);
    // A dry run shows the plan of every saved reservation, also when none is ticked.
    const std::vector<int> saved = ReservationsToRestore(
        ctx.ProgramDir, choice.DryRun ? std::nullopt : choice.Choice.Selection);
    if (saved.empty()) {
        run.Finish(MessageKind::Information, report);
        return;
    }
    if (!choice.DryRun) run.View.SetProgress(0, static_cast<int>(saved.size()));

    // What the recorder holds before: a second restore of the same set would enter every
    // reservation again, and what it holds leaves that much less room.
    try {
        if (!fetch("/program//program.htm")) return;
    } catch (const EStopped&) {
        // The user stopped waiting for the list: nothing was entered.
        if (!choice.DryRun) run.Finish(MessageKind::Information, StoppedLine(saved));
        return;
    }
    run.Status(Texts::kStatusParsing);
    std::string firstSlot;
    // A link the scan cannot read ends the restore here, as the first entry would.
    if (!ScanReservationLinks(http.Body, firstSlot)) return;
    const int before = CountReservations(http.Body);

    // Everything left out is named before anything is sent.
    const RestorePlan plan = MakeRestorePlan(ReadReservationTable(ctx.ProgramDir),
                                             SavedSetFacts(ctx.ProgramDir, before), choice.Choice);
    run.View.ShowPlan(plan, choice.DryRun);
    if (choice.DryRun) return;
    std::vector<int> numbers;
    for (const int number : plan.ToSend())
        if (std::find(saved.begin(), saved.end(), number) != saved.end()) numbers.push_back(number);
    const std::string leftOut = LeftOutLines(plan);
    if (before > 0 && !run.View.Ask(RepeatQuestion(before, NoRoomLine(plan)))) return;
    if (numbers.empty()) {
        // Nothing the recorder could take: said as a failure, since nothing was restored.
        const bool full = !NoRoomLine(plan).empty();
        const std::string first = full ? Texts::kRestoreFull : Texts::kNothingToSend;
        run.Finish(MessageKind::Error, leftOut.empty() ? first : first + Texts::kLfCr + leftOut);
        return;
    }
    const int total = static_cast<int>(numbers.size());
    if (numbers.size() != saved.size()) run.View.SetProgress(0, total);

    int entered = 0;
    bool stopped = false;
    try {
        for (const int number : numbers) {
            if (run.View.StopRequested()) {
                stopped = true;
                break;
            }
            const std::string page = ctx.ProgramDir + Texts::ReservationPageFile(number);
            run.WorkList.SetText(BuildEntryFormBody(page));
            // The post-data file is sent right away and rewritten for the next reservation;
            // waiting for the disk would only slow every entry down.
            run.WorkList.SaveToFile(ctx.PostDataPath, /*flushToDisk=*/false);

            if (!fetch("/program/" + segment + "/program.htm")) {
                reportFile.Keep(report + run.FailureMessage(Texts::kRestoreCommFailed));
                return;
            }
            run.Status(Texts::kStatusParsing);
            const std::string list = http.Body;
            // A link the scan cannot read ends the restore without a word or a report.
            if (!ScanReservationLinks(list, slot)) return;
            if (ListIsFull(slot, list)) {
                fail(MessageKind::Error, Texts::kRestoreFull);
                return;
            }

            if (!fetch("/program/b_prgrm.htm")) {
                reportFile.Keep(report + run.FailureMessage(Texts::kRestoreCommFailed));
                return;
            }
            run.Status(Texts::kStatusParsing);
            FindProgramSegment(http.Body, segment);

            if (!fetch("/program/" + segment + "/b_proginfo.htm?" + slot)) {
                reportFile.Keep(report + run.FailureMessage(Texts::kRestoreCommFailed));
                return;
            }

            ctx.RequestSucceeded = false;
            if (!run.Fetch(true, run.Url("/program/" + segment + "/entry.htm"),
                           Texts::kStatusSending)) {
                if (ctx.LoginRefused || ctx.AnswerTooLong) {
                    fail(MessageKind::Error, run.FailureMessage(Texts::kRestoreEntryFailed));
                } else {
                    fail(MessageKind::Confirmation, Texts::kRestoreEntryFailed);
                }
                return;
            }
            run.Status(Texts::kStatusParsing);
            const std::string answer = ExtractEntryAnswer(http.Body);
            report += TwoDigits(number) + Texts::kReportSeparator + answer + Texts::kLfCr;
            shown +=
                TwoDigits(number) + Texts::kReportSeparator + ClipForBox(answer) + Texts::kLfCr;
            ++entered;
            run.View.SetProgress(entered, total);
        }
    } catch (const EStopped&) {
        // A page of the current reservation did not arrive and the user stopped the retries:
        // that reservation was not posted.
        stopped = true;
    } catch (const Exception& e) {
        reportFile.Keep(report + e.Message + Texts::kLfCr + run.CurrentAddress);
        throw;
    }
    std::string closing;
    if (stopped) closing += StoppedLine(std::vector<int>(numbers.begin() + entered, numbers.end()));
    closing += leftOut;

    // What the recorder holds now, against what it held plus what it said it took.
    int now = -1;
    if (before >= 0) {
        try {
            if (run.Fetch(false, run.Url("/program/" + segment + "/program.htm"),
                          Texts::kStatusFetching)) {
                run.Status(Texts::kStatusParsing);
                now = CountReservations(http.Body);
            }
        } catch (const EStopped&) {
            // The list did not arrive and the user stopped waiting: the check says so.
        }
    }
    closing += CheckLine(before, entered, now);
    report += closing;
    shown += closing;
    const std::string keepFailure = reportFile.Keep(report);
    run.Finish(MessageKind::Information, keepFailure.empty() ? shown : shown + keepFailure);
}
