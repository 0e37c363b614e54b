// The restore into an RD-X4EX: every saved reservation page 00 to 31 that exists (and is
// selected) is turned into an entry form body, posted to the recorder, and the recorder's
// answers are reported.
#pragma once

#include <optional>
#include <set>

#include "RestorePlan.h"

struct TransferRun;

// What a restore is asked to do.
struct RestoreChoice {
    // Which saved reservations: the user's ticks or the numbers named, or the plan's own.
    PlanChoice Choice;
    // Read the RD-X4EX's list (one GET) and show the plan; nothing is posted, no file written.
    bool DryRun = false;
};

// Runs inside the transfer frame. Reads the recorder's list first, shows the plan it makes
// with it (and ends there for a dry run), and asks before adding to a recorder that already
// holds reservations, naming those that will not fit; then posts the reservations the plan
// sends, in number order. Ends with the report box, whose closing lines name what the plan
// left out and compare the list read afterwards with what was entered, and appends the report
// to the report file. At the first failure it ends with its own box (or silently on a
// reservation link it cannot read); errors leave it for the frame to show. A stop request
// takes effect after the current reservation's answer.
void RestoreSequence(TransferRun& run, const RestoreChoice& choice);
