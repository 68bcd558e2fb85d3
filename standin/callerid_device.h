// The report source of a simulated caller-ID device: each input report is report id
// 0 and 16 sample groups of lines 1..4, every line's value scrambled for its position
// in the group as the device does it.
#pragma once

#include "platform/simulated_bus.h"
#include "standin/line_signal.h"

#include <array>

namespace standin {

constexpr int kLinesPerDevice = 4;
constexpr int kGroupsPerReport = 16;

class CallerIdDeviceSource final : public platform::ReportSource {
public:
    explicit CallerIdDeviceSource(std::array<LineSignal, kLinesPerDevice> lines)
        : lines_(std::move(lines)) {}

    void fillInputReport(platform::Microseconds firstSample,
                         std::span<std::uint8_t> report) override;

private:
    std::array<LineSignal, kLinesPerDevice> lines_;
};

} // namespace standin
