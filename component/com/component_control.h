// The COM shell of the caller-ID component: the ActiveX control Norvellix_Component
// over component::TNorvellix_Component. It has no method; its interface carries the
// form's properties, and its events reach at most one sink.
#pragma once

#include "Norvellix1C.h"
#include "activex/control.h"
#include "component/norvellix_component.h"
#include "crmcontrol/com/host_services.h"
#include "hidcontroller/windows/window_ui_thread.h"

#include <memory>
#include <string>

namespace component::com {

// The settings of the form that carries the component.
struct FormSettings {
    bool visible = true;
    bool autoScroll = false;
    bool autoSize = true;
    TxActiveFormBorderStyle borderStyle = afbNone;
    std::wstring caption = L"Norvellix";
    OLE_COLOR color = 0x0000FF; // red
    bool keyPreview = false;
    LONG pixelsPerInch = 96;
    TxPrintScale printScale = poProportional;
    bool scaled = true;
    bool dropTarget = false;
    std::wstring helpFile;
    bool screenSnap = false;
    LONG snapBuffer = 10;
    bool doubleBuffered = false;
    bool enabled = true;
};

class NorvellixComponentControl final
    : public activex::Control<NorvellixComponentControl, INorvellix_Component>,
      private ComponentEvents,
      private ComponentHost {
public:
    static const activex::ControlClass kClass;

    NorvellixComponentControl();
    ~NorvellixComponentControl() override;

    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AutoScroll(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_AutoScroll(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AutoSize(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_AutoSize(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AxBorderStyle(TxActiveFormBorderStyle* Value) override;
    HRESULT STDMETHODCALLTYPE put_AxBorderStyle(TxActiveFormBorderStyle Value) override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Color(OLE_COLOR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Color(OLE_COLOR Value) override;
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) override;
    HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* Value) override;
    HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* Value) override;
    HRESULT STDMETHODCALLTYPE get_KeyPreview(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_KeyPreview(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_PixelsPerInch(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_PixelsPerInch(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_PrintScale(TxPrintScale* Value) override;
    HRESULT STDMETHODCALLTYPE put_PrintScale(TxPrintScale Value) override;
    HRESULT STDMETHODCALLTYPE get_Scaled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_Scaled(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE get_DropTarget(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_DropTarget(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_HelpFile(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_ScreenSnap(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_ScreenSnap(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_SnapBuffer(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_SnapBuffer(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) override;

private:
    void paintFace(HDC dc, const RECT& bounds) override;
    void showForm() noexcept;

    void OnCallerID(const CallerIdRecord& call) override;
    void OnDeviceConnection(const std::string& DevSerialNo) override;
    void OnDeviceDisconnected(const std::string& DevSerialNo) override;
    std::string dateText() override { return clock_.dateText(); }
    std::string timeText() override { return clock_.timeText(); }
    std::uint32_t randomSeed() override;

    FormSettings form_;
    activex::ComPtr<IFontDisp> font_;
    crmcontrol::com::WindowsHostServices clock_;
    hidcontroller::WindowUiThread ui_;
    std::unique_ptr<TNorvellix_Component> core_;
};

} // namespace component::com
