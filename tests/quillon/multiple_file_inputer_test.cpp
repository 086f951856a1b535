#include "quillon/multiple_file_inputer.h"
#include "recording_sink.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace quillon {
namespace {

using kes::test::TempDir;
using kes::test::writeBytes;

// A set of files whose joined bytes are known: byte i of the stream is a function of i.
class InputerTest : public ::testing::Test {
protected:
    TempDir dir;
    test::RecordingSink sink;
    FileList list{sink};
    MultipleFileInputer reader{sink};
    std::string stream;

    void makeSet(const std::vector<size_t>& sizes) {
        std::string text;
        for (size_t i = 0; i < sizes.size(); ++i) {
            std::string bytes;
            for (size_t k = 0; k < sizes[i]; ++k)
                bytes += static_cast<char>((stream.size() + k) * 31 % 251);
            const std::string name = "VTS_01_" + std::to_string(i + 1) + ".VOB";
            writeBytes(dir.path() / name, bytes);
            stream += bytes;
            text += dir.file(name) + "\r\n";
        }
        writeBytes(dir.path() / "vob.lst", text);
        list.load(dir.file("vob.lst"));
        reader.open(list);
    }

    std::string read(int64_t pos, int64_t n) {
        reader.seek(pos);
        std::string out(static_cast<size_t>(n), '\0');
        const int64_t got = reader.readBlock(out.data(), n);
        out.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
        return out;
    }
};

TEST_F(InputerTest, ReadsCrossFileBoundariesAtEveryAlignment) {
    makeSet({5, 0, 17, 1, 9, 0});
    ASSERT_TRUE(reader.isOpen());
    const int64_t total = static_cast<int64_t>(stream.size());
    ASSERT_EQ(reader.total(), total);
    for (int64_t pos = 0; pos < total; ++pos) {
        for (int64_t n = 1; n <= total - pos; ++n) {
            ASSERT_EQ(read(pos, n), stream.substr(static_cast<size_t>(pos), static_cast<size_t>(n)))
                << "pos " << pos << " n " << n;
            ASSERT_EQ(reader.position(), pos + n);
        }
    }
    EXPECT_TRUE(sink.warnings.empty());
}

TEST_F(InputerTest, BlocksLargerThanOnePieceSpanManyFiles) {
    makeSet({kReadPiece + 3, kReadPiece - 1, 2, 3 * kReadPiece});
    const int64_t total = static_cast<int64_t>(stream.size());
    EXPECT_EQ(read(0, total), stream);
    for (int64_t pos : {int64_t{0}, kReadPiece - 1, kReadPiece + 2, 2 * kReadPiece + 1})
        EXPECT_EQ(read(pos, 2 * kReadPiece + 5), stream.substr(static_cast<size_t>(pos), 2 * kReadPiece + 5));
    // Consecutive reads go on where the last one stopped without a seek.
    reader.seek(1);
    std::string joined(100, '\0');
    ASSERT_EQ(reader.readBlock(joined.data(), 40), 40);
    ASSERT_EQ(reader.readBlock(joined.data() + 40, 60), 60);
    EXPECT_EQ(joined, stream.substr(1, 100));
}

TEST_F(InputerTest, ReadAcrossTheEndOfTheFirstFileLandsInTheSecond) {
    makeSet({100, 100});
    EXPECT_EQ(read(90, 30), stream.substr(90, 30));
    EXPECT_EQ(reader.fileIndex(), 1);
    EXPECT_EQ(reader.fileOffset(), 20);
}

TEST_F(InputerTest, SeeksReachEveryFilesFirstAndLastByte) {
    makeSet({3, 0, 1, 8});
    int64_t start = 0;
    const std::vector<int64_t> sizes = {3, 0, 1, 8};
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] == 0)
            continue;
        for (int64_t pos : {start, start + sizes[i] - 1}) {
            reader.seek(pos);
            EXPECT_EQ(reader.position(), pos);
            EXPECT_EQ(reader.fileIndex(), static_cast<int32_t>(i));
            EXPECT_EQ(reader.fileOffset(), pos - start);
            EXPECT_EQ(read(pos, 1), stream.substr(static_cast<size_t>(pos), 1));
        }
        start += sizes[i];
    }
    EXPECT_TRUE(sink.warnings.empty());
}

TEST_F(InputerTest, OutOfRangeRequestsAreRefusedAndChangeNothing) {
    makeSet({10, 5});
    reader.seek(15);
    reader.seek(-1);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::seek: position out of bounds",
                                        "MultipleFileInputer::seek: position out of bounds"}));
    reader.seek(14);
    EXPECT_EQ(reader.fileIndex(), 1);
    EXPECT_EQ(reader.fileOffset(), 4);

    reader.seek(3);
    char buffer[16];
    EXPECT_EQ(reader.readBlock(buffer, 13), 0);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::readBlock: asked to read to many bytes"}));
    EXPECT_EQ(reader.position(), 3);
    EXPECT_EQ(reader.readBlock(buffer, 12), 12);
    // Ending exactly at the end of the last file keeps that file current.
    EXPECT_EQ(reader.fileIndex(), 1);
    EXPECT_EQ(reader.fileOffset(), 5);
    EXPECT_EQ(reader.readBlock(buffer, 0), 0);
    EXPECT_TRUE(sink.warnings.empty());

    reader.seekFileAndPosition(2, 0);
    reader.seekFileAndPosition(1, 5);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::seekFileAndPosition: fileIndex out of bounds",
                                        "MultipleFileInputer::seekFileAndPosition: position out of bounds"}));
    EXPECT_EQ(reader.fileIndex(), 1);
    EXPECT_EQ(reader.position(), 15);
}

TEST_F(InputerTest, ClosedReaderRefusesWork) {
    makeSet({4});
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.total(), 0);
    char buffer[4];
    EXPECT_EQ(reader.readBlock(buffer, 0), 0);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer - Error: file is not open"}));
}

TEST_F(InputerTest, AMissingFileKeepsTheReaderClosed) {
    makeSet({4, 4});
    std::filesystem::remove(dir.path() / "VTS_01_2.VOB");
    list.load(dir.file("vob.lst"));
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.total(), 4);
    reader.open(list);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::open: Failed to open a file in the list."}));
    FileList empty(sink);
    reader.open(empty);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_TRUE(sink.warnings.empty());
}

TEST_F(InputerTest, FifosAreRefusedWithoutWaitingForAWriter) {
    makeSet({4, 4});
    // A FIFO in the list: opening it for reading would wait for a writer that never comes.
    std::filesystem::remove(dir.path() / "VTS_01_2.VOB");
    ASSERT_EQ(mkfifo(dir.file("VTS_01_2.VOB").c_str(), 0600), 0);
    list.load(dir.file("vob.lst"));
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.total(), 4);
    reader.open(list);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::open: " + dir.file("VTS_01_2.VOB") +
                                        " is not a regular file."}));

    // A FIFO given as the list itself gives an empty list.
    ASSERT_EQ(mkfifo(dir.file("fifo.lst").c_str(), 0600), 0);
    list.load(dir.file("fifo.lst"));
    EXPECT_EQ(list.count(), 0);
}

TEST_F(InputerTest, AShrunkenFileEndsTheReadInsteadOfLooping) {
    makeSet({0, 50, 0, 0, 30});
    EXPECT_EQ(reader.fileIndex(), 1); // the stream starts in the first file with bytes
    // The second file loses half its bytes after the list was loaded.
    std::filesystem::resize_file(dir.path() / "VTS_01_2.VOB", 25);
    std::string out(80, '\0');
    EXPECT_EQ(reader.readBlock(out.data(), 80), 25);
    EXPECT_EQ(reader.position(), 25);
    EXPECT_EQ(out.substr(0, 25), stream.substr(0, 25));
    EXPECT_EQ(reader.readBlock(out.data(), 10), 0);
    // The files after it are still reachable.
    EXPECT_EQ(read(50, 30), stream.substr(50, 30));
    EXPECT_EQ(reader.fileIndex(), 4);
}

TEST_F(InputerTest, AListOfEmptyFilesGivesAnEmptyStream) {
    makeSet({0, 0});
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.total(), 0);
    char buffer[1];
    EXPECT_EQ(reader.readBlock(buffer, 1), 0);
    EXPECT_EQ(sink.takeWarnings(),
              (std::vector<std::string>{"MultipleFileInputer::readBlock: asked to read to many bytes"}));
}

} // namespace
} // namespace quillon
