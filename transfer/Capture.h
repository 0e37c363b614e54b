// The capture from an RD-X4: the reservation list, every stored reservation, the unit
// setup page and the channel settings page, each saved as a file in the program directory.
// The pages replace the saved set only once all of them have arrived (see SavedSet.h).
#pragma once

struct TransferRun;

// Runs inside the transfer frame, which has set the cursor, the credentials and the proxy.
// Ends with the completion box, a failure box, silently on a reservation link it cannot
// read, or on No to the question before a smaller capture replaces the saved set; errors (a file
// that cannot be created, a link number that is not a number) leave it for the frame to show.
void CaptureSequence(TransferRun& run);
