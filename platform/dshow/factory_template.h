#pragma once

// The class table of a filter module and the work behind its four exports: DllGetClassObject hands out
// a class factory for a listed class, DllCanUnloadNow answers from the module's live objects and
// locks, and AMovieDllRegisterServer2 registers (or removes) every listed class as an in-process
// server of the module's file and every listed filter with its registration data.

#include "platform/com/class_factory.h"
#include "platform/dshow/filter_registration.h"

#include <span>
#include <string>

namespace platform::dshow {

inline constexpr const char* kThreadingModelBoth = "Both";

struct CFactoryTemplate {
    const char* m_Name;
    const CLSID* m_ClsID;
    platform::com::CreateInstanceFn m_lpfnNew;
    // Called with TRUE when the module registers, FALSE when it unregisters; may be nullptr.
    void (*m_lpfnInit)(BOOL loading, const CLSID* clsid);
    // Filter registration data, or nullptr for classes that are not filters (property pages).
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    bool IsClassID(REFCLSID clsid) const { return m_ClsID && *m_ClsID == clsid; }
};

using FactoryTable = std::span<const CFactoryTemplate>;

HRESULT GetClassObjectFromTable(FactoryTable table, REFCLSID clsid, REFIID riid, void** ppv);
HRESULT CanUnloadModule();
// The module's file is the shared object that holds this code (or modulePath when given).
HRESULT AMovieDllRegisterServer2(FactoryTable table, BOOL doRegister, const std::string& modulePath = {});

} // namespace platform::dshow
