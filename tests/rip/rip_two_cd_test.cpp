// A rip onto two CDs: both AC3 streams through the AC3 file decoder, compressed to WMA with one preset;
// DivX 3 video with the codec dialog automated, resized and cropped; the movie split in halves with the
// logo clip after the first part, the second stream's audio taken back out of its own two parts; both
// subtitle languages extracted, packed, and their index cut for the second part; the work WAV files
// deleted. And a split by size, whose size must reach the muxer.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

#include "tests/outside/rar/run_tool.h"
#include "tests/outside/vobsub/ffmpeg_vobsub.h"
#include "tests/support/lavf_media.h"

#include <algorithm>
#include <cmath>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr int ClipFrames = 25;
constexpr int FramesPerSecond = 25;

// Where the sound of a stream ends: a WMA decoder's sound starts a block into the stream.
double soundEnd(const ProbedStream& audio) {
    return audio.lostSeconds + audio.seconds;
}

std::vector<int64_t> startsMs(const FfmpegSubtitleStream& stream) {
    std::vector<int64_t> starts;
    for (const auto& s : stream.subtitles)
        starts.push_back(s.startMs);
    return starts;
}

// The subtitles of a title that start at or after a cut, as times from the cut, in milliseconds.
std::vector<int64_t> startsAfter(const std::vector<double>& starts, double cut) {
    std::vector<int64_t> ms;
    for (const double s : starts)
        if (s >= cut - 1e-9)
            ms.push_back(std::llround((s - cut) * 1000));
    return ms;
}

// The key frame that a split at t takes: the nearer of the last one before t and the first one from t
// on (the later one when both are as far); the end of the movie when none follows.
long long splitFrameNear(const std::vector<long long>& keys, long long t, long long frames) {
    long long before = 0;
    long long after = frames;
    for (const long long k : keys) {
        if (k <= t)
            before = k;
        if (k >= t) {
            after = k;
            break;
        }
    }
    return t - before < after - t ? before : after;
}

// The VobSub pair of a part as a player finds it: "<part>.idx" beside the ".sub" packed in
// "<part>.rar", unpacked into a folder of its own for FFmpeg.
std::vector<FfmpegSubtitleStream> readPackedPair(const std::string& part, const TempDir& into,
                                                 std::string* error) {
    const fs::path folder = fs::path(part).parent_path();
    const ToolRun list = runTool({"bsdtar", "-tf", part + ".rar"}, folder);
    if (list.status != 0 || list.out.empty()) {
        *error = "no member in " + part + ".rar: " + list.err;
        return {};
    }
    const std::string member = list.out.substr(0, list.out.find('\n'));
    const ToolRun sub = runTool({"bsdtar", "-xOf", part + ".rar", member}, folder);
    const fs::path base = into.path() / fs::path(part).filename();
    writeBytes(base.string() + ".sub", sub.out);
    fs::copy_file(part + ".idx", base.string() + ".idx");
    return readWithFfmpeg(base.string() + ".idx", error);
}

// The "id:" lines of an index, as they stand.
std::vector<std::string> idLines(const std::string& index) {
    std::vector<std::string> lines;
    const std::string text = readBytes(index);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("id:"))
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

class TwoCdRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        out = at("out/");
    }
    std::string out;
};

TEST_F(TwoCdRoadTest, TwoStreamsWmaDivX3SplitInHalvesWithLogoClipAndCutSubtitles) {
    DvdTitleSpec spec;
    spec.video = true;
    spec.beeps = {1.0, 4.4};
    makeTitle(spec);
    // The logo clip for the cropped picture size, made by another program in the movie's codec.
    const fs::path clip = program("Vexlor/Vexlor320x240.avi");
    fs::create_directories(clip.parent_path());
    MovieSpec clipSpec;
    clipSpec.video = MovieSpec::Video::MsMpeg4v3;
    clipSpec.audio = MovieSpec::Audio::None;
    clipSpec.width = 320;
    clipSpec.height = 240;
    clipSpec.frames = ClipFrames;
    clipSpec.keyEvery = ClipFrames;
    std::string error;
    ASSERT_TRUE(writeMovie(clip.string(), clipSpec, &error)) << error;
    ASSERT_TRUE(setVideoFourcc(clip.string(), "DIV3"));
    start();

    saveProfile("TwoCd", "twocd.pfl", [&](TForm1& f) {
        f.RipAudio.setChecked(true);
        f.arip.setText("AC3Dec");
        f.SubStream.setText(f.SubStream.items().at(0));
        f.twostreams.setChecked(true);
        f.SecSubStream.setText(f.SecSubStream.items().at(1));
        f.compress.setChecked(true);
        f.DelWav.setChecked(true);
        f.mp3wma.setText("WMA");
        f.compaudiofile.setText(out + "work/audio.wma.wav");
        f.compressedSS2.setText(out + "work/audio2.wma.wav");
        f.RipVid.setChecked(true);
        f.DivxAuto.setChecked(true);
        f.Codec.setText("Low Motion");
        f.kframe.setText("1");
        f.DivFR.setText("1500");
        f.DownX.setChecked(true);
        f.DownY.setChecked(true);
        f.XSize.setText("320");
        f.YSize.setText("256");
        f.Crop.setChecked(true);
        f.XCrop.setText("320");
        f.YCrop.setText("240");
        f.Merge.setChecked(true);
        f.Split.setChecked(true);
        f.sih.setChecked(true);
        f.Vexlor.setChecked(true);
        f.ifofile.setText(title.ifoPath.string());
        for (int i = 0; i < f.IFOlngList.itemCount(); ++i)
            f.IFOlngList.setSelected(i, true);
        f.SpeedButton5Click();
    });
    loadProfile("TwoCd");
    EXPECT_EQ(loadBoxes, Lines{});
    EXPECT_EQ(form->SecSubStream.text(), "0x81 [Francais]");
    EXPECT_EQ(form->selectedlng.items(), (Lines{"English", "Francais"}));
    const std::string part1 = out + "TwoCd";
    const std::string part2 = out + "TwoCd2";
    EXPECT_EQ(form->destsub.text(), part1 + ".sub");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    ASSERT_EQ(reports().size(), 1u);
    const std::string report = reports()[0];
    EXPECT_NE(report.find("2CD-PAL-320x240-WMA/44.1/64- DivX 3"), std::string::npos) << report;

    // The converter's movie: DivX 3 at the cropped size, as long as the title, a key frame a second.
    const ProbedFile movie = probeMedia(out + "work/movie.avi");
    ASSERT_TRUE(movie.opened) << movie.error;
    ASSERT_EQ(movie.streams.size(), 1u);
    const ProbedStream& whole = movie.streams[0];
    EXPECT_EQ(whole.codec, "msmpeg4v3");
    EXPECT_EQ(whole.fourcc, "DIV3");
    EXPECT_EQ(whole.width, 320);
    EXPECT_EQ(whole.height, 240);
    // DivX 3 has no room for the pixels' shape (a 4:3 PAL title's, kept by the crop): the file's headers
    // carry it, through the split too.
    EXPECT_EQ(whole.aspectNum, 16);
    EXPECT_EQ(whole.aspectDen, 15);
    EXPECT_NEAR(whole.seconds, title.spec.seconds, VideoFrame);
    const long long frames = whole.frames;
    const long long split = splitFrameNear(whole.keyFrames, std::llround(frames / 2.0), frames);
    ASSERT_GT(split, 0);
    ASSERT_LT(split, frames);
    const double splitSeconds = static_cast<double>(split) / FramesPerSecond;

    // The two parts: the movie's frames split at that key frame, the clip after the first part's last
    // frame; the first stream's WMA beside the pictures, in step with them, the parts adding up.
    const ProbedFile avi1 = probeMedia(part1 + ".avi");
    const ProbedFile avi2 = probeMedia(part2 + ".avi");
    ASSERT_TRUE(avi1.opened) << avi1.error;
    ASSERT_TRUE(avi2.opened) << avi2.error;
    for (const ProbedFile* part : {&avi1, &avi2}) {
        ASSERT_EQ(part->streams.size(), 2u);
        const ProbedStream* video = part->first("video");
        const ProbedStream* audio = part->first("audio");
        ASSERT_TRUE(video && audio);
        EXPECT_EQ(video->codec, "msmpeg4v3");
        EXPECT_EQ(video->fourcc, "DIV3");
        EXPECT_EQ(video->width, 320);
        EXPECT_EQ(video->height, 240);
        EXPECT_EQ(video->aspectNum, whole.aspectNum);
        EXPECT_EQ(video->aspectDen, whole.aspectDen);
        EXPECT_NEAR(video->frameRate, 25.0, 1e-6);
        EXPECT_EQ(audio->codec, "wmav2");
        EXPECT_EQ(audio->fourcc, "0161");
        EXPECT_EQ(audio->sampleRate, 44100);
        EXPECT_EQ(audio->channels, 2);
    }
    const ProbedStream& video1 = *avi1.first("video");
    const ProbedStream& video2 = *avi2.first("video");
    EXPECT_EQ(video1.frames, split + ClipFrames);
    EXPECT_EQ(video2.frames, frames - split);
    EXPECT_NEAR(soundEnd(*avi1.first("audio")), splitSeconds, VideoFrame);
    EXPECT_NEAR(soundEnd(*avi2.first("audio")), title.spec.seconds - splitSeconds, VideoFrame);
    const ProbedFile clipFile = probeMedia(clip.string());
    ASSERT_EQ(clipFile.streams.size(), 1u);
    EXPECT_EQ(video1.bytes + video2.bytes, whole.bytes + clipFile.streams[0].bytes);
    const std::vector<double> flashes1 = {title.spec.beeps[0]};
    const std::vector<double> flashes2 = {title.spec.beeps[1] - splitSeconds};
    expectBeeps(flashStarts(part1 + ".avi"), flashes1, VideoFrame / 2);
    expectBeeps(flashStarts(part2 + ".avi"), flashes2, VideoFrame / 2);
    expectBeeps(beepStarts(part1 + ".avi"), flashes1, VideoFrame);
    expectBeeps(beepStarts(part2 + ".avi"), flashes2, VideoFrame);

    // The compressed streams, both by the same preset, each as long as the title.
    const ProbedFile wma1 = probeMedia(out + "work/audio.wma.wav");
    const ProbedFile wma2 = probeMedia(out + "work/audio2.wma.wav");
    for (const ProbedFile* wma : {&wma1, &wma2}) {
        ASSERT_EQ(wma->streams.size(), 1u) << wma->error;
        EXPECT_EQ(wma->format, "wav");
        EXPECT_EQ(wma->streams[0].codec, "wmav2");
        EXPECT_EQ(wma->streams[0].sampleRate, 44100);
        EXPECT_EQ(wma->streams[0].channels, 2);
        EXPECT_NEAR(wma->streams[0].seconds, title.spec.seconds, VideoFrame + 2048.0 / 44100);
    }
    expectBeeps(beepStarts(out + "work/audio.wma.wav"), title.spec.beeps, VideoFrame);

    // The second stream's audio of each part, taken back out of its own split movie.
    const ProbedFile final1 = probeMedia(out + "FinalAudio.wav");
    const ProbedFile final2 = probeMedia(out + "FinalAudio2.wav");
    ASSERT_EQ(final1.streams.size(), 1u) << final1.error;
    ASSERT_EQ(final2.streams.size(), 1u) << final2.error;
    EXPECT_EQ(final1.streams[0].codec, "wmav2");
    EXPECT_EQ(final2.streams[0].codec, "wmav2");
    EXPECT_NEAR(soundEnd(final1.streams[0]), splitSeconds, VideoFrame);
    EXPECT_NEAR(soundEnd(final2.streams[0]), title.spec.seconds - splitSeconds, VideoFrame);

    // The report's figures are the files'.
    EXPECT_NEAR(reportSeconds(report, "Compressed audio length"), wma1.streams[0].seconds, 0.05) << report;
    EXPECT_NEAR(reportSeconds(report, "Video length in the final AVI"), whole.seconds, 0.01) << report;
    EXPECT_NEAR(reportSeconds(report, "Audio length in the final AVI"), wma1.streams[0].seconds, 0.05)
        << report;
    EXPECT_NEAR(reportSeconds(report, "Compressed audio length (2)"), wma2.streams[0].seconds, 0.05)
        << report;
    EXPECT_NEAR(reportSeconds(report, "Audio length of stream 2"), whole.seconds, VideoFrame) << report;
    EXPECT_NEAR(reportSeconds(report, "Audio length in the final AVI"), whole.seconds, VideoFrame) << report;
    // No length warning, and the logo clip was added.
    EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;
    EXPECT_EQ(report.find("No logo clip"), std::string::npos) << report;
    expectOneLog(folder.path(), report);

    // Subtitles: the pair of the whole movie serves the first part; the second part has the index cut
    // at the split, each language's subtitles from there on, beside its own copy of the archive and of
    // the IFO file.
    expectSubtitlePair(part1, title);
    EXPECT_EQ(idLines(part1 + ".idx"), (Lines{"id: en, index: 0", "id: fr, index: 1"}));
    EXPECT_EQ(idLines(part2 + ".idx"), (Lines{"id: en, index: 0", "id: fr, index: 1"}));
    TempDir unpacked("kes-two-cd-sub");
    const auto streams = readPackedPair(part2, unpacked, &error);
    ASSERT_EQ(streams.size(), 2u) << error;
    EXPECT_EQ(streams[0].language, "en");
    EXPECT_EQ(streams[1].language, "fr");
    EXPECT_EQ(startsMs(streams[0]), startsAfter(englishSubtitleStarts(title.spec.seconds), splitSeconds));
    EXPECT_EQ(startsMs(streams[1]), startsAfter(frenchSubtitleStarts(title.spec.seconds), splitSeconds));
    EXPECT_EQ(readBytes(part2 + ".rar"), readBytes(part1 + ".rar"));
    EXPECT_EQ(readBytes(part2 + ".ifo"), readBytes(title.ifoPath));

    // What the rip leaves: no decoded WAV (deleted once compressed), no part of the second stream's
    // movie (its audio is out).
    EXPECT_EQ(filesUnder(out),
              (Lines{"FinalAudio.wav", "FinalAudio2.wav", "TwoCd.avi", "TwoCd.idx", "TwoCd.rar", "TwoCd.sub",
                     "TwoCd2.avi", "TwoCd2.idx", "TwoCd2.ifo", "TwoCd2.rar", "work/audio.wma.wav",
                     "work/audio2.wma.wav", "work/movie.avi"}));
}

// A split by size: the first part holds as much of the movie as the size allows, at a key frame, and
// the second part the rest. A muxer that split in halves, or by another size, makes other parts.
TEST_F(TwoCdRoadTest, SplitBySizeReachesTheMuxer) {
    constexpr int Frames = 500;
    constexpr int Rate = 48000;
    constexpr int64_t Megabyte = 1024000;
    LavfAviSpec video;
    video.width = 160;
    video.height = 120;
    video.frames = Frames;
    video.gop = 10;
    video.audio = LavfAudio::None;
    std::string error;
    fs::create_directories(out + "work");
    ASSERT_TRUE(writeLavfAvi(out + "work/movie.avi", video, &error)) << error;
    // 20 s of 16-bit stereo: 3.84 MB, nearly four times the split size.
    std::vector<double> samples(static_cast<size_t>(Frames / FramesPerSecond * Rate * 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.2 * std::sin(static_cast<double>(i / 2) * 0.05);
    ASSERT_TRUE(writeLavfWav(out + "work/audio.wav", LavfPcm::S16, Rate, 2, samples, &error)) << error;
    makeTitle(); // the profile names its first VOB; nothing reads it
    start();

    saveProfile("BySize", "bysize.pfl", [&](TForm1& f) {
        f.compaudiofile.setText(out + "work/audio.wav");
        f.Merge.setChecked(true);
        f.Split.setChecked(true);
        f.Saft.setChecked(true);
        f.splitsize.setText("1");
    });
    loadProfile("BySize");
    EXPECT_TRUE(form->Saft.checked());
    EXPECT_EQ(form->splitsize.text(), "1");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(reports().size(), 1u);

    const ProbedFile movie = probeMedia(out + "work/movie.avi");
    const ProbedFile avi1 = probeMedia(out + "BySize.avi");
    const ProbedFile avi2 = probeMedia(out + "BySize2.avi");
    ASSERT_TRUE(movie.opened && avi1.opened && avi2.opened) << avi1.error << avi2.error;
    ASSERT_EQ(avi1.streams.size(), 2u);
    ASSERT_EQ(avi2.streams.size(), 2u);
    const ProbedStream& whole = movie.streams.at(0);
    const long long frames1 = avi1.first("video")->frames;
    EXPECT_EQ(frames1 + avi2.first("video")->frames, Frames);
    EXPECT_TRUE(std::count(whole.keyFrames.begin(), whole.keyFrames.end(), frames1) == 1) << frames1;
    // As near the size as a key frame allows: the movie holds 10 frames between key frames, each of
    // them some 8 kB.
    const auto size1 = static_cast<int64_t>(fs::file_size(out + "BySize.avi"));
    EXPECT_NEAR(static_cast<double>(size1), static_cast<double>(Megabyte), 0.05 * Megabyte);
    EXPECT_NEAR(avi1.first("audio")->seconds, static_cast<double>(frames1) / FramesPerSecond, VideoFrame);
    EXPECT_NEAR(avi2.first("audio")->seconds, static_cast<double>(Frames - frames1) / FramesPerSecond,
                VideoFrame);
}

// A movie made without the converter (FFmpeg's muxers write the video and the WAV), split and with the
// title's subtitles: what the split-subtitle tests share. The movie lasts as long as the title.
class SplitSubtitleRoadTest : public TwoCdRoadTest {
protected:
    void SetUp() override {
        TwoCdRoadTest::SetUp();
        makeTitle();
        LavfAviSpec video;
        video.width = 160;
        video.height = 120;
        video.frames = static_cast<int>(title.spec.seconds) * FramesPerSecond;
        video.gop = 10;
        video.audio = LavfAudio::None;
        std::string error;
        fs::create_directories(out + "work");
        ASSERT_TRUE(writeLavfAvi(out + "work/movie.avi", video, &error)) << error;
        std::vector<double> samples(static_cast<size_t>(title.spec.seconds * 48000 * 2), 0.0);
        ASSERT_TRUE(writeLavfWav(out + "work/audio.wav", LavfPcm::S16, 48000, 2, samples, &error)) << error;
        start();
    }
    void saveSplitProfile(const std::function<void(TForm1&)>& split) {
        saveProfile("Split", "split.pfl", [&](TForm1& f) {
            f.compaudiofile.setText(out + "work/audio.wav");
            f.Merge.setChecked(true);
            f.Split.setChecked(true);
            split(f);
            f.ifofile.setText(title.ifoPath.string());
            for (int i = 0; i < f.IFOlngList.itemCount(); ++i)
                f.IFOlngList.setSelected(i, true);
            f.SpeedButton5Click();
            f.extractsub.setChecked(true);
        });
        loadProfile("Split");
    }
    // Only the language at that index of the IFO's list is chosen.
    void chooseOnly(int language) {
        form->selectedlng.clearItems();
        for (int i = 0; i < form->IFOlngList.itemCount(); ++i)
            form->IFOlngList.setSelected(i, i == language);
        form->SpeedButton5Click();
    }
};

// The same split movie ripped again with another subtitle language: part 2's archive, IFO copy and
// index are all this rip's, so FFmpeg reads part 2's subtitles in the language of the second rip.
TEST_F(SplitSubtitleRoadTest, SplitRipMadeTwiceWithOtherLanguages) {
    saveSplitProfile([](TForm1& f) { f.sih.setChecked(true); });
    const std::string part1 = out + "Split";
    const std::string part2 = out + "Split2";
    chooseOnly(0);
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(idLines(part2 + ".idx"), Lines{"id: en, index: 0"});

    chooseOnly(1);
    script.clearShown();
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(readBytes(part2 + ".rar"), readBytes(part1 + ".rar"));
    EXPECT_EQ(readBytes(part2 + ".ifo"), readBytes(title.ifoPath));
    const ProbedFile avi1 = probeMedia(part1 + ".avi");
    ASSERT_TRUE(avi1.opened) << avi1.error;
    const double cut = avi1.first("video")->seconds;
    std::string error;
    TempDir unpacked("kes-split-twice");
    const auto streams = readPackedPair(part2, unpacked, &error);
    ASSERT_EQ(streams.size(), 1u) << error;
    EXPECT_EQ(streams[0].language, "fr");
    EXPECT_EQ(startsMs(streams[0]), startsAfter(frenchSubtitleStarts(title.spec.seconds), cut));
}

// A split by size whose movie fits its first part: there is no part 2, so no cut, no copies for it, no
// box, and the rip is reported.
TEST_F(SplitSubtitleRoadTest, SplitBySizeThatFitsOnePart) {
    saveSplitProfile([](TForm1& f) {
        f.Saft.setChecked(true);
        f.splitsize.setText("700");
    });
    // What an earlier, longer movie of that name left for its second part goes with it.
    writeBytes(out + "Split2.avi", "an earlier second part");
    writeBytes(out + "Split2.rar", "an earlier archive");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(reports().size(), 1u);
    EXPECT_EQ(filesUnder(out), (Lines{"Split.avi", "Split.idx", "Split.rar", "Split.sub", "work/audio.wav",
                                      "work/movie.avi"}));
    const ProbedFile avi = probeMedia(out + "Split.avi");
    ASSERT_TRUE(avi.opened) << avi.error;
    EXPECT_NEAR(avi.first("video")->seconds, title.spec.seconds, VideoFrame);
}

} // namespace
} // namespace kes::test
