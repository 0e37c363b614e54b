#include "Capture.h"

#include "BoxText.h"
#include "PageScan.h"
#include "SysUtils.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferRun.h"

namespace {

// Fetches one page by GET; on failure shows the capture's failure box naming the address.
bool FetchOrFail(TransferRun& run, const std::string& url) {
    if (run.Fetch(false, url, Texts::kStatusFetching)) return true;
    run.View.ShowMessage(MessageKind::Error,
                         ClipForBox(run.CurrentAddress) + Texts::kLfCr + Texts::kCaptureFailed);
    return false;
}

// Saves the last answer's body, with CR LF line ends, as the named page file.
void SaveBody(TransferRun& run, const std::string& fileName) {
    run.WorkList.SetText(run.Context.HttpClient1.Body);
    run.WorkList.SaveToFile(run.Context.ProgramDir + fileName);
}

}  // namespace

void CaptureSequence(TransferRun& run) {
    THttpClient& http = run.Context.HttpClient1;

    if (!FetchOrFail(run, run.Url("/program/b_prgrm.htm"))) return;
    run.Status(Texts::kStatusParsing);
    std::string segment;
    FindProgramSegment(http.Body, segment);

    const std::string base = "/program/" + segment;
    if (!FetchOrFail(run, run.Url(base + "/program.htm"))) return;
    run.Status(Texts::kStatusParsing);
    const std::string list = http.Body;
    SaveBody(run, Texts::kListPageFile);

    std::string slot;
    // A link the scan cannot read ends the capture without a word; the list stays saved.
    if (!ScanReservationLinks(list, slot)) return;
    int count = StrToInt(slot);
    // The list counts on a trailing new-reservation link whose number is one past the
    // last reservation. A full recorder (32 reservations) shows no such link: its last
    // link, 31, is a stored reservation, which would otherwise be lost.
    if (slot == "31" && SjisPos(Texts::kNewReservationMark, list) == 0) count = 32;

    for (int i = 0; i < count; ++i) {
        if (!FetchOrFail(run, run.Url(base + "/b_proginfo.htm?" + std::to_string(i)))) return;
        if (!FetchOrFail(run, run.Url(base + "/proginfo.htm"))) return;
        SaveBody(run, Texts::ReservationPageFile(i));
    }

    if (!FetchOrFail(run, run.Url("/setup/setup.htm"))) return;
    run.WorkList.SetText(http.Body);
    // The saved setup page shows the recorder's passwords in clear when opened.
    run.WorkList.SetText(SjisReplaceAll(run.WorkList.Text(), "type=\"password\"", "type=\"text\""));
    run.WorkList.SaveToFile(run.Context.ProgramDir + Texts::kSetupPageFile);

    if (!FetchOrFail(run, run.Url("/setup/ch_set.htm"))) return;
    SaveBody(run, Texts::kChannelPageFile);

    run.View.ShowMessage(MessageKind::Information, Texts::kCaptureDone);
}
