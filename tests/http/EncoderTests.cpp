// Form encoding, Base64/uuencode lines and the request header list.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HeaderList.h"
#include "SysUtils.h"
#include "UUEncoder.h"
#include "UrlEncoder.h"

namespace {

TEST(UrlEncoder, EncodesEveryByte) {
    const struct {
        const char* name;
        std::string input, expected;
    } rows[] = {
        {"Empty", "", ""},
        {"Dash", "A-Z", "A%2DZ"},
        {"Blank", " ", "+"},
        {"ShiftJisLeadByte", "\x82", "%82"},
        {"FormSeparators", "a b&c=1", "a+b%26c%3D1"},
        {"UnreservedMarksToo", "-._*~", "%2D%2E%5F%2A%7E"},
        {"AlnumKept", "09AZaz", "09AZaz"},
        {"NulAndHighBytes", std::string("\0\xff\x7f", 3), "%00%FF%7F"},
        {"ShiftJisText", "\x90\x56\x8b\x4b", "%90V%8BK"},
        {"LineBreak", "a\r\nb", "a%0D%0Ab"},
        {"InputBeyond65535Bytes", std::string(70000, 'a') + " =", std::string(70000, 'a') + "+%3D"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TUrlEncoder encoder;
        encoder.InputString = r.input;
        EXPECT_EQ(encoder.Encode(), r.expected);
        EXPECT_EQ(encoder.InputString, r.input);
    }
}

std::string Encode(UUMethods method, const std::string& bytes) {
    std::stringstream in(bytes), out;
    TUUProcessor p;
    p.Method = method;
    p.InputStream = &in;
    p.OutputStream = &out;
    p.Encode();
    return out.str();
}

TEST(UUEncoder, WritesExactLines) {
    const std::string x45(45, 'x');
    std::string x45Base64;
    for (int i = 0; i < 15; ++i) x45Base64 += "eHh4";
    const struct {
        const char* name;
        UUMethods method;
        std::string input, expected;
    } rows[] = {
        {"MimeEmpty", uuMime, "", ""},
        {"MimeOneByte", uuMime, "a", "YQ==\r\n"},
        {"MimeTwoBytes", uuMime, "ab", "YWI=\r\n"},
        {"MimeThreeBytes", uuMime, "abc", "YWJj\r\n"},
        {"MimeCredentials", uuMime, "user:pass", "dXNlcjpwYXNz\r\n"},
        {"MimeHighBytes", uuMime, std::string("\xff\xfe\x00\x80", 4), "//4AgA==\r\n"},
        {"Mime45BytesOneLine", uuMime, x45, x45Base64 + "\r\n"},
        {"Mime46BytesSecondLine", uuMime, x45 + "x", x45Base64 + "\r\neA==\r\n"},
        {"Mime90BytesTwoFullLines", uuMime, x45 + x45, x45Base64 + "\r\n" + x45Base64 + "\r\n"},
        {"UuThreeZeroBytes", uuCode, std::string(3, '\0'), "#````\r\n`\r\n"},
        {"UuEmpty", uuCode, "", "`\r\n"},
        {"UuCat", uuCode, "Cat", "#0V%T\r\n`\r\n"},
        {"UuOneByteNoPadding", uuCode, "a", "!80\r\n`\r\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(Encode(r.method, r.input), r.expected) << r.name;
}

TEST(UUEncoder, Encode_FiresEventsAndRewindsOutput) {
    std::stringstream in("abc"), out;
    out << "old";
    TUUProcessor p;
    std::vector<std::string> events;
    p.OnBeginEncode = [&](TUUProcessor&) { events.push_back("begin"); };
    p.OnEndEncode = [&](TUUProcessor& s) {
        events.push_back("end");
        EXPECT_EQ(s.OutputStream->tellg(), 0);
    };
    in.seekg(2);  // the encoder reads from the start whatever the position
    p.InputStream = &in;
    p.OutputStream = &out;
    p.Encode();
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "end"}));
    std::string first;
    std::getline(out, first);
    EXPECT_EQ(first, "oldYWJj\r");
}

TEST(UUEncoder, Encode_WithoutStreamsOrOutputFailing_RaisesAfterEndEvent) {
    TUUProcessor p;
    EXPECT_THROW(p.Encode(), Exception);
    std::stringstream in("abc"), out;
    out.setstate(std::ios::badbit);
    bool ended = false;
    p.OnEndEncode = [&](TUUProcessor&) { ended = true; };
    p.InputStream = &in;
    p.OutputStream = &out;
    EXPECT_THROW(p.Encode(), Exception);
    EXPECT_TRUE(ended);
}

// An existing line of the name (in any case) is replaced in place, with the new name's case;
// an empty value removes it (or changes nothing); a new name is appended.
TEST(HeaderList, SetHeader) {
    const struct {
        const char* name;
        std::string before, header, value, after;  // the list's text
    } rows[] = {
        {"ExistingNameAnyCase", "GET / HTTP/1.0\r\nhost: y\r\nAccept: */*\r\n", "Host", "x",
         "GET / HTTP/1.0\r\nHost: x\r\nAccept: */*\r\n"},
        {"EmptyValueWithoutLine", "Host: a\r\n", "Cookie", "", "Host: a\r\n"},
        {"EmptyValueRemovesLine", "Host: a\r\nCookie: c=1\r\n", "COOKIE", "", "Host: a\r\n"},
        {"NewNameAppended", "Host: a\r\n", "Referer", "http://r/",
         "Host: a\r\nReferer: http://r/\r\n"},
    };
    const auto linesOf = [](const std::string& text) {
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        THeaderList list;
        for (const std::string& line : linesOf(r.before)) list.Add(line);
        list.SetHeader(r.header, r.value);
        std::vector<std::string> lines;
        for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
        EXPECT_EQ(lines, linesOf(r.after));
        EXPECT_EQ(list.Text(), r.after);
    }
}

TEST(HeaderList, IndexOfHeader_NameIsTextBeforeFirstColon) {
    THeaderList list;
    // The first line's name is "GET http".
    for (const char* line :
         {"GET http://h:81/ HTTP/1.0", "NoColonHost", "X-Host: 1", "Host: a:b", "host: second"})
        list.Add(line);
    EXPECT_EQ(list.IndexOfHeader("Host"), 3);
    EXPECT_EQ(list.IndexOfHeader("GET http"), 0);
    EXPECT_EQ(list.IndexOfHeader("NoColonHost"), -1);
    EXPECT_EQ(list.IndexOfHeader("Ho"), -1);
}

}  // namespace
