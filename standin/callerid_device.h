// The report source of a simulated caller-ID device: each input report is report id
// 0 and 16 sample groups of lines 1..4, every line's value scrambled for its position
// in the group as the device does it; and a device that streams only once the host
// has sent it the start command.
#pragma once

#include "platform/simulated_bus.h"
#include "standin/line_signal.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

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

// True for the 65-byte start command of the caller-ID device: report id 0, 25, 17,
// "Norvellix", 45 filler bytes, 4, 0, 9, 6, "m", "V", 25, 129.
bool isStartCommand(std::span<const std::uint8_t> report);

// A device that, after every plug-in, sends no report until it has been written a
// valid start command; then it streams what `inner` makes (all-zero reports when
// there is none).
class WaitsForStartCommand final : public platform::ReportSource {
public:
    explicit WaitsForStartCommand(std::unique_ptr<platform::ReportSource> inner)
        : inner_(std::move(inner)) {}

    void fillInputReport(platform::Microseconds firstSample,
                         std::span<std::uint8_t> report) override;
    bool streaming() const override { return started_; }
    void pluggedIn() override { started_ = false; }
    void outputReport(std::span<const std::uint8_t> report) override;

private:
    std::unique_ptr<platform::ReportSource> inner_;
    bool started_ = false;
};

} // namespace standin
