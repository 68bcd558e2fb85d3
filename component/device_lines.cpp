#include "component/device_lines.h"

#include "signalpath/descramble.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace component {

using hidcontroller::THidDataEvent;
using hidcontroller::THidDevice;

namespace {

constexpr int kGroups = 16;

} // namespace

DeviceLines::DeviceLines(DeviceLinesOwner& owner, int device) : owner_(owner), device_(device) {}

DeviceLines::Payload DeviceLines::payload(const std::uint8_t* Data, std::uint16_t Size) {
    // A short report reads as zeros where it has no bytes.
    Payload p{};
    if (Data)
        std::copy_n(Data, std::min<std::size_t>(Size, p.size()), p.begin());
    return p;
}

void DeviceLines::serve(THidDevice& device) {
    served_ = &device;
    device.SetDataHandler(THidDataEvent::of<&DeviceLines::CalibrateZeroLevels>(*this));
}

void DeviceLines::CalibrateZeroLevels(THidDevice& HidDev, std::uint8_t, const std::uint8_t* Data,
                                      std::uint16_t Size) {
    if (!serving(HidDev))
        return;
    calibration_.calibrate(payload(Data, Size), ZeroLevel);
    HidDev.SetDataHandler(THidDataEvent::of<&DeviceLines::DetectLineActivity>(*this));
}

void DeviceLines::DetectLineActivity(THidDevice& HidDev, std::uint8_t, const std::uint8_t* Data,
                                     std::uint16_t Size) {
    if (!serving(HidDev))
        return;
    // Every report, until each line that rang at calibration has been found at rest.
    if (calibration_.following())
        calibration_.follow(payload(Data, Size), ZeroLevel);
    if (ReportSkipCount < kReportsPassedOver) {
        ++ReportSkipCount;
        return;
    }
    ReportSkipCount = 0;
    const Payload d = payload(Data, Size);
    std::array<int, kLinesPerDevice> activity{};
    for (int c = 0; c < kLinesPerDevice; ++c) {
        signalpath::DetectionBuffer& b = DetectionBuffer[c];
        for (int i = 0; i < kGroups; ++i)
            b[i] = signalpath::descramble(c + 1, d[4 * i + c]) - ZeroLevel[c];
        b[kGroups] = b[kGroups - 1];
        for (int i = 0; i < kGroups; ++i)
            activity[c] += std::abs(b[i + 1] - b[i]);
    }
    bool trigger = false;
    for (int c = 0; c < kLinesPerDevice; ++c) {
        if (activity[c] <= kActivityThreshold) {
            LineStage[c] = 0;
        } else if (LineStage[c] == 0) {
            if (DetectSeizure(c + 1))
                LineStage[c] = 1;
        } else if (DetectMark(c + 1)) {
            LineStage[c] = 0;
            trigger = true;
        }
    }
    // A second trigger in the same report installs the same capture handler again.
    if (trigger)
        HidDev.SetDataHandler(THidDataEvent::of<&DeviceLines::CaptureLineSignals>(*this));
}

void DeviceLines::CaptureLineSignals(THidDevice& HidDev, std::uint8_t, const std::uint8_t* Data,
                                     std::uint16_t Size) {
    if (!serving(HidDev))
        return;
    const Payload d = payload(Data, Size);
    for (int i = 0; i < kGroups; ++i)
        for (int c = 0; c < kLinesPerDevice; ++c)
            CaptureBuffer[c][kGroups * CaptureReportIndex + i] = d[4 * i + c];
    if (CaptureReportIndex < kCaptureReports - 1) {
        ++CaptureReportIndex;
        return;
    }
    CaptureReportIndex = 0;
    owner_.SendStartCommand(device_);
    HidDev.SetDataHandler(THidDataEvent::of<&DeviceLines::DetectLineActivity>(*this));
    decodeCapture();
}

void DeviceLines::decodeCapture() {
    // Decoded from a copy, with the zero levels it was taken at: the host's handler of a
    // call raised here may run a message loop in which this device, paired again,
    // calibrates and captures anew before the lines after that call's are decoded.
    const auto capture = std::make_unique<CaptureLines>(CaptureBuffer);
    const std::array<int, kLinesPerDevice> zeroLevel = ZeroLevel;
    for (int c = 0; c < kLinesPerDevice; ++c) {
        const auto number = decoder_.DecodeLineCallerId((*capture)[c], c + 1, zeroLevel[c]);
        if (number) {
            owner_.raiseCall(device_, c + 1, *number);
            stageOtherLines(c + 1);
        }
    }
}

signalpath::TrialPairs DeviceLines::trials(int line) const {
    return signalpath::trialPairs(DetectionBuffer[line - 1], signalpath::toneBitSingleState);
}

bool DeviceLines::DetectSeizure(int line) {
    int count = 0;
    for (const auto& pair : trials(line))
        if (pair[0] != pair[1])
            ++count;
    return count > 4;
}

bool DeviceLines::DetectMark(int line) {
    int count = 0;
    for (const auto& pair : trials(line))
        if (pair[0] == '1' && pair[1] == '1')
            ++count;
    return count > 4;
}

void DeviceLines::stageOtherLines(int line) {
    for (int k = 1; k <= kLinesPerDevice; ++k)
        if (k != line)
            LineStage[k - 1] = 1;
}

} // namespace component
