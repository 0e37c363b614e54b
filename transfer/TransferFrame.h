// The transfer frame: the set-up and clean-up around a capture or a restore, and the one place
// where an error of a transfer becomes a message box. The transfer dialog runs it.
#pragma once

#include <optional>
#include <set>

#include "Restore.h"
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
    // The restore into an RD-X4EX as chosen: what the plan sends, or only the plan (dry run).
    void RunRestore(TransferView& view, const RestoreChoice& choice);
    // The restore of exactly the file numbers in selection (0 to 31), or of every saved
    // reservation without one, whatever their dates and the room left.
    void RunRestore(TransferView& view, std::optional<std::set<int>> selection = std::nullopt);
    // True while a transfer runs; a Run* call meanwhile returns at once and starts nothing.
    bool Busy() const { return busy_; }

  private:
    enum class Mode { Capture, Restore };
    void Run(TransferView& view, Mode mode, const RestoreChoice& choice);

    TransferSession& session_;
    bool busy_ = false;
};
