// The CRM control's tick and methods over the device link's module state.
#include "crmcontrol/crm_control.h"

#include "devicelink/hid_module.h"
#include "devicelink/path_serial.h"
#include "devicelink/start_command.h"
#include "devicelink/tick.h"
#include "signalpath/descramble.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace crmcontrol {

namespace {

// The serial of no device.
constexpr std::string_view kNoDevice = "0";
void setNoDevice(std::string& serial) {
    serial.assign(1, '0');
}
void setNoDevices(devicelink::HIDmodule& link) {
    setNoDevice(link.DeviceSerialNumber_1);
    setNoDevice(link.DeviceSerialNumber_2);
}

constexpr int kGroups = 16;

} // namespace

CrmControl::CrmControl(devicelink::HIDmodule& link, ControlEvents& events, HostServices& host)
    : link_(link), events_(events), host_(host) {
    setNoDevices(link_);
}

void CrmControl::G_Start() {
    timerEnabled_ = true;
}

void CrmControl::G_Stop() {
    timerEnabled_ = false;
}

void CrmControl::G_Reset() {
    setNoDevices(link_);
    RaiseDisconnected();
    link_.DeviceDetected_1 = false;
    link_.DeviceDetected_2 = false;
    link_.Device1Seen = false;
    link_.Device2Seen = false;
    sv_.CalibrationDone = false;
    link_.FindDevice1();
}

void CrmControl::UserControl_Terminate() {
    timerEnabled_ = false;
    link_.CloseAllHandles();
}

void CrmControl::RaiseDisconnected() {
    sv_.CalibratedBeforeTakeIn = false; // no earlier connection stands after this
    sv_.Device2Reported = false;
    sv_.LossReportedPath = sv_.StartedDevicePath;
    events_.OnDeviceDisconnected(link_.DeviceSerialNumber_1, link_.DeviceSerialNumber_2);
}

void CrmControl::CloseReadHandles() {
    link_.CloseReadHandle1();
    link_.CloseReadHandle2();
}

void CrmControl::Timer1_Timer() {
    if (inTick_)
        return;
    const devicelink::TickGuard scope(inTick_);
    lostThisTick_ = {};
    LatchTwoDevices();
    FallBackToOneDevice();
    SuperviseDevice1();
    SuperviseDevice2();
    SuperviseConnection();
}

// Two devices counted: rediscover both, and both go through first sight and
// calibration again, so that the host is told of both.
void CrmControl::LatchTwoDevices() {
    auto& d = link_;
    if (SecondDeviceScanDue()) {
        d.ScanDevicePresence();
        if (d.MatchingDeviceCount < 2)
            sv_.SecondDeviceScanInterval = kSecondDeviceScanMs;
    }
    if (d.MatchingDeviceCount == 2 && !sv_.TwoDeviceRescanDone) {
        CloseReadHandles();
        d.Device1Seen = false;
        d.Device2Seen = false;
        d.FindDevice1();
        setNoDevices(d);
        sv_.TwoDeviceRescanDone = true;
        sv_.TwoDeviceMode = true;
        sv_.CalibratedBeforeTakeIn = sv_.CalibrationDone;
        sv_.CalibrationDone = false;
        // Counted, but gone (or held) by the time discovery came to it.
        if (!d.DeviceDetected_2)
            LeaveTwoDeviceMode();
    }
    if (d.MatchingDeviceCount != 2 && sv_.TwoDeviceRescanDone)
        sv_.TwoDeviceRescanDone = false;
}

// A second device (new, back, or let go by another program) shows only in a presence
// scan, which otherwise runs only while Device1 is not seen.
bool CrmControl::SecondDeviceScanDue() {
    const auto& d = link_;
    if (!d.DeviceDetected_1 || !d.Device1Seen || d.Device2Seen || sv_.TwoDeviceMode) {
        sv_.SecondDeviceScanWaiting = false;
        return false;
    }
    const platform::Dword now = d.GetTickCount();
    if (!sv_.SecondDeviceScanWaiting) {
        sv_.SecondDeviceScanWaiting = true;
        sv_.SecondDeviceScanSince = now;
        return false;
    }
    // Unsigned, so that the clock's wrap after 49.7 days changes nothing.
    if (now - sv_.SecondDeviceScanSince < sv_.SecondDeviceScanInterval)
        return false;
    sv_.SecondDeviceScanSince = now;
    return true;
}

// Device2 lost in two-device mode, or not opened by the latch. It stays out until a
// scan counts a second device again and the latch takes it in: rediscovery would open
// a silent one again at once, and its lines would be read under no serial.
void CrmControl::LeaveTwoDeviceMode() {
    auto& d = link_;
    sv_.TwoDeviceMode = false;
    sv_.TwoDeviceRescanDone = false;
    d.MatchingDeviceCount = 1; // until the next scan counts again
    d.CloseReadHandle2();
    d.CloseWriteHandle2();
    d.ForgetDevice(2);
    d.DeviceDetected_2 = false;
    d.Device2Seen = false;
    setNoDevice(d.DeviceSerialNumber_2);
    sv_.Device2WasDetected = false;
    for (int k = kLinesPerDevice + 1; k <= kLineCount; ++k)
        zeroLevel_[k - 1] = 0;
    if (sv_.CalibrationDone && sv_.Device2Reported) {
        // The host was told of both: one disconnection, and Device1 goes through
        // first sight and calibration to be reported alone.
        setNoDevices(d);
        sv_.CalibrationDone = false;
        sv_.DeviceStarted = false;
        sv_.SecondDeviceScanInterval = kSecondDeviceScanMs;
        RaiseDisconnected();
    } else {
        // Lost before the host heard of it: Device1's connection stands as it was
        // (reported alone, or before the take-in).
        if (!sv_.CalibrationDone)
            sv_.CalibrationDone = sv_.CalibratedBeforeTakeIn;
        if (sv_.CalibrationDone)
            sv_.CalibrationDelayTicks = 0;
        sv_.SecondDeviceScanInterval =
            std::min(2 * sv_.SecondDeviceScanInterval, kMaxSecondDeviceScanMs);
    }
}

void CrmControl::FallBackToOneDevice() {
    auto& d = link_;
    if (!sv_.TwoDeviceMode || d.MatchingDeviceCount != 1)
        return;
    sv_.TwoDeviceMode = false;
    CloseReadHandles();
    d.Device1Seen = false;
    d.Device2Seen = false;
    setNoDevices(d);
    RaiseDisconnected();
    d.FindDevice1();
}

// Device1 is forgotten and searched for while it is not open.
void CrmControl::SuperviseDevice1() {
    auto& d = link_;
    if (!d.DeviceDetected_1) {
        d.ForgetDevice(1);
        setNoDevices(d);
        d.Device1Seen = false;
        d.Device2Seen = false;
        d.FindDevice1();
        return;
    }
    sv_.Device1WasDetected = true;
    if (!d.Device1Seen)
        d.ScanDevicePresence();
    // In two-device mode Device1 waits until Device2 is open as well.
    if (sv_.TwoDeviceMode && !d.DeviceDetected_2)
        d.DeviceDetected_1 = false;
}

// The loss of Device2 alone forgets it quietly.
void CrmControl::SuperviseDevice2() {
    auto& d = link_;
    if (d.DeviceDetected_2) {
        sv_.Device2WasDetected = true;
        return;
    }
    if (!sv_.Device2WasDetected)
        return;
    d.ForgetDevice(2);
    setNoDevice(d.DeviceSerialNumber_2);
    d.Device2Seen = false;
    d.FindDevice1();
    for (int k = kLinesPerDevice + 1; k <= kLineCount; ++k)
        zeroLevel_[k - 1] = 0;
    sv_.Device2WasDetected = false;
    if (sv_.TwoDeviceMode)
        LeaveTwoDeviceMode();
}

void CrmControl::SuperviseConnection() {
    auto& d = link_;
    if (!sv_.Device1WasDetected || !d.Device1Seen) {
        sv_.CalibrationDone = false;
        setNoDevices(d);
        d.MatchingDeviceCount = 0;
        d.FindDevice1();
        if (sv_.DeviceStarted) {
            // The host is told of a loss once: a device that is found again but fails
            // again (plugged in and silent) is tried on quietly until it connects.
            if (sv_.LossReportedPath.empty() || sv_.LossReportedPath != sv_.StartedDevicePath)
                RaiseDisconnected();
            sv_.DeviceStarted = false;
        }
        return;
    }
    if (d.DeviceSerialNumber_1 == kNoDevice) {
        FirstSight();
    } else {
        // Calibration in the eleventh tick that finds the device known; the tick
        // of first sight does not count. A handler of the connection that reset the
        // control (the device is no longer known) leaves it to be done again after
        // the next first sight.
        if (!sv_.CalibrationDone) {
            if (sv_.CalibrationDelayTicks > 9)
                CalibrateAndReportConnection();
            ++sv_.CalibrationDelayTicks;
            if (sv_.CalibrationDelayTicks > 10) {
                sv_.CalibrationDone = d.DeviceSerialNumber_1 != kNoDevice;
                sv_.CalibrationDelayTicks = 0;
            }
        }
        WatchLines();
    }
    sv_.DeviceStarted = true;
}

// The serials from the paths and a start command to each device, with a filler
// of its own.
void CrmControl::FirstSight() {
    auto& d = link_;
    sv_.StartedDevicePath = d.DevicePathName_1;
    d.DeviceSerialNumber_1 = devicelink::PathSerial(d.DevicePathName_1);
    d.DeviceSerialNumber_2 = devicelink::PathSerial(d.DevicePathName_2);
    BuildStartCommand();
    if (d.DeviceSerialNumber_1 != kNoDevice)
        d.WriteOutputReport1();
    DrawStartCommandFiller();
    if (d.DeviceSerialNumber_2 != kNoDevice)
        d.WriteOutputReport2();
}

void CrmControl::BuildStartCommand() {
    // The host's generator is seeded from the time of day by the host itself.
    devicelink::BuildStartCommand(link_.OutputReportData, [this] { return host_.Rnd(); });
}

void CrmControl::DrawStartCommandFiller() {
    devicelink::DrawStartCommandFiller(link_.OutputReportData, [this] { return host_.Rnd(); });
}

// A device whose read fails is lost and keeps its zero levels: its buffer holds no
// fresh report. The connection is reported only when Device1 calibrated; a lost
// Device2 is reported as absent ("0"). Either loss takes its usual course in the
// next tick. A line that rings now is given its resting level later, by the line
// watch's reports (WatchLines).
void CrmControl::CalibrateAndReportConnection() {
    if (!ReadReport(1))
        return;
    calibration_[0].calibrate(reportSamples(1), zeroLevels(1));
    if (link_.Device2Seen) {
        if (ReadReport(2))
            calibration_[1].calibrate(reportSamples(2), zeroLevels(2));
        else
            setNoDevice(link_.DeviceSerialNumber_2);
    }
    sv_.Device2Reported = link_.DeviceSerialNumber_2 != kNoDevice;
    sv_.LossReportedPath.clear();
    events_.OnDeviceConnection(link_.DeviceSerialNumber_1, link_.DeviceSerialNumber_2);
}

signalpath::ZeroLevelCalibration::Levels CrmControl::zeroLevels(int device) {
    return signalpath::ZeroLevelCalibration::Levels(
        zeroLevel_.data() + (device - 1) * kLinesPerDevice, kLinesPerDevice);
}

signalpath::ReportSamples CrmControl::reportSamples(int device) const {
    return std::span(link_.slot(device).ReadBuffer).subspan<1>();
}

void CrmControl::SampleDevice(int device) {
    const auto& report = link_.slot(device).ReadBuffer;
    const int firstLine = (device - 1) * kLinesPerDevice + 1;
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        LineState& line = lines_[firstLine - 1 + p - 1];
        const int zero = zeroLevel_[firstLine - 1 + p - 1];
        for (int g = 0; g < kGroups; ++g)
            line.DetectionBuffer[g] = signalpath::descramble(p, report[4 * g + p]) - zero;
        line.DetectionBuffer[kGroups] = line.DetectionBuffer[kGroups - 1];
        line.LineActivity = 0;
        for (int j = 0; j < kGroups; ++j)
            line.LineActivity += std::abs(line.DetectionBuffer[j + 1] - line.DetectionBuffer[j]);
    }
}

void CrmControl::TestLine(int lineIndex) {
    LineState& line = lines_[lineIndex - 1];
    if (line.LineActivity <= activityThreshold_) {
        line.LineStage = false;
        line.CaptureTrigger = false;
        return;
    }
    tone_.DetectMark(line.DetectionBuffer, line.MarkDetected);
    if (!line.LineStage) {
        if (line.MarkDetected)
            line.LineStage = true;
    } else if (!line.MarkDetected) {
        line.CaptureTrigger = true;
    }
}

bool CrmControl::ReadReport(int device) {
    return devicelink::readReportInTick(link_, device, lostThisTick_);
}

// A read that fails leaves the device's buffer as it was: its lines are tested
// and captured on that content, and the supervision handles the loss next tick.
// From calibration on, each fresh report also goes to the device's zero levels, before
// its samples are corrected by them.
void CrmControl::WatchLines() {
    const bool second = link_.Device2Seen;
    const auto sample = [this](int device) {
        if (ReadReport(device) && sv_.CalibrationDone)
            calibration_[device - 1].follow(reportSamples(device), zeroLevels(device));
        SampleDevice(device);
    };
    sample(1);
    if (second)
        sample(2);
    const int lastLine = second ? kLineCount : kLinesPerDevice;
    for (int k = 1; k <= lastLine; ++k)
        TestLine(k);
    for (int k = 1; k <= lastLine; ++k)
        if (lines_[k - 1].CaptureTrigger)
            captureRequested_ = true;
    if (captureRequested_)
        Capture();
}

void CrmControl::Capture() {
    auto& d = link_;
    DrawStartCommandFiller();
    d.WriteOutputReport1();
    if (d.Device2Seen)
        d.WriteOutputReport2();

    for (int r = 0; r < CaptureReportCount; ++r) {
        const bool second = d.Device2Seen;
        ReadReport(1);
        if (second)
            ReadReport(2);
        for (int g = 0; g < kGroups; ++g) {
            for (int p = 1; p <= kLinesPerDevice; ++p) {
                lines_[p - 1].CaptureBuffer[captureSampleIndex_] = d.ReadBuffer_1[4 * g + p];
                if (second)
                    lines_[kLinesPerDevice + p - 1].CaptureBuffer[captureSampleIndex_] =
                        d.ReadBuffer_2[4 * g + p];
            }
            ++captureSampleIndex_;
        }
    }
    captureSampleIndex_ = 0;

    for (int k = 1; k <= kLinesPerDevice; ++k)
        RunDecoder(k);
    if (d.Device2Seen)
        for (int k = kLinesPerDevice + 1; k <= kLineCount; ++k)
            RunDecoder(k);
    captureRequested_ = false;
}

void CrmControl::RunDecoder(int lineIndex) {
    auto& capture = lines_[lineIndex - 1].CaptureBuffer;
    auto number = decoders_.line(lineIndex).CountedFrameDecoder(
        std::span<int>(capture).first(kCaptureSamples), zeroLevel_[lineIndex - 1]);
    if (number)
        RaiseCall(lineIndex, *number);
}

// OnCallerID with the serial of the line's device, its number on that device and the
// host's date and time; the arguments are texts of the raise's own, so nothing a
// handler assigns reaches the serials or the device state.
void CrmControl::RaiseCall(int lineIndex, std::string& PhoneNumber) {
    const LineMember member = lineMember(lineIndex);
    std::string serial = link_.slot(member.device).DeviceSerialNumber;
    std::string lineNumber(1, static_cast<char>('0' + member.position));
    std::string date = host_.dateText();
    std::string time = host_.timeText();
    events_.OnCallerID(serial, lineNumber, date, time, PhoneNumber);
    // Only after the host's handler has returned, and with Device2Seen as it is now.
    const unsigned staged = linesStagedAfterRaise(lineIndex, link_.Device2Seen);
    for (int k = 1; k <= kLineCount; ++k)
        if (staged & (1u << k))
            lines_[k - 1].LineStage = true;
}

} // namespace crmcontrol
