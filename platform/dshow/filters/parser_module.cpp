// "_Mpeg2Parser.ax" and "Mpeg2splt.ax": the program stream parser. Both files create it under either
// identifier; each registers the identifier it is shipped for (KES_SPLITTER_MODULE: "Mpeg2splt.ax").

#include "platform/dshow/factory_template.h"
#include "platform/dshow/filters/parser_filter.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

namespace {

using namespace platform::dshow;
using platform::dshow::filters::CLSID_Mpeg2Parser;
using platform::dshow::filters::CLSID_Mpeg2Splitter;
using platform::dshow::filters::ParserFilter;

constexpr char kParserName[] = "MPEG2 parser";
constexpr char kSplitterName[] = "MPEG-2 Splitter";

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM}};
const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_DOLBY_AC3},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG2_AUDIO},
    {&MEDIATYPE_Audio, &platform::dshow::filters::MEDIASUBTYPE_DVD_LPCM_AUDIO}};
const AMOVIESETUP_PIN kPins[] = {
    {"Input", FALSE, FALSE, FALSE, FALSE, 1, kInputTypes},
    {"Output", FALSE, TRUE, TRUE, TRUE, 3, kOutputTypes},
};
const AMOVIESETUP_FILTER kParserSetup = {&CLSID_Mpeg2Parser, kParserName, MERIT_NORMAL, 2, kPins};
const AMOVIESETUP_FILTER kSplitterSetup = {&CLSID_Mpeg2Splitter, kSplitterName, MERIT_NORMAL, 2, kPins};

const CFactoryTemplate kTemplates[] = {
    {kParserName, &CLSID_Mpeg2Parser, ParserFilter::CreateParser, nullptr, &kParserSetup},
    {kSplitterName, &CLSID_Mpeg2Splitter, ParserFilter::CreateSplitter, nullptr, &kSplitterSetup},
};

#ifdef KES_SPLITTER_MODULE
constexpr size_t kOwnClass = 1;
#else
constexpr size_t kOwnClass = 0;
#endif

} // namespace

extern "C" {

[[gnu::visibility("default")]] HRESULT DllRegisterServer() {
    return AMovieDllRegisterServer2(FactoryTable(kTemplates).subspan(kOwnClass, 1), TRUE);
}

[[gnu::visibility("default")]] HRESULT DllUnregisterServer() {
    return AMovieDllRegisterServer2(FactoryTable(kTemplates).subspan(kOwnClass, 1), FALSE);
}

[[gnu::visibility("default")]] HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return GetClassObjectFromTable(kTemplates, clsid, riid, ppv);
}

[[gnu::visibility("default")]] HRESULT DllCanUnloadNow() {
    return CanUnloadModule();
}

} // extern "C"
