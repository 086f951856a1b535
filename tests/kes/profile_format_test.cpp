// The profile text without a window: the writer byte for byte, the codes, the reader's lines and key
// lookup, the language list and the search for the first VOB.
#include "kes/profile_format.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes {
namespace {

using test::TempDir;
using test::writeBytes;

// Every section and every optional key present.
ProfileSettings fullSettings() {
    ProfileSettings s;
    s.title = "Matrix (matrix.pfl)";
    s.description = "1 CD DivX 4 [640x272]";
    s.comment = "Region 2";
    s.vobPath = "/dvd/VIDEO_TS/VTS_01_1.VOB";
    s.aviPath = "/w/movie.avi";
    s.wavPath = "/w/audio.wav";
    s.compressPath = "/w/compaudio.wav";
    s.finalPath = "/o/final.avi";
    s.wav2Path = "/w/stream2.wav";
    s.compressPath2 = "/w/compressed2.wav";
    s.finalPathSS2 = "/o/finalss2.avi";
    s.ripVideo = true;
    s.ripAudio = true;
    s.audioMethod = "AC3Dec";
    s.compress = true;
    s.normalize = true;
    s.merge = true;
    s.ripAll = true;
    s.twoStreams = true;
    s.log = true;
    s.extractSub = true;
    s.split = true;
    s.splitAfter = true;
    s.splitSize = "700";
    s.lockCd = true;
    s.divxAuto = true;
    s.codec = "DivX 4.x";
    s.vbr = "2-pass, first pass";
    s.dual = true;
    s.codec2 = "Fast Motion";
    s.keyFrames = "9999";
    s.vki = true;
    s.crisp = "100";
    s.finalSize = "650";
    s.movieLength = "136";
    s.movieSeconds = "05";
    s.wide = true;
    s.bitrate = "812";
    s.bitrate2 = "1500";
    s.continuePass2 = true;
    s.forceDeint = true;
    s.px3 = true;
    s.fps = "25";
    s.postFilter = "High Quality";
    s.refQuality = "SSE AP-922float IDCT";
    s.output = "AVI - YUY2 - 4:2:2 ";
    s.crop = true;
    s.xCrop = "640";
    s.yCrop = "272";
    s.ivtc = true;
    s.ivtcFrames = "3";
    s.downX = true;
    s.xSize = "640";
    s.downY = true;
    s.ySize = "344";
    s.halfRes = true;
    s.range = true;
    s.range1 = "00:01:00";
    s.range2 = "01:30:00";
    s.audioCodec = "MP3";
    s.subStream = "0x80";
    s.subStream2 = "0x81";
    s.flip = true;
    s.sampleRate = "44.1";
    s.audioBitrate = "128";
    s.mode = "Stereo";
    s.audioRange = true;
    s.aRange1 = "00:00:10";
    s.aRange2 = "01:00:00";
    s.norm2Other = true;
    s.gain = 125;
    s.subtitleLanguages = {"fr", "en"};
    return s;
}

// Written by hand from the format's tables.
const char* const FullProfile = "[Options]\r\n"
                                "ProfileTitle=Matrix\r\n"
                                "Description=1 CD DivX 4 [640x272]\r\n"
                                "Comment=Region 2\r\n"
                                "vobpath=/dvd/VIDEO_TS/VTS_01_1.VOB\r\n"
                                "avipath=/w/movie.avi\r\n"
                                "WavPath=/w/audio.wav\r\n"
                                "Compresspath=/w/compaudio.wav\r\n"
                                "finalpath=/o/final.avi\r\n"
                                "Wav2Path=/w/stream2.wav\r\n"
                                "Compresspath2=/w/compressed2.wav\r\n"
                                "finalpathss2=/o/finalss2.avi\r\n"
                                "RipVid=1\r\n"
                                "RipAud=1\r\n"
                                "UseAC3Dec=1\r\n"
                                "CompressAudio=1\r\n"
                                "DelWav=0\r\n"
                                "Normalize=1\r\n"
                                "Merge=1\r\n"
                                "RipAll=1\r\n"
                                "2streams=1\r\n"
                                "log=1\r\n"
                                "Vexlor=0\r\n"
                                "SDown=0\r\n"
                                "Sub=1\r\n"
                                "Split=1\r\n"
                                "Cut@=700\r\n"
                                "lock1cd=1\r\n"
                                "\r\n"
                                "[DivX]\r\n"
                                "DivXauto=1\r\n"
                                "VCodec=4\r\n"
                                "VVBR=2-pass, first pass\r\n"
                                "VCodec2=F\r\n"
                                "kf=9999\r\n"
                                "VKI=1\r\n"
                                "crisp=100\r\n"
                                "FinalSize=650\r\n"
                                "MovieLength=136\r\n"
                                "Moviesec=05\r\n"
                                "MovieFormat=16/9\r\n"
                                "frate=812\r\n"
                                "frate2=1500\r\n"
                                "Continuepass2=1\r\n"
                                "\r\n"
                                "[Video]\r\n"
                                "dualV=1\r\n"
                                "forceD=1\r\n"
                                "PX3=1\r\n"
                                "fps=25\r\n"
                                "Postq=hq\r\n"
                                "Refq=6\r\n"
                                "output=3\r\n"
                                "cropx=640\r\n"
                                "cropy=272\r\n"
                                "IVTC=3\r\n"
                                "downxsize=640\r\n"
                                "downysize=344\r\n"
                                "halfres=1\r\n"
                                "Range1=00:01:00\r\n"
                                "Range2=01:30:00\r\n"
                                "\r\n"
                                "[Audio]\r\n"
                                "ACodec=MP3\r\n"
                                "Substream=0x80\r\n"
                                "Sub2=0x81\r\n"
                                "Flip=1\r\n"
                                "SampleRate=44.1\r\n"
                                "Bitrate=128\r\n"
                                "Mode=S\r\n"
                                "ARange1=00:00:10\r\n"
                                "ARange2=01:00:00\r\n"
                                "Norm2Other=1\r\n"
                                "Gain=125\r\n"
                                "[SUB]\r\n"
                                "slng=fr/en/";

TEST(ProfileWriter, EverySectionByteForByte) {
    EXPECT_EQ(writeProfile(fullSettings(), false), FullProfile);
}

TEST(ProfileWriter, SmallestProfile) {
    ProfileSettings s;
    s.title = "None";
    s.audioMethod = "Azid";
    s.mode = "Mono";
    s.refQuality = "32bit mmx iDCT";
    s.output = "AVI - YV12 - 4:2:0";
    s.postFilter = "Fast";
    s.audioCodec = "WMA";
    EXPECT_EQ(writeProfile(s, true),
              "[Options]\r\nProfileTitle=None\r\nDescription=\r\nRipVid=0\r\nRipAud=0\r\n"
              "CompressAudio=0\r\nDelWav=0\r\nNormalize=0\r\nMerge=0\r\nRipAll=0\r\n"
              "2streams=0\r\nlog=0\r\nVexlor=0\r\nSDown=0\r\nSub=0\r\nSplit=0\r\n"
              "\r\n[Video]\r\nfps=\r\nPostq=fast\r\nRefq=2\r\noutput=2\r\nhalfres=0\r\n"
              "\r\n[Audio]\r\nACodec=WMA\r\nSubstream=\r\nFlip=0\r\nSampleRate=\r\n"
              "Bitrate=\r\nMode=M\r\nAudioRange=0\r\n");
}

TEST(ProfileWriter, ExportLeavesOutEveryPath) {
    const std::string exported = writeProfile(fullSettings(), true);
    for (const char* key : {"vobpath=", "avipath=", "WavPath=", "Compresspath=", "finalpath=", "Wav2Path=",
                            "Compresspath2=", "finalpathss2="})
        EXPECT_EQ(exported.find(key), std::string::npos) << key;
    EXPECT_NE(exported.find("\r\nComment=Region 2\r\nRipVid=1\r\n"), std::string::npos);
}

TEST(ProfileWriter, AudioMethodKeys) {
    ProfileSettings s = fullSettings();
    s.audioMethod = "Azid";
    EXPECT_NE(writeProfile(s, false).find("RipAud=1\r\nUseAzid=1\r\nCompressAudio"), std::string::npos);
    s.audioMethod = "Internal"; // saved, so that it does not reload as the default method
    EXPECT_NE(writeProfile(s, false).find("RipAud=1\r\nUseAC3Dec=0\r\nCompressAudio"), std::string::npos);
    s.ripAudio = false;
    EXPECT_NE(writeProfile(s, false).find("RipAud=0\r\nCompressAudio"), std::string::npos);
}

TEST(ProfileWriter, EmptyDescriptionAndModeAndLineBreaksInValues) {
    ProfileSettings s = fullSettings();
    s.description.clear();
    s.mode.clear();
    s.comment = "line one\r\nline two\nfps=30";
    const std::string text = writeProfile(s, false);
    EXPECT_EQ(text.find("lock1cd"), std::string::npos);
    EXPECT_NE(text.find("\r\nMode=\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nComment=line one  line two fps=30\r\n"), std::string::npos);
    s.description = "Ünter";
    EXPECT_NE(writeProfile(s, false).find("\r\nlock1cd=Ü\r\n"), std::string::npos);
}

TEST(ProfileWriter, SectionsLeftOutWithTheirConditions) {
    ProfileSettings s = fullSettings();
    s.divxAuto = false;
    s.extractSub = false;
    s.twoStreams = false;
    s.dual = false;
    s.normalize = false;
    s.audioRange = false;
    const std::string text = writeProfile(s, false);
    EXPECT_EQ(text.find("[DivX]"), std::string::npos);
    EXPECT_EQ(text.find("[SUB]"), std::string::npos);
    EXPECT_EQ(text.find("Wav2Path"), std::string::npos);
    EXPECT_EQ(text.find("Sub2="), std::string::npos);
    EXPECT_EQ(text.find("Gain="), std::string::npos);
    EXPECT_EQ(text.find("dualV"), std::string::npos);
    EXPECT_NE(text.find("\r\nAudioRange=0\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n"));

    s.divxAuto = true;
    s.codec = "Low Motion";
    s.vki = false;
    s.continuePass2 = false;
    const std::string divx = writeProfile(s, false);
    EXPECT_NE(divx.find("\r\nVCodec=L\r\nkf=9999\r\ncrisp=100\r\n"), std::string::npos);
    EXPECT_EQ(divx.find("VVBR"), std::string::npos);

    s.extractSub = true;
    s.subtitleLanguages.clear();
    EXPECT_TRUE(writeProfile(s, false).ends_with("\r\n[SUB]\r\nslng="));
}

TEST(ProfileWriter, DualDivX4WritesTheRateModeTwice) {
    ProfileSettings s = fullSettings();
    s.codec2 = "DivX 4.x";
    EXPECT_NE(writeProfile(s, false).find("VCodec=4\r\nVVBR=2-pass, first pass\r\nVCodec2=4\r\n"
                                          "VVBR=2-pass, first pass\r\nkf="),
              std::string::npos);
}

TEST(ProfileTitle, ListSuffixIsCutOnlyForProfileNames) {
    EXPECT_EQ(profileTitleFromName("Movie (movie.pfl)"), "Movie");
    EXPECT_EQ(profileTitleFromName("Movie (2001)"), "Movie (2001)");
    EXPECT_EQ(profileTitleFromName("(movie.pfl)"), "(movie.pfl)");
    EXPECT_EQ(profileTitleFromName("A (b) (a.pfl)"), "A (b)");
    EXPECT_EQ(profileTitleFromName("M(movie.pfl)"), "");
}

TEST(ProfileCodes, ChoicesAndTheirTexts) {
    EXPECT_EQ(codecCode("Fast Motion"), "F");
    EXPECT_EQ(codecCode("Low Motion"), "L");
    EXPECT_EQ(codecCode("DivX 4.x"), "4");
    EXPECT_EQ(codecCode(""), "4");
    EXPECT_EQ(postFilterCode("Fast"), "fast");
    EXPECT_EQ(outputCode("AVI - RGB24 - 4:4:4"), "1");
    EXPECT_EQ(outputCode("AVI - YV12 - 4:2:0"), "2");
    EXPECT_EQ(outputCode("anything"), "3");
    for (int code = 1; code <= 8; ++code) {
        const auto text = refQualityText(code);
        ASSERT_TRUE(text);
        EXPECT_EQ(refQualityCode(*text), std::to_string(code)) << *text;
    }
    EXPECT_EQ(refQualityCode("32bit mmx iDCT"), "2");
    EXPECT_FALSE(refQualityText(0));
    EXPECT_FALSE(refQualityText(9));
    EXPECT_EQ(outputText(2), "AVI - YV12 - 4:2:0 ");
    EXPECT_FALSE(outputText(4));
}

TEST(ProfileReader, LinesTextAndUpperCase) {
    const ProfileContent content = profileContent("[Options]\r\nA=b\nc=Dé\rlast");
    EXPECT_EQ(content.lines, (std::vector<std::string>{"[Options]", "A=b", "c=Dé", "last"}));
    EXPECT_EQ(content.text, "[Options]\r\nA=b\r\nc=Dé\r\nlast\r\n");
    EXPECT_EQ(content.upper, "[OPTIONS]\r\nA=B\r\nC=Dé\r\nLAST\r\n");
    EXPECT_TRUE(profileContent("").lines.empty());
}

TEST(ProfileReader, OnlyTheFirstHundredLines) {
    std::string bytes;
    for (int i = 1; i <= 150; ++i)
        bytes += "k" + std::to_string(i) + "=v\r\n";
    const ProfileContent content = profileContent(bytes);
    ASSERT_EQ(content.lines.size(), 100u);
    EXPECT_EQ(content.lines.back(), "k100=v");
    EXPECT_EQ(seekProfileItem(content.text, content.upper, "k100="), "v");
    EXPECT_EQ(seekProfileItem(content.text, content.upper, "k101="), "");
}

TEST(ProfileReader, KeysMatchOnlyAtTheStartOfALineWithoutRegardToCase) {
    const ProfileContent c =
        profileContent("Description=fps=30\r\nFPS=25 \r\nfps=24\r\nrefq=\r\nCompresspath2=/b\r\n"
                       "CompressPath=/a");
    const auto seek = [&](const char* key) { return seekProfileItem(c.text, c.upper, key); };
    EXPECT_EQ(seek("fps="), "25 ");
    EXPECT_EQ(seek("description="), "fps=30");
    EXPECT_EQ(seek("refq="), "");
    EXPECT_EQ(seek("missing="), "");
    EXPECT_EQ(seek("CompressPath="), "/a");
    EXPECT_EQ(seek("compresspath2="), "/b");
    EXPECT_EQ(seek(""), "");
}

TEST(ProfileReader, SubtitleLanguagesEndWithASlash) {
    EXPECT_EQ(subtitleLanguagesOf("fr/en/"), (std::vector<std::string>{"fr", "en"}));
    EXPECT_EQ(subtitleLanguagesOf("fr/en"), (std::vector<std::string>{"fr"}));
    EXPECT_EQ(subtitleLanguagesOf("fr//en/"), (std::vector<std::string>{"fr", "en"}));
    EXPECT_TRUE(subtitleLanguagesOf("fr").empty());
    EXPECT_TRUE(subtitleLanguagesOf("/").empty());
}

TEST(ProfileReader, LargeFilesAreReadOnlyInPart) {
    TempDir dir("kes-pfl");
    writeBytes(dir.path() / "big.pfl", "ProfileTitle=Big\r\n" + std::string(3 * MaxProfileBytes, 'x'));
    const auto bytes = readProfileBytes(dir.file("BIG.PFL"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(static_cast<int64_t>(bytes->size()), MaxProfileBytes);
    EXPECT_FALSE(readProfileBytes(dir.file("none.pfl")));
    EXPECT_FALSE(readProfileBytes(dir.str()));
}

TEST(FirstTitleVob, TitleSetsInOrderThenAnyVob) {
    TempDir dir("kes-vobs");
    EXPECT_EQ(firstTitleVob(dir.str()), "");
    writeBytes(dir.path() / "b.VOB", "");
    writeBytes(dir.path() / "a.vob", "");
    EXPECT_EQ(firstTitleVob(dir.str()), "a.vob");
    writeBytes(dir.path() / "VTS_03_1.VOB", "");
    writeBytes(dir.path() / "VTS_02_3.vob", "");
    writeBytes(dir.path() / "VTS_02_0.VOB", ""); // part 0 is a menu, never a title part
    EXPECT_EQ(firstTitleVob(dir.str()), "VTS_02_3.vob");
    std::filesystem::create_directories(dir.path() / "vts_01_1.vob");
    EXPECT_EQ(firstTitleVob(dir.str()), "VTS_02_3.vob");
    writeBytes(dir.path() / "Vts_01_9.Vob", "");
    EXPECT_EQ(firstTitleVob(dir.str()), "Vts_01_9.Vob");
}

} // namespace
} // namespace kes
