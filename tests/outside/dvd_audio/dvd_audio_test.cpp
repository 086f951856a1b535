// The sub-stream argument with the stream names the main window adds, the run of a title's VOB files,
// the files read as one stream, and the AC3 bytes of one sub-stream taken out of it.
#include "outside/dvd_audio/file_set_source.h"
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/substream_reader.h"
#include "outside/dvd_audio/title_vobs.h"

#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

namespace outside::dvd_audio {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(SubStreamArg, NamesOfAnyWordsArePassedOver) {
    std::string error;
    struct Case {
        Args args;
        uint8_t id;
        size_t next;
    };
    const std::vector<Case> cases = {
        {{"0x80", "-overwrite"}, 0x80, 1},
        {{"0x80", "[English]", "-overwrite"}, 0x80, 2},
        {{"0x83", "[Latvian,", "Lettish]"}, 0x83, 3},
        {{"0x81", "[(Afan)", "Oromo]", "-44100"}, 0x81, 3},
        {{"0x87", "[Bengali;", "Bangla]"}, 0x87, 3},
        {{"0x82", "[????]"}, 0x82, 2},
        {{"0x80 [Pashto, Pushto]", "x"}, 0x80, 1}, // one quoted argument
        {{"0x84[English2]"}, 0x84, 1},
        {{"0X85"}, 0x85, 1},
    };
    for (const auto& c : cases) {
        const auto arg = readSubStreamArg(c.args, 0, error);
        ASSERT_TRUE(arg) << c.args[0] << ": " << error;
        EXPECT_EQ(arg->id, c.id) << c.args[0];
        EXPECT_EQ(arg->next, c.next) << c.args[0];
    }
}

TEST(SubStreamArg, OtherTextsAreRefused) {
    std::string error;
    for (const Args& args : {Args{}, Args{"0x88"}, Args{"0xa0"}, Args{"0x8"}, Args{"80"}, Args{"0x80x"},
                             Args{"0x80", "[English", "-overwrite"}})
        EXPECT_FALSE(readSubStreamArg(args, 0, error)) << (args.empty() ? "(none)" : args[0]);
    readSubStreamArg({"0x80", "[Latvian,", "Lettish"}, 0, error);
    EXPECT_EQ(error, "The name of sub-stream 0x80 has no closing bracket.");
    EXPECT_EQ(subStreamText(0x86), "0x86");
}

class FolderTest : public ::testing::Test {
protected:
    std::string touch(const std::string& name, const std::string& bytes = "x") {
        kes::test::writeBytes(dir.path() / name, bytes);
        return (dir.path() / name).string();
    }
    kes::test::TempDir dir{"kes-dvd-audio"};
};

TEST_F(FolderTest, TitleRunFollowsTheNumbersWithoutRegardToCase) {
    const std::string first = touch("VTS_01_1.VOB");
    const std::string second = touch("vts_01_2.vob");
    touch("VTS_01_3.VOB");
    touch("VTS_01_5.VOB"); // after a gap: not in the run
    const auto run = titleVobFiles(first);
    ASSERT_EQ(run.size(), 3U);
    EXPECT_EQ(run[0], first);
    EXPECT_EQ(run[1], second);
    EXPECT_EQ(fs::path(run[2]).filename(), "VTS_01_3.VOB");

    // The width of the number is kept, and a longer number follows on.
    const std::string m8 = touch("movie08.vob");
    touch("movie09.vob");
    touch("movie10.vob");
    EXPECT_EQ(titleVobFiles(m8).size(), 3U);
    // No number, or no ".VOB": the file alone.
    EXPECT_EQ(titleVobFiles(touch("film.bin")).size(), 1U);
    EXPECT_EQ(titleVobFiles(touch("MOVIE.VOB")),
              std::vector<std::string>{(dir.path() / "MOVIE.VOB").string()});
    EXPECT_EQ(titleVobFiles(touch("x99999999999999999999999.vob")).size(), 1U);
}

TEST_F(FolderTest, FilesAreReadAsOneStream) {
    FileSetSource source;
    ASSERT_TRUE(source.open({touch("a", "0123"), touch("b", ""), touch("c", "456789")}));
    EXPECT_EQ(source.length(), 10);
    std::vector<uint8_t> into(8);
    const auto read = source.read(2, into);
    EXPECT_EQ(read.count, 8U);
    EXPECT_EQ(std::string(into.begin(), into.end()), "23456789");
    EXPECT_EQ(source.read(9, into).count, 1U); // short at the end
    EXPECT_EQ(source.read(10, into).count, 0U);
    EXPECT_EQ(source.read(-1, into).count, 0U);

    EXPECT_FALSE(source.open({touch("d"), (dir.path() / "missing").string()}));
    EXPECT_NE(source.error().find("missing cannot be read"), std::string::npos) << source.error();
    EXPECT_FALSE(source.open({dir.str()})); // a folder
}

TEST(SubStreamReader, GivesTheSubStreamsBytesAndNamesTheOnesThereAre) {
    kes::test::VobSpec spec;
    spec.seconds = 1.0;
    spec.audio = {kes::test::VobAudioStream{}, kes::test::VobAudioStream{}};
    spec.audio[1].id = 0x82;
    const auto set = kes::test::makeProgramStream(spec);
    platform::dshow::filters::MemoryByteSource memory(set.bytes);

    SubStreamReader reader(memory, 0x82);
    std::string error;
    ASSERT_TRUE(reader.open(error)) << error;
    std::vector<uint8_t> bytes;
    std::span<const uint8_t> payload;
    while (reader.next(payload) == SubStreamReader::Step::Payload)
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    EXPECT_EQ(bytes, set.audio[1].elementary);
    EXPECT_FALSE(reader.sawDamage());

    SubStreamReader absent(memory, 0x81);
    EXPECT_FALSE(absent.open(error));
    EXPECT_EQ(error, "The stream holds no AC3 sub-stream 0x81 (it holds 0x80, 0x82).");

    platform::dshow::filters::MemoryByteSource noise(std::vector<uint8_t>(5000, 0x47));
    SubStreamReader none(noise, 0x80);
    EXPECT_FALSE(none.open(error));
}

} // namespace
} // namespace outside::dvd_audio
