// frmMain's tick and button over the device link's module state (the recorder's
// variant: Device2 is read only and never written to).
#include "recorder/recorder_form.h"

#include "devicelink/hid_module.h"
#include "devicelink/path_serial.h"
#include "devicelink/start_command.h"
#include "devicelink/tick.h"
#include "signalpath/descramble.h"

#include <cstdlib>

namespace recorder {

namespace {

constexpr int kGroups = 16;
constexpr const char* kNoDevice = "0";
// Assigned as one character: GCC 12 warns falsely about copying the literal.
void setNoDevice(std::string& serial) {
    serial.assign(1, '0');
}

} // namespace

std::string ConnectedText(const std::string& serial) {
    return "CIHAZ BAGLANDI" + std::string(58, ' ') + "CHZ NO: " + serial;
}

RecorderForm::RecorderForm(devicelink::HIDmodule& link, RecorderHost& host, SignalFileStore& store)
    : link_(link), host_(host), store_(store) {
    view_.connectionText = text::NotConnected;
    setAllLines(text::LineNoDevice, colour::Red);
}

void RecorderForm::Form_Load() {
    view_.command1Caption = text::Command1Ready;
    setNoDevice(link_.DeviceSerialNumber_1);
    setNoDevice(link_.DeviceSerialNumber_2);
    activityThreshold_ = kActivityThreshold;
    timerEnabled_ = true;
}

void RecorderForm::Form_Unload() {
    timerEnabled_ = false;
    CloseReadHandles();
}

void RecorderForm::Command1_Click() {
    if (!link_.Device1Seen)
        return;
    recordingArmed_ = true;
    view_.command1Caption = text::Command1Armed;
    view_.command1Enabled = false;
}

void RecorderForm::CloseReadHandles() {
    link_.CloseReadHandle1();
    link_.CloseReadHandle2();
}

void RecorderForm::setAllLines(const char* label, std::uint32_t lamp) {
    for (auto& line : view_.lines)
        line = {label, lamp};
}

void RecorderForm::Timer1_Timer() {
    // The recording lets the window process messages, which may fire the timer again.
    if (inTick_)
        return;
    const devicelink::TickGuard scope(inTick_);
    lostThisTick_ = {};

    Blink();
    LatchTwoDevices();
    FallBackToOneDevice();
    SuperviseDevice1();
    SuperviseDevice2();
    if (device1WasDetected_ && link_.Device1Seen) {
        if (link_.DeviceSerialNumber_1 != kNoDevice)
            KnownDevice();
        else
            FirstSight();
    } else {
        NotConnected();
    }
}

void RecorderForm::Blink() {
    if (++blinkCounter_ > 10) {
        view_.shape1Visible = !view_.shape1Visible;
        blinkCounter_ = 0;
    }
}

// Two devices counted: discovery runs again and Device1 goes through first sight.
void RecorderForm::LatchTwoDevices() {
    auto& d = link_;
    if (d.MatchingDeviceCount == 2 && !twoDeviceRescanDone_) {
        CloseReadHandles();
        d.Device1Seen = false;
        d.Device2Seen = false;
        d.FindDevice1();
        setNoDevice(d.DeviceSerialNumber_1);
        twoDeviceRescanDone_ = true;
        twoDeviceMode_ = true;
    }
    if (d.MatchingDeviceCount != 2 && twoDeviceRescanDone_)
        twoDeviceRescanDone_ = false;
}

// The serial is kept: Device1 is the same device as before.
void RecorderForm::FallBackToOneDevice() {
    auto& d = link_;
    if (!twoDeviceMode_ || d.MatchingDeviceCount != 1)
        return;
    twoDeviceMode_ = false;
    CloseReadHandles();
    d.Device1Seen = false;
    d.Device2Seen = false;
    d.FindDevice1();
}

void RecorderForm::SuperviseDevice1() {
    auto& d = link_;
    if (d.DeviceDetected_1) {
        device1WasDetected_ = true;
        if (!d.Device1Seen)
            d.ScanDevicePresence();
        return;
    }
    d.ForgetDevice(1);
    setNoDevice(d.DeviceSerialNumber_1);
    d.Device1Seen = false;
    d.Device2Seen = false;
    d.FindDevice1();
}

void RecorderForm::SuperviseDevice2() {
    auto& d = link_;
    if (!d.DeviceDetected_2)
        d.ForgetDevice(2);
}

// The serial from the path and the start command to Device1; nothing goes to Device2.
void RecorderForm::FirstSight() {
    auto& d = link_;
    d.DeviceSerialNumber_1 = devicelink::PathSerial(d.DevicePathName_1);
    RandomGenerator& random = host_.random();
    random.Randomize();
    devicelink::BuildStartCommand(d.OutputReportData, [&random] { return random.Rnd(); });
    if (d.DeviceSerialNumber_1 != kNoDevice)
        d.WriteOutputReport1();
}

void RecorderForm::KnownDevice() {
    // Calibration in the eleventh tick that finds the device known.
    if (!calibrationDone_) {
        if (calibrationDelayTicks_ > 9 && Kalibrasyon())
            view_.command1Enabled = true;
        ++calibrationDelayTicks_;
        if (calibrationDelayTicks_ > 10) {
            calibrationDone_ = true;
            calibrationDelayTicks_ = 0;
        }
    }
    view_.connectionText = ConnectedText(link_.DeviceSerialNumber_1);
    view_.connectionColour = colour::White;
    view_.shape2Visible = true;
    if (capturePending_)
        CaptureTick();
    else
        MonitoringTick();
}

// An armed recording and a pending capture wait for the device to come back.
void RecorderForm::NotConnected() {
    view_.command1Enabled = false;
    calibrationDone_ = false;
    setAllLines(text::LineNoDevice, colour::Red);
    view_.connectionText = text::NotConnected;
    view_.connectionColour = colour::Black;
    view_.shape2Visible = false;
    setNoDevice(link_.DeviceSerialNumber_1);
    link_.MatchingDeviceCount = 0;
    link_.FindDevice1();
}

bool RecorderForm::ReadDevice(int device) {
    return devicelink::readReportInTick(link_, device, lostThisTick_);
}

// A read that fails leaves the zero levels as they were: the buffer holds no fresh
// report, and the device is forgotten in the next tick. A line that rings now is given
// its resting level later, by the monitoring ticks' reports.
bool RecorderForm::Kalibrasyon() {
    if (!ReadDevice(1))
        return false;
    setAllLines(text::LineCalibrating, colour::White);
    calibration_.calibrate(std::span(link_.ReadBuffer_1).subspan<1>(), zeroLevel_);
    return true;
}

// From calibration on, each fresh report also goes to the zero levels, before its
// samples are corrected by them; a capture's reports do not, so a capture and its files
// keep the levels it began with.
void RecorderForm::MonitoringTick() {
    if (ReadDevice(1) && calibrationDone_)
        calibration_.follow(std::span(link_.ReadBuffer_1).subspan<1>(), zeroLevel_);
    bool anyActive = false;
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        std::array<int, kGroups + 1> x{};
        for (int g = 0; g < kGroups; ++g)
            x[g] = signalpath::descramble(p, link_.ReadBuffer_1[4 * g + p]) - zeroLevel_[p - 1];
        x[kGroups] = x[kGroups - 1];
        int activity = 0;
        for (int j = 0; j < kGroups; ++j)
            activity += std::abs(x[j + 1] - x[j]);
        lineActivity_[p - 1] = activity;
        anyActive = anyActive || activity > activityThreshold_;
    }
    // The first three active ticks after start or after a capture count as quiet.
    if (anyActive && activityDebounceCount_ < 3) {
        lineActivity_ = {};
        ++activityDebounceCount_;
    }
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        if (lineActivity_[p - 1] > activityThreshold_) {
            view_.lines[p - 1] = {text::LineActive, colour::Orange};
            capturePending_ = true;
        } else {
            view_.lines[p - 1] = {text::LineReady, colour::Green};
        }
    }
}

void RecorderForm::CaptureTick() {
    activityDebounceCount_ = 0;
    bool complete = true;
    for (int r = 0; r < CaptureReportCount; ++r) {
        if (!ReadDevice(1)) {
            // Device1 went away: the rest of the capture would repeat its last report.
            complete = false;
            break;
        }
        if (link_.Device2Seen)
            ReadDevice(2); // read and not kept
        for (int g = 0; g < kGroups; ++g) {
            for (int p = 1; p <= kLinesPerDevice; ++p)
                captures_[p - 1][captureSampleIndex_] = link_.ReadBuffer_1[4 * g + p];
            ++captureSampleIndex_;
        }
    }
    // A capture cut short is not a recording: an armed recording stays armed for the
    // next complete capture.
    if (complete) {
        ++captureCount_;
        if (recordingArmed_) {
            sinyal_kayit_fonksiyonum();
            recordingArmed_ = false;
            view_.command1Enabled = true;
        }
    }
    captureSampleIndex_ = 0;
    capturePending_ = false;
}

void RecorderForm::sinyal_kayit_fonksiyonum() {
    RecordingInput input;
    input.captures = &captures_;
    input.zeroLevels = zeroLevel_;
    input.serial = link_.DeviceSerialNumber_1;
    input.dateText = host_.dateText();
    input.timeText = host_.timeText();
    lastRecording_ = WriteRecording(input, host_.random(), store_, [this] { host_.DoEvents(); });
    if (lastRecording_.ok()) {
        host_.MsgBox(text::RecordingDone, text::MessageTitle);
    } else {
        std::string message = text::RecordingFailed;
        for (const auto& f : lastRecording_.failed)
            message += "\n" + f.name + " (" + f.error + ")";
        host_.MsgBox(message, text::MessageTitle);
    }
    view_.command1Caption = text::Command1Ready;
}

} // namespace recorder
