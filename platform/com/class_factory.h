#pragma once

// A class factory over a creation function, the object that DllGetClassObject hands out. It counts as
// a live object of its module, and LockServer keeps the module loaded.

#include "platform/com/cunknown.h"

namespace platform::com {

// Creates the object (with a reference count of 0) or returns nullptr; may set *hr to a failure.
using CreateInstanceFn = CUnknown* (*)(IUnknown* outer, HRESULT* hr);

class ClassFactory final : public IClassFactory, public CUnknown {
public:
    explicit ClassFactory(CreateInstanceFn create);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT LockServer(BOOL lock) override;

    // The creation a factory performs, without a factory object (for built-in classes).
    static HRESULT createWith(CreateInstanceFn create, IUnknown* outer, REFIID riid, void** ppv);

private:
    CreateInstanceFn create_;
};

} // namespace platform::com
