// Data transfer of the transport: exact bytes on the wire, lines, captures, time-outs.
#include <gtest/gtest.h>

#include <chrono>

#include "NetTestUtil.h"
#include "ScriptedPeer.h"
#include "SockTransport.h"
#include "TestFiles.h"
#include "TestSystem.h"

using namespace std::chrono_literals;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {
const char kReset[] = "10054:Connection reset by peer";

// A transport on its own pump, connected to a peer that plays script.
struct Linked {
    ScriptedPeer peer;
    TSockTransport t;
    explicit Linked(const std::function<void(ScriptedPeer&)>& script) {
        script(peer);
        peer.Start();
        ConnectLocal(t, peer.Port());
    }
};
}  // namespace

struct LineCase {
    const char* name;
    std::string sent;
    Texts lines;            // what successive ReadLn calls return
    std::string rest = "";  // what a capture takes after them
    size_t piece = 0;       // the peer sends in pieces of this size, 5 ms apart
};

class ReadLnLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadLnLines, ReturnsEachLineWithItsEndAndLeavesTheRest) {
    Linked l([&](ScriptedPeer& p) { p.Send(GetParam().sent, GetParam().piece, 5ms).Close(); });
    for (const auto& expected : GetParam().lines) {
        std::string line = "junk";
        l.t.ReadLn(line);
        EXPECT_EQ(line, expected);
    }
    std::string rest = "junk";
    l.t.CaptureString(rest, -1);
    EXPECT_EQ(rest, GetParam().rest);
}

const LineCase kReadLnLinesRows[] = {
    {"StatusLineThenBlank", "HTTP/1.0 200 OK\r\n\r\n", {"HTTP/1.0 200 OK\r\n", "\r\n", ""}},
    {"LfAlone", "a\nb\r\n", {"a\n", "b\r\n", ""}},
    {"CloseBeforeLf", "no line end", {""}},
    {"LineThenUnfinished", "done\nhalf", {"done\n", ""}},
    {"EmptyLineLf", "\n\n", {"\n", "\n", ""}},
    {"BinaryBytes", std::string("\x82\xa0\0\x5c\n", 5), {std::string("\x82\xa0\0\x5c\n", 5)}},
    {"LineSplitAcrossPacketsReturnedWhole",
     "Content-Type: text/html\r\nBODY",
     {"Content-Type: text/html\r\n"},
     "BODY",
     4},
    {"LineOfExactlyTheBufferSizeFits",
     std::string(65535, 'x') + "\nnext\n",
     {std::string(65535, 'x') + "\n", "next\n"}}};

INSTANTIATE_TEST_SUITE_P(Cases, ReadLnLines, ::testing::ValuesIn(kReadLnLinesRows), kRowName);

TEST(ReadLn, NegativeTimeOutAndALineLongerThanTheBufferFailCleanly) {
    Linked l([](ScriptedPeer& p) { p.Send(std::string(70000, 'y') + "\n").Pause(1000ms); });
    std::string line;
    l.t.TimeOut = -5;
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.ReadLn(line); }), "TimeOut must not be negative: -5");
    l.t.TimeOut = 2000;
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.ReadLn(line); }),
              "Line too long: more than 65536 bytes without a line end");
    EXPECT_FALSE(l.t.CancelRequested);
}

// A reset is an error for every reader, also when the pump noticed it first and replaced
// the socket: a cut answer must never look like one the peer ended in order.
TEST(ReadLn, PeerResetNoticedByThePumpIsTheResetError) {
    Linked l([](ScriptedPeer& p) { p.Send("partial line").Pause(100ms).Reset(); });
    std::string first;
    l.t.CaptureString(first, 5);  // takes the pending bytes, so the reset finds nothing unread
    ASSERT_TRUE(PumpUntil(l.t.Pump(), [&] { return !l.t.IsConnected; }));
    std::string line = "junk";
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.ReadLn(line); }), kReset);
    std::string text = "junk";
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.CaptureString(text, -1); }), kReset);
    EXPECT_EQ(text, "");
}

TEST(CaptureString, PeerResetAfterPartOfTheBodyKeepsItAndIsTheResetError) {
    Linked l(
        [](ScriptedPeer& p) { p.Send("HTTP/1.0 200 OK\r\n\r\nhalf a page").Pause(100ms).Reset(); });
    std::string line;
    l.t.ReadLn(line);
    l.t.ReadLn(line);
    ASSERT_EQ(line, "\r\n");
    std::string body;
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.CaptureString(body, -1); }), kReset);
    EXPECT_EQ(body, "half a page");
    // The next connection starts clean.
    l.t.Disconnect();
    ScriptedPeer second;
    second.Send("whole").Close();
    second.Start();
    ConnectLocal(l.t, second.Port());
    std::string text;
    l.t.CaptureString(text, -1);
    EXPECT_EQ(text, "whole");
}

struct WriteCase {
    const char* name;
    std::function<void(TSockTransport&)> action;
    std::string wire;
    std::string error = "";
};

class WriteBytes : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteBytes, ExactBytesOnTheWire) {
    Linked l([](ScriptedPeer& p) { p.ReceiveUntilClose(); });
    ASSERT_TRUE(l.peer.WaitUntilAccepted());
    EXPECT_EQ(ErrorOf<ESockError>([&] { GetParam().action(l.t); }), GetParam().error);
    l.t.Disconnect();
    ASSERT_TRUE(l.peer.Finish()) << l.peer.Report();
    EXPECT_EQ(l.peer.Received(), GetParam().wire);
}

const char kTooLong[] = "Text too long to send (at most 65535 bytes): 65536 bytes";

const WriteCase kWriteBytesRows[] = {
    {"WritelnEmptyIsCrLf", [](TSockTransport& t) { t.Writeln(""); }, "\r\n"},
    {"WriteStopsAtNul", [](TSockTransport& t) { t.Write(std::string("ab\0cd", 5)); }, "ab"},
    {"WritelnAppendsCrLf", [](TSockTransport& t) { t.Writeln("GET / HTTP/1.0"); },
     "GET / HTTP/1.0\r\n"},
    {"WriteEmptySendsNothing", [](TSockTransport& t) { t.Write(""); }, ""},
    {"ShiftJisBytesVerbatim",
     // "新規予約": the 5C inside is a byte of the character, not an escape
     [](TSockTransport& t) { t.Write("\x90\x56\x8B\x4B\x97\x5C\x96\xF1"); },
     "\x90\x56\x8B\x4B\x97\x5C\x96\xF1"},
    {"SendBufferWithLength", [](TSockTransport& t) { t.SendBuffer("a\0b", 3); },
     std::string("a\0b", 3)},
    {"WriteLargestText", [](TSockTransport& t) { t.Write(std::string(65535, 'q')); },
     std::string(65535, 'q')},
    {"WriteOverTheLimitSendsNothing", [](TSockTransport& t) { t.Write(std::string(65536, 'z')); },
     "", kTooLong},
    {"WritelnOverTheLimitSendsNothing",
     [](TSockTransport& t) { t.Writeln(std::string(65534, 'z')); }, "", kTooLong},
    {"CancelPendingBeforeTheSendAbortsAndClears",
     [](TSockTransport& t) {
         t.Cancel();
         EXPECT_EQ(ErrorOf<EAbortError>([&] { t.Write("never"); }), "Socket send aborted");
         EXPECT_FALSE(t.CancelRequested);
         t.Write("after");
     },
     "after"}};

INSTANTIATE_TEST_SUITE_P(Cases, WriteBytes, ::testing::ValuesIn(kWriteBytesRows), kRowName);

// The peer sends ten bytes and goes quiet, or stops reading (with small buffers on both
// sides). The operation ends by the time-out (10 s on the clock) or by a window event that
// cancels 30 ms in; either way the cancel is cleared.
struct StallRow {
    const char* name;
    bool peerReads;
    std::function<void(TSockTransport&, std::string& line, const std::string& file)> op;
    bool timeOut;
    std::string error;
    std::string captured = "";  // what the file holds afterwards
};

class SockStall : public ::testing::TestWithParam<StallRow> {};

TEST_P(SockStall, EndsByTheTimeOutOrTheCancel) {
    const StallRow& row = GetParam();
    TempDir dir;
    ScriptedPeer::Options options;
    options.receiveBuffer = 4096;
    ScriptedPeer peer(options);
    if (row.peerReads) peer.Send("0123456789");
    peer.Pause(2000ms);
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    ASSERT_TRUE(testsupport::SetSendBuffer(t.SocketHandle(), 4096));
    if (row.peerReads) t.Pump().Wait(t.SocketHandle(), Sys::kReadable);  // then nothing more comes
    t.TimeOut = row.timeOut ? 10000 : 0;
    if (!row.timeOut) v.pump.StartTimer(30, [&] { t.Cancel(); });
    const auto start = v.clock.now;
    std::string line;
    EXPECT_EQ(ErrorOf<EAbortError>([&] { row.op(t, line, dir.File("stall")); }), row.error);
    EXPECT_EQ(line, "");
    EXPECT_EQ(t.TimedOut, row.timeOut);
    EXPECT_FALSE(t.CancelRequested);
    // Waiting for data or room sleeps until the deadline instead of retrying.
    EXPECT_LE(v.waiter->Waits, 25);
    if (!row.timeOut) {
        EXPECT_EQ(v.clock.now - start, 30ms);
    } else if (row.peerReads) {
        EXPECT_EQ(v.clock.now - start, 10000ms);
    } else {
        // No time-out bounds a whole send: only TimeOut without progress ends it.
        EXPECT_GE(v.clock.now - start, 10000ms);
    }
    if (!row.captured.empty()) {
        EXPECT_EQ(ReadBytes(dir.File("stall")), row.captured);
        EXPECT_EQ(t.ReceivedTotal, static_cast<int32_t>(row.captured.size()));
    }
}

namespace {
void ReadLnOp(TSockTransport& t, std::string& line, const std::string&) {
    t.ReadLn(line);
}
void WriteOp(TSockTransport& t, std::string&, const std::string&) {
    for (int i = 0; i < 20; ++i) t.Write(std::string(65535, 'w'));  // far more than buffers hold
}
void SendFileOp(TSockTransport& t, std::string&, const std::string& file) {
    testsupport::WriteBytes(file, ScriptedPeer::Pattern(0, 4 << 20));
    t.SendFile(file);
}
void CaptureFileOp(TSockTransport& t, std::string&, const std::string& file) {
    t.CaptureFile(file);
}
}  // namespace

const StallRow kSockStallRows[] = {
    {"ReadLnTimesOut", true, ReadLnOp, true, "Socket readln aborted"},
    {"ReadLnCancelled", true, ReadLnOp, false, "Socket readln aborted"},
    {"WriteTimesOut", false, WriteOp, true, "Socket send aborted"},
    {"WriteCancelled", false, WriteOp, false, "Socket send aborted"},
    {"SendFileEndsByTheStallLimit", false, SendFileOp, true, "Socket send aborted"},
    {"CaptureFileTimesOutKeepingWhatArrived", true, CaptureFileOp, true, "Socket send aborted",
     "0123456789"}};

INSTANTIATE_TEST_SUITE_P(Rows, SockStall, ::testing::ValuesIn(kSockStallRows), kRowName);

TEST(SendFile, WholeFileArrivesAndIsCountedEmptyOneSendsNothingFileErrorsAreRaised) {
    const std::string missing = "/nonexistent/dir/Reserv.txt";
    const std::string uncreatable = "/nonexistent/dir/x.htm";
    TSockTransport unconnected;
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { unconnected.SendFile(missing); }),
              FileOpenErrorMessage(missing));
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { unconnected.CaptureFile(uncreatable); }),
              FileCreateErrorMessage(uncreatable));
    for (size_t size : {0, 200000}) {
        SCOPED_TRACE(size);
        TempDir dir;
        const std::string bytes = ScriptedPeer::Pattern(0, size);
        testsupport::WriteBytes(dir.File("Reserv.txt"), bytes);
        Linked l([&](ScriptedPeer& p) { p.Receive(2 * size).Close(); });
        int sent = 0;
        l.t.OnPacketSent = [&](TSockTransport*) { ++sent; };
        l.t.SendFile(dir.File("Reserv.txt"));
        l.t.SendFile(dir.File("Reserv.txt"));
        // The start-up socket resets on close and would drop bytes still in flight.
        ASSERT_TRUE(l.peer.Finish()) << l.peer.Report();
        l.t.Disconnect();
        EXPECT_TRUE(l.peer.Received() == bytes + bytes) << l.peer.Received().size();
        EXPECT_EQ(l.t.SentTotal, static_cast<int32_t>(2 * size));  // never reset between calls
        EXPECT_EQ(sent == 0, size == 0);
        EXPECT_GE(sent, size == 0 ? 0 : 8);  // at least one per 65,536-byte block
    }
}

// Whichever the transport meets first: the reset itself on the send, or the close
// notification that already replaced the socket. Without MSG_NOSIGNAL the send after the
// peer's close raises SIGPIPE and ends the run.
TEST(SendFile, PeerThatResetsOrClosesDuringALargeSendIsAnErrorNotACrash) {
    for (bool reset : {true, false}) {
        SCOPED_TRACE(reset);
        TempDir dir;
        testsupport::WriteBytes(dir.File("big.bin"), ScriptedPeer::Pattern(0, 8 << 20));
        Linked l(
            [&](ScriptedPeer& p) { reset ? p.Receive(100000).Reset() : p.Receive(1000).Close(); });
        const std::string message = ErrorOf<ESockError>([&] { l.t.SendFile(dir.File("big.bin")); });
        EXPECT_TRUE(message == kReset || message == "10057:Socket is not connected") << message;
        EXPECT_TRUE(l.peer.Finish()) << l.peer.Report();
    }
}

// Both captures take every byte until the close, in blocks of at most 65,536 bytes (also
// single-byte ones); the file is replaced by a shorter content.
TEST(Capture, NoLimitTakesEveryByteUntilTheClose) {
    struct Row {
        bool toFile;
        std::string bytes;
        size_t piece;  // sent in pieces of this size, 3 ms apart
        int minPackets;
    };
    for (const Row& row :
         {Row{false, "abcdefghij", 1, 2}, Row{false, ScriptedPeer::Pattern(0, 3 << 20), 0, 48},
          Row{true, ScriptedPeer::Pattern(0, 1 << 20), 0, 16}}) {
        SCOPED_TRACE(row.bytes.size());
        TempDir dir;
        const std::string file = dir.File("ZAVOCV00.HTM");
        testsupport::WriteBytes(file, std::string(3 << 20, 'o'));
        Linked l([&](ScriptedPeer& p) { p.Send(row.bytes, row.piece, 3ms).Close(); });
        int packets = 0;
        l.t.OnPacketRecvd = [&](TSockTransport* sender) {
            EXPECT_EQ(sender, &l.t);
            ++packets;
        };
        std::string text;
        row.toFile ? l.t.CaptureFile(file) : l.t.CaptureString(text, -1);
        EXPECT_EQ(row.toFile ? ReadBytes(file) : text, row.bytes);
        EXPECT_EQ(l.t.ReceivedTotal, static_cast<int32_t>(row.bytes.size()));
        EXPECT_GE(packets, row.minPackets);
        EXPECT_LE(packets, static_cast<int>(row.bytes.size()));
    }
}

TEST(CaptureString, LimitIsTestedBeforeEachReceive) {
    Linked l(
        [](ScriptedPeer& p) { p.Send(std::string(100, 'L')).Pause(1000ms).Send("late").Close(); });
    std::string text;
    auto start = std::chrono::steady_clock::now();
    l.t.CaptureString(text, 10);
    EXPECT_EQ(text, std::string(100, 'L'));  // the whole first block, not cut at 10
    EXPECT_LT(MillisSince(start), 500.0);    // and no waiting for the close
}

TEST(CaptureString, TimeOutBoundsTheWholeCaptureEvenWhileDataFlows) {
    ScriptedPeer peer;
    peer.Send(std::string(40, 'd'), 1, 20ms).Close();
    peer.Start();
    VirtualTimePump v;
    TSockTransport t(v.pump);
    ConnectLocal(t, peer.Port(), 0);
    t.Pump().Wait(t.SocketHandle(), Sys::kReadable);
    t.TimeOut = 150;
    // Each block takes 100 ms on the clock: the second one passes the time-out although
    // data keeps coming.
    t.OnPacketRecvd = [&](TSockTransport*) { v.clock.now += 100ms; };
    std::string text;
    EXPECT_EQ(ErrorOf<EAbortError>([&] { t.CaptureString(text, -1); }), "Socket capture aborted");
    EXPECT_FALSE(text.empty());
    EXPECT_LT(text.size(), 40u);
    EXPECT_EQ(text, std::string(text.size(), 'd'));
    EXPECT_FALSE(t.CancelRequested);
}

struct ReplyCase {
    const char* name;
    std::string reply;
    int16_t code;
    std::string error = "";
};

class TransactionReply : public ::testing::TestWithParam<ReplyCase> {};

// The reply is reported (level 1) when there is one; a closing peer leaves an empty reply.
TEST_P(TransactionReply, SetsReplyCodeAndLastReply) {
    const ReplyCase& row = GetParam();
    Linked l([&](ScriptedPeer& p) { p.Expect("NOOP\r\n").Send(row.reply).Close(); });
    l.t.ReportLevel = 1;
    Texts seen;
    l.t.OnStatus = [&](TSockTransport*, const std::string& s) { seen.push_back(s); };
    l.t.ReplyCode = 77;
    std::string reply = "junk";
    EXPECT_EQ(ErrorOf<ESockError>([&] { l.t.Transaction("NOOP", reply); }), row.error);
    EXPECT_EQ(l.t.ReplyCode, row.code);
    EXPECT_TRUE(l.peer.Finish()) << l.peer.Report();
    if (!row.error.empty()) return;
    EXPECT_EQ(reply, row.reply);
    EXPECT_EQ(l.t.LastReply, row.reply);
    EXPECT_EQ(seen, row.reply.empty() ? Texts{} : Texts{row.reply});
}

const ReplyCase kTransactionReplyRows[] = {{"Code250", "250 OK\r\n", 250},
                                           {"LetterFirst", "OK 250\r\n", 0},
                                           {"DigitsOnly", "32767\n", 32767},
                                           {"LeadingZeros", "0000000200 fine\r\n", 200},
                                           {"PeerClosesWithoutAReply", "", 0},
                                           {"CodeOverTheRangeIsAnError", "99999 huge\r\n", 0,
                                            "Reply code out of range (at most 32767): 99999"}};

INSTANTIATE_TEST_SUITE_P(Cases, TransactionReply, ::testing::ValuesIn(kTransactionReplyRows),
                         kRowName);
