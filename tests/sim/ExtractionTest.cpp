// A reservation page read the way the restore reads it: the program's own extraction turns the
// RD-X4 page into the entry form body, which the RD-X4EX stores as the same reservation.
#include <gtest/gtest.h>

#include "EntryForm.h"
#include "RecorderSim.h"
#include "SimClient.h"

using recsim::Reservation;
using simtest::Sjis;

namespace {

class ExtractionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        x4.Start();
        x4ex.Start();
    }

    // Page of reservation i on the RD-X4 -> body -> POST -> what the RD-X4EX stored last.
    void CarryAll(const std::vector<Reservation>& list) {
        x4.SetReservations(list);
        x4ex.SetReservations({});
        const std::string from = "/program/" + x4.Segment() + "/";
        const std::string to = "/program/" + x4ex.Segment() + "/";
        for (size_t i = 0; i < list.size(); ++i) {
            simtest::Fetch(x4.Port(), from + "b_proginfo.htm?" + std::to_string(i));
            const std::string page = simtest::Fetch(x4.Port(), from + "proginfo.htm");
            // The post-data file ends with a line break.
            const std::string body = BuildEntryFormBodyFromText(page) + "\r\n";
            simtest::Fetch(x4ex.Port(), to + "b_proginfo.htm?" + std::to_string(i));
            const auto a =
                simtest::Exchange(x4ex.Port(), simtest::PostRequest(to + "entry.htm", body));
            EXPECT_EQ(simtest::AnswerText(a.Body()), Sjis("正常に登録できました"))
                << i << ": " << body;
        }
        const auto stored = x4ex.Reservations();
        ASSERT_EQ(stored.size(), list.size());
        for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(stored[i], list[i]) << i;
    }

    recsim::RecorderSim x4{recsim::Options{}};
    recsim::RecorderSim x4ex{simtest::X4EX()};
};

}  // namespace

TEST_F(ExtractionTest, SampleSetsArriveIntact) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        CarryAll(recsim::SampleReservations(32, seed));
    }
}

TEST_F(ExtractionTest, EdgeTextsArriveIntact) {
    std::vector<Reservation> list = recsim::SampleReservations(8, 4);
    list[0].title = Sjis("末尾が予");  // ends on a 0x5C trail byte, right before the marker
    list[1].title = "\\";
    list[2].title = "";
    list[3].detail = "\r\n\r\n";
    list[4].detail = Sjis("表\r\n");
    list[5].title = Sjis("\"表\" & 'ソ' <能>");
    list[6].detail = "&amp;quot; &quot; &#38; %41 +";
    list[7].title = "value=\\\" x \\\">\")";
    CarryAll(list);
}
