// What the saved set holds, read back from the saved reservation pages with the scan the
// restore uses: one row per page, for the viewer's table and its CSV export.
#pragma once

#include <string>
#include <vector>

struct ReservationRow {
    // 1 to 32, as the viewer counts: page ZAVOCV00.HTM is number 1.
    int Number = 0;
    // The page's name in the program directory, "ZAVOCV00.HTM".
    std::string FileName;
    // The reservation's check box ("実行").
    bool On = false;
    // Shift-JIS display texts. Date, Channel and Mode are the texts the page shows for the
    // selected options (not their codes); Start and End are "HH:MM"; Title is decoded, as
    // the user typed it.
    std::string Date, Start, End, Channel, Mode, Title;
    // Every field the restore sends was found, and the page is readable Shift-JIS text.
    bool Complete = false;
    // Shift-JIS; why the row is not complete, empty when it is.
    std::string Problem;
};

// A saved page larger than this is no page of the recorder's; it is marked, not scanned.
inline constexpr long kMaxSavedPageBytes = 1 << 20;

// The rows of pages ZAVOCV00.HTM to ZAVOCV31.HTM that exist in programDir (which ends with
// '/'), in number order. A damaged page (markers missing, cut, huge, binary, not Shift-JIS,
// unreadable) gives a row marked incomplete with its Problem; nothing here raises.
std::vector<ReservationRow> ReadReservationTable(const std::string& programDir);

// The row of one saved page, from its bytes as they are on disk.
ReservationRow ReservationRowFromPage(int number, const std::string& bytes);

// The table's columns, in the viewer's order.
enum class ReservationColumn { Number, On, Date, Start, End, Channel, Mode, Title, Problem };
inline constexpr ReservationColumn kReservationColumns[] = {
    ReservationColumn::Number, ReservationColumn::On,    ReservationColumn::Date,
    ReservationColumn::Start,  ReservationColumn::End,   ReservationColumn::Channel,
    ReservationColumn::Mode,   ReservationColumn::Title, ReservationColumn::Problem};

// The column's heading (Shift-JIS): "番号", "実行", ...
const char* ReservationHeading(ReservationColumn column);

// What the row shows in the column (Shift-JIS). The number of a page that the restore would
// send incomplete carries the mark "×" in front.
std::string ReservationCell(const ReservationRow& row, ReservationColumn column);

// The line above the table: how many reservations the set holds and whether every page
// gave all the fields the restore sends (Shift-JIS).
std::string ReservationSummary(const std::vector<ReservationRow>& rows);

// The rows as a CSV file's bytes: UTF-8 with a byte-order mark (spreadsheet programs read
// a file without one in the local code page), a heading line, one line per row, CR LF line
// ends, fields quoted where they hold a comma, a quote or a line break.
std::string ReservationCsv(const std::vector<ReservationRow>& rows);

// Writes ReservationCsv(rows) to path, replacing a file there; EFCreateError on failure.
void SaveReservationCsv(const std::string& path, const std::vector<ReservationRow>& rows);

// Cells lined up for a terminal, where a Shift-JIS character's bytes are its width: each column
// padded with blanks to its widest cell and two more, no blanks at a line's end, '\n' after
// every line.
std::string AlignColumns(const std::vector<std::vector<std::string>>& lines);
