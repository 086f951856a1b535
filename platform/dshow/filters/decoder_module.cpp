// "XmdAudioDecode.dll": the audio decoder filter. Its decoding core and sample conversion are the two
// library files beside it.

#include "platform/dshow/filters/decoder_filter.h"
#include "platform/dshow/filters/module_exports.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

namespace {

using namespace platform::dshow;
using platform::dshow::filters::CLSID_AudioDecoder;
using platform::dshow::filters::DecoderFilter;

constexpr char kDecoderName[] = "Xing AC3 audio decoder";

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_DOLBY_AC3},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG2_AUDIO},
    {&MEDIATYPE_Audio, &platform::dshow::filters::MEDIASUBTYPE_DVD_LPCM_AUDIO}};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const AMOVIESETUP_PIN kPins[] = {
    {"Input", FALSE, FALSE, FALSE, FALSE, 3, kInputTypes},
    {"Output", FALSE, TRUE, FALSE, FALSE, 1, kOutputTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_AudioDecoder, kDecoderName, MERIT_NORMAL, 2, kPins};

const CFactoryTemplate kTemplates[] = {
    {kDecoderName, &CLSID_AudioDecoder, DecoderFilter::CreateInstance, nullptr, &kSetup},
};

FactoryTable decoderTable() {
    return kTemplates;
}

} // namespace

KES_FILTER_MODULE_EXPORTS(decoderTable)
