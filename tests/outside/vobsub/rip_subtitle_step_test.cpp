// The rip's subtitle step through the main window with the real extractor and archiver: a generated
// title, two languages chosen on the subtitle page, the pair read back by FFmpeg and by the index
// adjuster, the archive by another RAR reader, and the cut index of a split movie.
#include "ffmpeg_vobsub.h"
#include "test_title.h"

#include "kes/ifo_audio.h"
#include "kes/ifo_files.h"
#include "kes/ifo_subtitles.h"
#include "kes/ifo_video.h"

#include "tests/kes/rip_video_support.h"
#include "tests/outside/rar/run_tool.h"
#include "tools/vobsub_adjuster/idx_index.h"

#include <dlfcn.h>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class RipSubtitleStepTest : public RipVideoFixture {
protected:
    void SetUp() override {
        RipVideoFixture::SetUp();
        for (const char* program : {"extern/rundll32.exe", "extern/vobsub.dll", "extern/winrar.exe"})
            folder.copyFromBuild(program);
        dvd = at("my dvd/VIDEO_TS/");
        fs::create_directories(dvd);
        title = writeTestTitle(dvd);
        form->Vobfile.setText(title.set.files[0].string());
        form->FinalFile.setText(out + "final.avi");
        // The subtitle page: the IFO's languages, English and German chosen.
        form->ifofile.setText(title.ifoPath.string());
        ASSERT_EQ(form->IFOlngList.items(), (std::vector<std::string>{"English", "Francais", "Deutsch"}));
        form->IFOlngList.setSelected(0, true);
        form->IFOlngList.setSelected(2, true);
        form->SpeedButton5Click();
        ASSERT_TRUE(form->extractsub.checked());
        form->destsub.setText(out + "final.sub");
        script.clearShown();
    }

    std::string dvd;
    TestTitle title;
};

TEST_F(RipSubtitleStepTest, TwoLanguagesGiveAPairAndAnArchiveThatOthersRead) {
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(reports(), 1u);

    std::string error;
    const auto streams = readWithFfmpeg(out + "final.idx", &error);
    ASSERT_EQ(streams.size(), 2u) << error;
    EXPECT_EQ(streams[0].language, "en");
    EXPECT_EQ(streams[1].language, "de");
    std::vector<int64_t> english, german;
    for (const auto& s : streams[0].subtitles)
        english.push_back(s.startMs);
    for (const auto& s : streams[1].subtitles)
        german.push_back(s.startMs);
    EXPECT_EQ(english, (std::vector<int64_t>{500, 2000, 3500, 5000}));
    EXPECT_EQ(german, (std::vector<int64_t>{1500, 4500}));

    tools::vobsub_adjuster::VobSubIndex index;
    ASSERT_EQ(index.load(out + "final.idx"), tools::vobsub_adjuster::IdxLoadStatus::Ok);
    EXPECT_EQ(index.organize(), 0);
    ASSERT_EQ(index.languages().size(), 2u);
    EXPECT_EQ(index.languages()[1].name, "German");

    const ToolRun list = runTool({"bsdtar", "-tf", out + "final.rar"}, out);
    EXPECT_EQ(list.out, "final.sub\n") << list.err;
    const ToolRun unpacked = runTool({"bsdtar", "-xOf", out + "final.rar", "final.sub"}, out);
    EXPECT_TRUE(unpacked.out == readBytes(out + "final.sub")) << "the archived .sub differs";
}

TEST_F(RipSubtitleStepTest, SplitMovieGetsTheSecondPartsIndex) {
    form->Split.setChecked(true);
    // 3 s of movie in the first part.
    TinyAviSpec spec;
    spec.frames.assign(75, "frame100");
    spec.withAudio = false;
    writeBytes(out + "final.avi", tinyAvi(spec));
    // The muxer's second part: only a movie that has one gets a second index and copies.
    writeBytes(out + "final2.avi", tinyAvi(spec));
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(readBytes(out + "final2.rar"), readBytes(out + "final.rar"));
    EXPECT_EQ(readBytes(out + "final2.ifo"), readBytes(title.ifoPath));
    // The second part's index goes with the same packs, as its archive holds them.
    fs::copy_file(out + "final.sub", out + "final2.sub");
    std::string error;
    const auto streams = readWithFfmpeg(out + "final2.idx", &error);
    ASSERT_EQ(streams.size(), 2u) << error;
    // Both languages are cut at 3 s.
    std::vector<int64_t> english;
    for (const auto& s : streams[0].subtitles)
        english.push_back(s.startMs);
    EXPECT_EQ(english, (std::vector<int64_t>{500, 2000}));
    ASSERT_EQ(streams[1].subtitles.size(), 1u);
    EXPECT_EQ(streams[1].subtitles[0].startMs, 1500);
}

TEST_F(RipSubtitleStepTest, DamagedTitleLeavesNoPairAndNoArchive) {
    writeBytes(title.ifoPath, readBytes(title.ifoPath).substr(0, 0x260));
    form->destsub.setText(out + "final.sub");
    launch();
    // The extractor's failing status ends the rip, naming the program and its file, unreported.
    EXPECT_FALSE(fs::exists(out + "final.idx"));
    EXPECT_FALSE(fs::exists(out + "final.sub"));
    EXPECT_FALSE(fs::exists(out + "final.rar"));
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program rundll32.exe vobsub.dll failed (exit status 1) : " + out +
                             "final.sub can't be used !"});
    EXPECT_EQ(reports(), 0u);
}

// The generated IFO is what the main window's readers expect: audio and subpicture languages, the
// picture attributes and the title's length.
TEST(GeneratedIfo, ReadsInTheMainWindow) {
    IfoSpec spec = testIfoSpec();
    spec.wide = true;
    spec.audio = {{0, "en", 1, false, 6}, {0, "fr", 3, true, 2}, {4, "", 1, false, 2}};
    spec.cells[1].seconds = 125.0;
    const std::string ifo = makeIfo(spec);
    const kes::IfoAudio audio = parseIfoAudio(ifo.substr(0, kes::IfoHeadSize));
    ASSERT_EQ(audio.streams.size(), 3u);
    EXPECT_EQ(audio.streams[0].languageName(), "English");
    EXPECT_EQ(audio.streams[1].languageName(), "Francais");
    EXPECT_EQ(audio.streams[1].mode, 3);
    EXPECT_FALSE(audio.streams[2].hasLanguage());
    EXPECT_EQ(audioInfoBlock(1, audio.streams[1].attributes, audio.streams[1].mode, audio.streams[1].dolby,
                             "Francais")[2],
              "Coding : AC3 Dolby Surround");
    EXPECT_EQ(parseIfoSubtitles(ifo.substr(0, kes::IfoHeadSize)).names,
              (std::vector<std::string>{"English", "Francais", "Deutsch"}));
    const kes::IfoTitleInfo info = readIfoTitleInfo(ifo, "");
    EXPECT_EQ(info.minutes, "2");
    EXPECT_EQ(info.seconds, "8");
    EXPECT_EQ(info.standard, "PAL");
    const kes::VideoInfoTexts texts = videoInfoTexts(info.attributeA, info.attributeB);
    EXPECT_EQ(texts.coding, "Mpeg-2");
    EXPECT_EQ(texts.resolution, "720x576");
    EXPECT_TRUE(texts.wide);
}

// The subtitle page installs and registers the subtitle filter with the archive reader beside it:
// the built filter when there is one, else a stand-in whose registration succeeds.
TEST_F(RipSubtitleStepTest, SubtitleFilterAndArchiveReaderAreInstalled) {
    folder.copyFromBuild("extern/unrar.dll");
    if (fs::exists(builtProgramDir() / "extern" / "dvobsub.ax"))
        folder.copyFromBuild("extern/dvobsub.ax");
    else
        fs::copy_file(KES_STAND_IN_FILTER, folder.externDir() / "dvobsub.ax");
    EXPECT_TRUE(form->RegisterFilter());
    const fs::path system = folder.path() / "system";
    EXPECT_EQ(readBytes(system / "unrar.dll"), readBytes(folder.externDir() / "unrar.dll"));
    EXPECT_EQ(readBytes(system / "dvobsub.ax"), readBytes(folder.externDir() / "dvobsub.ax"));
    // The installed archive reader is the one that reads the rip's archive.
    void* reader = dlopen((system / "unrar.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(reader, nullptr) << dlerror();
    EXPECT_NE(dlsym(reader, "RarReadMember"), nullptr);
    dlclose(reader);
    EXPECT_TRUE(form->RegisterFilter());
}

} // namespace
} // namespace kes::test
