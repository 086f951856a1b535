// "_wavdest.ax": the WAV writer filter.

#include "platform/dshow/filters/module_exports.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/filters/wav_dest_filter.h"
#include "platform/dshow/guids.h"

namespace {

using namespace platform::dshow;
using platform::dshow::filters::CLSID_WavDest;
using platform::dshow::filters::WavDestFilter;

constexpr char kWavDestName[] = "WAV Dest";

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {{&MEDIATYPE_Audio, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {
    {&MEDIATYPE_Stream, &platform::dshow::filters::MEDIASUBTYPE_WAVE}};
const AMOVIESETUP_PIN kPins[] = {
    {"In", FALSE, FALSE, FALSE, FALSE, 1, kInputTypes},
    {"Out", FALSE, TRUE, FALSE, FALSE, 1, kOutputTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_WavDest, kWavDestName, MERIT_DO_NOT_USE, 2, kPins};

const CFactoryTemplate kTemplates[] = {
    {kWavDestName, &CLSID_WavDest, WavDestFilter::CreateInstance, nullptr, &kSetup},
};

FactoryTable wavDestTable() {
    return kTemplates;
}

} // namespace

KES_FILTER_MODULE_EXPORTS(wavDestTable)
