// Damaged and unusual AVI files: truncated files and files without idx1 fall back to a scan of the
// movi list, bad sizes are clamped, idx1 offsets of either kind are understood, OpenDML files are read
// through their own index, and no mutation of a good file makes the reader crash or hang.
#include "platform/vfw/avi_constants.h"
#include "platform/vfw/avi_fuzz.h"
#include "platform/vfw/avi_reader.h"
#include "platform/vfw/vfw.h"

#include "tests/platform/vfw/avi_test_util.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <filesystem>
#include <random>
#include <vector>

using namespace platform::vfw;
using namespace kes::test;

namespace {

constexpr int Frames = 12;
constexpr int KeyEvery = 5;

class DamagedAvi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeTestMovie(dir.file("good.avi"), Frames, KeyEvery));
        good = readBytes(dir.file("good.avi"));
        movi = findText(good, "movi");
        idx1 = findText(good, "idx1", movi);
        ASSERT_NE(idx1, std::string::npos);
    }

    // Opens bytes as a file; the number of video frames, or -1 when it does not open.
    LONG videoFrames(const std::string& bytes, PAVISTREAM* keep = nullptr) {
        const std::string path = dir.file("damaged.avi");
        writeBytes(path, bytes);
        PAVISTREAM s = nullptr;
        if (AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ) != AVIERR_OK)
            return -1;
        const LONG n = AVIStreamLength(s);
        if (keep != nullptr)
            *keep = s;
        else
            AVIStreamRelease(s);
        return n;
    }

    // Checks that frames [0, count) read back as written, with their key frames.
    void expectFrames(PAVISTREAM s, LONG count) {
        std::vector<char> buf(8192);
        for (LONG i = 0; i < count; ++i) {
            LONG bytes = 0;
            ASSERT_EQ(AVIStreamRead(s, i, 1, buf.data(), 8192, &bytes, nullptr), AVIERR_OK) << "frame " << i;
            const std::string expected = testFrame(static_cast<int>(i), i % KeyEvery == 0);
            EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(bytes)),
                      expected.substr(0, static_cast<size_t>(bytes)))
                << "frame " << i;
            EXPECT_EQ(AVIStreamIsKeyFrame(s, i) != FALSE, i % KeyEvery == 0) << "frame " << i;
        }
    }

    void put32(std::string& bytes, size_t offset, uint32_t v) { bytes.replace(offset, 4, le32(v)); }

    TempDir dir{"kes-vfw-damaged"};
    std::string good;
    size_t movi = 0;
    size_t idx1 = 0;
};

TEST_F(DamagedAvi, MissingIdx1IsReplacedByAScanWithKeyFramesFromThePictures) {
    std::string bytes = good;
    bytes.replace(idx1, 4, "JUNK");
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(bytes, &s), Frames);
    expectFrames(s, Frames);
    AVIStreamRelease(s);
}

TEST_F(DamagedAvi, TruncatedFileKeepsTheFramesThatAreThere) {
    // Cut in the middle of the ninth frame's data: idx1 is gone, eight whole frames and a partial one.
    size_t at = movi + 4;
    int videoSeen = 0;
    while (videoSeen < 9) {
        if (good.substr(at, 4) == "00dc")
            ++videoSeen;
        const uint32_t size = readLE32(good, at + 4);
        if (videoSeen == 9)
            break;
        at += 8 + size + (size & 1);
    }
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(good.substr(0, at + 8 + 20), &s), 9);
    expectFrames(s, 9);
    LONG bytes = 0;
    std::vector<char> buf(8192);
    ASSERT_EQ(AVIStreamRead(s, 8, 1, buf.data(), 8192, &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(bytes, 20);
    AVIStreamRelease(s);
    // Cut inside the headers: nothing to open.
    EXPECT_EQ(videoFrames(good.substr(0, 100)), -1);
}

TEST_F(DamagedAvi, AbsoluteIdx1OffsetsAreRecognised) {
    std::string bytes = good;
    const uint32_t entries = readLE32(good, idx1 + 4) / 16;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t field = idx1 + 8 + i * 16 + 8;
        put32(bytes, field, readLE32(bytes, field) + static_cast<uint32_t>(movi));
    }
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(bytes, &s), Frames);
    expectFrames(s, Frames);
    AVIStreamRelease(s);
}

TEST_F(DamagedAvi, OversizedSizesAreClampedToTheirListAndTheFile) {
    std::string bytes = good;
    put32(bytes, 4, 0xFFFFFFF0u);        // RIFF
    put32(bytes, movi - 4, 0xFFFFFFF0u); // movi LIST
    put32(bytes, idx1 + 4, 0xFFFFFFF0u); // idx1
    const size_t strf = findText(bytes, "strf");
    put32(bytes, strf + 4, 0x7FFFFFF0u); // the video format runs over the rest of the header list
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(bytes, &s), Frames);
    expectFrames(s, Frames);
    LONG formatSize = 0;
    AVIStreamFormatSize(s, 0, &formatSize);
    EXPECT_GT(formatSize, 40);
    EXPECT_LT(static_cast<size_t>(formatSize), bytes.size());
    AVIStreamRelease(s);
}

TEST_F(DamagedAvi, Idx1EntriesOutsideTheFileAreDroppedOrCut) {
    std::string bytes = good;
    // The last entry (the last frame) points far outside; the one before it claims a huge size.
    const uint32_t entries = readLE32(good, idx1 + 4) / 16;
    put32(bytes, idx1 + 8 + (entries - 1) * 16 + 8, 0xFFFFFF00u);
    put32(bytes, idx1 + 8 + (entries - 2) * 16 + 12, 0x7FFFFFFFu);
    PAVISTREAM s = nullptr;
    const LONG n = videoFrames(bytes, &s);
    ASSERT_EQ(n, Frames - 1);
    expectFrames(s, n);
    AVIStreamRelease(s);
    // The entry with the huge size keeps its chunk's own size: the audio is as long as written.
    const std::string path = dir.file("damaged.avi");
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&audio, path, streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    const LONG damagedLength = AVIStreamLength(audio);
    AVIStreamRelease(audio);
    writeBytes(path, good);
    ASSERT_EQ(AVIStreamOpenFromFile(&audio, path, streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(damagedLength, AVIStreamLength(audio));
    AVIStreamRelease(audio);
}

TEST_F(DamagedAvi, AnIdx1SizeOverwrittenWithGarbageTakesTheChunksOwnSize) {
    const uint32_t entries = readLE32(good, idx1 + 4) / 16;
    int video = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = idx1 + 8 + i * 16;
        if (good.substr(entry, 4) != "00dc" || video++ != 3)
            continue;
        // The fourth frame's size reads as garbage: its chunk header decides, and every frame reads
        // back as written.
        std::string bytes = good;
        put32(bytes, entry + 12, 0xFFFFFFFFu);
        PAVISTREAM s = nullptr;
        ASSERT_EQ(videoFrames(bytes, &s), Frames);
        expectFrames(s, Frames);
        AVIStreamRelease(s);
        // With the chunk's header garbled too, nothing says how long it is: the frame is empty, and
        // the frames after it keep their numbers.
        const size_t chunkAt = movi + readLE32(good, entry + 8);
        bytes.replace(chunkAt, 4, "JUNK");
        ASSERT_EQ(videoFrames(bytes, &s), Frames);
        LONG read = -1;
        std::vector<char> buf(8192);
        ASSERT_EQ(AVIStreamRead(s, 3, 1, buf.data(), 8192, &read, nullptr), AVIERR_OK);
        EXPECT_EQ(read, 0);
        for (LONG f = 4; f < Frames; ++f) {
            ASSERT_EQ(AVIStreamRead(s, f, 1, buf.data(), 8192, &read, nullptr), AVIERR_OK);
            EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(read)), testFrame(f, f % KeyEvery == 0));
        }
        AVIStreamRelease(s);
        return;
    }
    FAIL() << "the movie has no fourth frame";
}

TEST_F(DamagedAvi, ScanResynchronisesAfterAGarbledChunkHeader) {
    std::string bytes = good;
    bytes.replace(idx1, 4, "JUNK");
    // Garble the header of the fourth video frame.
    size_t at = movi + 4;
    int videoSeen = 0;
    while (true) {
        const uint32_t size = readLE32(bytes, at + 4);
        if (bytes.substr(at, 4) == "00dc" && ++videoSeen == 4)
            break;
        at += 8 + size + (size & 1);
    }
    bytes.replace(at, 8, "zz\xff\xfe\xff\xff\xff\x7f");
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(bytes, &s), Frames - 1);
    expectFrames(s, 3);
    AVIStreamRelease(s);
}

// An OpenDML file by hand: two RIFFs, each with a movi list and its own standard index, reached
// through the stream's super index.
std::string odmlFile(const std::vector<std::string>& frames) {
    auto build = [&](uint32_t ix0, uint32_t ix1) {
        std::string super =
            le16(4) + std::string(1, '\0') + std::string(1, '\0') + le32(2) + "00dc" + std::string(12, '\0');
        super += le32(ix0) + le32(0) + le32(32) + le32(2);
        super += le32(ix1) + le32(0) + le32(32) + le32(1);
        const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
        std::string strh = "vidsDIVX" + std::string(12, '\0') + le32(1) + le32(25) + le32(0) + le32(0) +
                           std::string(24, '\0');
        const std::string strl =
            list("strl", chunk("strh", strh) +
                             chunk("strf", std::string(reinterpret_cast<const char*>(&bmp), 40)) +
                             chunk("indx", super));
        std::string avih = le32(40000) + std::string(20, '\0') + le32(1) + std::string(28, '\0');
        const std::string hdrl = list("hdrl", chunk("avih", avih) + strl);
        // First RIFF: frames 0 and 1 and their index.
        const size_t moviType = 12 + hdrl.size() + 8;
        std::string movi1 = chunk("00dc", frames[0]) + chunk("00dc", frames[1]);
        const uint64_t base1 = moviType + 4;
        std::string ix = le16(2) + std::string(1, '\0') + std::string(1, '\x01') + le32(2) + "00dc" +
                         le32(static_cast<uint32_t>(base1)) + le32(0) + le32(0);
        size_t off = 8;
        for (int i = 0; i < 2; ++i) {
            ix += le32(static_cast<uint32_t>(off)) +
                  le32(static_cast<uint32_t>(frames[static_cast<size_t>(i)].size()) |
                       (i == 0 ? 0u : 0x80000000u));
            off += 8 + frames[static_cast<size_t>(i)].size() + (frames[static_cast<size_t>(i)].size() & 1);
        }
        const size_t ix0Pos = moviType + 4 + movi1.size();
        movi1 += chunk("ix00", ix);
        const std::string riff1 = list("AVI ", hdrl + list("movi", movi1), "RIFF");
        // Second RIFF: frame 2.
        const size_t base2 = riff1.size() + 12 + 12;
        std::string movi2 = chunk("00dc", frames[2]);
        std::string ix2 = le16(2) + std::string(1, '\0') + std::string(1, '\x01') + le32(1) + "00dc" +
                          le32(static_cast<uint32_t>(base2)) + le32(0) + le32(0) + le32(8) +
                          le32(static_cast<uint32_t>(frames[2].size()));
        const size_t ix1Pos = base2 + movi2.size();
        movi2 += chunk("ix00", ix2);
        const std::string riff2 = list("AVIX", list("movi", movi2), "RIFF");
        return std::make_tuple(riff1 + riff2, ix0Pos, ix1Pos);
    };
    const auto [draft, ix0, ix1] = build(0, 0);
    return std::get<0>(build(static_cast<uint32_t>(ix0), static_cast<uint32_t>(ix1)));
}

TEST_F(DamagedAvi, OpenDmlFilesAreReadThroughTheirIndex) {
    // Frame 2 looks like a predicted picture but the index marks it a key frame: the index wins.
    const std::vector<std::string> frames = {testFrame(0, true), testFrame(1, false), testFrame(2, false)};
    PAVISTREAM s = nullptr;
    ASSERT_EQ(videoFrames(odmlFile(frames), &s), 3);
    std::vector<char> buf(8192);
    for (LONG i = 0; i < 3; ++i) {
        LONG bytes = 0;
        ASSERT_EQ(AVIStreamRead(s, i, 1, buf.data(), 8192, &bytes, nullptr), AVIERR_OK);
        EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(bytes)), frames[static_cast<size_t>(i)]);
    }
    EXPECT_TRUE(AVIStreamIsKeyFrame(s, 0));
    EXPECT_FALSE(AVIStreamIsKeyFrame(s, 1));
    EXPECT_TRUE(AVIStreamIsKeyFrame(s, 2));
    AVIStreamRelease(s);
}

TEST_F(DamagedAvi, MutatedAndTruncatedFilesNeverCrashTheReader) {
    av_log_set_level(AV_LOG_QUIET); // the decoder's complaints about damaged pictures
    std::mt19937 rng(1234);
    const auto* data = reinterpret_cast<const uint8_t*>(good.data());
    EXPECT_EQ(exerciseAviBytes(data, good.size()), 2);
    for (size_t cut = 0; cut < good.size(); cut += 7)
        exerciseAviBytes(data, cut);
    for (int round = 0; round < 1000; ++round) {
        std::string bytes = good;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int f = 0; f < flips; ++f) {
            // Mostly in the headers and the index, where sizes and offsets live.
            const size_t at =
                rng() % 2 == 0 ? rng() % std::min<size_t>(bytes.size(), 600) : rng() % bytes.size();
            bytes[at] = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng());
        }
        exerciseAviBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
}

TEST_F(DamagedAvi, CorpusFilesOpenOrFailCleanly) {
    const std::filesystem::path corpus = KES_VFW_CORPUS;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string bytes = readBytes(entry.path());
        exerciseAviBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++files;
    }
    EXPECT_GT(files, 5);
}

} // namespace

namespace {

void putLe(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int count) {
    for (int i = 0; i < count; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

// A super index may name the same bytes again and again under other offsets: here a repeating
// 32-byte pattern in which every offset named holds an "ix00" chunk whose entries run to the end of
// the file, each block overlapping all the others. Read as it stands that gives the square of the
// file's size in entries; the index is kept to what the file can hold.
TEST(DamagedAviIndex, OverlappingIndexChunksCannotMakeTheIndexLargerThanTheFile) {
    constexpr size_t Period = 32;
    constexpr size_t FileSize = 128 * 1024;
    std::vector<uint8_t> file(FileSize);
    for (size_t at = 0; at + Period <= FileSize; at += Period) {
        putLe(file, at, mmioFOURCC('i', 'x', '0', '0'), 4);
        putLe(file, at + 4, FileSize, 4);                        // chunk size: the whole file
        putLe(file, at + 8, 2, 2);                               // longs per entry
        file[at + 11] = avi::AVI_INDEX_OF_CHUNKS;                // index type
        putLe(file, at + 12, 0x7FFFFFFF, 4);                     // entries in use
        putLe(file, at + 16, mmioFOURCC('0', '0', 'd', 'c'), 4); // chunk id
        putLe(file, at + 20, 0, 8);                              // base offset
        putLe(file, at + 28, 16, 4);
    }
    constexpr size_t Named = FileSize / Period;
    std::vector<uint8_t> super(avi::OdmlIndexHeaderSize + Named * avi::OdmlSuperEntrySize);
    putLe(super, 0, avi::OdmlSuperEntrySize / 4, 2);
    super[3] = avi::AVI_INDEX_OF_INDEXES;
    putLe(super, 4, Named, 4);
    for (size_t i = 0; i < Named; ++i) {
        const size_t at = avi::OdmlIndexHeaderSize + i * avi::OdmlSuperEntrySize;
        putLe(super, at, i * Period, 8);
        putLe(super, at + 8, FileSize, 4);
    }
    const auto source = memorySource(file.data(), file.size());
    AviLayout layout;
    layout.indx.push_back(super);
    ParsedFile parsed;
    parsed.streams.resize(1);
    ASSERT_TRUE(readOdmlIndex(*source, layout, parsed));
    EXPECT_LE(parsed.streams[0].chunks.size(), FileSize / avi::ChunkHeaderSize + 1);
}

TEST(DamagedAviIndex, AnIndexEntryCountLargerThanItsChunkIsCutToTheChunk) {
    std::vector<uint8_t> block(avi::OdmlIndexHeaderSize + 3 * avi::OdmlChunkEntrySize);
    putLe(block, 0, 2, 2);
    block[3] = avi::AVI_INDEX_OF_CHUNKS;
    putLe(block, 4, 0xFFFFFFFF, 4); // entries in use: far more than the chunk holds
    for (size_t i = 0; i < 3; ++i)
        putLe(block, avi::OdmlIndexHeaderSize + i * avi::OdmlChunkEntrySize, 8 * i, 4);
    std::vector<uint8_t> file(64);
    const auto source = memorySource(file.data(), file.size());
    AviLayout layout;
    layout.indx.push_back(block);
    ParsedFile parsed;
    parsed.streams.resize(1);
    ASSERT_TRUE(readOdmlIndex(*source, layout, parsed));
    EXPECT_EQ(parsed.streams[0].chunks.size(), 3u);
}
