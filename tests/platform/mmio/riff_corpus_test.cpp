// Damaged and hostile RIFF files: every walk over them ends, stays inside the file and never crashes.
#include "platform/mmio/riff_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace platform::mmio;

namespace {

constexpr int MaxDepth = 8;

// Walks every chunk below parent, descending into containers; returns the number of chunks seen.
int walk(RiffFile& file, const ChunkInfo* parent, int depth) {
    int seen = 0;
    ChunkInfo ck;
    while (file.descend(ck, parent, Descend::Current) == MMSYSERR_NOERROR) {
        ++seen;
        EXPECT_LE(ck.dataOffset + static_cast<int64_t>(ck.cksize), file.size());
        if (parent != nullptr) {
            EXPECT_LE(ck.dataOffset + static_cast<int64_t>(ck.cksize),
                      parent->dataOffset + static_cast<int64_t>(parent->cksize));
        }
        std::vector<char> bytes(ck.cksize);
        const int64_t got = file.read(bytes.data(), ck.cksize);
        EXPECT_GE(got, 0);
        file.seek(ck.dataOffset, SEEK_SET);
        if ((ck.ckid == FOURCC_RIFF || ck.ckid == FOURCC_LIST) && depth < MaxDepth && ck.cksize >= 4) {
            file.seek(ck.dataOffset + FormTypeSize, SEEK_SET);
            seen += walk(file, &ck, depth + 1);
        }
        const int64_t before = ck.dataOffset;
        EXPECT_EQ(file.ascend(ck), MMSYSERR_NOERROR);
        EXPECT_GT(file.position(), before - ChunkHeaderSize);
    }
    return seen;
}

int walkFile(const std::string& path) {
    auto file = RiffFile::open(path, OpenMode::Read);
    if (!file)
        return -1;
    const int seen = walk(*file, nullptr, 0);
    // The lookups a WAV reader makes.
    file->seek(0, SEEK_SET);
    ChunkInfo riff;
    riff.fccType = makeFourCC("WAVE");
    if (file->descend(riff, nullptr, Descend::FindRiff) == MMSYSERR_NOERROR) {
        ChunkInfo data;
        data.ckid = makeFourCC("data");
        if (file->descend(data, &riff, Descend::FindChunk) == MMSYSERR_NOERROR) {
            EXPECT_LE(data.dataOffset + static_cast<int64_t>(data.cksize), file->size());
        }
    }
    return seen;
}

} // namespace

TEST(RiffCorpus, EveryDamagedFileWalksToItsEnd) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KES_MMIO_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_GE(walkFile(entry.path().string()), 0);
        ++files;
    }
    EXPECT_GE(files, 10);
}

TEST(RiffCorpus, ZeroSizeChunksAreStepsNotLoops) {
    EXPECT_EQ(walkFile(std::string(KES_MMIO_CORPUS) + "/zero_size_chunks.wav"), 201);
}

TEST(RiffCorpus, MutatedFilesNeverEscapeTheFile) {
    const std::string seed = kes::test::readBytes(std::string(KES_MMIO_CORPUS) + "/odd_chunk_unpadded.wav") +
                             kes::test::readBytes(std::string(KES_MMIO_CORPUS) + "/nested_lists.wav");
    kes::test::TempDir dir;
    std::mt19937 random(1234);
    for (int round = 0; round < 500; ++round) {
        std::string bytes = seed;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < changes; ++i)
            bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
        bytes.resize(random() % (bytes.size() + 1));
        kes::test::writeBytes(dir.file("m.wav"), bytes);
        EXPECT_GE(walkFile(dir.file("m.wav")), 0);
    }
}
