// The simulated device bus: HID devices that exist only in this process, served
// through the platform API (SimulatedApi) with the platform's contracts, so that the
// device link, the controller and every deliverable run here without hardware.
// The bus also keeps the audit of handles that tests check after device tests.
#pragma once

#include "platform/api.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

using Microseconds = std::chrono::microseconds;

// Reports come every 2 ms (500 per second), each carrying 16 samples per line.
inline constexpr Microseconds kReportInterval{2000};

// Where a simulated device's input reports come from (the device stand-in).
class ReportSource {
public:
    virtual ~ReportSource() = default;
    // Fills one input report (report id first) whose first sample was taken at
    // `firstSample` on the bus clock (a multiple of kReportInterval). Reports that no
    // handle would receive are never asked for, so a source computes each report
    // from its time. Called with the bus locked: it must not call back into the bus.
    virtual void fillInputReport(Microseconds firstSample, std::span<std::uint8_t> report) = 0;

    // Whether the device sends input reports now; one that streams only on a command
    // of the host answers false until it has had it. The bus asks after plug-in and
    // after every output report.
    virtual bool streaming() const { return true; }
    // The device was plugged in (and so powered up afresh).
    virtual void pluggedIn() {}
    // An output report the device accepted, report id first. Called with the bus
    // locked, as fillInputReport is.
    virtual void outputReport(std::span<const std::uint8_t> report) { (void)report; }
};

// What a simulated device is. The defaults are the caller-ID device's.
struct DeviceDescription {
    std::uint16_t vendorId = 0x04D8;
    std::uint16_t productId = 0xC5A7;
    std::uint16_t versionNumber = 0x0100;
    std::u16string productString = u"Norvellix Device V0.0";
    // No value: the device has no serial string (the serial call fails).
    std::optional<std::u16string> serialString;
    // String index 0 (language identifiers); empty: the device writes nothing.
    std::vector<std::uint16_t> languages = {0x0409};
    // Eight hexadecimal digits; empty: the bus chooses one per device.
    std::string instanceId;
    // Empty: the platform's form for the ids and the instance id (interfacePathFor).
    std::string interfacePath;
    std::uint16_t inputReportLength = 65;
    std::uint16_t outputReportLength = 65;
    // Faults at the start; each can be changed later (DeviceAction).
    bool silent = false;          // no reports: reads time out
    bool heldExclusively = false; // another process holds it: only access 0 opens
};

// \\?\hid#vid_xxxx&pid_xxxx#7&<instance>&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}
std::string interfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                             const std::string& instanceId);

using DeviceId = std::size_t;

enum class DeviceAction {
    Plug,
    Unplug,
    GoSilent,
    Resume,
    HoldExclusively,
    ReleaseExclusive,
};

enum class ClockMode {
    // The bus clock is the wall clock since the bus was made; scheduled actions happen
    // on time even while no call is made.
    RealTime,
    // A virtual clock for tests: it moves only inside a waiting call (to what the call
    // waits for, or to the end of its time limit) and in advance(); each read so gets
    // the next report at once, and a timed-out wait costs no time.
    Fast,
};

struct OutputReport {
    Microseconds at{0};
    std::vector<std::uint8_t> bytes;
};

enum class MisuseKind {
    CloseOfClosedHandle,
    ReadOnClosedHandle,
    WriteOnClosedHandle,
    OtherUseOfClosedHandle,
    FreeOfFreedPreparsedData,
    DestroyOfDestroyedSet,
    FreeOfFreedModule,
    UseOfUnknownHandle, // a value the platform never handed out
    NilPreparsedData,   // HID's parsing calls read through the pointer they are given
};

struct Misuse {
    MisuseKind kind;
    std::string call;          // the platform call, e.g. "CloseHandle"
    std::intptr_t value = 0;   // the handle, set, data or module value
    std::string interfacePath; // the device's, for device handles
};

struct DeviceAudit {
    std::string interfacePath;
    int openHandles = 0;   // device handles not closed yet
    int handlesOpened = 0; // every successful CreateFileA on the device
    int preparsedDataHeld = 0;
};

struct Audit {
    std::vector<DeviceAudit> devices; // in the order the devices were added
    int openEvents = 0;
    int openDeviceInfoSets = 0;
    int loadedModuleReferences = 0;
    std::vector<Misuse> misuse;

    int openDeviceHandles() const;
    int preparsedDataHeld() const;
    // No misuse, and no device handle, preparsed data or device-information set left.
    // Events are not counted (the device link keeps its event for the process's life).
    bool clean() const;
    // One line per finding, for test failure messages.
    std::string describe() const;
};

// The platform's version as GetVersionExA reports it.
struct PlatformVersion {
    Dword platformId = kVerPlatformWin32Nt;
    Dword major = 5;
    Dword minor = 1;
    Dword build = 2600;
    std::string servicePack = "Service Pack 3";
};

class SimulatedApi;

class SimulatedBus {
public:
    explicit SimulatedBus(ClockMode mode = ClockMode::Fast);
    ~SimulatedBus();
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    // Devices enumerate in the order they were added (among the plugged ones).
    DeviceId addDevice(DeviceDescription description, std::unique_ptr<ReportSource> source,
                       bool plugged = true);
    std::string interfacePath(DeviceId device) const;
    void apply(DeviceId device, DeviceAction action);
    void schedule(Microseconds at, DeviceId device, DeviceAction action);

    ClockMode mode() const;
    // Switches the clock; the bus time goes on from where it is.
    void setMode(ClockMode mode);
    Microseconds now() const;
    // Fast: moves the clock on by `d`, running what falls due. Real time: sleeps.
    void advance(Microseconds d);

    // Every output report the device accepted, in order.
    std::vector<OutputReport> outputReports(DeviceId device) const;
    // The device sends input reports now (always, unless its source streams only on
    // a command of the host and has not had it).
    bool streaming(DeviceId device) const;

    // Told of every plug and unplug (the device-change broadcast), on whichever thread
    // caused it and with the bus unlocked; a listener should post, as PostMessage would.
    int addDeviceChangeListener(std::function<void()> listener);
    void removeDeviceChangeListener(int id);

    // Platform faults for the run-time binding.
    void setPlatformVersion(PlatformVersion version);
    void hideModule(const std::string& name);                                  // LoadLibraryA fails
    void hideExport(const std::string& module, const std::string& exportName); // not found

    Audit audit() const;

    struct State;

private:
    friend class SimulatedApi;
    void stopTimer();
    std::unique_ptr<State> state_;
};

// The platform API over a simulated bus. Any number may share one bus.
class SimulatedApi final : public Api {
public:
    explicit SimulatedApi(SimulatedBus& bus);
    SimulatedBus& bus() const { return bus_; }

    DevInfo SetupDiGetClassDevsA(const Guid* ClassGuid, const char* Enumerator, Window hwndParent,
                                 Dword Flags) override;
    bool SetupDiEnumDeviceInterfaces(DevInfo DeviceInfoSet, const DeviceInfoData* DeviceInfo,
                                     const Guid* InterfaceClassGuid, Dword MemberIndex,
                                     DeviceInterfaceData* DeviceInterface) override;
    bool SetupDiGetDeviceInterfaceDetailA(DevInfo DeviceInfoSet,
                                          const DeviceInterfaceData* DeviceInterface,
                                          std::uint8_t* DeviceInterfaceDetailData,
                                          Dword DeviceInterfaceDetailDataSize, Dword* RequiredSize,
                                          DeviceInfoData* DeviceInfo) override;
    bool SetupDiGetDeviceRegistryPropertyA(DevInfo DeviceInfoSet, const DeviceInfoData* DeviceInfo,
                                           Dword Property, Dword* PropertyRegDataType,
                                           std::uint8_t* PropertyBuffer, Dword PropertyBufferSize,
                                           Dword* RequiredSize) override;
    bool SetupDiDestroyDeviceInfoList(DevInfo DeviceInfoSet) override;

    void HidD_GetHidGuid(Guid* HidGuid) override;
    bool HidD_GetAttributes(Handle HidDeviceObject, HidAttributes* Attributes) override;
    bool HidD_GetPreparsedData(Handle HidDeviceObject, PreparsedData* Data) override;
    bool HidD_FreePreparsedData(PreparsedData Data) override;
    NtStatus HidP_GetCaps(PreparsedData Data, HidCaps* Capabilities) override;
    bool HidD_GetProductString(Handle HidDeviceObject, void* Buffer, Dword BufferLength) override;
    bool HidD_GetSerialNumberString(Handle HidDeviceObject, void* Buffer,
                                    Dword BufferLength) override;
    bool HidD_GetIndexedString(Handle HidDeviceObject, Dword StringIndex, void* Buffer,
                               Dword BufferLength) override;
    bool HidD_SetNumInputBuffers(Handle HidDeviceObject, Dword NumberBuffers) override;
    bool HidD_GetNumInputBuffers(Handle HidDeviceObject, Dword* NumberBuffers) override;

    Handle CreateFileA(const char* FileName, Dword DesiredAccess, Dword ShareMode,
                       SecurityAttributes* SecurityAttrs, Dword CreationDisposition,
                       Dword FlagsAndAttributes, Handle TemplateFile) override;
    bool ReadFile(Handle File, void* Buffer, Dword NumberOfBytesToRead, Dword* NumberOfBytesRead,
                  Overlapped* Overlap) override;
    bool ReadFileEx(Handle File, void* Buffer, Dword NumberOfBytesToRead, Overlapped* Overlap,
                    CompletionRoutine Routine) override;
    bool WriteFile(Handle File, const void* Buffer, Dword NumberOfBytesToWrite,
                   Dword* NumberOfBytesWritten, Overlapped* Overlap) override;
    bool GetOverlappedResult(Handle File, Overlapped* Overlap, Dword* NumberOfBytesTransferred,
                             bool Wait) override;
    bool CancelIo(Handle File) override;
    bool CloseHandle(Handle Object) override;
    Handle CreateEventA(SecurityAttributes* EventAttributes, bool ManualReset, bool InitialState,
                        const char* Name) override;
    bool ResetEvent(Handle Event) override;
    Dword WaitForSingleObject(Handle Object, Dword Milliseconds) override;
    Dword SleepEx(Dword Milliseconds, bool Alertable) override;
    Dword GetLastError() override;
    Dword GetTickCount() override;
    Dword FormatMessageA(Dword Flags, const void* Source, Dword MessageId, Dword LanguageId,
                         char* Buffer, Dword Size, void* Arguments) override;

    Module LoadLibraryA(const char* LibFileName) override;
    Proc GetProcAddress(Module Lib, const char* ProcName) override;
    bool FreeLibrary(Module Lib) override;
    bool GetVersionExA(OsVersionInfo* VersionInformation) override;

private:
    SimulatedBus& bus_;
};

} // namespace platform
