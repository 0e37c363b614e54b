// The simulator's state file: the stored reservations, so that what a capture read and what a
// restore entered can be compared after the run. A text file, one block per reservation:
//
//   recorder-sim-state 1
//   reservation
//   exec=1
//   title_name=%97%5C%95%F1
//   ...
//   end
//
// Values are written with every byte outside "!".."~" and the bytes "%" and "=" as %XX, so any
// Shift-JIS text, line breaks included, round-trips exactly.
#pragma once

#include <string>
#include <vector>

#include "Reservation.h"

namespace recsim {

std::string StateText(const std::vector<Reservation>& list);
// Throws std::runtime_error naming the line of the first fault.
std::vector<Reservation> ParseStateText(const std::string& text);

// Missing file: false and nothing read. Unreadable or malformed file: std::runtime_error.
bool LoadStateFile(const std::string& path, std::vector<Reservation>& list);
// Writes a temporary file beside the target and renames it over the old one, so a failure never
// leaves a half-written state file. Throws std::runtime_error on failure.
void SaveStateFile(const std::string& path, const std::vector<Reservation>& list);

}  // namespace recsim
