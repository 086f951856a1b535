#pragma once

// Enumerator of the media types a pin offers through GetMediaType (see enum_pins.h).

#include "platform/com/cunknown.h"
#include "platform/dshow/pin_interfaces.h"

namespace platform::dshow {

class CBasePin;

class CEnumMediaTypes final : public CUnknown, public IEnumMediaTypes {
public:
    CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other);
    ~CEnumMediaTypes() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** copy) override;

private:
    bool OutOfSync() const;

    CBasePin* pin_;
    int position_ = 0;
    LONG version_;
};

} // namespace platform::dshow
