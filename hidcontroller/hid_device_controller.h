// The device controller: binds SetupAPI and HID, keeps the list of present HID
// interfaces current on the platform's device-change notifications (and once at
// start-up, through a notification it posts to itself), raises arrival, removal and
// change events, offers every plugged device to an enumeration handler and lends
// devices out. Everything here runs on the user-interface thread.
#pragma once

#include "hidcontroller/hid_device.h"
#include "hidcontroller/ui_thread.h"
#include "platform/api.h"

#include <memory>
#include <string>
#include <vector>

namespace hidcontroller {

inline constexpr std::intptr_t kStartupChangeParam = -1;

class THidDeviceController {
public:
    THidDeviceController(platform::Api& api, UiThread& ui);
    ~THidDeviceController();
    THidDeviceController(const THidDeviceController&) = delete;
    THidDeviceController& operator=(const THidDeviceController&) = delete;

    // Rebuilds the list and raises the events.
    void DeviceChange();
    // Offers each plugged device to OnEnumerate; the number offered.
    int EnumerateDevices();
    // Checks the device at `index` out: ownership passes to `device`; freeing it checks
    // it back in. False (and no device) for a bad index or a device already out.
    bool AcquireDeviceAt(std::unique_ptr<THidDevice>& device, int index);
    // Plugged devices of that vendor and product (-1: any product).
    int CountDevicesById(int vendor, int product) const;
    // A read of a listed, plugged device failed with `error` (a data-error handler's
    // argument). When the error says that its handle no longer reaches the device (it
    // was pulled out and plugged back in, and no pass saw it gone: the system kept its
    // device instance), the object is marked unplugged and a pass is posted to the
    // window: that pass removes the object, finds the interface again as an arrival and
    // raises OnDeviceChange, so the device's user takes it afresh. True when marked.
    bool DeviceReadFailed(THidDevice& device, platform::Dword error);
    // The hidden window's procedure.
    void DeviceChangeWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // While loading (the host sets its stored handlers), OnDeviceChange does not run a
    // pass at once.
    void setLoading(bool loading) { loading_ = loading; }

    THidPlugEvent OnArrival;
    THidEnumerateEvent OnEnumerate;
    THidPlugEvent OnRemoval;

    const TNotifyEvent& OnDeviceChange() const { return OnDeviceChange_; }
    void SetOnDeviceChange(TNotifyEvent handler);
    const THidDataEvent& OnDeviceData() const { return OnDeviceData_; }
    void SetOnDeviceData(THidDataEvent handler);
    const THidDataErrorEvent& OnDeviceDataError() const { return OnDeviceDataError_; }
    void SetOnDeviceDataError(THidDataErrorEvent handler);
    const THidPlugEvent& OnDeviceUnplug() const { return OnDeviceUnplug_; }
    void SetOnDeviceUnplug(THidPlugEvent handler);
    int DevThreadSleepTime() const { return DevThreadSleepTime_; }
    void SetDevThreadSleepTime(int milliseconds);
    const std::string& Version() const { return Version_; }
    void SetVersion(std::string text) { VersionWritten_ = std::move(text); }

    const platform::Guid& HidGuid() const { return HidGuid_; }
    bool hasWindow() const { return window_ != nullptr; }
    int AvailableCount() const { return AvailableCount_; }
    int CheckedOutCount() const { return CheckedOutCount_; }
    int UnpluggedCount() const { return UnpluggedCount_; }
    std::intptr_t ChangeParam() const { return ChangeParam_; }
    // The listed devices, in the order of discovery.
    int deviceCount() const { return static_cast<int>(DeviceList_.size()); }
    THidDevice& deviceAt(int index) const { return *DeviceList_.at(index).device; }

    UiThread& ui() const { return ui_; }

private:
    friend class THidDevice;
    struct Slot {
        THidDevice* device;
        std::unique_ptr<THidDevice> owned; // null while checked out
    };
    using List = std::vector<Slot>;

    void ListPresentDevices(List& fresh);
    bool CallEnumerateHandler(THidDevice& device, int index);
    void CallArrivalHandler(THidDevice& device);
    void CallRemovalHandler(THidDevice& device);
    void CallDeviceChangeHandler();
    void callWithDevice(const THidPlugEvent& handler, THidDevice& device);
    int indexOf(const THidDevice& device) const;
    // Posts a device-change notification to the window, as the system would.
    void postPass();
    void recount();
    // A freed device comes back: a fresh object for a plugged one, its slot removed for
    // an unplugged one.
    void checkIn(THidDevice& released, THidDataEvent data, THidPlugEvent unplug, int wait,
                 std::unique_ptr<THidPnPInfo> info);
    template <typename Handler, typename Get, typename Set>
    void retarget(Handler& current, Handler next, Get get, Set set);
    // Frees a device that the controller owns, without a check-in.
    static void freeOwned(std::unique_ptr<THidDevice> device);

    platform::Api& api_;
    UiThread& ui_;
    platform::Guid HidGuid_ = platform::kHidInterfaceClassGuid;
    TNotifyEvent OnDeviceChange_;
    THidDataEvent OnDeviceData_;
    THidDataErrorEvent OnDeviceDataError_;
    THidPlugEvent OnDeviceUnplug_;
    int DevThreadSleepTime_ = 100;
    std::string Version_ = "1.0.34";
    std::string VersionWritten_;
    List DeviceList_;
    int AvailableCount_ = 0;
    int CheckedOutCount_ = 0;
    int UnpluggedCount_ = 0;
    bool InDeviceChange_ = false;
    // A device was marked lost while a pass ran: another pass follows that one.
    bool passOwed_ = false;
    std::intptr_t ChangeParam_ = 0;
    bool loading_ = false;
    bool tookSetupApi_ = false;
    bool tookHid_ = false;
    std::unique_ptr<NotificationWindow> window_;
};

} // namespace hidcontroller
