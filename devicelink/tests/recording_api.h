// A platform API that passes every call on to another one and keeps a record of
// the calls that take or give a kernel handle, so tests can see which handle each
// read, cancel and close went to and how each handle was opened.
#pragma once

#include "platform/tests/forwarding_api.h"

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

class RecordingApi final : public platform::testing::ForwardingApi {
public:
    explicit RecordingApi(platform::Api& inner) : ForwardingApi(inner) {}
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

    bool HidD_GetAttributes(Handle h, platform::HidAttributes* a) override {
        note("HidD_GetAttributes", h);
        return inner().HidD_GetAttributes(h, a);
    }
    bool HidD_GetPreparsedData(Handle h, platform::PreparsedData* d) override {
        note("HidD_GetPreparsedData", h);
        return inner().HidD_GetPreparsedData(h, d);
    }
    Handle CreateFileA(const char* f, Dword a, Dword s, platform::SecurityAttributes* sa, Dword c,
                       Dword fl, Handle t) override {
        const Handle h = failOverlappedOpens && (fl & platform::kFileFlagOverlapped)
                             ? platform::kInvalidHandleValue
                             : inner().CreateFileA(f, a, s, sa, c, fl, t);
        calls.push_back({"CreateFileA", h, a, fl, f});
        return h;
    }
    bool ReadFile(Handle h, void* b, Dword n, Dword* r, platform::Overlapped* o) override {
        note("ReadFile", h);
        return inner().ReadFile(h, b, n, r, o);
    }
    bool ReadFileEx(Handle h, void* b, Dword n, platform::Overlapped* o,
                    platform::CompletionRoutine r) override {
        note("ReadFileEx", h);
        return inner().ReadFileEx(h, b, n, o, r);
    }
    bool WriteFile(Handle h, const void* b, Dword n, Dword* w, platform::Overlapped* o) override {
        note("WriteFile", h);
        return inner().WriteFile(h, b, n, w, o);
    }
    bool CancelIo(Handle h) override {
        note("CancelIo", h);
        return inner().CancelIo(h);
    }
    bool CloseHandle(Handle h) override {
        note("CloseHandle", h);
        return inner().CloseHandle(h);
    }
    Handle CreateEventA(platform::SecurityAttributes* sa, bool m, bool i, const char* n) override {
        const Handle h = inner().CreateEventA(sa, m, i, n);
        note("CreateEventA", h);
        return h;
    }
    bool ResetEvent(Handle h) override {
        note("ResetEvent", h);
        return inner().ResetEvent(h);
    }
    Dword WaitForSingleObject(Handle h, Dword ms) override {
        note("WaitForSingleObject", h);
        return inner().WaitForSingleObject(h, ms);
    }

private:
    void note(const char* name, Handle h) { calls.push_back({name, h, 0, 0, {}}); }
};

} // namespace devicelink::testing
