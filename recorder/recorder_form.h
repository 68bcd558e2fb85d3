// The recorder's window without the window: the state of frmMain between timer
// ticks, the tick itself (device supervision, calibration, lamps, capture, recording)
// and the button. The Windows shell renders FormView after every event and calls
// back through RecorderHost; tests drive it over the simulated bus.
#pragma once

#include "recorder/signal_file.h"
#include "signalpath/zero_level.h"

#include <array>
#include <cstdint>
#include <string>

namespace devicelink {
class HIDmodule;
}

namespace recorder {

inline constexpr int kActivityThreshold = 90;

// The platform's 24-bit colour numbers (red + 256 * green + 65536 * blue).
namespace colour {
inline constexpr std::uint32_t Orange = 33023;
inline constexpr std::uint32_t Green = 65280;
inline constexpr std::uint32_t Red = 255;
inline constexpr std::uint32_t White = 16777215;
inline constexpr std::uint32_t Black = 0;
inline constexpr std::uint32_t Navy = 8388608; // Shape2's fill, RGB(0, 0, 128)
} // namespace colour

namespace text {
inline constexpr const char* Command1Ready = "Yeni Sinyal Kaydi Icin Basiniz";
inline constexpr const char* Command1Armed = "Telefon Aramasi Yapiniz...";
inline constexpr const char* LineActive = "  Isleniyor";
inline constexpr const char* LineReady = "  Cagriya Hazir";
inline constexpr const char* LineNoDevice = "  CHZ-1 Takiniz";
inline constexpr const char* LineCalibrating = "  Kalibrasyon";
inline constexpr const char* NotConnected = "CIHAZ BAGLI DEGIL";
inline constexpr const char* RecordingDone = "Telefon sinyal kaydi basariyla tamamlanmistir...";
// Our own words for a recording that could not be stored; the names follow.
inline constexpr const char* RecordingFailed = "Telefon sinyal kaydi dosyaya yazilamadi:";
inline constexpr const char* MessageTitle = "Ketrasmo Bildirimi";
} // namespace text

// "CIHAZ BAGLANDI", 58 blanks, "CHZ NO: " (80 characters), then the serial.
std::string ConnectedText(const std::string& serial);

// What the window shows; every text is UTF-8.
struct LineView {
    std::string label;                  // Label3..Label6
    std::uint32_t lamp = colour::Black; // fill colour of Shape3..Shape6
};

struct FormView {
    std::string command1Caption;
    bool command1Enabled = false;
    bool shape1Visible = true; // the blinking lamp
    std::string connectionText;
    std::uint32_t connectionColour = colour::Black;
    // Shape2, the dark ground of the connection text: shown while connected, so
    // that the white text reads; without it the frame's face is the black text's.
    bool shape2Visible = false;
    std::array<LineView, kLinesPerDevice> lines;
};

// What the recorder needs of its window and the run time.
class RecorderHost {
public:
    virtual ~RecorderHost() = default;
    // The date (short form) and time (long form) as text, UTF-8.
    virtual std::string dateText() = 0;
    virtual std::string timeText() = 0;
    virtual RandomGenerator& random() = 0;
    // Lets the window process its pending messages (and repaint from view()).
    virtual void DoEvents() = 0;
    // A message box with an OK button only; returns when the user has closed it.
    virtual void MsgBox(const std::string& text, const std::string& title) = 0;
};

class RecorderForm {
public:
    RecorderForm(devicelink::HIDmodule& link, RecorderHost& host, SignalFileStore& store);
    RecorderForm(const RecorderForm&) = delete;
    RecorderForm& operator=(const RecorderForm&) = delete;

    void Form_Load();    // texts, serials "0", threshold 90, Timer1 on
    void Timer1_Timer(); // one tick; a tick started inside another does nothing
    void Command1_Click();
    void Form_Unload(); // Timer1 off, both reading handles closed

    bool timerEnabled() const { return timerEnabled_; }
    // True while a tick runs (the shell defers closing the window until it ends).
    bool inTick() const { return inTick_; }
    const FormView& view() const { return view_; }

    // Read-only views of the form state for diagnostics and tests.
    int ZeroLevel(int line) const { return zeroLevel_[line - 1]; }
    int LineActivity(int line) const { return lineActivity_[line - 1]; }
    const CaptureBuffer& captureBuffer(int line) const { return captures_[line - 1]; }
    bool CapturePending() const { return capturePending_; }
    bool RecordingArmed() const { return recordingArmed_; }
    int ActivityDebounceCount() const { return activityDebounceCount_; }
    bool CalibrationDone() const { return calibrationDone_; }
    // Captures completed, written or not, and the result of the last recording.
    long captureCount() const { return captureCount_; }
    const RecordingResult& lastRecording() const { return lastRecording_; }

private:
    void Blink();
    void LatchTwoDevices();
    void FallBackToOneDevice();
    void SuperviseDevice1();
    void SuperviseDevice2();
    void KnownDevice();
    void FirstSight();
    void NotConnected();
    // The zero levels from one report; false (nothing taken) when its read failed.
    bool Kalibrasyon();
    void MonitoringTick();
    void CaptureTick();
    void sinyal_kayit_fonksiyonum();
    void CloseReadHandles();
    void setAllLines(const char* label, std::uint32_t lamp);
    // One report of Device1 (or Device2); after a time-out in this tick, or for a
    // device already marked lost, the tick's reads of that device are skipped: each
    // would only wait 500 ms and fail again. True when the device is still open.
    bool ReadDevice(int device);

    devicelink::HIDmodule& link_;
    RecorderHost& host_;
    SignalFileStore& store_;

    bool timerEnabled_ = false;
    bool inTick_ = false;
    FormView view_;
    int activityThreshold_ = 0;
    std::array<int, kLinesPerDevice> zeroLevel_{};
    // The lines' levels from calibration on, until each is found at rest.
    signalpath::ZeroLevelCalibration calibration_;
    std::array<int, kLinesPerDevice> lineActivity_{};
    int activityDebounceCount_ = 0;
    bool capturePending_ = false;
    std::array<CaptureBuffer, kLinesPerDevice> captures_{};
    std::int16_t captureSampleIndex_ = 0;
    bool recordingArmed_ = false;
    bool calibrationDone_ = false;
    std::int16_t calibrationDelayTicks_ = 0;
    bool device1WasDetected_ = false;
    bool twoDeviceRescanDone_ = false;
    bool twoDeviceMode_ = false;
    std::int16_t blinkCounter_ = 0;
    std::array<bool, 2> lostThisTick_{};
    long captureCount_ = 0;
    RecordingResult lastRecording_;
};

} // namespace recorder
