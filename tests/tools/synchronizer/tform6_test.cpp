// The synchronizer window in this process: its tabs and language texts, the main window's hooks, the
// header values shown for a chosen file, "Test" patching the headers in place, the reset at close and
// the autotest series.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/remux_engine.h"

#include "tests/support/caption_fit.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/tiny_avi.h"

#include "platform/core/files.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/screenshot.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPointer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace tools::synchronizer {
namespace {

using kes::test::AudioTypeOffset;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::TinyAviSpec;
using kes::test::VideoTypeOffset;
using kes::test::writeBytes;
using platform::ui::testing::DialogScript;

uint32_t le32(const std::string& bytes, int64_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[static_cast<size_t>(at + i)]);
    return value;
}

struct Fields {
    uint32_t videoScale, videoRate, videoStart, audioStart;
};

Fields fieldsOf(const std::string& path) {
    const std::string bytes = readBytes(path);
    return {le32(bytes, VideoTypeOffset + 20), le32(bytes, VideoTypeOffset + 24),
            le32(bytes, VideoTypeOffset + 28), le32(bytes, AudioTypeOffset + 28)};
}

class SynchronizerWindow : public ::testing::Test {
protected:
    MainWindowLink link() {
        MainWindowLink result;
        result.programFolder = dir.str();
        result.minimize = [this] { ++minimized; };
        result.restore = [this] { ++restored; };
        result.loadLanguageSection = [this](std::vector<SectionText>& entries) {
            ++loads;
            if (!languageFound)
                return false;
            entries = section;
            return true;
        };
        return result;
    }

    // A 25 fps file with 48 kHz audio that starts 400 ms late.
    std::string delayedFile() {
        TinyAviSpec spec;
        spec.frames.assign(25, "abcdefgh");
        spec.audioStart = 19200;
        const std::string path = dir.file("movie.avi");
        writeBytes(path, kes::test::tinyAvi(spec));
        return path;
    }

    TempDir dir{"kes-synchronizer"};
    DialogScript script;
    int minimized = 0;
    int restored = 0;
    int loads = 0;
    bool languageFound = true;
    std::vector<SectionText> section{{1, "Fichier"},     {16, "Jouer"},  {35, "Essai"},
                                     {64, "Couper"},     {116, "Plage"}, {80, "lecture seule"},
                                     {301, "hors table"}};
};

TEST_F(SynchronizerWindow, OpensWithItsTabsAndTheLanguageSectionsTexts) {
    TForm6 form(link());
    EXPECT_EQ(Form6, &form);
    EXPECT_EQ(form.caption(), "Synchronizer - v0.08b");
    EXPECT_EQ(minimized, 1);
    EXPECT_EQ(loads, 1);
    ASSERT_EQ(form.PageControl1.pageCount(), 7);
    EXPECT_EQ(form.TabSheet1.caption(), "Fichier");
    EXPECT_EQ(form.TabSheet2.caption(), "") << "an entry the section does not set is empty";
    EXPECT_EQ(form.GroupBox2.caption(), "");
    EXPECT_EQ(form.Play.caption(), "Jouer");
    EXPECT_EQ(form.Button4.caption(), "Jouer");
    EXPECT_EQ(form.SetNew.caption(), "Essai");
    EXPECT_EQ(form.Button19.caption(), "Essai");
    EXPECT_EQ(form.Button20.caption(), "Essai");
    EXPECT_EQ(form.Split.caption(), "Couper");
    EXPECT_EQ(form.Splitway.caption(), "Couper");
    EXPECT_EQ(form.GroupBox7.caption(), "Plage");
    EXPECT_EQ(form.message(80), "lecture seule");
    EXPECT_EQ(form.message(301), "");
    EXPECT_FALSE(form.Next.enabled());
    EXPECT_TRUE(form.freeplay.checked());
    EXPECT_EQ(form.NewStart.text(), "0");
    EXPECT_EQ(form.sign.text(), "+");
    EXPECT_EQ(form.NewVFrate.itemCount(), 7);
    EXPECT_EQ(form.NewStart.itemCount(), 21);
    EXPECT_EQ(form.NewStart.item(20), "20000");
    EXPECT_EQ(form.PreviewLeft, 8);

    form.show();
    EXPECT_EQ(restored, 0);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(restored, 1);
}

TEST_F(SynchronizerWindow, MissingLanguageFileKeepsTheDesignedCaptions) {
    languageFound = false;
    TForm6 form(link());
    EXPECT_EQ(form.TabSheet2.caption(), "Preview");
    EXPECT_EQ(form.SetNew.caption(), "Test");
    EXPECT_EQ(form.message(85), "");
}

TEST_F(SynchronizerWindow, DestroyedWhileOpenStillRestoresTheMainWindow) {
    {
        TForm6 form(link());
        form.show();
    }
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(Form6, nullptr);
}

TEST_F(SynchronizerWindow, LanguagePickerWritesTheChoiceAndReloads) {
    std::filesystem::create_directories(dir.path() / "LANG");
    writeBytes(dir.path() / "LANG" / "Francais.lng", "x\r\n");
    TForm6 form(link());
    script.answer(dir.file("LANG/Francais.lng"));
    section = {{1, "Datei"}};
    form.Button21.click();
    EXPECT_EQ(form.Edit2.text(), "Francais.lng");
    EXPECT_EQ(readBytes(dir.path() / "LANG" / "default.ini"), "Francais.lng\r\n");
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(form.TabSheet1.caption(), "Datei");
    EXPECT_EQ(form.Play.caption(), "Jouer") << "entries the new section lacks keep their texts";

    form.Edit2.setText("Missing.lng");
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(readBytes(dir.path() / "LANG" / "default.ini"), "Francais.lng\r\n");
}

TEST_F(SynchronizerWindow, ChoosingAFileShowsWhatItsHeadersHold) {
    const std::string path = delayedFile();
    TForm6 form(link());
    script.answer(path);
    form.Button1.click();
    EXPECT_EQ(form.Edit1.text(), path);
    EXPECT_EQ(form.Synch.CurrentFile, path);
    EXPECT_EQ(form.VFredit.caption(), "25.0000");
    EXPECT_EQ(form.NewVFrate.text(), "25.0000");
    EXPECT_EQ(form.position.caption(), "400");
    EXPECT_EQ(form.NewStart.text(), "400");
    EXPECT_EQ(form.vsl.caption(), "   1.00");
    EXPECT_EQ(form.SaveDialog1.fileName, dir.file("movie_New.avi"));
    EXPECT_TRUE(form.Untouched);
    EXPECT_TRUE(form.Button4.enabled());
    EXPECT_FALSE(form.Set1.enabled());
    EXPECT_TRUE(script.texts("error").empty());
}

TEST_F(SynchronizerWindow, ReadOnlyFileIsRefused) {
    const std::string path = delayedFile();
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    TForm6 form(link());
    form.Edit1.setText(path);
    EXPECT_EQ(form.Edit1.text(), "");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"lecture seule", "lecture seule"}));
}

TEST_F(SynchronizerWindow, TestPatchesTheHeadersInPlace) {
    const std::string path = delayedFile();
    TForm6 form(link());
    form.Edit1.setText(path);
    form.NewVFrate.setText("23.976");
    form.sign.setText("-");
    form.NewStart.setText("200"); // as the user types it
    EXPECT_FALSE(form.Untouched);
    form.SetNew.click();
    const Fields fields = fieldsOf(path);
    EXPECT_EQ(fields.videoScale, 10000u);
    EXPECT_EQ(fields.videoRate, 239760u);
    EXPECT_EQ(fields.videoStart, 5u) << "-200 ms at the file's 25 fps";
    EXPECT_EQ(fields.audioStart, 0u);
    EXPECT_TRUE(form.Previewing) << "the test starts the preview";
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(SynchronizerWindow, ShortDelayIsAskedAboutFirst) {
    const std::string path = delayedFile();
    section.push_back({86, "short"});
    section.push_back({87, "sure?"});
    TForm6 form(link());
    form.Edit1.setText(path);
    const std::string before = readBytes(path);
    form.NewStart.setText("50");
    script.answerNo();
    form.SetNew.click();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].kind, "question");
    EXPECT_EQ(script.shown()[0].text, "short\r\nsure?");
    EXPECT_EQ(readBytes(path), before);

    form.NewStart.setText("100");
    form.SetNew.click();
    EXPECT_EQ(script.shown().size(), 1u) << "100 ms is not asked about";
    EXPECT_EQ(fieldsOf(path).audioStart, 4800u);
}

TEST_F(SynchronizerWindow, TestWithoutAFileSaysSo) {
    section.push_back({85, "choose first"});
    TForm6 form(link());
    form.SetNew.click();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"choose first"}));
}

TEST_F(SynchronizerWindow, ClosingAfterADelayTestResetsTheFileToWhatItHeld) {
    const std::string path = delayedFile();
    const std::string original = readBytes(path);
    section.push_back({115, "reset"});
    TForm6 form(link());
    form.show();
    form.Edit1.setText(path);
    form.NewStart.setText("1000");
    form.SetNew.click();
    EXPECT_EQ(fieldsOf(path).audioStart, 48000u);

    script.answerNo();
    EXPECT_FALSE(form.close());
    EXPECT_EQ(form.PageControl1.pageIndex(), 5) << "No shows the Remux AVI tab";

    script.answerYes();
    EXPECT_TRUE(form.close());
    const Fields fields = fieldsOf(path);
    EXPECT_EQ(fields.audioStart, 19200u) << "the file's own 400 ms delay comes back";
    EXPECT_EQ(fields.videoStart, 0u);
    EXPECT_EQ(static_cast<double>(fields.videoRate) / fields.videoScale, 25.0);
    EXPECT_EQ(script.texts("information"), (std::vector<std::string>{"reset"}));
    EXPECT_EQ(readBytes(path), original) << "every header field as it was";
}

// A test that changed only the frame rate, or only the delay's sign, or one the evaluator ran, still
// leaves the file patched: closing asks, and Yes puts the file back as it was.
TEST_F(SynchronizerWindow, ClosingAfterAnyTestOffersTheReset) {
    section.push_back({115, "reset"});
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        const std::string path = delayedFile();
        const std::string original = readBytes(path);
        script.clearShown();
        TForm6 form(link());
        form.show();
        form.Edit1.setText(path);
        if (variant == 0) {
            form.NewVFrate.setText("23.976");
            form.SetNew.click();
        } else if (variant == 1) {
            form.sign.setText("-");
            form.SetNew.click();
        } else {
            form.nf.setCaption("24.5");
            form.nd.setCaption("-400");
            form.nfo.setCaption("24.5");
            form.Button20.click();
        }
        ASSERT_NE(readBytes(path), original) << "the test patched the file";
        script.answerYes();
        EXPECT_TRUE(form.close());
        EXPECT_EQ(script.texts("question").size(), 1u);
        EXPECT_EQ(readBytes(path), original);
    }
}

TEST_F(SynchronizerWindow, ClosingWithoutATestAsksNothing) {
    const std::string path = delayedFile();
    TForm6 form(link());
    form.show();
    form.Edit1.setText(path);
    form.NewStart.setText("1000"); // typed but never tested
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(SynchronizerWindow, AutotestStepsThroughTheDelaySeries) {
    const std::string path = delayedFile();
    TForm6 form(link());
    form.Edit1.setText(path);
    form.Autosynch.setChecked(true);
    EXPECT_TRUE(form.Next.enabled());
    form.autodelay.setChecked(true);
    form.delay1.setText("-200");
    form.delay2.setText("200");
    form.delaystep.setText("100");
    std::vector<std::pair<uint32_t, uint32_t>> starts; // video, audio
    for (int step = 0; step < 5; ++step) {
        form.Next.click();
        EXPECT_TRUE(form.Previewing);
        const Fields fields = fieldsOf(path);
        starts.emplace_back(fields.videoStart, fields.audioStart);
    }
    EXPECT_EQ(starts,
              (std::vector<std::pair<uint32_t, uint32_t>>{{5, 0}, {2, 0}, {0, 0}, {0, 4800}, {0, 9600}}));
    EXPECT_TRUE(form.Autotest.AutotestDone);
    form.Next.click();
    EXPECT_FALSE(form.Previewing) << "a finished series only stops the preview";
    EXPECT_EQ(fieldsOf(path).audioStart, 9600u);

    form.delay1.setText("0");
    EXPECT_FALSE(form.Autotest.AutotestDone) << "a change starts the series anew";
}

TEST_F(SynchronizerWindow, AutotestStepsThroughTheFrameRateSeries) {
    const std::string path = delayedFile();
    TForm6 form(link());
    form.Edit1.setText(path);
    form.autofps.setChecked(true);
    form.fps1.setText("23.970");
    form.fps2.setText("23.990");
    form.fpsstep.setText("0.010");
    std::vector<std::string> played;
    for (int step = 0; step < 6 && !form.Autotest.AutotestDone; ++step) {
        form.Next.click();
        played.push_back(form.NewVFrate.text());
    }
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[0], "23.97000");
    EXPECT_EQ(played[2], "23.99000");
    EXPECT_EQ(fieldsOf(path).videoRate, played.size() == 3 ? 239900u : 240000u);

    section.push_back({83, " bad"});
    form.AssignLangage();
    form.fps1.setText("2x");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"2x bad"}));
}

TEST_F(SynchronizerWindow, EvaluatorProposesAndTestsAFrameRate) {
    const std::string path = delayedFile();
    TForm6 form(link());
    form.Edit1.setText(path);
    form.sel.setCaption("00:00:10.00 <==> 00:00:20.00");
    form.NewStart.setText("0");
    form.Button10.click();
    form.sel.setCaption("00:01:40.00 <==> 00:01:50.00");
    form.NewStart.setText("1000");
    form.Button11.click();
    EXPECT_EQ(form.TimeDelay1.caption(), "00:00:10.00");
    EXPECT_EQ(form.fpsdelay2.caption(), "1000");
    form.Button17.click();
    EXPECT_EQ(form.nfo.caption(), "25.2525");
    EXPECT_EQ(form.NewStart.text(), "400") << "the evaluator reads the header again";

    form.Button20.click();
    EXPECT_EQ(form.PageControl1.pageIndex(), 1);
    EXPECT_EQ(fieldsOf(path).videoRate, 252525u);
    EXPECT_EQ(fieldsOf(path).audioStart, 0u);
}

TEST_F(SynchronizerWindow, MuxWithoutDelayOrSplitOnlyPatchesTheSource) {
    const std::string path = delayedFile();
    section.push_back({99, "nothing to remux"});
    section.push_back({101, "done"});
    TForm6 form(link());
    form.Edit1.setText(path);
    form.NewVFrate.setText("23.976");
    form.NewStart.setText("0");
    form.go.click();
    EXPECT_EQ(script.texts("information"), (std::vector<std::string>{"nothing to remux", "done"}));
    const Fields fields = fieldsOf(path);
    EXPECT_EQ(fields.videoRate, 239760u);
    EXPECT_EQ(fields.audioStart, 0u) << "the source carries zero start fields";
    EXPECT_EQ(form.NewStart.text(), "0");
    EXPECT_TRUE(form.go.enabled());
}

TEST_F(SynchronizerWindow, MuxWritesTheDelayedFileAndAsksForAMissingFolder) {
    const std::string path = delayedFile();
    section.push_back({95, "missing: "});
    section.push_back({96, "create?"});
    section.push_back({97, "no folder"});
    section.push_back({98, "no destination"});
    section.push_back({101, "done"});
    TForm6 form(link());
    form.Edit1.setText(path);
    form.NewStart.setText("500");
    form.go.click();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"no destination"}));
    EXPECT_EQ(form.NewStart.text(), "500") << "the delay text comes back after the patch";

    script.clearShown();
    const std::string output = dir.file("out/movie_New.avi");
    form.davi.setText(output);
    script.answerNo();
    form.go.click();
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"missing: " + dir.file("out/") + "\r\ncreate?", "no folder"}));
    EXPECT_FALSE(platform::core::fileExists(output));

    script.clearShown();
    script.answerYes();
    form.Untouched = false;
    form.go.click();
    EXPECT_EQ(script.texts("information"), (std::vector<std::string>{"done"}));
    EXPECT_TRUE(platform::core::fileExists(output));
    EXPECT_TRUE(form.Untouched);
    EXPECT_EQ(form.vpb.position(), 100);
}

// The window frees itself on close, as the main window opens it; the user closes it while the remux
// pumps its events. It goes only after the job and its closing box are done with it.
TEST_F(SynchronizerWindow, ClosedDuringTheMuxGoesAfterTheJob) {
    const std::string path = delayedFile();
    section.push_back({101, "done"});
    auto* form = new TForm6(link());
    QPointer<QMainWindow> window = form->window();
    form->onClose = [own = form->onClose](platform::ui::CloseAction& action) {
        if (own)
            own(action);
        action = platform::ui::CloseAction::Free;
    };
    form->show();
    form->Edit1.setText(path);
    form->NewStart.setText("500");
    form->davi.setText(dir.file("movie_New.avi"));
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [form] { form->close(); }, Qt::QueuedConnection);
    // The real "Stopped" box runs its own event loop inside the job.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { platform::ui::processMessages(); }, Qt::QueuedConnection);
    script.answerYes(); // the reset at close
    form->go.click();
    EXPECT_TRUE(window) << "freed while its handler ran";
    EXPECT_FALSE(form->isShowing());
    platform::ui::processMessages();
    EXPECT_FALSE(window);
}

TEST_F(SynchronizerWindow, AFailedMuxSaysSoAndNotThatTheUserStoppedIt) {
    TinyAviSpec spec;
    spec.frames.assign(25, "abcdefgh");
    spec.withAudio = false;
    const std::string path = dir.file("silent.avi");
    writeBytes(path, kes::test::tinyAvi(spec));
    section.push_back({92, "no audio"});
    section.push_back({100, "stopped by the user"});
    section.push_back({101, "done"});
    TForm6 form(link());
    form.Edit1.setText(path);
    form.NewStart.setText("500");
    form.davi.setText(dir.file("movie_New.avi"));
    script.clearShown();
    form.go.click();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"no audio"});
    EXPECT_EQ(script.texts("information"), std::vector<std::string>{RemuxFailedText});
    EXPECT_TRUE(form.go.enabled());
}

// While a join runs, "Mux" does nothing and the remux's "Stop" does not stop the join.
TEST_F(SynchronizerWindow, OneJobAtATime) {
    const std::string path = delayedFile();
    section.push_back({100, "stopped by the user"});
    section.push_back({101, "done"});
    TForm6 form(link());
    form.Edit1.setText(path);
    form.NewStart.setText("500");
    form.davi.setText(dir.file("movie_New.avi"));
    form.memo2.addItem(path);
    form.memo2.addItem(path);
    form.JoinAll.setEnabled(true);
    form.Destjoin.setText(dir.file("joined.avi"));
    bool goEnabledDuringJoin = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&form, &goEnabledDuringJoin] {
            goEnabledDuringJoin = form.go.enabled();
            form.goClick();
            form.breakstopClick();
        },
        Qt::QueuedConnection);
    script.clearShown();
    form.JoinAll.click();
    EXPECT_FALSE(goEnabledDuringJoin);
    EXPECT_EQ(script.texts("information"), std::vector<std::string>{"done"});
    EXPECT_FALSE(platform::core::fileExists(dir.file("movie_New.avi")));
    EXPECT_TRUE(platform::core::fileExists(dir.file("joined.avi")));
    EXPECT_TRUE(form.go.enabled());
    EXPECT_TRUE(form.JoinAll.enabled());
}

// Every caption shows whole at the toolkit's own font, and every tab shows without scroll arrows.
TEST_F(SynchronizerWindow, EveryCaptionFits) {
    languageFound = false; // the captions as designed
    TForm6 form(link());
    form.show();
    platform::ui::processMessages();
    EXPECT_EQ(kes::test::clippedCaptions(form.client()), std::vector<std::string>{});
    if (const char* shots = std::getenv("KES_SCREENSHOTS"))
        for (int i = 0; i < form.PageControl1.pageCount(); ++i) {
            form.PageControl1.setPageIndex(i);
            platform::ui::processMessages();
            platform::ui::grabToPng(form, std::string(shots) + "/synch" + std::to_string(i) + ".png");
        }
}

TEST_F(SynchronizerWindow, JoinListOrderAndChecks) {
    section.push_back({106, "empty list"});
    section.push_back({107, "no destination"});
    TForm6 form(link());
    form.JoinAll.click();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"empty list"}));
    script.answer("/a.avi\n/b.avi\n/c.avi");
    form.AddFile.click();
    EXPECT_EQ(form.memo2.items(), (std::vector<std::string>{"/a.avi", "/b.avi", "/c.avi"}));
    EXPECT_TRUE(form.JoinAll.enabled());
    form.memo2.setSelected(0, true);
    form.SpeedButton2.click();
    EXPECT_EQ(form.memo2.item(0), "/a.avi") << "the first item does not move up";
    form.SpeedButton3.click();
    EXPECT_EQ(form.memo2.items(), (std::vector<std::string>{"/b.avi", "/a.avi", "/c.avi"}));
    EXPECT_TRUE(form.memo2.selected(1));
    form.erase.click();
    EXPECT_EQ(form.memo2.items(), (std::vector<std::string>{"/b.avi", "/c.avi"}));
    EXPECT_TRUE(form.memo2.selected(0));
    form.JoinAll.click();
    EXPECT_EQ(script.texts("error").back(), "no destination");
    form.erase.click();
    form.erase.click();
    EXPECT_FALSE(form.JoinAll.enabled());
}

TEST_F(SynchronizerWindow, KeyFiltersOfTheEdits) {
    TForm6 form(link());
    const auto typed = [](ui::Control& control, char key) {
        control.onKeyPress(key);
        return key;
    };
    EXPECT_EQ(typed(form.NewStart, 'a'), 0);
    EXPECT_EQ(typed(form.NewStart, '5'), '5');
    EXPECT_EQ(typed(form.delay1, '-'), '-');
    EXPECT_EQ(typed(form.fps1, '-'), 0);
    EXPECT_EQ(typed(form.sign, '\b'), 0);
    EXPECT_EQ(typed(form.gototime, ':'), ':');
    EXPECT_EQ(typed(form.gotoframe, ':'), 0);
}

// "Go to" by time takes the frame at that time for the player's rate; a time that is not above zero
// or is malformed resets the edit and goes to frame 0; a time beyond the end is refused.
TEST_F(SynchronizerWindow, GoToByTimeUsesThePlayersRate) {
    script.answerOk();
    TForm6 form(link());
    form.FrameCount = 3000;
    form.PlayerFps = 23.976;
    form.timeb.setChecked(true);
    form.gototime.setText("00:01:00");
    form.Button9.click();
    EXPECT_EQ(form.FramePos, 1439); // 60 s x 23.976, rounded
    form.gototime.setText("0:1:00");
    form.Button9.click();
    EXPECT_EQ(form.FramePos, 0);
    EXPECT_EQ(form.gototime.text(), "00:00:00");
    form.FramePos = 7;
    form.gototime.setText("00:05:00");
    form.Button9.click();
    EXPECT_EQ(form.FramePos, 7);
    EXPECT_EQ(script.texts("error").size(), 1u);
}

} // namespace
} // namespace tools::synchronizer
