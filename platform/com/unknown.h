#pragma once

// IUnknown and IClassFactory, the two interfaces every component starts from.

#include "platform/com/guid.h"
#include "platform/com/types.h"

namespace platform::com {

inline constexpr IID IID_IUnknown = makeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = makeGuid("{00000001-0000-0000-C000-000000000046}");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    // outer is the controlling unknown of an aggregate; then riid must be IID_IUnknown.
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

} // namespace platform::com
