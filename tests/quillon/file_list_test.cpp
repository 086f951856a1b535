#include "quillon/file_list.h"
#include "recording_sink.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using kes::test::TempDir;
using kes::test::writeBytes;

TEST(FileListLines, AnyMixOfLineEndsAndBlankLinesGivesTheNames) {
    for (const std::string& text :
         {std::string("a.vob\r\n\r\nb.vob"), std::string("a.vob\n\nb.vob\n"), std::string("a.vob\r\rb.vob\r"),
          std::string("\r\n\na.vob\n\r\r\nb.vob\r\n\n")}) {
        EXPECT_EQ(FileList::splitLines(text), (std::vector<std::string>{"a.vob", "b.vob"})) << text;
    }
    // Lines keep their blanks; the text ends at its first NUL.
    EXPECT_EQ(FileList::splitLines(std::string(" a b.vob \nc.vob\0d.vob\n", 23)),
              (std::vector<std::string>{" a b.vob ", "c.vob"}));
    EXPECT_TRUE(FileList::splitLines(std::string("\0a.vob", 6)).empty());
    EXPECT_TRUE(FileList::splitLines("\r\n\n\r").empty());
    // A line longer than any fixed buffer stays whole.
    const std::string longName(5000, 'x');
    EXPECT_EQ(FileList::splitLines(longName + "\n").at(0), longName);
}

class FileListTest : public ::testing::Test {
protected:
    TempDir dir;
    test::RecordingSink sink;
    FileList list{sink};

    std::string vob(const std::string& name, size_t size) {
        writeBytes(dir.path() / name, std::string(size, 'v'));
        return dir.file(name);
    }
    std::string listFile(const std::string& text) {
        writeBytes(dir.path() / "vob.lst", text);
        return dir.file("vob.lst");
    }
};

TEST_F(FileListTest, LoadsNamesSizesAndTotal) {
    const std::string a = vob("VTS_01_1.VOB", 100);
    const std::string b = vob("VTS_01_2.VOB", 50);
    list.load(listFile(a + "\r\n" + dir.file("missing.vob") + "\r\n" + b + "\r\n"));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.names()[0], a);
    EXPECT_EQ(list.sizes(), (std::vector<int64_t>{100, 0, 50}));
    EXPECT_EQ(list.total(), 150);
    EXPECT_TRUE(sink.questions.empty());
    list.free();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.total(), 0);
}

TEST_F(FileListTest, NamesAreFoundWithoutRegardToCase) {
    vob("VTS_01_1.VOB", 10);
    list.load(listFile(dir.file("vts_01_1.vob")));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.total(), 10);
}

TEST_F(FileListTest, AListOverOneKilobyteIsQuestionedFirst) {
    const std::string a = vob("a.vob", 7);
    std::string text = a + "\r\n";
    text += std::string(1024 - text.size(), '\n');
    list.load(listFile(text));
    EXPECT_TRUE(sink.questions.empty());
    EXPECT_EQ(list.count(), 1);

    list.load(listFile(text + "\n"));
    ASSERT_EQ(sink.questions.size(), 1u);
    EXPECT_EQ(sink.questions[0],
              "Query?: The file " + dir.file("vob.lst") +
                  " is 1025 bytes in size.\nThis file may not be a valid script.  Continue loading?");
    EXPECT_EQ(list.count(), 1);

    sink.answer = false;
    list.load(listFile(text + "\n"));
    EXPECT_EQ(list.count(), 0);
}

TEST_F(FileListTest, UnusableListsLeaveItEmpty) {
    list.load(listFile(vob("a.vob", 3)));
    ASSERT_EQ(list.count(), 1);
    list.load(dir.file("nothing.lst"));
    EXPECT_EQ(list.count(), 0);
    list.load(dir.str()); // a folder
    EXPECT_EQ(list.count(), 0);
    list.load(listFile(""));
    EXPECT_EQ(list.count(), 0);
    list.load(std::nullopt);
    EXPECT_EQ(list.count(), 0);
    // A folder named in the list is no file: size 0.
    list.load(listFile(dir.str() + "\n"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.total(), 0);
}

} // namespace
} // namespace quillon
