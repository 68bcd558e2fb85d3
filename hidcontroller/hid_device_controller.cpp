// The controller's device list, its passes over the present interfaces, its events,
// enumeration, check-out and check-in, and the handler setters.
#include "hidcontroller/hid_device_controller.h"

#include "hidcontroller/bindings.h"

#include <cstring>
#include <utility>

namespace hidcontroller {

using namespace platform;

THidDeviceController::THidDeviceController(Api& api, UiThread& ui) : api_(api), ui_(ui) {
    ProcessBindings& b = processBindings();
    tookSetupApi_ = b.setupApi.LoadSetupApiBinding(api);
    tookHid_ = tookSetupApi_ && b.hid.LoadHidBinding(api);
    if (!b.hid.IsHidBound())
        return; // no HID on this platform: no window, no list, no events
    b.hid.HidD_GetHidGuid(&HidGuid_);
    window_ = ui_.createNotificationWindow(
        [this](unsigned m, std::uintptr_t w, std::intptr_t l) { DeviceChangeWindowProc(m, w, l); });
    // The first pass runs when the host's message loop next runs.
    window_->post(kWmDeviceChange, kDbtDevNodesChanged, kStartupChangeParam);
}

THidDeviceController::~THidDeviceController() {
    OnDeviceChange_ = {};
    OnDeviceUnplug_ = {};
    OnEnumerate = {};
    window_.reset();
    List list = std::move(DeviceList_);
    DeviceList_.clear();
    for (Slot& slot : list) {
        slot.device->Controller_ = nullptr;
        if (slot.device->CheckedOut())
            slot.device->MarkUnplugged(); // it stays with its user
        else
            freeOwned(std::move(slot.owned));
    }
    list.clear();
    ProcessBindings& b = processBindings();
    if (tookSetupApi_)
        b.setupApi.UnloadSetupApiBinding();
    if (tookHid_)
        b.hid.UnloadHidBinding();
}

void THidDeviceController::freeOwned(std::unique_ptr<THidDevice> device) {
    if (device)
        device->Controller_ = nullptr;
    device.reset();
}

void THidDeviceController::DeviceChangeWindowProc(unsigned message, std::uintptr_t wParam,
                                                  std::intptr_t lParam) {
    // A notification that comes while a pass runs (from a message loop inside an event
    // handler) is dropped, not queued.
    if (message != kWmDeviceChange || wParam != kDbtDevNodesChanged || InDeviceChange_)
        return;
    ChangeParam_ = lParam;
    InDeviceChange_ = true;
    DeviceChange();
    InDeviceChange_ = false;
    // The pass may have looked at a device before it was found lost (from a message
    // loop inside one of its handlers), and the pass posted for it was dropped.
    if (std::exchange(passOwed_, false))
        postPass();
}

void THidDeviceController::postPass() {
    if (window_)
        window_->post(kWmDeviceChange, kDbtDevNodesChanged, 0);
}

void THidDeviceController::ListPresentDevices(List& fresh) {
    if (!processBindings().hid.IsHidBound())
        return;
    SetupApiBinding& setup = processBindings().setupApi;
    const DevInfo set = setup.SetupDiGetClassDevsA(&HidGuid_, nullptr, kNullWindow,
                                                   kDigcfPresent | kDigcfDeviceInterface);
    if (set == kInvalidDevInfo)
        return;
    for (Dword index = 0;; ++index) {
        DeviceInterfaceData data;
        data.cbSize = kDeviceInterfaceDataSize;
        if (!setup.SetupDiEnumDeviceInterfaces(set, nullptr, &HidGuid_, index, &data))
            break;
        DeviceInfoData info;
        info.cbSize = kDeviceInfoDataSize;
        Dword size = 0;
        // The size first: the call must fail for want of room and name a size.
        if (setup.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr) ||
            api_.GetLastError() != kErrorInsufficientBuffer || size == 0 ||
            size <= kDeviceInterfaceDetailPathOffset)
            continue;
        std::vector<std::uint8_t> detail(size, 0);
        std::memcpy(detail.data(), &kDeviceInterfaceDetailDataSize,
                    sizeof kDeviceInterfaceDetailDataSize);
        if (!setup.SetupDiGetDeviceInterfaceDetailA(set, &data, detail.data(), size, nullptr,
                                                    &info))
            continue;
        detail.back() = 0; // a path that the platform left unterminated ends here
        std::string path(reinterpret_cast<const char*>(detail.data()) +
                         kDeviceInterfaceDetailPathOffset);
        try {
            auto device = std::make_unique<THidDevice>(
                api_, std::make_unique<THidPnPInfo>(set, info, std::move(path)), this);
            THidDevice* raw = device.get();
            fresh.push_back({raw, std::move(device)});
        } catch (const EControllerError&) {
            // an interface that cannot be opened or identified now is tried again next time
        }
    }
    setup.SetupDiDestroyDeviceInfoList(set);
}

void THidDeviceController::DeviceChange() {
    bool changed = ChangeParam_ == kStartupChangeParam;
    List fresh;
    ListPresentDevices(fresh);
    auto presentIn = [&](Dword devInst) {
        for (const Slot& s : fresh)
            if (s.device && s.device->PnPInfo().DevInst == devInst)
                return true;
        return false;
    };
    // Removals, from the last to the first.
    for (int i = static_cast<int>(DeviceList_.size()); i-- > 0;) {
        if (i >= static_cast<int>(DeviceList_.size()))
            continue; // a handler freed devices meanwhile
        THidDevice* device = DeviceList_[i].device;
        if (device->Plugged() && presentIn(device->PnPInfo().DevInst))
            continue;
        device->MarkUnplugged();
        CallRemovalHandler(*device);
        changed = true;
        const int at = indexOf(*device); // the handlers may have freed it
        if (at >= 0 && !DeviceList_[at].device->CheckedOut()) {
            std::unique_ptr<THidDevice> owned = std::move(DeviceList_[at].owned);
            DeviceList_.erase(DeviceList_.begin() + at);
            freeOwned(std::move(owned));
        }
    }
    // Duplicates: a device already listed and plugged keeps its object.
    for (Slot& s : fresh) {
        for (const Slot& listed : DeviceList_) {
            if (listed.device->Plugged() &&
                listed.device->PnPInfo().DevInst == s.device->PnPInfo().DevInst) {
                freeOwned(std::move(s.owned));
                s.device = nullptr;
                break;
            }
        }
    }
    // Arrivals.
    for (Slot& s : fresh) {
        if (!s.device)
            continue;
        THidDevice* device = s.device;
        DeviceList_.push_back(std::move(s));
        CallArrivalHandler(*device);
        changed = true;
    }
    recount();
    if (changed)
        CallDeviceChangeHandler();
}

void THidDeviceController::recount() {
    int checkedOut = 0;
    int unplugged = 0;
    for (const Slot& s : DeviceList_) {
        checkedOut += s.device->CheckedOut() ? 1 : 0;
        unplugged += s.device->Plugged() ? 0 : 1;
    }
    AvailableCount_ = static_cast<int>(DeviceList_.size()) - checkedOut;
    UnpluggedCount_ = unplugged;
    CheckedOutCount_ = checkedOut - unplugged;
}

int THidDeviceController::indexOf(const THidDevice& device) const {
    for (std::size_t i = 0; i < DeviceList_.size(); ++i)
        if (DeviceList_[i].device == &device)
            return static_cast<int>(i);
    return -1;
}

void THidDeviceController::callWithDevice(const THidPlugEvent& handler, THidDevice& device) {
    if (!handler)
        return;
    device.InCallback_ = true;
    handler(device);
    device.InCallback_ = false;
}

void THidDeviceController::CallArrivalHandler(THidDevice& device) {
    callWithDevice(OnArrival, device);
}

void THidDeviceController::CallRemovalHandler(THidDevice& device) {
    callWithDevice(OnRemoval, device);
}

void THidDeviceController::CallDeviceChangeHandler() {
    if (OnDeviceChange_)
        OnDeviceChange_(*this);
}

int THidDeviceController::EnumerateDevices() {
    int n = 0;
    const int count = static_cast<int>(DeviceList_.size());
    for (int i = 0; i < count && i < static_cast<int>(DeviceList_.size()); ++i) {
        if (!DeviceList_[i].device->Plugged())
            continue;
        const bool more = CallEnumerateHandler(*DeviceList_[i].device, i);
        ++n;
        if (!more)
            return n;
    }
    return n;
}

bool THidDeviceController::CallEnumerateHandler(THidDevice& device, int index) {
    if (!OnEnumerate)
        return false;
    device.InCallback_ = true;
    const bool result = OnEnumerate(device, index);
    device.InCallback_ = false;
    if (indexOf(device) >= 0 && !device.CheckedOut()) {
        device.CloseSyncHandle();
        device.CloseOverlappedHandle(false);
        device.CloseOverlappedHandle(true);
    }
    return result;
}

bool THidDeviceController::AcquireDeviceAt(std::unique_ptr<THidDevice>& device, int index) {
    device.reset();
    if (index < 0 || index >= static_cast<int>(DeviceList_.size()))
        return false;
    Slot& slot = DeviceList_[index];
    if (slot.device->CheckedOut() || !slot.owned)
        return false;
    device = std::move(slot.owned);
    device->CheckedOut_ = true;
    ++CheckedOutCount_;
    --AvailableCount_;
    device->StartReadThread();
    return true;
}

int THidDeviceController::CountDevicesById(int vendor, int product) const {
    int n = 0;
    for (const Slot& s : DeviceList_) {
        const HidAttributes& a = s.device->Attributes();
        if (s.device->Plugged() && a.VendorID == static_cast<std::uint16_t>(vendor) &&
            (product == -1 || a.ProductID == static_cast<std::uint16_t>(product)))
            ++n;
    }
    return n;
}

namespace {

// Errors of a read that say the handle no longer reaches its device: the device
// behind it was removed, whatever is plugged in at its place now.
bool handleLost(Dword error) {
    switch (error) {
    case kErrorDeviceNotConnected:
    case kErrorInvalidHandle:
    case kErrorBadCommand:
    case kErrorGenFailure:
        return true;
    default:
        return false;
    }
}

} // namespace

bool THidDeviceController::DeviceReadFailed(THidDevice& device, Dword error) {
    if (!handleLost(error) || !device.Plugged() || indexOf(device) < 0)
        return false;
    device.MarkUnplugged();
    if (InDeviceChange_)
        passOwed_ = true;
    else
        postPass();
    return true;
}

void THidDeviceController::checkIn(THidDevice& released, THidDataEvent data, THidPlugEvent unplug,
                                   int wait, std::unique_ptr<THidPnPInfo> info) {
    const int at = indexOf(released);
    if (at < 0)
        return;
    if (!released.Plugged()) {
        DeviceList_.erase(DeviceList_.begin() + at);
        recount();
        return;
    }
    try {
        auto fresh = std::make_unique<THidDevice>(api_, std::move(info), this);
        fresh->SetDataHandler(data);
        fresh->UnplugHandler_ = unplug;
        fresh->SetReadThreadWait(wait);
        DeviceList_[at].device = fresh.get();
        DeviceList_[at].owned = std::move(fresh);
    } catch (const EControllerError&) {
        // The interface can no longer be opened: its slot goes, and the next pass
        // finds it again if it is still there.
        DeviceList_.erase(DeviceList_.begin() + at);
    }
    recount();
}

void THidDeviceController::SetOnDeviceChange(TNotifyEvent handler) {
    if (handler.code() == OnDeviceChange_.code())
        return;
    OnDeviceChange_ = handler;
    if (!loading_)
        DeviceChange();
}

// A new controller handler reaches every listed device that still holds the current
// one; devices given a handler of their own keep it.
template <typename Handler, typename Get, typename Set>
void THidDeviceController::retarget(Handler& current, Handler next, Get get, Set set) {
    if (next.code() == current.code())
        return;
    for (const Slot& s : DeviceList_)
        if ((s.device->*get)().code() == current.code())
            (s.device->*set)(next);
    current = next;
}

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
    retarget(OnDeviceData_, handler, &THidDevice::DataHandler, &THidDevice::SetDataHandler);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent handler) {
    retarget(OnDeviceDataError_, handler, &THidDevice::DataErrorHandler,
             &THidDevice::SetDataErrorHandler);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
    retarget(OnDeviceUnplug_, handler, &THidDevice::UnplugHandler, &THidDevice::SetUnplugHandler);
}

void THidDeviceController::SetDevThreadSleepTime(int milliseconds) {
    if (milliseconds == DevThreadSleepTime_)
        return;
    for (const Slot& s : DeviceList_)
        if (s.device->ReadThreadWait() == DevThreadSleepTime_)
            s.device->SetReadThreadWait(milliseconds);
    DevThreadSleepTime_ = milliseconds;
}

} // namespace hidcontroller
