// A transfer context wired to a simulated recorder on 127.0.0.1, a temporary program
// directory and a recording view.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecorderSim.h"
#include "RecordingView.h"
#include "ScriptedPeer.h"
#include "TestFiles.h"
#include "TestSystem.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace e2e {

using recsim::Mode;
using testsupport::RawGet;
using testsupport::ReadBytes;
using testsupport::SavedForm;
using testsupport::Snapshot;
using testsupport::WriteBytes;
using Messages = std::vector<RecordingView::Message>;

// A port on 127.0.0.1 that refuses every connection while this object lives: the socket is
// bound but never listens, so no other test can be handed the port meanwhile.
struct RefusingPort {
    RefusingPort() {
        uint16_t bound = 0;
        socket = testsupport::BindLoopbackWithoutListening(bound);
        if (socket == Sys::kNoSocket) throw std::runtime_error("cannot reserve a port");
        port = bound;
    }
    ~RefusingPort() { Sys::CloseSocket(socket); }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port); }
    Sys::SocketHandle socket = Sys::kNoSocket;
    int port = 0;
};

class TransferTest : public testing::Test {
  protected:
    TransferTest() {
        ctx.SetProgramDir(dir.Path());
        // Short enough that a recorder which never answers cannot slow the suite.
        ctx.HttpClient1.TimeOut = 2000;
    }

    // Starts a recorder of that mode holding these reservations and points the settings at it.
    recsim::RecorderSim& StartRecorder(Mode mode,
                                       std::vector<recsim::Reservation> reservations = {},
                                       const std::string& user = std::string(),
                                       const std::string& password = std::string()) {
        recsim::Options options;
        options.mode = mode;
        options.user = user;
        options.password = password;
        options.readTimeoutMs = 2000;
        options.firstDate = firstDate;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        recsim::RecorderSim& sim = *sims.back();
        sim.SetReservations(std::move(reservations));
        sim.Start();
        ctx.Settings.Host = "127.0.0.1:" + std::to_string(sim.Port());
        ctx.Settings.User = user;
        ctx.Settings.Password = password;
        return sim;
    }

    std::string Url(const std::string& path) const { return "http://" + ctx.Settings.Host + path; }
    std::string Saved(const std::string& name) const { return dir.Path() + name; }
    std::string SavedReservation(int i) const { return Saved(Texts::ReservationPageFile(i)); }
    static std::string Seg(const recsim::RecorderSim& sim) { return "/program/" + sim.Segment(); }
    static Messages Error(const std::string& text) { return {{MessageKind::Error, text}}; }
    static Messages Done(int n) {
        return {{MessageKind::Information, Texts::CaptureDoneMessage(n)}};
    }
    static std::string Fetching(const std::string& url) { return url + Texts::kStatusFetching; }
    static std::string Parsing(const std::string& url) { return url + Texts::kStatusParsing; }
    static std::string Sending(const std::string& url) { return url + Texts::kStatusSending; }
    static bool IsFetching(const std::string& status) {
        const size_t n = sizeof Texts::kStatusFetching - 1;
        return status.size() >= n &&
               status.compare(status.size() - n, n, Texts::kStatusFetching) == 0;
    }

    // Every transfer begins with the hourglass and ends once with the default cursor, an
    // empty status line and the view's ended state, whichever way it ended; only its last
    // box may follow.
    void ExpectFramed(const RecordingView& v) const {
        using Kind = RecordingView::Kind;
        ASSERT_GE(v.Events.size(), 4u);
        EXPECT_EQ(v.Events.front().What, Kind::Cursor);
        EXPECT_TRUE(v.Events.front().Busy);
        size_t ended = 0;
        for (size_t i = 0; i < v.Events.size(); ++i)
            if (v.Events[i].What == Kind::Ended) ended = i;
        ASSERT_GE(ended, 2u);
        EXPECT_EQ(std::count_if(v.Events.begin(), v.Events.end(),
                                [](const auto& e) { return e.What == Kind::Ended; }),
                  1);
        EXPECT_EQ(v.Events[ended - 2].What, Kind::Cursor);
        EXPECT_FALSE(v.Events[ended - 2].Busy);
        EXPECT_EQ(v.Events[ended - 1].What, Kind::Status);
        EXPECT_EQ(v.Events[ended - 1].Text, "");
        ASSERT_LE(v.Events.size() - ended, 2u);
        if (ended + 1 < v.Events.size()) {
            EXPECT_EQ(v.Events.back().What, Kind::Message);
        }
        EXPECT_FALSE(frame.Busy());
    }

    static std::vector<std::string> Targets(const recsim::RecorderSim& sim) {
        std::vector<std::string> out;
        for (const recsim::LoggedRequest& r : sim.Requests())
            out.push_back(r.method + " " + r.target);
        return out;
    }

    // The GETs of an undisturbed capture of count reservations, in order.
    static std::vector<std::string> ExpectedTargets(const recsim::RecorderSim& sim, int count) {
        std::vector<std::string> t = {"GET /program/b_prgrm.htm",
                                      "GET " + Seg(sim) + "/program.htm"};
        for (int i = 0; i < count; ++i) {
            t.push_back("GET " + Seg(sim) + "/b_proginfo.htm?" + std::to_string(i));
            t.push_back("GET " + Seg(sim) + "/proginfo.htm");
        }
        t.push_back("GET /setup/setup.htm");
        t.push_back("GET /setup/ch_set.htm");
        return t;
    }
    static std::vector<recsim::LoggedRequest> Posts(const recsim::RecorderSim& sim) {
        std::vector<recsim::LoggedRequest> out;
        for (const recsim::LoggedRequest& r : sim.Requests())
            if (r.method == "POST") out.push_back(r);
        return out;
    }

    // The report line of one entered reservation, whatever the recorder answered.
    static std::string ReportPrefix(int number) {
        return std::string(number < 10 ? "0" : "") + std::to_string(number) +
               Texts::kReportSeparator;
    }

    // The lines of a report without their LF CR; the last is what follows the last LF CR.
    static std::vector<std::string> Lines(const std::string& report) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = report.find(Texts::kLfCr, start)) != std::string::npos;
             start = end + 2)
            lines.push_back(report.substr(start, end - start));
        lines.push_back(report.substr(start));
        return lines;
    }

    testsupport::TempDir dir;
    // The first day of the date list of the recorders started from now on (YYYYMMDD).
    std::string firstDate = "20261201";
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    TransferSession ctx;
    TransferFrame frame{ctx};
    RecordingView view;
};

}  // namespace e2e
