// Test fixture of the simulated bus: a report source that stamps each report with
// its time, and the calls a device test makes over and over.
#pragma once

#include "platform/simulated_bus.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace platform::testing {

// Bytes 1..4 hold the report's number (its first sample time / 2 ms), byte 5 a tag.
class StampSource final : public ReportSource {
public:
    explicit StampSource(std::uint8_t tag = 0) : tag_(tag) {}
    void fillInputReport(Microseconds firstSample, std::span<std::uint8_t> report) override {
        const auto n = static_cast<std::uint32_t>(firstSample / kReportInterval);
        std::memcpy(report.data() + 1, &n, sizeof n);
        report[5] = tag_;
    }

private:
    std::uint8_t tag_;
};

using Report = std::array<std::uint8_t, 65>;

inline std::uint32_t stampOf(const Report& r) {
    std::uint32_t n = 0;
    std::memcpy(&n, r.data() + 1, sizeof n);
    return n;
}

class BusTest : public ::testing::Test {
protected:
    SimulatedBus bus{ClockMode::Fast};
    SimulatedApi api{bus};

    DeviceId addCallerId(DeviceDescription d = {}, std::uint8_t tag = 0, bool plugged = true) {
        return bus.addDevice(std::move(d), std::make_unique<StampSource>(tag), plugged);
    }
    Handle open(DeviceId d, Dword access, Dword flags = 0,
                Dword share = kFileShareRead | kFileShareWrite) {
        return api.CreateFileA(bus.interfacePath(d).c_str(), access, share, nullptr, kOpenExisting,
                               flags, kNullHandle);
    }
    Handle openReader(DeviceId d) { return open(d, kGenericRead, kFileFlagOverlapped); }

    // The device link's read: overlapped ReadFile, then a timed wait on the event.
    Dword readReport(Handle h, Handle event, Report& r, Dword ms = 500) {
        Overlapped ov;
        ov.hEvent = event;
        api.ReadFile(h, r.data(), 65, nullptr, &ov);
        const Dword result = api.WaitForSingleObject(event, ms);
        if (result != kWaitObject0)
            api.CancelIo(h); // the record must not outlive the read
        api.ResetEvent(event);
        return result;
    }

    void expectCleanAudit() {
        const Audit a = bus.audit();
        EXPECT_TRUE(a.clean()) << a.describe();
    }
};

} // namespace platform::testing
