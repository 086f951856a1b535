// Extraction of audio from generated VOB sets through the filter graph manager, as the programs do it:
// the multiple-file source, the parser, the decoder, the WAV writer and the File Writer, created from
// their module files, added to a graph made by its class identifier, connected through IGraphBuilder
// and run, waited for and stopped through IMediaControl and IMediaEvent.

#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/core/registry.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"
#include "tests/platform/dshow/filters/ffmpeg_reference.h"
#include "tests/platform/dshow/filters/stock_graph.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using namespace kes::test;
using namespace platform::dshow::filters;

constexpr LONG kRunLimitMs = 60000;
constexpr char kDecoderKey[] = "Software\\Xing Technology Corp.\\XingDVD Player";

void setMax441(const char* value) {
    ASSERT_TRUE(platform::core::registry::writeString(platform::core::RootKey::CurrentUser, kDecoderKey,
                                                      "bMax441Khz", value));
}

// Files of this process open under folder.
int openFilesUnder(const std::filesystem::path& folder) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().starts_with(folder.string()))
            ++count;
    }
    return count;
}

// In stream order: AC3 0 (pin 2), MPEG audio 1 (pin 3), LPCM 2 (pin 4), AC3 3 (pin 5); written in
// another order so that the pins cannot follow the order of the streams in the file.
VobSpec mixedSpec(double length) {
    VobSpec spec;
    spec.seconds = length;
    spec.packsPerFile = 60;
    spec.audio = {{VobAudioKind::Mpeg, 0xC1, 2, 48000, 16, 192000, 330.0},
                  {VobAudioKind::Ac3, 0x83, 2, 48000, 16, 192000, 550.0},
                  {VobAudioKind::Lpcm, 0xA2, 2, 48000, 16, 0, 660.0},
                  {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    return spec;
}

class GraphExtraction : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        loadStockModules();
        registerFilterGraph();
    }

    void SetUp() override { newGraph(); }

    void TearDown() override {
        if (control)
            control->Stop();
        setMax441("0");
    }

    // A fresh graph; the one before is stopped and released with its filters.
    void newGraph() {
        if (control)
            control->Stop();
        source = parser = decoder = {};
        control = {};
        events = {};
        builder = {};
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   builder.putVoid()),
                  S_OK);
        ASSERT_EQ(builder.as(IID_IMediaControl, control), S_OK);
        ASSERT_EQ(builder.as(IID_IMediaEventEx, events), S_OK);
    }

    bool graphHolds(const CLSID& wanted) {
        ComPtr<IEnumFilters> walker;
        if (FAILED(builder->EnumFilters(walker.put())) || !walker)
            return false;
        IBaseFilter* filter = nullptr;
        ULONG fetched = 0;
        bool found = false;
        while (walker->Next(1, &filter, &fetched) == S_OK) {
            CLSID clsid{};
            found = found || (SUCCEEDED(filter->GetClassID(&clsid)) && clsid == wanted);
            filter->Release();
        }
        return found;
    }

    ComPtr<IBaseFilter> addNew(const CLSID& clsid, const char16_t* name) {
        auto filter = createFilter(clsid);
        EXPECT_EQ(builder->AddFilter(filter.get(), name), S_OK);
        return filter;
    }

    // The source loaded with the set's list and the parser behind it.
    void addSourceAndParser(const VobSet& set, const CLSID& parserClass = CLSID_Mpeg2Parser) {
        source = sourceFor(set.list);
        ASSERT_EQ(builder->AddFilter(source.get(), u"Source"), S_OK);
        parser = addNew(parserClass, u"Parser");
        ASSERT_EQ(builder->Connect(pinAt(source.get(), 0).get(), pinAt(parser.get(), 0).get()), S_OK);
    }

    // The parser's pin through the decoder (unless raw), the WAV writer and the File Writer into wav.
    void addWavChain(int parserPin, const std::string& wav, bool decode = true) {
        wavPath = wav;
        ComPtr<IPin> upstream = pinAt(parser.get(), parserPin);
        ASSERT_TRUE(upstream);
        if (decode) {
            decoder = addNew(CLSID_AudioDecoder, u"Decoder");
            ASSERT_EQ(builder->Connect(upstream.get(), pinAt(decoder.get(), 0).get()), S_OK);
            upstream = pinAt(decoder.get(), 1);
        }
        auto wavDest = addNew(CLSID_WavDest, u"WAV Dest");
        auto writer = addNew(CLSID_FileWriter, u"Writer");
        ASSERT_EQ(builder->Connect(upstream.get(), pinAt(wavDest.get(), 0).get()), S_OK);
        ASSERT_EQ(builder->Connect(pinAt(wavDest.get(), 1).get(), pinAt(writer.get(), 0).get()), S_OK);
        ComPtr<IFileSinkFilter> sink;
        ASSERT_EQ(writer.as(IID_IFileSinkFilter, sink), S_OK);
        ASSERT_EQ(sink->SetFileName(platform::com::wideFromBytes(wav).c_str(), nullptr), S_OK);
    }

    // Run, WaitForCompletion, Stop; the file written.
    std::string runToEnd() {
        EXPECT_EQ(control->Run(), S_OK);
        LONG code = 0;
        EXPECT_EQ(events->WaitForCompletion(kRunLimitMs, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
        EXPECT_EQ(control->Stop(), S_OK);
        return readBytes(wavPath);
    }

    // Events taken with GetEvent until EC_COMPLETE or the time limit, their codes in order.
    std::vector<LONG> eventsUntilComplete() {
        std::vector<LONG> codes;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunLimitMs);
        while (std::chrono::steady_clock::now() < until) {
            LONG code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            if (events->GetEvent(&code, &p1, &p2, 100) != S_OK)
                continue;
            events->FreeEventParams(code, p1, p2);
            codes.push_back(code);
            if (code == EC_COMPLETE)
                break;
        }
        return codes;
    }

    TempDir dir;
    ComPtr<IGraphBuilder> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IBaseFilter> source, parser, decoder;
    std::string wavPath;
};

TEST_F(GraphExtraction, PinsFollowTheStreamNumbersUnderBothParserIdentifiers) {
    const auto set = writeVobSet(dir.path(), mixedSpec(0.5));
    const std::vector<std::string> expected{"Input", "Video", "AC3", "Audio", "LPCM", "AC3"};
    for (const CLSID& clsid : {CLSID_Mpeg2Parser, CLSID_Mpeg2Splitter}) {
        SCOPED_TRACE(guidToString(clsid));
        newGraph();
        addSourceAndParser(set, clsid);
        EXPECT_EQ(pinNames(parser.get()), expected);
    }
}

TEST_F(GraphExtraction, Ac3AndMpegAudioBecomeWavsMatchingADirectFfmpegDecode) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.5));
    const struct {
        int pin;
        size_t stream;
        ReferenceCodec codec;
    } cases[] = {{2, 3, ReferenceCodec::Ac3}, {3, 0, ReferenceCodec::Mpeg}, {5, 1, ReferenceCodec::Ac3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pin);
        newGraph();
        addSourceAndParser(set);
        addWavChain(c.pin, dir.file("out" + std::to_string(c.pin) + ".wav"));
        const std::string bytes = runToEnd();
        expectCanonicalWav(bytes, 48000);
        const auto reference = referenceDecode(c.codec, set.audio[c.stream].frames, 48000);
        const auto samples = wavSamples(bytes);
        EXPECT_EQ(samples.size(), reference.size());
        EXPECT_LE(maxDifference(samples, reference), 1);
    }
}

TEST_F(GraphExtraction, LpcmIsSampleExactAndTheRunEndsWithOneCompleteEvent) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    addSourceAndParser(set);
    addWavChain(4, dir.file("lpcm.wav"));
    ComPtr<IMediaPosition> position;
    ASSERT_EQ(builder.as(IID_IMediaPosition, position), S_OK);
    REFTIME duration = 0;
    ASSERT_EQ(position->get_Duration(&duration), S_OK);
    EXPECT_NEAR(duration, 1.0, 0.1); // up to the time of the last packet

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(eventsUntilComplete(), std::vector<LONG>{EC_COMPLETE});
    ASSERT_EQ(control->Stop(), S_OK);
    const std::string bytes = readBytes(wavPath);
    expectCanonicalWav(bytes, 48000);
    EXPECT_EQ(wavSamples(bytes), set.audio[2].pcm);
    EXPECT_EQ(openFilesUnder(dir.path()), 0);
}

TEST_F(GraphExtraction, Max441KhzGivesFortyFourPointOneKilohertz) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    setMax441("1");
    addSourceAndParser(set);
    addWavChain(2, dir.file("441.wav"));
    setMax441("0"); // read when the decoder was created
    const std::string bytes = runToEnd();
    expectCanonicalWav(bytes, 44100);
    const auto reference = referenceDecode(ReferenceCodec::Ac3, set.audio[3].frames, 44100);
    const auto samples = wavSamples(bytes);
    EXPECT_EQ(samples.size(), reference.size());
    EXPECT_LE(maxDifference(samples, reference), 1);
}

TEST_F(GraphExtraction, ATruncatedSetCompletesWithAValidWavOfWhatItHeld) {
    VobSpec spec = mixedSpec(1.0);
    spec.packsPerFile = 0;
    auto set = writeVobSet(dir.path(), spec);
    const std::string whole = readBytes(set.files[0]);
    writeBytes(set.files[0], whole.substr(0, whole.size() / 2 + 1001)); // in the middle of a pack
    addSourceAndParser(set);
    addWavChain(4, dir.file("cut.wav"));
    const std::string bytes = runToEnd();
    expectCanonicalWav(bytes, 48000);
    const auto samples = wavSamples(bytes);
    ASSERT_GT(samples.size(), 0u);
    ASSERT_LT(samples.size(), set.audio[2].pcm.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), set.audio[2].pcm.begin()));
}

TEST_F(GraphExtraction, AStopInTheMiddleLeavesAValidWavAndNoFileOrThread) {
    VobSpec spec;
    spec.seconds = 40.0;
    spec.packsPerFile = 2000;
    spec.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    const auto set = writeVobSet(dir.path(), spec);
    const size_t threadsBefore = threadCount();
    addSourceAndParser(set);
    addWavChain(2, dir.file("stop.wav"));
    ASSERT_EQ(control->Run(), S_OK);
    // Until a second of sound is written (the File Writer writes to a hidden file beside the target).
    constexpr uintmax_t kEnough = 48000 * 4;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunLimitMs);
    const auto written = [&] {
        std::error_code error;
        uintmax_t size = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path(), error))
            if (entry.path().filename().string().starts_with(".stop.wav"))
                size = entry.file_size(error);
        return size;
    };
    while (written() < kEnough && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(control->Stop(), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
    EXPECT_TRUE(threadsBackTo(threadsBefore));
    EXPECT_EQ(openFilesUnder(dir.path()), 0);

    const std::string bytes = readBytes(wavPath);
    expectCanonicalWav(bytes, 48000);
    const auto samples = wavSamples(bytes);
    const auto reference = referenceDecode(ReferenceCodec::Ac3, set.audio[0].frames, 48000);
    EXPECT_GE(samples.size() * 2, kEnough);
    ASSERT_LT(samples.size(), reference.size());
    EXPECT_LE(maxDifference(samples, reference), 1);
}

TEST_F(GraphExtraction, TheDecoderOutputRendersToTheSoundRendererAndPlaysWithoutADevice) {
    setenv("KESTROVA_SOUND_DEVICE", "none", 1);
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    addSourceAndParser(set);
    decoder = addNew(CLSID_AudioDecoder, u"Decoder");
    ASSERT_EQ(builder->Connect(pinAt(parser.get(), 2).get(), pinAt(decoder.get(), 0).get()), S_OK);
    ASSERT_EQ(builder->Render(pinAt(decoder.get(), 1).get()), S_OK);
    EXPECT_TRUE(graphHolds(CLSID_SoundRenderer));

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(kRunLimitMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(900)); // the second of sound, at real-time pace
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(control->Stop(), S_OK);
    unsetenv("KESTROVA_SOUND_DEVICE");
}

} // namespace
