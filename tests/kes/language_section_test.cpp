#include "kes/language_section.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kes {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// Reads a section from the bytes into the table, as a window does; the number of entries read.
size_t readFrom(const std::string& bytes, const SectionRules& rules, SectionTable& table) {
    const SectionRead read = readSection(splitLanguageLines(bytes), 0, rules);
    table.apply(read.entries);
    return read.entries.size();
}

SectionTable mainTable(const std::vector<LanguageEntry>& entries) {
    SectionTable table(MainTableSize);
    table.apply(entries);
    return table;
}

TEST(LanguageSections, StartOnlyAfterTheirExactHeading) {
    const std::string bytes = "1.24\r\n#1=caption\r\n ----Wizard----\r\n----Wizard---- \r\n#2=early\r\n"
                              "----Wizard----\r\n#1=first\r\n#2=second\r\n";
    const auto lines = splitLanguageLines(bytes);
    const SectionRead read = readSection(lines, 0, WizardSection);
    EXPECT_TRUE(read.started);
    EXPECT_EQ(read.next, lines.size());
    SectionTable table(WizardTableSize);
    table.apply(read.entries);
    EXPECT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(table.text(1), "first");
    EXPECT_EQ(table.text(2), "second");

    // A file without the section leaves the table as it was.
    SectionTable synch(SynchronizerTableSize);
    synch.set(1, "kept");
    const SectionRead none = readSection(lines, 0, SynchronizerSection);
    EXPECT_FALSE(none.started);
    EXPECT_TRUE(none.entries.empty());
    synch.apply(none.entries);
    EXPECT_EQ(synch.text(1), "kept");
}

TEST(LanguageSections, EndAfterTheFirstLineWithThreeDashes) {
    // The line that ends a section is still read: an entry there is stored, nothing after it is.
    for (const SectionRules* rules : {&WizardSection, &SynchronizerSection, &CoverSection}) {
        const std::string heading(rules->heading);
        SectionTable table(rules->lastEntry);
        readFrom(heading + "\r\n#1=one\r\n#2=two---end\r\n#3=three\r\n", *rules, table);
        EXPECT_EQ(table.text(1), "one") << heading;
        EXPECT_EQ(table.text(2), "two---end") << heading;
        EXPECT_EQ(table.text(3), "") << heading;

        SectionTable other(rules->lastEntry);
        readFrom(heading + "\r\n#1=one\r\nnotes --- here\r\n#3=three\r\n", *rules, other);
        EXPECT_EQ(other.text(1), "one") << heading;
        EXPECT_EQ(other.text(3), "") << heading;
    }
}

TEST(LanguageSections, KeepOnlyTheNumbersTheirTablesHold) {
    const auto stored = [](const SectionRules& rules, int number) {
        SectionTable table(rules.lastEntry);
        const std::string line = "#" + std::to_string(number) + "=x";
        return readFrom(std::string(rules.heading) + "\r\n" + line + "\r\n", rules, table) == 1;
    };
    EXPECT_TRUE(stored(WizardSection, 100));
    EXPECT_FALSE(stored(WizardSection, 101));
    EXPECT_TRUE(stored(SynchronizerSection, 300));
    EXPECT_FALSE(stored(SynchronizerSection, 301));
    EXPECT_TRUE(stored(CoverSection, 62));
    EXPECT_FALSE(stored(CoverSection, 63));
    EXPECT_FALSE(stored(CoverSection, 0));
    EXPECT_FALSE(stored(CoverSection, -1));
}

TEST(LanguageSections, SkipMalformedLinesAndKeepReading) {
    SectionTable table(CoverTableSize);
    table.set(4, "previous");
    const size_t read = readFrom("----Cover----\r\n#\r\n#title\r\n#x=bad\r\n#=none\r\n# "
                                 "comment\r\ntext\r\n\r\n#1=Front\r\n#12=a=b\r\n",
                                 CoverSection, table);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(table.text(1), "Front");
    EXPECT_EQ(table.text(12), "a=b");
    EXPECT_EQ(table.text(4), "previous");
}

TEST(MainLanguageBlocks, CaptionsEndOnlyAtTheMessagesHeading) {
    const std::string bytes = "1.24\r\n#1=Main\r\n----Other----\r\n#2=Actions\r\n#bad\r\n#3=Rip\r\n"
                              "----Messages----\r\n#1=first message\r\n#2=a---b\r\n#3=third\r\n"
                              "----Wizard----\r\n#4=wizard text\r\n#301=out of range\r\n";
    const MainBlocks blocks = readMainBlocks(bytes);
    ASSERT_TRUE(blocks.versionOk);
    const SectionTable captions = mainTable(blocks.captions);
    const SectionTable messages = mainTable(blocks.messages);
    // A malformed line and a foreign heading inside the caption block end nothing.
    EXPECT_EQ(captions.text(1), "Main");
    EXPECT_EQ(captions.text(2), "Actions");
    EXPECT_EQ(captions.text(3), "Rip");
    EXPECT_EQ(captions.text(4), "");
    // Three dashes inside a message do not end the message block; the next heading does.
    EXPECT_EQ(messages.text(1), "first message");
    EXPECT_EQ(messages.text(2), "a---b");
    EXPECT_EQ(messages.text(3), "third");
    EXPECT_EQ(messages.text(4), "");
}

TEST(MainLanguageBlocks, WrongVersionStoresNothing) {
    for (const char* version : {"1.23", "1.24 ", " 1.24", "",
                                "\xEF\xBB\xBF"
                                "1.24"}) {
        const std::string bytes = std::string(version) + "\r\n#1=Main\r\n----Messages----\r\n#1=m\r\n";
        const MainBlocks blocks = readMainBlocks(bytes);
        EXPECT_FALSE(blocks.versionOk) << version;
        EXPECT_TRUE(blocks.captions.empty());
        EXPECT_TRUE(blocks.messages.empty());
    }
    EXPECT_FALSE(readMainBlocks("").versionOk);
    EXPECT_TRUE(readMainBlocks("1.24\n#1=Main\n").versionOk);
}

TEST(SectionTables, RefuseNumbersOutsideTheirRangeAndKeepWhatALoadDoesNotSet) {
    SectionTable table(3);
    EXPECT_FALSE(table.set(0, "zero"));
    EXPECT_FALSE(table.set(4, "four"));
    EXPECT_FALSE(table.set(-1, "minus"));
    EXPECT_EQ(table.text(0), "");
    EXPECT_EQ(table.text(4), "");
    table.apply({{1, "one"}, {2, "two"}});
    table.apply({{2, "zwei"}, {7, "out"}});
    EXPECT_EQ(table.text(1), "one");
    EXPECT_EQ(table.text(2), "zwei");
    table.clear();
    EXPECT_EQ(table.text(1), "");
}

class SectionFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir.path() / "LANG"); }
    std::string choice() const { return readBytes(dir.path() / "LANG" / "default.ini"); }

    TempDir dir{"kes-lang"};
};

TEST_F(SectionFileTest, MissingChoiceFileIsCreatedForEnglish) {
    writeBytes(dir.path() / "LANG" / "English.lng", "1.24\r\n----Cover----\r\n#1=Front cover\r\n");
    SectionTable table(CoverTableSize);
    EXPECT_TRUE(loadLanguageSection(dir.str(), CoverSection, table));
    EXPECT_EQ(table.text(1), "Front cover");
    EXPECT_EQ(choice(), "English.lng\r\n");
}

TEST_F(SectionFileTest, ChoiceFileNamesTheLanguage) {
    writeBytes(dir.path() / "LANG" / "default.ini", "Deutsch.lng\r\n");
    writeBytes(dir.path() / "LANG" / "English.lng", "1.24\r\n----Wizard----\r\n#5=Next >>\r\n");
    writeBytes(dir.path() / "LANG" / "Deutsch.lng", "1.24\r\n----Wizard----\r\n#5=Weiter >>\r\n");
    SectionTable table(WizardTableSize);
    EXPECT_TRUE(loadLanguageSection(dir.str(), WizardSection, table));
    EXPECT_EQ(table.text(5), "Weiter >>");
}

TEST_F(SectionFileTest, MissingLanguageFileLeavesTheTexts) {
    writeBytes(dir.path() / "LANG" / "default.ini", "Gone.lng\r\n");
    SectionTable table(SynchronizerTableSize);
    table.set(1, "File");
    EXPECT_FALSE(loadLanguageSection(dir.str(), SynchronizerSection, table));
    EXPECT_EQ(table.text(1), "File");

    writeBytes(dir.path() / "LANG" / "default.ini", "");
    EXPECT_FALSE(loadLanguageSection(dir.str(), SynchronizerSection, table));
    EXPECT_EQ(choice(), "");
}

} // namespace
} // namespace kes
