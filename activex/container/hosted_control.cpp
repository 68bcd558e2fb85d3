// Hosting one control. The order follows what controls expect of a host: the
// client site first when the control's MiscStatus asks for it, initialisation
// of its persistent state, extent, events, then in-place activation.
#include "activex/container/hosted_control.h"

#include "activex/bstr.h"
#include "activex/hresult.h"

namespace activex::container {

namespace {

std::optional<IID> sourceFromTypeInfo(IUnknown* control) {
    ComPtr<IProvideClassInfo> provide;
    ComPtr<ITypeInfo> coclass;
    if (FAILED(control->QueryInterface(IID_IProvideClassInfo, provide.putVoid())) ||
        FAILED(provide->GetClassInfo(coclass.put())) || !coclass)
        return std::nullopt;
    TYPEATTR* attr = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attr)))
        return std::nullopt;
    const WORD implemented = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < implemented; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) ||
            (flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
                (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) ||
            FAILED(coclass->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(coclass->GetRefTypeInfo(ref, source.put())))
            continue;
        TYPEATTR* sourceAttr = nullptr;
        if (FAILED(source->GetTypeAttr(&sourceAttr)))
            continue;
        IID iid = sourceAttr->guid;
        source->ReleaseTypeAttr(sourceAttr);
        return iid;
    }
    return std::nullopt;
}

// A host thread outside a single-threaded apartment serves no messages of its
// windows while it waits on a call into another apartment: a control created in
// one (an apartment-threaded control made from a free-threaded host) would block
// on its first message to the host's window. Such a host keeps the control
// loaded, initialised and connected, but not activated in place.
bool inSingleThreadedApartment() noexcept {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) &&
           (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

} // namespace

std::optional<IID> defaultSourceInterface(IUnknown* control) {
    ComPtr<IProvideClassInfo2> provide2;
    IID iid{};
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2, provide2.putVoid())) &&
        SUCCEEDED(provide2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid)))
        return iid;
    return sourceFromTypeInfo(control);
}

HostedControl::HostedControl(const CLSID& clsid, HWND host, const HostingOptions& options,
                             EventHandler* events) {
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.putVoid()),
          "CoCreateInstance");
    site_ = ControlSite::create(host, options.rect, options.ambients);
    // From here on a failure must undo what is done: the destructor does not
    // run for a constructor that throws.
    try {
        // A control that fails to report it gets the default order.
        if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_)))
            miscStatus_ = 0;
        const bool siteFirst = (miscStatus_ & OLEMISC_SETCLIENTSITEFIRST) != 0;
        if (siteFirst)
            check(object_->SetClientSite(site_.get()), "IOleObject::SetClientSite");
        initialisePersistence(options.persistedState);
        if (!siteFirst)
            check(object_->SetClientSite(site_.get()), "IOleObject::SetClientSite");
        if (!options.containerName.empty())
            // Only a name for the control's windows: a refusal changes nothing.
            object_->SetHostNames(options.containerName.c_str(), nullptr);

        SIZEL extent = options.extentHimetric.value_or(
            SIZEL{pixelsToHimetricX(options.rect.right - options.rect.left),
                  pixelsToHimetricY(options.rect.bottom - options.rect.top)});
        // A control of fixed size may refuse; it keeps its own then.
        object_->SetExtent(DVASPECT_CONTENT, &extent);

        if (events)
            connectEvents(options, *events);

        RECT rect = options.rect;
        if (inSingleThreadedApartment())
            check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host, &rect),
                  "IOleObject::DoVerb(OLEIVERB_INPLACEACTIVATE)");
        object_.as(inPlace_);
        site_->attach(inPlace_.get());
        object_.as(dispatch_);
    } catch (...) {
        teardown();
        throw;
    }
}

void HostedControl::initialisePersistence(const std::vector<BYTE>& state) {
    if (!state.empty()) {
        ComPtr<IPersistStreamInit> persist;
        check(object_.as(persist), "QueryInterface(IPersistStreamInit)");
        ComPtr<IStream> stream;
        check(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), "CreateStreamOnHGlobal");
        check(stream->Write(state.data(), static_cast<ULONG>(state.size()), nullptr),
              "IStream::Write");
        check(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), "IStream::Seek");
        check(persist->Load(stream.get()), "IPersistStreamInit::Load");
        return;
    }
    if (auto stream = object_.as<IPersistStreamInit>()) {
        check(stream->InitNew(), "IPersistStreamInit::InitNew");
        return;
    }
    if (auto bag = object_.as<IPersistPropertyBag>()) {
        check(bag->InitNew(), "IPersistPropertyBag::InitNew");
        return;
    }
    // A control without persistent state needs no initialisation.
}

void HostedControl::connectEvents(const HostingOptions& options, EventHandler& events) {
    std::optional<IID> source =
        options.eventInterface ? options.eventInterface : defaultSourceInterface(object_.get());
    if (!source)
        throw ComError(E_NOINTERFACE, "finding the control's source interface");
    ComPtr<IConnectionPointContainer> points;
    check(object_.as(points), "QueryInterface(IConnectionPointContainer)");
    check(points->FindConnectionPoint(*source, connectionPoint_.put()),
          "IConnectionPointContainer::FindConnectionPoint");
    sink_ = EventSink::create(*source, events);
    check(connectionPoint_->Advise(static_cast<IDispatch*>(sink_.get()), &cookie_),
          "IConnectionPoint::Advise");
}

HostedControl::~HostedControl() {
    teardown();
}

void HostedControl::teardown() noexcept {
    // Each step is the control's to refuse; the next runs regardless, and the
    // last reference goes in the end.
    if (cookie_ != 0 && connectionPoint_)
        connectionPoint_->Unadvise(cookie_);
    cookie_ = 0;
    if (sink_)
        sink_->disconnect();
    if (site_)
        site_->attach(nullptr);
    if (inPlace_)
        inPlace_->InPlaceDeactivate();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    if (site_)
        site_->detach();
    connectionPoint_.reset();
    sink_.reset();
    dispatch_.reset();
    inPlace_.reset();
    object_.reset();
    site_.reset();
}

void HostedControl::callMethod(DISPID dispid) {
    if (!dispatch_)
        throw ComError(E_NOINTERFACE, "QueryInterface(IDispatch)");
    DISPPARAMS none{};
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                   nullptr, &exception, &argError);
    // The texts of a control's exception are the caller's to free.
    Bstr source = Bstr::adopt(exception.bstrSource);
    Bstr description = Bstr::adopt(exception.bstrDescription);
    Bstr helpFile = Bstr::adopt(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION && FAILED(exception.scode))
        hr = exception.scode;
    check(hr, "IDispatch::Invoke");
}

HWND HostedControl::controlWindow() const noexcept {
    HWND window = nullptr;
    if (!inPlace_ || FAILED(inPlace_->GetWindow(&window)))
        return nullptr;
    return window;
}

SIZEL HostedControl::resize(SIZEL himetric) {
    check(object_->SetExtent(DVASPECT_CONTENT, &himetric), "IOleObject::SetExtent");
    SIZEL now{};
    check(object_->GetExtent(DVASPECT_CONTENT, &now), "IOleObject::GetExtent");
    return now;
}

} // namespace activex::container
