// The port through which the transfers talk to the user. The transfer dialog implements it;
// tests use a recording fake. Every text is Shift-JIS bytes.
#pragma once

#include <string>

enum class MessageKind { Error, Information, Confirmation };

struct RestorePlan;

class TransferView {
  public:
    virtual ~TransferView() = default;
    // The status line of the dialog; empty while no transfer runs.
    virtual void SetStatus(const std::string& sjis) = 0;
    // Hourglass while a transfer runs, the default cursor afterwards.
    virtual void SetBusyCursor(bool busy) = 0;
    // A modal box with one OK button; returns once the user has dismissed it.
    // The text is shown as plain text, never as markup.
    virtual void ShowMessage(MessageKind kind, const std::string& sjis) = 0;
    // A modal Yes/No question; true for Yes. No is the default answer: Enter, Escape and
    // closing the box all mean No, so nothing is replaced or repeated by accident.
    virtual bool Ask(const std::string& sjis) = 0;
    // Progress of the running transfer: done of total steps (pages of a capture, reservations
    // of a restore); total is 0 while it is not known yet.
    virtual void SetProgress(int done, int total) {
        (void)done;
        (void)total;
    }
    // True once the user has asked the running transfer to stop.
    virtual bool StopRequested() { return false; }
    // The transfer has ended; only its last box (its completion, its failure, a restore's
    // report) may still come. The view shows that no transfer runs any more: the box then
    // stands over a dialog whose stop button is off and whose close button is on.
    virtual void TransferEnded() {}
    // The restore's plan, once the RD-X4EX's list has been read and before anything is sent;
    // dryRun: the restore ends here, nothing is sent.
    virtual void ShowPlan(const RestorePlan& plan, bool dryRun) {
        (void)plan;
        (void)dryRun;
    }
};
