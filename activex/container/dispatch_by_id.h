// An IDispatch that is called by dispatch id only, with no type information
// and no names: the container's event sinks and its ambient properties.
#pragma once

#include "activex/module.h"
#include "activex/win.h"

namespace activex::container {

class DispatchById : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo)
            *ppTInfo = nullptr;
        return E_NOTIMPL; // there is none, as GetTypeInfoCount says
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL; // callers know the dispatch ids
    }

protected:
    ~DispatchById() = default;

private:
    // Every object of the container counts in the module until its own members
    // are gone: a control in another apartment may let go of it after the host
    // let go of the control.
    ModuleObjectCount counted_;
};

} // namespace activex::container
