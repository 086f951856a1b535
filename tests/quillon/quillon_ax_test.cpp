// _Quillon.ax as a host uses it: loaded from the program folder, registered into the test's registry
// and created by its class identifier, then pulled through its pin.

#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_registration.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/property_frame.h"
#include "pull_sink.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QTabWidget>

#include <thread>

namespace quillon {
namespace {

using namespace platform::com;
using namespace platform::dshow;

constexpr CLSID kSource = makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");
constexpr CLSID kAbout = makeGuid("{53C5833F-1695-47C2-AEF8-2AC858D36309}");

std::string axPath() {
    return (kes::test::builtProgramDir() / "extern" / "_Quillon.ax").string();
}

ComPtr<IPin> firstPin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    EXPECT_EQ(filter->EnumPins(pins.put()), S_OK);
    IPin* pin = nullptr;
    ULONG fetched = 0;
    if (!pins || pins->Next(1, &pin, &fetched) != S_OK)
        return {};
    return ComPtr<IPin>::adopt(pin);
}

class QuillonAxTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        server = InprocServer::load(axPath(), &error);
        ASSERT_NE(server, nullptr) << error;
        ASSERT_EQ(server->registerServer(), S_OK);
    }

    std::shared_ptr<InprocServer> server;
    kes::test::TempDir dir;
};

TEST_F(QuillonAxTest, RegistersBothClassesAndTheFilter) {
    const auto source = findClassRegistration(kSource);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->name, "Orvento Multiple MPEG2 File Source");
    EXPECT_EQ(source->threadingModel, "Both");
    EXPECT_EQ(source->modulePath, server->path());
    const auto about = findClassRegistration(kAbout);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->name, "Orvento Multiple MPEG2 File Source : About Property Page");
    const auto filter = findRegisteredFilter(kSource);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->name, "Orvento Multiple MPEG2 File Source");
    EXPECT_EQ(filter->merit, 0x200000u);
    EXPECT_TRUE(filter->pins.empty());
    EXPECT_FALSE(findRegisteredFilter(kAbout));

    ASSERT_EQ(server->unregisterServer(), S_OK);
    EXPECT_FALSE(findClassRegistration(kSource));
    EXPECT_FALSE(findRegisteredFilter(kSource));
    ComPtr<IBaseFilter> none;
    EXPECT_EQ(CoCreateInstance(kSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, none.putVoid()),
              REGDB_E_CLASSNOTREG);
}

TEST_F(QuillonAxTest, CreatedByItsClassItServesTheListedFilesAsOneStream) {
    std::string stream;
    std::string list;
    const std::vector<size_t> sizes = {300000, 0, 17, 131072};
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::string bytes(sizes[i], '\0');
        for (size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<char>((stream.size() + k) * 29 % 241);
        const std::string name = dir.file("VTS_02_" + std::to_string(i + 1) + ".VOB");
        kes::test::writeBytes(name, bytes);
        stream += bytes;
        list += name + (i % 2 ? "\n" : "\r\n");
    }
    kes::test::writeBytes(dir.path() / "vob.lst", list);

    ComPtr<IBaseFilter> source;
    ASSERT_EQ(CoCreateInstance(kSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.putVoid()),
              S_OK);
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);
    ComPtr<IFileSourceFilter> file;
    ASSERT_EQ(source.as(IID_IFileSourceFilter, file), S_OK);
    ASSERT_EQ(file->Load(wideFromBytes(dir.file("vob.lst")).c_str(), nullptr), S_OK);

    ComPtr<IPin> out = firstPin(source.get());
    ASSERT_TRUE(out);
    PIN_INFO info;
    ASSERT_EQ(out->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"Output");
    info.pFilter->Release();

    auto* sink = new test::PullSinkFilter(65536);
    sink->NonDelegatingAddRef();
    ASSERT_EQ(out->Connect(sink->pin(), nullptr), S_OK);
    ASSERT_EQ(sink->Run(0), S_OK);
    ASSERT_EQ(source->Run(0), S_OK);
    ASSERT_TRUE(sink->waitForEnd(60));
    EXPECT_EQ(sink->error.load(), S_OK);
    EXPECT_NE(sink->pullThread, std::this_thread::get_id());
    const std::string pulled = sink->bytes();
    EXPECT_EQ(pulled.size(), stream.size());
    EXPECT_TRUE(pulled == stream);
    ASSERT_EQ(sink->Stop(), S_OK);
    ASSERT_EQ(source->Stop(), S_OK);
    EXPECT_FALSE(firstPin(source.get())); // no list, no pin, until the next Load or Run

    sink->pin()->Disconnect();
    out->Disconnect();
    out.reset();
    file.reset();
    source.reset();
    sink->NonDelegatingRelease();
    EXPECT_EQ(server->canUnloadNow(), S_OK);
}

TEST_F(QuillonAxTest, ThePropertyFrameShowsTheAboutPage) {
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(CoCreateInstance(kSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.putVoid()),
              S_OK);
    const std::vector<CLSID> pages = propertyPagesOf(source.get());
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], kAbout);
    {
        PropertyFrame frame(nullptr, "Multi MP2 source", {source.get()}, pages);
        ASSERT_EQ(frame.pageCount(), 1);
        EXPECT_EQ(frame.tabs()->tabText(0), "About");
    }
    source.reset();
    EXPECT_EQ(server->canUnloadNow(), S_OK);
}

} // namespace
} // namespace quillon
