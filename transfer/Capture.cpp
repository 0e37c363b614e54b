#include "Capture.h"

#include "BoxText.h"
#include "PageScan.h"
#include "SysUtils.h"
#include "TextSearch.h"
#include "Texts.h"
#include "TransferRun.h"

namespace {

// Saves the last answer's body, with CR LF line ends, as the named page file.
void SaveBody(TransferRun& run, const std::string& fileName) {
    run.WorkList.SetText(run.Session.HttpClient1.Body);
    run.WorkList.SaveToFile(run.Session.ProgramDir + fileName);
}

}  // namespace

void CaptureSequence(TransferRun& run) {
    THttpClient& http = run.Session.HttpClient1;
    // Every page by GET; one that does not arrive ends the capture with its failure box.
    auto fetch = [&run](const std::string& path) {
        return run.FetchOrFail(run.Url(path), Texts::kCaptureFailed);
    };

    if (!fetch("/program/b_prgrm.htm")) return;
    run.Status(Texts::kStatusParsing);
    std::string segment;
    FindProgramSegment(http.Body, segment);

    const std::string base = "/program/" + segment;
    if (!fetch(base + "/program.htm")) return;
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
    if (ListIsFull(slot, list)) count = 32;

    for (int i = 0; i < count; ++i) {
        if (!fetch(base + "/b_proginfo.htm?" + std::to_string(i))) return;
        if (!fetch(base + "/proginfo.htm")) return;
        SaveBody(run, Texts::ReservationPageFile(i));
    }

    if (!fetch("/setup/setup.htm")) return;
    run.WorkList.SetText(http.Body);
    // The saved setup page shows the recorder's passwords in clear when opened.
    run.WorkList.SetText(SjisReplaceAll(run.WorkList.Text(), "type=\"password\"", "type=\"text\""));
    run.WorkList.SaveToFile(run.Session.ProgramDir + Texts::kSetupPageFile);

    if (!fetch("/setup/ch_set.htm")) return;
    SaveBody(run, Texts::kChannelPageFile);

    run.View.ShowMessage(MessageKind::Information, Texts::kCaptureDone);
}
