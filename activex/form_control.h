// An active form as a control: the twenty form properties that the caller-ID
// component and the adapter carry with the same dispids and behaviour, over the
// settings of the form. Interface is the control's dual interface; BorderStyle
// and PrintScale are the enumerations of its type library.
#pragma once

#include "activex/bstr.h"
#include "activex/control.h"

#include <olectl.h>
#include <string>

namespace activex {

// What an active form tells its host: OLEMISC_ACTSLIKELABEL | OLEMISC_SIMPLEFRAME
// with RECOMPOSEONRESIZE, CANTLINKINSIDE, INSIDEOUT, ACTIVATEWHENVISIBLE and
// SETCLIENTSITEFIRST. Written to the registry and answered by GetMiscStatus.
inline constexpr DWORD kActiveFormMiscStatus = 205201;
static_assert(kActiveFormMiscStatus ==
              (OLEMISC_ACTSLIKELABEL | OLEMISC_SIMPLEFRAME | OLEMISC_RECOMPOSEONRESIZE |
               OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
               OLEMISC_SETCLIENTSITEFIRST));

// A form's designed size in pixels at 96 pixels per inch, as HIMETRIC.
constexpr LONG formPixelsToHimetric(int pixels) {
    return pixels * 2540 / 96;
}

// The settings of a form, with the defaults every form has.
struct FormSettings {
    bool visible = true;
    bool autoScroll = false;
    bool autoSize = true;
    int borderStyle = 0; // afbNone
    std::wstring caption;
    OLE_COLOR color = 0;
    bool keyPreview = false;
    LONG pixelsPerInch = 96;
    int printScale = 1; // poProportional
    bool scaled = true;
    bool dropTarget = false;
    std::wstring helpFile;
    bool screenSnap = false;
    LONG snapBuffer = 10;
    bool doubleBuffered = false;
    bool enabled = true;
};

// The form font of the given face and height -11 at 96 pixels per inch, 8.25 points.
inline ComPtr<IFontDisp> formFont(const wchar_t* face) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(face);
    desc.cySize.int64 = 82500;
    desc.sWeight = FW_NORMAL;
    desc.sCharset = DEFAULT_CHARSET;
    ComPtr<IFontDisp> font;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, font.putVoid())))
        return {};
    return font;
}

template <typename Derived, typename Interface, typename BorderStyle, typename PrintScale>
class FormControl : public Control<Derived, Interface> {
public:
    FormControl(const ControlClass& cls, FormSettings form, const wchar_t* fontFace)
        : Control<Derived, Interface>(cls), form_(std::move(form)), font_(formFont(fontFace)) {}

    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.visible);
    }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override {
        form_.visible = Value != 0;
        if (HWND w = this->controlWindow())
            ShowWindow(w, form_.visible ? SW_SHOWNA : SW_HIDE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AutoScroll(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.autoScroll);
    }
    HRESULT STDMETHODCALLTYPE put_AutoScroll(VARIANT_BOOL Value) override {
        form_.autoScroll = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AutoSize(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.autoSize);
    }
    HRESULT STDMETHODCALLTYPE put_AutoSize(VARIANT_BOOL Value) override {
        form_.autoSize = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AxBorderStyle(BorderStyle* Value) override {
        return getValue(Value, static_cast<BorderStyle>(form_.borderStyle));
    }
    HRESULT STDMETHODCALLTYPE put_AxBorderStyle(BorderStyle Value) override {
        if (Value < 0 || Value > 3) // afbNone to afbRaised
            return E_INVALIDARG;
        form_.borderStyle = Value;
        showForm();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) override {
        return getText(Value, form_.caption);
    }
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) override {
        return setText(form_.caption, Value);
    }
    HRESULT STDMETHODCALLTYPE get_Color(OLE_COLOR* Value) override {
        return getValue(Value, form_.color);
    }
    HRESULT STDMETHODCALLTYPE put_Color(OLE_COLOR Value) override {
        form_.color = Value;
        showForm();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) override {
        if (!Value)
            return E_POINTER;
        *Value = font_.get();
        if (*Value)
            (*Value)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* Value) override {
        if (!Value)
            return E_INVALIDARG;
        // The form takes a copy of the font's settings.
        ComPtr<IFont> given;
        if (FAILED(Value->QueryInterface(IID_IFont, given.putVoid())))
            return E_INVALIDARG;
        ComPtr<IFont> copy;
        HRESULT hr = given->Clone(copy.put());
        if (FAILED(hr))
            return hr;
        ComPtr<IFontDisp> disp;
        hr = copy->QueryInterface(IID_IFontDisp, disp.putVoid());
        if (SUCCEEDED(hr))
            font_ = std::move(disp);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* Value) override { return put_Font(Value); }
    HRESULT STDMETHODCALLTYPE get_KeyPreview(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.keyPreview);
    }
    HRESULT STDMETHODCALLTYPE put_KeyPreview(VARIANT_BOOL Value) override {
        form_.keyPreview = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PixelsPerInch(LONG* Value) override {
        return getValue(Value, form_.pixelsPerInch);
    }
    HRESULT STDMETHODCALLTYPE put_PixelsPerInch(LONG Value) override {
        if (Value <= 0)
            return E_INVALIDARG;
        form_.pixelsPerInch = Value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PrintScale(PrintScale* Value) override {
        return getValue(Value, static_cast<PrintScale>(form_.printScale));
    }
    HRESULT STDMETHODCALLTYPE put_PrintScale(PrintScale Value) override {
        form_.printScale = Value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Scaled(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.scaled);
    }
    HRESULT STDMETHODCALLTYPE put_Scaled(VARIANT_BOOL Value) override {
        form_.scaled = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* Value) override {
        return getBool(Value, this->inPlaceActive());
    }
    HRESULT STDMETHODCALLTYPE get_DropTarget(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.dropTarget);
    }
    HRESULT STDMETHODCALLTYPE put_DropTarget(VARIANT_BOOL Value) override {
        form_.dropTarget = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* Value) override {
        return getText(Value, form_.helpFile);
    }
    HRESULT STDMETHODCALLTYPE put_HelpFile(BSTR Value) override {
        return setText(form_.helpFile, Value);
    }
    HRESULT STDMETHODCALLTYPE get_ScreenSnap(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.screenSnap);
    }
    HRESULT STDMETHODCALLTYPE put_ScreenSnap(VARIANT_BOOL Value) override {
        form_.screenSnap = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SnapBuffer(LONG* Value) override {
        return getValue(Value, form_.snapBuffer);
    }
    HRESULT STDMETHODCALLTYPE put_SnapBuffer(LONG Value) override {
        form_.snapBuffer = Value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.doubleBuffered);
    }
    HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) override {
        form_.doubleBuffered = Value != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL* Value) override {
        return getBool(Value, false);
    }
    HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG* Value) override {
        return getValue(Value, LONG{0});
    }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Value) override {
        return getBool(Value, form_.enabled);
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) override {
        form_.enabled = Value != 0;
        showForm();
        return S_OK;
    }

protected:
    const FormSettings& form() const noexcept { return form_; }

    // Redraws the form after a change of its look or its enabled state.
    void showForm() noexcept {
        if (HWND w = this->controlWindow()) {
            EnableWindow(w, form_.enabled);
            InvalidateRect(w, nullptr, TRUE);
        }
    }

private:
    template <typename T> static HRESULT getValue(T* out, T value) {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    static HRESULT getBool(VARIANT_BOOL* out, bool value) {
        return getValue(out, value ? VARIANT_TRUE : VARIANT_FALSE);
    }
    static HRESULT getText(BSTR* out, const std::wstring& text) {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return comGuard([&] { *out = Bstr(text).detach(); });
    }
    static HRESULT setText(std::wstring& field, BSTR text) {
        return comGuard([&] { field.assign(text ? text : L"", text ? SysStringLen(text) : 0); });
    }

    FormSettings form_;
    ComPtr<IFontDisp> font_;
};

} // namespace activex
