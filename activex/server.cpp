// The class factory and the DLL entry points.
#include "activex/server.h"

#include "activex/com_ptr.h"
#include "activex/control.h"
#include "activex/hresult.h"
#include "activex/module.h"
#include "activex/unknown.h"

#include <memory>

namespace activex {
namespace {

class ClassFactory final : public SelfOwned<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return answerQuery(static_cast<IClassFactory*>(this),
                           riid == IID_IUnknown || riid == IID_IClassFactory, ppv);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return comGuard([&] { return create_(riid, ppv); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            serverModule().lock();
        else
            serverModule().unlock();
        return S_OK;
    }

private:
    CreateInstanceFn create_;
    ModuleObjectCount counted_;
};

} // namespace

HRESULT dllGetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID riid,
                          void** ppv) noexcept {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const ServerClass& c : classes) {
        if (*c.clsid != clsid)
            continue;
        return comGuard([&] {
            auto factory =
                ComPtr<IClassFactory>::adopt(std::make_unique<ClassFactory>(c.create).release());
            return factory->QueryInterface(riid, ppv);
        });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT dllCanUnloadNow() noexcept {
    return serverModule().canUnload() ? S_OK : S_FALSE;
}

HRESULT dllRegisterServer(std::span<const ServerClass> classes) noexcept {
    const HRESULT hr = comGuard([&] {
        const std::wstring path = ServerModule::path();
        registerTypeLib(path);
        for (const ServerClass& c : classes) {
            if (!c.registration)
                continue;
            ControlRegistration registration = *c.registration;
            if (c.control)
                registration.miscStatusContent = c.control->miscStatus;
            registerControl(registration, path);
        }
    });
    if (FAILED(hr))
        dllUnregisterServer(classes);
    return FAILED(hr) ? SELFREG_E_CLASS : S_OK;
}

HRESULT dllUnregisterServer(std::span<const ServerClass> classes) noexcept {
    HRESULT result = S_OK;
    for (const ServerClass& c : classes)
        if (c.registration && FAILED(comGuard([&] { unregisterControl(*c.registration); })))
            result = SELFREG_E_CLASS;
    if (FAILED(comGuard([] { unregisterTypeLib(ServerModule::path()); })))
        result = SELFREG_E_TYPELIB;
    return result;
}

} // namespace activex
