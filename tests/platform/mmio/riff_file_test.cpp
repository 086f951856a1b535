#include "platform/mmio/riff_file.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

using namespace platform::mmio;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

namespace {

constexpr FourCC WAVE = makeFourCC("WAVE");
constexpr FourCC FMT = makeFourCC("fmt ");
constexpr FourCC DATA = makeFourCC("data");

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string chunk(const std::string& id, const std::string& data) {
    std::string s = id + le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0)
        s += '\0';
    return s;
}

// Writes RIFF/WAVE with a 30-byte "fmt " and a data chunk of the given bytes.
void writeWave(const std::string& path, const std::string& data,
               const std::string& format = std::string(30, 'f')) {
    auto file = RiffFile::open(path, OpenMode::Create);
    ASSERT_TRUE(file);
    ChunkInfo riff;
    riff.fccType = WAVE;
    ASSERT_EQ(file->createChunk(riff, CreateKind::Riff), 0);
    ChunkInfo fmt;
    fmt.ckid = FMT;
    ASSERT_EQ(file->createChunk(fmt, CreateKind::Chunk), 0);
    ASSERT_EQ(file->write(format.data(), static_cast<int64_t>(format.size())),
              static_cast<int64_t>(format.size()));
    ASSERT_EQ(file->ascend(fmt), 0);
    ChunkInfo dataChunk;
    dataChunk.ckid = DATA;
    ASSERT_EQ(file->createChunk(dataChunk, CreateKind::Chunk), 0);
    ASSERT_EQ(file->write(data.data(), static_cast<int64_t>(data.size())), static_cast<int64_t>(data.size()));
    ASSERT_EQ(file->ascend(dataChunk), 0);
    ASSERT_EQ(file->ascend(riff), 0);
    ASSERT_EQ(file->close(), 0);
}

} // namespace

TEST(RiffWrite, CompletesSizesAndPadsOddChunks) {
    TempDir dir;
    writeWave(dir.file("out.wav"), "abcde");
    const std::string expected =
        "RIFF" + le32(4 + 38 + 14) + "WAVE" + chunk("fmt ", std::string(30, 'f')) + chunk("data", "abcde");
    EXPECT_EQ(readBytes(dir.file("out.wav")), expected);
}

// The converter's layout (a 30-byte "fmt " whatever its cbSize, odd data padded) with a PCM format:
// FFmpeg reads every sample of it.
TEST(RiffWrite, AnotherReaderTakesTheWrittenWave) {
    TempDir dir;
    // 8-bit mono PCM at 8000 Hz: tag 1, 1 channel, rate, bytes per second, block 1, 8 bits, cbSize 0.
    const std::string format = std::string("\x01\x00\x01\x00", 4) + le32(8000) + le32(8000) +
                               std::string("\x01\x00\x08\x00\x00\x00", 6) + std::string(12, '\0');
    writeWave(dir.file("pcm.wav"), std::string("\x80\xC0\x40\xFF\x00", 5), format);
    const kes::test::LavfProbe probe = kes::test::probeLavf(dir.file("pcm.wav"), true);
    ASSERT_EQ(probe.format, "wav");
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "pcm_u8");
    EXPECT_EQ(probe.streams[0].sampleRate, 8000);
    EXPECT_EQ(probe.streams[0].pcm, (std::vector<double>{0.0, 0.5, -0.5, 127 / 128.0, -1.0}));
}

TEST(RiffWrite, FileAppearsOnlyOnCloseAndDiscardKeepsTheOldOne) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    writeBytes(path, "old");
    {
        auto file = RiffFile::open(path, OpenMode::Create);
        ASSERT_TRUE(file);
        ChunkInfo riff;
        riff.fccType = WAVE;
        ASSERT_EQ(file->createChunk(riff, CreateKind::Riff), 0);
        EXPECT_EQ(readBytes(path), "old");
        file->discard();
    }
    {
        auto file = RiffFile::open(path, OpenMode::Create);
        ASSERT_TRUE(file);
        ASSERT_EQ(file->write("x", 1), 1);
    } // destroyed without close: abandoned
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(RiffWrite, CannotCreateOverAFolderOrInAMissingFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    EXPECT_FALSE(RiffFile::open(dir.file("sub"), OpenMode::Create));
    EXPECT_FALSE(RiffFile::open(dir.file("missing/x.wav"), OpenMode::Create));
    EXPECT_FALSE(RiffFile::open(dir.file("missing.wav"), OpenMode::Read));
}

TEST(RiffRead, FindsChunksByTypeAndIdSkippingOthers) {
    TempDir dir;
    const std::string list = "LIST" + le32(4 + 9 + 1) + "INFO" + chunk("ISFT", "x");
    const std::string body = "WAVE" + chunk("junk", "abc") + list + chunk("fmt ", std::string(16, 'f')) +
                             chunk("data", "0123456789");
    writeBytes(dir.file("in.wav"), "RIFF" + le32(static_cast<uint32_t>(body.size())) + body);

    auto file = RiffFile::open(dir.file("IN.WAV"), OpenMode::Read); // found without regard to case
    ASSERT_TRUE(file);
    ChunkInfo riff;
    riff.fccType = WAVE;
    ASSERT_EQ(file->descend(riff, nullptr, Descend::FindRiff), 0);
    EXPECT_EQ(riff.cksize, body.size());
    ChunkInfo info;
    info.fccType = makeFourCC("INFO");
    ASSERT_EQ(file->descend(info, &riff, Descend::FindList), 0);
    ChunkInfo sft;
    ASSERT_EQ(file->descend(sft, &info, Descend::Current), 0);
    EXPECT_EQ(fourCCText(sft.ckid), "ISFT");
    ASSERT_EQ(file->ascend(sft), 0);
    EXPECT_EQ(file->descend(sft, &info, Descend::Current), MMIOERR_CHUNKNOTFOUND); // end of the list
    ASSERT_EQ(file->ascend(info), 0);

    ChunkInfo fmt;
    fmt.ckid = FMT;
    ASSERT_EQ(file->descend(fmt, &riff, Descend::FindChunk), 0);
    EXPECT_EQ(fmt.cksize, 16u);
    ASSERT_EQ(file->ascend(fmt), 0);
    ChunkInfo data;
    data.ckid = DATA;
    ASSERT_EQ(file->descend(data, &riff, Descend::FindChunk), 0);
    char buffer[16] = {};
    EXPECT_EQ(file->read(buffer, 16), 10);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(file->read(buffer, 16), 0);
    ASSERT_EQ(file->ascend(data), 0);
    ChunkInfo missing;
    missing.ckid = makeFourCC("cue ");
    EXPECT_EQ(file->descend(missing, &riff, Descend::FindChunk), MMIOERR_CHUNKNOTFOUND);
}

TEST(RiffRead, WrongFormTypeIsNotFound) {
    TempDir dir;
    writeWave(dir.file("a.wav"), "xy");
    auto file = RiffFile::open(dir.file("a.wav"), OpenMode::Read);
    ASSERT_TRUE(file);
    ChunkInfo riff;
    riff.fccType = makeFourCC("AVI ");
    EXPECT_EQ(file->descend(riff, nullptr, Descend::FindRiff), MMIOERR_CHUNKNOTFOUND);
}

TEST(RiffRead, SizesAreClampedToTheParentAndTheFile) {
    TempDir dir;
    // The data chunk claims a million bytes; the RIFF claims more than the file holds.
    const std::string body = "WAVE" + chunk("fmt ", std::string(16, 'f')) + "data" + le32(1000000) + "abcd";
    writeBytes(dir.file("a.wav"), "RIFF" + le32(0xFFFFFFF0u) + body);
    auto file = RiffFile::open(dir.file("a.wav"), OpenMode::Read);
    ASSERT_TRUE(file);
    ChunkInfo riff;
    riff.fccType = WAVE;
    ASSERT_EQ(file->descend(riff, nullptr, Descend::FindRiff), 0);
    EXPECT_EQ(riff.cksize, body.size());
    EXPECT_EQ(riff.declaredSize, 0xFFFFFFF0u);
    ChunkInfo data;
    data.ckid = DATA;
    ASSERT_EQ(file->descend(data, &riff, Descend::FindChunk), 0);
    EXPECT_EQ(data.cksize, 4u);
    EXPECT_EQ(data.declaredSize, 1000000u);
    ASSERT_EQ(file->ascend(data), 0);
    EXPECT_EQ(file->position(), file->size());
}

TEST(RiffRead, SearchStopsAtTheParentEnd) {
    TempDir dir;
    // The RIFF size covers only "fmt ": the "data" chunk behind it is outside.
    const std::string inside = "WAVE" + chunk("fmt ", std::string(16, 'f'));
    writeBytes(dir.file("a.wav"),
               "RIFF" + le32(static_cast<uint32_t>(inside.size())) + inside + chunk("data", "abcd"));
    auto file = RiffFile::open(dir.file("a.wav"), OpenMode::Read);
    ASSERT_TRUE(file);
    ChunkInfo riff;
    riff.fccType = WAVE;
    ASSERT_EQ(file->descend(riff, nullptr, Descend::FindRiff), 0);
    ChunkInfo data;
    data.ckid = DATA;
    EXPECT_EQ(file->descend(data, &riff, Descend::FindChunk), MMIOERR_CHUNKNOTFOUND);
}

TEST(RiffIo, SeekAndReadAtTheEdges) {
    TempDir dir;
    writeBytes(dir.file("a.bin"), "0123456789");
    auto file = RiffFile::open(dir.file("a.bin"), OpenMode::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->seek(-1, SEEK_SET), -1);
    EXPECT_EQ(file->seek(-3, SEEK_END), 7);
    char buffer[8] = {};
    EXPECT_EQ(file->read(buffer, 8), 3);
    EXPECT_EQ(file->seek(100, SEEK_SET), 100);
    EXPECT_EQ(file->read(buffer, 8), 0);
    EXPECT_EQ(file->seek(0, 7), -1);
    EXPECT_EQ(file->write("x", 1), -1); // opened for reading
}
