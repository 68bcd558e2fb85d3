// Helpers of the framework's COM tests: an apartment per test, event sinks that
// record the calls they receive (and may write back into them, or hold one), a
// host thread in the multithreaded apartment under a watchdog, and late-bound
// property access.
#pragma once

#include "activex/bstr.h"
#include "activex/com_ptr.h"
#include "activex/unknown.h"
#include "activex/variant.h"
#include "activex/win.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace activex::testing {

// Ends the process at once on a fault (an access violation, say) with its code and
// address, where Wine would start a debugger and wait for it: a test that touches
// freed memory fails the run instead of stalling it. Run under WINEDEBUG=warn+heap,
// which fills freed memory, such a touch faults instead of passing unseen.
inline LONG WINAPI reportFault(EXCEPTION_POINTERS* fault) {
    std::fprintf(stderr, "fault 0x%08lX at %p\n",
                 static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode),
                 fault->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}
inline void endProcessOnFault() {
    SetUnhandledExceptionFilter(&reportFault);
}

// Every COM test runs in a single-threaded apartment of its own.
class ComApartment : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
    void TearDown() override { OleUninitialize(); }
};

// One event call as a sink saw it: dispatch id and the text of each argument
// in declaration order.
struct RecordedCall {
    DISPID id;
    std::vector<std::string> args;

    RecordedCall(DISPID dispid, const DISPPARAMS& params) : id(dispid) {
        for (UINT i = params.cArgs; i-- > 0;)
            args.push_back(variantToUtf8(params.rgvarg[i]));
    }
};

// The IDispatch of the tests' event sinks: it answers to one event interface, has
// no type information and takes events by dispatch id only.
template <typename Derived> class TestSink : public SelfOwned<Derived, IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return answerQuery(static_cast<IDispatch*>(this),
                           riid == IID_IUnknown || riid == IID_IDispatch || riid == events_, ppv);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return E_NOTIMPL; // a recording sink has no type information
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL; // events arrive by dispatch id only
    }

protected:
    explicit TestSink(REFIID events) : events_(events) {}

private:
    IID events_;
};

// An IDispatch sink for one event interface. onCall may change the arguments
// (they are by reference) before the call returns.
class RecordingSink final : public TestSink<RecordingSink> {
public:
    using Handler = std::function<void(DISPID, DISPPARAMS&)>;

    static ComPtr<RecordingSink> make(REFIID events, Handler onCall = {}) {
        return ComPtr<RecordingSink>::adopt(new RecordingSink(events, std::move(onCall)));
    }

    std::vector<RecordedCall> calls;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        calls.emplace_back(id, *params);
        if (onCall_)
            onCall_(id, *params);
        return S_OK;
    }

private:
    RecordingSink(REFIID events, Handler onCall) : TestSink(events), onCall_(std::move(onCall)) {}

    Handler onCall_;
};

// An event sink of a host in the multithreaded apartment: events arrive on any
// thread. It records them under a lock, lets the host wait for one, and can hold
// the handler of one event until the host lets it go.
class ThreadSafeSink final : public TestSink<ThreadSafeSink> {
public:
    static ComPtr<ThreadSafeSink> make(REFIID events) {
        return ComPtr<ThreadSafeSink>::adopt(new ThreadSafeSink(events));
    }

    // Every event call seen so far.
    std::vector<RecordedCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // Waits until an event of id arrived; false after limit.
    bool waitFor(DISPID id, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return seen(id); });
    }
    // The next event of id stays in its handler until release(); waitHeld() waits
    // until it is there.
    void holdNext(DISPID id) {
        std::lock_guard lock(mutex_);
        hold_ = id;
    }
    bool waitHeld(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return holding_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        hold_.reset();
        changed_.notify_all();
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        RecordedCall call(id, *params);
        std::unique_lock lock(mutex_);
        calls_.push_back(std::move(call));
        if (hold_ == id) {
            holding_ = true;
            changed_.notify_all();
            changed_.wait(lock, [&] { return !hold_; });
        }
        changed_.notify_all();
        return S_OK;
    }

private:
    explicit ThreadSafeSink(REFIID events) : TestSink(events) {}
    bool seen(DISPID id) const {
        for (const RecordedCall& c : calls_)
            if (c.id == id)
                return true;
        return false;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordedCall> calls_;
    std::optional<DISPID> hold_;
    bool holding_ = false;
};

// A host that freezes a control's events (IOleControl::FreezeEvents) in its handler of
// the first event `id`, as a host that starts to rebuild its form there does, and
// thaws them when the test says.
class FreezeInFirstHandler {
public:
    explicit FreezeInFirstHandler(DISPID id) : id_(id) {}
    // For the sink's handler; the control is the one attached.
    RecordingSink::Handler handler() {
        return [this](DISPID id, DISPPARAMS&) {
            if (id == id_ && control_ && !frozen_)
                frozen_ = SUCCEEDED(control_->FreezeEvents(TRUE));
        };
    }
    void attach(IUnknown* control) {
        control_.reset();
        ASSERT_EQ(control->QueryInterface(IID_IOleControl, control_.putVoid()), S_OK);
    }
    bool frozen() const { return frozen_; }
    HRESULT thaw() { return control_->FreezeEvents(FALSE); }

private:
    DISPID id_;
    ComPtr<IOleControl> control_;
    bool frozen_ = false;
};

// The events of `id` a sink heard.
inline std::vector<RecordedCall> callsOf(const std::vector<RecordedCall>& calls, DISPID id) {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls)
        if (c.id == id)
            out.push_back(c);
    return out;
}

// Runs body on a thread of its own in the multithreaded apartment, as a free-
// threaded host would, and returns when it is done. A body that hangs past limit
// ends the test program: a deadlock must fail, not stall the run.
inline void inMultithreadedApartment(const std::function<void()>& body,
                                     std::chrono::seconds limit) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread host([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        body();
        CoUninitialize();
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, limit, [&] { return done; })) {
        std::fprintf(stderr,
                     "watchdog: the host in the multithreaded apartment blocked for "
                     "more than %d s\n",
                     static_cast<int>(limit.count()));
        std::abort();
    }
    lock.unlock();
    host.join();
}

// Replaces the text of a by-reference BSTR argument, as a host's handler does.
inline void assignBstrRef(VARIANTARG& arg, const char* utf8) {
    ASSERT_EQ(V_VT(&arg), VT_BYREF | VT_BSTR);
    Bstr::adopt(*V_BSTRREF(&arg)); // the old text is the callee's to free
    *V_BSTRREF(&arg) = Bstr::fromUtf8(utf8).detach();
}

// Replaces the value of a by-reference VARIANT argument.
inline void assignVariantRef(VARIANTARG& arg, const char* utf8) {
    ASSERT_EQ(V_VT(&arg), VT_BYREF | VT_VARIANT);
    VariantClear(V_VARIANTREF(&arg));
    Variant::fromUtf8(utf8).detachTo(V_VARIANTREF(&arg));
}

// Late-bound property access, as a script host makes it.
inline HRESULT putProperty(IDispatch* object, DISPID id, Variant value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value.get(), &named, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, nullptr);
}
inline HRESULT getProperty(IDispatch* object, DISPID id, Variant& value) {
    DISPPARAMS none{};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          value.put(), nullptr, nullptr);
}

} // namespace activex::testing
