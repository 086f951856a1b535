#include "platform/com/com_ptr.h"
#include "platform/com/task_memory.h"
#include "platform/dshow/guids.h"
#include "test_filters.h"

#include <gtest/gtest.h>

#include <cstring>

namespace platform::dshow {
namespace {

using test::Holder;
using test::PushOutputPin;
using test::RecordingInputPin;

std::vector<CMediaType> audioTypes() {
    return {CMediaType(MEDIATYPE_Audio, MEDIASUBTYPE_DOLBY_AC3),
            CMediaType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM)};
}

TEST(PinConnection, AgreesOnATypeBothPinsAccept) {
    Holder source, sink;
    auto* out = source->add<PushOutputPin>(audioTypes(), GUID_NULL);
    auto* in = sink->add<RecordingInputPin>(MEDIASUBTYPE_PCM);
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);
    EXPECT_EQ(out->GetConnected(), in);
    EXPECT_EQ(in->GetConnected(), out);
    EXPECT_EQ(*in->CurrentMediaType().Subtype(), MEDIASUBTYPE_PCM);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(out->ConnectionMediaType(&type), S_OK);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_PCM);
    FreeMediaType(type);

    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(in->ReceiveConnection(out, &out->CurrentMediaType()), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(out->Disconnect(), S_OK);
    EXPECT_EQ(in->Disconnect(), S_OK);
    EXPECT_EQ(out->Disconnect(), S_FALSE);
    EXPECT_FALSE(out->IsConnected());
}

TEST(PinConnection, RefusalsLeaveBothPinsUnconnected) {
    Holder source, sink, other;
    auto* out = source->add<PushOutputPin>(audioTypes(), GUID_NULL);
    auto* in = sink->add<RecordingInputPin>(MEDIASUBTYPE_MPEG2_AUDIO);
    EXPECT_EQ(out->Connect(in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(out->IsConnected());
    EXPECT_FALSE(in->IsConnected());

    // A complete type is tried as given; the output pin's own check refuses it here.
    auto* picky = other->add<PushOutputPin>(audioTypes(), MEDIASUBTYPE_DOLBY_AC3);
    auto* pcmIn = sink->add<RecordingInputPin>(MEDIASUBTYPE_PCM);
    CMediaType pcm(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    pcm.SetFormatType(&FORMAT_WaveFormatEx);
    EXPECT_EQ(picky->Connect(pcmIn, &pcm), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_FALSE(pcmIn->IsConnected());

    // Two outputs cannot connect.
    EXPECT_EQ(out->Connect(picky, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_FALSE(picky->IsConnected());

    // Connections are made only while stopped.
    ASSERT_EQ(source->Pause(), S_OK);
    EXPECT_EQ(out->Connect(pcmIn, nullptr), VFW_E_NOT_STOPPED);
    ASSERT_EQ(source->Stop(), S_OK);
}

TEST(PinConnection, StateChangesReachConnectedPinsAndSamplesFlow) {
    Holder source, sink;
    auto* out = source->add<PushOutputPin>(audioTypes(), GUID_NULL);
    auto* in = sink->add<RecordingInputPin>(MEDIASUBTYPE_PCM);
    ASSERT_EQ(out->Connect(in, nullptr), S_OK);

    ComPtr<IMediaSample> sample;
    EXPECT_EQ(out->GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(sink->Run(0), S_OK); // from stopped through paused
    FILTER_STATE state;
    sink->GetState(0, &state);
    EXPECT_EQ(state, State_Running);
    ASSERT_EQ(source->Pause(), S_OK); // commits the agreed allocator
    ASSERT_EQ(out->GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0), S_OK);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, "abc", 3);
    sample->SetActualDataLength(3);
    EXPECT_EQ(out->Deliver(sample.get()), S_OK);
    EXPECT_EQ(in->BeginFlush(), S_OK);
    EXPECT_EQ(out->Deliver(sample.get()), S_FALSE); // dropped while flushing
    in->EndFlush();
    EXPECT_EQ(out->DeliverEndOfStream(), S_OK);
    EXPECT_EQ(in->received, "abc");
    EXPECT_EQ(in->endOfStreams, 1);

    // A stopped input pin refuses samples and decommits the allocator it shares with the output pin.
    ASSERT_EQ(sink->Stop(), S_OK);
    EXPECT_EQ(out->Deliver(sample.get()), VFW_E_WRONG_STATE);
    sample.reset();
    EXPECT_EQ(out->GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(out->GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    out->Disconnect();
    in->Disconnect();
}

TEST(PinEnumeration, PinsAreFoundByNameAndEnumeratorsNoticeChanges) {
    Holder filter;
    auto* out = filter->add<PushOutputPin>(audioTypes(), GUID_NULL);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(filter->EnumPins(pins.put()), S_OK);
    IPin* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(got[0], static_cast<IPin*>(out));
    got[0]->Release();

    filter->add<RecordingInputPin>(MEDIASUBTYPE_PCM);
    EXPECT_EQ(pins->Next(1, got, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
    ASSERT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(1), S_OK);
    ASSERT_EQ(pins->Next(1, got, &fetched), S_OK);
    PIN_INFO info;
    ASSERT_EQ(got[0]->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"In");
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    info.pFilter->Release();
    got[0]->Release();

    ComPtr<IPin> found;
    EXPECT_EQ(filter->FindPin(u"Out", found.put()), S_OK);
    EXPECT_EQ(found.get(), static_cast<IPin*>(out));
    EXPECT_EQ(filter->FindPin(u"Nothing", found.put()), VFW_E_NOT_FOUND);

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(out->EnumMediaTypes(types.put()), S_OK);
    AM_MEDIA_TYPE* offered[3] = {};
    EXPECT_EQ(types->Next(3, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(offered[1]->subtype, MEDIASUBTYPE_PCM);
    DeleteMediaType(offered[0]);
    DeleteMediaType(offered[1]);
}

TEST(FilterInfo, NameAndGraphComeFromJoinFilterGraph) {
    Holder filter;
    ASSERT_EQ(filter->JoinFilterGraph(nullptr, u"Multi MP2 source"), S_OK);
    FILTER_INFO info;
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"Multi MP2 source");
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(filter->NotifyEvent(EC_COMPLETE, 0, 0), E_NOTIMPL); // no graph, no sink
}

} // namespace
} // namespace platform::dshow
