// Defines the GUIDs of the Norvellix type library (declared in Norvellix.h).
// clang-format off
#include <windows.h>
#include <initguid.h>
#include "Norvellix.h"
// clang-format on
