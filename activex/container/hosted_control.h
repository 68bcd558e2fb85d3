// One control hosted in a window: created by its class id, initialised,
// placed on its site, activated in place and connected to the host's event
// handler; torn down in the reverse order when the host lets it go.
#pragma once

#include "activex/com_ptr.h"
#include "activex/container/control_site.h"
#include "activex/container/event_sink.h"
#include "activex/win.h"

#include <optional>
#include <string>
#include <vector>

namespace activex::container {

struct HostingOptions {
    RECT rect{};                         // the control's place, client pixels of the host
    std::optional<SIZEL> extentHimetric; // asked of the control; rect's size when absent
    Ambients ambients;
    std::wstring containerName;        // told to the control with SetHostNames
    std::optional<IID> eventInterface; // the control's default source when absent
    // The control's persisted state (the stream form of its IPersistStreamInit),
    // loaded in place of a new initialisation when given.
    std::vector<BYTE> persistedState;
};

class HostedControl {
public:
    // Throws activex::ComError naming the step that failed: "CoCreateInstance"
    // for a class that is not registered or does not load, and so on. events
    // (may be null) must outlive the hosted control.
    HostedControl(const CLSID& clsid, HWND host, const HostingOptions& options,
                  EventHandler* events);
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;
    ~HostedControl();

    // Calls a method without arguments late-bound by its dispatch id. Throws
    // activex::ComError("IDispatch::Invoke") when the control refuses.
    void callMethod(DISPID dispid);

    // The control's own window once in-place active (null if it has none).
    HWND controlWindow() const noexcept;
    bool inPlaceActive() const noexcept { return site_->inPlaceActive(); }
    bool eventsConnected() const noexcept { return cookie_ != 0; }
    DWORD miscStatus() const noexcept { return miscStatus_; }
    // Asks the control for a new extent and returns the one it then reports.
    SIZEL resize(SIZEL himetric);

    IOleObject* object() const noexcept { return object_.get(); }
    IDispatch* dispatch() const noexcept { return dispatch_.get(); }
    bool translateAccelerator(MSG& msg) noexcept { return site_->translateAccelerator(msg); }

private:
    void initialisePersistence(const std::vector<BYTE>& state);
    void teardown() noexcept;
    void connectEvents(const HostingOptions& options, EventHandler& events);

    ComPtr<IOleObject> object_;
    ComPtr<ControlSite> site_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IConnectionPoint> connectionPoint_;
    ComPtr<EventSink> sink_;
    DWORD cookie_ = 0;
    DWORD miscStatus_ = 0;
};

// The default source interface of a control: IProvideClassInfo2 first, else
// the [default, source] interface of its coclass's type information.
std::optional<IID> defaultSourceInterface(IUnknown* control);

} // namespace activex::container
