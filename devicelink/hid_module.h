// The device link: finds up to two caller-ID devices among the HID interfaces, opens,
// reads and writes them and watches their presence. Its state is module-wide by design
// (every control on the host thread shares one device link), so it lives in this one
// object, whose public members carry the names the controls read and write.
#pragma once

#include "platform/api.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devicelink {

// The CRM control and the recorder carry the same device link; the recorder opens
// Device2 for reading only (with read and write access) and never writes to it.
enum class Variant { CrmControl, Recorder };

// Identity of the caller-ID device.
inline constexpr std::uint16_t kVendorId = 0x04D8;
inline constexpr std::uint16_t kProductId = 0xC5A7;
// The presence scan counts interfaces whose path begins with this, compared
// case-sensitively (the platform writes the ids in lower case).
inline constexpr std::string_view kDevicePathPrefix = "\\\\?\\hid#vid_04d8&pid_c5a7";

inline constexpr std::size_t kReportBufferSize = 65; // report id and 64 payload bytes
// A device is refused when its reports would not fit the module's buffers: the read
// fills ReadBuffer_1/_2, the write sends report id 0 and OutputReportData.
inline constexpr std::uint16_t kMaxInputReportLength = kReportBufferSize;
inline constexpr std::uint16_t kMaxOutputReportLength = kReportBufferSize + 1;
inline constexpr platform::Dword kReadTimeoutMs = 500;

using ReportBuffer = std::array<std::uint8_t, kReportBufferSize>;

// Sees every check the device link makes after a platform call. The device link
// itself drops the result; this exists for diagnostics and tests.
class CheckObserver {
public:
    virtual ~CheckObserver() = default;
    virtual void checked(std::string_view context, platform::Dword errorCode) = 0;
};

// One device's share of the module state: Device1's slot and Device2's have the same
// members, so that what is done to a device is written once.
struct DeviceSlot {
    std::string DevicePathName;
    // The identity handle under which the device was accepted; discovery closes it
    // before it returns, so this is a record only and is never closed again.
    platform::Handle HIDHandle = platform::kInvalidHandleValue;
    // A reading handle closed by a time-out keeps its value here; the module knows it
    // is closed and never uses or closes that value again. Close handles through
    // CloseReadHandle1() and its kin, never with the platform's CloseHandle.
    platform::Handle ReadHandle = platform::kInvalidHandleValue;
    platform::Handle WriteHandle = platform::kInvalidHandleValue;
    bool DeviceDetected = false;
    bool DeviceSeen = false; // Device1Seen / Device2Seen
    std::string DeviceSerialNumber = "0";
    ReportBuffer ReadBuffer{};
};

class HIDmodule {
    // The two slots, first: the module state's names below refer into them.
    std::array<DeviceSlot, 2> slots_{};

public:
    HIDmodule(platform::Api& api, Variant variant, CheckObserver* observer = nullptr);
    // Closes what the module still holds open, ReadEvent included.
    ~HIDmodule();
    // Pending reads point into this object.
    HIDmodule(const HIDmodule&) = delete;
    HIDmodule& operator=(const HIDmodule&) = delete;

    // ---- Module state, shared by every user of the device link.
    // Device1 (1) or Device2 (2).
    DeviceSlot& slot(int which) { return slots_[which - 1]; }
    const DeviceSlot& slot(int which) const { return slots_[which - 1]; }
    // The slots' members under their module names.
    std::string& DevicePathName_1 = slots_[0].DevicePathName;
    std::string& DevicePathName_2 = slots_[1].DevicePathName;
    platform::Handle& HIDHandle_1 = slots_[0].HIDHandle;
    platform::Handle& HIDHandle_2 = slots_[1].HIDHandle;
    platform::Handle& ReadHandle_1 = slots_[0].ReadHandle;
    platform::Handle& ReadHandle_2 = slots_[1].ReadHandle;
    platform::Handle& WriteHandle_1 = slots_[0].WriteHandle;
    platform::Handle& WriteHandle_2 = slots_[1].WriteHandle;
    bool& DeviceDetected_1 = slots_[0].DeviceDetected;
    bool& DeviceDetected_2 = slots_[1].DeviceDetected;
    bool& Device1Seen = slots_[0].DeviceSeen;
    bool& Device2Seen = slots_[1].DeviceSeen;
    std::string& DeviceSerialNumber_1 = slots_[0].DeviceSerialNumber;
    std::string& DeviceSerialNumber_2 = slots_[1].DeviceSerialNumber;
    ReportBuffer& ReadBuffer_1 = slots_[0].ReadBuffer;
    ReportBuffer& ReadBuffer_2 = slots_[1].ReadBuffer;
    std::int16_t MatchingDeviceCount = 0;
    ReportBuffer OutputReportData{};
    // Report lengths of the device accepted last; one record for both devices.
    platform::HidCaps Capabilities{};
    platform::Handle ReadEvent = platform::kNullHandle;
    platform::Overlapped ReadOverlapped{};

    // ---- Discovery and presence.
    // Opens the first caller-ID device as Device1, then always runs FindDevice2.
    void FindDevice1();
    // Opens a caller-ID device whose path differs from Device1's (or is Device2's).
    void FindDevice2();
    // Counts the present interfaces by path prefix (an interface that is not an open
    // device only when discovery would accept it) and sets the seen flags; keeps no
    // handle open; may forget Device2.
    void ScanDevicePresence();
    // Reads the report lengths of the candidate under test into Capabilities. False
    // (and Capabilities unchanged) when they cannot be read or would not fit.
    [[nodiscard]] bool ReadDeviceCapabilities();

    // ---- Reports.
    void PrepareOverlappedRead();
    // One report into ReadBuffer_1 / _2 within 500 ms, or the device marked lost.
    void ReadInputReport1();
    void ReadInputReport2();
    // Report id 0 and OutputReportData to Device1 / Device2 (the recorder's variant
    // writes nothing to Device2).
    void WriteOutputReport1();
    void WriteOutputReport2();
    // Whether a read of Device1 (1) or Device2 (2) can reach the device: the module
    // still holds its reading handle open. Without it a read fails, but only after
    // waiting out its whole limit.
    bool CanRead(int device) const;

    // ---- The platform's millisecond clock (on the simulated bus, the bus's own), for
    // the waits that a supervision counts in time rather than in ticks.
    platform::Dword GetTickCount() const { return api_.GetTickCount(); }

    // ---- Errors and diagnostics.
    // Looks up the message of the last platform error and drops it.
    void CheckApiResult(std::string_view context);
    std::string GetSystemErrorText(platform::Dword code);
    static std::string FormatBytesAsHex(const std::uint8_t* start, platform::Dword count);

    // ---- Closing, for the supervision and the termination. Each closes the handle
    // only while the module holds it open, so nothing is closed twice and a stale value
    // never reaches another object; the variables keep their values.
    void CloseReadHandle1();
    void CloseReadHandle2();
    void CloseWriteHandle1();
    void CloseWriteHandle2();
    // The four reading and writing handles, as the control's termination does.
    void CloseAllHandles();

    // ---- The supervision's forgetting of Device1 (1) or Device2 (2): its path is
    // cleared and its identity and reading handles are recorded as -1. Closing its
    // handles and clearing its flags and serial are the caller's steps.
    void ForgetDevice(int which);

    Variant variant() const { return variant_; }

private:
    // A handle the module opened and whether it still holds it open. The public
    // variable may keep a closed value (or be set to -1 by the supervision); only
    // this record decides whether a value may be used or closed.
    struct HeldHandle {
        platform::Handle value = platform::kInvalidHandleValue;
        bool open = false;
    };
    struct Device;

    Device device(int which);
    template <class OnCandidate, class AfterMember>
    void walkInterfaces(OnCandidate onCandidate, AfterMember afterMember);
    void openIdentity(const std::string& path);
    bool identityMatches();
    bool acceptable(const std::string& path);
    // The candidate's report lengths, when they can be read and would fit.
    std::optional<platform::HidCaps> candidateCapabilities();
    void closeIdentityHandle();
    void findDevice(int which);
    void openDevice(const Device& d);
    void readInputReport(const Device& d);
    void writeOutputReport(const Device& d);
    void scanDropsDevice2();
    void adopt(platform::Handle& variable, HeldHandle& held, platform::Handle opened);
    void release(HeldHandle& held);
    static platform::Handle usable(platform::Handle variable, const HeldHandle& held);

    platform::Api& api_;
    const Variant variant_;
    CheckObserver* observer_;
    platform::Dword lastCheckedError_ = platform::kErrorSuccess;

    HeldHandle readHeld_[2], writeHeld_[2];

    // Working state of a walk.
    platform::SecurityAttributes securityAttributes_{};
    platform::Guid hidGuid_{};
    platform::DevInfo deviceInfoSet_ = platform::kInvalidDevInfo;
    platform::DeviceInterfaceData interfaceData_{};
    platform::Dword requiredSize_ = 0;
    std::vector<std::uint8_t> detailBuffer_;
    bool result_ = false;
    bool endOfEnumeration_ = false;
    std::string candidatePath_;
    platform::Handle identityHandle_ = platform::kInvalidHandleValue;
    platform::HidAttributes attributes_{};
};

} // namespace devicelink
