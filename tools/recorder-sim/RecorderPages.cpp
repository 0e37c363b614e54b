#include "RecorderPages.h"

#include <chrono>
#include <stdexcept>

#include "SimTexts.h"

namespace recsim {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int kDateDays = 62;
constexpr int kMaxReservations = 32;

std::string Head(const std::string& title) {
    std::string s;
    s += "<HTML>\r\n<HEAD>\r\n";
    s += "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n";
    s += "<TITLE>" + title + "</TITLE>\r\n";
    s += "</HEAD>\r\n";
    return s;
}

std::chrono::sys_days ParseDate(const std::string& yyyymmdd) {
    if (yyyymmdd.size() != 8 || yyyymmdd.find_first_not_of("0123456789") != std::string::npos)
        throw std::invalid_argument("first date must be YYYYMMDD: " + yyyymmdd);
    std::chrono::year_month_day ymd{std::chrono::year{std::stoi(yyyymmdd.substr(0, 4))},
                                    std::chrono::month{unsigned(std::stoi(yyyymmdd.substr(4, 2)))},
                                    std::chrono::day{unsigned(std::stoi(yyyymmdd.substr(6, 2)))}};
    if (!ymd.ok()) throw std::invalid_argument("first date is no real date: " + yyyymmdd);
    return std::chrono::sys_days{ymd};
}

std::string TwoDigits(unsigned v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

// The list of one selection field, with the stored value selected. A value the recorder does
// not offer (a hand-made reservation) still shows, as an extra option, so that nothing the
// reservation holds is hidden from the page.
std::string SelectList(const std::string& name, const std::string& value,
                       const std::string& firstDate) {
    std::string s = "<SELECT name=\"" + name + "\">\r\n";
    bool found = false;
    for (const auto& [v, text] : OptionsFor(name, firstDate)) {
        // The selected option's value stands directly before " selected": the program keeps
        // only a few characters in front of "selected" and finds the value among them.
        s += "<OPTION value=\"" + HtmlEscape(v) + "\"" + (v == value ? " selected" : "") + ">" +
             text + kCrLf;
        found = found || v == value;
    }
    if (!found)
        s += "<OPTION value=\"" + HtmlEscape(value) + "\" selected>" + HtmlEscape(value) + kCrLf;
    // Lower case on purpose: the program looks for "</select>".
    s += "</select>";
    return s;
}

std::string Row(const std::string& label, const std::string& cell) {
    return "<TR><TD>" + label + "</TD><TD>" + cell + "</TD></TR>\r\n";
}

// Text shown on the reservation list, written so that no user text can be read as one of the
// list's markers: "?" as a character reference (no "b_proginfo.htm?" from a title) and the
// new-reservation text split by an empty tag (a title cannot pose as the new-reservation link).
std::string ListText(const std::string& text) {
    std::string s;
    const std::string escaped = HtmlEscape(text);
    const std::string mark = texts::kNewReservation;
    for (size_t i = 0; i < escaped.size();) {
        unsigned char c = escaped[i];
        if (escaped.compare(i, mark.size(), mark) == 0) {
            s += mark.substr(0, 4) + "<WBR>" + mark.substr(4);
            i += mark.size();
        } else if (c == '?') {
            s += "&#63;";
            ++i;
        } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            s += escaped.substr(i, 2);  // a double-byte character: its trail byte is no "?"
            i += 2;
        } else {
            s += char(c);
            ++i;
        }
    }
    return s;
}

std::string DateText(const std::string& value, const std::string& firstDate) {
    for (const auto& [v, text] : OptionsFor("date", firstDate))
        if (v == value) return text;
    return HtmlEscape(value);
}

}  // namespace

const std::vector<std::string>& SelectionFields() {
    static const std::vector<std::string> fields = {"genre",     "channel",     "date", "disc",
                                                    "vrate",     "amode",       "dvdr", "aspect",
                                                    "bVPerform", "bAutoChapter"};
    return fields;
}

void CheckFirstDate(const std::string& firstDate) {
    ParseDate(firstDate);
}

OptionValues OptionsFor(const std::string& field, const std::string& firstDate) {
    OptionValues o;
    auto indexed = [&o](const char* const* names, int n) {
        for (int i = 0; i < n; ++i) o.emplace_back(std::to_string(i), names[i]);
    };
    if (field == "genre") {
        indexed(texts::kGenreNames, 11);
    } else if (field == "channel") {
        for (int ch = 1; ch <= 12; ++ch)
            o.emplace_back(std::to_string(ch), std::to_string(ch) + "ch");
        for (int l = 1; l <= 3; ++l)
            o.emplace_back("L" + std::to_string(l), texts::kExternalInput + std::to_string(l));
        for (int bs : {101, 103, 141, 151, 161, 171, 181, 191, 200})
            o.emplace_back(std::to_string(bs), "BS" + std::to_string(bs));
    } else if (field == "date") {
        const std::chrono::sys_days first = ParseDate(firstDate);
        for (int d = 0; d < kDateDays; ++d) {
            const std::chrono::sys_days day = first + std::chrono::days{d};
            const std::chrono::year_month_day ymd{day};
            const std::chrono::weekday wd{day};
            std::string value = std::to_string(int(ymd.year())) + TwoDigits(unsigned(ymd.month())) +
                                TwoDigits(unsigned(ymd.day()));
            std::string text = TwoDigits(unsigned(ymd.month())) + "/" +
                               TwoDigits(unsigned(ymd.day())) + "(" +
                               texts::kWeekdays[wd.c_encoding()] + ")";
            o.emplace_back(value, text);
        }
        o.emplace_back("D", texts::kEveryDay);
        for (int w = 0; w < 7; ++w)
            o.emplace_back(
                "W" + std::to_string(w),
                std::string(texts::kEveryWeek) + texts::kWeekdays[w] + texts::kWeekdaySuffix);
        o.emplace_back("MF", texts::kMonFri);
        o.emplace_back("MS", texts::kMonSat);
    } else if (field == "disc") {
        o = {{"0", "HDD"}, {"1", "DVD-RAM"}, {"2", "DVD-R"}};
    } else if (field == "vrate") {
        for (const char* r : {"9.2", "8.0", "6.0", "4.6", "3.0", "2.2", "1.4"})
            o.emplace_back(r, std::string(r) + "Mbps");
        o.emplace_back("AUTO", texts::kAuto);
    } else if (field == "amode") {
        indexed(texts::kAmodeNames, 4);
    } else if (field == "dvdr") {
        indexed(texts::kDvdrNames, 2);
    } else if (field == "aspect") {
        indexed(texts::kAspectNames, 3);
    } else if (field == "bVPerform" || field == "bAutoChapter") {
        indexed(texts::kOnOffNames, 2);
    }
    return o;
}

std::string HtmlEscape(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                s += "&amp;";
                break;
            case '<':
                s += "&lt;";
                break;
            case '>':
                s += "&gt;";
                break;
            case '"':
                s += "&quot;";
                break;
            default:
                s += c;
        }
    }
    return s;
}

Reservation NewReservationDefaults(const std::string& firstDate) {
    Reservation r;
    r.genre = "0";
    r.channel = "1";
    r.date = OptionsFor("date", firstDate).front().first;
    r.start_hour = "21";
    r.start_minute = "00";
    r.end_hour = "22";
    r.end_minute = "00";
    r.disc = "0";
    r.vrate = "4.6";
    r.amode = "0";
    r.dvdr = "0";
    r.aspect = "0";
    r.bVPerform = "0";
    r.bAutoChapter = "1";
    return r;
}

std::string TopPage() {
    return Head("RD") + "<BODY>\r\n<A HREF=\"/program/b_prgrm.htm\">" + texts::kFramePageTitle +
           "</A><BR>\r\n<A HREF=\"/setup/setup.htm\">" + texts::kSetupTitle +
           "</A><BR>\r\n<A HREF=\"/setup/ch_set.htm\">" + texts::kChannelTitle +
           "</A>\r\n</BODY>\r\n</HTML>\r\n";
}

std::string ListFramePage(const std::string& segment) {
    // The reservation list frame comes first: the program takes the segment from the first
    // "/program.htm" on this page.
    return Head(texts::kFramePageTitle) + "<FRAMESET COLS=\"45%,55%\">\r\n" +
           "<FRAME SRC=\"/program/" + segment + "/program.htm\" NAME=\"list\">\r\n" +
           "<FRAME SRC=\"/program/" + segment + "/blank.htm\" NAME=\"info\">\r\n" +
           "</FRAMESET>\r\n</HTML>\r\n";
}

std::string ReservationListPage(const std::vector<Reservation>& list,
                                const std::string& firstDate) {
    std::string s = Head(texts::kListTitle) + "<BODY>\r\n<TABLE BORDER=\"1\">\r\n";
    for (size_t i = 0; i < list.size(); ++i) {
        const Reservation& r = list[i];
        s += "<TR><TD>" + TwoDigits(unsigned(i + 1)) + "</TD><TD><A HREF=\"b_proginfo.htm?" +
             std::to_string(i) + "\" TARGET=\"info\">" + ListText(r.title) + "</A>" +
             (r.exec ? "" : texts::kPaused) + "</TD><TD>" + DateText(r.date, firstDate) +
             "</TD><TD>" + HtmlEscape(r.start_hour) + ":" + HtmlEscape(r.start_minute) + "-" +
             HtmlEscape(r.end_hour) + ":" + HtmlEscape(r.end_minute) + "</TD></TR>\r\n";
    }
    // A full recorder offers no new-reservation entry.
    if (list.size() < size_t(kMaxReservations))
        s += "<TR><TD></TD><TD><A HREF=\"b_proginfo.htm?" + std::to_string(list.size()) +
             "\" TARGET=\"info\">" + texts::kNewReservation +
             "</A></TD><TD></TD><TD></TD></TR>\r\n";
    s += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
    return s;
}

std::string SelectorPage() {
    return Head(texts::kFormTitle) +
           "<FRAMESET ROWS=\"100%\">\r\n<FRAME SRC=\"proginfo.htm\" NAME=\"form\">\r\n"
           "</FRAMESET>\r\n</HTML>\r\n";
}

std::string BlankPage() {
    return Head("") + "<BODY>\r\n</BODY>\r\n</HTML>\r\n";
}

std::string ReservationPageX4(const Reservation& r, const std::string& firstDate) {
    std::string s = Head(texts::kFormTitle);
    s += "<BODY>\r\n<FORM NAME=\"proginfo\" METHOD=\"POST\" ACTION=\"entry.htm\">\r\n";
    s += "<TABLE BORDER=\"0\">\r\n";
    // Exactly one blank between the name and "checked".
    s += Row(texts::kLabelExec, std::string("<INPUT TYPE=\"checkbox\" name=\"bExec\"") +
                                    (r.exec ? " checked" : "") + ">" + texts::kLabelExecOn);
    // The title input is written by a script, inside a quoted string: the value is HTML-escaped
    // but otherwise raw Shift-JIS, as the recorder writes it.
    s += std::string("<TR><TD>") + texts::kLabelTitle + "</TD><TD>\r\n";
    s += "<SCRIPT LANGUAGE=\"JavaScript\">\r\n";
    s += "document.write(\"<INPUT TYPE=\\\"text\\\" NAME=\\\"title_name\\\" SIZE=\\\"40\\\" "
         "value=\\\"" +
         HtmlEscape(r.title) + "\\\">\");\r\n";
    s += "</SCRIPT>\r\n</TD></TR>\r\n";
    s += Row(texts::kLabelGenre, SelectList("genre", r.genre, firstDate));
    s += Row(texts::kLabelChannel, SelectList("channel", r.channel, firstDate));
    s += Row(texts::kLabelDate, SelectList("date", r.date, firstDate));
    // The start inputs have a blank before "=", the end inputs on both sides of it.
    s += Row(texts::kLabelStart,
             "<INPUT TYPE=\"text\" name=\"start_hour\" SIZE=\"2\" value =\"" +
                 HtmlEscape(r.start_hour) + "\">" + texts::kHour +
                 "<INPUT TYPE=\"text\" name=\"start_minute\" SIZE=\"2\" value =\"" +
                 HtmlEscape(r.start_minute) + "\">" + texts::kMinute);
    s +=
        Row(texts::kLabelEnd, "<INPUT TYPE=\"text\" name=\"end_hour\" SIZE=\"2\" value = \"" +
                                  HtmlEscape(r.end_hour) + "\">" + texts::kHour +
                                  "<INPUT TYPE=\"text\" name=\"end_minute\" SIZE=\"2\" value = \"" +
                                  HtmlEscape(r.end_minute) + "\">" + texts::kMinute);
    s += Row(texts::kLabelDisc, SelectList("disc", r.disc, firstDate));
    s += Row(texts::kLabelVrate, SelectList("vrate", r.vrate, firstDate));
    s += Row(texts::kLabelAmode, SelectList("amode", r.amode, firstDate));
    s += Row(texts::kLabelDvdr, SelectList("dvdr", r.dvdr, firstDate));
    s += Row(texts::kLabelAspect, SelectList("aspect", r.aspect, firstDate));
    s += Row(texts::kLabelVPerform, SelectList("bVPerform", r.bVPerform, firstDate));
    s += Row(texts::kLabelAutoChapter, SelectList("bAutoChapter", r.bAutoChapter, firstDate));
    // The text area's opening tag is written by a script; the detail follows on the line after
    // "</SCRIPT>", up to "</textarea>". No other "</SCRIPT>" may stand after the time inputs.
    s += std::string("<TR><TD>") + texts::kLabelDetail + "</TD><TD>\r\n";
    s += "<SCRIPT LANGUAGE=\"JavaScript\">\r\n";
    s += "document.write(\"<TEXTAREA NAME=\\\"detail\\\" ROWS=\\\"4\\\" COLS=\\\"40\\\">\");\r\n";
    s += "</SCRIPT>\r\n";
    s += HtmlEscape(r.detail) + "</textarea>\r\n</TD></TR>\r\n";
    s += "</TABLE>\r\n";
    s += std::string("<INPUT TYPE=\"submit\" VALUE=\"") + texts::kEnter + "\">\r\n";
    s += "</FORM>\r\n</BODY>\r\n</HTML>\r\n";
    return s;
}

std::string EntryFormPageX4EX(const Reservation& r, const std::string& firstDate) {
    std::string s = Head(texts::kFormTitle);
    s += "<BODY>\r\n<FORM NAME=\"entry\" METHOD=\"POST\" ACTION=\"entry.htm\">\r\n";
    s += "<TABLE BORDER=\"0\">\r\n";
    s +=
        Row(texts::kLabelExec, std::string("<INPUT TYPE=\"checkbox\" NAME=\"bExec\" VALUE=\"ON\"") +
                                   (r.exec ? " CHECKED" : "") + ">" + texts::kLabelExecOn);
    s += Row(texts::kLabelTitle, "<INPUT TYPE=\"text\" NAME=\"title_name\" SIZE=\"40\" VALUE=\"" +
                                     HtmlEscape(r.title) + "\">");
    auto select = [&](const char* label, const char* name, const std::string& value) {
        s += Row(label, SelectList(name, value, firstDate));
    };
    select(texts::kLabelGenre, "genre", r.genre);
    select(texts::kLabelChannel, "channel", r.channel);
    select(texts::kLabelDate, "date", r.date);
    auto input = [](const char* name, const std::string& value) {
        return "<INPUT TYPE=\"text\" NAME=\"" + std::string(name) + "\" SIZE=\"2\" VALUE=\"" +
               HtmlEscape(value) + "\">";
    };
    s += Row(texts::kLabelStart, input("start_hour", r.start_hour) + texts::kHour +
                                     input("start_minute", r.start_minute) + texts::kMinute);
    s += Row(texts::kLabelEnd, input("end_hour", r.end_hour) + texts::kHour +
                                   input("end_minute", r.end_minute) + texts::kMinute);
    select(texts::kLabelDisc, "disc", r.disc);
    select(texts::kLabelVrate, "vrate", r.vrate);
    select(texts::kLabelAmode, "amode", r.amode);
    select(texts::kLabelDvdr, "dvdr", r.dvdr);
    select(texts::kLabelAspect, "aspect", r.aspect);
    select(texts::kLabelVPerform, "bVPerform", r.bVPerform);
    select(texts::kLabelAutoChapter, "bAutoChapter", r.bAutoChapter);
    s += Row(texts::kLabelDetail, "<TEXTAREA NAME=\"detail\" ROWS=\"4\" COLS=\"40\">" +
                                      HtmlEscape(r.detail) + "</TEXTAREA>");
    s += "</TABLE>\r\n";
    s += "<INPUT TYPE=\"hidden\" NAME=\"lVoice\" VALUE=\"1\">\r\n";
    s += "<INPUT TYPE=\"hidden\" NAME=\"end_form\" VALUE=\"0\">\r\n";
    s += std::string("<INPUT TYPE=\"submit\" VALUE=\"") + texts::kEnter + "\">\r\n";
    s += "</FORM>\r\n</BODY>\r\n</HTML>\r\n";
    return s;
}

std::string SetupPage(const std::string& password) {
    const std::string pw = HtmlEscape(password);
    std::string s = Head(texts::kSetupTitle);
    s += "<BODY>\r\n<FORM NAME=\"setup\" METHOD=\"POST\" ACTION=\"setup.htm\">\r\n";
    s += "<TABLE BORDER=\"0\">\r\n";
    s += Row(texts::kSetupUnitName,
             "<INPUT type=\"text\" name=\"unit_name\" size=\"20\" value=\"RD-X4\">");
    s += Row(texts::kSetupAdminPassword,
             "<INPUT type=\"password\" name=\"admin_pass\" size=\"20\" value=\"" + pw + "\">");
    s += Row(texts::kSetupConfirm,
             "<INPUT type=\"password\" name=\"admin_pass2\" size=\"20\" value=\"" + pw + "\">");
    s += Row(texts::kSetupUserName,
             "<INPUT type=\"text\" name=\"user_name\" size=\"20\" value=\"user\">");
    s += Row(texts::kSetupUserPassword,
             "<INPUT type=\"password\" name=\"user_pass\" size=\"20\" value=\"" + pw + "\">");
    // This one is written in capitals by the recorder.
    s += Row(texts::kSetupMailPassword,
             "<INPUT TYPE=\"PASSWORD\" NAME=\"mail_pass\" SIZE=\"20\" VALUE=\"" + pw + "\">");
    s += "</TABLE>\r\n";
    s += std::string("<INPUT TYPE=\"submit\" VALUE=\"") + texts::kEnter + "\">\r\n";
    s += "</FORM>\r\n</BODY>\r\n</HTML>\r\n";
    return s;
}

std::string ChannelPage() {
    std::string s = Head(texts::kChannelTitle);
    s += "<BODY>\r\n<FORM NAME=\"chset\" METHOD=\"POST\" ACTION=\"ch_set.htm\">\r\n";
    s += std::string("<TABLE BORDER=\"1\">\r\n<TR><TH>") + texts::kLabelChannel + "</TH><TH>" +
         texts::kChannelStation + "</TH><TH>" + texts::kChannelSkip + "</TH></TR>\r\n";
    for (int ch = 1; ch <= 12; ++ch) {
        const std::string n = std::to_string(ch);
        s += "<TR><TD>" + n + "</TD><TD><INPUT type=\"text\" name=\"st" + n +
             "\" size=\"8\" value=\"CH" + n + "\"></TD><TD><INPUT type=\"checkbox\" name=\"skip" +
             n + "\"" + (ch % 2 == 0 ? " checked" : "") + "></TD></TR>\r\n";
    }
    s += "</TABLE>\r\n</FORM>\r\n</BODY>\r\n</HTML>\r\n";
    return s;
}

std::string EntryMessagePage(const std::string& message) {
    // The script writes the line break out as the escape \r\n, as the recorder does.
    return Head(texts::kEntryResult) + "<SCRIPT LANGUAGE=\"JavaScript\">\r\n<!--\r\nvar msg=\"" +
           message +
           "\\r\\n\";\r\nalert(msg);\r\nparent.location.href=\"/program/b_prgrm.htm\";\r\n"
           "//-->\r\n</SCRIPT>\r\n<BODY>\r\n</BODY>\r\n</HTML>\r\n";
}

std::string EntryAlertPage(const std::string& message, const std::string& detail) {
    return Head(texts::kEntryResult) + "<SCRIPT LANGUAGE=\"JavaScript\">\r\n<!--\r\nalert(\"" +
           message + "\\r\\n" + detail + "\");\r\nhistory.back();\r\n//-->\r\n</SCRIPT>\r\n" +
           "<BODY>\r\n</BODY>\r\n</HTML>\r\n";
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Request Entity Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string StatusPage(int status) {
    const std::string line = std::to_string(status) + " " + ReasonPhrase(status);
    return "<HTML>\r\n<HEAD><TITLE>" + line + "</TITLE></HEAD>\r\n<BODY>\r\n<H1>" + line +
           "</H1>\r\n</BODY>\r\n</HTML>\r\n";
}

}  // namespace recsim
