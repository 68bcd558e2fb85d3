// The device link's walks over the HID interfaces, its reads and writes, and the
// error check that follows every platform call it makes.
#include "devicelink/hid_module.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace devicelink {

using namespace platform;

namespace {

constexpr Dword kShareReadWrite = kFileShareRead | kFileShareWrite;
constexpr Dword kPresentInterfaces = kDigcfPresent | kDigcfDeviceInterface;
// FormatMessageA's buffer: 128 characters and a terminating zero.
constexpr Dword kMessageBufferSize = 128;

} // namespace

// A device's slot with what the module holds of it: the procedures of Device1 and
// Device2 are written once.
struct HIDmodule::Device {
    DeviceSlot& slot;
    HeldHandle& readHeld;
    HeldHandle& writeHeld;
    const char* openReadContext;
    const char* openWriteContext;
    const char* closeReadContext;
    // The recorder opens Device2 for reading only and writes nothing to it.
    bool readOnly;
};

HIDmodule::HIDmodule(Api& api, Variant variant, CheckObserver* observer)
    : api_(api), variant_(variant), observer_(observer) {
    // Passed to every CreateFileA and to CreateEventA: no descriptor, inheritable.
    securityAttributes_.nLength = 12;
    securityAttributes_.lpSecurityDescriptor = nullptr;
    securityAttributes_.bInheritHandle = 1;
}

HIDmodule::~HIDmodule() {
    CloseAllHandles();
    if (ReadEvent != kNullHandle)
        api_.CloseHandle(ReadEvent);
}

HIDmodule::Device HIDmodule::device(int which) {
    if (which == 1)
        return {slots_[0],
                readHeld_[0],
                writeHeld_[0],
                "CreateFile, ReadHandle_1",
                "CreateFile, WriteHandle_1",
                "CloseHandle (ReadHandle_1)",
                false};
    return {slots_[1],
            readHeld_[1],
            writeHeld_[1],
            "CreateFile, ReadHandle_2",
            "CreateFile, WriteHandle_2",
            "CloseHandle (ReadHandle_2)",
            variant_ == Variant::Recorder};
}

// ---- Handles the module holds.

Handle HIDmodule::usable(Handle variable, const HeldHandle& held) {
    return held.open && held.value == variable ? variable : kInvalidHandleValue;
}

// A new handle for a slot. The slot's previous handle, if the module still holds it,
// is no longer reachable through any variable, so it is closed rather than leaked.
void HIDmodule::adopt(Handle& variable, HeldHandle& held, Handle opened) {
    release(held);
    variable = opened;
    held = {opened, opened != kInvalidHandleValue};
}

// Closes on the supervision's behalf; the result is not checked, as the supervision
// ignores it.
void HIDmodule::release(HeldHandle& held) {
    if (!held.open)
        return;
    held.open = false;
    api_.CloseHandle(held.value);
}

void HIDmodule::CloseReadHandle1() {
    release(readHeld_[0]);
}
void HIDmodule::CloseReadHandle2() {
    release(readHeld_[1]);
}
void HIDmodule::CloseWriteHandle1() {
    release(writeHeld_[0]);
}
void HIDmodule::CloseWriteHandle2() {
    release(writeHeld_[1]);
}

void HIDmodule::CloseAllHandles() {
    CloseReadHandle1();
    CloseReadHandle2();
    CloseWriteHandle1();
    CloseWriteHandle2();
}

void HIDmodule::ForgetDevice(int which) {
    DeviceSlot& s = slot(which);
    s.DevicePathName.clear();
    s.HIDHandle = kInvalidHandleValue;
    s.ReadHandle = kInvalidHandleValue;
}

// ---- Walks.

// The common part of the three walks: every present HID interface in enumeration
// order. onCandidate(path) tests one member and returns true to stop; afterMember()
// runs after every enumeration call, the one that ends the enumeration included.
template <class OnCandidate, class AfterMember>
void HIDmodule::walkInterfaces(OnCandidate onCandidate, AfterMember afterMember) {
    endOfEnumeration_ = false;
    api_.HidD_GetHidGuid(&hidGuid_);
    CheckApiResult("GetHidGuid");
    deviceInfoSet_ = api_.SetupDiGetClassDevsA(&hidGuid_, nullptr, kNullWindow, kPresentInterfaces);
    CheckApiResult("SetupDiClassDevs");

    bool stop = false;
    for (Dword member = 0; !stop && !endOfEnumeration_; ++member) {
        interfaceData_.cbSize = kDeviceInterfaceDataSize;
        result_ = api_.SetupDiEnumDeviceInterfaces(deviceInfoSet_, nullptr, &hidGuid_, member,
                                                   &interfaceData_);
        CheckApiResult("SetupDiEnumDeviceInterfaces");
        if (!result_) {
            endOfEnumeration_ = true;
        } else {
            requiredSize_ = 0;
            result_ = api_.SetupDiGetDeviceInterfaceDetailA(deviceInfoSet_, &interfaceData_,
                                                            nullptr, 0, &requiredSize_, nullptr);
            CheckApiResult("SetupDiGetDeviceInterfaceDetail");
            // Room for the size field even when the size query failed; the size given
            // to the platform is what the buffer holds beyond its one spare byte.
            const std::size_t size = std::max<std::size_t>(std::size_t{requiredSize_} + 1,
                                                           kDeviceInterfaceDetailPathOffset + 1);
            detailBuffer_.assign(size, 0);
            const Dword sizeField = kDeviceInterfaceDetailDataSize;
            std::memcpy(detailBuffer_.data(), &sizeField, sizeof sizeField);
            result_ = api_.SetupDiGetDeviceInterfaceDetailA(
                deviceInfoSet_, &interfaceData_, detailBuffer_.data(), static_cast<Dword>(size - 1),
                &requiredSize_, nullptr);
            CheckApiResult(" Result of second call: ");
            // The path runs to its terminating zero (the spare byte guarantees one).
            const auto* first = detailBuffer_.data() + kDeviceInterfaceDetailPathOffset;
            candidatePath_.assign(reinterpret_cast<const char*>(first));
            stop = onCandidate(candidatePath_);
        }
        afterMember();
    }

    api_.SetupDiDestroyDeviceInfoList(deviceInfoSet_);
    CheckApiResult("DestroyDeviceInfoList");
}

// The candidate's identity handle (read and write access, as a reading and a writing
// handle will need) and its attributes.
void HIDmodule::openIdentity(const std::string& path) {
    identityHandle_ = api_.CreateFileA(path.c_str(), kGenericRead | kGenericWrite, kShareReadWrite,
                                       &securityAttributes_, kOpenExisting, 0, kNullHandle);
    CheckApiResult("CreateFile");
    attributes_.Size = kHidAttributesSize;
    api_.HidD_GetAttributes(identityHandle_, &attributes_);
    CheckApiResult("HidD_GetAttributes");
}

bool HIDmodule::identityMatches() {
    return attributes_.VendorID == kVendorId && attributes_.ProductID == kProductId &&
           identityHandle_ != kInvalidHandleValue;
}

void HIDmodule::closeIdentityHandle() {
    if (identityHandle_ == kInvalidHandleValue)
        return;
    api_.CloseHandle(identityHandle_);
    CheckApiResult("CloseHandle");
    identityHandle_ = kInvalidHandleValue;
}

void HIDmodule::FindDevice1() {
    findDevice(1);
    FindDevice2();
}

void HIDmodule::FindDevice2() {
    findDevice(2);
}

// The walk of FindDevice1 (which = 1) or FindDevice2 (which = 2).
void HIDmodule::findDevice(int which) {
    const Device d = device(which);
    d.slot.DeviceDetected = false;
    walkInterfaces(
        [&](const std::string& path) {
            openIdentity(path);
            // Device2 must differ from Device1, unless it is the Device2 already known.
            const bool passes = identityMatches();
            const bool skipped =
                passes && which == 2 && path == DevicePathName_1 && path != DevicePathName_2;
            if (passes && !skipped && ReadDeviceCapabilities()) {
                d.slot.DevicePathName = path;
                d.slot.HIDHandle = identityHandle_;
                d.slot.DeviceDetected = true;
                return true;
            }
            if (!skipped)
                d.slot.DeviceDetected = false;
            closeIdentityHandle();
            return false;
        },
        [] {});
    if (d.slot.DeviceDetected)
        openDevice(d);
}

// The reading handle, the overlapped record and the writing handle of an accepted
// device; then its identity handle is closed (its value stays as a record).
void HIDmodule::openDevice(const Device& d) {
    const Dword readAccess = d.readOnly ? kGenericRead | kGenericWrite : kGenericRead;
    const Handle reading =
        api_.CreateFileA(d.slot.DevicePathName.c_str(), readAccess, kShareReadWrite,
                         &securityAttributes_, kOpenExisting, kFileFlagOverlapped, kNullHandle);
    CheckApiResult(d.openReadContext);
    adopt(d.slot.ReadHandle, d.readHeld, reading);
    PrepareOverlappedRead();
    if (!d.readOnly) {
        const Handle writing =
            api_.CreateFileA(d.slot.DevicePathName.c_str(), kGenericWrite, kShareReadWrite,
                             &securityAttributes_, kOpenExisting, 0, kNullHandle);
        CheckApiResult(d.openWriteContext);
        adopt(d.slot.WriteHandle, d.writeHeld, writing);
    }
    closeIdentityHandle();
}

void HIDmodule::ScanDevicePresence() {
    MatchingDeviceCount = 0;
    Device1Seen = false;
    Device2Seen = false;
    walkInterfaces(
        [&](const std::string& path) {
            // An empty path (the detail call failed) names no device.
            if (path.empty())
                return false;
            const bool known = path == DevicePathName_1 || path == DevicePathName_2;
            // Another device counts only when discovery would accept it: one held by
            // another program, or one discovery refuses, would latch two-device mode
            // for a second device that never opens.
            if (path.starts_with(kDevicePathPrefix) && (known || acceptable(path)))
                ++MatchingDeviceCount;
            if (path == DevicePathName_1)
                Device1Seen = true;
            if (path == DevicePathName_2)
                Device2Seen = true;
            return false;
        },
        [&] {
            const bool device2Doubtful =
                DevicePathName_2 == DevicePathName_1 || ReadHandle_2 == kInvalidHandleValue;
            if (device2Doubtful && MatchingDeviceCount == 1)
                scanDropsDevice2();
        });
}

// The presence scan's drop of Device2. Its writing handle stays as it is.
void HIDmodule::scanDropsDevice2() {
    Device2Seen = false;
    DevicePathName_2.clear();
    release(readHeld_[1]);
    DeviceDetected_2 = false;
}

// Discovery's test of a candidate that is not an open device, for the presence scan:
// its identity handle is opened and closed again, and Capabilities stays as it is.
bool HIDmodule::acceptable(const std::string& path) {
    openIdentity(path);
    const bool accepted = identityMatches() && candidateCapabilities().has_value();
    closeIdentityHandle();
    return accepted;
}

bool HIDmodule::ReadDeviceCapabilities() {
    const auto caps = candidateCapabilities();
    if (caps)
        Capabilities = *caps;
    return caps.has_value();
}

std::optional<HidCaps> HIDmodule::candidateCapabilities() {
    PreparsedData data = kNullPreparsedData;
    const bool gotData = api_.HidD_GetPreparsedData(identityHandle_, &data);
    CheckApiResult("HidD_GetPreparsedData");
    if (!gotData || data == kNullPreparsedData)
        return std::nullopt; // the report lengths are unknown, so the device cannot be read
    HidCaps caps{};
    const NtStatus status = api_.HidP_GetCaps(data, &caps);
    CheckApiResult("HidP_GetCaps");
    api_.HidD_FreePreparsedData(data);
    CheckApiResult("HidD_FreePreparsedData");
    if (status != kHidpStatusSuccess)
        return std::nullopt;
    if (caps.InputReportByteLength > kMaxInputReportLength ||
        caps.OutputReportByteLength > kMaxOutputReportLength)
        return std::nullopt;
    return caps;
}

// ---- Reports.

void HIDmodule::PrepareOverlappedRead() {
    if (ReadEvent == kNullHandle)
        ReadEvent = api_.CreateEventA(&securityAttributes_, true, true, "");
    CheckApiResult("CreateEvent");
    ReadOverlapped = Overlapped{};
    ReadOverlapped.Offset = 0;
    ReadOverlapped.OffsetHigh = 0;
    ReadOverlapped.hEvent = ReadEvent;
}

void HIDmodule::ReadInputReport1() {
    readInputReport(device(1));
}
void HIDmodule::ReadInputReport2() {
    readInputReport(device(2));
}

void HIDmodule::readInputReport(const Device& d) {
    // A handle the module no longer holds (closed by a time-out) is not used: the read
    // goes to the invalid handle and fails at once, touching no other object.
    const Handle reading = usable(d.slot.ReadHandle, d.readHeld);
    const Dword length = std::min<Dword>(Capabilities.InputReportByteLength, kReportBufferSize);
    const bool started =
        api_.ReadFile(reading, d.slot.ReadBuffer.data(), length, nullptr, &ReadOverlapped);
    CheckApiResult("ReadFile");
    // A read that failed at once never reset the event, which is created signalled:
    // its wait proves nothing, and the read counts as timed out.
    const bool failedAtOnce = !started && lastCheckedError_ != kErrorIoPending;

    const Dword wait = api_.WaitForSingleObject(ReadEvent, kReadTimeoutMs);
    CheckApiResult("WaitForSingleObject");
    if (wait == kWaitObject0 && !failedAtOnce) {
        // The report is in the buffer; the transferred count is not examined.
    } else if (wait == kWaitTimeout || wait == kWaitObject0) {
        if (reading != kInvalidHandleValue) {
            api_.CancelIo(reading);
            CheckApiResult("CancelIo");
            d.readHeld.open = false;
            api_.CloseHandle(reading);
            CheckApiResult(d.closeReadContext);
        }
        d.slot.DeviceDetected = false;
    } else {
        d.slot.DeviceDetected = false;
    }
    api_.ResetEvent(ReadEvent);
    CheckApiResult("ResetEvent");
}

bool HIDmodule::CanRead(int device) const {
    return usable(slot(device).ReadHandle, readHeld_[device - 1]) != kInvalidHandleValue;
}

void HIDmodule::WriteOutputReport1() {
    writeOutputReport(device(1));
}

void HIDmodule::WriteOutputReport2() {
    if (variant_ == Variant::Recorder)
        return; // the recorder writes nothing to Device2
    writeOutputReport(device(2));
}

void HIDmodule::writeOutputReport(const Device& d) {
    const std::size_t n =
        std::min<std::size_t>(Capabilities.OutputReportByteLength, kMaxOutputReportLength);
    std::array<std::uint8_t, kMaxOutputReportLength> send{}; // byte 0: report id 0
    if (n > 1)
        std::copy_n(OutputReportData.begin(), n - 1, send.begin() + 1);
    Dword written = 0;
    api_.WriteFile(usable(d.slot.WriteHandle, d.writeHeld), send.data(), static_cast<Dword>(n),
                   &written, nullptr);
    CheckApiResult("WriteFile");
}

// ---- Errors and diagnostics.

void HIDmodule::CheckApiResult(std::string_view context) {
    lastCheckedError_ = api_.GetLastError();
    // failure is only recorded, as everywhere in the device link
    (void)GetSystemErrorText(lastCheckedError_);
    if (observer_)
        observer_->checked(context, lastCheckedError_);
}

std::string HIDmodule::GetSystemErrorText(Dword code) {
    char buffer[kMessageBufferSize + 1] = {};
    const Dword n = api_.FormatMessageA(kFormatMessageFromSystem, nullptr, code, 0, buffer,
                                        kMessageBufferSize, nullptr);
    // Without its closing carriage return and line feed.
    if (n <= 2)
        return "";
    return std::string(buffer, std::min(n, kMessageBufferSize) - 2);
}

std::string HIDmodule::FormatBytesAsHex(const std::uint8_t* start, Dword count) {
    std::string text;
    text.reserve(std::size_t{count} * 3);
    for (Dword i = 0; i < count; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X ", start[i]);
        text += byte;
    }
    return text;
}

} // namespace devicelink
