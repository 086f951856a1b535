#pragma once

// The four exports of a filter module over its class table. Everything else in a module is hidden
// (exports.map), so that two modules built on the same base classes never bind to each other's copies.

#include "platform/dshow/factory_template.h"

#define KES_FILTER_MODULE_EXPORTS(tableFunction)                                                             \
    extern "C" {                                                                                             \
    [[gnu::visibility("default")]] platform::com::HRESULT DllRegisterServer() {                              \
        return platform::dshow::AMovieDllRegisterServer2(tableFunction(), platform::com::TRUE);              \
    }                                                                                                        \
    [[gnu::visibility("default")]] platform::com::HRESULT DllUnregisterServer() {                            \
        return platform::dshow::AMovieDllRegisterServer2(tableFunction(), platform::com::FALSE);             \
    }                                                                                                        \
    [[gnu::visibility("default")]] platform::com::HRESULT                                                    \
    DllGetClassObject(platform::com::REFCLSID clsid, platform::com::REFIID riid, void** ppv) {               \
        return platform::dshow::GetClassObjectFromTable(tableFunction(), clsid, riid, ppv);                  \
    }                                                                                                        \
    [[gnu::visibility("default")]] platform::com::HRESULT DllCanUnloadNow() {                                \
        return platform::dshow::CanUnloadModule();                                                           \
    }                                                                                                        \
    }
