// The transfer frame: the set-up and clean-up around a capture or a restore, and the one place
// where an error of a transfer becomes a message box. The transfer dialog runs it.
#pragma once

#include <optional>
#include <set>

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
    // The restore into an RD-X4EX: of the saved reservations only the file numbers in
    // selection (0 to 31), or all of them without one.
    void RunRestore(TransferView& view, std::optional<std::set<int>> selection = std::nullopt);
    // True while a transfer runs; a Run* call meanwhile returns at once and starts nothing.
    bool Busy() const { return busy_; }

  private:
    enum class Mode { Capture, Restore };
    void Run(TransferView& view, Mode mode, const std::optional<std::set<int>>& selection);

    TransferSession& session_;
    bool busy_ = false;
};
