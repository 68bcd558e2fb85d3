// Device objects: opening on demand, identification, texts, input buffers, writes,
// the read side shared with the read thread, and the check-in when one is freed.
#include "hidcontroller/hid_device.h"

#include "hidcontroller/bindings.h"
#include "hidcontroller/hid_device_controller.h"
#include "hidcontroller/hid_device_read_thread.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace hidcontroller {

using namespace platform;

namespace {

constexpr Dword kTextBufferSize = 1024;
constexpr Dword kTextListBufferSize = 16384;
constexpr Dword kWideBufferSize = 508; // 254 wide characters
constexpr std::size_t kWideChars = kWideBufferSize / 2;

std::u16string wideText(const std::array<std::uint8_t, kWideBufferSize>& buffer) {
    std::u16string text;
    for (std::size_t i = 0; i < kWideChars; ++i) {
        const auto c = static_cast<char16_t>(buffer[2 * i] | (buffer[2 * i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

char16_t wideAt(const std::array<std::uint8_t, kWideBufferSize>& buffer, std::size_t i) {
    return static_cast<char16_t>(buffer[2 * i] | (buffer[2 * i + 1] << 8));
}

HidBinding& hid() {
    return processBindings().hid;
}

// Gives the handle `count` input buffers (0: leaves the platform's count) and keeps in
// `cached` what the device then says it has.
void applyInputBuffers(Handle h, int count, int& cached) {
    if (count != 0)
        (void)hid().HidD_SetNumInputBuffers(h, static_cast<Dword>(count)); // read back below
    Dword n = 0;
    if (hid().HidD_GetNumInputBuffers(h, &n))
        cached = static_cast<int>(n);
}

} // namespace

// ---- THidPnPInfo

THidPnPInfo::THidPnPInfo(DevInfo set, const DeviceInfoData& info, std::string path)
    : DevInst(info.DevInst), DevicePath(std::move(path)) {
    SetupApiBinding& setup = processBindings().setupApi;
    // Every read's result is ignored: a failed one leaves the empty value.
    auto text = [&](Dword code, std::string& out) {
        std::vector<std::uint8_t> buffer(kTextBufferSize, 0);
        (void)setup.SetupDiGetDeviceRegistryPropertyA(set, &info, code, buffer.data(),
                                                      kTextBufferSize);
        const auto end = std::find(buffer.begin(), buffer.end(), 0);
        out.assign(buffer.begin(), end);
    };
    auto list = [&](Dword code, std::vector<std::string>& out) {
        std::vector<std::uint8_t> buffer(kTextListBufferSize, 0);
        (void)setup.SetupDiGetDeviceRegistryPropertyA(set, &info, code, buffer.data(),
                                                      kTextListBufferSize);
        for (auto at = buffer.begin(); at != buffer.end() && *at != 0;) {
            const auto end = std::find(at, buffer.end(), 0);
            out.emplace_back(at, end);
            at = end == buffer.end() ? end : end + 1;
        }
    };
    auto number = [&](Dword code, Dword& out) {
        std::uint8_t bytes[4] = {};
        (void)setup.SetupDiGetDeviceRegistryProperty(set, &info, code, bytes, sizeof bytes);
        std::memcpy(&out, bytes, sizeof out);
    };
    number(kSpdrpCapabilities, Capabilities);
    text(kSpdrpClass, Class);
    text(kSpdrpClassGuid, ClassGuid);
    list(kSpdrpCompatibleIds, CompatibleIds);
    number(kSpdrpConfigFlags, ConfigFlags);
    text(kSpdrpDeviceDesc, DeviceDescr);
    text(kSpdrpDriver, Driver);
    text(kSpdrpFriendlyName, FriendlyName);
    list(kSpdrpHardwareId, HardwareId);
    list(kSpdrpLowerFilters, LowerFilters);
    text(kSpdrpMfg, Mfg);
    list(kSpdrpUpperFilters, UpperFilters);
    text(kSpdrpService, Service);
    text(kSpdrpAddress, Address);
    number(kSpdrpBusNumber, BusNumber);
    text(kSpdrpBusTypeGuid, BusTypeGuid);
    text(kSpdrpCharacteristics, Characteristics);
    number(kSpdrpDevType, DevType);
    text(kSpdrpEnumeratorName, EnumeratorName);
    number(kSpdrpExclusive, Exclusive);
    number(kSpdrpLegacyBusType, LegacyBusType);
    text(kSpdrpLocationInformation, LocationInfo);
    text(kSpdrpPhysicalDeviceObjectName, PhysDevObjName);
    text(kSpdrpSecuritySds, SecuritySDS);
    number(kSpdrpUiNumber, UINumber);
    text(kSpdrpUnknownProperty, UnknownProperty);
}

// ---- THidDevice

THidDevice::THidDevice(Api& api, std::unique_ptr<THidPnPInfo> info,
                       THidDeviceController* controller)
    : api_(api), Controller_(controller), SyncHandle_(api), ReadHandle_(api), WriteHandle_(api),
      PnPInfo_(std::move(info)) {
    hidHeld_ = hid().retain();
    if (controller) {
        calls_ = &controller->ui().calls();
        SetDataHandler(controller->OnDeviceData());
        UnplugHandler_ = controller->OnDeviceUnplug();
    }
    if (!openSync()) {
        if (hidHeld_)
            hid().UnloadHidBinding();
        throw EControllerError(kDeviceCannotBeOpened);
    }
    Attributes_.Size = kHidAttributesSize;
    if (!hid().HidD_GetAttributes(SyncHandle_.get(), &Attributes_)) {
        SyncHandle_.close();
        if (hidHeld_)
            hid().UnloadHidBinding();
        throw EControllerError(kDeviceCannotBeIdentified);
    }
    CloseSyncHandle();
}

THidDevice::~THidDevice() {
    const THidDataEvent data = DataHandler_;
    const THidPlugEvent unplug = UnplugHandler_;
    SetDataHandler({});
    UnplugHandler_ = {};
    CloseSyncHandle();
    CloseOverlappedHandle(false);
    CloseOverlappedHandle(true);
    if (const PreparsedData pd = PreparsedData_.exchange(kNullPreparsedData);
        pd != kNullPreparsedData)
        hid().HidD_FreePreparsedData(pd); // nothing to do when it will not go
    if (Controller_)
        Controller_->checkIn(*this, data, unplug, ReadThreadWait_, std::move(PnPInfo_));
    if (hidHeld_)
        hid().UnloadHidBinding();
    *alive_ = false;
}

bool THidDevice::openSync() {
    const char* path = PnPInfo_->DevicePath.c_str();
    constexpr Dword share = kFileShareRead | kFileShareWrite;
    Handle h = api_.CreateFileA(path, kGenericRead | kGenericWrite, share, nullptr, kOpenExisting,
                                0, kNullHandle);
    ReadWriteAccess_ = h != kInvalidHandleValue;
    if (!ReadWriteAccess_) // the device can still be identified without access
        h = api_.CreateFileA(path, 0, share, nullptr, kOpenExisting, 0, kNullHandle);
    SyncHandle_.reset(h);
    return SyncHandle_.isOpen();
}

bool THidDevice::OpenSyncHandle() {
    if (IsAccessible() && !SyncHandle_.isOpen() && openSync())
        applyInputBuffers(SyncHandle_.get(), SyncInputBufferCount_, SyncInputBufferCount_);
    return SyncHandle_.isOpen();
}

bool THidDevice::OpenOverlappedHandle(bool writeSide) {
    if (!writeSide) {
        std::lock_guard lock(readSide_);
        return openReadSide();
    }
    if (!IsAccessible())
        return false;
    if (!WriteHandle_.isOpen())
        WriteHandle_.reset(api_.CreateFileA(PnPInfo_->DevicePath.c_str(), kGenericWrite,
                                            kFileShareRead | kFileShareWrite, nullptr,
                                            kOpenExisting, kFileFlagOverlapped, kNullHandle));
    return WriteHandle_.isOpen();
}

bool THidDevice::openReadSide() {
    // Asked under the read side's lock, which MarkUnplugged takes to close the handle
    // after it has cleared Plugged: a reader never opens a device being marked gone.
    if (!IsAccessible())
        return false;
    if (!ReadHandle_.isOpen()) {
        ReadHandle_.reset(api_.CreateFileA(PnPInfo_->DevicePath.c_str(), kGenericRead,
                                           kFileShareRead | kFileShareWrite, nullptr, kOpenExisting,
                                           kFileFlagOverlapped, kNullHandle));
        if (ReadHandle_.isOpen())
            applyInputBuffers(ReadHandle_.get(), ReadInputBufferCount_, ReadInputBufferCount_);
    }
    return ReadHandle_.isOpen();
}

void THidDevice::CloseSyncHandle() {
    SyncHandle_.close();
    SyncInputBufferCount_ = 0;
}

void THidDevice::CloseOverlappedHandle(bool writeSide) {
    if (writeSide) {
        WriteHandle_.close();
        return;
    }
    std::lock_guard lock(readSide_);
    ReadHandle_.close();
    ReadInputBufferCount_ = 0;
}

int THidDevice::ReadInputBufferCount() const {
    std::lock_guard lock(readSide_);
    return ReadInputBufferCount_;
}

bool THidDevice::ReadHandleOpen() const {
    std::lock_guard lock(readSide_);
    return ReadHandle_.isOpen();
}

void THidDevice::MarkUnplugged() {
    Plugged_ = false; // first: the reader must not open the read side again meanwhile
    CloseSyncHandle();
    CloseOverlappedHandle(false);
    CloseOverlappedHandle(true);
    if (UnplugHandler_)
        UnplugHandler_(*this);
    UnplugHandler_ = {};
}

void THidDevice::SetInputBufferCount(int count) {
    if (count != SyncInputBufferCount_ && OpenSyncHandle())
        applyInputBuffers(SyncHandle_.get(), count, SyncInputBufferCount_);
}

void THidDevice::SetOverlappedInputBufferCount(int count) {
    if (count == ReadInputBufferCount() || !OpenOverlappedHandle(false))
        return;
    std::lock_guard lock(readSide_);
    if (ReadHandle_.isOpen())
        applyInputBuffers(ReadHandle_.get(), count, ReadInputBufferCount_);
}

void THidDevice::SetReadThreadWait(int milliseconds) {
    if (milliseconds >= 10 && milliseconds <= 10000)
        ReadThreadWait_ = milliseconds;
}

PreparsedData THidDevice::FetchPreparsedData() {
    if (PreparsedData_ == kNullPreparsedData && OpenSyncHandle()) {
        PreparsedData pd = kNullPreparsedData;
        if (hid().HidD_GetPreparsedData(SyncHandle_.get(), &pd))
            PreparsedData_ = pd;
        CloseSyncHandle();
    }
    return PreparsedData_;
}

void THidDevice::GetCapabilities(HidCaps& caps) {
    capabilitiesOf(FetchPreparsedData(), caps);
}

void THidDevice::GetCapabilitiesFetched(HidCaps& caps) {
    capabilitiesOf(PreparsedData_, caps);
}

void THidDevice::capabilitiesOf(PreparsedData data, HidCaps& caps) {
    caps = HidCaps{};
    // No data (it could not be fetched): the record stays zero, and the platform, which
    // would read through the pointer, is not asked.
    if (data != kNullPreparsedData)
        (void)hid().HidP_GetCaps(data, &caps); // its status is not examined
}

std::u16string THidDevice::GetProductText() {
    if (ProductText_.empty() && OpenSyncHandle()) {
        std::array<std::uint8_t, kWideBufferSize> buffer{};
        if (hid().HidD_GetProductString(SyncHandle_.get(), buffer.data(), kWideBufferSize))
            ProductText_ = wideText(buffer);
        CloseSyncHandle();
    }
    return ProductText_;
}

std::u16string THidDevice::GetSerialText() {
    if (!SerialText_.empty() || !OpenSyncHandle())
        return SerialText_;
    std::array<std::uint8_t, kWideBufferSize> serial{};
    if (hid().HidD_GetSerialNumberString(SyncHandle_.get(), serial.data(), kWideBufferSize)) {
        std::array<std::uint8_t, kWideBufferSize> languages;
        languages.fill(0xFF);
        (void)hid().HidD_GetIndexedString(SyncHandle_.get(), 0, languages.data(), kWideBufferSize);
        // How much the device wrote of its language list: up to the last character
        // that is not the fill, a closing zero not counted.
        std::size_t written = 0;
        for (std::size_t p = kWideChars; p-- > 0;) {
            const char16_t c = wideAt(languages, p);
            if (c == 0xFFFF)
                continue;
            written = c == 0 ? p : p + 1;
            break;
        }
        // A serial string that repeats the language list is no serial.
        for (std::size_t i = 0; i < written; ++i) {
            if (wideAt(serial, i) != wideAt(languages, i)) {
                SerialText_ = wideText(serial);
                break;
            }
        }
    }
    CloseSyncHandle();
    return SerialText_;
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
    if (!handler) {
        const std::shared_ptr<bool> alive = alive_;
        StopReadThread();
        if (!*alive)
            return; // a handler served during the stop freed this device
    }
    DataHandler_ = handler;
    StartReadThread();
}

void THidDevice::StartReadThread() {
    if (!DataHandler_ || !Plugged_ || !CheckedOut_ || !ReadWriteAccess_ || ReadThread_ || !calls_)
        return;
    ReadThread_ = std::make_shared<THidDeviceReadThread>(*this);
    ReadThread_->resume();
}

void THidDevice::StopReadThread() {
    if (!ReadThread_)
        return;
    const std::shared_ptr<THidDeviceReadThread> thread = ReadThread_;
    thread->terminate();
    // Stopped from inside one of its own hand-overs (a handler that clears itself or
    // frees its device, maybe from a message loop nested deeper still): the reader
    // waits for that very call, so it is joined once that call has returned. Released
    // then, it sees the stop and touches nothing of the device again.
    if (calls_->afterCallFrom(thread.get(), [thread] { thread->waitFor(); })) {
        ReadThread_.reset();
        return;
    }
    // Serves the hand-overs meanwhile: one of them may free this device (its
    // destructor then finishes the stop) or stop or replace the thread itself.
    const std::shared_ptr<bool> alive = alive_;
    thread->waitFor();
    if (*alive && ReadThread_ == thread)
        ReadThread_.reset();
}

bool THidDevice::WriteReport(const void* buffer, int count, Dword& written) {
    written = 0;
    return OpenSyncHandle() && count >= 0 &&
           api_.WriteFile(SyncHandle_.get(), buffer, static_cast<Dword>(count), &written, nullptr);
}

bool THidDevice::ReadReportAsync(void* buffer, Dword count, CompletionRoutine routine) {
    std::lock_guard lock(readSide_);
    if (!openReadSide())
        return false;
    ReadOverlap_ = Overlapped{};
    ReadOverlap_.hEvent = Handle{reinterpret_cast<std::intptr_t>(this)};
    return api_.ReadFileEx(ReadHandle_.get(), buffer, count, &ReadOverlap_, routine);
}

Dword THidDevice::GetLastReadCount() {
    std::lock_guard lock(readSide_);
    if (!ReadHandle_.isOpen())
        return 0;
    Dword n = 0;
    if (!api_.GetOverlappedResult(ReadHandle_.get(), &ReadOverlap_, &n, false))
        return 0;
    return n;
}

bool THidDevice::CancelPendingIo(bool writeSide) {
    std::unique_lock lock(readSide_, std::defer_lock);
    FileHandle* target = nullptr;
    if (writeSide) {
        target = &WriteHandle_;
    } else {
        lock.lock();
        target = &ReadHandle_;
    }
    if (!target->isOpen())
        return false;
    // Looked up for each cancel, so that a platform without it still runs.
    Module kernel = api_.LoadLibraryA("kernel32.dll");
    if (kernel == kNullModule)
        return false;
    bool cancelled = false;
    if (api_.GetProcAddress(kernel, "CancelIo") != kNullProc)
        cancelled = api_.CancelIo(target->get());
    api_.FreeLibrary(kernel);
    return cancelled;
}

} // namespace hidcontroller
