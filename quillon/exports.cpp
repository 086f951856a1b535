// The four exports of _Quillon.ax. Everything else in the module is hidden (exports.map), so that two
// modules built on the same base classes never bind to each other's copies.

#include "platform/dshow/factory_template.h"
#include "quillon/factory_table.h"

using platform::com::HRESULT;
using platform::com::REFCLSID;
using platform::com::REFIID;

namespace {
// What the module says about itself, kept where file tools can read it.
[[gnu::used, gnu::section(".kes_version")]] const char kVersionInfo[] =
    "FileDescription=Multiple MPEG2 Source Filter\0FileVersion=1.00\0ActiveMovie=Filter "
    "dll\0OLESelfRegister=AM20";
} // namespace

extern "C" {

[[gnu::visibility("default")]] HRESULT DllRegisterServer() {
    return platform::dshow::AMovieDllRegisterServer2(quillon::factoryTable(), platform::com::TRUE);
}

[[gnu::visibility("default")]] HRESULT DllUnregisterServer() {
    return platform::dshow::AMovieDllRegisterServer2(quillon::factoryTable(), platform::com::FALSE);
}

[[gnu::visibility("default")]] HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return platform::dshow::GetClassObjectFromTable(quillon::factoryTable(), clsid, riid, ppv);
}

[[gnu::visibility("default")]] HRESULT DllCanUnloadNow() {
    return platform::dshow::CanUnloadModule();
}

} // extern "C"
