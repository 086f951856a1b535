// The stock filters as a host uses them: loaded from their files in the program folder, created by
// class identifier and connected pin to pin behind the multiple-file source, over generated VOB sets.

#include "platform/com/class_registry.h"
#include "platform/com/inproc_server.h"
#include "platform/com/wide_text.h"
#include "platform/core/registry.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_registration.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/filters/stock_interfaces.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"
#include "tests/platform/dshow/filters/ffmpeg_reference.h"
#include "tests/platform/dshow/filters/stock_graph.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

namespace {

using namespace kes::test;
using namespace platform::dshow::filters;
using std::chrono::seconds;

constexpr auto kRunLimit = seconds(60);
constexpr char kDecoderKey[] = "Software\\Xing Technology Corp.\\XingDVD Player";

void setMax441(const char* value) {
    ASSERT_TRUE(platform::core::registry::writeString(platform::core::RootKey::CurrentUser, kDecoderKey,
                                                      "bMax441Khz", value));
}

// The extraction chain for one of the parser's pins: source, parser, the decoder (unless the pin goes
// straight to the WAV writer), WAV writer, File Writer.
struct Extraction {
    FilterChain chain;
    ComPtr<IBaseFilter> source, parser, decoder, wavDest, writer;
    std::string wav;

    void build(const VobSet& set, int parserPin, std::string wavPath, bool decode = true) {
        wav = std::move(wavPath);
        source = sourceFor(set.list);
        parser = createFilter(CLSID_Mpeg2Parser);
        chain.add(source);
        chain.add(parser);
        ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(parser.get(), 0).get(), nullptr), S_OK);
        ComPtr<IPin> upstream = pinAt(parser.get(), parserPin);
        ASSERT_TRUE(upstream);
        if (decode) {
            decoder = createFilter(CLSID_AudioDecoder);
            chain.add(decoder);
            ASSERT_EQ(upstream->Connect(pinAt(decoder.get(), 0).get(), nullptr), S_OK);
            upstream = pinAt(decoder.get(), 1);
        }
        wavDest = createFilter(CLSID_WavDest);
        writer = createFilter(CLSID_FileWriter);
        chain.add(wavDest);
        chain.add(writer);
        ASSERT_EQ(upstream->Connect(pinAt(wavDest.get(), 0).get(), nullptr), S_OK);
        ASSERT_EQ(pinAt(wavDest.get(), 1)->Connect(pinAt(writer.get(), 0).get(), nullptr), S_OK);
        ComPtr<IFileSinkFilter> sink;
        ASSERT_EQ(writer.as(IID_IFileSinkFilter, sink), S_OK);
        ASSERT_EQ(sink->SetFileName(platform::com::wideFromBytes(wav).c_str(), nullptr), S_OK);
    }

    std::string runToEnd() {
        EXPECT_EQ(chain.run(), S_OK);
        EXPECT_TRUE(chain.graph().waitFor(EC_COMPLETE, kRunLimit));
        EXPECT_EQ(chain.stop(), S_OK);
        return readBytes(wav);
    }
};

class StockFilters : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loadStockModules(); }
    void TearDown() override { setMax441("0"); }

    TempDir dir;
};

VobSpec mixedSpec(double length) {
    VobSpec spec;
    spec.seconds = length;
    spec.packsPerFile = 60;
    // In stream order: MPEG audio 1, AC3 3, LPCM 2, AC3 0.
    spec.audio = {{VobAudioKind::Mpeg, 0xC1, 2, 48000, 16, 192000, 330.0},
                  {VobAudioKind::Ac3, 0x83, 2, 48000, 16, 192000, 550.0},
                  {VobAudioKind::Lpcm, 0xA2, 2, 48000, 16, 0, 660.0},
                  {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    return spec;
}

TEST_F(StockFilters, PinsAreNamedAndOrderedByStreamNumberUnderBothIdentifiers) {
    const auto set = writeVobSet(dir.path(), mixedSpec(0.5));
    for (const CLSID& clsid : {CLSID_Mpeg2Parser, CLSID_Mpeg2Splitter}) {
        FilterChain chain;
        auto source = sourceFor(set.list);
        auto splitter = createFilter(clsid);
        chain.add(source);
        chain.add(splitter);
        EXPECT_EQ(pinNames(splitter.get()), std::vector<std::string>{"Input"});
        ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(splitter.get(), 0).get(), nullptr), S_OK);
        EXPECT_EQ(pinNames(splitter.get()),
                  (std::vector<std::string>{"Input", "Video", "AC3", "Audio", "LPCM", "AC3"}));
        CLSID reported;
        splitter->GetClassID(&reported);
        EXPECT_EQ(reported, clsid);
        // The LPCM pin describes its PCM layout.
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(pinAt(splitter.get(), 4)->EnumMediaTypes(types.put()), S_OK);
        AM_MEDIA_TYPE* type = nullptr;
        ULONG fetched = 0;
        ASSERT_EQ(types->Next(1, &type, &fetched), S_OK);
        EXPECT_EQ(type->subtype, MEDIASUBTYPE_DVD_LPCM_AUDIO);
        EXPECT_EQ(type->formattype, FORMAT_WaveFormatEx);
        DeleteMediaType(type);
    }
}

TEST_F(StockFilters, TiesBetweenFormatsKeepTheOrderOfFirstAppearanceAndVideoIsAlwaysPinTwo) {
    VobSpec spec;
    spec.seconds = 0.3;
    spec.video = false;
    spec.audio = {{VobAudioKind::Mpeg, 0xC0, 2, 48000, 16, 192000, 330.0},
                  {VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, 550.0},
                  {VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 660.0}};
    const auto set = writeVobSet(dir.path(), spec);
    FilterChain chain;
    auto source = sourceFor(set.list);
    auto splitter = createFilter(CLSID_Mpeg2Parser);
    chain.add(source);
    chain.add(splitter);
    ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(splitter.get(), 0).get(), nullptr), S_OK);
    EXPECT_EQ(pinNames(splitter.get()), (std::vector<std::string>{"Input", "Video", "Audio", "LPCM", "AC3"}));
}

TEST_F(StockFilters, Ac3AndMpegAudioBecomeWavsMatchingFfmpeg) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.5));
    const struct {
        int pin;
        size_t stream;
        ReferenceCodec codec;
    } cases[] = {{2, 3, ReferenceCodec::Ac3}, {3, 0, ReferenceCodec::Mpeg}, {5, 1, ReferenceCodec::Ac3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pin);
        Extraction run;
        run.build(set, c.pin, dir.file("out" + std::to_string(c.pin) + ".wav"));
        const std::string bytes = run.runToEnd();
        expectCanonicalWav(bytes, 48000);
        const auto reference = referenceDecode(c.codec, set.audio[c.stream].frames, 48000);
        const auto samples = wavSamples(bytes);
        EXPECT_EQ(samples.size(), reference.size());
        EXPECT_LE(maxDifference(samples, reference), 1);
        EXPECT_FALSE(run.chain.graph().saw(EC_ERRORABORT));
    }
}

TEST_F(StockFilters, LpcmThroughTheDecoderIsSampleExactAndStraightToTheWavWriterStaysBigEndian) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    const auto& lpcm = set.audio[2];
    {
        Extraction run;
        run.build(set, 4, dir.file("decoded.wav"));
        const std::string bytes = run.runToEnd();
        expectCanonicalWav(bytes, 48000);
        EXPECT_EQ(wavSamples(bytes), lpcm.pcm);
    }
    {
        Extraction run;
        run.build(set, 4, dir.file("raw.wav"), false);
        const std::string bytes = run.runToEnd();
        expectCanonicalWav(bytes, 48000);
        EXPECT_EQ(le32At(bytes, 20) & 0xFFFF, 1u); // PCM
        EXPECT_EQ(le32At(bytes, 32) & 0xFFFF, 4u); // 4 bytes a frame
        EXPECT_EQ(bytes.substr(44), std::string(lpcm.elementary.begin(), lpcm.elementary.end()));
    }
}

TEST_F(StockFilters, Max441KhzGivesFortyFourPointOneKilohertz) {
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    setMax441("1");
    Extraction run;
    run.build(set, 2, dir.file("441.wav"));
    setMax441("0"); // read when the decoder was created
    const std::string bytes = run.runToEnd();
    expectCanonicalWav(bytes, 44100);
    const auto reference = referenceDecode(ReferenceCodec::Ac3, set.audio[3].frames, 44100);
    const auto samples = wavSamples(bytes);
    EXPECT_EQ(samples.size(), reference.size());
    EXPECT_LE(maxDifference(samples, reference), 1);
}

TEST_F(StockFilters, ATruncatedSetEndsTheStreamWithAValidWavOfWhatItHeld) {
    VobSpec spec = mixedSpec(1.0);
    spec.packsPerFile = 0;
    auto set = writeVobSet(dir.path(), spec);
    // Cut the file in the middle of a pack, after the parser's scan found every stream.
    const std::string whole = readBytes(set.files[0]);
    writeBytes(set.files[0], whole.substr(0, whole.size() / 2 + 1001));
    Extraction run;
    run.build(set, 4, dir.file("cut.wav"));
    const std::string bytes = run.runToEnd();
    expectCanonicalWav(bytes, 48000);
    const auto samples = wavSamples(bytes);
    ASSERT_GT(samples.size(), 0u);
    ASSERT_LT(samples.size(), set.audio[2].pcm.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), set.audio[2].pcm.begin()));
}

TEST_F(StockFilters, DamagedBytesInTheMiddleStillEndTheStream) {
    VobSpec spec = mixedSpec(1.0);
    spec.packsPerFile = 0;
    auto set = writeVobSet(dir.path(), spec);
    std::string bytes = readBytes(set.files[0]);
    for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 50000; ++i)
        bytes[i] = static_cast<char>(i * 7919 % 251);
    writeBytes(set.files[0], bytes);
    Extraction run;
    run.build(set, 2, dir.file("damaged.wav"));
    const std::string wav = run.runToEnd();
    expectCanonicalWav(wav, 48000);
    EXPECT_GT(wavSamples(wav).size(), 0u);
}

// The size of the File Writer's file while it is being written (a hidden file beside the target).
int64_t writtenSoFar(const std::filesystem::path& folder, const std::string& name) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with("." + name))
            return static_cast<int64_t>(entry.file_size(error));
    return 0;
}

TEST_F(StockFilters, AStopInTheMiddleLeavesAValidWavNoOpenFileAndNoThread) {
    VobSpec spec;
    spec.seconds = 40.0;
    spec.packsPerFile = 2000;
    spec.audio = {{VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 660.0}};
    const auto set = writeVobSet(dir.path(), spec);
    const auto& pcm = set.audio[0].pcm;
    using Order = FilterChain::StopOrder;
    for (const Order order : {Order::PullerFirst, Order::Downstream}) {
        SCOPED_TRACE(static_cast<int>(order));
        const size_t threadsBefore = threadCount();
        const std::string name = order == Order::PullerFirst ? "stop1.wav" : "stop2.wav";
        Extraction run;
        run.build(set, 2, dir.file(name));
        ASSERT_EQ(run.chain.run(), S_OK);
        constexpr int64_t kEnough = 1 << 20;
        const auto until = std::chrono::steady_clock::now() + kRunLimit;
        while (writtenSoFar(dir.path(), name) < kEnough && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        EXPECT_EQ(run.chain.stop(order), S_OK);
        EXPECT_EQ(run.chain.stop(order), S_OK); // a second stop does nothing
        EXPECT_FALSE(run.chain.graph().saw(EC_COMPLETE));
        EXPECT_FALSE(run.chain.graph().saw(EC_ERRORABORT));
        EXPECT_TRUE(threadsBackTo(threadsBefore));
        EXPECT_EQ(writtenSoFar(dir.path(), name), 0); // no file left open or half-named
        const std::string bytes = readBytes(dir.path() / name);
        if (order == Order::PullerFirst) {
            // The WAV writer completes the sizes while the File Writer still runs.
            expectCanonicalWav(bytes, 48000);
        } else {
            // The File Writer closed first: the header may miss the last sample written after it.
            ASSERT_GE(bytes.size(), 44u);
            EXPECT_EQ(le32At(bytes, 4), le32At(bytes, 40) + 36);
            EXPECT_LE(le32At(bytes, 40) + 44, bytes.size());
            EXPECT_GE(le32At(bytes, 40) + 44 + 64 * 1024, bytes.size());
        }
        auto samples = wavSamples(bytes);
        samples.resize(le32At(bytes, 40) / 2);
        EXPECT_GE(samples.size() * 2, static_cast<size_t>(kEnough) - 64 * 1024);
        EXPECT_LT(samples.size(), pcm.size());
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), pcm.begin()));
    }
}

TEST_F(StockFilters, TheFileWriterTakesAnEmptyNameUntilItRunsAndFindsFoldersWithoutRegardToCase) {
    auto writer = createFilter(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer.as(IID_IFileSinkFilter, sink), S_OK);
    EXPECT_EQ(sink->SetFileName(u"", nullptr), S_OK);
    EXPECT_TRUE(FAILED(writer->Pause()));
    ComPtr<IAMFilterMiscFlags> flags;
    ASSERT_EQ(writer->QueryInterface(IID_IAMFilterMiscFlags, flags.putVoid()), S_OK);
    EXPECT_EQ(flags->GetMiscFlags(), AM_FILTER_MISC_FLAGS_IS_RENDERER);
    EXPECT_EQ(pinNames(writer.get()), std::vector<std::string>{"in"});

    std::filesystem::create_directory(dir.path() / "Wtemp");
    const auto set = writeVobSet(dir.path(), mixedSpec(0.5));
    Extraction run;
    run.build(set, 4, (dir.path() / "wtemp" / "x.wav").string());
    ASSERT_EQ(run.chain.run(), S_OK);
    EXPECT_TRUE(run.chain.graph().waitFor(EC_COMPLETE, kRunLimit));
    EXPECT_EQ(run.chain.stop(), S_OK);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Wtemp" / "x.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "wtemp"));
}

TEST_F(StockFilters, TheDecoderAndTheWavWriterNameTheirPins) {
    auto decoder = createFilter(CLSID_AudioDecoder);
    EXPECT_EQ(pinNames(decoder.get()), (std::vector<std::string>{"Input", "Output"}));
    auto wavDest = createFilter(CLSID_WavDest);
    EXPECT_EQ(pinNames(wavDest.get()), (std::vector<std::string>{"In", "Out"}));
    auto acm = createFilter(CLSID_AcmWrapper);
    EXPECT_EQ(pinNames(acm.get()), (std::vector<std::string>{"Input", "Output"}));
}

TEST_F(StockFilters, TheSoundRendererPlaysWithoutADeviceAtRealTimePace) {
    setenv("KESTROVA_SOUND_DEVICE", "none", 1);
    const auto set = writeVobSet(dir.path(), mixedSpec(1.0));
    FilterChain chain;
    auto source = sourceFor(set.list);
    auto parser = createFilter(CLSID_Mpeg2Parser);
    auto decoder = createFilter(CLSID_AudioDecoder);
    auto acm = createFilter(CLSID_AcmWrapper);
    auto renderer = createFilter(CLSID_SoundRenderer);
    for (const auto& f : {source, parser, decoder, acm, renderer})
        chain.add(f);
    ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(parser.get(), 0).get(), nullptr), S_OK);
    ASSERT_EQ(pinAt(parser.get(), 2)->Connect(pinAt(decoder.get(), 0).get(), nullptr), S_OK);
    ASSERT_EQ(pinAt(decoder.get(), 1)->Connect(pinAt(acm.get(), 0).get(), nullptr), S_OK);
    ASSERT_EQ(pinAt(acm.get(), 1)->Connect(pinAt(renderer.get(), 0).get(), nullptr), S_OK);
    EXPECT_EQ(pinNames(renderer.get()), std::vector<std::string>{"Audio Input pin (rendered)"});
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(chain.run(), S_OK);
    EXPECT_TRUE(chain.graph().waitFor(EC_COMPLETE, kRunLimit));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(900)); // the one second of sound "played"
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(chain.stop(), S_OK);
    unsetenv("KESTROVA_SOUND_DEVICE");
}

TEST_F(StockFilters, AWavFileSourceRendersAndAStopEndsPlaybackAtOnce) {
    setenv("KESTROVA_SOUND_DEVICE", "none", 1);
    const auto set = writeVobSet(dir.path(), mixedSpec(0.6));
    {
        Extraction run;
        run.build(set, 4, dir.file("play.wav"));
        run.runToEnd();
    }
    FilterChain chain;
    auto source = createFilter(CLSID_WavFileSource);
    auto renderer = createFilter(CLSID_SoundRenderer);
    chain.add(source);
    chain.add(renderer);
    ComPtr<IFileSourceFilter> file;
    ASSERT_EQ(source.as(IID_IFileSourceFilter, file), S_OK);
    EXPECT_TRUE(FAILED(file->Load(platform::com::wideFromBytes(set.list.string()).c_str(), nullptr)));
    ASSERT_EQ(file->Load(platform::com::wideFromBytes(dir.file("PLAY.WAV")).c_str(), nullptr), S_OK);
    ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(renderer.get(), 0).get(), nullptr), S_OK);
    ASSERT_EQ(chain.run(), S_OK);
    EXPECT_TRUE(chain.graph().waitFor(EC_COMPLETE, kRunLimit));
    EXPECT_EQ(chain.stop(), S_OK);

    // Paused, the renderer holds the stream; a stop still returns at once.
    ASSERT_EQ(renderer->Pause(), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(chain.stop(FilterChain::StopOrder::Upstream), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    unsetenv("KESTROVA_SOUND_DEVICE");
}

TEST_F(StockFilters, EachModuleRegistersItsClassesAndTheDecoderNeedsItsTwoLibraries) {
    const std::pair<CLSID, const char*> modules[] = {{CLSID_Mpeg2Parser, "_Mpeg2Parser.ax"},
                                                     {CLSID_Mpeg2Splitter, "Mpeg2splt.ax"},
                                                     {CLSID_AudioDecoder, "XmdAudioDecode.dll"},
                                                     {CLSID_WavDest, "_wavdest.ax"}};
    for (const auto& [clsid, file] : modules) {
        const auto registration = findClassRegistration(clsid);
        ASSERT_TRUE(registration) << file;
        EXPECT_EQ(std::filesystem::path(registration->modulePath).filename(), file);
        EXPECT_TRUE(findRegisteredFilter(clsid)) << file;
    }
    EXPECT_EQ(findRegisteredFilter(CLSID_SoundRenderer)->merit, MERIT_PREFERRED);

    // A copy of the decoder without its two library files is created, but takes no stream.
    std::filesystem::copy_file(builtExtern() / "XmdAudioDecode.dll", dir.path() / "XmdAudioDecode.dll");
    std::string error;
    auto lone = InprocServer::load(dir.file("XmdAudioDecode.dll"), &error);
    ASSERT_NE(lone, nullptr) << error;
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(lone->getClassObject(CLSID_AudioDecoder, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<IBaseFilter> decoder;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, decoder.putVoid()), S_OK);
    const auto set = writeVobSet(dir.path(), mixedSpec(0.3));
    FilterChain chain;
    auto source = sourceFor(set.list);
    auto parser = createFilter(CLSID_Mpeg2Parser);
    chain.add(source);
    chain.add(parser);
    chain.add(decoder);
    ASSERT_EQ(pinAt(source.get(), 0)->Connect(pinAt(parser.get(), 0).get(), nullptr), S_OK);
    EXPECT_TRUE(FAILED(pinAt(parser.get(), 2)->Connect(pinAt(decoder.get(), 0).get(), nullptr)));
}

TEST_F(StockFilters, TheParserSeeksByTime) {
    VobSpec spec;
    spec.seconds = 4.0;
    spec.audio = {{VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 660.0}};
    const auto set = writeVobSet(dir.path(), spec);
    Extraction run;
    run.build(set, 2, dir.file("seek.wav"));
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(run.parser->QueryInterface(IID_IMediaSeeking, seeking.putVoid()), S_OK);
    LONGLONG duration = 0;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration) / UNITS, 4.0, 0.05);
    LONGLONG half = duration / 2;
    ASSERT_EQ(seeking->SetPositions(&half, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
              S_OK);
    const std::string bytes = run.runToEnd();
    expectCanonicalWav(bytes, 48000);
    const auto samples = wavSamples(bytes);
    const auto& pcm = set.audio[0].pcm;
    EXPECT_NEAR(static_cast<double>(samples.size()) / static_cast<double>(pcm.size()), 0.5, 0.05);
    // What comes out is the tone from where the seek landed on: the end of the source's samples.
    EXPECT_TRUE(std::equal(samples.rbegin(), samples.rend(), pcm.rbegin()));
    LONGLONG position = 0;
    ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_GT(position, half);
}

TEST_F(StockFilters, ASeekIntoALaterFileOfAVariableRateSetStartsAtTheSampleOfTheTime) {
    VobSpec spec;
    spec.seconds = 16.0;
    spec.audio = {{VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 660.0}};
    spec.videoMaker = variableRateVideo({{5.0, 20000}, {5.0, 900000}});
    spec.packsPerFile = 1000;
    const auto set = writeVobSet(dir.path(), spec);
    ASSERT_GE(set.files.size(), 4u);
    const auto& pcm = set.audio[0].pcm;
    for (const double time : {7.5, 13.25}) {
        Extraction run;
        run.build(set, 2, dir.file("seek.wav"));
        ComPtr<IMediaSeeking> seeking;
        ASSERT_EQ(run.parser->QueryInterface(IID_IMediaSeeking, seeking.putVoid()), S_OK);
        LONGLONG wanted = std::llround(time * UNITS);
        ASSERT_EQ(
            seeking->SetPositions(&wanted, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
            S_OK);
        LONGLONG position = 0;
        ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
        EXPECT_EQ(position, wanted);
        const auto samples = wavSamples(run.runToEnd());
        // Every sample from the one at the time on, and nothing before it.
        const auto first = static_cast<size_t>(time * 48000) * 2;
        ASSERT_EQ(samples.size(), pcm.size() - first) << time;
        EXPECT_TRUE(
            std::equal(samples.begin(), samples.end(), pcm.begin() + static_cast<std::ptrdiff_t>(first)));
        ASSERT_EQ(seeking->GetCurrentPosition(&position), S_OK);
        EXPECT_GE(position, wanted);
    }

    // A time far past the end: the last packet, and the run completes.
    Extraction run;
    run.build(set, 2, dir.file("end.wav"));
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(run.parser->QueryInterface(IID_IMediaSeeking, seeking.putVoid()), S_OK);
    LONGLONG far = LONGLONG{1} << 60;
    ASSERT_EQ(seeking->SetPositions(&far, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
              S_OK);
    const auto samples = wavSamples(run.runToEnd());
    ASSERT_FALSE(samples.empty());
    EXPECT_LT(samples.size(), size_t{48000});
    EXPECT_TRUE(std::equal(samples.rbegin(), samples.rend(), pcm.rbegin()));
}

} // namespace
