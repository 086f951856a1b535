// "divxdec.ax", the DivX 4 decoder filter: "DivX MPEG-4 MPG Video Decompressor " (the name ends with a
// blank), which decodes MPEG-4 part 2 and MS-MPEG-4 v3 frames for playback and ranks above the host's
// stock decompressor, and its property page.

#include "outside/divxdec/decoder_page.h"

#include "platform/dshow/filters/module_exports.h"
#include "platform/dshow/filters/video_decoder_filter.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/guids.h"

#include <new>

namespace {

using namespace platform::dshow;
using platform::dshow::filters::VideoDecoderFilter;

constexpr CLSID CLSID_DivXDecoder = makeGuid("{5D0E8B34-92A1-4C7F-8E63-1A4B7C2D9F05}");
constexpr char kDecoderName[] = "DivX MPEG-4 MPG Video Decompressor ";
constexpr DWORD kDecoderMerit = MERIT_PREFERRED;

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {{&filters::MEDIATYPE_Video, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {{&filters::MEDIATYPE_Video, &filters::MEDIASUBTYPE_RGB32}};
const AMOVIESETUP_PIN kPins[] = {
    {"XForm In", FALSE, FALSE, FALSE, FALSE, 1, kInputTypes},
    {"XForm Out", FALSE, TRUE, FALSE, FALSE, 1, kOutputTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_DivXDecoder, kDecoderName, kDecoderMerit, 2, kPins};

platform::com::CUnknown* createDecoder(platform::com::IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow)
        VideoDecoderFilter(kDecoderName, outer, CLSID_DivXDecoder, outside::divxdec::CLSID_DivXDecoderPage);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

const CFactoryTemplate kTemplates[] = {
    {kDecoderName, &CLSID_DivXDecoder, createDecoder, nullptr, &kSetup},
    {"DivX decoder page", &outside::divxdec::CLSID_DivXDecoderPage,
     outside::divxdec::DecoderPage::CreateInstance, nullptr, nullptr},
};

FactoryTable decoderTable() {
    return kTemplates;
}

} // namespace

KES_FILTER_MODULE_EXPORTS(decoderTable)
