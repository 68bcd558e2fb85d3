// What Ketrasmo's core needs of Windows: the locale's date and time texts, the
// message loop run from inside a tick and the message box.
#pragma once

#include "recorder/recorder_form.h"

#include <string>
#include <windows.h>

namespace recorder::windows {

class WindowsRecorderHost final : public RecorderHost {
public:
    // `repaint` runs before the pending messages are processed, so the window shows
    // the form's latest state while a recording is built.
    WindowsRecorderHost(HWND owner, void (*repaint)(HWND));
    std::string dateText() override; // the short date form of the user's locale
    std::string timeText() override; // the (long) time form of the user's locale
    RandomGenerator& random() override { return random_; }
    void DoEvents() override;
    void MsgBox(const std::string& text, const std::string& title) override;

private:
    HWND owner_;
    void (*repaint_)(HWND);
    ClockSeededRandom random_;
};

} // namespace recorder::windows
