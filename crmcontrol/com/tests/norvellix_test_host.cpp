// Helpers of the Norvellix test hosts.
#include "crmcontrol/com/tests/norvellix_test_host.h"

#include "activex/tests/com_test_support.h"
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

std::vector<std::string> eventTexts(const std::vector<activex::testing::RecordedCall>& calls) {
    std::vector<std::string> out;
    for (const auto& c : calls) {
        if (c.id == kOnCallerID && c.args.size() == 5)
            out.push_back("OnCallerID " + c.args[0] + " " + c.args[1] + " " + c.args[4]);
        else if (c.args.size() == 2)
            out.push_back(std::string(c.id == kOnDeviceConnection ? "OnDeviceConnection "
                                                                  : "OnDeviceDisconnected ") +
                          c.args[0] + " " + c.args[1]);
    }
    return out;
}

} // namespace norvellix_test
