#pragma once
// The two creatable classes of Tarsin.dll: one row each, read by DllGetClassObject
// and by the registration.
#include <span>

#include "com/ComHeaders.h"

namespace velmora::com {

struct ClassEntry {
    const CLSID& clsid;
    const wchar_t* progId;   // also the class's description in the registry
    const wchar_t* version;  // the class's type-library version
    IClassFactory* factory;
};

std::span<const ClassEntry> Classes();
IClassFactory* FactoryOf(REFCLSID clsid);

// Each object's constructor, used by its class factory.
HRESULT CreateTarsin(REFIID iid, void** object);
HRESULT CreateSoftWare(REFIID iid, void** object);

}  // namespace velmora::com
