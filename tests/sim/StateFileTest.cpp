// The state file: every byte of every field round-trips, writes are atomic, faults are named.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "RecorderSim.h"
#include "SimClient.h"
#include "StateFile.h"
#include "TestFiles.h"
#include "TestSystem.h"

using recsim::Reservation;
using simtest::BodyOf;

namespace {

class StateFileTest : public ::testing::Test {
  protected:
    static std::string Entry(const recsim::RecorderSim& sim) {
        return "/program/" + sim.Segment() + "/entry.htm";
    }
    testsupport::TempDir dir;
    const std::string path = dir.File("state.txt");
};

std::string AllBytes() {
    std::string s;
    for (int c = 0; c < 256; ++c) s += char(c);
    return s;
}

}  // namespace

TEST(StateTextTest, EveryByteRoundTrips) {
    std::vector<Reservation> list = recsim::SampleReservations(32, 11);
    list[0].title = AllBytes();
    list[1].detail = AllBytes() + "\r\n" + AllBytes();
    list[2].exec = false;
    list[3] = Reservation{};  // all empty
    const std::string text = recsim::StateText(list);
    EXPECT_EQ(recsim::ParseStateText(text), list);
    // One line per field: no raw line break or blank inside a value.
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find(' ', text.find('\n')), std::string::npos);
    EXPECT_TRUE(recsim::ParseStateText(recsim::StateText({})).empty());
}

TEST(StateTextTest, ReadableAndCrLfTolerant) {
    const std::string text =
        "recorder-sim-state 1\r\n# comment\r\nreservation\r\nexec=0\r\ntitle_name=%97%5C%95%F1 "
        "\r\nend\r\n";
    const auto list = recsim::ParseStateText(text);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].exec);
    EXPECT_EQ(list[0].title, "\x97\x5C\x95\xF1 ");
}

TEST(StateTextTest, FaultsNameTheirLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1"},
        {"something else\n", "line 1"},
        {"recorder-sim-state 1\nexec=1\n", "line 2"},
        {"recorder-sim-state 1\nreservation\ncolour=red\nend\n", "line 3"},
        {"recorder-sim-state 1\nreservation\ntitle_name=%9\nend\n", "line 3"},
        {"recorder-sim-state 1\nreservation\nexec=2\nend\n", "line 3"},
        {"recorder-sim-state 1\nreservation\nno equals\nend\n", "line 3"},
        {"recorder-sim-state 1\nreservation\nexec=1\n", "line 3"},
    };
    for (const auto& [text, where] : cases) {
        try {
            recsim::ParseStateText(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
        }
    }
}

TEST_F(StateFileTest, SaveLoadMissingFileAndFailedSave) {
    std::vector<Reservation> list;
    EXPECT_FALSE(recsim::LoadStateFile(path, list));
    const auto samples = recsim::SampleReservations(5, 2);
    recsim::SaveStateFile(path, samples);
    EXPECT_TRUE(recsim::LoadStateFile(path, list));
    EXPECT_EQ(list, samples);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"state.txt"});  // no temporary file left
    // A failed save keeps the old file, and no temporary file: the disk fills up half-way.
    const std::string before = testsupport::ReadBytes(path);
    {
        const testsupport::FileSizeLimit full(100);
        ASSERT_TRUE(full.Ok());
        EXPECT_THROW(recsim::SaveStateFile(path, recsim::SampleReservations(4, 1)),
                     std::runtime_error);
    }
    EXPECT_EQ(testsupport::ReadBytes(path), before);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"state.txt"});
    EXPECT_THROW(recsim::SaveStateFile(dir.File("state.txt/x"), {}), std::runtime_error);
}

TEST_F(StateFileTest, SimulatorReadsAtStartAndWritesEveryChange) {
    recsim::SaveStateFile(path, recsim::SampleReservations(2, 6));
    recsim::RecorderSim sim{simtest::X4EX(path)};
    EXPECT_EQ(sim.Reservations(), recsim::SampleReservations(2, 6));
    sim.SetReservations(recsim::SampleReservations(3, 6));
    std::vector<Reservation> stored;
    recsim::LoadStateFile(path, stored);
    EXPECT_EQ(stored, recsim::SampleReservations(3, 6));

    // A reservation entered through the form lands in the file.
    sim.Start();
    Reservation r = recsim::SampleReservations(4, 6)[3];
    r.date = "20261201";
    for (const auto& s : sim.Reservations()) ASSERT_NE(s.date, r.date);
    r.title = "x";
    const auto a = simtest::Exchange(sim.Port(), simtest::PostRequest(Entry(sim), BodyOf(r)));
    EXPECT_EQ(a.Status(), 200);
    recsim::LoadStateFile(path, stored);
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[3].title, "x");
    EXPECT_EQ(stored, sim.Reservations());
}

TEST_F(StateFileTest, UnwritableStateRefusesTheEntry) {
    recsim::RecorderSim sim{simtest::X4EX(path)};
    sim.Start();
    const testsupport::FileSizeLimit full(16);  // every save now fails
    ASSERT_TRUE(full.Ok());
    const auto a = simtest::Exchange(
        sim.Port(), simtest::PostRequest(Entry(sim), BodyOf(recsim::SampleReservations(1, 6)[0])));
    EXPECT_EQ(a.Status(), 500);
    EXPECT_TRUE(sim.Reservations().empty());
}

TEST_F(StateFileTest, MalformedStateFileStopsTheSimulator) {
    std::ofstream(path) << "not a state file\n";
    recsim::Options o;
    o.stateFile = path;
    EXPECT_THROW(recsim::RecorderSim{o}, std::runtime_error);
}
