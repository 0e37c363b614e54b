#include "Restore.h"

#include <filesystem>

#include "BoxText.h"
#include "EntryForm.h"
#include "PageScan.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferRun.h"

namespace {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

}  // namespace

void RestoreSequence(TransferRun& run) {
    TransferSession& ctx = run.Session;
    THttpClient& http = ctx.HttpClient1;
    // The GETs; one that does not arrive ends the restore with its failure box.
    auto fetch = [&run](const std::string& path) {
        return run.FetchOrFail(run.Url(path), Texts::kRestoreCommFailed);
    };
    std::string report;
    // Both are kept from one reservation to the next: the list of the first reservation is
    // read before any segment is known.
    std::string segment;
    std::string slot;

    for (int number = 0; number < Texts::kMaxReservations; ++number) {
        const std::string page = ctx.ProgramDir + Texts::ReservationPageFile(number);
        if (!FileExists(page)) continue;

        run.WorkList.SetText(BuildEntryFormBody(page));
        // The post-data file is sent right away and rewritten for the next reservation;
        // waiting for the disk would only slow every entry down.
        run.WorkList.SaveToFile(ctx.PostDataPath, /*flushToDisk=*/false);

        if (!fetch("/program/" + segment + "/program.htm")) return;
        run.Status(Texts::kStatusParsing);
        const std::string list = http.Body;
        // A link the scan cannot read ends the restore without a word or a report.
        if (!ScanReservationLinks(list, slot)) return;
        if (ListIsFull(slot, list)) {
            run.View.ShowMessage(MessageKind::Error, Texts::kRestoreFull);
            return;
        }

        if (!fetch("/program/b_prgrm.htm")) return;
        run.Status(Texts::kStatusParsing);
        FindProgramSegment(http.Body, segment);

        if (!fetch("/program/" + segment + "/b_proginfo.htm?" + slot)) {
            return;
        }

        ctx.RequestSucceeded = false;
        if (!run.Fetch(true, run.Url("/program/" + segment + "/entry.htm"),
                       Texts::kStatusSending)) {
            run.View.ShowMessage(MessageKind::Confirmation, Texts::kRestoreEntryFailed);
            return;
        }
        run.Status(Texts::kStatusParsing);
        report += TwoDigits(number) + Texts::kReportSeparator +
                  ClipForBox(ExtractEntryAnswer(http.Body)) + Texts::kLfCr;
    }
    run.View.ShowMessage(MessageKind::Information, report);
}
