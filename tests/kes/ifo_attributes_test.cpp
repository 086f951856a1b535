// The IFO readers of the audio and subtitle pages on hand-made IFO bytes, whole and damaged; the
// language names; the IFO and subtitle names derived from the VOB and the final AVI.
#include "kes/ifo_audio.h"
#include "kes/ifo_files.h"
#include "kes/ifo_subtitles.h"
#include "kes/language_names.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes {
namespace {

using Lines = std::vector<std::string>;

// Audio attribute byte 0: the coding in bits 7-5, the language type in bits 3-2.
constexpr uint8_t attributes(int coding, int languageType) {
    return static_cast<uint8_t>(coding << 5 | languageType << 2);
}
constexpr uint8_t DolbySurround = 1 << 2;

struct AudioRecord {
    uint8_t attributes;
    std::string code;
    uint8_t mode = 1;
    uint8_t dolby = 0;
};

// An IFO head of the given size (filled with 0xEE) with the audio and subpicture tables.
std::string ifoBytes(const std::vector<AudioRecord>& audio, const std::vector<std::string>& subtitles,
                     size_t size = 0x400) {
    std::string bytes(size, '\xEE');
    bytes[0x202] = 0;
    bytes[0x203] = static_cast<char>(audio.size());
    for (size_t i = 0; i < audio.size(); ++i) {
        const size_t at = 0x204 + 8 * i;
        bytes[at] = static_cast<char>(audio[i].attributes);
        bytes.replace(at + 2, 2, audio[i].code);
        bytes[at + 4] = static_cast<char>(audio[i].mode);
        bytes[at + 5] = static_cast<char>(audio[i].dolby);
    }
    bytes[0x254] = 0;
    bytes[0x255] = static_cast<char>(subtitles.size());
    for (size_t j = 0; j < subtitles.size(); ++j)
        bytes.replace(0x258 + 6 * j, 2, subtitles[j]);
    return bytes;
}

TEST(LanguageNames, TableAsUsersKnowIt) {
    EXPECT_EQ(LanguageName("en"), "English");
    EXPECT_EQ(LanguageName("fr"), "Francais");
    EXPECT_EQ(LanguageName("fi"), "Finish");
    EXPECT_EQ(LanguageName("bo"), "tibetan");
    EXPECT_EQ(LanguageName("tn"), "Setswana");
    EXPECT_EQ(LanguageName("aa"), "Afar");
    EXPECT_EQ(LanguageName("zu"), "Zulu");
    // The 1988 list still has the old codes.
    EXPECT_EQ(LanguageName("iw"), "Hebrew");
    EXPECT_EQ(LanguageName("sh"), "Serbo-Croatian");
    // Exact, case-sensitive codes only.
    for (const char* unknown : {"EN", "En", "e", "eng", "", "xx"})
        EXPECT_EQ(LanguageName(unknown), "????") << unknown;
    EXPECT_EQ(LanguageName(std::string(2, '\0')), "????");
}

TEST(LanguageNames, RepeatedNamesAreNumbered) {
    std::vector<std::string> list;
    for (const char* name : {"English", "Francais", "English", "English"})
        list.push_back(numberedName(list, name));
    EXPECT_EQ(list, (Lines{"English", "Francais", "English2", "English3"}));
    // Stream items hold the name inside their text.
    EXPECT_EQ(numberedName(Lines{"0x80 [English]", "0x81 [Francais]"}, "English"), "English2");
}

TEST(IfoAudio, StreamsWithCodingLanguageAndMode) {
    const IfoAudio audio = parseIfoAudio(ifoBytes({{attributes(0, 1), "en", 1, DolbySurround},
                                                   {attributes(6, 1), "fr", 3},
                                                   {attributes(4, 0), std::string(2, '\0'), 0}},
                                                  {}));
    ASSERT_EQ(audio.streams.size(), 3U);
    EXPECT_FALSE(audio.truncated);
    EXPECT_EQ(audio.streams[0].languageName(), "English");
    EXPECT_EQ(audio.streams[1].languageName(), "Francais");
    EXPECT_EQ(audio.streams[1].mode, 3);
    // Language type 0: no code, whatever bytes 2-3 hold.
    EXPECT_FALSE(audio.streams[2].hasLanguage());
    EXPECT_EQ(audio.streams[2].languageName(), "????");
    AudioRecord typeZeroWithCode{attributes(0, 0), "en"};
    EXPECT_EQ(parseIfoAudio(ifoBytes({typeZeroWithCode}, {})).streams[0].languageName(), "????");
}

TEST(IfoAudio, DamagedHeads) {
    // Shorter than the count.
    EXPECT_TRUE(parseIfoAudio(std::string(0x203, '\0')).truncated);
    EXPECT_TRUE(parseIfoAudio({}).streams.empty());
    // The count promises three records; the head ends inside the second.
    const std::string whole = ifoBytes({{attributes(0, 1), "en"}, {attributes(0, 1), "de"}, {0, "fr"}}, {});
    const IfoAudio cut = parseIfoAudio(whole.substr(0, 0x204 + 8 + 5));
    EXPECT_TRUE(cut.truncated);
    ASSERT_EQ(cut.streams.size(), 1U);
    EXPECT_EQ(cut.streams[0].code, "en");
    // Only bytes 0 to 5 of the last record are needed.
    EXPECT_EQ(parseIfoAudio(whole.substr(0, 0x204 + 16 + 6)).streams.size(), 3U);
    EXPECT_FALSE(parseIfoAudio(whole.substr(0, 0x204 + 16 + 6)).truncated);
    // A count no title has is cut to eight streams.
    std::string huge = ifoBytes({}, {});
    huge[0x203] = '\xFF';
    EXPECT_EQ(parseIfoAudio(huge).streams.size(), static_cast<size_t>(MaxAudioStreams));
}

TEST(IfoAudio, InfoBlocks) {
    EXPECT_EQ(audioInfoBlock(0, attributes(0, 1), 1, DolbySurround, "English"),
              (Lines{"Stream 0x80", "---------------------", "Coding : AC3 Dolby Surround",
                     "Language : English", "Mode : normal", " "}));
    EXPECT_EQ(audioInfoBlock(2, attributes(0, 0), 0, 0, "????"),
              (Lines{"Stream 0x82", "---------------------", "Coding : AC3 ", "Language : unknown", " "}));
    EXPECT_EQ(audioInfoBlock(1, attributes(5, 1), 4, 0, "Deutsch")[2], "Coding : ??? ");
    EXPECT_EQ(audioInfoBlock(1, attributes(5, 1), 4, 0, "Deutsch")[4],
              "Mode : alternate director's comments");
    // LPCM ends with the hint to the stream extractor.
    const std::string lpcm = audioInfoBlock(1, attributes(4, 1), 2, 0, "English")[2];
    EXPECT_EQ(lpcm.rfind("Coding : LPCM ", 0), 0U);
    EXPECT_NE(lpcm.find("[rip it with the Stream extractor]"), std::string::npos);
    const Lines codings = {"Coding : AC3 ", "Coding : ??? ", "Coding : Mpeg-1 ", "Coding : Mpeg-2 ", "",
                           "Coding : ??? ", "Coding : DTS ", "Coding : ??? "};
    for (int coding = 0; coding < 8; ++coding) {
        if (coding != 4) {
            EXPECT_EQ(audioInfoBlock(0, attributes(coding, 1), 1, 0, "x")[2], codings[coding]) << coding;
        }
    }
    // Modes beyond 4 have no line; a Dolby byte with other bits set is not surround.
    EXPECT_EQ(audioInfoBlock(0, attributes(0, 1), 5, 0x08, "x").size(), 5U);
    EXPECT_EQ(audioInfoBlock(0, attributes(0, 1), 5, 0x08, "x")[2], "Coding : AC3 ");
}

TEST(IfoSubtitles, LanguagesNumberedInIfoOrder) {
    const IfoSubtitles subtitles = parseIfoSubtitles(ifoBytes({}, {"en", "fr", "en", "qq"}));
    EXPECT_FALSE(subtitles.truncated);
    EXPECT_EQ(subtitles.names, (Lines{"English", "Francais", "English2", "????"}));
    EXPECT_TRUE(parseIfoSubtitles(ifoBytes({}, {})).names.empty());
}

TEST(IfoSubtitles, DamagedHeads) {
    EXPECT_TRUE(parseIfoSubtitles(std::string(0x255, '\0')).truncated);
    const std::string whole = ifoBytes({}, {"de", "it", "es"});
    const IfoSubtitles cut = parseIfoSubtitles(whole.substr(0, 0x258 + 6 + 1));
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.names, Lines{"Deutsch"});
    std::string huge = ifoBytes({}, {});
    huge[0x255] = '\xFF';
    const IfoSubtitles capped = parseIfoSubtitles(huge);
    EXPECT_EQ(capped.names.size(), static_cast<size_t>(MaxSubpictureStreams));
    EXPECT_FALSE(capped.truncated);
}

TEST(IfoFiles, IfoBesideTheVob) {
    const test::TempDir dir{"kes-ifo"};
    const std::string folder = dir.path().string() + "/";
    const std::string vob = folder + "VTS_01_1.VOB";
    EXPECT_EQ(IfoNameOfVob(vob), "NONE");
    test::writeBytes(dir.path() / "VTS_01_0.IFO", "ifo");
    EXPECT_EQ(IfoNameOfVob(vob), folder + "VTS_01_0.IFO");
    // Every digit before the extension goes; the file name is matched without regard to case.
    test::writeBytes(dir.path() / "vts_02_0.ifo", "ifo");
    EXPECT_EQ(IfoNameOfVob(folder + "vts_02_12.vob"), folder + "vts_02_0.IFO");
    EXPECT_EQ(IfoNameOfVob(folder), "NONE");
    EXPECT_EQ(IfoNameOfVob(""), "NONE");
}

TEST(IfoFiles, SubtitleDestination) {
    EXPECT_EQ(SubNameOfAvi("/out/final.avi"), "/out/final.sub");
    EXPECT_EQ(SubNameOfAvi("/out/final"), "/out/final.sub");
    // The folder keeps a name that holds the extension's text.
    EXPECT_EQ(SubNameOfAvi("/my.avi.d/final.avi"), "/my.avi.d/final.sub");
}

TEST(IfoFiles, HeadIsBoundedAndMissingFilesGiveNothing) {
    const test::TempDir dir{"kes-ifo"};
    EXPECT_FALSE(readIfoHead((dir.path() / "none.IFO").string()));
    test::writeBytes(dir.path() / "big.IFO", std::string(3 * IfoHeadSize, 'x'));
    EXPECT_EQ(readIfoHead((dir.path() / "big.IFO").string())->size(), IfoHeadSize);
    test::writeBytes(dir.path() / "short.IFO", "abc");
    EXPECT_EQ(*readIfoHead((dir.path() / "short.IFO").string()), "abc");
}

} // namespace
} // namespace kes
