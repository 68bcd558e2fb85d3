#include "platform/simulated_bus.h"
#include "platform/tests/bus_fixture.h"
#include "signalpath/descramble.h"
#include "standin/callerid_device.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace standin {
namespace {

using platform::Microseconds;
using Report = std::array<std::uint8_t, 65>;

// Line p's sample value in group g of a report, as the host reads it back.
int valueOf(const Report& r, int g, int p) {
    return signalpath::descramble(p, r[4 * g + p]);
}

std::array<LineSignal, 4> lines(int z1, int z2, int z3, int z4) {
    return {LineSignal(z1), LineSignal(z2), LineSignal(z3), LineSignal(z4)};
}

TEST(CallerIdDeviceSource, ReportIsIdZeroThenSixteenGroupsOfTheFourLines) {
    auto l = lines(100, 120, 140, 160);
    Signal ramp(16);
    for (int i = 0; i < 16; ++i)
        ramp[i] = i;
    l[2].place(0, ramp);
    CallerIdDeviceSource source(std::move(l));
    Report r;
    r.fill(0xEE);
    source.fillInputReport(Microseconds(0), r);
    EXPECT_EQ(r[0], 0);
    for (int g = 0; g < 16; ++g) {
        EXPECT_EQ(valueOf(r, g, 1), 100) << "group " << g;
        EXPECT_EQ(valueOf(r, g, 2), 120) << "group " << g;
        EXPECT_EQ(valueOf(r, g, 3), 140 + g) << "group " << g;
        EXPECT_EQ(valueOf(r, g, 4), 160) << "group " << g;
    }
}

TEST(CallerIdDeviceSource, ScramblesEachPositionAsItsDescramblerUndoes) {
    // A constant zero level on every line: the raw byte is the position's scramble,
    // so equal values give different bytes on different positions.
    CallerIdDeviceSource source(lines(0, 0, 0, 0));
    Report r{};
    source.fillInputReport(Microseconds(0), r);
    EXPECT_EQ(r[1], 0xAA);
    EXPECT_EQ(r[2], 0x1F);
    EXPECT_EQ(r[3], 0x3C);
    EXPECT_EQ(r[4], 0xF8);
    for (int p = 1; p <= 4; ++p)
        for (int v = 0; v < 256; ++v)
            ASSERT_EQ(signalpath::descramble(p, signalpath::scramble(p, v)), v)
                << "value " << v << " on position " << p;
}

TEST(CallerIdDeviceSource, ReportsFollowTheBusTime) {
    auto l = lines(128, 128, 128, 128);
    Signal step(16, 50);
    l[0].place(32, step); // samples 32..47: the third report, 4 ms in
    CallerIdDeviceSource source(std::move(l));
    Report r{};
    source.fillInputReport(Microseconds(2000), r);
    EXPECT_EQ(valueOf(r, 0, 1), 128);
    source.fillInputReport(Microseconds(4000), r);
    EXPECT_EQ(valueOf(r, 0, 1), 178);
    EXPECT_EQ(valueOf(r, 15, 1), 178);
    source.fillInputReport(Microseconds(2000), r); // asked again: the same report
    EXPECT_EQ(valueOf(r, 15, 1), 128);
}

TEST(LineSignal, ClipsToTheByteRangeAndAddsOverlappingSignals) {
    LineSignal line(200);
    line.place(0, Signal{100, -300, 10, 0});
    line.place(2, Signal{20, -10});
    EXPECT_EQ(line.valueAt(0), 255);
    EXPECT_EQ(line.valueAt(1), 0);
    EXPECT_EQ(line.valueAt(2), 230);
    EXPECT_EQ(line.valueAt(3), 190);
    EXPECT_EQ(line.valueAt(4), 200);
    EXPECT_EQ(line.valueAt(-1), 200);
}

TEST(LineSignal, NoiseStaysAroundTheZeroLevelAndRepeatsForTheSameTime) {
    const LineSignal line(128, 3.0, 7);
    double sum = 0, power = 0;
    for (int n = 0; n < 8000; ++n) {
        const int d = line.valueAt(n) - 128;
        sum += d;
        power += d * d;
    }
    EXPECT_NEAR(sum / 8000, 0.0, 0.2);
    EXPECT_NEAR(std::sqrt(power / 8000), 3.0, 0.3);
    EXPECT_EQ(line.valueAt(1234), line.valueAt(1234));
    const LineSignal other(128, 3.0, 8);
    int differ = 0;
    for (int n = 0; n < 100; ++n)
        differ += line.valueAt(n) != other.valueAt(n);
    EXPECT_GT(differ, 50) << "another seed should give other noise";
}

TEST(LineSignal, RingingIsATwentyHertzSineOfTheGivenLength) {
    const auto ring = ringingSignal(0.5, 100);
    ASSERT_EQ(ring.size(), 4000u);
    EXPECT_EQ(ring[0], 0);
    EXPECT_EQ(ring[100], 100); // a quarter period of 20 Hz is 100 samples
    EXPECT_EQ(ring[300], -100);
}

// Through the bus: the host's reads see exactly what the lines carry.
TEST(CallerIdDeviceSource, ServesTheBusReads) {
    platform::SimulatedBus bus(platform::ClockMode::Fast);
    platform::SimulatedApi api(bus);
    auto l = lines(128, 90, 128, 128);
    const auto burst = synthesizeBurst(MessageFormat::SingleData, {"01011200", "5551234", ""});
    l[1].place(0, burst);
    const auto dev = bus.addDevice({}, std::make_unique<CallerIdDeviceSource>(std::move(l)));
    const auto h = api.CreateFileA(bus.interfacePath(dev).c_str(), platform::kGenericRead,
                                   platform::kFileShareRead | platform::kFileShareWrite, nullptr,
                                   platform::kOpenExisting, platform::kFileFlagOverlapped,
                                   platform::kNullHandle);
    const auto event = api.CreateEventA(nullptr, true, true, "");
    std::vector<int> seen;
    const std::size_t reports = (burst.size() + 15) / 16;
    for (std::size_t i = 0; i < reports; ++i) {
        Report r{};
        platform::Overlapped ov;
        ov.hEvent = event;
        api.ReadFile(h, r.data(), 65, nullptr, &ov);
        ASSERT_EQ(api.WaitForSingleObject(event, 500), platform::kWaitObject0);
        api.ResetEvent(event);
        for (int g = 0; g < 16; ++g)
            seen.push_back(valueOf(r, g, 2) - 90);
    }
    seen.resize(burst.size());
    EXPECT_EQ(seen, burst);
    api.CloseHandle(h);
    api.CloseHandle(event);
    EXPECT_TRUE(bus.audit().clean()) << bus.audit().describe();
}

TEST(StartCommand, IsRecognisedByItsFixedBytes) {
    std::vector<std::uint8_t> r(65, 7);
    const std::uint8_t head[] = {0, 25, 17, 'N', 'o', 'r', 'v', 'e', 'l', 'l', 'i', 'x'};
    const std::uint8_t tail[] = {4, 0, 9, 6, 'm', 'V', 25, 129};
    std::copy(std::begin(head), std::end(head), r.begin());
    std::copy(std::begin(tail), std::end(tail), r.begin() + 57);
    EXPECT_TRUE(isStartCommand(r));
    r[5] = 'R';
    EXPECT_FALSE(isStartCommand(r));
    r[5] = 'v';
    r.pop_back();
    EXPECT_FALSE(isStartCommand(r)) << "a 64-byte report";
}

using platform::testing::BusTest;

Report startCommand() {
    Report r{};
    const std::uint8_t head[] = {0, 25, 17, 'N', 'o', 'r', 'v', 'e', 'l', 'l', 'i', 'x'};
    const std::uint8_t tail[] = {4, 0, 9, 6, 'm', 'V', 25, 129};
    std::copy(std::begin(head), std::end(head), r.begin());
    std::fill(r.begin() + 12, r.begin() + 57, std::uint8_t{200});
    std::copy(std::begin(tail), std::end(tail), r.begin() + 57);
    return r;
}

TEST_F(BusTest, DeviceWaitingForTheStartCommandStreamsOnlyAfterIt) {
    const platform::DeviceId dev = bus.addDevice(
        {},
        std::make_unique<WaitsForStartCommand>(std::make_unique<platform::testing::StampSource>()));
    const platform::Handle reader = openReader(dev);
    const platform::Handle writer = open(dev, platform::kGenericWrite);
    const platform::Handle event = api.CreateEventA(nullptr, true, true, "");
    Report r{};
    EXPECT_EQ(readReport(reader, event, r), platform::kWaitTimeout);
    Report wrong = startCommand();
    wrong[64] = 128;
    api.WriteFile(writer, wrong.data(), 65, nullptr, nullptr);
    EXPECT_EQ(readReport(reader, event, r), platform::kWaitTimeout);
    EXPECT_FALSE(bus.streaming(dev));
    const Report start = startCommand();
    api.WriteFile(writer, start.data(), 65, nullptr, nullptr);
    EXPECT_TRUE(bus.streaming(dev));
    EXPECT_EQ(readReport(reader, event, r), platform::kWaitObject0);
    for (platform::Handle h : {reader, writer, event})
        api.CloseHandle(h);
    expectCleanAudit();
}

} // namespace
} // namespace standin
