// The restore into an RD-X4EX: every saved reservation page 00 to 31 that exists is turned
// into an entry form body, posted to the recorder, and the recorder's answers are reported.
#pragma once

struct TransferRun;

// Runs inside the transfer frame. Ends with the report box, or at the first failure with
// its own box (or silently on a reservation link it cannot read); errors leave it for the
// frame to show.
void RestoreSequence(TransferRun& run);
