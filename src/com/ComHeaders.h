#pragma once
// Windows and the generated interface declarations, in the one order that works:
// <windows.h> maps GetComputerName and GetDiskFreeSpace to their A/W forms, which
// would rename those methods of _clsTarsin and of the facade. The macros go before
// the generated header declares the interfaces.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#undef GetComputerName
#undef GetDiskFreeSpace

#include "Velmora.h"
