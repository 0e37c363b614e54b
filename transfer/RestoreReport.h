// What the restore decides and reports besides the entries themselves: which saved
// reservations to post, how many reservations the RD-X4EX's list shows, the question before
// a repeated restore, the report's closing lines, and the report file kept beside the program.
// Texts are Shift-JIS bytes; report lines end with LF CR like the recorder's answers.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

// The reservations the RD-X4EX's list shows, counted as the capture counts them: the number
// of its last reservation link (the new-reservation entry is one past the last stored one),
// or 32 for a full list without that entry. -1 when the list gives no readable number.
int CountReservations(const std::string& list);

// The file numbers (0 to 31) of the saved reservation pages to post, ascending: those that
// exist in programDir and, when a selection is given, are in it.
std::vector<int> ReservationsToRestore(const std::string& programDir,
                                       const std::optional<std::set<int>>& selection);

// The question before a restore into a recorder that already holds count reservations;
// noRoomLine (the plan's line naming those that will not fit) goes before its last sentence.
std::string RepeatQuestion(int count, const std::string& noRoomLine = std::string());

// The line of a stopped restore naming the reservations it did not enter ("03、04").
std::string StoppedLine(const std::vector<int>& notEntered);

// The closing line: the recorder now shows `now` reservations and should show before +
// entered. A count of -1 (not read) gives the line saying that the check was not possible.
std::string CheckLine(int before, int entered, int now);

// One block of the report file: a title line with the time and the recorder's host, the
// report's lines, and an empty line; CR LF line ends.
std::string ReportBlock(const std::string& timestamp, const std::string& host,
                        const std::string& report);

// Appends the block to the file, creating it when missing. False when it was not written.
bool AppendReportFile(const std::string& path, const std::string& block);

// The local date and time as "YYYY/MM/DD hh:mm:ss".
std::string LocalTimestamp();
