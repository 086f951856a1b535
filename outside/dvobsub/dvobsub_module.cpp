// "dvobsub.ax": the auto-loading subtitle filter and its property page.

#include "outside/dvobsub/settings_page.h"
#include "outside/dvobsub/subtitle_filter.h"

#include "platform/dshow/filters/module_exports.h"
#include "platform/dshow/filters/video_types.h"

namespace {

using namespace platform::dshow;
using outside::dvobsub::CLSID_DirectVobSubAuto;
using outside::dvobsub::CLSID_DirectVobSubPage;

// Above the video renderer, so that rendering a decoder's pictures tries the filter first; it joins
// only where the movie has subtitles.
constexpr DWORD kMerit = MERIT_PREFERRED + 2;

const AMOVIESETUP_MEDIATYPE kTypes[] = {{&filters::MEDIATYPE_Video, &filters::MEDIASUBTYPE_RGB32}};
const AMOVIESETUP_PIN kPins[] = {
    {"Input", FALSE, FALSE, FALSE, FALSE, 1, kTypes},
    {"Output", FALSE, TRUE, FALSE, FALSE, 1, kTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_DirectVobSubAuto, outside::dvobsub::kFilterName, kMerit, 2, kPins};

const CFactoryTemplate kTemplates[] = {
    {outside::dvobsub::kFilterName, &CLSID_DirectVobSubAuto, outside::dvobsub::SubtitleFilter::CreateInstance,
     nullptr, &kSetup},
    {"DirectVobSub page", &CLSID_DirectVobSubPage, outside::dvobsub::SettingsPage::CreateInstance, nullptr,
     nullptr},
};

FactoryTable subtitleTable() {
    return kTemplates;
}

} // namespace

KES_FILTER_MODULE_EXPORTS(subtitleTable)
