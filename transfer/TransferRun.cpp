#include "TransferRun.h"

#include "Texts.h"

bool TransferRun::Fetch(bool post, const std::string& url, const char* statusSuffix) {
    CurrentAddress = url;
    Status(statusSuffix);
    Session.FetchPage(post, url);
    return Session.RequestSucceeded;
}

bool TransferRun::FetchOrFail(const std::string& url, const char* failureText) {
    if (Fetch(false, url, Texts::kStatusFetching)) return true;
    View.ShowMessage(MessageKind::Error, ClipForBox(CurrentAddress) + Texts::kLfCr + failureText);
    return false;
}
