// The stream form of a control's persisted state.
#include "activex/persisted_state.h"

#include "activex/bstr.h"
#include "activex/hresult.h"

#include <utility>

namespace activex {
namespace {

constexpr DWORD kTag = 0x53584e41; // "ANXS"
constexpr DWORD kExtentOnly = 1;
constexpr DWORD kWithProperties = 2;
// Bounds of a sound state: far beyond any control's, short of what a broken
// stream would make us allocate.
constexpr DWORD kMaxProperties = 1024;
constexpr DWORD kMaxTextUnits = 1 << 16;

class Writer {
public:
    template <typename T> void put(const T& value) {
        const auto* bytes = reinterpret_cast<const BYTE*>(&value);
        out_.insert(out_.end(), bytes, bytes + sizeof(T));
    }
    void putText(const wchar_t* text, size_t units) {
        put(static_cast<DWORD>(units));
        const auto* bytes = reinterpret_cast<const BYTE*>(text);
        out_.insert(out_.end(), bytes, bytes + units * sizeof(wchar_t));
    }
    std::vector<BYTE> take() { return std::move(out_); }

private:
    std::vector<BYTE> out_;
};

class Reader {
public:
    explicit Reader(IStream& stream) : stream_(stream) {}
    template <typename T> T get() {
        T value{};
        read(&value, sizeof(T));
        return value;
    }
    std::wstring getText() {
        const DWORD units = get<DWORD>();
        if (units > kMaxTextUnits)
            throw ComError(E_INVALIDARG, "reading a control's state: a text too long");
        std::wstring text(units, L'\0');
        read(text.data(), units * sizeof(wchar_t));
        return text;
    }

private:
    void read(void* to, ULONG size) {
        ULONG got = 0;
        check(stream_.Read(to, size, &got), "IStream::Read");
        if (got != size)
            throw ComError(STG_E_READFAULT, "reading a control's state: the stream ends early");
    }
    IStream& stream_;
};

} // namespace

std::vector<BYTE> encodeState(const PersistedState& state) {
    Writer w;
    w.put(kTag);
    // A control without properties writes the extent-only form, as it always has.
    w.put(state.properties.empty() ? kExtentOnly : kWithProperties);
    w.put(state.extent.cx);
    w.put(state.extent.cy);
    if (state.properties.empty())
        return w.take();
    w.put(static_cast<DWORD>(state.properties.size()));
    for (const PersistedProperty& p : state.properties) {
        w.putText(p.name.data(), p.name.size());
        const VARIANT& v = *p.value.get();
        w.put(V_VT(&v));
        switch (V_VT(&v)) {
        case VT_BOOL:
            w.put(V_BOOL(&v));
            break;
        case VT_I2:
            w.put(V_I2(&v));
            break;
        case VT_I4:
            w.put(V_I4(&v));
            break;
        case VT_CY:
            w.put(V_CY(&v).int64);
            break;
        case VT_BSTR:
            w.putText(V_BSTR(&v) ? V_BSTR(&v) : L"", SysStringLen(V_BSTR(&v)));
            break;
        default:
            throw ComError(E_INVALIDARG, "persisting a property of a type the state cannot hold");
        }
    }
    return w.take();
}

PersistedState readState(IStream& stream) {
    Reader r(stream);
    const DWORD tag = r.get<DWORD>();
    const DWORD version = r.get<DWORD>();
    if (tag != kTag || (version != kExtentOnly && version != kWithProperties))
        throw ComError(E_INVALIDARG, "reading a control's state: not a state of ours");
    PersistedState state;
    state.extent.cx = r.get<LONG>();
    state.extent.cy = r.get<LONG>();
    if (state.extent.cx <= 0 || state.extent.cy <= 0)
        throw ComError(E_INVALIDARG, "reading a control's state: an empty extent");
    if (version == kExtentOnly)
        return state;
    const DWORD count = r.get<DWORD>();
    if (count > kMaxProperties)
        throw ComError(E_INVALIDARG, "reading a control's state: too many properties");
    for (DWORD i = 0; i < count; ++i) {
        PersistedProperty p;
        p.name = r.getText();
        VARIANT& v = *p.value.get();
        const VARTYPE type = r.get<VARTYPE>();
        switch (type) {
        case VT_BOOL:
            V_BOOL(&v) = r.get<VARIANT_BOOL>();
            break;
        case VT_I2:
            V_I2(&v) = r.get<SHORT>();
            break;
        case VT_I4:
            V_I4(&v) = r.get<LONG>();
            break;
        case VT_CY:
            V_CY(&v).int64 = r.get<LONGLONG>();
            break;
        case VT_BSTR:
            V_BSTR(&v) = Bstr(r.getText()).detach();
            break;
        default:
            throw ComError(E_INVALIDARG, "reading a control's state: a value of unknown type");
        }
        V_VT(&v) = type;
        state.properties.push_back(std::move(p));
    }
    return state;
}

void writeState(IStream& stream, const PersistedState& state) {
    const std::vector<BYTE> bytes = encodeState(state);
    ULONG written = 0;
    check(stream.Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), "IStream::Write");
    if (written != bytes.size())
        throw ComError(STG_E_WRITEFAULT, "writing a control's state: the stream took less");
}

} // namespace activex
