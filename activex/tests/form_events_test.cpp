// The events every active form raises at its host, from the framework's one hook:
// activation and in-place deactivation, clicks, double-clicks, key presses (the
// host's Key replaces the character) and paints, as a host sees them.
#include "ActiveXTest.h"
#include "activex/control.h"
#include "activex/tests/form_host.h"
#include "activex/unknown.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

using namespace activex;
using namespace activex::testing;
using Events = std::vector<DISPID>;

namespace {

// An active form: it raises the form events, and keeps the characters it goes on
// with after its host's OnKeyPress.
class FormTestControl final : public Control<FormTestControl, ITestControl> {
public:
    static constexpr ControlClass kClass{
        &CLSID_FormTestControl,     &IID_ITestControl, &DIID_ITestControlEvents, 1,
        OLEMISC_SETCLIENTSITEFIRST, {2646, 1323}}; // 100 x 50 pixels at 96 per inch
    explicit FormTestControl(std::wstring& typed) : Control(kClass), typed_(typed) {}

    HRESULT STDMETHODCALLTYPE Twice(LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RaiseText(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Fail() override { return E_NOTIMPL; }

private:
    bool raisesFormEvents() const noexcept override { return true; }
    void keyPressed(wchar_t key) override { typed_ += key; }

    std::wstring& typed_;
};

class Factory final : public SelfOwned<Factory, IClassFactory> {
public:
    explicit Factory(std::wstring& typed) : typed_(typed) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return answerQuery(static_cast<IClassFactory*>(this),
                           riid == IID_IUnknown || riid == IID_IClassFactory, ppv);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        auto control =
            ComPtr<ITestControl>::adopt(std::make_unique<FormTestControl>(typed_).release());
        return control->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::wstring& typed_;
};

class FormEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        auto factory = ComPtr<IClassFactory>::adopt(new Factory(typed_));
        ASSERT_EQ(CoRegisterClassObject(CLSID_FormTestControl, factory.get(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie_),
                  S_OK);
        form_ = std::make_unique<FormHost>(CLSID_FormTestControl);
        ASSERT_NE(form_->window(), nullptr);
    }
    void TearDown() override {
        form_.reset();
        CoRevokeClassObject(cookie_);
        OleUninitialize();
    }

    DWORD cookie_ = 0;
    std::wstring typed_;
    std::unique_ptr<FormHost> form_;
};

TEST_F(FormEvents, FormCreatedOnActivationActivatedAndDestroyedWithItsWindow) {
    EXPECT_EQ(form_->take(), Events{kOnCreate}) << "the host advised before activating";
    ASSERT_EQ(form_->control().object()->DoVerb(OLEIVERB_UIACTIVATE, nullptr, nullptr, 0,
                                                form_->host(), nullptr),
              S_OK);
    EXPECT_EQ(form_->take(), Events{kOnActivate});
    EXPECT_EQ(GetFocus(), form_->window()) << "the active form has the keyboard";
    form_->inPlace()->UIDeactivate();
    EXPECT_EQ(form_->take(), Events{kOnDeactivate});
    const HWND window = form_->window();
    form_->inPlace()->InPlaceDeactivate();
    EXPECT_EQ(form_->take(), Events{kOnDestroy});
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FormEvents, ClicksDoubleClicksAndPaints) {
    form_->take();
    // The first click activates the form; a button released outside it is no click.
    form_->click(5, 5);
    EXPECT_EQ(form_->take(), (Events{kOnActivate, kOnClick}));
    form_->press(5, 5);
    form_->release(150, 5);
    EXPECT_EQ(form_->take(), Events{});
    // A double click: the first press clicks, the second is the double click only.
    form_->doubleClick(5, 5);
    EXPECT_EQ(form_->take(), (Events{kOnClick, kOnDblClick}));
    form_->repaint();
    EXPECT_EQ(form_->take(), Events{kOnPaint});
    // The form's events are dropped while the host has frozen events (not kept).
    ComPtr<IOleControl> ole;
    form_->control().object()->QueryInterface(IID_IOleControl, ole.putVoid());
    ole->FreezeEvents(TRUE);
    form_->click(5, 5);
    ole->FreezeEvents(FALSE);
    EXPECT_EQ(form_->take(), Events{});
}

TEST_F(FormEvents, TheKeyTheHostLeavesReplacesThePressedCharacter) {
    const struct {
        std::optional<short> reply;
        std::wstring typed;
    } cases[] = {{std::nullopt, L"a"}, {short{'B'}, L"B"}, {short{0}, L""}};
    for (const auto& c : cases) {
        typed_.clear();
        form_->keys.clear();
        form_->reply = c.reply;
        form_->type(L'a');
        EXPECT_EQ(form_->keys, std::vector<short>{'a'}) << "the pressed character's code";
        EXPECT_EQ(typed_, c.typed) << "reply " << (c.reply ? *c.reply : -1);
    }
}

} // namespace
