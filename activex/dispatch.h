// IDispatch from the type information: a dual interface's IDispatch half is
// answered by the ITypeInfo of that interface, taken from the type library
// embedded in this module.
#pragma once

#include "activex/com_ptr.h"
#include "activex/win.h"

namespace activex {

// The module's own type library (resource TYPELIB 1), not registered.
ComPtr<ITypeLib> loadModuleTypeLib();

class TypeInfoDispatch {
public:
    TypeInfoDispatch(ITypeLib& lib, REFIID iid);

    ITypeInfo* typeInfo() const noexcept { return info_.get(); }

    HRESULT GetTypeInfoCount(UINT* count) noexcept;
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info) noexcept;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    // self: the object's pointer of the dual interface itself.
    HRESULT Invoke(void* self, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept;

private:
    ComPtr<ITypeInfo> info_;
};

} // namespace activex
