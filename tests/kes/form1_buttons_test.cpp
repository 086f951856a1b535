// The page buttons, the path check, the file choosers (answered by the dialog script), the extras that
// work on an existing AVI through the real muxer and clip appender, and the tool launchers.
#include "rip_video_support.h"

#include "kes/wizard.h"

#include "cover/tcoverprint.h"
#include "tools/clip_appender/tform7.h"
#include "tools/muxer/tform5.h"
#include "tools/stream_extractor/tform8.h"
#include "tools/synchronizer/tform6.h"
#include "tools/vobsub_adjuster/tvsub.h"

#include "platform/ui/application.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class Form1ButtonsTest : public test::RipVideoFixture {
protected:
    // The boxes shown, as "kind: caption-or-folder: text" for dialogs and "kind: text" for boxes.
    Lines dialogs() const {
        Lines all;
        for (const auto& box : script.shown())
            all.push_back(box.kind + ": " + box.text);
        return all;
    }
};

TEST_F(Form1ButtonsTest, PageButtonsShowTheirPageAndPathsRunsTheCheck) {
    form->MovieButton.click();
    EXPECT_EQ(form->main.activePage(), &form->VideoPage);
    EXPECT_TRUE(form->MovieButton.flat());
    EXPECT_TRUE(form->MovieButton.fontBold());

    form->Vobfile.setText(at("missing.vob"));
    writeBytes(out + "video.avi", "old");
    form->WavFileEdit.setText(at("nowhere/one.wav"));
    form->Wav2.setText("");
    script.clearShown();
    form->PathsButton.click();
    EXPECT_EQ(form->main.activePage(), &form->PathsPage);
    EXPECT_TRUE(form->PathsButton.fontBold());
    EXPECT_FALSE(form->MovieButton.fontBold());
    EXPECT_FALSE(form->MovieButton.flat());
    EXPECT_EQ(dialogs(), (Lines{"error: <20>", "warning: " + out + "video.avi<22>\r\n\r\n<55>",
                                "warning: <56>\r\n" + at("nowhere/") + "\r\n"}));
    EXPECT_FALSE(form->HD.text().empty());

    // Nothing to report once the inputs are there and the outputs are new.
    fs::remove(out + "video.avi");
    form->WavFileEdit.setText(out + "one.wav");
    form->Vobfile.setText(vob1);
    script.clearShown();
    form->SpeedButton4.click();
    EXPECT_EQ(dialogs(), Lines{});
}

TEST_F(Form1ButtonsTest, ChoosersStartInTheFolderOfTheirPath) {
    form->Vobfile.setText(vob1);
    script.clearShown();
    script.answer(vob2);
    form->OpenVOB.click();
    EXPECT_EQ(form->Vobfile.text(), vob2);
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].kind, "open");
    EXPECT_EQ(script.shown()[0].text, at("my dvd/"));

    // A cancel changes nothing.
    script.answerCancel();
    form->openavi.click();
    EXPECT_EQ(form->AVIFile.text(), out + "video.avi");
    EXPECT_EQ(form->OpenDialog2.initialDir, out);

    script.answer(out + "picked.wav");
    form->button2.click();
    EXPECT_EQ(form->compaudiofile.text(), out + "picked.wav");
    script.answer(out + "extracted.wav");
    form->openMP3.click();
    EXPECT_EQ(form->WavFileEdit.text(), out + "extracted.wav");
}

TEST_F(Form1ButtonsTest, SecondStreamChoosersNeedTheSecondStream) {
    script.clearShown();
    form->SpeedButton1.click();
    form->button5.click();
    EXPECT_EQ(script.shown().size(), 0u);

    form->twostreams.setChecked(true);
    script.answer(out + "two.wav");
    form->SpeedButton1.click();
    EXPECT_EQ(form->Wav2.text(), out + "two.wav");
    script.answer(out + "two.mp3");
    form->button5.click();
    EXPECT_EQ(form->compressedSS2.text(), out + "two.mp3");
}

TEST_F(Form1ButtonsTest, ExtrasChoosersKeepTheDialogsFolder) {
    form->OpenDialog2.initialDir = "/kept/";
    form->savi.setText(out + "elsewhere/a.avi");
    script.clearShown();
    for (auto [button, answer] : {std::pair{&form->Button1, "s.avi"}, std::pair{&form->button4, "v.avi"},
                                  std::pair{&form->button6, "d.avi"}}) {
        script.answer(out + answer);
        button->click();
    }
    script.answer(out + "d.wav");
    form->button3.click();
    EXPECT_EQ(form->savi.text(), out + "s.avi");
    EXPECT_EQ(form->SVexlor.text(), out + "v.avi");
    EXPECT_EQ(form->DVexlor.text(), out + "d.avi");
    EXPECT_EQ(form->Daudio.text(), out + "d.wav");
    EXPECT_EQ(script.shown()[0].text, "/kept/");
}

TEST_F(Form1ButtonsTest, FinalFileNamesTheSubtitlesAndOutputsRefreshTheLights) {
    form->FinalFile.setText(out + "movie.avi");
    EXPECT_EQ(form->destsub.text(), out + "movie.sub");
    EXPECT_EQ(form->ifofile.text(), "NONE");

    writeBytes(out + "exists.avi", "x");
    form->AVIFile.setText(out + "exists.avi");
    EXPECT_EQ(form->p2.picture(), form->canvasfalse.picture());
    form->AVIFile.setText(out + "new.avi");
    EXPECT_EQ(form->p2.picture(), form->canvastrue.picture());
}

TEST_F(Form1ButtonsTest, ExtractAudioWritesTheAviSoundAsWav) {
    test::TinyAviSpec spec;
    spec.frames.assign(4, "abcdefgh");
    spec.audioData = std::string(64, '\x11');
    writeBytes(out + "movie.avi", test::tinyAvi(spec));
    form->savi.setText(out + "movie.avi");
    form->Daudio.setText(out + "sound.wav");
    form->AudExtr.click();
    const std::string wav = readBytes(out + "sound.wav");
    ASSERT_GE(wav.size(), 64u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(wav.size() - 64), spec.audioData);
    EXPECT_EQ(tools::muxer::Form5, nullptr); // freed within the click
    EXPECT_EQ(dialogs(), Lines{});

    form->savi.setText(out + "missing.avi");
    form->AudExtr.click();
    EXPECT_EQ(script.texts("error"), Lines{"<46>"});
}

TEST_F(Form1ButtonsTest, ExtractAudioNeverWritesOverItsSource) {
    writeBytes(out + "movie.avi", test::tinyAvi({}));
    form->savi.setText(out + "movie.avi");
    form->Daudio.setText(out + "movie.avi");
    form->AudExtr.click();
    EXPECT_EQ(readBytes(out + "movie.avi"), test::tinyAvi({}));
    EXPECT_EQ(script.texts("error").size(), 1u);
}

TEST_F(Form1ButtonsTest, AddLogoGivesTheTargetAnAviName) {
    form->SVexlor.setText(out + "missing.avi");
    form->DVexlor.setText(out + "result.mp4");
    form->AddVexlor.click();
    EXPECT_EQ(form->DVexlor.text(), out + "result.mp4.avi");
    EXPECT_EQ(script.texts("error"), Lines{"<46>"});
    EXPECT_EQ(tools::clip_appender::Form7, nullptr);

    form->DVexlor.setText(out + "result.AVI");
    form->AddVexlor.click();
    EXPECT_EQ(form->DVexlor.text(), out + "result.AVI");
}

TEST_F(Form1ButtonsTest, AddLogoAppendsTheClipOfThePictureSize) {
    test::TinyAviSpec spec;
    spec.frames.assign(4, "abcdefgh");
    writeBytes(out + "movie.avi", test::tinyAvi(spec));
    fs::create_directories(folder.path() / "Vexlor");
    writeBytes(folder.path() / "Vexlor" / "Vexlor4x2.avi", test::videoAvi(2));
    form->SVexlor.setText(out + "movie.avi");
    form->DVexlor.setText(out + "logo");
    form->AddVexlor.click();
    EXPECT_EQ(form->DVexlor.text(), out + "logo.avi");
    EXPECT_GT(fs::file_size(out + "logo.avi"), fs::file_size(out + "movie.avi"));
    EXPECT_EQ(tools::clip_appender::Form7, nullptr);
}

TEST_F(Form1ButtonsTest, StreamExtractorOpensANewWindowPerClick) {
    form->show();
    form->Vobfile.setText(vob1);
    form->usebutton.click();
    tools::stream_extractor::TForm8* first = tools::stream_extractor::Form8;
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isShowing());
    EXPECT_TRUE(fs::equivalent(first->programFolder(), folder.path()));
    // It starts on the first VOB's list.
    EXPECT_EQ(first->SourceFN.text(), at("my dvd/vob.lst"));
    EXPECT_TRUE(form->isMinimized());

    form->usebutton.click();
    tools::stream_extractor::TForm8* second = tools::stream_extractor::Form8;
    EXPECT_NE(second, first);
    second->close();
    first->close();
    EXPECT_FALSE(form->isMinimized());
    // Closed windows are freed at the next event.
    platform::ui::processMessages();
    EXPECT_EQ(tools::stream_extractor::Form8, nullptr);
}

TEST_F(Form1ButtonsTest, IndexAdjusterOpensANewWindowPerClick) {
    form->Button7.click();
    tools::vobsub_adjuster::TVSUB* first = tools::vobsub_adjuster::VSUB;
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isShowing());
    form->Button7.click();
    EXPECT_NE(tools::vobsub_adjuster::VSUB, first);
    tools::vobsub_adjuster::VSUB->close();
    first->close();
    platform::ui::processMessages();
    EXPECT_EQ(tools::vobsub_adjuster::VSUB, nullptr);
}

TEST_F(Form1ButtonsTest, SynchronizerOpensANewWindowPerClickAndMinimisesTheMain) {
    form->show();
    form->SynchButton.click();
    tools::synchronizer::TForm6* first = tools::synchronizer::Form6;
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isShowing());
    EXPECT_TRUE(fs::equivalent(first->programFolder(), folder.path()));
    EXPECT_TRUE(form->isMinimized());
    form->SynchButton.click();
    EXPECT_NE(tools::synchronizer::Form6, first);
    tools::synchronizer::Form6->close();
    first->close();
    EXPECT_FALSE(form->isMinimized());
    platform::ui::processMessages();
    EXPECT_EQ(tools::synchronizer::Form6, nullptr);
}

TEST_F(Form1ButtonsTest, CoverPrinterTakesTheProfileAndTheSettings) {
    form->show();
    form->ProfileEdit.setTextSilent("Big Movie");
    form->DivxAuto.setChecked(true);
    form->movielength.setTextSilent("97");
    form->Comment.setText("A comment");
    form->coverbutton.click();
    cover::TCoverPrint* printer = cover::CoverPrint;
    ASSERT_NE(printer, nullptr);
    EXPECT_TRUE(printer->isShowing());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(printer->moviename.text(), "Big Movie");
    EXPECT_EQ(printer->movielength.text(), "97 min.");
    EXPECT_EQ(printer->ripdesc.text(), form->curset.text());
    EXPECT_EQ(printer->sum1.text(), "A comment");
    printer->close();
    EXPECT_FALSE(form->isMinimized());

    // Without "DivX Auto" the length stays out.
    form->DivxAuto.setChecked(false);
    form->coverbutton.click();
    EXPECT_NE(cover::CoverPrint, printer);
    EXPECT_EQ(cover::CoverPrint->moviename.text(), "Big Movie");
    EXPECT_EQ(cover::CoverPrint->movielength.text(), "");
    cover::CoverPrint->close();
    platform::ui::processMessages();

    // Without a profile the printer opens empty, even with "DivX Auto".
    form->ProfileEdit.setTextSilent("None");
    form->DivxAuto.setChecked(true);
    form->coverbutton.click();
    EXPECT_EQ(cover::CoverPrint->moviename.text(), "");
    EXPECT_EQ(cover::CoverPrint->movielength.text(), "");
    EXPECT_EQ(cover::CoverPrint->ripdesc.text(), "");
    EXPECT_EQ(cover::CoverPrint->sum1.text(), "");
    cover::CoverPrint->close();
    platform::ui::processMessages();
    EXPECT_EQ(cover::CoverPrint, nullptr);
}

TEST_F(Form1ButtonsTest, WizardOpensOnAFirstVobAndShowsThePathsPage) {
    form->Vobfile.setText(vob1);
    script.clearShown();
    form->wizard.click();
    ASSERT_NE(Keswizard, nullptr);
    EXPECT_TRUE(Keswizard->isShowing());
    EXPECT_EQ(form->main.activePage(), &form->PathsPage);
    Keswizard->close();
    platform::ui::processMessages();
    EXPECT_EQ(Keswizard, nullptr);
}

TEST_F(Form1ButtonsTest, WizardNeedsTheFirstVob) {
    form->Vobfile.setText(at("dvd/VTS_01_1.VOB"));
    script.clearShown();
    form->wizard.click();
    EXPECT_EQ(script.texts("error"), Lines{"<20>\r\n<59>\r\n" + at("dvd/")});
    EXPECT_NE(form->main.activePage(), &form->PathsPage);
}

} // namespace
} // namespace kes
