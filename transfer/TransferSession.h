// What the main window holds for the transfers: the connection settings, the program
// directory, the request-succeeded flag and the one HTTP client, with the fetch loop through
// which every page is requested. No widget is touched here: the failure boxes of the client's
// events go through the view of the running transfer.
#pragma once

#include <memory>
#include <string>

#include "ConnectionSettings.h"
#include "HttpClient.h"
#include "SysUtils.h"
#include "TransferLog.h"
#include "TransferView.h"

// The user asked the running transfer to stop. Raised at a safe point only (before a page is
// requested, or between two attempts at a page that did not arrive); the transfer frame ends
// the transfer without an error box.
class EStopped : public Exception {
  public:
    EStopped() : Exception("stopped") {}
};

class TransferSession {
  public:
    // Configures HttpClient1 the way the transfers rely on: Port 0, TimeOut 10000,
    // ReportLevel 0, Body "Default.htm", Header "Head.txt", InputFileMode off,
    // OutputFileMode on, ProxyPort 0, OnSuccess/OnFailure bound to the two handlers below.
    TransferSession();
    TransferSession(const TransferSession&) = delete;
    TransferSession& operator=(const TransferSession&) = delete;

    ConnectionSettings Settings;
    // Directory of the program's files; always ends with '/'.
    std::string ProgramDir;
    // ProgramDir + "Reserv.txt": the body of every reservation entry is posted from here.
    std::string PostDataPath;
    // Cleared by FetchPage, set by HttpClient1Success for GET and POST.
    bool RequestSucceeded = false;
    // Set by FetchPage when the recorder refused the user name or password (401 or 403): the
    // fetch loop then ends at once, since every further try is refused too and some devices
    // lock an account after a few. Callers tell this failure from the others by it.
    bool LoginRefused = false;
    // Set by FetchPage when the recorder's answer passed the client's bounds (an endless or
    // huge header or body): the loop ends at once, since asking again only brings the flood
    // again (and a POST asked again would enter its reservation twice).
    bool AnswerTooLong = false;
    THttpClient HttpClient1;
    // The view of the running transfer (set by the transfer frame); null between transfers.
    TransferView* View = nullptr;

    // Adds the trailing '/' when missing and sets PostDataPath (and moves the log there).
    void SetProgramDir(const std::string& dir);

    // From now on every request and every transfer's end go to the log in ProgramDir (the
    // program's front ends turn it on; a session in a test writes no log).
    void StartLog();
    // Appends one line to the log when it is on; a log that cannot be written is ignored.
    void LogLine(const std::string& method, const std::string& address, int status,
                 const std::string& outcome);

    // The client's success event: GET (0) and POST (3) set RequestSucceeded, provided the
    // recorder answered with a status line (ReplyCode not 0) and the whole body it announced.
    void HttpClient1Success(CmdType Cmd);
    // The client's failure event: an error box, by command code, through the running
    // transfer's view (nothing is shown when no transfer runs).
    void HttpClient1Failure(CmdType Cmd);

    // Requests one page with up to 21 attempts. GET empties Body first; POST sends the
    // file at PostDataPath. An attempt that raises ends the loop once it took 5 whole
    // seconds or more, measured on the clock of the client's pump (the one clock of every
    // time-out, which tests drive); a 401 or 403 answer (LoginRefused) and an answer refused
    // for its size (AnswerTooLong) end it at once. The outcome is RequestSucceeded; the answer
    // is in HttpClient1.Body. Between the attempts of a GET a stop request of the view raises
    // EStopped; a POST is tried to its end, so that no entry is left unanswered. A file the
    // client cannot open or create (the post-data file) is no network failure: its error is
    // raised at once, not retried.
    void FetchPage(bool post, const std::string& url);

  private:
    std::unique_ptr<TransferLog> log_;
};
