// A small control for the container's tests: it records what its host asks of
// it, activates in place with a window of its own, keeps one event sink and
// fires an event with by-reference arguments. Registered for the process only
// (CoRegisterClassObject), so the tests need no registry entry.
#pragma once

#include "activex/com_ptr.h"
#include "activex/win.h"

#include <memory>
#include <string>
#include <vector>

namespace testcontrol {

// {5C0B7E2A-3D41-4F8E-9B6A-0E2D4C6F8A11}
inline constexpr CLSID kClsid = {
    0x5c0b7e2a, 0x3d41, 0x4f8e, {0x9b, 0x6a, 0x0e, 0x2d, 0x4c, 0x6f, 0x8a, 0x11}};
// {5C0B7E2B-3D41-4F8E-9B6A-0E2D4C6F8A11}: the control's source interface.
inline constexpr IID kEventsIid = {
    0x5c0b7e2b, 0x3d41, 0x4f8e, {0x9b, 0x6a, 0x0e, 0x2d, 0x4c, 0x6f, 0x8a, 0x11}};

inline constexpr DISPID kStartDispid = 0x60030023;
inline constexpr DISPID kFailingDispid = 0x60030099;
inline constexpr DISPID kPairEventDispid = 2; // (BSTR* first, VARIANT* second)

struct Behaviour {
    DWORD miscStatus = 0;
    bool offerClassInfo2 = true;
};

class Control;
class Factory;

// What a test sees of the one control its factory made last.
struct Observed {
    std::vector<std::string> calls; // host calls in order, by method name
    Control* control = nullptr;     // alive while the host holds it
    bool userMode = false;          // the site's ambient, read at activation
    bool started = false;
    HWND window = nullptr;
    HWND parent = nullptr;
    SIZEL extent{};
    int liveObjects = 0;
};

// Registers the class object for kClsid until destroyed.
class Registration {
public:
    Registration(const Behaviour& behaviour, Observed& observed);
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration();

private:
    std::unique_ptr<Factory> factory_;
    DWORD cookie_ = 0;
};

// Fires the pair event on the sink of the control; returns the two values as
// the sink left them.
std::pair<std::wstring, std::wstring> firePair(Control& control, const std::wstring& first,
                                               const std::wstring& second);
// The event sink the control holds (none before Advise and after Unadvise).
activex::ComPtr<IDispatch> sinkOf(Control& control);

} // namespace testcontrol
