// The Windows calls that the device link and the HID controller make, as one
// abstract API in the platform layer's own types. Two backends implement it: the
// platform's own calls (Windows only) and the simulated device bus (everywhere).
// Each method behaves as the platform call of its name; BOOL results are bool.
#pragma once

#include "platform/types.h"

namespace platform {

class Api {
public:
    virtual ~Api() = default;

    // SetupAPI (setupapi.dll).
    virtual DevInfo SetupDiGetClassDevsA(const Guid* ClassGuid, const char* Enumerator,
                                         Window hwndParent, Dword Flags) = 0;
    virtual bool SetupDiEnumDeviceInterfaces(DevInfo DeviceInfoSet,
                                             const DeviceInfoData* DeviceInfo,
                                             const Guid* InterfaceClassGuid, Dword MemberIndex,
                                             DeviceInterfaceData* DeviceInterface) = 0;
    // DeviceInterfaceDetailData: a byte buffer as types.h describes, or null with size 0.
    virtual bool SetupDiGetDeviceInterfaceDetailA(DevInfo DeviceInfoSet,
                                                  const DeviceInterfaceData* DeviceInterface,
                                                  std::uint8_t* DeviceInterfaceDetailData,
                                                  Dword DeviceInterfaceDetailDataSize,
                                                  Dword* RequiredSize,
                                                  DeviceInfoData* DeviceInfo) = 0;
    virtual bool SetupDiGetDeviceRegistryPropertyA(DevInfo DeviceInfoSet,
                                                   const DeviceInfoData* DeviceInfo, Dword Property,
                                                   Dword* PropertyRegDataType,
                                                   std::uint8_t* PropertyBuffer,
                                                   Dword PropertyBufferSize,
                                                   Dword* RequiredSize) = 0;
    virtual bool SetupDiDestroyDeviceInfoList(DevInfo DeviceInfoSet) = 0;

    // HID class library (hid.dll). String buffers hold UTF-16 characters; lengths
    // are in bytes.
    virtual void HidD_GetHidGuid(Guid* HidGuid) = 0;
    virtual bool HidD_GetAttributes(Handle HidDeviceObject, HidAttributes* Attributes) = 0;
    virtual bool HidD_GetPreparsedData(Handle HidDeviceObject, PreparsedData* Data) = 0;
    virtual bool HidD_FreePreparsedData(PreparsedData Data) = 0;
    virtual NtStatus HidP_GetCaps(PreparsedData Data, HidCaps* Capabilities) = 0;
    virtual bool HidD_GetProductString(Handle HidDeviceObject, void* Buffer,
                                       Dword BufferLength) = 0;
    virtual bool HidD_GetSerialNumberString(Handle HidDeviceObject, void* Buffer,
                                            Dword BufferLength) = 0;
    virtual bool HidD_GetIndexedString(Handle HidDeviceObject, Dword StringIndex, void* Buffer,
                                       Dword BufferLength) = 0;
    virtual bool HidD_SetNumInputBuffers(Handle HidDeviceObject, Dword NumberBuffers) = 0;
    virtual bool HidD_GetNumInputBuffers(Handle HidDeviceObject, Dword* NumberBuffers) = 0;

    // Files, overlapped I/O and synchronisation (kernel32.dll).
    virtual Handle CreateFileA(const char* FileName, Dword DesiredAccess, Dword ShareMode,
                               SecurityAttributes* SecurityAttrs, Dword CreationDisposition,
                               Dword FlagsAndAttributes, Handle TemplateFile) = 0;
    virtual bool ReadFile(Handle File, void* Buffer, Dword NumberOfBytesToRead,
                          Dword* NumberOfBytesRead, Overlapped* Overlap) = 0;
    virtual bool ReadFileEx(Handle File, void* Buffer, Dword NumberOfBytesToRead,
                            Overlapped* Overlap, CompletionRoutine Routine) = 0;
    virtual bool WriteFile(Handle File, const void* Buffer, Dword NumberOfBytesToWrite,
                           Dword* NumberOfBytesWritten, Overlapped* Overlap) = 0;
    virtual bool GetOverlappedResult(Handle File, Overlapped* Overlap,
                                     Dword* NumberOfBytesTransferred, bool Wait) = 0;
    virtual bool CancelIo(Handle File) = 0;
    virtual bool CloseHandle(Handle Object) = 0;
    // The name is ignored: every event is a new unnamed one.
    virtual Handle CreateEventA(SecurityAttributes* EventAttributes, bool ManualReset,
                                bool InitialState, const char* Name) = 0;
    virtual bool ResetEvent(Handle Event) = 0;
    virtual Dword WaitForSingleObject(Handle Object, Dword Milliseconds) = 0;
    virtual Dword SleepEx(Dword Milliseconds, bool Alertable) = 0;
    // The calling thread's last error.
    virtual Dword GetLastError() = 0;
    // Milliseconds since the system started, wrapping after 49.7 days: a clock for
    // waits counted in time (on the simulated bus, the bus's own clock).
    virtual Dword GetTickCount() = 0;
    // Only FORMAT_MESSAGE_FROM_SYSTEM (with or without IGNORE_INSERTS) into the
    // caller's buffer; Arguments must be null.
    virtual Dword FormatMessageA(Dword Flags, const void* Source, Dword MessageId, Dword LanguageId,
                                 char* Buffer, Dword Size, void* Arguments) = 0;

    // Modules and the platform version.
    virtual Module LoadLibraryA(const char* LibFileName) = 0;
    virtual Proc GetProcAddress(Module Lib, const char* ProcName) = 0;
    virtual bool FreeLibrary(Module Lib) = 0;
    virtual bool GetVersionExA(OsVersionInfo* VersionInformation) = 0;
};

} // namespace platform
