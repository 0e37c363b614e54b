// What the main window holds for the transfers: the connection settings, the program
// directory, the request-succeeded flag and the one HTTP client, plus the fetch loop and
// the transfer frame that runs a capture or a restore. No widget is touched here: every
// text the user sees goes through the TransferView of the running transfer.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "HttpClient.h"
#include "TransferView.h"

// The five connection settings, Shift-JIS, exactly as the user typed them.
struct ConnectionSettings {
    std::string Host, User, Password, Proxy, ProxyPort;
};

class TransferContext {
  public:
    // Configures HttpClient1 the way the transfers rely on: Port 0, TimeOut 10000,
    // ReportLevel 0, Body "Default.htm", Header "Head.txt", InputFileMode off,
    // OutputFileMode on, ProxyPort 0, OnSuccess/OnFailure bound to the two handlers below.
    TransferContext();
    TransferContext(const TransferContext&) = delete;
    TransferContext& operator=(const TransferContext&) = delete;

    ConnectionSettings Settings;
    // Directory of the program's files; always ends with '/'.
    std::string ProgramDir;
    // ProgramDir + "Reserv.txt": the body of every reservation entry is posted from here.
    std::string PostDataPath;
    // Cleared by FetchPage, set by HttpClient1Success for GET and POST.
    bool RequestSucceeded = false;
    THttpClient HttpClient1;

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

    // The transfer frame around the capture from an RD-X4.
    void RunCapture(TransferView& view);
    // The transfer frame around the restore into an RD-X4EX.
    void RunRestore(TransferView& view);
    // True while a transfer runs; a Run* call meanwhile returns at once and starts nothing.
    bool Busy() const { return busy_; }

  private:
    enum class Mode { Capture, Restore };
    void RunTransfer(TransferView& view, Mode mode);

    bool busy_ = false;
    TransferView* view_ = nullptr;
};
