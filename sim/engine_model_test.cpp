#include "sim/engine_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "sim/ccd_laser_engine.h"
#include "sim/engine_test_support.h"
#include "sim/packet_engine.h"

namespace tessel::sim {
namespace {

// Feeds an engine random chunks of bytes, as a noisy line would, then checks that it still
// answers a proper command.
void survivesNoise(EngineModel& engine, const Bytes& probe, std::uint8_t expectedFirst) {
    VirtualHost host(engine, engine.baud());
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> size(1, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        Bytes chunk(static_cast<std::size_t>(size(random)));
        for (auto& b : chunk) b = static_cast<std::uint8_t>(byte(random));
        host.send(chunk);
        host.clock.advance(Millis(300));
    }
    host.clock.advance(Millis(1000));
    host.port.purge();
    const Bytes answer = host.exchange(probe);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.front(), expectedFirst);
}

TEST(EngineNoise, TheTextEngineStaysInStep) {
    CcdLaserEngine engine;
    survivesNoise(engine, ccd::frameCommand("VER"), 'C');
}

TEST(EngineNoise, PacketEnginesStayInStep) {
    for (auto kind : {PacketKind::Imager2D, PacketKind::LongRange1D, PacketKind::Imager2D4507,
                      PacketKind::LongRange1D955}) {
        PacketEngine engine(kind);
        const Bytes request = packet::hostPacket(packet::kRevisionRequest, 0);
        survivesNoise(engine, request, static_cast<std::uint8_t>(4 + engine.revision().size()));
    }
}

TEST(EngineFaults, CountedAndLastingFaults) {
    CcdLaserEngine engine;
    VirtualHost host(engine, engine.baud());
    const Bytes ver = ccd::frameCommand("VER");
    const Bytes ng{'N', 'G', ccd::kCr};

    engine.misbehave(Fault::Nak, 2);
    EXPECT_EQ(host.exchange(ver), ng);
    EXPECT_EQ(host.exchange(ver), ng);
    EXPECT_NE(host.exchange(ver), ng);

    engine.misbehave(Fault::Silence, kForever);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(host.exchange(ver).empty());
    engine.behave();
    EXPECT_FALSE(host.exchange(ver).empty());
}

}  // namespace
}  // namespace tessel::sim
