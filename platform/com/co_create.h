#pragma once

// Creating objects by class identifier. A class is found first in the process's built-in table
// (the platform's own components), then in the registry store, whose InprocServer32 path names the
// shared object to load. Loaded servers stay loaded until CoFreeUnusedLibraries finds them idle.

#include "platform/com/unknown.h"

#include <functional>
#include <string_view>

namespace platform::com {

// Makes a class-factory object for a built-in class (a new reference), or nullptr.
using BuiltinFactoryFn = std::function<IClassFactory*()>;

// Adds or replaces a built-in class.
void registerBuiltinClass(const CLSID& clsid, BuiltinFactoryFn makeFactory);
void unregisterBuiltinClass(const CLSID& clsid);

// Nothing to set up per thread; kept so that hosts read as they do on the original platform.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, REFIID riid, void** ppv);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv);
// Unloads every loaded server that reports it can unload.
void CoFreeUnusedLibraries();
// The number of servers loaded through the registry.
size_t loadedServerCount();

} // namespace platform::com
