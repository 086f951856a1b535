// The converter on titles authored by dvdauthor, checked frame by frame: every output frame carries
// the number of the source picture it shows, and that must be the picture due at the frame's time.

#include "outside/mpeg2avi/first_picture.h"
#include "outside/mpeg2avi/vob_input.h"
#include "tests/outside/mpeg2avi/avi_probe.h"
#include "tests/outside/mpeg2avi/converter_run.h"
#include "tests/support/film_title.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFilmPictures = 96; // 4 s of film

std::string listed(const std::vector<int>& numbers) {
    std::ostringstream text;
    for (int n : numbers)
        text << n << ' ';
    return text.str();
}

class FilmTitles : public ::testing::Test {
protected:
    ConverterFolder folder;
    TempDir dir{"kes-film"};
    fs::path movie() const { return folder.outputDir() / "movie.avi"; }

    FilmTitle title(FilmLayout layout, int pictures) {
        FilmTitleSpec spec;
        spec.layout = layout;
        spec.pictures = pictures;
        spec.gopSize = layout == FilmLayout::Pal ? 12 : 15;
        return makeFilmTitle(dir.path() / std::to_string(made_++), spec);
    }

    NumberedFrames convert(const FilmTitle& t, std::vector<std::string> items,
                           const std::string& codecAnswer = divx4Answer(2500, 250)) {
        std::vector<std::string> line = {"-b", t.list.string(), "-a"};
        line.insert(line.end(), items.begin(), items.end());
        line.push_back(folder.outputDir().string());
        const auto result = folder.run("mpeg2avipx3.exe", line, {codecAnswer});
        EXPECT_EQ(result.status, 0) << result.errors;
        NumberedFrames frames = readFrameNumbers(movie());
        // The numbers read, for the test report.
        RecordProperty("frames" + std::to_string(++converted_), listed(frames.numbers));
        return frames;
    }

private:
    int made_ = 0;
    int converted_ = 0;
};

TEST_F(FilmTitles, PalPicturesMapOneToOne) {
    const FilmTitle t = title(FilmLayout::Pal, 50);
    // Inverse telecine too: PAL film has no repeated fields, so no picture may go.
    for (const auto& items : {std::vector<std::string>{"-f2"}, std::vector<std::string>{"-f2", "-s2"}}) {
        const NumberedFrames frames = convert(t, items);
        EXPECT_EQ(frames.decoderErrors, 0);
        ASSERT_EQ(frames.numbers.size(), 50u) << listed(frames.numbers);
        for (int k = 0; k < 50; ++k)
            EXPECT_EQ(frames.numbers[k], k)
                << items.back() << ", frame " << k << ": " << listed(frames.numbers);
    }
}

// The movie keeps the title's shape: a 16:9 title kept at 720x576 has pixels of 64:45, resized to
// 640x352 of 44:45 (the crop keeps the pixels' shape); a 4:3 title keeps 16:15. DivX 4 carries it in
// its stream and in the file's headers, DivX 3 only in the file's headers.
TEST_F(FilmTitles, TheMovieCarriesThePixelAspect) {
    FilmTitleSpec spec;
    spec.pictures = 5;
    spec.wide = true;
    const FilmTitle wide = makeFilmTitle(dir.path() / "wide", spec);
    spec.wide = false;
    const FilmTitle narrow = makeFilmTitle(dir.path() / "narrow", spec);
    const std::string divx4 = divx4Answer(2500, 250);
    const std::string divx3 = divx3Answer(false, 10, 100, 2500);
    const std::vector<std::string> resized = {"-f2", "-3X", "640", "-3Y", "352"};
    struct Case {
        const FilmTitle* title;
        std::vector<std::string> items;
        const std::string& codec;
        int num, den;
    };
    for (const Case& k : {Case{&wide, {"-f2"}, divx4, 64, 45}, Case{&wide, resized, divx4, 44, 45},
                          Case{&wide, {"-f2", "-3X", "640", "-3Y", "352", "-1", "608", "320"}, divx4, 44, 45},
                          Case{&narrow, {"-f2"}, divx4, 16, 15}, Case{&wide, {"-f2"}, divx3, 64, 45},
                          Case{&wide, resized, divx3, 44, 45}}) {
        convert(*k.title, k.items, k.codec);
        const AviFacts facts = probeAvi(movie());
        ASSERT_TRUE(facts.opened);
        const std::string what = facts.fourcc + " " + std::to_string(facts.width) + "x" +
                                 std::to_string(facts.height) + " " + std::to_string(facts.aspectNum) + ":" +
                                 std::to_string(facts.aspectDen);
        EXPECT_EQ(facts.fourcc, &k.codec == &divx3 ? "DIV3" : "DIVX");
        EXPECT_EQ(facts.aspectNum, k.num) << what;
        EXPECT_EQ(facts.aspectDen, k.den) << what;
    }
}

TEST_F(FilmTitles, SoftTelecineAtFilmRateShowsEveryPictureOnce) {
    const FilmTitle t = title(FilmLayout::SoftTelecine, kFilmPictures);
    const NumberedFrames frames = convert(t, {"-f5"});
    EXPECT_EQ(frames.decoderErrors, 0);
    ASSERT_EQ(frames.numbers.size(), static_cast<size_t>(kFilmPictures)) << listed(frames.numbers);
    for (int k = 0; k < kFilmPictures; ++k)
        EXPECT_EQ(frames.numbers[k], k) << "frame " << k << ": " << listed(frames.numbers);

    // A range of video frames 5 to 105 (fields 10 to 210) is film pictures 4 to 83.
    const NumberedFrames range = convert(t, {"-#", "5", "105", "-f5"});
    ASSERT_EQ(range.numbers.size(), 80u) << listed(range.numbers);
    for (int k = 0; k < 80; ++k)
        EXPECT_EQ(range.numbers[k], 4 + k) << "frame " << k << ": " << listed(range.numbers);
}

TEST_F(FilmTitles, SoftTelecineAtVideoRateRepeatsPicturesInThe32Pattern) {
    const FilmTitle t = title(FilmLayout::SoftTelecine, kFilmPictures);
    const NumberedFrames frames = convert(t, {"-f6"});
    EXPECT_EQ(frames.decoderErrors, 0);
    // 96 pictures are 240 fields: 120 video frames, each showing a picture one of its fields shows.
    ASSERT_EQ(frames.numbers.size(), 120u) << listed(frames.numbers);
    std::set<int> seen;
    for (int k = 0; k < 120; ++k) {
        const int n = frames.numbers[k];
        ASSERT_GE(n, 0) << "frame " << k << ": " << listed(frames.numbers);
        EXPECT_TRUE(t.firstField[n] <= 2 * k + 1 && t.endField[n] > 2 * k)
            << "frame " << k << " shows picture " << n << ": " << listed(frames.numbers);
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kFilmPictures));
}

// Every film picture once, in order, at most 1 % of the frames repeating the one before.
void expectEveryFilmPicture(const NumberedFrames& frames) {
    EXPECT_EQ(frames.decoderErrors, 0);
    ASSERT_EQ(frames.numbers.size(), static_cast<size_t>(kFilmPictures)) << listed(frames.numbers);
    std::set<int> seen;
    int repeats = 0;
    for (int k = 0; k < kFilmPictures; ++k) {
        const int n = frames.numbers[k];
        ASSERT_GE(n, 0) << "frame " << k << " is no whole picture: " << listed(frames.numbers);
        if (k > 0) {
            EXPECT_GE(n, frames.numbers[k - 1]) << "frame " << k << ": " << listed(frames.numbers);
            repeats += n == frames.numbers[k - 1];
        }
        seen.insert(n);
    }
    EXPECT_LE(repeats, kFilmPictures / 100) << listed(frames.numbers);
    EXPECT_GE(seen.size(), static_cast<size_t>(kFilmPictures - kFilmPictures / 100))
        << listed(frames.numbers);
}

TEST_F(FilmTitles, InverseTelecineRecoversEveryFilmPicture) {
    expectEveryFilmPicture(convert(title(FilmLayout::HardTelecine, kFilmPictures), {"-f5", "-s2"}));
    // Film already coded as whole pictures: inverse telecine must not drop any of them.
    expectEveryFilmPicture(convert(title(FilmLayout::SoftTelecine, kFilmPictures), {"-f5", "-s2"}));
}

// A title's one VOB file with a stretch of its packs overwritten with noise, or cut out. Gives the
// byte offset (in the file as it was) where the stretch ends.
enum class Loss { Damaged, Missing };
int64_t lose(const FilmTitle& t, Loss loss, double from, double length) {
    std::string bytes = readBytes(t.vobs.front());
    const size_t packs = bytes.size() / 2048;
    const size_t first = static_cast<size_t>(packs * from) * 2048;
    const size_t count = static_cast<size_t>(packs * length) * 2048;
    if (loss == Loss::Missing) {
        bytes.erase(first, count);
    } else {
        for (size_t i = first; i < first + count; ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 11);
    }
    writeBytes(t.vobs.front(), bytes);
    return static_cast<int64_t>(first + count);
}

// The first intra picture whose coded data begin at or after a byte offset of the title's VOB file,
// by its number, as libavformat reads the file: the first picture that decodes after data lost before
// that offset (read before the loss).
class IntraPictures {
public:
    explicit IntraPictures(const FilmTitle& t) {
        AVFormatContext* format = nullptr;
        if (avformat_open_input(&format, t.vobs.front().c_str(), nullptr, nullptr) < 0)
            return;
        avformat_find_stream_info(format, nullptr);
        AVPacket* packet = av_packet_alloc();
        const double picture90k = 90000.0 * t.pictureRateDen / t.pictureRateNum;
        int64_t first = AV_NOPTS_VALUE;
        while (av_read_frame(format, packet) >= 0) {
            if (format->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                packet->pts != AV_NOPTS_VALUE) {
                if (first == AV_NOPTS_VALUE)
                    first = packet->pts;
                if (packet->flags & AV_PKT_FLAG_KEY)
                    intras_.emplace_back(packet->pos,
                                         std::lround(static_cast<double>(packet->pts - first) / picture90k));
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        avformat_close_input(&format);
    }
    int firstFrom(int64_t offset) const {
        for (const auto& [at, number] : intras_)
            if (at >= offset)
                return static_cast<int>(number);
        return -1;
    }

private:
    std::vector<std::pair<int64_t, long>> intras_; // where each begins, and its number
};

// Frames before the lost stretch show their own picture; inside it the picture before is held (or,
// where the decoder resumes, one nearer): never a later one, never going back; from the first intra
// picture after it (resume) on, every frame shows its own picture again, none shifted.
void expectHeldAcross(const std::vector<int>& numbers, int pictures, int longestLoss, int resume) {
    ASSERT_EQ(numbers.size(), static_cast<size_t>(pictures)) << listed(numbers);
    ASSERT_GT(resume, 0);
    int wrong = 0;
    for (int k = 0; k < pictures; ++k) {
        if (numbers[k] == k)
            continue;
        ++wrong;
        EXPECT_TRUE(k > 0 && k < resume && numbers[k] >= numbers[k - 1] && numbers[k] < k)
            << "frame " << k << " (decoding resumes at " << resume << "): " << listed(numbers);
    }
    EXPECT_GT(wrong, 0) << "nothing was lost";
    EXPECT_LE(wrong, longestLoss) << listed(numbers);
}

TEST_F(FilmTitles, LostPicturesKeepTheirTime) {
    // 4 s of PAL; a tenth of the set overwritten, then an eighth cut out of another title.
    FilmTitle damaged = title(FilmLayout::Pal, 100);
    const IntraPictures palIntras(damaged);
    int resume = palIntras.firstFrom(lose(damaged, Loss::Damaged, 0.4, 0.1));
    RecordProperty("resumePal", resume);
    NumberedFrames frames = convert(damaged, {"-f2"});
    expectHeldAcross(frames.numbers, 100, 10 + 24, resume);

    FilmTitle cut = title(FilmLayout::SoftTelecine, kFilmPictures);
    const IntraPictures intras(cut);
    resume = intras.firstFrom(lose(cut, Loss::Missing, 0.5, 0.125));
    RecordProperty("resumeFilm", resume);
    frames = convert(cut, {"-f5"});
    expectHeldAcross(frames.numbers, kFilmPictures, 12 + 30, resume);
}

// The time stamp of the first video packet, as libavformat reads the file.
int64_t firstVideoStamp(const fs::path& vob) {
    AVFormatContext* format = nullptr;
    int64_t stamp = -1;
    if (avformat_open_input(&format, vob.c_str(), nullptr, nullptr) < 0)
        return stamp;
    avformat_find_stream_info(format, nullptr);
    AVPacket* packet = av_packet_alloc();
    while (stamp < 0 && av_read_frame(format, packet) >= 0) {
        if (format->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            stamp = packet->pts;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return stamp;
}

std::optional<int64_t> startOf(const fs::path& list, int64_t firstFrame = 0) {
    std::string error;
    auto input = mpeg2avi::VobInput::open(list.string(), error);
    EXPECT_TRUE(input) << error;
    if (!input)
        return std::nullopt;
    auto start = mpeg2avi::outputStartPts(*input, error, firstFrame);
    EXPECT_TRUE(start) << error;
    return start;
}

TEST_F(FilmTitles, TheMovieStartsAtTheFirstPictureTheConverterWrites) {
    const FilmTitle t = title(FilmLayout::Pal, 50);
    const int64_t first = firstVideoStamp(t.vobs.front());
    ASSERT_GT(first, 0);
    EXPECT_EQ(startOf(t.list), first);
    // A range starts FIRST source frames later, and the converter's first frame is that picture.
    EXPECT_EQ(startOf(t.list, 10), first + 10 * 3600);
    const NumberedFrames range = convert(t, {"-#", "10", "30", "-f2"});
    ASSERT_EQ(range.numbers.size(), 20u) << listed(range.numbers);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(range.numbers[k], 10 + k) << listed(range.numbers);

    // A set that begins at the second GOP, whose B-pictures need the picture before the cut: they
    // cannot be shown, and the movie begins at the I-picture after them.
    const std::string bytes = readBytes(t.vobs.front());
    size_t second = 0;
    for (size_t pack = 2048, units = 0; pack + 2048 <= bytes.size() && !second; pack += 2048)
        if (bytes.compare(pack + 14, 4, std::string("\0\0\1\xBB", 4)) == 0 && ++units == 1)
            second = pack;
    ASSERT_GT(second, 0u);
    const fs::path cut = dir.path() / "cut" / "VTS_01_1.VOB";
    fs::create_directories(cut.parent_path());
    writeBytes(cut, bytes.substr(second));
    std::ofstream(cut.parent_path() / "vob.lst", std::ios::binary) << cut.string() << "\r\n";
    const int64_t intra = firstVideoStamp(cut);
    EXPECT_EQ(intra, first + 12 * 3600); // the first picture of the second GOP of 12
    EXPECT_EQ(startOf(cut.parent_path() / "vob.lst"), intra);
    FilmTitle cutTitle;
    cutTitle.list = cut.parent_path() / "vob.lst";
    const NumberedFrames frames = convert(cutTitle, {"-f2"});
    ASSERT_FALSE(frames.numbers.empty());
    EXPECT_EQ(frames.numbers.front(), 12);
}

// Video that never reaches a picture boundary gathers in the splitter as one run of bytes larger than
// any coded picture: it is damaged data, not a picture to decode, and the set has no start instant.
TEST(DamagedVideo, AStreamWithoutPictureBoundariesHasNoStartAndDoesNotReachTheDecoder) {
    TempDir dir;
    VobSpec spec;
    spec.seconds = 2.0;
    spec.videoMaker = [](const VobSpec&, std::vector<VobUnit>& units) {
        std::vector<uint8_t> video = {0, 0, 1, 0xB3};
        video.resize(6 * 1024 * 1024, 0x55);
        units.push_back({0, video.size(), 18000});
        return video;
    };
    const VobSet set = writeVobSet(dir.path(), spec);
    std::string error;
    auto input = mpeg2avi::VobInput::open(set.list.string(), error);
    ASSERT_TRUE(input) << error;
    EXPECT_FALSE(mpeg2avi::outputStartPts(*input, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace kes::test
