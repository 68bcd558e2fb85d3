// A platform API that passes every call on to another one. Tests derive from it to
// record or steer the few calls they care about and leave the rest alone.
#pragma once

#include "platform/api.h"

namespace platform::testing {

class ForwardingApi : public Api {
public:
    explicit ForwardingApi(Api& inner) : inner_(inner) {}

    DevInfo SetupDiGetClassDevsA(const Guid* g, const char* e, Window w, Dword f) override {
        return inner_.SetupDiGetClassDevsA(g, e, w, f);
    }
    bool SetupDiEnumDeviceInterfaces(DevInfo s, const DeviceInfoData* d, const Guid* g, Dword i,
                                     DeviceInterfaceData* o) override {
        return inner_.SetupDiEnumDeviceInterfaces(s, d, g, i, o);
    }
    bool SetupDiGetDeviceInterfaceDetailA(DevInfo s, const DeviceInterfaceData* d, std::uint8_t* b,
                                          Dword n, Dword* r, DeviceInfoData* i) override {
        return inner_.SetupDiGetDeviceInterfaceDetailA(s, d, b, n, r, i);
    }
    bool SetupDiGetDeviceRegistryPropertyA(DevInfo s, const DeviceInfoData* d, Dword p, Dword* t,
                                           std::uint8_t* b, Dword n, Dword* r) override {
        return inner_.SetupDiGetDeviceRegistryPropertyA(s, d, p, t, b, n, r);
    }
    bool SetupDiDestroyDeviceInfoList(DevInfo s) override {
        return inner_.SetupDiDestroyDeviceInfoList(s);
    }
    void HidD_GetHidGuid(Guid* g) override { inner_.HidD_GetHidGuid(g); }
    bool HidD_GetAttributes(Handle h, HidAttributes* a) override {
        return inner_.HidD_GetAttributes(h, a);
    }
    bool HidD_GetPreparsedData(Handle h, PreparsedData* d) override {
        return inner_.HidD_GetPreparsedData(h, d);
    }
    bool HidD_FreePreparsedData(PreparsedData d) override {
        return inner_.HidD_FreePreparsedData(d);
    }
    NtStatus HidP_GetCaps(PreparsedData d, HidCaps* c) override {
        return inner_.HidP_GetCaps(d, c);
    }
    bool HidD_GetProductString(Handle h, void* b, Dword n) override {
        return inner_.HidD_GetProductString(h, b, n);
    }
    bool HidD_GetSerialNumberString(Handle h, void* b, Dword n) override {
        return inner_.HidD_GetSerialNumberString(h, b, n);
    }
    bool HidD_GetIndexedString(Handle h, Dword i, void* b, Dword n) override {
        return inner_.HidD_GetIndexedString(h, i, b, n);
    }
    bool HidD_SetNumInputBuffers(Handle h, Dword n) override {
        return inner_.HidD_SetNumInputBuffers(h, n);
    }
    bool HidD_GetNumInputBuffers(Handle h, Dword* n) override {
        return inner_.HidD_GetNumInputBuffers(h, n);
    }
    Handle CreateFileA(const char* f, Dword a, Dword s, SecurityAttributes* sa, Dword c, Dword fl,
                       Handle t) override {
        return inner_.CreateFileA(f, a, s, sa, c, fl, t);
    }
    bool ReadFile(Handle h, void* b, Dword n, Dword* r, Overlapped* o) override {
        return inner_.ReadFile(h, b, n, r, o);
    }
    bool ReadFileEx(Handle h, void* b, Dword n, Overlapped* o, CompletionRoutine r) override {
        return inner_.ReadFileEx(h, b, n, o, r);
    }
    bool WriteFile(Handle h, const void* b, Dword n, Dword* w, Overlapped* o) override {
        return inner_.WriteFile(h, b, n, w, o);
    }
    bool GetOverlappedResult(Handle h, Overlapped* o, Dword* n, bool w) override {
        return inner_.GetOverlappedResult(h, o, n, w);
    }
    bool CancelIo(Handle h) override { return inner_.CancelIo(h); }
    bool CloseHandle(Handle h) override { return inner_.CloseHandle(h); }
    Handle CreateEventA(SecurityAttributes* sa, bool m, bool i, const char* n) override {
        return inner_.CreateEventA(sa, m, i, n);
    }
    bool ResetEvent(Handle h) override { return inner_.ResetEvent(h); }
    Dword WaitForSingleObject(Handle h, Dword ms) override {
        return inner_.WaitForSingleObject(h, ms);
    }
    Dword SleepEx(Dword ms, bool a) override { return inner_.SleepEx(ms, a); }
    Dword GetTickCount() override { return inner_.GetTickCount(); }
    Dword GetLastError() override { return inner_.GetLastError(); }
    Dword FormatMessageA(Dword f, const void* s, Dword id, Dword l, char* b, Dword n,
                         void* a) override {
        return inner_.FormatMessageA(f, s, id, l, b, n, a);
    }
    Module LoadLibraryA(const char* n) override { return inner_.LoadLibraryA(n); }
    Proc GetProcAddress(Module m, const char* n) override { return inner_.GetProcAddress(m, n); }
    bool FreeLibrary(Module m) override { return inner_.FreeLibrary(m); }
    bool GetVersionExA(OsVersionInfo* v) override { return inner_.GetVersionExA(v); }

protected:
    Api& inner() const { return inner_; }

private:
    Api& inner_;
};

} // namespace platform::testing
