// The builder's pin search against a parser whose pins are known, its tables, its registry values,
// and a build that fails early.

#include "tools/stream_graph/audio_stream_graph.h"
#include "tools/stream_graph/decoder_settings.h"

#include "platform/core/registry.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/filters/stock_guids.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tools::stream_graph {
namespace {

using namespace platform::dshow;
namespace registry = platform::core::registry;
using platform::core::RootKey;

class NamedPin final : public CBasePin {
public:
    NamedPin(CBaseFilter* filter, CCritSec* lock, std::u16string_view name, PIN_DIRECTION direction)
        : CBasePin("named pin", filter, lock, nullptr, name, direction) {}
    HRESULT CheckMediaType(const CMediaType*) override { return S_FALSE; }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }
};

// A parser stand-in: pin 1 is its input, the others are outputs with the given names.
class KnownPinsParser final : public CBaseFilter {
public:
    explicit KnownPinsParser(const std::vector<std::u16string>& names)
        : CBaseFilter("known pins parser", nullptr, &lock_, filters::CLSID_Mpeg2Parser) {
        for (size_t i = 0; i < names.size(); ++i)
            pins_.push_back(
                std::make_unique<NamedPin>(this, &lock_, names[i], i == 0 ? PINDIR_INPUT : PINDIR_OUTPUT));
    }
    int GetPinCount() override { return static_cast<int>(pins_.size()); }
    CBasePin* GetPin(int n) override {
        return n >= 0 && n < GetPinCount() ? pins_[static_cast<size_t>(n)].get() : nullptr;
    }

private:
    CCritSec lock_;
    std::vector<std::unique_ptr<NamedPin>> pins_;
};

ComPtr<IBaseFilter> parserWith(const std::vector<std::u16string>& names) {
    return ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(new KnownPinsParser(names)));
}

class RecordingSink final : public StreamGraphSink {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showError(const std::string& text) override { errors.push_back(text); }
    void logLine(const std::string& line) override { log.push_back(line); }
    void streamReset() override { ++resets; }
    bool flipStreams() override { return flip; }

    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<std::string> log;
    int resets = 0;
    bool flip = false;
};

std::vector<int> pinTable(const AudioStreamGraph& graph) {
    std::vector<int> table;
    for (int i = 1; i <= kPinTableSize; ++i)
        if (graph.PinTable(i) != 0)
            table.push_back(graph.PinTable(i));
    return table;
}

// Pin 2 is an audio pin on purpose: the stream extractor counts it, the audio extractor does not.
const std::vector<std::u16string> kMixedPins = {u"Input",      u"AC3",  u"AC3",  u"Audio",
                                                u"Subpicture", u"lpcm", u"AC3x", u"AC3"};

TEST(StreamGraphPinSearch, AudioExtractorMatchesEveryAudioNameFromPinThree) {
    RecordingSink sink;
    AudioStreamGraph graph(tonegrabPolicy("/nowhere"), sink);
    graph.Mode = GraphMode::WriteFile;
    const auto parser = parserWith(kMixedPins);
    graph.GetFirstAC3(parser.get());
    // Whole names after upper-casing: "Audio" and "lpcm" match, "AC3x" and "Subpicture" do not.
    EXPECT_EQ(graph.AudioPinCount, 4);
    EXPECT_EQ(graph.FirstMatch, 3);
    EXPECT_EQ(pinTable(graph), (std::vector<int>{3, 4, 6, 8}));
    EXPECT_EQ(graph.pinOfStream(0), 3);
    EXPECT_EQ(graph.pinOfStream(3), 8);
    EXPECT_EQ(graph.pinOfStream(4), 0);
    EXPECT_EQ(graph.streamLabels(), (std::vector<std::string>{"0x80", "0x81", "0x82", "0x83"}));
}

TEST(StreamGraphPinSearch, FlipReversesTheTableSoStreamZeroIsTheLastPin) {
    RecordingSink sink;
    sink.flip = true;
    AudioStreamGraph graph(tonegrabPolicy("/nowhere"), sink);
    graph.Mode = GraphMode::WriteFile;
    const auto parser = parserWith(kMixedPins);
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(graph.AudioPinCount, 4);
    EXPECT_EQ(graph.FirstMatch, 3);
    EXPECT_EQ(pinTable(graph), (std::vector<int>{8, 6, 4, 3}));
    EXPECT_EQ(graph.pinOfStream(0), 8);
}

TEST(StreamGraphPinSearch, StreamExtractorSearchesOneNameFromPinTwo) {
    RecordingSink sink;
    AudioStreamGraph graph(streamExtractorPolicy("/nowhere"), sink);
    const auto parser = parserWith(kMixedPins);

    graph.Mode = GraphMode::SearchAc3;
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(pinTable(graph), (std::vector<int>{2, 3, 8}));
    EXPECT_EQ(graph.FirstMatch, 2);

    graph.Mode = GraphMode::SearchMp2;
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(pinTable(graph), (std::vector<int>{4}));
    EXPECT_EQ(graph.streamLabels(), (std::vector<std::string>{"0xB0"}));

    graph.Mode = GraphMode::SearchPcm;
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(pinTable(graph), (std::vector<int>{6}));
    EXPECT_EQ(graph.streamLabels(), (std::vector<std::string>{"0xA0"}));
}

TEST(StreamGraphPinSearch, MoreThanTenPinsKeepTheTableInBounds) {
    std::vector<std::u16string> names = {u"Input", u"Video"};
    for (int i = 0; i < 13; ++i)
        names.push_back(u"AC3");
    const auto parser = parserWith(names);
    RecordingSink sink;
    AudioStreamGraph graph(tonegrabPolicy("/nowhere"), sink);
    graph.Mode = GraphMode::WriteFile;

    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(graph.AudioPinCount, 13);
    EXPECT_EQ(graph.PinTable(1), 3);
    EXPECT_EQ(graph.PinTable(10), 12);
    EXPECT_EQ(graph.PinTable(11), 0);
    EXPECT_EQ(graph.pinOfStream(10), 0);

    // Reversed as a whole: stream 0 is the very last pin, not the tenth.
    sink.flip = true;
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(graph.PinTable(1), 15);
    EXPECT_EQ(graph.PinTable(10), 6);
}

TEST(StreamGraphPinSearch, ParserWithoutAudioLeavesNothing) {
    RecordingSink sink;
    AudioStreamGraph graph(tonegrabPolicy("/nowhere"), sink);
    graph.Mode = GraphMode::RenderStream;
    const auto parser = parserWith({u"Input", u"Video"});
    graph.GetFirstAC3(parser.get());
    EXPECT_EQ(graph.AudioPinCount, 0);
    EXPECT_EQ(graph.FirstMatch, 0);
    EXPECT_EQ(graph.pinOfStream(0), 0);
    EXPECT_TRUE(graph.streamLabels().empty());

    graph.GetFirstAC3(nullptr);
    EXPECT_EQ(graph.AudioPinCount, 0);
}

TEST(StreamGraphPins, GetPinCountsFromOneAndReportsMissingFilters) {
    RecordingSink sink;
    AudioStreamGraph extractor(streamExtractorPolicy("/nowhere"), sink);
    const auto parser = parserWith(kMixedPins);
    extractor.GraphOk = true;
    auto pin = extractor.GetPin(parser.get(), "Output", 4);
    ASSERT_TRUE(pin);
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    info.pFilter->Release();
    EXPECT_EQ(std::u16string(info.achName), u"Audio");
    EXPECT_FALSE(extractor.GetPin(parser.get(), "Output", 9));
    EXPECT_FALSE(extractor.GetPin(parser.get(), "Output", 0));
    EXPECT_TRUE(extractor.GraphOk);

    EXPECT_FALSE(extractor.GetPin(nullptr, "Input", 1));
    EXPECT_FALSE(extractor.GraphOk);
    EXPECT_EQ(sink.messages, (std::vector<std::string>{kFilterErrorText}));

    // The audio extractor fails the build without a box.
    RecordingSink quiet;
    AudioStreamGraph tonegrab(tonegrabPolicy("/nowhere"), quiet);
    tonegrab.GraphOk = true;
    EXPECT_FALSE(tonegrab.GetPin(nullptr, "Input", 1));
    EXPECT_FALSE(tonegrab.GraphOk);
    EXPECT_TRUE(quiet.messages.empty());
}

TEST(StreamGraphTable, SlotsPerMode) {
    FilterTable table;
    ASSERT_EQ(table.assign(GraphMode::WriteFile), 5);
    EXPECT_EQ(table.slot(1).name, kSourceName);
    EXPECT_EQ(table.slot(1).clsid, CLSID_MultiMp2Source);
    EXPECT_EQ(table.slot(2).clsid, filters::CLSID_Mpeg2Parser);
    EXPECT_EQ(table.slot(3).file, kDecoderFile);
    EXPECT_EQ(table.slot(4).name, kWavDestName);
    EXPECT_EQ(table.slot(5).clsid, filters::CLSID_FileWriter);
    EXPECT_TRUE(table.slot(5).file.empty());

    ASSERT_EQ(table.assign(GraphMode::SearchPcm), 4);
    EXPECT_EQ(table.slot(2).clsid, filters::CLSID_Mpeg2Splitter);
    EXPECT_EQ(table.slot(2).file, kSplitterFile);
    EXPECT_EQ(table.slot(3).name, kWavDestName);
    EXPECT_EQ(table.slot(4).name, kFileWriterName);
    EXPECT_EQ(table.find(kDecoderName), nullptr);

    ASSERT_EQ(table.assign(GraphMode::RenderStream), 5);
    EXPECT_EQ(table.slot(4).clsid, filters::CLSID_AcmWrapper);
    EXPECT_EQ(table.slot(5).clsid, filters::CLSID_SoundRenderer);
    EXPECT_EQ(table.find(kWavDestName), nullptr);
}

TEST(StreamGraphPolicies, FilterFolders) {
    EXPECT_EQ(streamExtractorPolicy("/opt/kes").filterFolder, "/opt/kes/Extern/");
    EXPECT_EQ(tonegrabPolicy("/opt/kes/extern").filterFolder, "/opt/kes/extern/");
    EXPECT_EQ(tonegrabPolicy("/opt/kes/extern/").filterFolder, "/opt/kes/extern/");
}

TEST(StreamGraphDecoderSettings, RateTextChoosesTheMaximum) {
    ASSERT_TRUE(writeDecoderSettings("/opt/kes/extern/", "44.1"));
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kMax441Value), "1");
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kReductionValue), "1");
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kChannelsValue), "2");
    EXPECT_EQ(registry::readString(RootKey::LocalMachine, kAsmAc3Key, kLibraryPathValue),
              "/opt/kes/extern/AsmAc3.dll");
    EXPECT_EQ(registry::readString(RootKey::LocalMachine, kAsmFloatKey, kLibraryPathValue),
              "/opt/kes/extern/AsmFloatFull.dll");

    ASSERT_TRUE(writeDecoderSettings("/opt/kes/extern/", "48"));
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kMax441Value), "0");
    ASSERT_TRUE(writeDecoderSettings("/opt/kes/extern/", ""));
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kMax441Value), "0");
}

// No filter file in the folder and none registered: the source cannot be made. The filters made after
// it (the built-in File Writer) must not turn the build back into a success, and nothing is wired.
TEST(StreamGraphBuild, EarlyFailureFailsTheWholeBuild) {
    kes::test::TempDir empty("kes-no-filters");
    RecordingSink sink;
    AudioStreamGraph graph(tonegrabPolicy(empty.str()), sink);
    graph.Mode = GraphMode::WriteFile;
    graph.SourcePath = empty.file("vob.lst");
    graph.DestinationPath = empty.file("out.wav");
    graph.SampleRateText = "44.1";
    ASSERT_TRUE(graph.InitGraph());
    EXPECT_FALSE(graph.CreateFilters());
    EXPECT_FALSE(graph.GraphOk);
    EXPECT_FALSE(graph.filters().slot(1).filter);
    EXPECT_TRUE(graph.filters().slot(5).filter);
    EXPECT_EQ(graph.AudioPinCount, 0);
    EXPECT_TRUE(sink.messages.empty());
    // The decoder's settings were written all the same, from the audio extractor's rate text.
    EXPECT_EQ(registry::readString(RootKey::CurrentUser, kPlayerKey, kMax441Value), "1");
    graph.CloseDSPlayer();
    graph.CloseDSPlayer();
    EXPECT_FALSE(graph.GraphBuilder);
}

TEST(StreamGraphBuild, ExtractorLogsMissingFilterFiles) {
    kes::test::TempDir empty("kes-no-filters");
    RecordingSink sink;
    AudioStreamGraph graph(streamExtractorPolicy(empty.str()), sink);
    graph.Mode = GraphMode::SearchAc3;
    graph.AssignFilters(graph.Mode);
    EXPECT_FALSE(graph.RegisterFilter(1));
    ASSERT_FALSE(sink.log.empty());
    EXPECT_EQ(sink.log.back(), "-> file : " + empty.str() + "/Extern/_Quillon.ax not found");
}

TEST(StreamGraphBuild, GoWithoutSourceFails) {
    kes::test::TempDir empty("kes-no-source");
    RecordingSink sink;
    AudioStreamGraph graph(streamExtractorPolicy(empty.str()), sink);
    graph.Mode = GraphMode::SearchAc3;
    graph.SourcePath = empty.file("missing.lst");
    EXPECT_EQ(graph.GO(), GoResult::Failed);
    EXPECT_EQ(sink.log,
              (std::vector<std::string>{"DirectShow Initialisation OK", "Filters creation failed !"}));
    EXPECT_FALSE(graph.GraphBuilder);
}

} // namespace
} // namespace tools::stream_graph
