// The state of one running transfer, shared by the transfer frame and the capture or restore
// sequence it runs. It lives for one press of the start button.
#pragma once

#include <string>

#include "BoxText.h"
#include "TransferSession.h"
#include "TransferView.h"
#include "WorkList.h"

struct TransferRun {
    TransferSession& Session;
    TransferView& View;
    // Every saved page and the post-data file pass through it.
    TWorkList& WorkList;
    // The host setting as it was when the transfer started.
    std::string Host;
    // The address built last; failure boxes name it (empty before the first one).
    std::string CurrentAddress;
    // True: Fetch raises EStopped before a page when the user asked to stop. The restore turns
    // it off and stops between reservations instead, after the current one's answer.
    bool StopBeforeEachPage = true;
    // Set by End.
    bool Ended = false;

    // "http://" + host + path; the host goes in exactly as typed.
    std::string Url(const std::string& path) const { return "http://" + Host + path; }

    // Makes url the current address, shows it with the status suffix and fetches it.
    // True when the page arrived (the request-succeeded flag). Raises EStopped first when
    // the user asked to stop and StopBeforeEachPage is on.
    bool Fetch(bool post, const std::string& url, const char* statusSuffix);

    // Fetches url by GET; when it does not arrive, ends the transfer with an error box of the
    // current address, LF CR and failureText (or the text FailureMessage puts in its place),
    // and returns false.
    bool FetchOrFail(const std::string& url, const char* failureText);

    // Ends the transfer for the user, once: the default cursor, an empty status line and the
    // view's ended state. The frame calls it on every way out; Finish calls it first.
    void End();
    // The transfer's last box: shown once the view shows that the transfer has ended, so that
    // the completion or failure never stands over a dialog that still looks busy.
    void Finish(MessageKind kind, const std::string& text);

    // The current address, LF CR and failureText; the refusal text instead after a 401 or 403,
    // the too-long text after an answer refused for its size.
    std::string FailureMessage(const char* failureText) const;

    // Shows the current address with the status suffix.
    void Status(const char* statusSuffix) {
        View.SetStatus(ClipForBox(CurrentAddress) + statusSuffix);
    }
};
