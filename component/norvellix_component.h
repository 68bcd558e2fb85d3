// The caller-ID component's core: pairing of up to two caller-ID devices through the
// HID device controller on every device-change notification, the start command, and
// the line watch and decoding of each paired device, with the events that tell the
// host. The COM shell puts it on its form; tests drive it over the simulated bus.
// Everything runs on the user-interface thread; nothing is locked.
#pragma once

#include "component/device_lines.h"
#include "hidcontroller/hid_device_controller.h"
#include "platform/api.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace component {

// The event argument fields of a decoded call (UTF-8).
struct CallerIdRecord {
    std::string CallDate;
    std::string CallTime;
    std::string DevSerialNo;
    std::string LineNo;
    std::string PhoneNo;
    std::string OtherInfo;
};

// The three events of the component, handed copies of its fields.
class ComponentEvents {
public:
    virtual ~ComponentEvents() = default;
    virtual void OnCallerID(const CallerIdRecord& call) = 0;
    virtual void OnDeviceConnection(const std::string& DevSerialNo) = 0;
    virtual void OnDeviceDisconnected(const std::string& DevSerialNo) = 0;
};

// What the component takes from its host: the clock as text and a seed for the
// generator that is re-seeded before every start command.
class ComponentHost {
public:
    virtual ~ComponentHost() = default;
    virtual std::string dateText() = 0; // the system's short date format
    virtual std::string timeText() = 0; // the system's long time format
    virtual std::uint32_t randomSeed() = 0;
};

// Product string, "*", vendor id and product id of the caller-ID device.
inline constexpr char16_t DeviceNamePrefix[] = u"Norvellix Device V0.0*04D8C5A7";
inline constexpr std::size_t kDeviceNamePrefixLength = 30;
inline constexpr std::size_t kListItemLength = 39;
inline constexpr std::uint16_t kVendorId = 0x04D8;
inline constexpr std::uint16_t kProductId = 0xC5A7;
inline constexpr std::size_t kSerialLength = 8;
inline constexpr platform::Dword kPairingPauseMs = 500;
inline constexpr int kInputBufferCount = 128;
inline constexpr int kStartCommandLength = 65;

// Product string, "*" and the ids as four upper-case hexadecimal digits each
// ("Device VID=xxxx PID=xxxx" without a product string), then "/" and the serial
// string when there is one.
std::u16string BuildDeviceName(const std::u16string& product, std::uint16_t vendorId,
                               std::uint16_t productId, const std::u16string& serial);

// Characters 32..39 of a device name: the first eight of its serial string, fewer
// when the serial is shorter (not padded), "" when there is none.
std::u16string HidSerialText(const std::u16string& deviceName);

// The 65-byte start command with the component's filler (0..254, drawn from a
// generator seeded with `seed`).
std::array<std::uint8_t, kStartCommandLength> ComponentStartCommand(std::uint32_t seed);

class TNorvellix_Component final : private DeviceLinesOwner {
public:
    // Creates both controllers; pairing begins when the user-interface thread next
    // dispatches its messages.
    TNorvellix_Component(platform::Api& api, hidcontroller::UiThread& ui, ComponentEvents& events,
                         ComponentHost& host);
    ~TNorvellix_Component() override;
    TNorvellix_Component(const TNorvellix_Component&) = delete;
    TNorvellix_Component& operator=(const TNorvellix_Component&) = delete;

    // The controller's handlers.
    bool HidCtlEnumerate(hidcontroller::THidDevice& HidDev, int Idx);
    void HidCtlDeviceChange(hidcontroller::THidDeviceController& Sender);
    // The data-error handler of each paired device: a device whose reads fail because
    // its handle is gone counts as changed, and is paired again from its new handle.
    void HidCtlDeviceDataError(hidcontroller::THidDevice& HidDev, std::uint32_t Error);

    struct ListItem {
        std::u16string text; // the first 39 characters of the device name
        std::unique_ptr<hidcontroller::THidDevice> device;
    };
    // CihazListesi: the accepted devices in acceptance order.
    const std::vector<ListItem>& CihazListesi() const { return list_; }
    hidcontroller::THidDevice* Device1() const { return Device1_; }
    hidcontroller::THidDevice* Device2() const { return Device2_; }
    const std::string& SerialNo1() const { return SerialNo1_; }
    const std::string& SerialNo2() const { return SerialNo2_; }
    const std::string& OtherInfo() const { return call_.OtherInfo; }
    DeviceLines& lines(int device) { return device == 1 ? lines1_ : lines2_; }

private:
    void SendStartCommand(int device) override;
    void raiseCall(int device, int line, const std::string& number) override;
    void releaseDevices();
    // The steps of pairing one device: buffers and its data-error handler, then (after
    // its event) the start command, the pause and the calibration handler.
    void setBuffers(hidcontroller::THidDevice& device);
    void startWatch(int device);
    std::string otherInfo(const hidcontroller::THidDeviceController& counter) const;

    platform::Api& api_;
    ComponentEvents& events_;
    ComponentHost& host_;
    // The line watches outlive the devices whose handlers point at them.
    DeviceLines lines1_{*this, 1};
    DeviceLines lines2_{*this, 2};
    // HidCtl_2 only counts devices; its list is brought up to date before each count.
    std::unique_ptr<hidcontroller::THidDeviceController> HidCtl_2_;
    std::unique_ptr<hidcontroller::THidDeviceController> HidCtl_;
    bool listExists_ = true;
    std::vector<ListItem> list_;
    hidcontroller::THidDevice* Device1_ = nullptr;
    hidcontroller::THidDevice* Device2_ = nullptr;
    std::string SerialNo1_;
    std::string SerialNo2_;
    CallerIdRecord call_;
};

} // namespace component
