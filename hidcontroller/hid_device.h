// One present HID device interface: its Plug and Play facts, its identity, its texts,
// its three handles (opened on demand while the device is checked out or inside a
// controller callback), its reports out and its read thread's reports in.
#pragma once

#include "hidcontroller/method_ptr.h"
#include "platform/api.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace hidcontroller {

class UiCallQueue;

class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;

// The error class of the controller.
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
inline constexpr const char* kDeviceCannotBeOpened = "device cannot be opened";
inline constexpr const char* kDeviceCannotBeIdentified = "device cannot be identified";

// Handlers (HidDev, Idx; HidDev; HidDev, ReportID, Data, Size; HidDev, Error; Sender).
using THidEnumerateEvent = MethodPtr<bool(THidDevice& HidDev, int Idx)>;
using THidPlugEvent = MethodPtr<void(THidDevice& HidDev)>;
using THidDataEvent = MethodPtr<void(THidDevice& HidDev, std::uint8_t ReportID,
                                     const std::uint8_t* Data, std::uint16_t Size)>;
using THidDataErrorEvent = MethodPtr<void(THidDevice& HidDev, std::uint32_t Error)>;
using TNotifyEvent = MethodPtr<void(THidDeviceController& Sender)>;

// A device handle of the platform, closed with its owner.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(platform::Api& api) : api_(&api) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    bool isOpen() const { return handle_ != platform::kInvalidHandleValue; }
    platform::Handle get() const { return handle_; }
    void reset(platform::Handle h) {
        close();
        handle_ = h;
    }
    void close() {
        if (isOpen())
            api_->CloseHandle(handle_); // a handle that will not close is gone for us all the same
        handle_ = platform::kInvalidHandleValue;
    }

private:
    platform::Api* api_ = nullptr;
    platform::Handle handle_ = platform::kInvalidHandleValue;
};

// The Plug and Play facts of one interface, read once when it is found.
class THidPnPInfo {
public:
    // Reads every device registry property of `info` in `set` (failures leave empty
    // texts, empty lists and zeros).
    THidPnPInfo(platform::DevInfo set, const platform::DeviceInfoData& info, std::string path);
    platform::Dword DevInst = 0;
    std::string DevicePath;

    platform::Dword Capabilities = 0;
    std::string Class;
    std::string ClassGuid;
    std::vector<std::string> CompatibleIds;
    platform::Dword ConfigFlags = 0;
    std::string DeviceDescr;
    std::string Driver;
    std::string FriendlyName;
    std::vector<std::string> HardwareId;
    std::vector<std::string> LowerFilters;
    std::string Mfg;
    std::vector<std::string> UpperFilters;
    std::string Address;
    platform::Dword BusNumber = 0;
    std::string BusTypeGuid;
    std::string Characteristics;
    platform::Dword DevType = 0;
    std::string EnumeratorName;
    platform::Dword Exclusive = 0;
    platform::Dword LegacyBusType = 0;
    std::string LocationInfo;
    std::string PhysDevObjName;
    std::string SecuritySDS;
    std::string Service;
    platform::Dword UINumber = 0;
    std::string UnknownProperty;
};

class THidDevice {
public:
    // Opens and identifies the device; raises EControllerError. `controller` is not
    // owned; null for a device that belongs to no controller.
    THidDevice(platform::Api& api, std::unique_ptr<THidPnPInfo> info,
               THidDeviceController* controller);
    // Stops the read thread, closes the handles, frees the preparsed data and checks
    // the device back in at its controller.
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    bool IsAccessible() const { return Plugged_ && (CheckedOut_ || InCallback_); }
    [[nodiscard]] bool OpenSyncHandle();
    [[nodiscard]] bool OpenOverlappedHandle(bool writeSide);
    void CloseSyncHandle();
    void CloseOverlappedHandle(bool writeSide);
    void MarkUnplugged();
    void SetInputBufferCount(int count);
    void SetOverlappedInputBufferCount(int count);
    void SetReadThreadWait(int milliseconds);
    platform::PreparsedData FetchPreparsedData();
    void GetCapabilities(platform::HidCaps& caps);
    std::u16string GetProductText();
    std::u16string GetSerialText();
    void SetDataHandler(THidDataEvent handler);
    void StartReadThread();
    void StopReadThread();
    [[nodiscard]] bool WriteReport(const void* buffer, int count, platform::Dword& written);

    // Read-side operations, also called by the read thread.
    [[nodiscard]] bool ReadReportAsync(void* buffer, platform::Dword count,
                                       platform::CompletionRoutine routine);
    platform::Dword GetLastReadCount();
    [[nodiscard]] bool CancelPendingIo(bool writeSide);
    // The capabilities from preparsed data fetched earlier (none fetched: all zero); what
    // the read thread asks, since fetching would open the synchronous handle.
    void GetCapabilitiesFetched(platform::HidCaps& caps);

    THidDeviceController* Controller() const { return Controller_; }
    bool Plugged() const { return Plugged_; }
    bool CheckedOut() const { return CheckedOut_; }
    bool InCallback() const { return InCallback_; }
    bool ReadWriteAccess() const { return ReadWriteAccess_; }
    const platform::HidAttributes& Attributes() const { return Attributes_; }
    const THidPnPInfo& PnPInfo() const { return *PnPInfo_; }
    int SyncInputBufferCount() const { return SyncInputBufferCount_; }
    int ReadInputBufferCount() const;
    int ReadThreadWait() const { return ReadThreadWait_; }
    bool SyncHandleOpen() const { return SyncHandle_.isOpen(); }
    bool ReadHandleOpen() const;
    bool WriteHandleOpen() const { return WriteHandle_.isOpen(); }
    const THidDataEvent& DataHandler() const { return DataHandler_; }
    const THidDataErrorEvent& DataErrorHandler() const { return DataErrorHandler_; }
    void SetDataErrorHandler(THidDataErrorEvent h) { DataErrorHandler_ = h; }
    const THidPlugEvent& UnplugHandler() const { return UnplugHandler_; }
    void SetUnplugHandler(THidPlugEvent h) { UnplugHandler_ = h; }
    THidDeviceReadThread* ReadThread() const { return ReadThread_.get(); }
    platform::Api& api() const { return api_; }
    // Where the read thread hands its reports over; null without a controller.
    UiCallQueue* calls() const { return calls_; }

private:
    friend class THidDeviceController;
    bool openSync();     // read and write, else access 0
    bool openReadSide(); // with readSide_ held
    static void capabilitiesOf(platform::PreparsedData data, platform::HidCaps& caps);

    platform::Api& api_;
    UiCallQueue* calls_ = nullptr;
    bool hidHeld_ = false; // a reference on the HID binding
    THidDeviceController* Controller_ = nullptr;
    std::atomic<bool> Plugged_{true};
    std::atomic<bool> CheckedOut_{false};
    std::atomic<bool> InCallback_{false};
    FileHandle SyncHandle_;
    // The read side is shared with the read thread: its handle, record and count are
    // used under this lock, and never across a wait or a hand-over.
    mutable std::mutex readSide_;
    FileHandle ReadHandle_;
    platform::Overlapped ReadOverlap_;
    int ReadInputBufferCount_ = 0;
    FileHandle WriteHandle_;
    platform::HidAttributes Attributes_;
    std::unique_ptr<THidPnPInfo> PnPInfo_;
    std::u16string ProductText_;
    std::atomic<platform::PreparsedData> PreparsedData_{platform::kNullPreparsedData};
    std::u16string SerialText_;
    int SyncInputBufferCount_ = 0;
    std::atomic<int> ReadThreadWait_{100};
    THidDataEvent DataHandler_;
    THidDataErrorEvent DataErrorHandler_;
    THidPlugEvent UnplugHandler_;
    bool ReadWriteAccess_ = false;
    // Shared with a stop that waits for it, which may outlive the device: a handler
    // run during that wait can free the device.
    std::shared_ptr<THidDeviceReadThread> ReadThread_;
    // False once the device is destroyed: a stop or handler change that served calls
    // checks it before it touches the device again.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace hidcontroller
