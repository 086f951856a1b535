#pragma once

// Enumerators of a filter's pins and of a pin's media types. Each holds a reference to what it walks
// and answers VFW_E_ENUM_OUT_OF_SYNC once the pins or types changed since it was made or reset.

#include "platform/com/cunknown.h"
#include "platform/dshow/pin_interfaces.h"

namespace platform::dshow {

class CBaseFilter;

class CEnumPins final : public CUnknown, public IEnumPins {
public:
    // other: an enumerator to copy the position of (Clone), or nullptr.
    CEnumPins(CBaseFilter* filter, const CEnumPins* other);
    ~CEnumPins() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** copy) override;

private:
    bool OutOfSync() const;

    CBaseFilter* filter_;
    int position_ = 0;
    LONG version_;
};

} // namespace platform::dshow
