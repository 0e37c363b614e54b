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
    View.ShowMessage(MessageKind::Error, FailureMessage(failureText));
    return false;
}

std::string TransferRun::FailureMessage(const char* failureText) const {
    const char* reason = Session.LoginRefused    ? Texts::kLoginRefused
                         : Session.AnswerTooLong ? Texts::kAnswerTooLong
                                                 : failureText;
    return ClipForBox(CurrentAddress) + Texts::kLfCr + reason;
}
