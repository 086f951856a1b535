#include "platform/dshow/filters/stock_builtins.h"

#include "platform/com/class_factory.h"
#include "platform/com/co_create.h"
#include "platform/dshow/filters/acm_wrapper.h"
#include "platform/dshow/filters/file_writer.h"
#include "platform/dshow/filters/sound_renderer.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/filters/wav_source.h"
#include "platform/dshow/guids.h"

#include <new>

namespace platform::dshow::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kAnyType[] = {{&GUID_NULL, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kPcmType[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};

const AMOVIESETUP_PIN kFileWriterPins[] = {{"in", FALSE, FALSE, FALSE, FALSE, 1, kAnyType}};
const AMOVIESETUP_PIN kAcmWrapperPins[] = {
    {"Input", FALSE, FALSE, FALSE, FALSE, 1, kPcmType},
    {"Output", FALSE, TRUE, FALSE, FALSE, 1, kPcmType},
};
const AMOVIESETUP_PIN kRendererPins[] = {
    {"Audio Input pin (rendered)", TRUE, FALSE, FALSE, FALSE, 1, kPcmType}};
const AMOVIESETUP_PIN kWavSourcePins[] = {{"Output", FALSE, TRUE, FALSE, FALSE, 1, kPcmType}};

const AMOVIESETUP_FILTER kFilters[] = {
    {&CLSID_FileWriter, "File Writer", MERIT_DO_NOT_USE, 1, kFileWriterPins},
    {&CLSID_AcmWrapper, "ACM Wrapper", MERIT_NORMAL, 2, kAcmWrapperPins},
    {&CLSID_SoundRenderer, "Sound Renderer", MERIT_PREFERRED, 1, kRendererPins},
    {&CLSID_WavFileSource, "WAV File Source", MERIT_DO_NOT_USE, 1, kWavSourcePins},
};

struct Builtin {
    const CLSID* clsid;
    platform::com::CreateInstanceFn create;
};

const Builtin kBuiltins[] = {
    {&CLSID_FileWriter, FileWriterFilter::CreateInstance},
    {&CLSID_AcmWrapper, AcmWrapperFilter::CreateInstance},
    {&CLSID_SoundRenderer, SoundRendererFilter::CreateInstance},
    {&CLSID_WavFileSource, WavSourceFilter::CreateInstance},
};

} // namespace

std::span<const AMOVIESETUP_FILTER> stockBuiltinFilters() {
    return kFilters;
}

bool registerStockBuiltins() {
    for (const Builtin& builtin : kBuiltins) {
        const platform::com::CreateInstanceFn create = builtin.create;
        platform::com::registerBuiltinClass(*builtin.clsid, [create]() -> platform::com::IClassFactory* {
            auto* factory = new (std::nothrow) platform::com::ClassFactory(create);
            if (!factory)
                return nullptr;
            factory->NonDelegatingAddRef();
            return factory;
        });
    }
    // Written only when the stored registration differs.
    return registerFilters(kFilters);
}

} // namespace platform::dshow::filters
