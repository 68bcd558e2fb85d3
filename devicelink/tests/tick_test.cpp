// The reads of a supervision tick: a device lost in the tick, or already marked
// lost, costs the tick at most one read limit, whichever read found it out.
#include "devicelink/tests/link_fixture.h"
#include "devicelink/tick.h"

#include <chrono>
#include <gtest/gtest.h>

namespace devicelink::testing {
namespace {

using namespace std::chrono_literals;
using platform::DeviceAction;

using TickReadTest = LinkTest;

// What the device is like when a tick reads it three times.
enum class State { Streaming, Silent, LostEarlier, NoReadingHandle, HeldBack };

TEST_F(TickReadTest, ALostDeviceIsReadNoMoreInTheTick) {
    struct Case {
        const char* name;
        State state;
        int reads; // ReadFile calls of the three
        platform::Microseconds waited;
        bool delivered; // the first read brought a report
    };
    const Case cases[] = {
        {"streaming", State::Streaming, 3, 6ms, true},
        {"silent: the first read runs out its limit", State::Silent, 1, 500ms, false},
        {"marked lost by a time-out in an earlier tick", State::LostEarlier, 0, 0ms, false},
        {"its reading handle could not be opened", State::NoReadingHandle, 0, 0ms, false},
        {"held back by the supervision, still open", State::HeldBack, 3, 6ms, true},
    };
    for (const auto& c : cases) {
        link = makeLink(Variant::CrmControl);
        const auto d = addCallerId(7);
        link->FindDevice1();
        switch (c.state) {
        case State::Streaming:
            break;
        case State::Silent:
            bus.apply(d, DeviceAction::GoSilent);
            break;
        case State::LostEarlier:
            bus.apply(d, DeviceAction::GoSilent);
            link->ReadInputReport1();
            bus.apply(d, DeviceAction::Resume);
            break;
        case State::NoReadingHandle:
            link->CloseReadHandle1();
            link->ReadHandle_1 = platform::kInvalidHandleValue;
            break;
        case State::HeldBack:
            link->DeviceDetected_1 = false;
            break;
        }
        api.calls.clear();
        LostThisTick lost{};
        const auto t0 = bus.now();
        const bool delivered = readReportInTick(*link, 1, lost);
        readReportInTick(*link, 1, lost);
        readReportInTick(*link, 1, lost);
        EXPECT_EQ(delivered, c.delivered) << c.name;
        EXPECT_EQ(lost[0], !c.delivered) << c.name;
        EXPECT_EQ(static_cast<int>(api.callsNamed("ReadFile").size()), c.reads) << c.name;
        EXPECT_LE(bus.now() - t0, c.waited) << c.name;
        if (!c.delivered) {
            EXPECT_FALSE(link->DeviceDetected_1) << c.name;
        }
        EXPECT_FALSE(lost[1]) << c.name << ": the other device is not touched";
        bus.apply(d, DeviceAction::Unplug);
    }
}

} // namespace
} // namespace devicelink::testing
