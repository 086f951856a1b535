#include "platform/com/class_factory.h"

namespace platform::com {

ClassFactory::ClassFactory(CreateInstanceFn create) : CUnknown("class factory", nullptr), create_(create) {}

HRESULT ClassFactory::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IClassFactory)
        return GetInterface(static_cast<IClassFactory*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return createWith(create_, outer, riid, ppv);
}

HRESULT ClassFactory::createWith(CreateInstanceFn create, IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // An aggregated object may only be asked for its own unknown.
    if (outer && riid != IID_IUnknown)
        return E_NOINTERFACE;
    if (!create)
        return E_UNEXPECTED;
    HRESULT hr = S_OK;
    CUnknown* object = create(outer, &hr);
    if (!object)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    moduleLock(lock != FALSE);
    return S_OK;
}

} // namespace platform::com
