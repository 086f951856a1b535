#include "tools/synchronizer/remux_engine.h"
#include "tools/synchronizer/stream_copy.h"

#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/job_avi.h"
#include "tests/tools/synchronizer/job_sink_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::synchronizer;
using namespace kes::test;

namespace {

struct Fixture {
    TempDir dir;
    JobAviSpec spec;
    std::string source = dir.file("movie.avi");
    std::string dest = dir.file("movie_New.avi");

    RemuxRequest request(bool later, const std::string& delay) const {
        RemuxRequest r;
        r.source = source;
        r.destination = dest;
        r.later = later;
        r.delayText = delay;
        return r;
    }
};

std::vector<std::string> folderNames(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The copied PCM samples from source sample `first` on.
void expectPcmFrom(const JobAviSpec& spec, const std::vector<uint16_t>& samples, std::size_t at,
                   int64_t first, int64_t count) {
    ASSERT_GE(samples.size(), at + static_cast<std::size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        ASSERT_EQ(samples[at + static_cast<std::size_t>(i)], pcmValue(spec, first + i)) << i;
}

} // namespace

TEST(Remux, LaterDelayStartsWithSilenceAndKeepsEveryFrame) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    const MuxResult r = MuxStreams(f.request(true, "500"), true, sink);
    ASSERT_EQ(r.status, MuxStatus::Done);
    EXPECT_TRUE(r.outputKept);
    EXPECT_FALSE(sink.stopFlag());
    EXPECT_FALSE(sink.failed());
    EXPECT_EQ(sink.started, 1);
    EXPECT_EQ(sink.ended, 1);
    EXPECT_DOUBLE_EQ(sink.lastVideo, 100);
    EXPECT_EQ(r.audio.begin, -4000);

    const ReadBack out = readJobAvi(f.dest);
    ASSERT_EQ(out.frames.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(out.frames[static_cast<std::size_t>(i)], frameBytes(f.spec, i));
        EXPECT_EQ(out.keys[static_cast<std::size_t>(i)], f.spec.keyFrames.count(i) == 1) << i;
    }
    EXPECT_EQ(out.video.dwRate, 25u);
    EXPECT_EQ(out.firstAudioChunk, 4000); // 500 ms of preload, all of it silence
    const auto samples = pcmSamples(out.audioBytes);
    ASSERT_EQ(samples.size(), 20000u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.begin() + 4000, [](uint16_t s) { return s == 0; }));
    expectPcmFrom(f.spec, samples, 4000, 0, 16000);
    ASSERT_EQ(out.audioFormat.size(), static_cast<std::size_t>(AudioFormatBytes));
    EXPECT_EQ(out.audioFormat[0], 1); // PCM

    // The main header's flags: interleaved, flag bits 9 to 23 clear.
    const std::string bytes = readBytes(f.dest);
    EXPECT_EQ(bytes[45], 1);
    EXPECT_EQ(bytes[46], 0);
    EXPECT_EQ(folderNames(f.dir), (std::vector<std::string>{"movie.avi", "movie_New.avi"}));
}

TEST(Remux, EarlierDelayDropsTheFirstSamples) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(f.request(false, "500"), true, sink).status, MuxStatus::Done);
    const ReadBack out = readJobAvi(f.dest);
    const auto samples = pcmSamples(out.audioBytes);
    ASSERT_EQ(samples.size(), 12000u);
    expectPcmFrom(f.spec, samples, 0, 4000, 12000);
    EXPECT_EQ(out.firstAudioChunk, 4000);
    EXPECT_EQ(out.audio.dwStart, 0u);
}

TEST(Remux, ShortDelayMixesSilenceAndAudioInTheFirstChunk) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(f.request(true, "10"), true, sink).status, MuxStatus::Done);
    const auto samples = pcmSamples(readJobAvi(f.dest).audioBytes);
    ASSERT_EQ(samples.size(), 16080u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.begin() + 80, [](uint16_t s) { return s == 0; }));
    expectPcmFrom(f.spec, samples, 80, 0, 16000);
}

TEST(Remux, PreloadLargerThanTheBufferLosesNoAudio) {
    Fixture f;
    f.spec.sampleRate = 96000; // 500 ms = 48000 samples = 96000 bytes, more than one buffer
    f.spec.audioSamples = 192000;
    f.spec.frames = 2; // the last frame carries the rest of the audio: several buffers' worth
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(f.request(true, "1000"), true, sink).status, MuxStatus::Done);
    const ReadBack out = readJobAvi(f.dest);
    const auto samples = pcmSamples(out.audioBytes);
    ASSERT_EQ(samples.size(), 288000u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.begin() + 96000, [](uint16_t s) { return s == 0; }));
    expectPcmFrom(f.spec, samples, 96000, 0, 192000);
    EXPECT_EQ(out.firstAudioChunk, 32768); // the preload went out in buffer-sized chunks
}

TEST(Remux, CompressedAudio) {
    Fixture f;
    f.spec.audio = JobAudio::Mp3Cbr;
    f.spec.sampleRate = 16000; // bytes per second
    f.spec.audioSamples = 32000;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(f.request(true, "500"), true, sink).status, MuxStatus::Done);
    ReadBack out = readJobAvi(f.dest);
    // Zero bytes are no silence for a decoder of compressed audio: the delay becomes the start field.
    ASSERT_EQ(out.audioBytes.size(), 32000u);
    EXPECT_EQ(out.audio.dwStart, 8000u);
    EXPECT_EQ(out.audioBytes[0], 1);
    EXPECT_EQ(out.audioFormat[0], 85);
    EXPECT_EQ(out.audioFormat[29], 1); // the whole 30-byte format is copied

    // Without a sample size each chunk is copied whole; the delay becomes the stream's start.
    f.spec.audio = JobAudio::Mp3Vbr;
    f.spec.audioSamples = 83;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    ASSERT_EQ(MuxStreams(f.request(true, "500"), true, sink).status, MuxStatus::Done);
    out = readJobAvi(f.dest);
    EXPECT_EQ(out.audio.dwStart, 21u); // round(0.5 x 48000 / 1152)
    ASSERT_EQ(out.audioChunks.size(), 83u);
    EXPECT_EQ(out.audioChunks[0], "chunk0");
    EXPECT_EQ(out.audioChunks[82], "chunk82");
    ASSERT_EQ(MuxStreams(f.request(false, "500"), true, sink).status, MuxStatus::Done);
    out = readJobAvi(f.dest);
    ASSERT_EQ(out.audioChunks.size(), 62u);
    EXPECT_EQ(out.audioChunks[0], "chunk21");
}

TEST(Remux, InvalidDelayTextMeansNoDelay) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RecordingSink sink;
    const MuxResult r = MuxStreams(f.request(true, "5x"), true, sink);
    EXPECT_TRUE(r.delayTextInvalid);
    EXPECT_EQ(r.audio.begin, 0);
    EXPECT_EQ(pcmSamples(readJobAvi(f.dest).audioBytes).size(), 16000u);
}

TEST(Remux, StopKeepsAShortNewFileButNeverReplacesAWholeOne) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    RemuxRequest request = f.request(true, "0");
    request.split = SplitWay::Halves;
    RecordingSink sink;
    sink.stopAfterFrames = 10;
    const RemuxJobResult job = runRemuxJob(request, sink);
    EXPECT_EQ(job.part1.status, MuxStatus::Stopped);
    EXPECT_TRUE(job.part1.outputKept);
    EXPECT_FALSE(job.part2); // a stop ends the job before part 2
    EXPECT_TRUE(sink.stopFlag());
    EXPECT_FALSE(sink.failed());
    EXPECT_EQ(readJobAvi(f.dest).frames.size(), 10u);
    EXPECT_EQ(readBytes(f.dest)[45], 1);

    writeBytes(f.dest, "the earlier result");
    RecordingSink again;
    again.stopAfterFrames = 5;
    const MuxResult r = MuxStreams(f.request(true, "0"), true, again);
    EXPECT_EQ(r.status, MuxStatus::Stopped);
    EXPECT_FALSE(r.outputKept);
    EXPECT_EQ(readBytes(f.dest), "the earlier result");
    EXPECT_EQ(folderNames(f.dir), (std::vector<std::string>{"movie.avi", "movie_New.avi"}));

    // A stop after the last frame leaves a whole file, which replaces the earlier one.
    RecordingSink late;
    late.stopAfterFrames = 50;
    EXPECT_EQ(MuxStreams(f.request(true, "0"), true, late).status, MuxStatus::Done);
    EXPECT_EQ(readJobAvi(f.dest).frames.size(), 50u);
}

TEST(Remux, FailuresAreReportedAndLeaveTheDestinationAlone) {
    Fixture f;
    writeBytes(f.dest, "keep me");
    RecordingSink sink;
    writeBytes(f.source, "RIFF junk that is no AVI");
    EXPECT_EQ(MuxStreams(f.request(true, "500"), true, sink).status, MuxStatus::CannotOpenSource);
    EXPECT_TRUE(sink.failed());
    EXPECT_TRUE(sink.stopFlag());
    EXPECT_EQ(sink.ended, 1);

    f.spec.audio = JobAudio::None;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    EXPECT_EQ(MuxStreams(f.request(true, "500"), true, sink).status, MuxStatus::NoAudio);
    EXPECT_EQ(readBytes(f.dest), "keep me");
    EXPECT_EQ(folderNames(f.dir), (std::vector<std::string>{"movie.avi", "movie_New.avi"}));

    RemuxRequest nowhere = f.request(true, "0");
    nowhere.destination = f.dir.file("missing/out.avi");
    ASSERT_TRUE(writeJobAvi(f.source, JobAviSpec{}));
    EXPECT_EQ(MuxStreams(nowhere, true, sink).status, MuxStatus::CannotCreateOutput);
}

TEST(Remux, DamagedSourcesNeverLeaveAPartialFile) {
    Fixture f;
    f.spec.frames = 12;
    f.spec.audioSamples = 4000;
    ASSERT_TRUE(writeJobAvi(f.dir.file("whole.avi"), f.spec));
    const std::string whole = readBytes(f.dir.file("whole.avi"));
    std::filesystem::remove(f.dir.file("whole.avi"));
    for (std::size_t cut = 0; cut < whole.size(); cut += 37) {
        std::string damaged = whole.substr(0, cut);
        if (cut % 2 == 1 && cut + 64 < whole.size())
            damaged += std::string(64, '\xff') + whole.substr(cut + 64); // overwritten rather than cut
        writeBytes(f.source, damaged);
        writeBytes(f.dest, "old");
        RecordingSink sink;
        const MuxResult r = MuxStreams(f.request(true, "250"), true, sink);
        EXPECT_EQ(r.status == MuxStatus::Done, !sink.failed()) << cut;
        if (r.status == MuxStatus::Done) {
            EXPECT_TRUE(readJobAvi(f.dest).opened) << cut;
        } else {
            EXPECT_EQ(readBytes(f.dest), "old") << cut;
        }
        EXPECT_EQ(folderNames(f.dir).size(), 2u) << cut;
    }
}

TEST(Remux, SourceLostWhileCopyingIsAFailure) {
    Fixture f;
    ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    const auto size = std::filesystem::file_size(f.source);
    for (const bool existed : {false, true}) {
        if (existed)
            writeBytes(f.dest, "whole");
        RecordingSink sink;
        sink.onFrame = [&](int frame) {
            if (frame == 5)
                std::filesystem::resize_file(f.source, size / 3); // the drive went away, say
        };
        const MuxResult r = MuxStreams(f.request(true, "0"), true, sink);
        EXPECT_EQ(r.status, MuxStatus::ReadFailed);
        EXPECT_TRUE(sink.failed());
        EXPECT_TRUE(sink.stopFlag());
        EXPECT_FALSE(r.outputKept);
        EXPECT_EQ(std::filesystem::exists(f.dest), existed);
        if (existed) {
            EXPECT_EQ(readBytes(f.dest), "whole");
        }
        EXPECT_EQ(folderNames(f.dir).size(), existed ? 2u : 1u);
        ASSERT_TRUE(writeJobAvi(f.source, f.spec));
    }
}

TEST(Remux, PartNamesAndTimerText) {
    EXPECT_EQ(partOutputName("/m/movie.avi", true), "/m/movie.avi");
    EXPECT_EQ(partOutputName("/m/movie.avi", false), "/m/movie2.avi");
    EXPECT_EQ(partOutputName("/m.d/movie", false), "/m.d/movie2");
    EXPECT_EQ(jobTimeText(10, 50), "Elapsed : 00:00:10 - Total time : 00:00:20");
    EXPECT_EQ(jobTimeText(10, 0), "Elapsed : 00:00:10 - Total time : 27:46:40");
}
