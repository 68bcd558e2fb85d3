// The fixture of the device link's tests: a simulated bus in fast mode, small report
// sources whose reports name their device, and the audit checked after every test.
#pragma once

#include "devicelink/hid_module.h"
#include "devicelink/tests/recording_api.h"
#include "platform/simulated_bus.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace devicelink::testing {

// Byte 1 of every report is the device's tag, the rest counts the report's number, so
// a test can tell which device and which report a buffer holds.
class TaggedSource final : public platform::ReportSource {
public:
    explicit TaggedSource(std::uint8_t tag) : tag_(tag) {}
    void fillInputReport(platform::Microseconds firstSample,
                         std::span<std::uint8_t> report) override {
        const auto number = static_cast<std::uint32_t>(firstSample / platform::kReportInterval);
        for (std::size_t i = 0; i < report.size(); ++i)
            report[i] = static_cast<std::uint8_t>(number + i);
        report[0] = 0;
        if (report.size() > 1)
            report[1] = tag_;
    }

private:
    std::uint8_t tag_;
};

// Every context text the module checked, in order.
struct ContextLog final : CheckObserver {
    std::vector<std::string> contexts;
    void checked(std::string_view context, platform::Dword) override {
        contexts.emplace_back(context);
    }
};

class LinkTest : public ::testing::Test {
protected:
    platform::SimulatedBus bus{platform::ClockMode::Fast};
    platform::SimulatedApi simulated{bus};
    RecordingApi api{simulated};
    ContextLog log;
    std::unique_ptr<HIDmodule> link = makeLink(Variant::CrmControl);

    std::unique_ptr<HIDmodule> makeLink(Variant variant) {
        return std::make_unique<HIDmodule>(api, variant, &log);
    }

    platform::DeviceId addCallerId(std::uint8_t tag, platform::DeviceDescription d = {}) {
        return bus.addDevice(std::move(d), std::make_unique<TaggedSource>(tag));
    }
    platform::DeviceId addForeign(std::uint16_t vendorId, std::uint16_t productId) {
        platform::DeviceDescription d;
        d.vendorId = vendorId;
        d.productId = productId;
        d.productString = u"USB Keyboard";
        return bus.addDevice(std::move(d), std::make_unique<TaggedSource>(0xEE));
    }
    std::string path(platform::DeviceId d) const { return bus.interfacePath(d); }
    int openHandlesOf(platform::DeviceId d) const { return bus.audit().devices.at(d).openHandles; }

    // The audit after every test: no handle closed twice or used after its close while
    // the module lives, and nothing left open once it is gone.
    void TearDown() override {
        const platform::Audit during = bus.audit();
        EXPECT_TRUE(during.misuse.empty()) << during.describe();
        link.reset();
        const platform::Audit after = bus.audit();
        EXPECT_TRUE(after.clean()) << after.describe();
    }
};

} // namespace devicelink::testing
