#include "platform/dshow/filters/playback_filters.h"

#include "platform/com/class_factory.h"
#include "platform/com/co_create.h"
#include "platform/com/inproc_server.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/filters/audio_stream_decoder.h"
#include "platform/dshow/filters/avi_splitter.h"
#include "platform/dshow/filters/stock_builtins.h"
#include "platform/dshow/filters/video_decoder_filter.h"
#include "platform/dshow/filters/video_renderer.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/guids.h"

#include <cstdlib>
#include <new>

namespace platform::dshow::filters {

namespace {

const AMOVIESETUP_MEDIATYPE kAnyVideo[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kAnyAudio[] = {{&MEDIATYPE_Audio, &GUID_NULL}};
const AMOVIESETUP_MEDIATYPE kRgb32[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};
const AMOVIESETUP_MEDIATYPE kPcm[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const AMOVIESETUP_MEDIATYPE kSplitterOut[] = {{&MEDIATYPE_Video, &GUID_NULL}, {&MEDIATYPE_Audio, &GUID_NULL}};

const AMOVIESETUP_PIN kSplitterPins[] = {{"Stream", FALSE, TRUE, TRUE, TRUE, 2, kSplitterOut}};
const AMOVIESETUP_PIN kDecompressorPins[] = {
    {"XForm In", FALSE, FALSE, FALSE, FALSE, 1, kAnyVideo},
    {"XForm Out", FALSE, TRUE, FALSE, FALSE, 1, kRgb32},
};
const AMOVIESETUP_PIN kAudioDecoderPins[] = {
    {"In", FALSE, FALSE, FALSE, FALSE, 1, kAnyAudio},
    {"Out", FALSE, TRUE, FALSE, FALSE, 1, kPcm},
};
const AMOVIESETUP_PIN kRendererPins[] = {{"Input", TRUE, FALSE, FALSE, FALSE, 1, kRgb32}};

const AMOVIESETUP_FILTER kFilters[] = {
    {&CLSID_AviSplitter, "AVI Splitter", MERIT_DO_NOT_USE, 1, kSplitterPins},
    {&CLSID_AviDecompressor, kAviDecompressorName, MERIT_NORMAL, 2, kDecompressorPins},
    {&CLSID_AudioStreamDecoder, "Audio Decoder", MERIT_NORMAL, 2, kAudioDecoderPins},
    {&CLSID_VideoRenderer, "Video Renderer", MERIT_PREFERRED, 1, kRendererPins},
};

CUnknown* createDecompressor(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow)
        VideoDecoderFilter(kAviDecompressorName, outer, CLSID_AviDecompressor, std::nullopt);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

struct Builtin {
    const CLSID* clsid;
    platform::com::CreateInstanceFn create;
};

const Builtin kBuiltins[] = {
    {&CLSID_AviSplitter, AviSplitterFilter::CreateInstance},
    {&CLSID_AviDecompressor, createDecompressor},
    {&CLSID_AudioStreamDecoder, AudioStreamDecoderFilter::CreateInstance},
    {&CLSID_VideoRenderer, VideoRendererFilter::CreateInstance},
};

} // namespace

std::span<const AMOVIESETUP_FILTER> playbackFilters() {
    return kFilters;
}

bool registerPlaybackFilters() {
    registerFilterGraph();
    bool stored = registerStockBuiltins();
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
    return registerFilters(kFilters) && stored;
}

} // namespace platform::dshow::filters

namespace platform::dshow::filters {

bool registerFilterModule(const std::string& path) {
    if (!platform::core::fileExists(path))
        return false;
    const auto server = platform::com::InprocServer::load(path);
    return server && SUCCEEDED(server->registerServer());
}

std::string systemFolderOf(const std::string& programFolder) {
    if (const char* dir = std::getenv("KESTROVA_SYSTEM_DIR"); dir && *dir)
        return dir;
    return platform::core::joinPath(programFolder, "system");
}

} // namespace platform::dshow::filters
