// Tonegrab's parameters, its own folder and its stream-count file.

#include "trovel/command_line.h"
#include "trovel/own_folder.h"
#include "trovel/stream_count_file.h"

#include "platform/core/paths.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trovel {
namespace {

using kes::test::readBytes;
using kes::test::TempDir;

TEST(TonegrabParameters, FindAndExtractForms) {
    const auto find = parseParameters({"/v/VTS_01_1.VOB", "X", "X", "X", "X"});
    ASSERT_TRUE(find);
    EXPECT_EQ(find->source, "/v/VTS_01_1.VOB");
    EXPECT_FALSE(find->destination);
    EXPECT_FALSE(find->streamDigit);
    EXPECT_FALSE(find->flip);

    const auto extract = parseParameters({"/v/vob.lst", "/w/a.wav", "7", "44.1", "1"});
    ASSERT_TRUE(extract);
    EXPECT_EQ(extract->destination, "/w/a.wav");
    EXPECT_EQ(extract->streamDigit, 7);
    EXPECT_EQ(extract->sampleRate, "44.1");
    EXPECT_TRUE(extract->flip);

    // Anything but "X" reverses the list; only an upper-case X names nothing.
    EXPECT_TRUE(parseParameters({"s", "x", "0", "48", "no"})->flip);
    EXPECT_EQ(parseParameters({"s", "x", "0", "48", "X"})->destination, "x");
}

TEST(TonegrabParameters, RefusedForms) {
    EXPECT_FALSE(parseParameters({}));
    EXPECT_FALSE(parseParameters({"s", "X", "X", "X"}));
    EXPECT_FALSE(parseParameters({"s", "X", "X", "X", "X", "X"}));
    for (const char* stream : {"", "a", "10", "-1", " 1", "x", "١"})
        EXPECT_FALSE(parseParameters({"s", "d", stream, "48", "X"})) << stream;
}

TEST(TonegrabOwnFolder, FolderOfThePathItWasRunBy) {
    const std::string cwd = platform::core::currentDir();
    EXPECT_EQ(ownFolder("/opt/kes/extern/Tonegrab.exe"), "/opt/kes/extern/");
    EXPECT_EQ(ownFolder("/opt/kes/./extern//Tonegrab.exe"), "/opt/kes/extern/");
    EXPECT_EQ(ownFolder("extern/Tonegrab.exe"), platform::core::withTrailingDelim(cwd) + "extern/");

    TempDir dir("kes-ownfolder");
    std::filesystem::create_directory(dir.path() / "real");
    std::filesystem::create_directory_symlink(dir.path() / "real", dir.path() / "link");
    EXPECT_EQ(ownFolder((dir.path() / "link" / "Tonegrab.exe").c_str()), dir.str() + "/link/");
}

TEST(TonegrabStreamCount, OneRawByteReplacingTheFileWhole) {
    TempDir dir("kes-snfnd");
    const std::string folder = dir.str() + "/";
    kes::test::writeBytes(dir.path() / "sn.fnd", "old contents");
    EXPECT_FALSE(writeStreamCount(folder, 3));
    EXPECT_EQ(readBytes(dir.path() / "sn.fnd"), std::string(1, '\3'));
    EXPECT_FALSE(writeStreamCount(folder, 0));
    EXPECT_EQ(readBytes(dir.path() / "sn.fnd"), std::string(1, '\0'));
    EXPECT_FALSE(writeStreamCount(folder, 258));
    EXPECT_EQ(readBytes(dir.path() / "sn.fnd"), std::string(1, '\2'));
    // Only sn.fnd is left: no temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(TonegrabStreamCount, FailureNamesTheError) {
    TempDir dir("kes-snfnd");
    std::filesystem::create_directory(dir.path() / "sn.fnd");
    const auto error = writeStreamCount(dir.str() + "/", 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->rfind("I/O error ", 0), 0u) << *error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    EXPECT_TRUE(writeStreamCount(dir.str() + "/missing/", 1));
}

} // namespace
} // namespace trovel
