#include "ReservationTable.h"

#include <algorithm>
#include <cctype>

#include "EntryForm.h"
#include "Sjis.h"
#include "SysFile.h"
#include "SysText.h"
#include "SysUtils.h"
#include "Texts.h"
#include "WorkList.h"

namespace {

const EntryField* FieldNamed(const std::vector<EntryField>& fields, const char* name) {
    for (const EntryField& field : fields)
        if (field.Name == name) return &field;
    return nullptr;
}

std::string ValueOf(const std::vector<EntryField>& fields, const char* name) {
    const EntryField* field = FieldNamed(fields, name);
    return field ? field->Value : std::string();
}

std::string OptionTextOf(const std::vector<EntryField>& fields, const char* name) {
    const EntryField* field = FieldNamed(fields, name);
    return field ? field->OptionText : std::string();
}

// "HH:MM" from the two text inputs; a one-digit number gains its leading zero, a part the
// page lacks shows as "--".
std::string TimeOf(const std::vector<EntryField>& fields, const char* hour, const char* minute) {
    auto part = [&fields](const char* name) {
        const EntryField* field = FieldNamed(fields, name);
        if (!field || !field->Whole) return std::string("--");
        if (field->Value.size() == 1 && field->Value[0] >= '0' && field->Value[0] <= '9')
            return "0" + field->Value;
        return field->Value;
    };
    return part(hour) + ":" + part(minute);
}

enum class TextCheck { Text, Binary, NotSjis };

// Control bytes other than tab, line breaks and form feed mean the file is no page; a lead
// byte without its trail byte, or a byte Shift-JIS does not use, means a wrong code page.
TextCheck CheckText(const std::string& bytes) {
    bool sjis = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') return TextCheck::Binary;
        if (c == 0x7F) return TextCheck::Binary;
        if (IsSjisLeadByte(c)) {
            const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            if (t < 0x40 || t == 0x7F || t > 0xFC) sjis = false;
            ++i;
        } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
            sjis = false;
        }
    }
    return sjis ? TextCheck::Text : TextCheck::NotSjis;
}

bool ContainsNoCase(const std::string& text, const std::string& lowerNeedle) {
    if (lowerNeedle.size() > text.size()) return false;
    for (size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < lowerNeedle.size() &&
               static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + k]))) ==
                   lowerNeedle[k])
            ++k;
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

ReservationRow MarkedRow(int number, const char* problem) {
    ReservationRow row;
    row.Number = number;
    row.FileName = Texts::ReservationPageFile(number - 1);
    row.Start = row.End = "--:--";
    row.Problem = problem;
    return row;
}

std::string CsvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

ReservationRow ReservationRowFromPage(int number, const std::string& bytes) {
    ReservationRow row = MarkedRow(number, "");
    const TextCheck check = CheckText(bytes);
    // The same page text the restore scans: CR LF line breaks, ending at a NUL.
    TWorkList page;
    page.SetText(bytes);
    const std::string text = page.Text();
    const std::vector<EntryField> fields = ScanEntryForm(text);

    row.On = ValueOf(fields, "bExec") == "ON";
    row.Title = DecodeEntities(ValueOf(fields, "title_name"));
    row.Date = OptionTextOf(fields, "date");
    row.Channel = OptionTextOf(fields, "channel");
    row.Mode = OptionTextOf(fields, "vrate");
    row.Start = TimeOf(fields, "start_hour", "start_minute");
    row.End = TimeOf(fields, "end_hour", "end_minute");

    std::string missing;
    for (const EntryField& field : fields) {
        if (field.Whole) continue;
        if (!missing.empty()) missing += ", ";
        missing += field.Name;
    }
    if (check == TextCheck::Binary) {
        row.Problem = Texts::kRowBinary;
    } else if (check == TextCheck::NotSjis) {
        row.Problem = Texts::kRowNotSjis;
    }
    if (!missing.empty()) {
        // A page the recorder sent whole ends with its closing tag.
        if (!ContainsNoCase(text, "</html>")) row.Problem += Texts::kRowCut;
        row.Problem += Texts::kRowMissingFields + missing;
    }
    row.Complete = row.Problem.empty();
    return row;
}

std::vector<ReservationRow> ReadReservationTable(const std::string& programDir) {
    std::vector<ReservationRow> rows;
    for (int i = 0; i < Texts::kMaxReservations; ++i) {
        const std::string path = programDir + Texts::ReservationPageFile(i);
        const Sys::PathInfo info = Sys::Inspect(path, false);
        if (info.kind == Sys::PathKind::Missing) continue;
        if (info.kind == Sys::PathKind::Unknown) {
            rows.push_back(MarkedRow(i + 1, Texts::kRowUnreadable));
            continue;
        }
        if (info.kind == Sys::PathKind::File && info.size > kMaxSavedPageBytes) {
            rows.push_back(MarkedRow(i + 1, Texts::kRowTooLarge));
            continue;
        }
        std::string bytes;
        const Sys::ReadStatus status = Sys::TryReadWholeFile(path, bytes);
        if (status == Sys::ReadStatus::Missing) continue;
        if (status != Sys::ReadStatus::Ok || static_cast<long>(bytes.size()) > kMaxSavedPageBytes) {
            rows.push_back(MarkedRow(i + 1, status == Sys::ReadStatus::Ok ? Texts::kRowTooLarge
                                                                          : Texts::kRowUnreadable));
            continue;
        }
        rows.push_back(ReservationRowFromPage(i + 1, bytes));
    }
    return rows;
}

std::string ReservationSummary(const std::vector<ReservationRow>& rows) {
    if (rows.empty()) return Texts::kSummaryNone;
    int incomplete = 0;
    for (const ReservationRow& row : rows)
        if (!row.Complete) ++incomplete;
    std::string line =
        Texts::kSummaryCount + std::to_string(rows.size()) + Texts::kCountSuffix + "  ";
    if (incomplete == 0) return line + Texts::kSummaryAllWhole;
    return line + Texts::kSummaryIncomplete1 + std::to_string(incomplete) +
           Texts::kSummaryIncomplete2;
}

const char* ReservationHeading(ReservationColumn column) {
    switch (column) {
        case ReservationColumn::Number:
            return Texts::kColNumber;
        case ReservationColumn::On:
            return Texts::kColOn;
        case ReservationColumn::Date:
            return Texts::kColDate;
        case ReservationColumn::Start:
            return Texts::kColStart;
        case ReservationColumn::End:
            return Texts::kColEnd;
        case ReservationColumn::Channel:
            return Texts::kColChannel;
        case ReservationColumn::Mode:
            return Texts::kColMode;
        case ReservationColumn::Title:
            return Texts::kColTitle;
        case ReservationColumn::Problem:
            return Texts::kColProblem;
    }
    return "";
}

std::string ReservationCell(const ReservationRow& row, ReservationColumn column) {
    switch (column) {
        case ReservationColumn::Number:
            return (row.Complete ? std::string() : std::string(Texts::kIncompleteMark)) +
                   std::to_string(row.Number);
        case ReservationColumn::On:
            return row.On ? "ON" : "OFF";
        case ReservationColumn::Date:
            return row.Date;
        case ReservationColumn::Start:
            return row.Start;
        case ReservationColumn::End:
            return row.End;
        case ReservationColumn::Channel:
            return row.Channel;
        case ReservationColumn::Mode:
            return row.Mode;
        case ReservationColumn::Title:
            return row.Title;
        case ReservationColumn::Problem:
            return row.Problem;
    }
    return std::string();
}

std::string ReservationCsv(const std::vector<ReservationRow>& rows) {
    std::string csv = "\xEF\xBB\xBF";
    for (ReservationColumn column : kReservationColumns) {
        if (column != kReservationColumns[0]) csv += ',';
        csv += CsvField(Sys::SjisToUtf8(ReservationHeading(column)));
    }
    csv += "\r\n";
    for (const ReservationRow& row : rows) {
        // The file has its own column for what is wrong: the number stays a plain number.
        std::vector<std::string> fields;
        for (ReservationColumn column : kReservationColumns)
            fields.push_back(column == ReservationColumn::Number
                                 ? std::to_string(row.Number)
                                 : Sys::SjisToUtf8(ReservationCell(row, column)));
        bool first = true;
        for (const std::string& field : fields) {
            if (!first) csv += ',';
            first = false;
            csv += CsvField(field);
        }
        csv += "\r\n";
    }
    return csv;
}

void SaveReservationCsv(const std::string& path, const std::vector<ReservationRow>& rows) {
    if (!Sys::ReplaceFile(path, ReservationCsv(rows)))
        throw EFCreateError(FileCreateErrorMessage(path));
}

std::string AlignColumns(const std::vector<std::vector<std::string>>& lines) {
    std::vector<size_t> widths;
    for (const auto& line : lines) {
        if (widths.size() < line.size()) widths.resize(line.size(), 0);
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
    }
    std::string text;
    for (const auto& line : lines) {
        std::string row;
        for (size_t c = 0; c < line.size(); ++c) {
            row += line[c];
            if (c + 1 < line.size()) row.append(widths[c] - line[c].size() + 2, ' ');
        }
        while (!row.empty() && row.back() == ' ') row.pop_back();
        text += row + "\n";
    }
    return text;
}
