#include "component/norvellix_component.h"

#include "devicelink/start_command.h"
#include "platform/utf16.h"

#include <cstdio>
#include <random>

namespace component {

using hidcontroller::THidDevice;
using hidcontroller::THidDeviceController;

namespace {

// Whether the device opens for reading and writing now: a device that another
// program holds exclusively opens only for its identity, and its reading thread
// would never start.
bool canBeRead(THidDevice& device) {
    const bool readable = device.OpenSyncHandle() && device.ReadWriteAccess();
    device.CloseSyncHandle();
    return readable;
}

std::u16string widenAscii(const char* text) {
    std::u16string out;
    for (; *text; ++text)
        out += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return out;
}

} // namespace

std::u16string BuildDeviceName(const std::u16string& product, std::uint16_t vendorId,
                               std::uint16_t productId, const std::u16string& serial) {
    char ids[40];
    if (product.empty())
        std::snprintf(ids, sizeof ids, "Device VID=%.4X PID=%.4X", vendorId, productId);
    else
        std::snprintf(ids, sizeof ids, "*%.4X%.4X", vendorId, productId);
    std::u16string name = product + widenAscii(ids);
    if (!serial.empty())
        name += u"/" + serial;
    return name;
}

std::u16string HidSerialText(const std::u16string& deviceName) {
    constexpr std::size_t first = kDeviceNamePrefixLength + 1; // behind the "/"
    if (deviceName.size() <= first)
        return {};
    return deviceName.substr(first, kSerialLength);
}

std::array<std::uint8_t, kStartCommandLength> ComponentStartCommand(std::uint32_t seed) {
    std::minstd_rand generator(seed);
    const auto next = [&generator] {
        return static_cast<double>(generator() - std::minstd_rand::min()) /
               static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min() + 1);
    };
    devicelink::ReportBuffer payload{};
    devicelink::BuildStartCommand(payload, next, devicelink::FillerRule::ZeroTo254);
    std::array<std::uint8_t, kStartCommandLength> report{}; // report id 0
    std::copy_n(payload.begin(), kStartCommandLength - 1, report.begin() + 1);
    return report;
}

TNorvellix_Component::TNorvellix_Component(platform::Api& api, hidcontroller::UiThread& ui,
                                           ComponentEvents& events, ComponentHost& host)
    : api_(api), events_(events), host_(host),
      HidCtl_2_(std::make_unique<THidDeviceController>(api, ui)),
      HidCtl_(std::make_unique<THidDeviceController>(api, ui)) {
    HidCtl_->setLoading(true);
    HidCtl_->OnEnumerate =
        hidcontroller::THidEnumerateEvent::of<&TNorvellix_Component::HidCtlEnumerate>(*this);
    HidCtl_->SetOnDeviceChange(
        hidcontroller::TNotifyEvent::of<&TNorvellix_Component::HidCtlDeviceChange>(*this));
    HidCtl_->setLoading(false);
}

TNorvellix_Component::~TNorvellix_Component() {
    HidCtl_->SetOnDeviceChange({});
    HidCtl_->OnEnumerate = {};
    listExists_ = false;
    releaseDevices();
}

bool TNorvellix_Component::HidCtlEnumerate(THidDevice& HidDev, int Idx) {
    if (!listExists_)
        return true;
    const std::u16string name =
        BuildDeviceName(HidDev.GetProductText(), HidDev.Attributes().VendorID,
                        HidDev.Attributes().ProductID, HidDev.GetSerialText());
    if (name.compare(0, kDeviceNamePrefixLength, DeviceNamePrefix) != 0)
        return true;
    // Paired, it would be reported connected though no report can reach it; the pass
    // after the next device change tries it again.
    if (!canBeRead(HidDev))
        return true;
    ListItem item{name.substr(0, kListItemLength), nullptr};
    // A device that cannot be checked out is not listed: pairing needs its object.
    if (HidCtl_->AcquireDeviceAt(item.device, Idx) && item.device)
        list_.push_back(std::move(item));
    return true;
}

void TNorvellix_Component::releaseDevices() {
    // A report handed over while a reading thread stops finds its device no longer
    // served and is dropped.
    Device1_ = nullptr;
    Device2_ = nullptr;
    lines1_.stopServing();
    lines2_.stopServing();
    std::vector<ListItem> released = std::move(list_);
    list_.clear();
    for (ListItem& item : released)
        item.device.reset();
}

void TNorvellix_Component::HidCtlDeviceChange(THidDeviceController&) {
    if (!listExists_)
        return;
    releaseDevices();
    HidCtl_->EnumerateDevices();
    if (list_.empty()) {
        call_.DevSerialNo = SerialNo1_;
        events_.OnDeviceDisconnected(call_.DevSerialNo);
        return;
    }
    Device1_ = list_[0].device.get();
    setBuffers(*Device1_);
    SerialNo1_ = platform::utf16ToUtf8(HidSerialText(list_[0].text));
    if (list_.size() == 1) {
        call_.DevSerialNo = SerialNo1_;
        events_.OnDeviceConnection(call_.DevSerialNo);
        call_.OtherInfo = otherInfo(*HidCtl_);
        startWatch(1);
        return;
    }
    startWatch(1);
    Device2_ = list_[1].device.get();
    setBuffers(*Device2_);
    SerialNo2_ = platform::utf16ToUtf8(HidSerialText(list_[1].text));
    call_.DevSerialNo = SerialNo1_ + "  |  " + SerialNo2_;
    events_.OnDeviceConnection(call_.DevSerialNo);
    // The system notifies the controllers' windows in an order of its own (HidCtl
    // first on Windows): HidCtl_2's list is brought up to date before it is asked.
    HidCtl_2_->DeviceChange();
    call_.OtherInfo = otherInfo(*HidCtl_2_);
    startWatch(2);
}

void TNorvellix_Component::setBuffers(THidDevice& device) {
    device.SetInputBufferCount(kInputBufferCount);
    device.SetOverlappedInputBufferCount(kInputBufferCount);
    device.SetDataErrorHandler(
        hidcontroller::THidDataErrorEvent::of<&TNorvellix_Component::HidCtlDeviceDataError>(*this));
}

void TNorvellix_Component::HidCtlDeviceDataError(THidDevice& HidDev, std::uint32_t Error) {
    // Pulled out and plugged back in while a pass held this thread (its pauses), the
    // device keeps its instance, and the passes of the notifications that waited found
    // its old object still plugged: only its reads tell. A device being released is no
    // longer paired; its reads are not looked at.
    if (&HidDev == Device1_ || &HidDev == Device2_)
        (void)HidCtl_->DeviceReadFailed(HidDev, Error); // marked or not, nothing more to do
}

void TNorvellix_Component::startWatch(int device) {
    THidDevice* d = device == 1 ? Device1_ : Device2_;
    if (!d)
        return;
    SendStartCommand(device);
    api_.SleepEx(kPairingPauseMs, false);
    // The host's handler of the event before may have changed the pairing.
    if (d == (device == 1 ? Device1_ : Device2_))
        lines(device).serve(*d);
}

std::string TNorvellix_Component::otherInfo(const THidDeviceController& counter) const {
    return "This device is \"" + std::to_string(counter.CountDevicesById(kVendorId, kProductId)) +
           "\" one.";
}

void TNorvellix_Component::SendStartCommand(int device) {
    THidDevice* d = device == 1 ? Device1_ : Device2_;
    if (!d)
        return;
    platform::HidCaps caps{};
    d->GetCapabilities(caps);
    // The command is a 65-byte report; a device that takes reports of another length
    // is not sent it.
    if (caps.OutputReportByteLength != kStartCommandLength)
        return;
    const auto report = ComponentStartCommand(host_.randomSeed());
    platform::Dword written = 0;
    (void)d->WriteReport(report.data(), kStartCommandLength, written);
}

void TNorvellix_Component::raiseCall(int device, int line, const std::string& number) {
    call_.CallDate = host_.dateText();
    call_.CallTime = host_.timeText();
    call_.LineNo = std::to_string(line);
    call_.PhoneNo = number;
    call_.DevSerialNo = device == 1 ? SerialNo1_ : SerialNo2_;
    const CallerIdRecord copy = call_;
    events_.OnCallerID(copy);
}

} // namespace component
