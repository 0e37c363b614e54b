#include "StateFile.h"

#include <sstream>
#include <stdexcept>

#include "SysFile.h"

namespace recsim {

namespace {

constexpr char kMagic[] = "recorder-sim-state 1";

struct Field {
    const char* key;
    std::string Reservation::*member;
};

const Field kFields[] = {{"title_name", &Reservation::title},
                         {"genre", &Reservation::genre},
                         {"channel", &Reservation::channel},
                         {"date", &Reservation::date},
                         {"start_hour", &Reservation::start_hour},
                         {"start_minute", &Reservation::start_minute},
                         {"end_hour", &Reservation::end_hour},
                         {"end_minute", &Reservation::end_minute},
                         {"disc", &Reservation::disc},
                         {"vrate", &Reservation::vrate},
                         {"amode", &Reservation::amode},
                         {"dvdr", &Reservation::dvdr},
                         {"aspect", &Reservation::aspect},
                         {"bVPerform", &Reservation::bVPerform},
                         {"bAutoChapter", &Reservation::bAutoChapter},
                         {"detail", &Reservation::detail}};

std::string Escape(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x21 || c > 0x7E || c == '%' || c == '=') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

[[noreturn]] void Fail(int line, const std::string& what) {
    throw std::runtime_error("state file line " + std::to_string(line) + ": " + what);
}

std::string Unescape(const std::string& s, int line) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size() || Hex(s[i + 1]) < 0 || Hex(s[i + 2]) < 0) Fail(line, "bad %-escape");
        out += char(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
        i += 2;
    }
    return out;
}

}  // namespace

std::string StateText(const std::vector<Reservation>& list) {
    std::string s = std::string(kMagic) + "\n";
    for (const Reservation& r : list) {
        s += "reservation\n";
        s += std::string("exec=") + (r.exec ? "1" : "0") + "\n";
        for (const Field& f : kFields) s += std::string(f.key) + "=" + Escape(r.*f.member) + "\n";
        s += "end\n";
    }
    return s;
}

std::vector<Reservation> ParseStateText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    if (!std::getline(in, line)) Fail(1, "empty file, not a recorder-sim state");
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != kMagic) Fail(1, "not a recorder-sim state");
    std::vector<Reservation> list;
    bool inBlock = false;
    Reservation r;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!inBlock) {
            if (line != "reservation") Fail(number, "expected \"reservation\"");
            inBlock = true;
            r = Reservation{};
            continue;
        }
        if (line == "end") {
            list.push_back(r);
            inBlock = false;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) Fail(number, "expected key=value");
        const std::string key = line.substr(0, eq);
        const std::string value = Unescape(line.substr(eq + 1), number);
        if (key == "exec") {
            if (value != "0" && value != "1") Fail(number, "exec must be 0 or 1");
            r.exec = value == "1";
            continue;
        }
        bool known = false;
        for (const Field& f : kFields) {
            if (key == f.key) {
                r.*f.member = value;
                known = true;
            }
        }
        if (!known) Fail(number, "unknown key " + key);
    }
    if (inBlock) Fail(number, "reservation without \"end\"");
    return list;
}

bool LoadStateFile(const std::string& path, std::vector<Reservation>& list) {
    std::string text;
    switch (Sys::TryReadWholeFile(path, text)) {
        case Sys::ReadStatus::Missing:
            return false;
        case Sys::ReadStatus::Failed:
            throw std::runtime_error("cannot read state file " + path);
        case Sys::ReadStatus::Ok:
            break;
    }
    list = ParseStateText(text);
    return true;
}

void SaveStateFile(const std::string& path, const std::vector<Reservation>& list) {
    Sys::ReplaceOptions options;
    options.newFileMode = 0644;
    if (!Sys::ReplaceFile(path, StateText(list), options))
        throw std::runtime_error("cannot replace state file " + path);
}

}  // namespace recsim
