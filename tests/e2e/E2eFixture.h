// A transfer context wired to a simulated recorder on 127.0.0.1, a temporary program
// directory and a recording view.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "RecorderSim.h"
#include "RecordingView.h"
#include "Texts.h"
#include "TransferFrame.h"
#include "TransferSession.h"

namespace e2e {

inline std::string Fetching(const std::string& url) {
    return url + Texts::kStatusFetching;
}
inline std::string Parsing(const std::string& url) {
    return url + Texts::kStatusParsing;
}
inline std::string Sending(const std::string& url) {
    return url + Texts::kStatusSending;
}

class TransferTest : public testing::Test {
  protected:
    TransferTest() {
        ctx.SetProgramDir(dir.Path());
        // Short enough that a recorder which never answers cannot slow the suite.
        ctx.HttpClient1.TimeOut = 2000;
    }

    // Starts a recorder of that mode holding these reservations and points the settings at it.
    recsim::RecorderSim& StartRecorder(recsim::Mode mode,
                                       std::vector<recsim::Reservation> reservations = {},
                                       const std::string& user = std::string(),
                                       const std::string& password = std::string()) {
        recsim::Options options;
        options.mode = mode;
        options.user = user;
        options.password = password;
        options.readTimeoutMs = 2000;
        sims.push_back(std::make_unique<recsim::RecorderSim>(options));
        recsim::RecorderSim& sim = *sims.back();
        sim.SetReservations(std::move(reservations));
        sim.Start();
        PointAt(sim);
        ctx.Settings.User = user;
        ctx.Settings.Password = password;
        return sim;
    }

    void PointAt(const recsim::RecorderSim& sim) {
        ctx.Settings.Host = "127.0.0.1:" + std::to_string(sim.Port());
    }

    std::string Url(const std::string& path) const { return "http://" + ctx.Settings.Host + path; }
    std::string Saved(const std::string& name) const { return dir.Path() + name; }
    std::string SavedReservation(int i) const { return Saved(Texts::ReservationPageFile(i)); }

    // Every transfer begins with the hourglass and ends with the default cursor and an
    // empty status line, whichever way it ended.
    void ExpectFramed(const RecordingView& v) const {
        ASSERT_GE(v.Events.size(), 3u);
        EXPECT_EQ(v.Events.front().What, RecordingView::Kind::Cursor);
        EXPECT_TRUE(v.Events.front().Busy);
        const auto& cursor = v.Events[v.Events.size() - 2];
        EXPECT_EQ(cursor.What, RecordingView::Kind::Cursor);
        EXPECT_FALSE(cursor.Busy);
        EXPECT_EQ(v.Events.back().What, RecordingView::Kind::Status);
        EXPECT_EQ(v.Events.back().Text, "");
        EXPECT_FALSE(frame.Busy());
    }

    static std::vector<std::string> Targets(const recsim::RecorderSim& sim) {
        std::vector<std::string> out;
        for (const recsim::LoggedRequest& r : sim.Requests())
            out.push_back(r.method + " " + r.target);
        return out;
    }

    TempDir dir;
    std::vector<std::unique_ptr<recsim::RecorderSim>> sims;
    TransferSession ctx;
    TransferFrame frame{ctx};
    RecordingView view;
};

using Messages = std::vector<RecordingView::Message>;

inline Messages Repeat(const RecordingView::Message& m, int times) {
    return Messages(static_cast<size_t>(times), m);
}

}  // namespace e2e
