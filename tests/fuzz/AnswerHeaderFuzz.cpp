// Fuzz target: the client reading an answer (status line, header lines, body) as a recorder
// sends it. The bytes are played by a peer on 127.0.0.1 that answers the connection with the
// input and then closes, so the client reads them through its real transport.
// In the input, "{big}" stands for 70,000 bytes without a line end (a line IoBuffer cannot
// hold), which the fuzzer could not otherwise reach with short inputs.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "HttpClient.h"
#include "ScriptedPeer.h"

namespace {

std::string Expand(std::string input) {
    for (size_t at = 0; (at = input.find("{big}", at)) != std::string::npos; at += 70000)
        input.replace(at, 5, std::string(70000, 'x'));
    return input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply = Expand(FuzzText(data, size));
    // The whole request first, so that closing never meets unread bytes (a reset); a send
    // the client stops reading (at an announced length) just ends the script.
    ScriptedPeer peer;
    peer.ExpectUntil("\r\n\r\n").Send(reply).Close();
    peer.Start();

    THttpClient client;
    client.TimeOut = 3000;
    client.OutputFileMode = false;  // the header lines into Header, not "Head.txt"
    client.Body.clear();
    int events = 0;
    client.OnSuccess = [&](CmdType) { ++events; };
    client.OnFailure = [&](CmdType) { ++events; };
    // One exchange per input: a location must not send the client anywhere else.
    client.OnRedirect = [](bool& handled) { handled = true; };

    const auto start = std::chrono::steady_clock::now();
    bool raised = false;
    try {
        client.Get("http://127.0.0.1:" + std::to_string(peer.Port()) + "/program/b_prgrm.htm");
    } catch (const Exception& e) {
        raised = true;
        FUZZ_CHECK(!e.Message.empty());
    } catch (...) {
        FUZZ_CHECK(!"only the program's own errors may leave a request");
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The peer always closes, so no read may have to wait for the time-out.
    FUZZ_CHECK(elapsed < std::chrono::milliseconds(2500));
    FUZZ_CHECK(!client.IsConnected);

    // The header lines are the answer's first bytes, exactly, and the body follows them.
    FUZZ_CHECK(reply.starts_with(client.Header));
    if (!raised) {
        FUZZ_CHECK(events <= 1);
        FUZZ_CHECK(reply.compare(client.Header.size(), client.Body.size(), client.Body) == 0);
        const std::string first = client.Header.substr(0, client.Header.find('\n') + 1);
        FUZZ_CHECK(client.ReplyCode == (first.empty() ? 0 : StatusCodeOf(first)));
    } else {
        FUZZ_CHECK(events == 0);
    }
    FUZZ_CHECK(client.RedirectLocation().size() <= kMaxHeaderValue);
    FUZZ_CHECK(client.ReceivedCookie().size() <= kMaxHeaderValue);
    return 0;
}
