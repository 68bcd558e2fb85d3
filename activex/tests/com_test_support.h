// Helpers of the framework's COM tests: an apartment per test and an event
// sink that records the calls it receives and may write back into them.
#pragma once

#include "activex/bstr.h"
#include "activex/com_ptr.h"
#include "activex/unknown.h"
#include "activex/variant.h"
#include "activex/win.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace activex::testing {

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
};

// An IDispatch sink for one event interface. onCall may change the arguments
// (they are by reference) before the call returns.
class RecordingSink final : public SelfOwned<RecordingSink, IDispatch> {
public:
    using Handler = std::function<void(DISPID, DISPPARAMS&)>;

    static ComPtr<RecordingSink> make(REFIID events, Handler onCall = {}) {
        return ComPtr<RecordingSink>::adopt(new RecordingSink(events, std::move(onCall)));
    }

    std::vector<RecordedCall> calls;

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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        RecordedCall call{id, {}};
        for (UINT i = params->cArgs; i-- > 0;)
            call.args.push_back(variantToUtf8(params->rgvarg[i]));
        calls.push_back(std::move(call));
        if (onCall_)
            onCall_(id, *params);
        return S_OK;
    }

private:
    RecordingSink(REFIID events, Handler onCall) : events_(events), onCall_(std::move(onCall)) {}

    IID events_;
    Handler onCall_;
};

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
