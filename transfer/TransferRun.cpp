#include "TransferRun.h"

#include "Texts.h"

bool TransferRun::Fetch(bool post, const std::string& url, const char* statusSuffix) {
    CurrentAddress = url;
    if (StopBeforeEachPage && View.StopRequested()) throw EStopped();
    Status(statusSuffix);
    Session.FetchPage(post, url);
    return Session.RequestSucceeded;
}

bool TransferRun::FetchOrFail(const std::string& url, const char* failureText) {
    if (Fetch(false, url, Texts::kStatusFetching)) return true;
    Finish(MessageKind::Error, FailureMessage(failureText));
    return false;
}

void TransferRun::End() {
    if (Ended) return;
    Ended = true;
    View.SetBusyCursor(false);
    View.SetStatus(std::string());
    View.TransferEnded();
}

void TransferRun::Finish(MessageKind kind, const std::string& text) {
    End();
    View.ShowMessage(kind, text);
}

std::string TransferRun::FailureMessage(const char* failureText) const {
    const char* reason = Session.LoginRefused    ? Texts::kLoginRefused
                         : Session.AnswerTooLong ? Texts::kAnswerTooLong
                                                 : failureText;
    return ClipForBox(CurrentAddress) + Texts::kLfCr + reason;
}
