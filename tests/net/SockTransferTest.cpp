// Data transfer of the transport: exact bytes on the wire, lines, captures, time-outs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "NetTestUtil.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"
#include "TestFiles.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using testsupport::TempDir;

void ShrinkSendBuffer(TSockTransport& t) {
    int size = 4096;
    setsockopt(t.SocketHandle(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}
}  // namespace

// ------------------------------------------------------------ ReadLn

struct LineCase {
    const char* name;
    std::string sent;
    std::vector<std::string> lines;  // what successive ReadLn calls return
};

class ReadLnLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadLnLines, ReturnsEachLineWithItsEnd) {
    ScriptedPeer peer;
    peer.Send(GetParam().sent).Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    for (const auto& expected : GetParam().lines) {
        std::string line = "junk";
        t.ReadLn(line);
        EXPECT_EQ(line, expected);
    }
    t.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadLnLines,
                         ::testing::Values(LineCase{"StatusLineThenBlank",
                                                    "HTTP/1.0 200 OK\r\n\r\n",
                                                    {"HTTP/1.0 200 OK\r\n", "\r\n", ""}},
                                           LineCase{"LfAlone", "a\nb\r\n", {"a\n", "b\r\n", ""}},
                                           LineCase{"CloseBeforeLf", "no line end", {""}},
                                           LineCase{
                                               "LineThenUnfinished", "done\nhalf", {"done\n", ""}},
                                           LineCase{"EmptyLineLf", "\n\n", {"\n", "\n", ""}},
                                           LineCase{"BinaryBytes",
                                                    std::string("\x82\xa0\0\x5c\n", 5),
                                                    {std::string("\x82\xa0\0\x5c\n", 5)}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadLn, LineSplitAcrossPacketsIsReturnedWholeAndTheRestIsLeft) {
    ScriptedPeer peer;
    peer.Send("Content-Type: text/html\r\nBODY", 4, 5ms).Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string line;
    t.ReadLn(line);
    EXPECT_EQ(line, "Content-Type: text/html\r\n");
    std::string rest;
    t.CaptureString(rest, -1);
    EXPECT_EQ(rest, "BODY");
}

TEST(ReadLn, AfterThePeerClosedAndTheSocketWasReplacedReturnsEmpty) {
    ScriptedPeer peer;
    peer.Close();
    peer.Start();
    TSockTransport t;
    int disconnects = 0;
    t.OnDisconnect = [&](TSockTransport*) { ++disconnects; };
    ConnectLocal(t, peer.Port());
    ASSERT_TRUE(PumpUntil(t.Pump(), [&] { return disconnects == 1; }));
    std::string line = "junk";
    t.ReadLn(line);  // the fresh socket answers "not connected": the end of the data
    EXPECT_EQ(line, "");
    std::string text = "junk";
    t.CaptureString(text, -1);
    EXPECT_EQ(text, "");
}

// A reset is an error for every reader, also when the pump noticed it first and replaced
// the socket: a cut answer must never look like one the peer ended in order.
TEST(ReadLn, PeerResetNoticedByThePumpIsTheResetError) {
    ScriptedPeer peer;
    peer.Send("partial line").Pause(100ms).Reset();
    peer.Start();
    TSockTransport t;
    int disconnects = 0;
    t.OnDisconnect = [&](TSockTransport*) { ++disconnects; };
    ConnectLocal(t, peer.Port());
    std::string first;
    t.CaptureString(first, 5);  // takes the pending bytes, so the reset finds nothing unread
    ASSERT_TRUE(PumpUntil(t.Pump(), [&] { return disconnects == 1; }));
    std::string line = "junk";
    EXPECT_EQ(SockErrorOf([&] { t.ReadLn(line); }), "10054:Connection reset by peer");
    std::string text = "junk";
    EXPECT_EQ(SockErrorOf([&] { t.CaptureString(text, -1); }), "10054:Connection reset by peer");
    EXPECT_EQ(text, "");
}

TEST(CaptureString, PeerResetAfterPartOfTheBodyKeepsItAndIsTheResetError) {
    ScriptedPeer peer;
    peer.Send("HTTP/1.0 200 OK\r\n\r\nhalf a page").Pause(100ms).Reset();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string line;
    t.ReadLn(line);
    t.ReadLn(line);
    ASSERT_EQ(line, "\r\n");
    std::string body;
    EXPECT_EQ(SockErrorOf([&] { t.CaptureString(body, -1); }), "10054:Connection reset by peer");
    EXPECT_EQ(body, "half a page");
    // The next connection starts clean.
    t.Disconnect();
    ScriptedPeer second;
    second.Send("whole").Close();
    second.Start();
    ConnectLocal(t, second.Port());
    std::string text;
    t.CaptureString(text, -1);
    EXPECT_EQ(text, "whole");
}

TEST(ReadLn, TimeOutOnTheClockAbortsAndClearsCancelRequested) {
    ScriptedPeer peer;
    peer.Send("partial").Pause(2000ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.TimeOut = 10000;
    std::string line;
    const auto start = v.clock.now;
    try {
        t.ReadLn(line);
        FAIL() << "ReadLn returned";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket readln aborted");
    }
    EXPECT_EQ(v.clock.now - start, 10000ms);
    EXPECT_EQ(line, "");
    EXPECT_FALSE(t.CancelRequested);
    EXPECT_TRUE(t.TimedOut);
}

TEST(ReadLn, CancelByAWindowEventWhileItWaitsAborts) {
    ScriptedPeer peer;
    peer.Pause(2000ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    v.pump.StartTimer(30, [&] { t.Cancel(); });
    std::string line;
    EXPECT_EQ(SockErrorOf([&] { t.ReadLn(line); }), "Socket readln aborted");
    EXPECT_FALSE(t.CancelRequested);
    EXPECT_FALSE(t.TimedOut);
}

TEST(ReadLn, LineOfExactlyTheBufferSizeFits) {
    std::string big(65535, 'x');
    big += '\n';
    ScriptedPeer peer;
    peer.Send(big + "next\n").Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string line;
    t.ReadLn(line);
    EXPECT_EQ(line.size(), 65536u);
    EXPECT_TRUE(line == big);
    t.ReadLn(line);
    EXPECT_EQ(line, "next\n");
}

TEST(ReadLn, LineLongerThanTheBufferFailsCleanly) {
    ScriptedPeer peer;
    peer.Send(std::string(70000, 'y') + "\n").Pause(1000ms);
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string line;
    EXPECT_EQ(SockErrorOf([&] { t.ReadLn(line); }),
              "Line too long: more than 65536 bytes without a line end");
    EXPECT_FALSE(t.CancelRequested);
}

// ------------------------------------------------------------ sending text

struct WriteCase {
    const char* name;
    std::function<void(TSockTransport&)> action;
    std::string wire;
};

class WriteBytes : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteBytes, ExactBytesOnTheWire) {
    ScriptedPeer peer;
    peer.ReceiveUntilClose();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    GetParam().action(t);
    t.Disconnect();
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), GetParam().wire);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteBytes,
    ::testing::Values(
        WriteCase{"WritelnEmptyIsCrLf", [](TSockTransport& t) { t.Writeln(""); }, "\r\n"},
        WriteCase{"WriteStopsAtNul", [](TSockTransport& t) { t.Write(std::string("ab\0cd", 5)); },
                  "ab"},
        WriteCase{"WritelnAppendsCrLf", [](TSockTransport& t) { t.Writeln("GET / HTTP/1.0"); },
                  "GET / HTTP/1.0\r\n"},
        WriteCase{"WriteEmptySendsNothing", [](TSockTransport& t) { t.Write(""); }, ""},
        WriteCase{"ShiftJisBytesVerbatim",
                  // "新規予約": the 5C inside is a byte of the character, not an escape
                  [](TSockTransport& t) { t.Write("\x90\x56\x8B\x4B\x97\x5C\x96\xF1"); },
                  "\x90\x56\x8B\x4B\x97\x5C\x96\xF1"},
        WriteCase{"SendBufferWithLength", [](TSockTransport& t) { t.SendBuffer("a\0b", 3); },
                  std::string("a\0b", 3)},
        WriteCase{"WriteLargestText", [](TSockTransport& t) { t.Write(std::string(65535, 'q')); },
                  std::string(65535, 'q')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Write, TextOverTheLimitFailsAndSendsNothing) {
    ScriptedPeer peer;
    peer.ReceiveUntilClose();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    EXPECT_EQ(SockErrorOf([&] { t.Write(std::string(65536, 'z')); }),
              "Text too long to send (at most 65535 bytes): 65536 bytes");
    EXPECT_EQ(SockErrorOf([&] { t.Writeln(std::string(65534, 'z')); }),
              "Text too long to send (at most 65535 bytes): 65536 bytes");
    t.Disconnect();
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), "");
}

TEST(Write, CancelPendingBeforeTheSendAbortsAndClears) {
    ScriptedPeer peer;
    peer.ReceiveUntilClose();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    t.Cancel();
    try {
        t.Write("never");
        FAIL() << "Write returned";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket send aborted");
    }
    EXPECT_FALSE(t.CancelRequested);
    t.Write("after");
    t.Disconnect();
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), "after");
}

TEST(Write, PeerThatStopsReadingEndsByTheTimeOut) {
    ScriptedPeer::Options options;
    options.receiveBuffer = 4096;
    ScriptedPeer peer(options);
    peer.StopReading(1500ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.TimeOut = 10000;
    ShrinkSendBuffer(t);
    std::string message;
    try {
        // Several blocks: far more than both buffers hold.
        for (int i = 0; i < 20; ++i) t.Write(std::string(65535, 'w'));
    } catch (const EAbortError& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Socket send aborted");
    EXPECT_TRUE(t.TimedOut);
    EXPECT_FALSE(t.CancelRequested);
    // Waiting for room sleeps until the deadline instead of retrying the send.
    EXPECT_LE(v.waiter->Waits, 25);
}

TEST(Write, CancelWhileThePeerIsNotReading) {
    ScriptedPeer::Options options;
    options.receiveBuffer = 4096;
    ScriptedPeer peer(options);
    peer.StopReading(1500ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    ShrinkSendBuffer(t);
    v.pump.StartTimer(30, [&] { t.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] {
                  for (int i = 0; i < 20; ++i) t.Write(std::string(65535, 'w'));
              }),
              "Socket send aborted");
    EXPECT_FALSE(t.TimedOut);
}

// ------------------------------------------------------------ files

TEST(SendFile, EmptyFileSendsNothingAndFiresNothing) {
    TempDir dir;
    fs::path file = dir.File("empty.txt");
    testsupport::WriteBytes(file, "");
    ScriptedPeer peer;
    peer.ReceiveUntilClose();
    peer.Start();
    TSockTransport t;
    int sent = 0;
    t.OnPacketSent = [&](TSockTransport*) { ++sent; };
    ConnectLocal(t, peer.Port());
    t.SendFile(file.string());
    t.Disconnect();
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    EXPECT_EQ(peer.Received(), "");
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(t.SentTotal, 0);
}

TEST(SendFile, WholeFileArrivesAndIsCounted) {
    TempDir dir;
    fs::path file = dir.File("Reserv.txt");
    std::string bytes = ScriptedPeer::Pattern(0, 200000);
    testsupport::WriteBytes(file, bytes);
    ScriptedPeer peer;
    peer.Receive(400000).Close();
    peer.Start();
    TSockTransport t;
    int sent = 0;
    t.OnPacketSent = [&](TSockTransport*) { ++sent; };
    ConnectLocal(t, peer.Port());
    t.SendFile(file.string());
    t.SendFile(file.string());
    // The start-up socket resets on close and would drop bytes still in flight.
    ASSERT_TRUE(peer.Finish()) << peer.Report();
    t.Disconnect();
    EXPECT_TRUE(peer.Received() == bytes + bytes) << peer.Received().size();
    EXPECT_EQ(t.SentTotal, 400000);  // never reset between calls
    EXPECT_GE(sent, 8);              // at least one per 65,536-byte block
}

TEST(SendFile, MissingFileRaisesTheFileError) {
    TSockTransport t;
    try {
        t.SendFile("/nonexistent/dir/Reserv.txt");
        FAIL() << "SendFile returned";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, FileOpenErrorMessage("/nonexistent/dir/Reserv.txt"));
    }
}

TEST(SendFile, PeerThatResetsDuringALargeSendIsAnErrorNotACrash) {
    TempDir dir;
    fs::path file = dir.File("big.bin");
    testsupport::WriteBytes(file, ScriptedPeer::Pattern(0, 8 << 20));
    ScriptedPeer peer;
    peer.Receive(100000).Reset();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string message = SockErrorOf([&] { t.SendFile(file.string()); });
    // Depending on which the transport meets first: the reset itself on the send, or the
    // close notification that already replaced the socket.
    EXPECT_TRUE(message == "10054:Connection reset by peer" ||
                message == "10057:Socket is not connected")
        << message;
    EXPECT_TRUE(peer.Finish()) << peer.Report();
}

TEST(SendFile, PeerThatClosesDuringALargeSendDoesNotKillTheProcess) {
    TempDir dir;
    fs::path file = dir.File("big.bin");
    testsupport::WriteBytes(file, ScriptedPeer::Pattern(0, 8 << 20));
    ScriptedPeer peer;
    peer.Receive(1000).Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    // Without MSG_NOSIGNAL the send after the peer's close raises SIGPIPE and ends the run.
    std::string message = SockErrorOf([&] { t.SendFile(file.string()); });
    EXPECT_FALSE(message.empty());
}

TEST(SendFile, PeerThatStopsReadingEndsByTheStallLimitOnTheClock) {
    TempDir dir;
    fs::path file = dir.File("big.bin");
    testsupport::WriteBytes(file, ScriptedPeer::Pattern(0, 4 << 20));
    ScriptedPeer::Options options;
    options.receiveBuffer = 4096;
    ScriptedPeer peer(options);
    peer.StopReading(1500ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.TimeOut = 10000;
    ShrinkSendBuffer(t);
    const auto start = v.clock.now;
    EXPECT_EQ(SockErrorOf([&] { t.SendFile(file.string()); }), "Socket send aborted");
    // No time-out bounds the whole file: only TimeOut without progress ends it.
    EXPECT_GE(v.clock.now - start, 10000ms);
    EXPECT_TRUE(t.TimedOut);
    EXPECT_FALSE(t.CancelRequested);
}

TEST(CaptureFile, HoldsEveryByteUntilTheCloseAndReplacesTheOldFile) {
    TempDir dir;
    fs::path file = dir.File("ZAVOCV00.HTM");
    testsupport::WriteBytes(file, std::string(3 << 20, 'o'));  // longer than the new content
    ScriptedPeer peer;
    peer.SendPattern(1 << 20).Close();
    peer.Start();
    TSockTransport t;
    int packets = 0;
    t.OnPacketRecvd = [&](TSockTransport*) { ++packets; };
    ConnectLocal(t, peer.Port());
    t.CaptureFile(file.string());
    EXPECT_TRUE(testsupport::ReadBytes(file) == ScriptedPeer::Pattern(0, 1 << 20));
    EXPECT_EQ(t.ReceivedTotal, 1 << 20);
    EXPECT_GE(packets, 16);
}

TEST(CaptureFile, TimeOutKeepsWhatArrivedAndUsesTheSendText) {
    TempDir dir;
    fs::path file = dir.File("slow.htm");
    ScriptedPeer peer;
    peer.Send("0123456789").Pause(2000ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.Pump().Wait(t.SocketHandle(), POLLIN);  // the bytes are there; then nothing more comes
    t.TimeOut = 10000;
    try {
        t.CaptureFile(file.string());
        FAIL() << "CaptureFile returned";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket send aborted");
    }
    EXPECT_EQ(testsupport::ReadBytes(file), "0123456789");
    EXPECT_EQ(t.ReceivedTotal, 10);
}

TEST(CaptureFile, UncreatableFileRaisesTheFileError) {
    TSockTransport t;
    try {
        t.CaptureFile("/nonexistent/dir/x.htm");
        FAIL() << "CaptureFile returned";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, FileCreateErrorMessage("/nonexistent/dir/x.htm"));
    }
}

// ------------------------------------------------------------ CaptureString

TEST(CaptureString, NoLimitTakesEveryByteIncludingSingleByteBlocks) {
    ScriptedPeer peer;
    peer.Send("abcdefghij", 1, 3ms).Close();
    peer.Start();
    TSockTransport t;
    int packets = 0;
    t.OnPacketRecvd = [&](TSockTransport* sender) {
        EXPECT_EQ(sender, &t);
        ++packets;
    };
    ConnectLocal(t, peer.Port());
    std::string text;
    t.CaptureString(text, -1);
    EXPECT_EQ(text, "abcdefghij");
    EXPECT_EQ(t.ReceivedTotal, 10);
    EXPECT_GE(packets, 2);
    EXPECT_LE(packets, 10);
}

TEST(CaptureString, LimitIsTestedBeforeEachReceive) {
    ScriptedPeer peer;
    peer.Send(std::string(100, 'L')).Pause(1000ms).Send("late").Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string text;
    auto start = std::chrono::steady_clock::now();
    t.CaptureString(text, 10);
    EXPECT_EQ(text, std::string(100, 'L'));  // the whole first block, not cut at 10
    EXPECT_LT(MillisSince(start), 500.0);    // and no waiting for the close
}

TEST(CaptureString, LargeBodyArrivesIntact) {
    ScriptedPeer peer;
    peer.SendPattern(3 << 20).Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string text;
    t.CaptureString(text, -1);
    EXPECT_EQ(text.size(), size_t{3} << 20);
    EXPECT_TRUE(text == ScriptedPeer::Pattern(0, 3 << 20));
}

TEST(CaptureString, TimeOutBoundsTheWholeCaptureEvenWhileDataFlows) {
    ScriptedPeer peer;
    peer.Send(std::string(40, 'd'), 1, 20ms).Close();
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.Pump().Wait(t.SocketHandle(), POLLIN);
    t.TimeOut = 150;
    // Each block takes 100 ms on the clock: the second one passes the time-out although
    // data keeps coming.
    t.OnPacketRecvd = [&](TSockTransport*) { v.clock.now += 100ms; };
    std::string text;
    try {
        t.CaptureString(text, -1);
        FAIL() << "CaptureString returned";
    } catch (const EAbortError& e) {
        EXPECT_EQ(e.Message, "Socket capture aborted");
    }
    EXPECT_FALSE(text.empty());
    EXPECT_LT(text.size(), 40u);
    EXPECT_EQ(text, std::string(text.size(), 'd'));
    EXPECT_FALSE(t.CancelRequested);
}

// ------------------------------------------------------------ Transaction

struct ReplyCase {
    const char* name;
    std::string reply;
    int16_t code;
};

class TransactionReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(TransactionReply, SetsReplyCodeAndLastReply) {
    ScriptedPeer peer;
    peer.Expect("NOOP\r\n").Send(GetParam().reply).Close();
    peer.Start();
    TSockTransport t;
    t.ReportLevel = 1;
    std::vector<std::string> seen;
    t.OnStatus = [&](TSockTransport*, const std::string& s) { seen.push_back(s); };
    ConnectLocal(t, peer.Port());
    t.ReplyCode = 77;
    std::string reply;
    t.Transaction("NOOP", reply);
    EXPECT_EQ(reply, GetParam().reply);
    EXPECT_EQ(t.LastReply, GetParam().reply);
    EXPECT_EQ(t.ReplyCode, GetParam().code);
    EXPECT_EQ(seen, (std::vector<std::string>{GetParam().reply}));
    EXPECT_TRUE(peer.Finish()) << peer.Report();
}

INSTANTIATE_TEST_SUITE_P(Cases, TransactionReply,
                         ::testing::Values(ReplyCase{"Code250", "250 OK\r\n", 250},
                                           ReplyCase{"LetterFirst", "OK 250\r\n", 0},
                                           ReplyCase{"DigitsOnly", "32767\n", 32767},
                                           ReplyCase{"LeadingZeros", "0000000200 fine\r\n", 200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Transaction, ReplyCodeOverTheRangeIsAnError) {
    ScriptedPeer peer;
    peer.Expect("X\r\n").Send("99999 huge\r\n").Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string reply;
    EXPECT_EQ(SockErrorOf([&] { t.Transaction("X", reply); }),
              "Reply code out of range (at most 32767): 99999");
    EXPECT_EQ(t.ReplyCode, 0);
}

TEST(Transaction, PeerClosingLeavesAnEmptyReply) {
    ScriptedPeer peer;
    peer.Expect("QUIT\r\n").Close();
    peer.Start();
    TSockTransport t;
    ConnectLocal(t, peer.Port());
    std::string reply = "junk";
    t.Transaction("QUIT", reply);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(t.ReplyCode, 0);
}
