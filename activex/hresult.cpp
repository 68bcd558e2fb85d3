// The one place where exceptions become HRESULTs and error information.
#include "activex/hresult.h"

#include "activex/com_ptr.h"

namespace activex {

namespace {

// The caller's error information; a failure to make it leaves none.
void setErrorInfo(const ErrorDescription& d) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put())))
        return;
    create->SetDescription(const_cast<LPOLESTR>(d.text.c_str()));
    create->SetGUID(d.iid);
    create->SetSource(const_cast<LPOLESTR>(d.source.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.putVoid())))
        SetErrorInfo(0, info.get());
}

} // namespace

HRESULT currentExceptionToHresult() noexcept {
    try {
        throw;
    } catch (const ComError& e) {
        if (e.description())
            setErrorInfo(*e.description());
        return e.hr();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::invalid_argument&) {
        return E_INVALIDARG;
    } catch (const std::length_error&) {
        return E_INVALIDARG;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace activex
