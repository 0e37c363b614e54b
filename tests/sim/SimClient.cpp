#include "SimClient.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "SysText.h"

namespace simtest {

int RawAnswer::Status() const {
    if (bytes.compare(0, 9, "HTTP/1.0 ") != 0 || bytes.size() < 12) return 0;
    return std::stoi(bytes.substr(9, 3));
}

std::string RawAnswer::Header() const {
    const size_t end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? bytes : bytes.substr(0, end + 4);
}

std::string RawAnswer::Body() const {
    const size_t end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? "" : bytes.substr(end + 4);
}

RawAnswer Exchange(int port, const std::string& request, int timeoutMs) {
    return {testsupport::ExchangeOnLoopback(static_cast<uint16_t>(port), request, timeoutMs)};
}

std::string GetRequest(const std::string& target, const std::string& extraHeaders) {
    return "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

std::string PostRequest(const std::string& target, const std::string& body,
                        const std::string& extraHeaders) {
    return "POST " + target +
           " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-type: application/x-www-form-urlencoded\r\n" +
           extraHeaders + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Fetch(int port, const std::string& target) {
    const RawAnswer a = Exchange(port, GetRequest(target));
    EXPECT_EQ(a.Status(), 200) << target;
    return a.Body();
}

int GetStatus(int port, const std::string& target) {
    return Exchange(port, GetRequest(target)).Status();
}

std::string Sjis(const std::string& utf8) {
    // A character without a Shift-JIS code comes back as '?', which this would hide.
    const std::string sjis = Sys::Utf8ToSjis(utf8);
    if (Sys::SjisToUtf8(sjis) != utf8)
        throw std::runtime_error("not convertible to CP932: " + utf8);
    return sjis;
}

std::string AnswerText(const std::string& page) {
    std::string text;
    size_t p = page.find("msg=\"");
    if (p != std::string::npos) {
        text = page.substr(p + 5);
    } else if ((p = page.find("alert(\"")) != std::string::npos) {
        text = page.substr(p + 7);
    } else {
        return "";
    }
    const size_t q = text.find('"');
    if (q == std::string::npos) return "";
    text.resize(q);
    for (size_t r; (r = text.find("\\r\\n")) != std::string::npos;) text.erase(r, 4);
    return text;
}

recsim::Options X4EX(const std::string& stateFile) {
    recsim::Options o;
    o.mode = recsim::Mode::X4EX;
    o.stateFile = stateFile;
    return o;
}

namespace {

using R = recsim::Reservation;
// The form's text fields, in the form's order.
const std::pair<const char*, std::string R::*> kTextFields[] = {
    {"title_name", &R::title},  {"genre", &R::genre},           {"channel", &R::channel},
    {"date", &R::date},         {"start_hour", &R::start_hour}, {"start_minute", &R::start_minute},
    {"end_hour", &R::end_hour}, {"end_minute", &R::end_minute}, {"disc", &R::disc},
    {"vrate", &R::vrate},       {"amode", &R::amode},           {"dvdr", &R::dvdr},
    {"aspect", &R::aspect},     {"bVPerform", &R::bVPerform},   {"bAutoChapter", &R::bAutoChapter},
    {"detail", &R::detail}};

}  // namespace

recsim::FormFields FieldsOf(const R& r) {
    recsim::FormFields fields = {{"bExec", r.exec ? "ON" : ""}};
    for (const auto& [name, member] : kTextFields) fields.emplace_back(name, r.*member);
    fields.insert(fields.end(), {{"lVoice", "1"}, {"end_form", "0"}});
    return fields;
}

std::string BodyOf(const recsim::Reservation& r) {
    static const char hex[] = "0123456789ABCDEF";
    std::string body;
    for (const auto& [name, value] : FieldsOf(r)) {
        body += (body.empty() ? "" : "&") + name + "=";
        for (unsigned char c : value) {
            if (c >= 0x80 || std::string(" *#%<>+&").find(char(c)) != std::string::npos)
                body += {'%', hex[c >> 4], hex[c & 15]};
            else
                body += char(c);
        }
    }
    return body + "\r\n";
}

std::string& Selection(R& r, const std::string& name) {
    for (const auto& [n, member] : kTextFields)
        if (name == n) return r.*member;
    throw std::invalid_argument(name);
}

}  // namespace simtest
