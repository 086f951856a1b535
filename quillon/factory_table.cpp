#include "quillon/factory_table.h"

#include "quillon/about_page.h"
#include "quillon/multiple_file_source.h"
#include "quillon/quillon_guids.h"

namespace quillon {

namespace {
using platform::dshow::AMOVIESETUP_FILTER;
using platform::dshow::CFactoryTemplate;

const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_MultipleFileSource, kFilterDisplayName, kFilterMerit, 0,
                                         nullptr};

const CFactoryTemplate kTemplates[] = {
    {kFilterDisplayName, &CLSID_MultipleFileSource, MultipleFileSource::CreateInstance, nullptr,
     &kFilterSetup},
    {kAboutDisplayName, &CLSID_MultipleFileSourceAbout, AboutPage::CreateInstance, nullptr, nullptr},
};
} // namespace

platform::dshow::FactoryTable factoryTable() {
    return kTemplates;
}

} // namespace quillon
