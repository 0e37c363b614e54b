// Fuzz target: the request URL taken apart, and the request lines built from it together
// with the optional values a user or a redirecting server can put into them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "HttpMessage.h"

namespace {

// Takes a field of at most 31 bytes, its length given by the next byte.
std::string TakeField(const std::string& in, size_t& at) {
    if (at >= in.size()) return std::string();
    const size_t length = static_cast<unsigned char>(in[at++]) % 32;
    std::string field = in.substr(at, length);
    at += field.size();
    return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in = FuzzText(data, size);
    if (in.empty()) return 0;
    using namespace HttpCmd;
    static const CmdType kCommands[] = {Get, Post, Head, Put, Copy, Link, Delete, Trace};
    const auto flags = static_cast<unsigned char>(in[0]);
    size_t at = 1;
    TRequestParams params;
    params.Cmd = kCommands[flags % 8];
    params.Proxy = (flags & 0x08) ? TakeField(in, at) : std::string();
    params.Info.UserId = TakeField(in, at);
    params.Info.Password = TakeField(in, at);
    params.Info.Cookie = TakeField(in, at);
    params.Info.Referer = TakeField(in, at);
    params.LinkTarget = TakeField(in, at);
    std::string url = at < in.size() ? in.substr(at) : std::string();

    std::string host = "previous.host";
    int32_t port = (flags & 0x10) ? 8080 : 0;
    std::string path = "/previous";
    try {
        ParseHttpUrl(url, host, port, path);
    } catch (const EHttpError& e) {
        FUZZ_CHECK(!e.Message.empty());
        return 0;
    } catch (const EConvertError& e) {
        // Only a port that is not a number is refused this way.
        FUZZ_CHECK(e.Message.find("'") == 0);
        return 0;
    }
    // Accepted: a URL that cannot smuggle a line into the request, and a path to ask for.
    for (char c : url) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    FUZZ_CHECK(!path.empty() && path.size() <= kMaxHeaderValue);
    FUZZ_CHECK(path[0] == '/');
    FUZZ_CHECK(!host.empty());

    params.RequestUrl = url;
    params.RequestPath = path;
    params.Host = host;
    params.Port = port;
    if (CommandHasBody(params.Cmd)) params.ContentLength = in.size();
    THeaderList lines;
    try {
        BuildRequestLines(lines, params);
    } catch (const EHttpError& e) {
        FUZZ_CHECK(!e.Message.empty());
        return 0;
    }
    // Every line goes out as one line: no value may break it or end the header early.
    FUZZ_CHECK(lines.Count() >= 1);
    FUZZ_CHECK(lines[0].starts_with(MethodWord(params.Cmd)));
    for (int i = 0; i < lines.Count(); ++i) {
        FUZZ_CHECK(lines[i].find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        FUZZ_CHECK(!lines[i].empty());
    }
    FUZZ_CHECK(lines.Text().ends_with("\r\n"));
    return 0;
}
