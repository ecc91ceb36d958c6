#pragma once
// What the objects of Tarsin.dll share: the count of live objects and server
// locks (for DllCanUnloadNow) and the type information of the embedded library.
#include "com/ComHeaders.h"

namespace velmora::com {

void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);

// The path of Tarsin.dll itself (not the host program's).
HRESULT ModulePath(wchar_t* path, DWORD size);

// Type information of one interface of the embedded type library, loaded from the
// DLL file once (no registration needed) and cached. The caller gets a reference.
HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** info);

}  // namespace velmora::com
