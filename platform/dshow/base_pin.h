#pragma once

// The base of every pin: its name and direction, the connection protocol, media type enumeration
// through GetMediaType, and the state calls its filter passes on (Active, Run, Inactive). A pin is a
// part of its filter: its references are the filter's.
//
// Connecting: the output pin's Connect agrees a media type (the given one when it is complete, else
// the receiving pin's types and then its own, each tried through CheckConnect, CheckMediaType, the
// other pin's ReceiveConnection and CompleteConnect); a failure at any step undoes the connection
// with BreakConnect.

#include "platform/com/cunknown.h"
#include "platform/dshow/crit_sec.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/pin_interfaces.h"

#include <string>
#include <string_view>

namespace platform::dshow {

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
             std::u16string_view pinName, PIN_DIRECTION direction);
    ~CBasePin() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // The filter's count.
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPOLESTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT EndOfStream() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // BeginFlush and EndFlush are left to each pin.

    // IQualityControl
    HRESULT Notify(IBaseFilter* self, Quality q) override;
    HRESULT SetSink(IQualityControl* sink) override;

    // S_OK when the pin accepts the type; S_FALSE or an error when not.
    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    // The type offered at position: S_OK, VFW_S_NO_MORE_ITEMS past the end, E_INVALIDARG below 0.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual LONG GetMediaTypeVersion() { return typeVersion_; }
    virtual HRESULT SetMediaType(const CMediaType* type);
    // Checks the other pin before a type is tried (by default: it has the other direction).
    virtual HRESULT CheckConnect(IPin* pin);
    // Undoes what CheckConnect and CompleteConnect set up.
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* receivePin);
    // State changes from the filter (under its lock): stopped to paused, paused to running, to stopped.
    virtual HRESULT Active();
    virtual HRESULT Run(REFERENCE_TIME start);
    virtual HRESULT Inactive();

    bool IsConnected() const { return connected_ != nullptr; }
    IPin* GetConnected() const { return connected_; }
    bool IsStopped() const;
    const std::u16string& Name() const { return name_; }
    PIN_DIRECTION Direction() const { return direction_; }
    const CMediaType& CurrentMediaType() const { return mt_; }
    CBaseFilter* Filter() const { return filter_; }

protected:
    void IncrementTypeVersion() { ++typeVersion_; }

    CBaseFilter* filter_;
    CCritSec* lock_;
    CMediaType mt_;
    IPin* connected_ = nullptr; // holds a reference
    IQualityControl* qualitySink_ = nullptr;
    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME segmentStop_ = 0;
    double segmentRate_ = 1.0;

private:
    HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* type);
    HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* pattern, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);
    void ReleaseConnection();

    std::u16string name_;
    PIN_DIRECTION direction_;
    LONG typeVersion_ = 1;
};

} // namespace platform::dshow
