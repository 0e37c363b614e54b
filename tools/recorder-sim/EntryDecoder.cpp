#include "EntryDecoder.h"

#include "RecorderPages.h"
#include "SimTexts.h"

namespace recsim {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
                   HexValue(s[i + 2]) >= 0) {
            out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

const std::string* Find(const FormFields& fields, const std::string& name) {
    for (const auto& [n, v] : fields)
        if (n == name) return &v;  // the first one counts
    return nullptr;
}

bool IsNumberInRange(const std::string& s, int low, int high) {
    if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int v = std::stoi(s);
    return v >= low && v <= high;
}

EntryCheck Reject(std::string reason) {
    EntryCheck c;
    c.reason = std::move(reason);
    return c;
}

std::string Missing(const std::string& name) {
    return texts::kFieldItem + name + texts::kFieldMissing;
}

std::string Bad(const std::string& name) {
    return texts::kFieldItem + name + texts::kFieldBad;
}

}  // namespace

FormFields DecodeForm(const std::string& body) {
    std::string text = body;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    else if (!text.empty() && text.back() == '\n')
        text.pop_back();
    FormFields fields;
    if (text.empty()) return fields;
    size_t start = 0;
    while (true) {
        const size_t amp = text.find('&', start);
        const std::string pair = text.substr(start, amp == std::string::npos ? amp : amp - start);
        const size_t eq = pair.find('=');
        if (!pair.empty()) {
            if (eq == std::string::npos)
                fields.emplace_back(Unescape(pair), "");
            else
                fields.emplace_back(Unescape(pair.substr(0, eq)), Unescape(pair.substr(eq + 1)));
        }
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return fields;
}

EntryCheck CheckEntry(const FormFields& fields, const std::string& firstDate) {
    Reservation r;
    // An unchecked check box is simply left out of a browser's form; the program sends it empty.
    if (const std::string* exec = Find(fields, "bExec")) {
        if (*exec == "ON" || *exec == "on")
            r.exec = true;
        else if (exec->empty())
            r.exec = false;
        else
            return Reject(Bad("bExec"));
    } else {
        r.exec = false;
    }

    const std::string* title = Find(fields, "title_name");
    if (!title) return Reject(Missing("title_name"));
    for (unsigned char c : *title)
        if (c < 0x20 || c == 0x7F) return Reject(Bad("title_name"));
    r.title = *title;

    struct Sel {
        const char* name;
        std::string Reservation::*member;
    };
    const Sel lists[] = {
        {"genre", &Reservation::genre},         {"channel", &Reservation::channel},
        {"date", &Reservation::date},           {"disc", &Reservation::disc},
        {"vrate", &Reservation::vrate},         {"amode", &Reservation::amode},
        {"dvdr", &Reservation::dvdr},           {"aspect", &Reservation::aspect},
        {"bVPerform", &Reservation::bVPerform}, {"bAutoChapter", &Reservation::bAutoChapter}};
    // Checked in the form's order, so the reason names the first wrong field.
    auto checkList = [&](const Sel& sel) -> std::string {
        const std::string* v = Find(fields, sel.name);
        if (!v) return Missing(sel.name);
        bool offered = false;
        for (const auto& option : OptionsFor(sel.name, firstDate)) offered |= option.first == *v;
        if (!offered) return Bad(sel.name);
        r.*sel.member = *v;
        return "";
    };
    for (int i = 0; i < 3; ++i)
        if (std::string why = checkList(lists[i]); !why.empty()) return Reject(why);

    struct Time {
        const char* name;
        std::string Reservation::*member;
        int high;
    };
    const Time times[] = {{"start_hour", &Reservation::start_hour, 23},
                          {"start_minute", &Reservation::start_minute, 59},
                          {"end_hour", &Reservation::end_hour, 23},
                          {"end_minute", &Reservation::end_minute, 59}};
    for (const Time& t : times) {
        const std::string* v = Find(fields, t.name);
        if (!v) return Reject(Missing(t.name));
        if (!IsNumberInRange(*v, 0, t.high)) return Reject(Bad(t.name));
        r.*t.member = *v;
    }
    for (int i = 3; i < 10; ++i)
        if (std::string why = checkList(lists[i]); !why.empty()) return Reject(why);

    const std::string* detail = Find(fields, "detail");
    if (!detail) return Reject(Missing("detail"));
    r.detail = *detail;
    // The form's last field: without it the body was cut short on the way.
    if (!Find(fields, "end_form")) return Reject(Missing("end_form"));

    const auto [start, end] = TimeSpan(r);
    if (start % (24 * 60) == end % (24 * 60)) return Reject(texts::kSameTimes);

    EntryCheck c;
    c.ok = true;
    c.reservation = std::move(r);
    return c;
}

std::pair<int, int> TimeSpan(const Reservation& r) {
    auto number = [](const std::string& s) { return IsNumberInRange(s, 0, 59) ? std::stoi(s) : 0; };
    const int start = number(r.start_hour) * 60 + number(r.start_minute);
    int end = number(r.end_hour) * 60 + number(r.end_minute);
    if (end <= start) end += 24 * 60;
    return {start, end};
}

bool Overlaps(const Reservation& a, const Reservation& b) {
    if (a.date != b.date) return false;
    const auto [as, ae] = TimeSpan(a);
    const auto [bs, be] = TimeSpan(b);
    return as < be && bs < ae;
}

}  // namespace recsim
