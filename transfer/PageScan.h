// The scans that both transfers run over the recorder's pages: the program segment of
// the addresses, the number of the last reservation link, and the recorder's answer to
// an entry. Pages are Shift-JIS text; nothing here parses HTML.
#pragma once

#include <string>

// Finds the program segment in the list frame page: the path segment right before
// "/program.htm" (in /program/A1B2/program.htm it is A1B2). Returns false, leaving
// segment untouched, when the page has no "/program.htm".
bool FindProgramSegment(const std::string& page, std::string& segment);

// Walks every `b_proginfo.htm?` link of the reservation list and leaves in slot the one
// or two characters of the last link's number. A page without a link leaves slot
// untouched. Returns false for a link whose number is not one or two characters followed
// by a double quote (three digits, for instance): the transfer must end there.
bool ScanReservationLinks(const std::string& page, std::string& slot);

// True when the reservation list shows a recorder that holds 32 reservations: its last link
// is "31" and it offers no new-reservation entry (no "新規予約" anywhere in the list).
bool ListIsFull(const std::string& slot, const std::string& list);

// The recorder's answer to an entry: the text after `msg="` (or, only when that is
// absent, after `alert("`) up to the next double quote, with every written-out `\r\n`
// removed whatever its case. Empty when neither marker or no closing quote is found.
std::string ExtractEntryAnswer(const std::string& page);
