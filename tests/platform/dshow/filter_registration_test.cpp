#include "platform/com/class_registry.h"
#include "platform/dshow/factory_template.h"
#include "platform/dshow/filter_registration.h"

#include "platform/core/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace platform::dshow {
namespace {

constexpr CLSID kLow = makeGuid("{A1B2C3D4-0003-0000-0000-000000000001}");
constexpr CLSID kHigh = makeGuid("{A1B2C3D4-0003-0000-0000-000000000002}");

const AMOVIESETUP_MEDIATYPE kTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM},
                                        {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const AMOVIESETUP_PIN kPins[] = {{"Input", FALSE, FALSE, FALSE, FALSE, 1, &kTypes[0]},
                                 {"Audio", FALSE, TRUE, TRUE, TRUE, 1, &kTypes[1]}};
const AMOVIESETUP_FILTER kLowSetup = {&kLow, "Low filter", MERIT_UNLIKELY, 2, kPins};
const AMOVIESETUP_FILTER kHighSetup = {&kHigh, "High filter", MERIT_PREFERRED, 0, nullptr};

TEST(FilterRegistration, PinsTypesAndMeritReadBackInMeritOrder) {
    ASSERT_TRUE(registerFilter(kLowSetup));
    ASSERT_TRUE(registerFilter(kHighSetup));
    const auto low = findRegisteredFilter(kLow);
    ASSERT_TRUE(low);
    EXPECT_EQ(low->name, "Low filter");
    EXPECT_EQ(low->merit, MERIT_UNLIKELY);
    ASSERT_EQ(low->pins.size(), 2u);
    EXPECT_EQ(low->pins[0].name, "Input");
    EXPECT_FALSE(low->pins[0].output);
    EXPECT_TRUE(low->pins[1].output && low->pins[1].zero && low->pins[1].many);
    ASSERT_EQ(low->pins[1].types.size(), 1u);
    EXPECT_EQ(low->pins[1].types[0].minor, MEDIASUBTYPE_PCM);

    const auto all = registeredFilters();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all.front().clsid, kHigh);

    // Registering again replaces the old data rather than adding to it.
    const AMOVIESETUP_FILTER fewer = {&kLow, "Low filter", MERIT_UNLIKELY, 1, kPins};
    ASSERT_TRUE(registerFilter(fewer));
    EXPECT_EQ(findRegisteredFilter(kLow)->pins.size(), 1u);

    EXPECT_TRUE(unregisterFilter(kLow));
    EXPECT_TRUE(unregisterFilter(kHigh));
    EXPECT_FALSE(findRegisteredFilter(kLow));
    EXPECT_FALSE(unregisterFilter(kLow));
}

// The store's file as the last write left it: an atomic replace gives it a new inode.
ino_t storeInode() {
    struct stat st {};
    return ::stat(platform::core::registry::storePath().c_str(), &st) == 0 ? st.st_ino : 0;
}

CUnknown* createNothing(IUnknown*, HRESULT* hr) {
    *hr = E_OUTOFMEMORY;
    return nullptr;
}

TEST(FactoryTemplate, RegistersEveryClassAndTheFiltersAmongThem) {
    const CFactoryTemplate table[] = {
        {"High filter", &kHigh, createNothing, nullptr, &kHighSetup},
        {"A page", &kLow, createNothing, nullptr, nullptr},
    };
    ASSERT_EQ(AMovieDllRegisterServer2(table, TRUE, "/x/extern/_Test.ax"), S_OK);
    // A module registered as it was before writes nothing at its next registration, nor do its
    // filters registered alone; a module moved elsewhere is registered anew.
    const ino_t written = storeInode();
    ASSERT_EQ(AMovieDllRegisterServer2(table, TRUE, "/x/extern/_Test.ax"), S_OK);
    ASSERT_TRUE(registerFilter(kHighSetup));
    EXPECT_EQ(storeInode(), written);
    ASSERT_EQ(AMovieDllRegisterServer2(table, TRUE, "/y/extern/_Test.ax"), S_OK);
    EXPECT_NE(storeInode(), written);
    EXPECT_EQ(platform::com::findClassRegistration(kLow)->modulePath, "/y/extern/_Test.ax");
    ASSERT_EQ(AMovieDllRegisterServer2(table, TRUE, "/x/extern/_Test.ax"), S_OK);

    const auto server = platform::com::findClassRegistration(kHigh);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->modulePath, "/x/extern/_Test.ax");
    EXPECT_EQ(server->threadingModel, "Both");
    EXPECT_TRUE(platform::com::findClassRegistration(kLow));
    EXPECT_TRUE(findRegisteredFilter(kHigh));
    EXPECT_FALSE(findRegisteredFilter(kLow));

    void* factory = nullptr;
    ASSERT_EQ(GetClassObjectFromTable(table, kLow, IID_IClassFactory, &factory), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IUnknown, &object),
              E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    static_cast<IClassFactory*>(factory)->Release();
    EXPECT_EQ(GetClassObjectFromTable(table, GUID_NULL, IID_IClassFactory, &factory),
              CLASS_E_CLASSNOTAVAILABLE);

    ASSERT_EQ(AMovieDllRegisterServer2(table, FALSE, "/x/extern/_Test.ax"), S_OK);
    EXPECT_FALSE(platform::com::findClassRegistration(kHigh));
    EXPECT_FALSE(findRegisteredFilter(kHigh));
}

} // namespace
} // namespace platform::dshow
