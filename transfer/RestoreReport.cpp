#include "RestoreReport.h"

#include <cstdio>

#include "PageScan.h"
#include "SysClock.h"
#include "SysFile.h"
#include "SysUtils.h"
#include "TextSearch.h"
#include "Texts.h"

namespace {

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

}  // namespace

int CountReservations(const std::string& list) {
    std::string slot;
    int count = 0;
    if (!ScanReservationLinks(list, slot) || !TryStrToInt(slot, count) || count < 0) return -1;
    return ListIsFull(slot, list) ? Texts::kMaxReservations : count;
}

std::vector<int> ReservationsToRestore(const std::string& programDir,
                                       const std::optional<std::set<int>>& selection) {
    std::vector<int> numbers;
    for (int number = 0; number < Texts::kMaxReservations; ++number) {
        if (selection && selection->count(number) == 0) continue;
        if (Sys::Inspect(programDir + Texts::ReservationPageFile(number)).kind ==
            Sys::PathKind::File)
            numbers.push_back(number);
    }
    return numbers;
}

std::string RepeatQuestion(int count, const std::string& noRoomLine) {
    return Texts::kRestoreHolds1 + std::to_string(count) + Texts::kRestoreHolds2 + Texts::kLfCr +
           noRoomLine + Texts::kRestoreHolds3;
}

std::string StoppedLine(const std::vector<int>& notEntered) {
    std::string line = Texts::kRestoreStopped;
    for (size_t i = 0; i < notEntered.size(); ++i)
        line += (i == 0 ? "" : Texts::kListSeparator) + TwoDigits(notEntered[i]);
    return line + Texts::kLfCr;
}

std::string CheckLine(int before, int entered, int now) {
    if (before < 0 || now < 0) return std::string(Texts::kCheckUnknown) + Texts::kLfCr;
    const int expected = before + entered;
    return Texts::kCheckHead + std::to_string(now) + Texts::kCheckCount + std::to_string(before) +
           Texts::kCheckPlus + std::to_string(entered) + Texts::kCheckEquals +
           std::to_string(expected) + Texts::kCheckExpected +
           (now == expected ? Texts::kCheckMatch : Texts::kCheckMismatch) + Texts::kLfCr;
}

std::string ReportBlock(const std::string& timestamp, const std::string& host,
                        const std::string& report) {
    // The box breaks lines with LF CR; the file, like the saved pages, with CR LF.
    std::string body = SjisReplaceAll(report, Texts::kLfCr, "\r\n");
    if (!body.empty() && body.back() != '\n') body += "\r\n";
    return timestamp + " " + host + " " + Texts::kReportBlockTitle + "\r\n" + body + "\r\n";
}

bool AppendReportFile(const std::string& path, const std::string& block) {
    Sys::FileOpen how;
    how.access = Sys::FileAccess::Append;
    how.creation = Sys::FileCreation::OpenOrCreate;
    Sys::File file = Sys::OpenFile(path, how);
    if (!file.Valid()) return false;
    const bool written = file.WriteAll(block);
    return file.Close() && written;
}

std::string LocalTimestamp() {
    const Sys::LocalTime t = Sys::ToLocalTime(std::chrono::system_clock::now());
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second);
    return text;
}
