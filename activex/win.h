// The Windows and OLE headers of the framework, in the order they need
// (windows.h first; the lean build leaves OLE out of windows.h).
#pragma once

// clang-format off
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <ocidl.h>
// clang-format on
