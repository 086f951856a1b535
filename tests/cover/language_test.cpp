#include "cover/cover_language.h"

#include "platform/core/files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace cover {
namespace {

TEST(CoverLanguage, ReadsTheCoverSectionUpToTheLineWithThreeDashes) {
    const std::string file =
        "1.24\r\n#1=Main caption\r\n----Wizard----\r\n#2=wizard\r\n"
        "----Cover----\r\n#1=Vorderseite\r\n#0=zero\r\n#63=too far\r\n#5\r\n#x=bad\r\n"
        "text line\r\n#58=Caf\xE9\r\n#62=Kein Layout\r\n#7=a---b\r\n#8=after the end\r\n";
    const CoverTexts texts = readCoverSection(file);
    EXPECT_EQ(texts[1], "Vorderseite");
    EXPECT_EQ(texts[58], "Caf\xC3\xA9");
    EXPECT_EQ(texts[62], "Kein Layout");
    EXPECT_EQ(texts[7], "a---b"); // stored, and the section ends there
    EXPECT_EQ(texts[8], "");
    EXPECT_EQ(texts[2], "");
    EXPECT_EQ(texts[12], "");
    EXPECT_EQ(texts[0], "");
}

TEST(CoverLanguage, WithoutTheHeadingNothingIsRead) {
    const CoverTexts texts = readCoverSection("#1=Front\n#2=Back\n");
    EXPECT_EQ(texts[1], "");
}

TEST(CoverLanguage, CreatesTheChoiceFileAndFollowsIt) {
    kes::test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "LANG");
    EXPECT_FALSE(loadCoverTexts(dir.str()).has_value());
    EXPECT_EQ(kes::test::readBytes(dir.path() / "LANG" / "default.ini"), "English.lng\r\n");
    kes::test::writeBytes(dir.path() / "LANG" / "default.ini", "Other.lng\r\n");
    kes::test::writeBytes(dir.path() / "LANG" / "other.lng", "----Cover----\n#3=Hinten\n");
    const auto texts = loadCoverTexts(dir.str());
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ((*texts)[3], "Hinten");
}

} // namespace
} // namespace cover
