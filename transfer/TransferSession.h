// What the main window holds for the transfers: the connection settings, the program
// directory, the request-succeeded flag and the one HTTP client, with the fetch loop through
// which every page is requested. No widget is touched here: the failure boxes of the client's
// events go through the view of the running transfer.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "ConnectionSettings.h"
#include "HttpClient.h"
#include "TransferView.h"

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
    THttpClient HttpClient1;
    // The view of the running transfer (set by the transfer frame); null between transfers.
    TransferView* View = nullptr;

    // Milliseconds on a monotonic scale; FetchPage measures each failed attempt with it.
    // Tests replace it to check the 5-second rule without waiting.
    std::function<std::chrono::milliseconds()> Clock;

    // Adds the trailing '/' when missing and sets PostDataPath.
    void SetProgramDir(const std::string& dir);

    // The client's success event: GET (0) and POST (3) set RequestSucceeded, provided the
    // recorder answered with a status line (ReplyCode not 0) and the whole body it announced.
    void HttpClient1Success(CmdType Cmd);
    // The client's failure event: an error box, by command code, through the running
    // transfer's view (nothing is shown when no transfer runs).
    void HttpClient1Failure(CmdType Cmd);

    // Requests one page with up to 21 attempts. GET empties Body first; POST sends the
    // file at PostDataPath. An attempt that raises ends the loop once it took 5 whole
    // seconds or more. The outcome is RequestSucceeded; the answer is in HttpClient1.Body.
    void FetchPage(bool post, const std::string& url);
};
