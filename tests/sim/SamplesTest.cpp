// The sample set: deterministic per seed, and varied where the transfer can go wrong.
#include <gtest/gtest.h>

#include <set>

#include "EntryDecoder.h"
#include "RecorderPages.h"
#include "RecorderSim.h"
#include "SimClient.h"
#include "Sjis.h"

using recsim::Reservation;
using simtest::Sjis;

namespace {

bool HasTrailByte5C(const std::string& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (IsSjisLeadByte(static_cast<unsigned char>(s[i]))) {
            if (s[i + 1] == '\x5C') return true;
            ++i;
        }
    }
    return false;
}

recsim::FormFields WithoutVoice(const Reservation& r) {
    recsim::FormFields f = simtest::FieldsOf(r);
    std::erase_if(f, [](const auto& p) { return p.first == "lVoice"; });
    return f;
}

}  // namespace

TEST(SamplesTest, DeterministicPerSeed) {
    EXPECT_EQ(recsim::SampleReservations(20, 3), recsim::SampleReservations(20, 3));
    EXPECT_NE(recsim::SampleReservations(20, 3), recsim::SampleReservations(20, 4));
    EXPECT_EQ(recsim::SampleReservations(0, 3).size(), 0u);
    EXPECT_EQ(recsim::SampleReservations(32, 3).size(), 32u);
}

TEST(SamplesTest, VariedWhereTheTransferCanGoWrong) {
    for (unsigned seed : {1u, 2u, 77u}) {
        SCOPED_TRACE(seed);
        const auto list = recsim::SampleReservations(32, seed);
        bool trail = false, specials = false, plusPercent = false, multiLine = false,
             typedEntity = false, on = false, off = false, empty = false;
        for (const Reservation& r : list) {
            trail |= HasTrailByte5C(r.title);
            specials |= r.title.find_first_of("&<>\"") != std::string::npos;
            plusPercent |=
                r.title.find('+') != std::string::npos && r.title.find('%') != std::string::npos;
            multiLine |= r.detail.find("\r\n") != std::string::npos;
            typedEntity |= r.detail.find("&amp;") != std::string::npos;
            on |= r.exec;
            off |= !r.exec;
            empty |= r.detail.empty();
            EXPECT_EQ(r.detail.find('\n'), r.detail.find("\r\n") == std::string::npos
                                               ? std::string::npos
                                               : r.detail.find("\r\n") + 1);
        }
        EXPECT_TRUE(trail && specials && plusPercent && multiLine && typedEntity && on && off &&
                    empty);
        EXPECT_TRUE(HasTrailByte5C(Sjis("予")) && HasTrailByte5C(Sjis("表")) &&
                    HasTrailByte5C(Sjis("ソ")) && HasTrailByte5C(Sjis("能")));
        for (const std::string& field : recsim::SelectionFields()) {
            std::set<std::string> values;
            for (Reservation r : list) values.insert(simtest::Selection(r, field));
            EXPECT_GE(values.size(), 2u) << field;
        }
    }
}

TEST(SamplesTest, EveryOneIsAcceptedAndNoneOverlaps) {
    const auto list = recsim::SampleReservations(32, 5);
    for (size_t i = 0; i < list.size(); ++i) {
        const Reservation& r = list[i];
        // As the form posts it, and without the voice field it does not read.
        for (const recsim::FormFields& f : {simtest::FieldsOf(r), WithoutVoice(r)}) {
            const auto check = recsim::CheckEntry(f, "20261201");
            EXPECT_TRUE(check.ok) << i << ": " << check.reason;
            EXPECT_EQ(check.reservation, r) << i;
        }
        for (size_t j = i + 1; j < list.size(); ++j) EXPECT_FALSE(recsim::Overlaps(r, list[j]));
    }
    // Beyond the number of dates the times keep apart as well.
    const auto many = recsim::SampleReservations(200, 5);
    for (size_t i = 0; i < many.size(); ++i)
        for (size_t j = i + 1; j < many.size(); ++j)
            EXPECT_FALSE(recsim::Overlaps(many[i], many[j])) << i << " " << j;
}
