// Defines the GUIDs of the Norvellix1C type library (declared in Norvellix1C.h).
// clang-format off
#include <windows.h>
#include <initguid.h>
#include "Norvellix1C.h"
// clang-format on
