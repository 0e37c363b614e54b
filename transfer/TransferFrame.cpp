#include "TransferFrame.h"

#include <exception>
#include <string>

#include "Capture.h"
#include "SysUtils.h"
#include "Texts.h"
#include "TransferRun.h"
#include "WorkList.h"

void TransferFrame::RunCapture(TransferView& view) {
    Run(view, Mode::Capture, RestoreChoice());
}

void TransferFrame::RunRestore(TransferView& view, const RestoreChoice& choice) {
    Run(view, Mode::Restore, choice);
}

void TransferFrame::RunRestore(TransferView& view, std::optional<std::set<int>> selection) {
    RestoreChoice exactly;
    exactly.Choice.Selection = std::move(selection);
    exactly.Choice.Forced = true;
    Run(view, Mode::Restore, exactly);
}

void TransferFrame::Run(TransferView& view, Mode mode, const RestoreChoice& choice) {
    // The window keeps handling events while a request waits; a second press of the start
    // button then lands here and must not start a transfer inside the running one.
    if (busy_) return;
    busy_ = true;
    session_.View = &view;
    TWorkList workList;
    TransferRun run{session_, view, workList, std::string(), std::string()};
    // The clean-up runs on every way out, also when a box itself throws; the transfer's last
    // box has already ended it for the user.
    struct Cleanup {
        TransferFrame& frame;
        TransferRun& run;
        ~Cleanup() {
            run.End();
            frame.session_.View = nullptr;
            frame.busy_ = false;
        }
    } cleanup{*this, run};

    view.SetBusyCursor(true);
    const char* what = mode == Mode::Capture ? "CAPTURE" : choice.DryRun ? "PLAN" : "RESTORE";
    session_.LogLine(what, session_.Settings.Host, 0, "start");
    std::string outcome = "end";
    THttpClient& http = session_.HttpClient1;
    const ConnectionSettings& settings = session_.Settings;
    bool failed = false;
    std::string failure;
    try {
        run.Host = settings.Host;
        http.HeaderInfo.UserId = settings.User;
        http.HeaderInfo.Password = settings.Password;
        if (!settings.Proxy.empty()) {
            http.Proxy = settings.Proxy;
            http.ProxyPort = StrToInt(settings.ProxyPort);
        } else {
            http.Proxy.clear();
            http.ProxyPort = 0;
        }
        if (mode == Mode::Capture) {
            CaptureSequence(run);
        } else {
            RestoreSequence(run, choice);
        }
    } catch (const EStopped&) {
        outcome = "stopped";
        // The user asked for it: no error. A capture says that it ended; a restore has shown
        // its own report of what was entered.
        if (mode == Mode::Capture) run.Finish(MessageKind::Information, Texts::kCaptureStopped);
    } catch (const Exception& e) {
        failed = true;
        failure = e.Message;
    } catch (const std::exception& e) {
        failed = true;
        failure = e.what();
    }
    if (failed) outcome = failure;
    session_.LogLine(what, session_.Settings.Host, 0, outcome);
    if (failed) {
        run.Finish(MessageKind::Error, failure + Texts::kLfCr + ClipForBox(run.CurrentAddress));
    }
}
