// The transfer frame: the set-up and clean-up around a capture or a restore, and the one place
// where an error of a transfer becomes a message box. The transfer dialog runs it.
#pragma once

#include "TransferSession.h"
#include "TransferView.h"

class TransferFrame {
  public:
    explicit TransferFrame(TransferSession& session) : session_(session) {}
    TransferFrame(const TransferFrame&) = delete;
    TransferFrame& operator=(const TransferFrame&) = delete;

    TransferSession& Session() { return session_; }
    const TransferSession& Session() const { return session_; }

    // The capture from an RD-X4.
    void RunCapture(TransferView& view);
    // The restore into an RD-X4EX.
    void RunRestore(TransferView& view);
    // True while a transfer runs; a Run* call meanwhile returns at once and starts nothing.
    bool Busy() const { return busy_; }

  private:
    enum class Mode { Capture, Restore };
    void Run(TransferView& view, Mode mode);

    TransferSession& session_;
    bool busy_ = false;
};
