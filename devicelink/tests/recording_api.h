// A platform API that passes every call on to another one and keeps a record of
// the calls that take or give a kernel handle, so tests can see which handle each
// read, cancel and close went to and how each handle was opened.
#pragma once

#include "platform/api.h"

#include <string>
#include <vector>

namespace devicelink::testing {

struct HandleCall {
    std::string name;                                        // the platform call
    platform::Handle handle = platform::kInvalidHandleValue; // its handle (CreateFileA: result)
    platform::Dword access = 0;                              // CreateFileA only
    platform::Dword flags = 0;                               // CreateFileA only
    std::string path;                                        // CreateFileA only
};

class RecordingApi final : public platform::Api {
public:
    explicit RecordingApi(platform::Api& inner) : inner_(inner) {}
    std::vector<HandleCall> calls;
    // Overlapped opens fail (as for a device that vanishes between two opens).
    bool failOverlappedOpens = false;

    std::vector<HandleCall> callsNamed(const std::string& name) const {
        std::vector<HandleCall> found;
        for (const auto& c : calls)
            if (c.name == name)
                found.push_back(c);
        return found;
    }

    using Dword = platform::Dword;
    using Handle = platform::Handle;
    using DevInfo = platform::DevInfo;

    DevInfo SetupDiGetClassDevsA(const platform::Guid* g, const char* e, platform::Window w,
                                 Dword f) override {
        return inner_.SetupDiGetClassDevsA(g, e, w, f);
    }
    bool SetupDiEnumDeviceInterfaces(DevInfo s, const platform::DeviceInfoData* d,
                                     const platform::Guid* g, Dword i,
                                     platform::DeviceInterfaceData* o) override {
        return inner_.SetupDiEnumDeviceInterfaces(s, d, g, i, o);
    }
    bool SetupDiGetDeviceInterfaceDetailA(DevInfo s, const platform::DeviceInterfaceData* d,
                                          std::uint8_t* b, Dword n, Dword* r,
                                          platform::DeviceInfoData* i) override {
        return inner_.SetupDiGetDeviceInterfaceDetailA(s, d, b, n, r, i);
    }
    bool SetupDiGetDeviceRegistryPropertyA(DevInfo s, const platform::DeviceInfoData* d, Dword p,
                                           Dword* t, std::uint8_t* b, Dword n, Dword* r) override {
        return inner_.SetupDiGetDeviceRegistryPropertyA(s, d, p, t, b, n, r);
    }
    bool SetupDiDestroyDeviceInfoList(DevInfo s) override {
        return inner_.SetupDiDestroyDeviceInfoList(s);
    }
    void HidD_GetHidGuid(platform::Guid* g) override { inner_.HidD_GetHidGuid(g); }
    bool HidD_GetAttributes(Handle h, platform::HidAttributes* a) override {
        note("HidD_GetAttributes", h);
        return inner_.HidD_GetAttributes(h, a);
    }
    bool HidD_GetPreparsedData(Handle h, platform::PreparsedData* d) override {
        note("HidD_GetPreparsedData", h);
        return inner_.HidD_GetPreparsedData(h, d);
    }
    bool HidD_FreePreparsedData(platform::PreparsedData d) override {
        return inner_.HidD_FreePreparsedData(d);
    }
    platform::NtStatus HidP_GetCaps(platform::PreparsedData d, platform::HidCaps* c) override {
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
    Handle CreateFileA(const char* f, Dword a, Dword s, platform::SecurityAttributes* sa, Dword c,
                       Dword fl, Handle t) override {
        const Handle h = failOverlappedOpens && (fl & platform::kFileFlagOverlapped)
                             ? platform::kInvalidHandleValue
                             : inner_.CreateFileA(f, a, s, sa, c, fl, t);
        calls.push_back({"CreateFileA", h, a, fl, f});
        return h;
    }
    bool ReadFile(Handle h, void* b, Dword n, Dword* r, platform::Overlapped* o) override {
        note("ReadFile", h);
        return inner_.ReadFile(h, b, n, r, o);
    }
    bool ReadFileEx(Handle h, void* b, Dword n, platform::Overlapped* o,
                    platform::CompletionRoutine r) override {
        note("ReadFileEx", h);
        return inner_.ReadFileEx(h, b, n, o, r);
    }
    bool WriteFile(Handle h, const void* b, Dword n, Dword* w, platform::Overlapped* o) override {
        note("WriteFile", h);
        return inner_.WriteFile(h, b, n, w, o);
    }
    bool GetOverlappedResult(Handle h, platform::Overlapped* o, Dword* n, bool w) override {
        return inner_.GetOverlappedResult(h, o, n, w);
    }
    bool CancelIo(Handle h) override {
        note("CancelIo", h);
        return inner_.CancelIo(h);
    }
    bool CloseHandle(Handle h) override {
        note("CloseHandle", h);
        return inner_.CloseHandle(h);
    }
    Handle CreateEventA(platform::SecurityAttributes* sa, bool m, bool i, const char* n) override {
        const Handle h = inner_.CreateEventA(sa, m, i, n);
        note("CreateEventA", h);
        return h;
    }
    bool ResetEvent(Handle h) override {
        note("ResetEvent", h);
        return inner_.ResetEvent(h);
    }
    Dword WaitForSingleObject(Handle h, Dword ms) override {
        note("WaitForSingleObject", h);
        return inner_.WaitForSingleObject(h, ms);
    }
    Dword SleepEx(Dword ms, bool a) override { return inner_.SleepEx(ms, a); }
    Dword GetLastError() override { return inner_.GetLastError(); }
    Dword FormatMessageA(Dword f, const void* s, Dword id, Dword l, char* b, Dword n,
                         void* a) override {
        return inner_.FormatMessageA(f, s, id, l, b, n, a);
    }
    platform::Module LoadLibraryA(const char* n) override { return inner_.LoadLibraryA(n); }
    platform::Proc GetProcAddress(platform::Module m, const char* n) override {
        return inner_.GetProcAddress(m, n);
    }
    bool FreeLibrary(platform::Module m) override { return inner_.FreeLibrary(m); }
    bool GetVersionExA(platform::OsVersionInfo* v) override { return inner_.GetVersionExA(v); }

private:
    void note(const char* name, Handle h) { calls.push_back({name, h, 0, 0, {}}); }

    platform::Api& inner_;
};

} // namespace devicelink::testing
