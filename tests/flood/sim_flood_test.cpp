#include "tools/printer-sim/sim_flood.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

namespace vindle::sim {
namespace {

using Head = std::array<std::uint8_t, kHeadSize>;
using namespace std::chrono_literals;

std::string ModelText(const std::vector<std::uint8_t>& datagram) {
    std::string text;
    for (std::size_t i = kHeadSize; i < datagram.size() && i < kHeadSize + 17 && datagram[i]; ++i) {
        text.push_back(static_cast<char>(datagram[i]));
    }
    return text;
}

TEST(FloodAcceptanceTest, MatchesTheClientsReplyCheck) {
    const Head head{1, 7, 0, 0};
    EXPECT_TRUE(WouldBeAcceptedAsReply({1, 7, 0, 0}, head));
    std::vector<std::uint8_t> full(21, 'A');
    full[0] = 1;
    full[1] = 7;
    full[2] = full[3] = 0;
    EXPECT_TRUE(WouldBeAcceptedAsReply(full, head));
    // Shorter than the head: the missing bytes read as zero.
    EXPECT_TRUE(WouldBeAcceptedAsReply({1, 7}, head));
    EXPECT_TRUE(WouldBeAcceptedAsReply({0}, Head{0, 0, 0, 0}));
    EXPECT_FALSE(WouldBeAcceptedAsReply({1, 6, 0, 0}, head));
    EXPECT_FALSE(WouldBeAcceptedAsReply({1, 7, 0, 1}, head));
    std::vector<std::uint8_t> oversize(22, 0);
    oversize[0] = 1;
    oversize[1] = 7;
    EXPECT_FALSE(WouldBeAcceptedAsReply(oversize, head));
}

// Every kind, against heads at the edges of the sequence byte: the burst must never forge a
// device, and each kind must be what it claims to be.
TEST(FloodDatagramTest, NoKindIsEverAcceptableAndEachHasItsShape) {
    std::mt19937 random(kDefaultFloodSeed);
    for (const Head head : {Head{1, 0, 0, 0}, Head{1, 0xFF, 0, 0}, Head{1, 0x80, 0, 0}}) {
        std::set<std::size_t> garbageSizes;
        std::set<std::uint8_t> oldSequences;
        for (std::uint64_t index = 0; index < 40'000; ++index) {
            const FloodKind kind = FloodKindOf(index);
            const auto datagram = MakeFloodDatagram(kind, head, random);
            ASSERT_FALSE(WouldBeAcceptedAsReply(datagram, head)) << "datagram " << index;
            ASSERT_FALSE(datagram.empty());
            switch (kind) {
                case FloodKind::kGarbage:
                    ASSERT_LE(datagram.size(), 64u);
                    garbageSizes.insert(datagram.size());
                    break;
                case FloodKind::kWrongHead:
                    ASSERT_EQ(datagram.size(), 21u);
                    ASSERT_TRUE(datagram[0] != head[0] || datagram[2] != 0 || datagram[3] != 0);
                    ASSERT_EQ(ModelText(datagram).rfind(kFloodModelPrefix, 0), 0u);
                    break;
                case FloodKind::kOversize:
                    ASSERT_GT(datagram.size(), 21u);
                    ASSERT_LE(datagram.size(), 1400u);
                    ASSERT_TRUE(std::equal(head.begin(), head.end(), datagram.begin()));
                    break;
                case FloodKind::kOldSequence:
                    ASSERT_GE(datagram.size(), 4u);
                    ASSERT_LE(datagram.size(), 21u);
                    ASSERT_EQ(datagram[0], head[0]);
                    ASSERT_NE(datagram[1], head[1]);
                    ASSERT_EQ(datagram[2], 0);
                    ASSERT_EQ(datagram[3], 0);
                    oldSequences.insert(datagram[1]);
                    break;
            }
        }
        // Random lengths and sequence bytes, not one fixed pattern.
        EXPECT_GT(garbageSizes.size(), 60u);
        EXPECT_EQ(oldSequences.size(), 255u);
    }
}

TEST(FloodDatagramTest, KindsTakeTurns) {
    int counts[kFloodKinds] = {};
    for (std::uint64_t index = 0; index < 1000; ++index) {
        ++counts[static_cast<int>(FloodKindOf(index))];
    }
    for (int count : counts) {
        EXPECT_EQ(count, 250);
    }
}

TEST(FloodPacerTest, PacesAtTheRateAndIsBoundedInCountAndTime) {
    FloodOptions options;
    options.rate = 1000;
    options.seconds = 2;
    const auto start = FloodPacer::Clock::time_point{} + 100s;
    FloodPacer pacer(options, start);

    EXPECT_EQ(pacer.DueNow(start - 1ms, 1'000'000), 0u);
    EXPECT_EQ(pacer.DueNow(start, 1'000'000), 1u);
    EXPECT_EQ(pacer.DueNow(start + 10ms, 1'000'000), 11u);
    // A late wake-up sends a limited batch, not everything it owes.
    EXPECT_EQ(pacer.DueNow(start + 500ms, 5), 5u);
    pacer.NoteSent(11);
    EXPECT_EQ(pacer.NextDue(), start + 11ms);
    EXPECT_EQ(pacer.DueNow(start + 10ms, 1'000'000), 0u);
    EXPECT_EQ(pacer.DueNow(start + 1999ms, 1'000'000), 2000u - 11u);

    // The count bound: everything sent before the time is up ends the burst.
    pacer.NoteSent(2000 - 11);
    EXPECT_TRUE(pacer.IsOver(start + 1999ms));
    EXPECT_EQ(pacer.DueNow(start + 1999ms, 1'000'000), 0u);

    // The time bound: a sender that fell behind stops at the end all the same.
    FloodPacer late(options, start);
    late.NoteSent(100);
    EXPECT_FALSE(late.IsOver(start + 1999ms));
    EXPECT_TRUE(late.IsOver(start + 2s));
    EXPECT_EQ(late.DueNow(start + 2s, 1'000'000), 0u);
}

}  // namespace
}  // namespace vindle::sim
