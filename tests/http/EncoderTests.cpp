// Form encoding, Base64/uuencode lines and the request header list.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "HeaderList.h"
#include "SysUtils.h"
#include "UUEncoder.h"
#include "UrlEncoder.h"

namespace {

struct UrlCase {
    const char* name;
    std::string input;
    std::string expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const UrlCase& row, std::ostream* os) {
    *os << row.name;
}

class UrlEncoderTable : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlEncoderTable, EncodesEveryByte) {
    TUrlEncoder encoder;
    encoder.InputString = GetParam().input;
    EXPECT_EQ(encoder.Encode(), GetParam().expected);
    EXPECT_EQ(encoder.InputString, GetParam().input);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlEncoderTable,
    ::testing::Values(UrlCase{"Empty", "", ""}, UrlCase{"Dash", "A-Z", "A%2DZ"},
                      UrlCase{"Blank", " ", "+"}, UrlCase{"ShiftJisLeadByte", "\x82", "%82"},
                      UrlCase{"FormSeparators", "a b&c=1", "a+b%26c%3D1"},
                      UrlCase{"UnreservedMarksToo", "-._*~", "%2D%2E%5F%2A%7E"},
                      UrlCase{"AlnumKept", "09AZaz", "09AZaz"},
                      UrlCase{"NulAndHighBytes", std::string("\0\xff\x7f", 3), "%00%FF%7F"},
                      UrlCase{"ShiftJisText", "\x90\x56\x8b\x4b", "%90V%8BK"},
                      UrlCase{"LineBreak", "a\r\nb", "a%0D%0Ab"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UrlEncoder, Encode_InputBeyond65535Bytes_EncodesAll) {
    TUrlEncoder encoder;
    encoder.InputString = std::string(70000, 'a') + " =";
    std::string encoded = encoder.Encode();
    ASSERT_EQ(encoded.size(), 70000u + 1 + 3);
    EXPECT_EQ(encoded.substr(69998), "aa+%3D");
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

struct UUCase {
    const char* name;
    UUMethods method;
    std::string input;
    std::string expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const UUCase& row, std::ostream* os) {
    *os << row.name;
}

class UUEncoderTable : public ::testing::TestWithParam<UUCase> {};

TEST_P(UUEncoderTable, WritesExactLines) {
    EXPECT_EQ(Encode(GetParam().method, GetParam().input), GetParam().expected);
}

const std::string k45(45, 'x');
const std::string k45Base64 = [] {
    std::string s;
    for (int i = 0; i < 15; ++i) s += "eHh4";
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Cases, UUEncoderTable,
    ::testing::Values(
        UUCase{"MimeEmpty", uuMime, "", ""}, UUCase{"MimeOneByte", uuMime, "a", "YQ==\r\n"},
        UUCase{"MimeTwoBytes", uuMime, "ab", "YWI=\r\n"},
        UUCase{"MimeThreeBytes", uuMime, "abc", "YWJj\r\n"},
        UUCase{"MimeCredentials", uuMime, "user:pass", "dXNlcjpwYXNz\r\n"},
        UUCase{"MimeHighBytes", uuMime, std::string("\xff\xfe\x00\x80", 4), "//4AgA==\r\n"},
        UUCase{"Mime45BytesOneLine", uuMime, k45, k45Base64 + "\r\n"},
        UUCase{"Mime46BytesSecondLine", uuMime, k45 + "x", k45Base64 + "\r\neA==\r\n"},
        UUCase{"Mime90BytesTwoFullLines", uuMime, k45 + k45,
               k45Base64 + "\r\n" + k45Base64 + "\r\n"},
        UUCase{"UuThreeZeroBytes", uuCode, std::string(3, '\0'), "#````\r\n`\r\n"},
        UUCase{"UuEmpty", uuCode, "", "`\r\n"}, UUCase{"UuCat", uuCode, "Cat", "#0V%T\r\n`\r\n"},
        UUCase{"UuOneByteNoPadding", uuCode, "a", "!80\r\n`\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(UUEncoder, Encode_WithoutStreams_Raises) {
    TUUProcessor p;
    EXPECT_THROW(p.Encode(), Exception);
}

TEST(UUEncoder, Encode_OutputFails_RaisesAfterEndEvent) {
    std::stringstream in("abc"), out;
    out.setstate(std::ios::badbit);
    TUUProcessor p;
    bool ended = false;
    p.OnEndEncode = [&](TUUProcessor&) { ended = true; };
    p.InputStream = &in;
    p.OutputStream = &out;
    EXPECT_THROW(p.Encode(), Exception);
    EXPECT_TRUE(ended);
}

TEST(HeaderList, SetHeader_ExistingNameAnyCase_ReplacedInPlaceWithNewCase) {
    THeaderList list;
    list.Add("GET / HTTP/1.0");
    list.Add("host: y");
    list.Add("Accept: */*");
    list.SetHeader("Host", "x");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], "Host: x");
    EXPECT_EQ(list.Text(), "GET / HTTP/1.0\r\nHost: x\r\nAccept: */*\r\n");
}

TEST(HeaderList, SetHeader_EmptyValueWithoutLine_ChangesNothing) {
    THeaderList list;
    list.Add("Host: a");
    list.SetHeader("Cookie", "");
    EXPECT_EQ(list.Text(), "Host: a\r\n");
}

TEST(HeaderList, SetHeader_EmptyValue_RemovesLine) {
    THeaderList list;
    list.Add("Host: a");
    list.Add("Cookie: c=1");
    list.SetHeader("COOKIE", "");
    EXPECT_EQ(list.Text(), "Host: a\r\n");
}

TEST(HeaderList, SetHeader_NewName_Appended) {
    THeaderList list;
    list.Add("Host: a");
    list.SetHeader("Referer", "http://r/");
    EXPECT_EQ(list.Text(), "Host: a\r\nReferer: http://r/\r\n");
}

TEST(HeaderList, IndexOfHeader_NameIsTextBeforeFirstColon) {
    THeaderList list;
    list.Add("GET http://h:81/ HTTP/1.0");  // name "GET http"
    list.Add("NoColonHost");
    list.Add("X-Host: 1");
    list.Add("Host: a:b");
    list.Add("host: second");
    EXPECT_EQ(list.IndexOfHeader("Host"), 3);
    EXPECT_EQ(list.IndexOfHeader("GET http"), 0);
    EXPECT_EQ(list.IndexOfHeader("NoColonHost"), -1);
    EXPECT_EQ(list.IndexOfHeader("Ho"), -1);
}

}  // namespace
