// The adapter control Malvo: an active form that embeds the caller-ID component
// Norvellix_Component, created by its class id with the form, and republishes each
// of the component's calls at once under IMalvoEvents, in its own argument order.
#pragma once

#include "Brevantel.h"
#include "activex/container/hosted_control.h"
#include "activex/form_control.h"
#include "adapter/jpeg_picture.h"
#include "platform/windows/handles.h"

#include <memory>
#include <optional>

namespace adapter {

class MalvoControl final
    : public activex::FormControl<MalvoControl, IMalvo, TxActiveFormBorderStyle, TxPrintScale>,
      private activex::container::EventHandler {
public:
    static const activex::ControlClass kClass;

    // Throws activex::ComError when the caller-ID component cannot be created.
    MalvoControl();
    ~MalvoControl() override;

    HRESULT STDMETHODCALLTYPE AboutBox() override;
    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE get_About(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_About(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE Command(BSTR Command, BSTR* Status) override;

private:
    void paintFace(HDC dc, const RECT& bounds) override;
    // The embedded component's events: only OnCallerID is hooked.
    void onEvent(DISPID dispid, DISPPARAMS& params) override;

    std::optional<Picture> picture_;
    // The form's own window, hidden, that the embedded component is sited in.
    platform::UniqueHwnd form_;
    std::unique_ptr<activex::container::HostedControl> component_;
};

} // namespace adapter
