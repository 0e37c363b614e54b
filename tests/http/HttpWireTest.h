// Shared set-up of the tests that run the HTTP client against scripted peers on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "ScriptedPeer.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "VirtualTime.h"

// The two Accept lines and the Content-type line every request carries.
inline const std::string kAcceptLines =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
inline const std::string kTypeLine = "Content-type: application/x-www-form-urlencoded\r\n";

// Replaces every mark in text with value.
inline std::string Replaced(std::string text, const std::string& mark, const std::string& value) {
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
        text.replace(at, mark.size(), value);
    return text;
}

// Replaces every "{port}" in text with the port number.
inline std::string WithPort(const std::string& text, uint16_t port) {
    return Replaced(text, "{port}", std::to_string(port));
}

// Failures name a table's row instead of dumping its bytes. (In the including file's unnamed
// namespace, where its rows are, so that gtest finds it for them.)
namespace {
template <typename Row>
requires requires(const Row& row) {
    row.name;
}
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}
}  // namespace

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class HttpWireTest : public ::testing::Test {
  protected:
    void SetUp() override {
        client.TimeOut = 3000;
        client.OnSuccess = [this](CmdType c) { events.push_back("success:" + std::to_string(c)); };
        client.OnFailure = [this](CmdType c) { events.push_back("failure:" + std::to_string(c)); };
        client.OnRedirect = [this](bool& handled) {
            events.push_back("redirect");
            handled = handleRedirect;
        };
        client.OnAuthenticationNeeded = [this](TSockTransport* sender) {
            EXPECT_EQ(sender, &client);
            events.push_back("auth");
        };
    }

    static std::string Base(const ScriptedPeer& peer) {
        return "http://127.0.0.1:" + std::to_string(peer.Port());
    }

    // Gets path from a peer that takes the request, sends answer and closes; peerPort and
    // peerBase then name that peer. Its script must have run, whatever the client did.
    void GetFrom(const std::string& answer, const std::string& path = "/") {
        ScriptedPeer peer;
        peer.ExpectUntil("\r\n\r\n").Send(answer).Close();
        peer.Start();
        peerPort = peer.Port();
        peerBase = Base(peer);
        const struct Finished {
            ScriptedPeer& peer;
            ~Finished() { EXPECT_TRUE(peer.Finish()) << peer.Report(); }
        } finished{peer};
        client.Get(peerBase + path);
    }

    // Puts the client on a clock the test drives. Time passes only once the peer has said all
    // it will (its script sets quiet); from then on a wait with nothing to do ends at its
    // deadline at once.
    void UseVirtualTime() {
        client.UsePump(virt.pump);
        virt.waiter->MayJump = [this] { return quiet.load(); };
    }

    VirtualTimePump virt;  // before the client, which may use its pump
    std::atomic<bool> quiet{false};
    THttpClient client;
    std::vector<std::string> events;
    bool handleRedirect = false;
    uint16_t peerPort = 0;
    std::string peerBase;
    testsupport::TempDir tempDir;
    std::filesystem::path dir{tempDir.Path()};
};
