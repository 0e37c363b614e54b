#include "TransferContext.h"

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "BoxText.h"
#include "Capture.h"
#include "Restore.h"
#include "SysUtils.h"
#include "Texts.h"
#include "TransferRun.h"
#include "WorkList.h"

namespace {

// A failed attempt that took this many whole seconds or more ends the fetch loop: the
// recorder is not there, and another 20 attempts would keep the user waiting for minutes.
constexpr long long kSlowAttemptSeconds = 5;
constexpr int kMaxAttempts = 21;

std::chrono::milliseconds MonotonicNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

TransferContext::TransferContext() : Clock(MonotonicNow) {
    HttpClient1.Port = 0;
    HttpClient1.TimeOut = 10000;
    HttpClient1.ReportLevel = 0;
    HttpClient1.Body = "Default.htm";
    HttpClient1.Header = Texts::kHeaderFile;
    HttpClient1.InputFileMode = false;
    HttpClient1.OutputFileMode = true;
    HttpClient1.ProxyPort = 0;
    HttpClient1.OnSuccess = [this](CmdType Cmd) { HttpClient1Success(Cmd); };
    HttpClient1.OnFailure = [this](CmdType Cmd) { HttpClient1Failure(Cmd); };
}

void TransferContext::SetProgramDir(const std::string& dir) {
    ProgramDir = dir;
    if (ProgramDir.empty() || ProgramDir.back() != '/') ProgramDir += '/';
    PostDataPath = ProgramDir + Texts::kPostDataFile;
}

void TransferContext::HttpClient1Success(CmdType Cmd) {
    if (Cmd != 0 && Cmd != 3) return;
    // The client counts a connection closed without any answer (no status line) as a
    // success with an empty body. For the transfers that is no page: saved, it would replace
    // a reservation by an empty file; so it counts as failed and is asked for again.
    if (HttpClient1.ReplyCode == 0) return;
    // Likewise a body cut short of the length the recorder announced: half a reservation
    // page would be saved, and restored, as if it were whole.
    const int64_t announced = HttpClient1.AnnouncedLength;
    if (!HttpClient1.InputFileMode && announced > 0 &&
        static_cast<int64_t>(HttpClient1.Body.size()) < announced)
        return;
    RequestSucceeded = true;
}

void TransferContext::HttpClient1Failure(CmdType Cmd) {
    const std::string text = Texts::HttpFailureText(Cmd);
    // Only GET and POST are ever issued; a code without a text has nothing to tell.
    if (view_ != nullptr && !text.empty()) view_->ShowMessage(MessageKind::Error, text);
}

void TransferContext::FetchPage(bool post, const std::string& url) {
    RequestSucceeded = false;
    HttpClient1.InputFileMode = false;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        if (RequestSucceeded) break;
        const std::chrono::milliseconds start = Clock();
        try {
            if (post) {
                // The answer replaces Body only when one arrives.
                HttpClient1.Post(url, PostDataPath);
            } else {
                HttpClient1.Body.clear();
                HttpClient1.Get(url);
            }
        } catch (...) {
            // The attempt's error is dropped: the caller sees a clear flag and says so.
            const long long elapsed = std::llabs((Clock() - start).count()) / 1000;
            if (elapsed >= kSlowAttemptSeconds) break;
        }
    }
}

bool TransferRun::Fetch(bool post, const std::string& url, const char* statusSuffix) {
    CurrentAddress = url;
    Status(statusSuffix);
    Context.FetchPage(post, url);
    return Context.RequestSucceeded;
}

void TransferContext::RunCapture(TransferView& view) {
    RunTransfer(view, Mode::Capture);
}

void TransferContext::RunRestore(TransferView& view) {
    RunTransfer(view, Mode::Restore);
}

void TransferContext::RunTransfer(TransferView& view, Mode mode) {
    // The window keeps handling events while a request waits; a second press of the start
    // button then lands here and must not start a transfer inside the running one.
    if (busy_) return;
    busy_ = true;
    view_ = &view;
    // The clean-up runs on every way out, also when a box itself throws.
    struct Cleanup {
        TransferContext& ctx;
        TransferView& view;
        ~Cleanup() {
            view.SetBusyCursor(false);
            view.SetStatus(std::string());
            ctx.view_ = nullptr;
            ctx.busy_ = false;
        }
    } cleanup{*this, view};

    view.SetBusyCursor(true);
    TWorkList workList;
    TransferRun run{*this, view, workList, std::string(), std::string()};
    bool failed = false;
    std::string failure;
    try {
        run.Host = Settings.Host;
        HttpClient1.HeaderInfo.UserId = Settings.User;
        HttpClient1.HeaderInfo.Password = Settings.Password;
        if (!Settings.Proxy.empty()) {
            HttpClient1.Proxy = Settings.Proxy;
            HttpClient1.ProxyPort = StrToInt(Settings.ProxyPort);
        } else {
            HttpClient1.Proxy.clear();
            HttpClient1.ProxyPort = 0;
        }
        if (mode == Mode::Capture) {
            CaptureSequence(run);
        } else {
            RestoreSequence(run);
        }
    } catch (const Exception& e) {
        failed = true;
        failure = e.Message;
    } catch (const std::exception& e) {
        failed = true;
        failure = e.what();
    }
    if (failed) {
        view.ShowMessage(MessageKind::Error,
                         failure + Texts::kLfCr + ClipForBox(run.CurrentAddress));
    }
}
