// The VOB list written for a chosen VOB file.

#include "tools/stream_graph/audio_stream_graph.h"
#include "tools/stream_graph/vob_list_writer.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace tools::stream_graph {
namespace {

using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

class BoxSink final : public StreamGraphSink {
public:
    void showMessage(const std::string& text) override { boxes.push_back(text); }
    void showError(const std::string& text) override { boxes.push_back(text); }
    std::vector<std::string> boxes;
};

class VobListTest : public ::testing::Test {
protected:
    void touch(const std::string& name) { writeBytes(dir.path() / name, "x"); }
    std::string path(const std::string& name) const { return dir.file(name); }
    TempDir dir{"kes-voblist"};
};

TEST_F(VobListTest, FollowingPartsAreFoundWithoutRegardToCaseAndSpelledAsOnDisk) {
    touch("VTS_01_1.VOB");
    touch("vts_01_2.vob");
    touch("VTS_01_3.VOB");
    touch("VTS_01_5.VOB"); // after a gap: not part of the set
    const auto result = writeVobList(path("VTS_01_1.VOB"));
    ASSERT_EQ(result.status, VobListResult::Status::Written);
    EXPECT_EQ(result.listPath, path("vob.lst"));
    EXPECT_EQ(result.names,
              (std::vector<std::string>{path("VTS_01_1.VOB"), path("vts_01_2.vob"), path("VTS_01_3.VOB")}));
    EXPECT_EQ(readBytes(dir.path() / "vob.lst"),
              path("VTS_01_1.VOB") + "\r\n" + path("vts_01_2.vob") + "\r\n" + path("VTS_01_3.VOB") + "\r\n");
}

// The list's file as its last write left it: an atomic replace gives it a new inode.
ino_t inodeOf(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(VobListTest, AListThatNamesTheSetAlreadyIsLeftAsItIs) {
    touch("VTS_01_1.VOB");
    touch("VTS_01_2.VOB");
    ASSERT_EQ(writeVobList(path("VTS_01_1.VOB")).status, VobListResult::Status::Written);
    const ino_t first = inodeOf(path("vob.lst"));
    const auto again = writeVobList(path("VTS_01_1.VOB"));
    EXPECT_EQ(again.status, VobListResult::Status::Written);
    EXPECT_EQ(again.names.size(), 2u);
    EXPECT_EQ(inodeOf(path("vob.lst")), first);

    // A list that differs in anything is written anew: a part more, a part less, other line ends.
    const std::string two = path("VTS_01_1.VOB") + "\r\n" + path("VTS_01_2.VOB") + "\r\n";
    touch("VTS_01_3.VOB");
    writeVobList(path("VTS_01_1.VOB"));
    EXPECT_EQ(readBytes(dir.path() / "vob.lst"), two + path("VTS_01_3.VOB") + "\r\n");
    writeVobList(path("VTS_01_2.VOB"));
    EXPECT_EQ(readBytes(dir.path() / "vob.lst"),
              path("VTS_01_2.VOB") + "\r\n" + path("VTS_01_3.VOB") + "\r\n");
    writeBytes(dir.path() / "vob.lst", path("VTS_01_2.VOB") + "\n" + path("VTS_01_3.VOB") + "\n");
    writeVobList(path("VTS_01_2.VOB"));
    EXPECT_EQ(readBytes(dir.path() / "vob.lst"),
              path("VTS_01_2.VOB") + "\r\n" + path("VTS_01_3.VOB") + "\r\n");
    writeBytes(dir.path() / "vob.lst", path("VTS_01_2.VOB") + "\r\n" + path("VTS_01_3.VOB") + "\r\nmore\r\n");
    writeVobList(path("VTS_01_2.VOB"));
    EXPECT_EQ(readBytes(dir.path() / "vob.lst"),
              path("VTS_01_2.VOB") + "\r\n" + path("VTS_01_3.VOB") + "\r\n");
}

TEST_F(VobListTest, StartsAtTheChosenPartAsGiven) {
    touch("VTS_01_1.VOB");
    touch("VTS_01_2.VOB");
    touch("VTS_01_3.VOB");
    EXPECT_EQ(vobSetNames(path("VTS_01_2.VOB")),
              (std::vector<std::string>{path("VTS_01_2.VOB"), path("VTS_01_3.VOB")}));
}

TEST_F(VobListTest, KeepsAtMostTenNames) {
    for (int i = 1; i <= 13; ++i)
        touch("VTS_02_" + std::to_string(i) + ".VOB");
    const auto names = vobSetNames(path("VTS_02_1.VOB"));
    ASSERT_EQ(names.size(), kMaxVobListNames);
    EXPECT_EQ(names.back(), path("VTS_02_10.VOB"));
}

TEST_F(VobListTest, FollowingPartsNeedADigitBeforeTheSeparator) {
    touch("A_1.VOB");
    touch("A_2.VOB");
    touch("VTS1.VOB");
    touch("VTS2.VOB");
    EXPECT_EQ(vobSetNames(path("A_1.VOB")).size(), 1u);
    EXPECT_EQ(vobSetNames(path("VTS1.VOB")).size(), 1u);
}

TEST_F(VobListTest, HugePartNumbersAreNotFollowed) {
    touch("VTS_01_99999999999999999999.VOB");
    EXPECT_EQ(vobSetNames(path("VTS_01_99999999999999999999.VOB")).size(), 1u);
}

TEST_F(VobListTest, MissingFileShowsTheBoxAndWritesNothing) {
    BoxSink sink;
    AudioStreamGraph graph(tonegrabPolicy(dir.str()), sink);
    EXPECT_FALSE(graph.makelist(path("VTS_01_1.VOB")));
    EXPECT_EQ(sink.boxes, (std::vector<std::string>{kMissingVobText}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "vob.lst"));

    touch("VTS_01_1.VOB");
    EXPECT_EQ(graph.makelist(path("VTS_01_1.VOB")), path("vob.lst"));
    EXPECT_EQ(sink.boxes.size(), 1u);
}

} // namespace
} // namespace tools::stream_graph
