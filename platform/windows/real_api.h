// The platform's own backend (Windows builds only): each call forwards to the
// platform's function of the same name. SetupAPI and HID are bound at run time on
// first use, so that no deliverable imports them; a missing library or export makes
// the call fail with the platform's error for it. Records whose size fields differ
// between 32-bit and 64-bit Windows are translated, so callers always pass the
// 32-bit sizes that types.h names.
#pragma once

#include "platform/api.h"

namespace platform {

class RealApi final : public Api {
public:
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
    Dword GetTickCount() override;
    Dword GetLastError() override;
    Dword FormatMessageA(Dword Flags, const void* Source, Dword MessageId, Dword LanguageId,
                         char* Buffer, Dword Size, void* Arguments) override;

    Module LoadLibraryA(const char* LibFileName) override;
    Proc GetProcAddress(Module Lib, const char* ProcName) override;
    bool FreeLibrary(Module Lib) override;
    bool GetVersionExA(OsVersionInfo* VersionInformation) override;
};

} // namespace platform
