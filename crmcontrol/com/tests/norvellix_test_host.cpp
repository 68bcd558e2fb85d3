// Helpers of the Norvellix test hosts.
#include "crmcontrol/com/tests/norvellix_test_host.h"

#include "activex/tests/registration_support.h"

namespace norvellix_test {

std::wstring ocxPath() {
    return activex::testing::windowsPath(NORVELLIX_OCX);
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

HRESULT callMethod(IDispatch* control, DISPID id) {
    DISPPARAMS none{};
    return control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                           nullptr, nullptr);
}

std::string describeEvent(DISPID id, const std::vector<std::string>& args) {
    if (id == kOnCallerID && args.size() == 5)
        return "OnCallerID " + args[0] + " " + args[1] + " " + args[4];
    if ((id == kOnDeviceConnection || id == kOnDeviceDisconnected) && args.size() == 2)
        return std::string(id == kOnDeviceConnection ? "OnDeviceConnection "
                                                     : "OnDeviceDisconnected ") +
               args[0] + " " + args[1];
    return "event " + std::to_string(id) + " with " + std::to_string(args.size()) + " arguments";
}

} // namespace norvellix_test
