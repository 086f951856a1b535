#include "kes/language_file.h"
#include "kes/language_section.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace kes {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// The English file of the source tree; the assembled program folder holds a copy of it.
std::filesystem::path englishFile() {
    const auto source = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "lang" / "English.lng";
    if (std::filesystem::exists(source))
        return source;
    return test::builtProgramDir() / "LANG" / "English.lng";
}

struct Block {
    std::string heading;
    int entries;
};

// The fixed layout: captions right after the version line, then the headed blocks in this order.
const std::vector<Block> EnglishLayout = {{"", 120},
                                          {"----Messages----", 66},
                                          {"----Wizard----", 35},
                                          {"----Synchronizer----", 116},
                                          {"----Cover----", 62}};

TEST(EnglishLanguageFile, KeepsTheFixedLayout) {
    const std::string bytes = readBytes(englishFile());
    ASSERT_FALSE(bytes.empty());

    // CR LF after every line, the last one too, and no other control characters; plain ASCII.
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r')
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR at byte " << i;
        else if (c == '\n')
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at byte " << i;
        else
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(c) << " at " << i;
    }

    const auto lines = splitLanguageLines(bytes);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), LanguageVersion);
    size_t i = 1;
    for (const auto& block : EnglishLayout) {
        if (!block.heading.empty()) {
            ASSERT_LT(i, lines.size());
            EXPECT_EQ(lines[i], block.heading);
            ++i;
        }
        for (int n = 1; n <= block.entries; ++n, ++i) {
            ASSERT_LT(i, lines.size()) << block.heading << " ends before entry " << n;
            const auto entry = parseEntryLine(lines[i]);
            ASSERT_TRUE(entry) << "line " << i + 1 << ": " << lines[i];
            EXPECT_EQ(entry->number, n) << "line " << i + 1;
            EXPECT_FALSE(entry->text.empty()) << "line " << i + 1;
            EXPECT_EQ(entry->text.find(SectionEnd), std::string::npos) << "line " << i + 1;
        }
    }
    EXPECT_EQ(i, lines.size()) << "lines after the last cover entry";
    EXPECT_EQ(countEntryLines(bytes), CompleteEntryCount);
    EXPECT_TRUE(LangFileComplete(englishFile().string()));
}

TEST(EnglishLanguageFile, EveryWindowReadsAllItsEntries) {
    const std::string bytes = readBytes(englishFile());
    const MainBlocks blocks = readMainBlocks(bytes);
    ASSERT_TRUE(blocks.versionOk);
    EXPECT_EQ(blocks.captions.size(), 120u);
    EXPECT_EQ(blocks.messages.size(), 66u) << "the message block must end at the wizard section";
    SectionTable captions(MainTableSize), messages(MainTableSize);
    captions.apply(blocks.captions);
    messages.apply(blocks.messages);
    for (int n = 1; n <= 120; ++n)
        EXPECT_FALSE(captions.text(n).empty()) << "caption " << n;
    EXPECT_TRUE(captions.text(121).empty());
    for (int n = 1; n <= 66; ++n)
        EXPECT_FALSE(messages.text(n).empty()) << "message " << n;
    EXPECT_TRUE(messages.text(67).empty()) << "the message block ran into the wizard section";

    const auto lines = splitLanguageLines(bytes);
    const struct {
        SectionRules rules;
        int entries;
    } sections[] = {{WizardSection, 35}, {SynchronizerSection, 116}, {CoverSection, 62}};
    for (const auto& section : sections) {
        const SectionRead read = readSection(lines, 0, section.rules);
        EXPECT_TRUE(read.started) << section.rules.heading;
        ASSERT_EQ(read.entries.size(), static_cast<size_t>(section.entries)) << section.rules.heading;
        for (int n = 1; n <= section.entries; ++n)
            EXPECT_EQ(read.entries[static_cast<size_t>(n - 1)].number, n) << section.rules.heading;
    }
}

struct MainTables {
    SectionTable captions{MainTableSize};
    SectionTable messages{MainTableSize};
};

MainTables englishMainTables() {
    const MainBlocks blocks = readMainBlocks(readBytes(englishFile()));
    EXPECT_TRUE(blocks.versionOk);
    MainTables tables;
    tables.captions.apply(blocks.captions);
    tables.messages.apply(blocks.messages);
    return tables;
}

// Texts that the program joins with other texts must carry their blanks where the joins need them.
TEST(EnglishLanguageFile, JoinedTextsReadWell) {
    const MainTables main = englishMainTables();
    const SectionTable& captions = main.captions;
    const SectionTable& messages = main.messages;

    // "/AC3" goes in right after the first "WAV" of the delete caption.
    std::string del = captions.text(10);
    for (auto& c : del)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_NE(del.find("WAV"), std::string::npos);
    // "<free> Mb free (<n> Gb) Total : <n> Gb", "Time : 12:00:00", "<file> already exists !".
    EXPECT_EQ(messages.text(38).front(), ' ');
    EXPECT_EQ(messages.text(39).back(), ' ');
    EXPECT_EQ(messages.text(42).back(), ' ');
    EXPECT_EQ(messages.text(22).front(), ' ');
    EXPECT_EQ(messages.text(26).front(), ' ');
    EXPECT_EQ(messages.text(26).back(), ' ');
    // Report labels are padded to 40 characters: each keeps a blank before its value.
    for (int n : {3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 17, 19})
        EXPECT_LT(messages.text(n).size(), 40u) << "message " << n;
    for (int n : {50, 51})
        EXPECT_LT(messages.text(n).size() + 3, 40u) << "message " << n;

    SectionTable synch(SynchronizerTableSize);
    synch.apply(readSection(splitLanguageLines(readBytes(englishFile())), 0, SynchronizerSection).entries);
    EXPECT_EQ(synch.text(74).back(), ' ');  // + file name
    EXPECT_EQ(synch.text(83).front(), ' '); // text + " is not a valid number"
    EXPECT_EQ(synch.text(103).back(), ' '); // "Frame " + number + " is not a key frame"
    EXPECT_EQ(synch.text(104).front(), ' ');
}

TEST(LanguageLines, SplitAtEveryKindOfLineEnd) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitLanguageLines("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(splitLanguageLines("a\nb\rc"), (V{"a", "b", "c"}));
    EXPECT_EQ(splitLanguageLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(splitLanguageLines("a\n\r"), (V{"a", ""})); // LF then a lone CR: two line ends
    EXPECT_TRUE(splitLanguageLines("").empty());
}

TEST(LanguageEntries, ParseNumberAndTextAtTheFirstEqualSign) {
    auto entry = parseEntryLine("#12=Video");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->number, 12);
    EXPECT_EQ(entry->text, "Video");

    entry = parseEntryLine("#5= a=b ");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text, " a=b ");

    entry = parseEntryLine("#7=");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text, "");

    // Code page 1252 becomes UTF-8, including the range that differs from Latin-1.
    entry = parseEntryLine("#1=Caf\xE9 \x80");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text, "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(LanguageEntries, MalformedLinesGiveNothing) {
    for (const char* line :
         {"#", "", "12=x", "#=x", "#abc=x", "#12", "#1 2=x", "#99999999999=x", "----Cover----"})
        EXPECT_FALSE(parseEntryLine(line)) << line;
}

std::string fileWithEntryLines(int count, const std::string& end = "\r\n") {
    std::string bytes = "1.24" + end;
    for (int n = 1; n <= count; ++n)
        bytes += "#" + std::to_string(n) + "=text" + end;
    return bytes;
}

TEST(LanguageCompleteness, ExactlyThreeHundredNinetyNineEntryLines) {
    TempDir dir;
    const auto check = [&](const std::string& bytes) {
        writeBytes(dir.path() / "x.lng", bytes);
        return LangFileComplete(dir.file("x.lng"));
    };
    EXPECT_TRUE(check(fileWithEntryLines(399)));
    EXPECT_FALSE(check(fileWithEntryLines(398)));
    EXPECT_FALSE(check(fileWithEntryLines(400)));
    EXPECT_TRUE(check(fileWithEntryLines(399, "\n")));
    // Any line that begins with "#" counts, well-formed or not; empty and other lines do not.
    EXPECT_TRUE(check(fileWithEntryLines(397) + "#\r\n#broken\r\n\r\nText\r\n----Cover----\r\n"));
    // The last line counts without a line end.
    std::string unterminated = fileWithEntryLines(399);
    unterminated.resize(unterminated.size() - 2);
    EXPECT_TRUE(check(unterminated));
    EXPECT_FALSE(LangFileComplete(dir.file("missing.lng")));
}

TEST(LanguageCompleteness, OversizedFileIsNotRead) {
    TempDir dir;
    std::string bytes = fileWithEntryLines(399);
    bytes.append(static_cast<size_t>(MaxLanguageFileBytes), ' ');
    writeBytes(dir.path() / "big.lng", bytes);
    EXPECT_FALSE(readLanguageFile(dir.file("big.lng")));
    EXPECT_FALSE(LangFileComplete(dir.file("big.lng")));
}

} // namespace
} // namespace kes
