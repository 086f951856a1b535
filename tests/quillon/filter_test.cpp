#include "platform/com/com_ptr.h"
#include "platform/com/task_memory.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/mem_allocator.h"
#include "platform/ui/dialog_script.h"
#include "quillon/message_boxes.h"
#include "quillon/quillon_guids.h"
#include "source_fixture.h"

#include <QLabel>

#include <chrono>
#include <filesystem>
#include <future>

namespace quillon {
namespace {

using platform::com::ComPtr;

class MultipleFileSourceTest : public test::SourceFixture {};

// A path of exactly length bytes to a file that exists (folders of at most 200 bytes each).
std::string pathOfLength(const kes::test::TempDir& dir, size_t length, const std::string& content) {
    std::filesystem::path folder = dir.path();
    while (folder.string().size() + 1 + 200 + 1 + 10 < length) {
        folder /= std::string(200, 'd');
        std::filesystem::create_directory(folder);
    }
    const size_t rest = length - folder.string().size() - 1;
    const std::filesystem::path file = folder / std::string(rest, 'f');
    kes::test::writeBytes(file, content);
    return file.string();
}

TEST_F(MultipleFileSourceTest, LoadAcceptsPathsThatFitAndRefusesLongerOnes) {
    const std::string list = makeSet({10});
    const std::string longest = pathOfLength(dir, kMaxListPath, names[0] + "\r\n");
    ASSERT_EQ(longest.size(), 1023u);
    EXPECT_EQ(load(longest), S_OK);
    EXPECT_EQ(filter->GetPinCount(), 1);
    EXPECT_EQ(filter->listPath(), longest);

    const std::string tooLong = pathOfLength(dir, kMaxListPath + 1, names[0] + "\r\n");
    EXPECT_EQ(load(tooLong), E_FAIL);
    EXPECT_EQ(filter->GetPinCount(), 0);
    // Fewer than 1024 wide characters, but more than 1023 bytes once converted.
    std::string accents;
    for (int i = 0; i < 600; ++i)
        accents += "\xC3\xA9";
    EXPECT_EQ(load(accents), E_FAIL);
    std::string wideTooLong(1024, 'a');
    EXPECT_EQ(filter->Load(platform::com::wideFromBytes(wideTooLong).c_str(), nullptr), E_FAIL);
    EXPECT_EQ(filter->Load(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(load(list), S_OK);
}

TEST_F(MultipleFileSourceTest, UnusableListsGiveNoPinAndCloseTheOldReader) {
    const std::string list = makeSet({10, 20});
    ASSERT_EQ(load(list), S_OK);
    LONGLONG total = 0, available = 0;
    filter->outputPin().Length(&total, &available);
    EXPECT_EQ(total, 30);
    EXPECT_EQ(available, 30);

    kes::test::writeBytes(dir.path() / "blank.lst", "\r\n\r\n\n");
    EXPECT_EQ(load(dir.file("blank.lst")), E_FAIL);
    EXPECT_EQ(filter->GetPinCount(), 0);
    EXPECT_EQ(filter->GetPin(0), nullptr);
    filter->outputPin().Length(&total, nullptr);
    EXPECT_EQ(total, 0); // no read can go through the emptied list
    kes::test::writeBytes(dir.path() / "empty.lst", "");
    EXPECT_EQ(load(dir.file("empty.lst")), E_FAIL);
    EXPECT_TRUE(sink.warnings.empty());
}

TEST_F(MultipleFileSourceTest, TheQuestionOfALongListIsAskedWithNoLockHeld) {
    const std::string list = makeSet({10, 20});
    kes::test::writeBytes(list, kes::test::readBytes(list) + std::string(2000, '\n'));
    bool lockFree = false;
    // While the user thinks, another thread (a pull, a Stop) can still reach the filter.
    sink.onQuestion = [&] {
        auto other = std::async(std::launch::async, [this] { return filter->GetPinCount(); });
        lockFree = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    };
    EXPECT_EQ(load(list), S_OK);
    EXPECT_EQ(sink.questions.size(), 1u);
    EXPECT_TRUE(lockFree);
    EXPECT_EQ(filter->GetPinCount(), 1);

    // The run reads the list again, also outside the lock; the same file is not questioned again.
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(sink.questions.size(), 1u);
    ASSERT_EQ(filter->Stop(), S_OK);
    // A list that changed since it was let through is asked about anew, with no lock held.
    kes::test::writeBytes(list, kes::test::readBytes(list) + "\n");
    lockFree = false;
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(sink.questions.size(), 2u);
    EXPECT_TRUE(lockFree);
}

TEST_F(MultipleFileSourceTest, ARunFailsWhenTheListCannotBeReadAgain) {
    const std::string list = makeSet({10, 20});
    ASSERT_EQ(load(list), S_OK);
    std::filesystem::remove(list);
    EXPECT_EQ(filter->Run(0), E_FAIL);
    EXPECT_EQ(filter->GetPinCount(), 0);
    EXPECT_EQ(filter->progress().window(), nullptr);
    LONGLONG total = -1;
    filter->outputPin().Length(&total, nullptr);
    EXPECT_EQ(total, 0);

    // The list is back, but a file it names is gone: nothing to serve either.
    makeSet({10, 20});
    ASSERT_EQ(load(list), S_OK);
    std::filesystem::remove(names[1]);
    EXPECT_EQ(filter->Run(0), E_FAIL);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::open: Failed to open a file in the list."}));
}

TEST_F(MultipleFileSourceTest, InterfacesNamesAndPages) {
    ASSERT_EQ(load(makeSet({4})), S_OK);
    IUnknown* owner = filter->GetOwner();
    ComPtr<IFileSourceFilter> source;
    ASSERT_EQ(owner->QueryInterface(IID_IFileSourceFilter, source.putVoid()), S_OK);
    LPOLESTR name = nullptr;
    ASSERT_EQ(source->GetCurFile(&name, nullptr), S_OK);
    EXPECT_EQ(std::u16string(name), u"Orvento Multiple MPEG2 Source");
    platform::com::CoTaskMemFree(name);
    EXPECT_EQ(source->GetCurFile(nullptr, nullptr), E_POINTER);

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(owner->QueryInterface(IID_ISpecifyPropertyPages, pages.putVoid()), S_OK);
    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], CLSID_MultipleFileSourceAbout);
    platform::com::CoTaskMemFree(list.pElems);

    CLSID clsid;
    filter->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_MultipleFileSource);

    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(u"Output", pin.put()), S_OK);
    PIN_DIRECTION direction;
    pin->QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_OUTPUT);
    ComPtr<IAsyncReader> reader;
    EXPECT_EQ(pin->QueryInterface(IID_IAsyncReader, reader.putVoid()), S_OK);
    EXPECT_EQ(pin->QueryInternalConnections(nullptr, nullptr), E_NOTIMPL);
}

TEST_F(MultipleFileSourceTest, OffersOneMediaType) {
    MultipleFileOutputPin& pin = filter->outputPin();
    CMediaType type;
    EXPECT_EQ(pin.GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(pin.GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
    ASSERT_EQ(pin.GetMediaType(0, &type), S_OK);
    EXPECT_EQ(*type.Type(), MEDIATYPE_Stream);
    EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_MPEG2_PROGRAM);
    EXPECT_EQ(type.cbFormat, 0u);
    EXPECT_EQ(pin.CheckMediaType(&type), S_OK);
    const CMediaType otherSubtype(MEDIATYPE_Stream, MEDIASUBTYPE_PCM);
    EXPECT_EQ(pin.CheckMediaType(&otherSubtype), S_FALSE);
    const CMediaType otherMajor(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG2_PROGRAM);
    EXPECT_EQ(pin.CheckMediaType(&otherMajor), S_FALSE);
}

TEST_F(MultipleFileSourceTest, SyncReadChecksItsRangeAndReportsShortReads) {
    ASSERT_EQ(load(makeSet({6, 4})), S_OK);
    MultipleFileOutputPin& pin = filter->outputPin();
    BYTE buffer[16] = {};
    EXPECT_EQ(pin.SyncRead(9, 1, buffer), S_OK);
    EXPECT_EQ(buffer[0], static_cast<BYTE>(stream[9]));
    EXPECT_EQ(pin.SyncRead(9, 2, buffer), E_FAIL);
    EXPECT_EQ(pin.SyncRead(10, 1, buffer), E_FAIL);
    EXPECT_EQ(pin.SyncRead(-1, 1, buffer), E_FAIL);
    EXPECT_EQ(pin.SyncRead(0, -1, buffer), E_FAIL);
    EXPECT_EQ(pin.SyncRead(0, 1, nullptr), E_POINTER);
    EXPECT_EQ(pin.SyncRead(4, 4, buffer), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), stream.substr(4, 4));

    std::filesystem::resize_file(names[0], 3); // the first file shrinks after the load
    EXPECT_EQ(pin.SyncRead(0, 8, buffer), S_FALSE);
    EXPECT_TRUE(sink.warnings.empty());
}

TEST_F(MultipleFileSourceTest, SyncReadAlignedFillsTheBufferAndStopsAtTheStreamsEnd) {
    ASSERT_EQ(load(makeSet({100, 50})), S_OK);
    MultipleFileOutputPin& pin = filter->outputPin();
    auto* allocator = new CMemAllocator("test", nullptr);
    allocator->NonDelegatingAddRef();
    ALLOCATOR_PROPERTIES props;
    props.cBuffers = 1;
    props.cbBuffer = 64;
    props.cbAlign = 16;
    ComPtr<IMemAllocator> actual;
    EXPECT_EQ(pin.RequestAllocator(nullptr, &props, actual.put()), E_POINTER);
    ASSERT_EQ(pin.RequestAllocator(allocator, &props, actual.put()), S_OK);
    EXPECT_EQ(props.cbAlign, 1);
    ASSERT_EQ(actual->Commit(), S_OK);

    const auto readAt = [&](LONGLONG from, LONGLONG to, std::string& out) {
        ComPtr<IMediaSample> sample;
        EXPECT_EQ(actual->GetBuffer(sample.put(), nullptr, nullptr, 0), S_OK);
        REFERENCE_TIME start = from * UNITS, end = to * UNITS;
        sample->SetTime(&start, &end);
        const HRESULT hr = pin.SyncReadAligned(sample.get());
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        out.assign(reinterpret_cast<char*>(data), static_cast<size_t>(sample->GetActualDataLength()));
        return hr;
    };
    std::string got;
    EXPECT_EQ(readAt(40, 140, got), S_OK); // asks for 100 bytes, the buffer holds 64
    EXPECT_EQ(got, stream.substr(40, 64));
    EXPECT_EQ(readAt(140, 160, got), S_FALSE); // runs past the end: the last 10 bytes
    EXPECT_EQ(got, stream.substr(140, 10));
    EXPECT_EQ(readAt(150, 160, got), S_FALSE);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(readAt(-5, 5, got), E_INVALIDARG);
    EXPECT_TRUE(sink.warnings.empty());
    EXPECT_EQ(pin.SyncReadAligned(nullptr), E_POINTER);

    IMediaSample* none = reinterpret_cast<IMediaSample*>(1);
    uintptr_t user = 7;
    EXPECT_TRUE(FAILED(pin.WaitForNext(0, &none, &user)));
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(user, 7u);
    EXPECT_EQ(pin.Request(nullptr, 0), E_NOTIMPL);
    actual->Decommit();
    actual.reset();
    allocator->NonDelegatingRelease();
}

TEST_F(MultipleFileSourceTest, StopRemovesThePinAndRunBringsItBack) {
    ASSERT_EQ(load(makeSet({10})), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(filter->GetPinCount(), 1);
    ASSERT_NE(filter->progress().window(), nullptr);
    EXPECT_TRUE(filter->progress().window()->isVisible());
    EXPECT_EQ(filter->progress().window()->windowTitle(), "Orvento Multiple MPEG2 Source");
    EXPECT_EQ(filter->progress().window()->batchFileLabel()->text().toStdString(), filter->listPath());
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->GetPinCount(), 0);
    EXPECT_EQ(filter->progress().window(), nullptr);
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(filter->GetPinCount(), 1);
    filter->Stop();
}

TEST_F(MultipleFileSourceTest, AClosedProgressWindowStaysClosedUntilTheFilterStops) {
    ASSERT_EQ(load(makeSet({10})), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_NE(filter->progress().window(), nullptr);
    filter->progress().window()->close();
    EXPECT_EQ(filter->progress().window(), nullptr);
    EXPECT_TRUE(filter->progress().closedByUser());
    ASSERT_EQ(filter->Pause(), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK); // the same run goes on
    EXPECT_EQ(filter->progress().window(), nullptr);
    BYTE byte;
    EXPECT_EQ(filter->outputPin().SyncRead(3, 1, &byte), S_OK); // reads go on without a window
    filter->progress().tick();
    ASSERT_EQ(filter->Stop(), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_NE(filter->progress().window(), nullptr);
}

TEST_F(MultipleFileSourceTest, ACrossingIntoTheNextVobChangesTheCurrentFileLineOnce) {
    ASSERT_EQ(load(makeSet({10, 10})), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    MultipleFileOutputPin& pin = filter->outputPin();
    QLabel* line = filter->progress().window()->currentFileLabel();
    BYTE buffer[8];
    ASSERT_EQ(pin.SyncRead(0, 4, buffer), S_OK);
    filter->progress().tick();
    EXPECT_EQ(line->text().toStdString(), names[0]);
    EXPECT_EQ(pin.lastFileIndex(), 0);
    line->setText("unchanged");
    ASSERT_EQ(pin.SyncRead(4, 4, buffer), S_OK);
    filter->progress().tick();
    EXPECT_EQ(line->text(), "unchanged");
    ASSERT_EQ(pin.SyncRead(8, 4, buffer), S_OK);
    filter->progress().tick();
    EXPECT_EQ(line->text().toStdString(), names[1]);
    EXPECT_EQ(filter->progress().window()->locationLabel()->text(), "12 / 20");
}

// The long-list question where no one may be there to answer: any answer but No loads the list, so
// a box no one answers loads it too; a scripted No still stops it.
TEST(QuillonMessageBoxes, TheListQuestionGoesOnUnlessTheAnswerIsNo) {
    MessageSink& boxes = messageBoxes();
    {
        platform::ui::testing::DialogScript script;
        EXPECT_TRUE(boxes.question("Query?", "The file x is 2000 bytes in size."));
        ASSERT_EQ(script.shown().size(), 1u);
        EXPECT_EQ(script.shown()[0].caption, "Query?");
        EXPECT_EQ(script.shown()[0].answer, "Yes");
    }
    platform::ui::testing::DialogScript script({"No"});
    EXPECT_FALSE(boxes.question("Query?", "The file x is 2000 bytes in size."));
}

} // namespace
} // namespace quillon
