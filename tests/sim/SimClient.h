// A raw HTTP/1.0 client for the simulator's tests: sends exact bytes, reads until the server
// closes, and reports how the connection ended.
#pragma once

#include <string>

#include "EntryDecoder.h"
#include "RecorderSim.h"
#include "ScriptedPeer.h"

namespace simtest {

struct RawAnswer : testsupport::RawExchange {
    int Status() const;          // from the status line; 0 when there is none
    std::string Header() const;  // status line and header lines, through the blank line
    std::string Body() const;    // what follows the blank line
};

RawAnswer Exchange(int port, const std::string& request, int timeoutMs = 5000);

std::string GetRequest(const std::string& target, const std::string& extraHeaders = "");
std::string PostRequest(const std::string& target, const std::string& body,
                        const std::string& extraHeaders = "");
// GET the target and return the body; fails the test when the status is not 200.
std::string Fetch(int port, const std::string& target);
// The status the server answers to a GET of the target.
int GetStatus(int port, const std::string& target);

// "新規予約" and other texts as Shift-JIS, from UTF-8, for readable expectations; throws for
// a text Shift-JIS cannot hold.
std::string Sjis(const std::string& utf8);

// The answer as the program takes it from an entry answer page: the text in msg="…" (or, when
// that is absent, in alert("…")) up to the next double quote, without written-out \r\n escapes.
std::string AnswerText(const std::string& page);

// Options of an RD-X4EX that keeps its reservations in stateFile when one is named.
recsim::Options X4EX(const std::string& stateFile = "");

// The entry form's fields for a reservation, in the form's order, as the program posts them.
recsim::FormFields FieldsOf(const recsim::Reservation& r);
// The form posted for a reservation: bytes >= 0x80, blank, * # % < > + as %XX, & as %26, and
// the post-data file's line break at the end.
std::string BodyOf(const recsim::Reservation& r);
// One of the reservation's text fields, by its form name.
std::string& Selection(recsim::Reservation& r, const std::string& name);

}  // namespace simtest
