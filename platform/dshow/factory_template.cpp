#include "platform/dshow/factory_template.h"

#include "platform/com/class_registry.h"
#include "platform/com/inproc_server.h"

namespace platform::dshow {

HRESULT GetClassObjectFromTable(FactoryTable table, REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    for (const CFactoryTemplate& entry : table) {
        if (!entry.IsClassID(clsid))
            continue;
        auto* factory = new platform::com::ClassFactory(entry.m_lpfnNew);
        factory->NonDelegatingAddRef();
        const HRESULT hr = factory->NonDelegatingQueryInterface(riid, ppv);
        factory->NonDelegatingRelease();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadModule() {
    return platform::com::moduleCanUnload() ? S_OK : S_FALSE;
}

HRESULT AMovieDllRegisterServer2(FactoryTable table, BOOL doRegister, const std::string& modulePath) {
    const std::string path =
        modulePath.empty()
            ? platform::com::modulePathOf(reinterpret_cast<const void*>(&AMovieDllRegisterServer2))
            : modulePath;
    if (path.empty())
        return E_FAIL;
    HRESULT result = S_OK;
    // Every class of the module in one change of the store, which a module registered as before
    // leaves unwritten.
    platform::core::registry::Changes changes;
    for (const CFactoryTemplate& entry : table) {
        if (!entry.m_ClsID)
            continue;
        if (entry.m_lpfnInit)
            entry.m_lpfnInit(doRegister, entry.m_ClsID);
        if (doRegister) {
            const char* name = entry.m_Name ? entry.m_Name : "";
            platform::com::addInprocServer(changes, *entry.m_ClsID, name, path, kThreadingModelBoth);
            if (entry.m_pAMovieSetup_Filter && !addFilter(changes, *entry.m_pAMovieSetup_Filter))
                result = SELFREG_E_CLASS;
        } else {
            // Removing what is not there is no failure.
            if (entry.m_pAMovieSetup_Filter)
                unregisterFilter(*entry.m_ClsID);
            platform::com::unregisterClass(*entry.m_ClsID);
        }
    }
    if (!changes.apply())
        result = SELFREG_E_CLASS;
    return result;
}

} // namespace platform::dshow
