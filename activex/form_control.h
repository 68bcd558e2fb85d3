// An active form as a control: the twenty form properties that the caller-ID
// component and the adapter carry with the same dispids and behaviour, over the
// settings of the form. Interface is the control's dual interface; BorderStyle
// and PrintScale are the enumerations of its type library.
#pragma once

#include "activex/bstr.h"
#include "activex/control.h"
#include "activex/persisted_state.h"

#include <olectl.h>
#include <string>
#include <type_traits>
#include <utility>

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

// Visits every persisted setting of a form with its property name.
template <typename Settings, typename Visit> void visitFormSettings(Settings& form, Visit&& visit) {
    visit(L"Visible", form.visible);
    visit(L"AutoScroll", form.autoScroll);
    visit(L"AutoSize", form.autoSize);
    visit(L"AxBorderStyle", form.borderStyle);
    visit(L"Caption", form.caption);
    visit(L"Color", form.color);
    visit(L"KeyPreview", form.keyPreview);
    visit(L"PixelsPerInch", form.pixelsPerInch);
    visit(L"PrintScale", form.printScale);
    visit(L"Scaled", form.scaled);
    visit(L"DropTarget", form.dropTarget);
    visit(L"HelpFile", form.helpFile);
    visit(L"ScreenSnap", form.screenSnap);
    visit(L"SnapBuffer", form.snapBuffer);
    visit(L"DoubleBuffered", form.doubleBuffered);
    visit(L"Enabled", form.enabled);
}

// The settings of a form's font, as it is persisted.
struct FontSettings {
    std::wstring name = L"MS Sans Serif";
    CY size{.int64 = 82500}; // points, 8.25
    SHORT weight = FW_NORMAL;
    SHORT charset = DEFAULT_CHARSET;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
};

template <typename Settings, typename Visit> void visitFontSettings(Settings& font, Visit&& visit) {
    visit(L"FontName", font.name);
    visit(L"FontSize", font.size);
    visit(L"FontWeight", font.weight);
    visit(L"FontCharset", font.charset);
    visit(L"FontItalic", font.italic);
    visit(L"FontUnderline", font.underline);
    visit(L"FontStrikethrough", font.strikethrough);
}

inline FontSettings fontSettings(IFontDisp* font) {
    FontSettings out;
    activex::ComPtr<IFont> f;
    if (!font || FAILED(font->QueryInterface(IID_IFont, f.putVoid())))
        return out;
    activex::Bstr name;
    BOOL italic = FALSE, underline = FALSE, strikethrough = FALSE;
    if (SUCCEEDED(f->get_Name(name.put())))
        out.name = name.view();
    f->get_Size(&out.size);
    f->get_Weight(&out.weight);
    f->get_Charset(&out.charset);
    f->get_Italic(&italic);
    f->get_Underline(&underline);
    f->get_Strikethrough(&strikethrough);
    out.italic = italic;
    out.underline = underline;
    out.strikethrough = strikethrough;
    return out;
}

namespace detail {

// A setting as its persisted value, and back.
template <typename Field> VARTYPE persistedType() {
    if constexpr (std::is_same_v<Field, bool>)
        return VT_BOOL;
    else if constexpr (std::is_same_v<Field, std::wstring>)
        return VT_BSTR;
    else if constexpr (std::is_same_v<Field, CY>)
        return VT_CY;
    else if constexpr (std::is_same_v<Field, SHORT>)
        return VT_I2;
    else
        return VT_I4; // int, LONG, and OLE_COLOR (system colours as negative numbers)
}

template <typename Field> activex::Variant persisted(const Field& field) {
    activex::Variant v;
    VARIANT& out = *v.get();
    if constexpr (std::is_same_v<Field, bool>)
        V_BOOL(&out) = field ? VARIANT_TRUE : VARIANT_FALSE;
    else if constexpr (std::is_same_v<Field, std::wstring>)
        V_BSTR(&out) = activex::Bstr(field).detach();
    else if constexpr (std::is_same_v<Field, CY>)
        V_CY(&out) = field;
    else if constexpr (std::is_same_v<Field, SHORT>)
        V_I2(&out) = field;
    else
        V_I4(&out) = static_cast<LONG>(field);
    V_VT(&out) = persistedType<Field>();
    return v;
}

// False when the value has no such type.
template <typename Field> bool take(const VARIANT& value, Field& field) {
    activex::Variant v;
    // VariantChangeType only reads its source; the header lacks the const.
    if (FAILED(VariantChangeType(v.get(), const_cast<VARIANT*>(&value), 0, persistedType<Field>())))
        return false;
    const VARIANT& in = *v.get();
    if constexpr (std::is_same_v<Field, bool>)
        field = V_BOOL(&in) != VARIANT_FALSE;
    else if constexpr (std::is_same_v<Field, std::wstring>)
        field.assign(V_BSTR(&in) ? V_BSTR(&in) : L"", SysStringLen(V_BSTR(&in)));
    else if constexpr (std::is_same_v<Field, CY>)
        field = V_CY(&in);
    else if constexpr (std::is_same_v<Field, SHORT>)
        field = V_I2(&in);
    else
        field = static_cast<Field>(V_I4(&in));
    return true;
}

} // namespace detail

// The persisted properties of a form: its settings and its font's, by name.
inline activex::PersistedProperties formProperties(const FormSettings& form, IFontDisp* font) {
    activex::PersistedProperties out;
    const auto add = [&](const wchar_t* name, const auto& field) {
        out.push_back({name, detail::persisted(field)});
    };
    visitFormSettings(form, add);
    const FontSettings fontNow = fontSettings(font);
    visitFontSettings(fontNow, add);
    return out;
}

// Takes persisted properties into the settings and the font of a form, all or
// none: E_INVALIDARG for a value of the wrong kind or out of range, and the form
// keeps what it had. Names it does not know are left alone.
inline HRESULT takeFormProperties(const activex::PersistedProperties& properties,
                                  FormSettings& form, activex::ComPtr<IFontDisp>& font) {
    FormSettings next = form;
    FontSettings nextFont = fontSettings(font.get());
    bool fontGiven = false, ok = true;
    for (const activex::PersistedProperty& p : properties) {
        const auto take = [&](const wchar_t* name, auto& field) {
            if (p.name == name)
                ok = ok && detail::take(*p.value.get(), field);
        };
        visitFormSettings(next, take);
        visitFontSettings(nextFont, [&](const wchar_t* name, auto& field) {
            fontGiven = fontGiven || p.name == name;
            take(name, field);
        });
    }
    if (!ok || next.borderStyle < 0 || next.borderStyle > 3 || next.printScale < 0 ||
        next.printScale > 2 || next.pixelsPerInch <= 0 || nextFont.size.int64 <= 0 ||
        nextFont.weight < 0 || nextFont.weight > 1000)
        return E_INVALIDARG;
    activex::ComPtr<IFontDisp> created;
    if (fontGiven) {
        FONTDESC desc{};
        desc.cbSizeofstruct = sizeof desc;
        desc.lpstrName = nextFont.name.data();
        desc.cySize = nextFont.size;
        desc.sWeight = nextFont.weight;
        desc.sCharset = nextFont.charset;
        desc.fItalic = nextFont.italic;
        desc.fUnderline = nextFont.underline;
        desc.fStrikethrough = nextFont.strikethrough;
        const HRESULT hr = OleCreateFontIndirect(&desc, IID_IFontDisp, created.putVoid());
        if (FAILED(hr))
            return hr;
    }
    form = std::move(next);
    if (created)
        font = std::move(created);
    return S_OK;
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
        showForm();
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
        const HRESULT hr = setText(form_.caption, Value);
        showForm();
        return hr;
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
    // Every active form raises the form events, OnActivate to OnPaint.
    bool raisesFormEvents() const noexcept override { return true; }
    // A form's caption is its window's text.
    std::wstring windowText() const override { return form_.caption; }
    activex::PersistedProperties persistedProperties() const override {
        return formProperties(form_, font_.get());
    }
    HRESULT loadProperties(const activex::PersistedProperties& properties) override {
        const HRESULT hr = takeFormProperties(properties, form_, font_);
        if (SUCCEEDED(hr))
            showForm();
        return hr;
    }

    // Shows the form's settings in its window after a change: the caption, the
    // visible and enabled states and the look.
    void showForm() noexcept {
        if (HWND w = this->controlWindow()) {
            SetWindowTextW(w, form_.caption.c_str());
            ShowWindow(w, form_.visible ? SW_SHOWNA : SW_HIDE);
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
