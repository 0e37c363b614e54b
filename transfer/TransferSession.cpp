#include "TransferSession.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "Texts.h"

namespace {

// A failed attempt that took this many whole seconds or more ends the fetch loop: the
// recorder is not there, and another 20 attempts would keep the user waiting for minutes.
constexpr long long kSlowAttemptSeconds = 5;
constexpr int kMaxAttempts = 21;

// The recorder's answers to a user name or password it does not accept.
bool IsLoginRefusal(int replyCode) {
    return replyCode == 401 || replyCode == 403;
}

}  // namespace

TransferSession::TransferSession() {
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

void TransferSession::SetProgramDir(const std::string& dir) {
    ProgramDir = dir;
    if (ProgramDir.empty() || ProgramDir.back() != '/') ProgramDir += '/';
    PostDataPath = ProgramDir + Texts::kPostDataFile;
    if (log_) StartLog();
}

void TransferSession::StartLog() {
    log_ = std::make_unique<TransferLog>(ProgramDir + kTransferLogFile);
}

void TransferSession::LogLine(const std::string& method, const std::string& address, int status,
                              const std::string& outcome) {
    if (log_) log_->Append(method, address, status, outcome);
}

void TransferSession::HttpClient1Success(CmdType Cmd) {
    if (Cmd != HttpCmd::Get && Cmd != HttpCmd::Post) return;
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

void TransferSession::HttpClient1Failure(CmdType Cmd) {
    // A refused login gets one box of its own from the transfer, naming the address.
    if (IsLoginRefusal(HttpClient1.ReplyCode)) {
        LoginRefused = true;
        return;
    }
    const std::string text = Texts::HttpFailureText(Cmd);
    // Only GET and POST are ever issued; a code without a text has nothing to tell.
    if (View != nullptr && !text.empty()) View->ShowMessage(MessageKind::Error, text);
}

void TransferSession::FetchPage(bool post, const std::string& url) {
    RequestSucceeded = false;
    LoginRefused = false;
    AnswerTooLong = false;
    HttpClient1.InputFileMode = false;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        if (RequestSucceeded || LoginRefused) break;
        if (attempt > 0 && !post && View != nullptr && View->StopRequested()) throw EStopped();
        const std::chrono::milliseconds start = HttpClient1.Now();
        const char* method = post ? "POST" : "GET";
        try {
            if (post) {
                // The answer replaces Body only when one arrives.
                HttpClient1.Post(url, PostDataPath);
            } else {
                HttpClient1.Body.clear();
                HttpClient1.Get(url);
            }
            LogLine(method, url, HttpClient1.ReplyCode,
                    RequestSucceeded ? "ok" : (LoginRefused ? "login refused" : "failed"));
        } catch (const EFOpenError& e) {
            // The post-data file, not the recorder: asking again would not help, and the
            // transfer's box names the file instead of blaming the network.
            LogLine(method, url, 0, e.Message);
            throw;
        } catch (const EFCreateError& e) {
            LogLine(method, url, 0, e.Message);
            throw;
        } catch (const EAnswerTooLong& e) {
            // Asking again would only fetch the same flood (and enter a reservation again).
            LogLine(method, url, HttpClient1.ReplyCode, e.Message);
            AnswerTooLong = true;
            break;
        } catch (const Exception& e) {
            // The attempt's error is dropped: the caller sees a clear flag and says so.
            LogLine(method, url, HttpClient1.ReplyCode, e.Message);
            if (std::llabs((HttpClient1.Now() - start).count()) / 1000 >= kSlowAttemptSeconds)
                break;
        } catch (...) {
            LogLine(method, url, HttpClient1.ReplyCode, "failed");
            if (std::llabs((HttpClient1.Now() - start).count()) / 1000 >= kSlowAttemptSeconds)
                break;
        }
    }
}
