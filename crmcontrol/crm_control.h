// The CRM control's core: the state a control keeps between timer ticks, the tick
// itself (device supervision, line watch, capture, decoders) and the three methods.
// It holds no timer and no COM: the shell enables its own timer from timerEnabled()
// and calls Timer1_Timer on every tick; events leave through ControlEvents.
#pragma once

#include "crmcontrol/control_events.h"
#include "crmcontrol/line_decoder.h"
#include "platform/types.h"
#include "signalpath/tone.h"
#include "signalpath/zero_level.h"

#include <array>
#include <cstdint>
#include <string>

namespace devicelink {
class HIDmodule;
}

namespace crmcontrol {

// Reports captured of every present device when a line triggers (224 ms of signal).
inline constexpr int CaptureReportCount = 112;
static_assert(kCaptureSamples == CaptureReportCount * 16);

// One line's watch state and capture (every line has the same members).
struct LineState {
    // Zero-corrected samples of the latest report; x(16) repeats x(15).
    signalpath::DetectionBuffer DetectionBuffer{};
    int LineActivity = 0;
    bool LineStage = false;
    bool MarkDetected = false;
    bool CaptureTrigger = false;
    // The raw bytes of the last capture, which the line's decoder overwrites with
    // their zero-corrected values; entry 1792 is never used.
    std::array<int, kCaptureSamples + 1> CaptureBuffer{};
};

// While Device1 is seen and Device2 is not, a presence scan looks for a second device
// every half second, counted on the platform's clock: a tick of the 1 ms timer lasts
// 10 to 16 ms on Windows, so a count of ticks would wait that much longer. The wait
// doubles, up to its bound, after each second device that was taken in and lost
// before the host heard of it (a device that stays silent costs every look a read
// time-out).
inline constexpr platform::Dword kSecondDeviceScanMs = 500;
inline constexpr platform::Dword kMaxSecondDeviceScanMs = 32 * kSecondDeviceScanMs;

// The supervision flags of one control instance.
struct SupervisionState {
    bool TwoDeviceRescanDone = false;
    bool TwoDeviceMode = false;
    bool Device1WasDetected = false;
    bool Device2WasDetected = false;
    bool CalibrationDone = false;
    std::int16_t CalibrationDelayTicks = 0;
    bool DeviceStarted = false;
    // The look for a second device: whether its wait runs, since when (the platform's
    // milliseconds), and how long it is.
    bool SecondDeviceScanWaiting = false;
    platform::Dword SecondDeviceScanSince = 0;
    platform::Dword SecondDeviceScanInterval = kSecondDeviceScanMs;
    // Whether Device1's connection had been reported when the latch last took two
    // devices in; it stands if the second one is lost before it is reported.
    bool CalibratedBeforeTakeIn = false;
    // Whether the last connection reported to the host named Device2 (its calibration
    // read may have failed, and then it was reported as absent).
    bool Device2Reported = false;
    // Device1's interface path at its last first sight, and that of the device whose
    // loss the host was last told of ("" once a connection is reported again): a
    // failed attempt at that device before then raises no further disconnection.
    std::string StartedDevicePath;
    std::string LossReportedPath;
};

class CrmControl {
public:
    // UserControl_Initialize: both serials "0", ActivityThreshold 100, timer off.
    CrmControl(devicelink::HIDmodule& link, ControlEvents& events, HostServices& host);
    CrmControl(const CrmControl&) = delete;
    CrmControl& operator=(const CrmControl&) = delete;

    void G_Start(); // Timer1.Enabled := True
    void G_Stop();  // Timer1.Enabled := False
    void G_Reset(); // raises OnDeviceDisconnected("0", "0") and rediscovers
    bool timerEnabled() const { return timerEnabled_; } // Timer1.Enabled

    // One tick: supervision, line watch, capture, decoders. Runs whether or not
    // the timer is enabled; the shell calls it only while it is. Ticks never
    // overlap: a tick that an event handler's message loop starts inside another
    // does nothing.
    void Timer1_Timer();

    // Timer off, then the four read and write handles closed; raises nothing.
    void UserControl_Terminate();

    // Read-only views for hosts' diagnostics and tests.
    const SupervisionState& supervision() const { return sv_; }
    const LineState& line(int lineIndex) const { return lines_[lineIndex - 1]; }
    int ZeroLevel(int lineIndex) const { return zeroLevel_[lineIndex - 1]; }
    int ActivityThreshold() const { return activityThreshold_; }

private:
    // The supervision steps of a tick, in their order.
    void LatchTwoDevices();
    bool SecondDeviceScanDue();
    void LeaveTwoDeviceMode();
    void FallBackToOneDevice();
    void SuperviseDevice1();
    void SuperviseDevice2();
    void SuperviseConnection();
    void FirstSight();
    void CloseReadHandles();

    void CalibrateAndReportConnection();
    void BuildStartCommand();
    void DrawStartCommandFiller();
    void WatchLines();
    // One report of device 1 or 2; after a failed read, or for a device already
    // lost, the tick makes no further read of it. False when it is lost.
    bool ReadReport(int device);
    void SampleDevice(int device); // device 1 or 2: its lines 4(device-1)+1..+4
    // The zero levels of device 1 or 2's lines, and the report it read last.
    signalpath::ZeroLevelCalibration::Levels zeroLevels(int device);
    signalpath::ReportSamples reportSamples(int device) const;
    void TestLine(int lineIndex);
    void Capture();
    // The line's decoders over its capture, then the raise of what they found.
    void RunDecoder(int lineIndex);
    void RaiseCall(int lineIndex, std::string& PhoneNumber);
    void RaiseDisconnected();

    devicelink::HIDmodule& link_;
    ControlEvents& events_;
    HostServices& host_;

    bool timerEnabled_ = false;
    bool inTick_ = false;
    int activityThreshold_ = 100;
    SupervisionState sv_;
    std::array<int, kLineCount> zeroLevel_{};
    // Per device: its lines' levels from calibration on, until each is found at rest.
    std::array<signalpath::ZeroLevelCalibration, 2> calibration_{};
    std::array<LineState, kLineCount> lines_{};
    bool captureRequested_ = false;
    std::int16_t captureSampleIndex_ = 0;
    std::array<bool, 2> lostThisTick_{};
    signalpath::ToneWorkspace tone_; // the mark test's tone window and bit string
    LineDecoders decoders_;
};

} // namespace crmcontrol
