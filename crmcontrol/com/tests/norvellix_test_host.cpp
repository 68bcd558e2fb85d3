// Helpers of the Norvellix test hosts.
#include "crmcontrol/com/tests/norvellix_test_host.h"

#include "activex/text.h"
#include "platform/windows/handles.h"

namespace norvellix_test {

std::wstring ocxPath() {
    std::wstring path = L"Z:" + activex::utf8ToWide(NORVELLIX_OCX);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

DWORD runProgram(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return ~0u;
    platform::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.get(), &code);
    return code;
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

} // namespace norvellix_test
