#include "viewer/windows/access_prompt.h"

#include "viewer/windows/control_ids.h"

namespace viewer::windows {

namespace {

constexpr wchar_t kPromptText[] = L"Bu program sadece ''Ketrasmo'' tarafından kaydedilmiş olan "
                                  L"ilgili telefon hattı sinyallerini göstermektedir.";
constexpr wchar_t kPrefilledAnswer[] = L"Hatırlatma";
constexpr wchar_t kTitle[] = L"Ludrovane";

struct PromptState {
    bool done = false;
    std::wstring answer;
};

LRESULT handlePrompt(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* state = reinterpret_cast<PromptState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (state && LOWORD(w) == PromptOk) {
            const HWND edit = ::GetDlgItem(window, PromptAnswer);
            std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            state->answer = text;
            state->done = true;
        } else if (state && LOWORD(w) == PromptCancel) {
            state->done = true;
        }
        return 0;
    case WM_CLOSE:
        if (state)
            state->done = true;
        return 0;
    default:
        return ::DefWindowProcW(window, message, w, l);
    }
}

// No exception leaves the window procedure (an answer that cannot be copied for
// want of memory); the prompt is then closed as if cancelled.
LRESULT CALLBACK promptProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        return handlePrompt(window, message, w, l);
    } catch (...) {
        if (auto* state =
                reinterpret_cast<PromptState*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            state->answer.clear();
            state->done = true;
        }
        return 0;
    }
}

void registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance, kPromptClass, &wc))
        return;
    wc.lpfnWndProc = promptProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPromptClass;
    ::RegisterClassExW(&wc);
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
           int w, int h, HFONT font) {
    const HWND c = ::CreateWindowExW(cls == std::wstring_view(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls,
                                     text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return c;
}

} // namespace

std::wstring askAccessCode(HWND owner, POINT topLeft, HFONT font) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerClass(instance);
    RECT frame{0, 0, 380, 130};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const HWND prompt = ::CreateWindowExW(
        WS_EX_DLGMODALFRAME, kPromptClass, kTitle, style, topLeft.x, topLeft.y,
        frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance, nullptr);
    if (!prompt)
        return {};
    PromptState state;
    ::SetWindowLongPtrW(prompt, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    child(prompt, L"STATIC", kPromptText, 0, PromptText, 10, 10, 270, 70, font);
    child(prompt, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, PromptOk, 295, 10, 75, 24, font);
    child(prompt, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, PromptCancel, 295, 40, 75, 24,
          font);
    const HWND edit = child(prompt, L"EDIT", kPrefilledAnswer, ES_AUTOHSCROLL | WS_TABSTOP,
                            PromptAnswer, 10, 95, 360, 22, font);
    ::ShowWindow(prompt, SW_SHOW);
    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);

    // Modal: the owner takes no input until the box is answered.
    ::EnableWindow(owner, FALSE);
    MSG msg;
    while (!state.done) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
            break;
        }
        if (!::IsDialogMessageW(prompt, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::EnableWindow(owner, TRUE);
    ::SetWindowLongPtrW(prompt, GWLP_USERDATA, 0);
    ::DestroyWindow(prompt);
    ::SetActiveWindow(owner);
    return state.answer;
}

} // namespace viewer::windows
