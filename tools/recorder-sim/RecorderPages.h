// The pages of the recorder's web interface, built as Shift-JIS text with CR LF line ends.
// The program reads them with fixed marker searches, not with an HTML parser, so their shape
// (attribute order, blanks around "=", the case of closing tags, which script lines stand where)
// is part of the interface and must not drift.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Reservation.h"

namespace recsim {

using OptionValues = std::vector<std::pair<std::string, std::string>>;  // value, Shift-JIS text

// The selection lists in the order the reservation form shows them.
const std::vector<std::string>& SelectionFields();

// The options the recorder offers for a selection list field; empty for an unknown field.
// The date list holds 62 days from firstDate (YYYYMMDD) followed by the repeat codes.
OptionValues OptionsFor(const std::string& field, const std::string& firstDate);

// Checks a YYYYMMDD text; throws std::invalid_argument when it is no real date.
void CheckFirstDate(const std::string& firstDate);

// & < > " written as entities; every other byte (Shift-JIS included) unchanged.
std::string HtmlEscape(const std::string& text);

// The value a new reservation's form starts with.
Reservation NewReservationDefaults(const std::string& firstDate);

std::string TopPage();
std::string ListFramePage(const std::string& segment);
std::string ReservationListPage(const std::vector<Reservation>& list, const std::string& firstDate);
std::string SelectorPage();
std::string BlankPage();
// The RD-X4's reservation form for one reservation.
std::string ReservationPageX4(const Reservation& r, const std::string& firstDate);
// The RD-X4EX's new-reservation form, posting to entry.htm.
std::string EntryFormPageX4EX(const Reservation& r, const std::string& firstDate);
// The unit setup page; its password fields carry the given password as their value.
std::string SetupPage(const std::string& password);
std::string ChannelPage();

// Answers to a POST of the entry form. message and detail are Shift-JIS; neither may hold a
// double quote (the program reads the message up to the next one).
std::string EntryMessagePage(const std::string& message);  // var msg="…\r\n";
std::string EntryAlertPage(const std::string& message, const std::string& detail);  // alert("…")

// A plain page for an HTTP error status.
std::string StatusPage(int status);
const char* ReasonPhrase(int status);

}  // namespace recsim
