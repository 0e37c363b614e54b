// The RD-X4EX's reading of a posted new-reservation form: form decoding and the checks the
// recorder makes before it stores a reservation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Reservation.h"

namespace recsim {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// Decodes an application/x-www-form-urlencoded body: pairs split at "&", name and value at the
// first "=", "+" as a blank, "%XX" as that byte (a "%" without two hex digits stays as it is).
// Every other byte stays raw, CR LF inside a value and Shift-JIS bytes included. One line break
// at the very end of the body (the post-data file's last line end) is not part of the form.
FormFields DecodeForm(const std::string& body);

struct EntryCheck {
    bool ok = false;
    Reservation reservation;  // valid when ok
    std::string reason;       // Shift-JIS, when not ok; never holds a double quote
};

// Checks a decoded form against what the recorder offers and turns it into a reservation.
EntryCheck CheckEntry(const FormFields& fields, const std::string& firstDate);

// Minutes of the day of a reservation's start and end; an end at or before the start lies on
// the next day.
std::pair<int, int> TimeSpan(const Reservation& r);

// Two reservations on the same date value whose times share a minute.
bool Overlaps(const Reservation& a, const Reservation& b);

}  // namespace recsim
