// The persisted state of a control of the framework: its extent and its properties
// by name. IPersistStreamInit keeps it in the stream form below, IPersistPropertyBag
// by the same names; a host that embeds a control may hand it this state at creation.
#pragma once

#include "activex/variant.h"
#include "activex/win.h"

#include <string>
#include <vector>

namespace activex {

// One property: its name and value (VT_BOOL, VT_I2, VT_I4, VT_CY or VT_BSTR).
struct PersistedProperty {
    std::wstring name;
    Variant value;
};
using PersistedProperties = std::vector<PersistedProperty>;

struct PersistedState {
    SIZEL extent{}; // HIMETRIC
    PersistedProperties properties;
};

// The stream form: the tag "ANXS", a version, the extent, and in version 2 the
// number of properties, then each as its name (a count of UTF-16 units and the
// units), its VARTYPE and its value (a BSTR as a count and the units), all
// little-endian. Version 1 is the extent alone, as a control without properties
// still writes it.
// Throws ComError(E_INVALIDARG) for a value of another type.
std::vector<BYTE> encodeState(const PersistedState& state);
// Throws ComError: STG_E_READFAULT when the stream ends early, E_INVALIDARG when
// it holds no state of a control of ours (or a broken one), the stream's error
// otherwise.
PersistedState readState(IStream& stream);
// Throws ComError: STG_E_WRITEFAULT when the stream takes less than all of it.
void writeState(IStream& stream, const PersistedState& state);

} // namespace activex
