#include "Capture.h"

#include <utility>

#include "BoxText.h"
#include "PageScan.h"
#include "RestoreReport.h"
#include "SavedSet.h"
#include "SysUtils.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferRun.h"

namespace {

// Stages the last answer's body, with CR LF line ends, as the named page file. The body moves
// into the work list (the next fetch empties it anyway): a copy would cost one page more, and
// so would the CR LF text, which is streamed into the file instead (for a page of bare line
// feeds it is twice the page).
void StageBody(TransferRun& run, SavedSetStaging& staging, const std::string& fileName) {
    run.WorkList.SetText(std::move(run.Session.HttpClient1.Body));
    staging.Save(fileName, run.WorkList);
}

}  // namespace

void CaptureSequence(TransferRun& run) {
    THttpClient& http = run.Session.HttpClient1;
    // The new pages wait in the staging folder until the whole capture has arrived; on every
    // other way out, a stop or an error included, the folder goes and the saved set stays.
    SavedSetStaging staging(run.Session.ProgramDir);
    int fetched = 0;
    int pages = 0;
    // Every page by GET; one that does not arrive ends the capture with its failure box.
    auto fetch = [&](const std::string& path) {
        if (!run.FetchOrFail(run.Url(path), Texts::kCaptureFailed)) return false;
        ++fetched;
        if (pages > 0) run.View.SetProgress(fetched, pages);
        return true;
    };

    if (!fetch("/program/b_prgrm.htm")) return;
    run.Status(Texts::kStatusParsing);
    std::string segment;
    FindProgramSegment(http.Body, segment);

    const std::string base = "/program/" + segment;
    if (!fetch(base + "/program.htm")) return;
    run.Status(Texts::kStatusParsing);
    const std::string list = http.Body;
    StageBody(run, staging, Texts::kListPageFile);
    // When the list was read: a restore later tells by it which one-off dates have gone by.
    staging.Save(Texts::kCaptureTimeFile, SavedSet::CaptureTimeText(LocalTimestamp()));

    std::string slot;
    // A link the scan cannot read ends the capture without a word.
    if (!ScanReservationLinks(list, slot)) return;
    int count = StrToInt(slot);
    // The list counts on a trailing new-reservation link whose number is one past the
    // last reservation. A full recorder (32 reservations) shows no such link: its last
    // link, 31, is a stored reservation, which would otherwise be lost.
    if (ListIsFull(slot, list)) count = 32;
    pages = 2 * (count > 0 ? count : 0) + 4;
    run.View.SetProgress(fetched, pages);

    for (int i = 0; i < count; ++i) {
        if (!fetch(base + "/b_proginfo.htm?" + std::to_string(i))) return;
        if (!fetch(base + "/proginfo.htm")) return;
        StageBody(run, staging, Texts::ReservationPageFile(i));
    }

    if (!fetch("/setup/setup.htm")) return;
    run.WorkList.SetText(http.Body);
    // The saved setup page shows the recorder's passwords in clear when opened.
    run.WorkList.SetText(SjisReplaceAll(run.WorkList.Text(), "type=\"password\"", "type=\"text\""));
    staging.Save(Texts::kSetupPageFile, run.WorkList);

    if (!fetch("/setup/ch_set.htm")) return;
    StageBody(run, staging, Texts::kChannelPageFile);

    // A recorder holding fewer reservations (after the upgrade: none) would otherwise wipe
    // the user's copy without a word.
    // A stop pressed while the last page was on its way still counts: nothing is replaced.
    if (run.View.StopRequested()) throw EStopped();
    const int captured = staging.ReservationCount();
    const int saved = SavedSet::ReservationCount(run.Session.ProgramDir);
    if (captured < saved && !run.View.Ask(Texts::SmallerCaptureQuestion(captured, saved))) return;
    staging.Commit();

    run.Finish(MessageKind::Information, Texts::CaptureDoneMessage(captured));
}
