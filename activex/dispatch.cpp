// Type-info dispatch.
#include "activex/dispatch.h"

#include "activex/hresult.h"
#include "activex/module.h"

namespace activex {

ComPtr<ITypeLib> loadModuleTypeLib() {
    ComPtr<ITypeLib> lib;
    check(LoadTypeLibEx(ServerModule::path().c_str(), REGKIND_NONE, lib.put()), "LoadTypeLibEx");
    return lib;
}

TypeInfoDispatch::TypeInfoDispatch(ITypeLib& lib, REFIID iid) {
    check(lib.GetTypeInfoOfGuid(iid, info_.put()), "ITypeLib::GetTypeInfoOfGuid");
}

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) noexcept {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(UINT index, ITypeInfo** info) noexcept {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return info_.copyTo(info);
}

HRESULT TypeInfoDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                        DISPID* ids) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(info_.get(), names, count, ids);
}

HRESULT TypeInfoDispatch::Invoke(void* self, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    return info_->Invoke(self, id, flags, params, result, excep, argErr);
}

} // namespace activex
