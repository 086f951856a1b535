// AVI files written by libavformat, rendered and played through the filter graph: the filters and pins
// RenderFile builds, positions and duration, seeking to the key frame before, and pictures shown in
// step with the sound.

#include "platform/dshow/filters/avi_splitter.h"
#include "platform/dshow/filters/sound_renderer.h"
#include "platform/dshow/filters/video_renderer.h"
#include "platform/dshow/filters/video_window.h"
#include "tests/platform/dshow/playback/playback_graph.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

using namespace kes::test;
using platform::dshow::filters::AviSplitterFilter;
using platform::dshow::filters::SoundRendererFilter;
using platform::dshow::filters::VideoRendererFilter;

constexpr REFERENCE_TIME kMs = UNITS / 1000;

std::string makeMovie(const TempDir& dir, const std::string& name, MovieSpec spec) {
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(writeMovie(path, spec, &error)) << error;
    return path;
}

template <typename T>
T* filterAs(PlaybackGraph& graph, const std::string& name) {
    const auto filter = graph.filter(name);
    return filter ? dynamic_cast<T*>(filter.get()) : nullptr;
}

// Patches a 32-bit field of the stream header whose type code ("vids" or "auds") comes first.
void patchHeader(const std::string& path, const std::string& type, size_t offset, uint32_t value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string head(8192, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    const size_t at = head.find(type);
    ASSERT_NE(at, std::string::npos);
    file.clear();
    file.seekp(static_cast<std::streamoff>(at + offset));
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    file.write(bytes, 4);
}

constexpr size_t kStartField = 28;

TEST(AviPlayback, RendersVideoAndPcmSoundWithTheirFiltersAndPins) {
    TempDir dir;
    const std::string path = makeMovie(dir, "movie.avi", MovieSpec{});
    PlaybackGraph graph;
    ASSERT_TRUE(graph.builder);
    ASSERT_EQ(graph.render(path), S_OK);
    const auto names = graph.filterNames();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], path); // the splitter is the source, named after its file
    EXPECT_NE(std::find(names.begin(), names.end(), "AVI Decompressor"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Video Renderer"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Sound Renderer"), names.end());

    const auto splitter = graph.filter(path);
    IPin* pin = nullptr;
    ASSERT_EQ(splitter->FindPin(u"Stream 00", &pin), S_OK);
    pin->Release();
    ASSERT_EQ(splitter->FindPin(u"Stream 01", &pin), S_OK);
    pin->Release();

    LONGLONG duration = 0;
    ASSERT_EQ(graph.seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 2 * UNITS);
    LONG width = 0;
    LONG height = 0;
    graph.window->get_Width(&width);
    graph.window->get_Height(&height);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
}

TEST(AviPlayback, Mp3AndDivX3GoThroughTheirDecoders) {
    TempDir dir;
    MovieSpec spec;
    spec.video = MovieSpec::Video::MsMpeg4v3;
    spec.audio = MovieSpec::Audio::Mp3;
    const std::string path = makeMovie(dir, "div3.avi", spec);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    const auto names = graph.filterNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Audio Decoder"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "AVI Decompressor"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Sound Renderer"), names.end());
}

TEST(AviPlayback, AnUnknownVideoFormatLeavesTheSoundRendered) {
    TempDir dir;
    const std::string path = makeMovie(dir, "movie.avi", MovieSpec{});
    ASSERT_TRUE(setVideoFourcc(path, "WMV3")); // a format no decoder here knows
    PlaybackGraph graph;
    EXPECT_EQ(graph.render(path), VFW_S_PARTIAL_RENDER);
    const auto names = graph.filterNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Sound Renderer"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "Video Renderer"), names.end());
}

TEST(AviPlayback, RefusesFilesThatAreNoAvi) {
    TempDir dir;
    writeBytes(dir.file("junk.avi"), std::string(1000, 'x'));
    PlaybackGraph graph;
    EXPECT_TRUE(FAILED(graph.render(dir.file("junk.avi"))));
    EXPECT_TRUE(graph.filterNames().empty());
    EXPECT_TRUE(FAILED(graph.render(dir.file("missing.avi"))));
}

TEST(AviPlayback, SeekingLandsOnTheKeyFrameBeforeAndPlaysFromThere) {
    TempDir dir;
    MovieSpec spec;
    spec.frames = 40;
    const std::string path = makeMovie(dir, "movie.avi", spec);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    LONGLONG wanted = 1300 * kMs; // frame 32.5: the key frame before is frame 30
    ASSERT_EQ(graph.seeking->SetPositions(&wanted, AM_SEEKING_AbsolutePositioning, nullptr,
                                          AM_SEEKING_NoPositioning),
              S_OK);
    LONGLONG current = 0;
    graph.seeking->GetCurrentPosition(&current);
    EXPECT_EQ(current, 1200 * kMs);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(5000));
    auto* renderer = filterAs<VideoRendererFilter>(graph, "Video Renderer");
    ASSERT_NE(renderer, nullptr);
    const auto shown = renderer->shownLog();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().start, 1200 * kMs);
    graph.seeking->GetCurrentPosition(&current);
    LONGLONG stop = 0;
    graph.seeking->GetStopPosition(&stop);
    EXPECT_EQ(current, stop);
    graph.control->Stop();
}

TEST(AviPlayback, PicturesGoUpWhenTheSoundReachesThem) {
    TempDir dir;
    MovieSpec spec;
    spec.flashFrame = 25;
    spec.beepAt = 1.0;
    const std::string path = makeMovie(dir, "movie.avi", spec);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(6000));
    auto* renderer = filterAs<VideoRendererFilter>(graph, "Video Renderer");
    ASSERT_NE(renderer, nullptr);
    const auto shown = renderer->shownLog();
    ASSERT_GE(shown.size(), 40u);
    const auto flash =
        std::find_if(shown.begin(), shown.end(), [](const auto& s) { return s.start == 1000 * kMs; });
    ASSERT_NE(flash, shown.end());
    // The flash goes up when the beep is heard, within a few frames (a busy machine, or a sanitizer
    // build, may wake the renderer late; a picture shown early, or off by the sound's lead-in or a
    // whole buffer of sound, would be far beyond).
    EXPECT_GE(flash->at, 1000 * kMs);
    EXPECT_LE(flash->at - 1000 * kMs, 200 * kMs);
    const auto onTime = std::count_if(shown.begin(), shown.end(), [](const auto& s) {
        return s.at >= s.start && s.at - s.start <= 120 * kMs;
    });
    EXPECT_GE(onTime * 10, static_cast<long>(shown.size()) * 6);
    for (const auto& s : shown)
        EXPECT_GE(s.at, s.start) << "never before its time";
    graph.control->Stop();
}

// Pictures stored before the B-pictures shown ahead of them go up in their own slots, the last one too.
TEST(AviPlayback, BPicturesAreShownInTheirOwnSlots) {
    TempDir dir;
    MovieSpec spec;
    spec.audio = MovieSpec::Audio::None;
    spec.frames = 30;
    spec.keyEvery = 12;
    spec.bFrames = 2;
    spec.flashFrame = 17;
    const std::string path = makeMovie(dir, "movie.avi", spec);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(5000));
    auto* renderer = filterAs<VideoRendererFilter>(graph, "Video Renderer");
    ASSERT_NE(renderer, nullptr);
    const auto shown = renderer->shownLog();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.size() + static_cast<size_t>(renderer->droppedCount()), 30u)
        << "every picture, the last one too";
    EXPECT_EQ(shown.back().start, 29 * 40 * kMs);
    const auto white = [](const auto& s) { return (s.centre & 0xFF) > 200; };
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), white), 1);
    const auto flash = std::find_if(shown.begin(), shown.end(), white);
    ASSERT_NE(flash, shown.end());
    EXPECT_EQ(flash->start, 17 * 40 * kMs);
    graph.control->Stop();
}

TEST(AviPlayback, APatchedDelayPlaysTheSoundLater) {
    TempDir dir;
    MovieSpec spec;
    spec.frames = 25;
    const std::string path = makeMovie(dir, "movie.avi", spec);
    // 400 ms of delay: the sound starts at sample 17640 of 44100 a second.
    patchHeader(path, "auds", kStartField, 17640);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    // The writer's sound is whole blocks of 1024 samples: 43 of them in the second of video.
    constexpr int64_t soundSamples = 43 * 1024;
    LONGLONG duration = 0;
    graph.seeking->GetDuration(&duration);
    EXPECT_EQ(duration, (17640 + soundSamples) * UNITS / 44100);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(5000));
    auto* sound = filterAs<SoundRendererFilter>(graph, "Sound Renderer");
    ASSERT_NE(sound, nullptr);
    // The sound played 400 ms of silence before the file's own second of sound.
    EXPECT_EQ(sound->bytesPlayed(), (17640 + soundSamples) * 4);
    auto* renderer = filterAs<VideoRendererFilter>(graph, "Video Renderer");
    const auto shown = renderer->shownLog();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().start, 0);
    EXPECT_LE(shown.front().at, 40 * kMs);
    graph.control->Stop();
}

TEST(AviPlayback, APatchedFrameRateChangesTheTimesAndTheDuration) {
    TempDir dir;
    MovieSpec spec;
    spec.audio = MovieSpec::Audio::None;
    const std::string path = makeMovie(dir, "movie.avi", spec);
    patchHeader(path, "vids", 20, 10000);  // scale
    patchHeader(path, "vids", 24, 500000); // rate: 50 frames a second
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    LONGLONG duration = 0;
    graph.seeking->GetDuration(&duration);
    EXPECT_EQ(duration, UNITS);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(4000));
    const auto shown = filterAs<VideoRendererFilter>(graph, "Video Renderer")->shownLog();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[1].start, 20 * kMs);
    graph.control->Stop();
}

TEST(AviPlayback, TheVideoWindowTakesItsPlaceSizeAndCaption) {
    TempDir dir;
    const std::string path = makeMovie(dir, "movie.avi", MovieSpec{});
    PlaybackGraph graph;
    EXPECT_EQ(graph.window->put_Caption("Before"), VFW_E_NO_VIDEO_WINDOW);
    ASSERT_EQ(graph.render(path), S_OK);
    graph.window->put_Caption("Synchronizer Preview");
    graph.window->put_Left(8);
    graph.window->put_Top(8);
    ASSERT_EQ(graph.control->Run(), S_OK);
    auto* renderer = filterAs<VideoRendererFilter>(graph, "Video Renderer");
    EXPECT_EQ(renderer->window()->windowTitle().toStdString(), "Synchronizer Preview");
    OABOOL visible = OAFALSE;
    graph.window->get_Visible(&visible);
    EXPECT_EQ(visible, OATRUE);
    graph.window->put_Width(240);
    graph.window->put_Height(180);
    LONG width = 0;
    graph.window->get_Width(&width);
    EXPECT_EQ(width, 240);
    LONG left = 0;
    graph.window->get_Left(&left);
    EXPECT_EQ(left, 8);
    // The user closes it: it says so, and stopping the graph afterwards is safe.
    renderer->window()->close();
    graph.window->get_Visible(&visible);
    EXPECT_EQ(visible, OAFALSE);
    PlaybackGraph::pump(100);
    EXPECT_EQ(graph.control->Stop(), S_OK);
}

TEST(AviPlayback, StoppingAndReleasingDuringPlayIsSafe) {
    TempDir dir;
    const std::string path = makeMovie(dir, "movie.avi", MovieSpec{});
    for (int round = 0; round < 3; ++round) {
        PlaybackGraph graph;
        ASSERT_EQ(graph.render(path), S_OK);
        ASSERT_EQ(graph.control->Run(), S_OK);
        PlaybackGraph::pump(150 + 100 * round);
        LONGLONG wanted = 500 * kMs;
        graph.seeking->SetPositions(&wanted, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning);
        PlaybackGraph::pump(50);
        if (round == 2)
            continue; // released while running
        EXPECT_EQ(graph.control->Stop(), S_OK);
    }
}

TEST(AviPlayback, ACutShortFilePlaysWhatItHas) {
    TempDir dir;
    const std::string path = makeMovie(dir, "movie.avi", MovieSpec{});
    std::string bytes = readBytes(path);
    bytes.resize(bytes.size() / 2); // the index and half the frames are gone
    writeBytes(path, bytes);
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(path), S_OK);
    LONGLONG duration = 0;
    graph.seeking->GetDuration(&duration);
    EXPECT_GT(duration, 0);
    EXPECT_LT(duration, 2 * UNITS);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(graph.playToEnd(4000));
    graph.control->Stop();
}

} // namespace
