// The restore into an RD-X4EX: every saved reservation page 00 to 31 that exists (and is
// selected) is turned into an entry form body, posted to the recorder, and the recorder's
// answers are reported.
#pragma once

#include <optional>
#include <set>

struct TransferRun;

// Runs inside the transfer frame. Reads the recorder's list first and asks before adding to
// a recorder that already holds reservations; ends with the report box, whose last line
// compares the list read afterwards with what was entered, and appends the report to the
// report file. At the first failure it ends with its own box (or silently on a reservation
// link it cannot read); errors leave it for the frame to show. A stop request takes effect
// after the current reservation's answer. selection: the file numbers to post (all without).
void RestoreSequence(TransferRun& run, const std::optional<std::set<int>>& selection = {});
