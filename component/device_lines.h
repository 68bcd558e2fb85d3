// The line watch of one paired device of the caller-ID component: the handlers that
// the device's reports go through in turn (calibration of the zero levels, detection
// on one report in eleven with a seizure test and then a mark test, capture of the
// next 305 reports) and each line's state. Everything runs on the user-interface
// thread, one report at a time.
#pragma once

#include "component/line_decoder.h"
#include "hidcontroller/hid_device.h"
#include "signalpath/tone.h"
#include "signalpath/zero_level.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace component {

inline constexpr int kLinesPerDevice = 4;
inline constexpr int kActivityThreshold = 100;
// Ten reports are passed over, the eleventh examined.
inline constexpr int kReportsPassedOver = 10;
inline constexpr int kReportPayload = 64;

// What the watch of a device needs from the component around it.
class DeviceLinesOwner {
public:
    virtual ~DeviceLinesOwner() = default;
    // The start command to the device (1 or 2) as it is paired now.
    virtual void SendStartCommand(int device) = 0;
    // A call decoded on line 1..4 of the device.
    virtual void raiseCall(int device, int line, const std::string& number) = 0;
};

class DeviceLines {
public:
    DeviceLines(DeviceLinesOwner& owner, int device);
    DeviceLines(const DeviceLines&) = delete;
    DeviceLines& operator=(const DeviceLines&) = delete;

    // The three data handlers; each installs the next one on the device it serves.
    // Reports from a device other than the one being served are ignored.
    void CalibrateZeroLevels(hidcontroller::THidDevice& HidDev, std::uint8_t ReportID,
                             const std::uint8_t* Data, std::uint16_t Size);
    void DetectLineActivity(hidcontroller::THidDevice& HidDev, std::uint8_t ReportID,
                            const std::uint8_t* Data, std::uint16_t Size);
    void CaptureLineSignals(hidcontroller::THidDevice& HidDev, std::uint8_t ReportID,
                            const std::uint8_t* Data, std::uint16_t Size);

    // Begins serving `device` at calibration (pairing).
    void serve(hidcontroller::THidDevice& device);
    // Serves no device any more (its release). A capture under way ends here: the
    // device's next capture starts at its first report, not where this one stopped.
    void stopServing() {
        served_ = nullptr;
        CaptureReportIndex = 0;
    }
    const hidcontroller::THidDevice* served() const { return served_; }

    // The two tone tests of line 1..4 over its DetectionBuffer.
    bool DetectSeizure(int line);
    bool DetectMark(int line);

    // Sets LineStage on every line but `line` (after a call on it).
    void stageOtherLines(int line);

    int device() const { return device_; }

    using CaptureLines = std::array<std::array<int, kCaptureSamples + 1>, kLinesPerDevice>;

    // Per line (index line - 1).
    std::array<int, kLinesPerDevice> ZeroLevel{};
    std::array<signalpath::DetectionBuffer, kLinesPerDevice> DetectionBuffer{};
    CaptureLines CaptureBuffer{};
    std::array<std::uint8_t, kLinesPerDevice> LineStage{};
    int ReportSkipCount = 0;
    int CaptureReportIndex = 0;

private:
    using Payload = std::array<std::uint8_t, kReportPayload>;
    static Payload payload(const std::uint8_t* Data, std::uint16_t Size);
    bool serving(const hidcontroller::THidDevice& HidDev) const { return &HidDev == served_; }
    // The five trials of the line, each window through the component's tone detector.
    signalpath::TrialPairs trials(int line) const;
    // The line decoders over the capture just completed, raising its calls.
    void decodeCapture();

    DeviceLinesOwner& owner_;
    int device_;
    // The lines' levels from the calibration report on, until each is found at rest.
    signalpath::ZeroLevelCalibration calibration_;
    hidcontroller::THidDevice* served_ = nullptr;
    LineDecoder decoder_;
};

} // namespace component
