// Defines the GUIDs of the Brevantel type library (declared in Brevantel.h).
// clang-format off
#include <windows.h>
#include <initguid.h>
#include "Brevantel.h"
// clang-format on
