// The one place where exceptions become HRESULTs.
#include "activex/hresult.h"

namespace activex {

HRESULT currentExceptionToHresult() noexcept {
    try {
        throw;
    } catch (const ComError& e) {
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
