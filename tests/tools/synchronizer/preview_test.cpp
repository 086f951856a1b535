// The "Preview" tab through the filter graph, on AVI files written by libavformat and by the
// project's own writer: sound in the graph, ranges, zoom, full screen and its key receiver, seeking,
// the decoder's property pages, a tested delay, the closed video window and bad files.

#include "tools/synchronizer/tform6.h"

#include "platform/dshow/filters/sound_renderer.h"
#include "platform/dshow/filters/video_renderer.h"
#include "platform/dshow/filters/video_window.h"
#include "platform/ui/dialog_script.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tools::synchronizer {
namespace {

using kes::test::MovieSpec;
using kes::test::TempDir;
using platform::ui::testing::DialogScript;
namespace filters = platform::dshow::filters;

constexpr int64_t Ms = PreviewUnitsPerSecond / 1000;

void pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

template <typename T>
T* graphFilter(TForm6& form, const char16_t* name) {
    platform::com::ComPtr<platform::dshow::IBaseFilter> found;
    form.preview()->PreviewGraph->FindFilterByName(name, found.put());
    return found ? dynamic_cast<T*>(found.get()) : nullptr;
}

class SynchronizerPreview : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KESTROVA_SOUND_DEVICE", "none", 1);
        std::string error;
        ASSERT_TRUE(kes::test::writeMovie(path, MovieSpec{}, &error)) << error;
    }

    MainWindowLink link() {
        MainWindowLink result;
        result.programFolder = dir.str();
        result.loadLanguageSection = [](std::vector<SectionText>& entries) {
            entries = {{78, "Bad time"}, {85, "No file"}};
            return true;
        };
        return result;
    }

    TempDir dir{"kes-synch-preview"};
    std::string path = dir.file("movie.avi");
    DialogScript script;
};

TEST_F(SynchronizerPreview, PlaysARangeWithItsSoundZoomsAndEndsAtTheRange) {
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.ranges.addItem("00:00:00.40 <==> 00:00:00.80");
    form.copyranges.addItem("00:00:00.40 <==> 00:00:00.80");
    form.ranges.setSelected(0, true);
    form.rangesClick();
    ASSERT_FALSE(form.freeplay.checked());

    form.Play.click();
    ASSERT_TRUE(form.Previewing);
    ASSERT_NE(form.preview(), nullptr);
    ASSERT_TRUE(form.preview()->rendered);
    EXPECT_NE(graphFilter<filters::SoundRendererFilter>(form, u"Sound Renderer"), nullptr);
    auto* renderer = graphFilter<filters::VideoRendererFilter>(form, u"Video Renderer");
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(renderer->window()->windowTitle().toStdString(), "Synchronizer Preview");
    EXPECT_EQ(renderer->window()->x(), 8);
    EXPECT_EQ(form.avil.caption(), "00:00:02");
    EXPECT_EQ(form.RangeStart, 400 * Ms);
    EXPECT_EQ(form.RangeStop, 800 * Ms);
    EXPECT_EQ(form.preview()->stopPosition(), 800 * Ms);
    EXPECT_GE(form.preview()->currentPosition(), 400 * Ms);

    form.tb2.setPosition(150);
    EXPECT_EQ(form.Label28.caption(), "+50%");
    EXPECT_EQ(renderer->window()->width(), 240);
    EXPECT_EQ(renderer->window()->height(), 180);

    // Full screen: the keys typed into the video window go to "ms", whose ESC leaves it.
    form.fullClick();
    EXPECT_TRUE(form.preview()->fullScreen());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    QApplication::sendEvent(renderer->window(), &escape);
    EXPECT_FALSE(form.preview()->fullScreen());

    QElapsedTimer timer;
    timer.start();
    while (form.Previewing && timer.elapsed() < 3000) {
        pump(50);
        form.Timer1Timer();
    }
    EXPECT_FALSE(form.Previewing) << "the end of the range closes the preview";
    EXPECT_EQ(form.preview(), nullptr);
}

TEST_F(SynchronizerPreview, FreePlayRunsToTheEndAndTheScrollBarSeeksToAKeyFrame) {
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Play.click();
    ASSERT_TRUE(form.Previewing);
    EXPECT_EQ(form.preview()->stopPosition(), 2000 * Ms);
    form.ScrollBar1.setPosition(55); // 1.1 s: the key frame before is frame 20, at 0.8 s
    form.ScrollBar1Scroll();
    const int64_t landed = form.preview()->currentPosition();
    EXPECT_GE(landed, 800 * Ms);
    EXPECT_LT(landed, 900 * Ms);
    QElapsedTimer timer;
    timer.start();
    while (form.Previewing && timer.elapsed() < 3000) {
        pump(50);
        form.Timer1Timer();
    }
    EXPECT_FALSE(form.Previewing) << "the end of the file closes the preview";
}

TEST_F(SynchronizerPreview, PropertiesOpenThePagesOfTheDecoderOrOfTheThirdFilter) {
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Play.click();
    ASSERT_TRUE(form.Previewing);
    ASSERT_TRUE(form.preview()->DecoderFilter);
    platform::dshow::FILTER_INFO info{};
    form.preview()->DecoderFilter->QueryFilterInfo(&info);
    if (info.pGraph)
        info.pGraph->Release();
    // Without the DivX decoder the graph has source, stock decompressor, video renderer, ...
    EXPECT_EQ(std::u16string(info.achName), u"Video Renderer");
    form.Button18.click();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].kind, "properties");
    EXPECT_EQ(script.shown()[0].caption, "Video Renderer");
    form.Stop.click();
    EXPECT_EQ(form.preview(), nullptr);
}

TEST_F(SynchronizerPreview, WithTheDivXDecoderInstalledItsPagesOpen) {
    const char* program = std::getenv("KES_PROGRAM_DIR");
    ASSERT_NE(program, nullptr);
    const std::filesystem::path module = std::filesystem::path(program) / "system" / "divxdec.ax";
    ASSERT_TRUE(std::filesystem::exists(module)) << "the DivX decoder module is built first";
    std::filesystem::create_directories(dir.path() / "system");
    std::filesystem::copy_file(module, dir.path() / "system" / "divxdec.ax");
    unsetenv("KESTROVA_SYSTEM_DIR");
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Play.click();
    ASSERT_TRUE(form.Previewing);
    ASSERT_TRUE(form.preview()->DecoderFilter);
    platform::dshow::FILTER_INFO info{};
    form.preview()->DecoderFilter->QueryFilterInfo(&info);
    if (info.pGraph)
        info.pGraph->Release();
    EXPECT_EQ(std::u16string(info.achName), u"DivX MPEG-4 MPG Video Decompressor ");
    pump(200);
    form.Button18.click();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].caption, "DivX MPEG-4 MPG Video Decompressor ");
    EXPECT_EQ(script.shown()[0].text, "Decoder");
    form.Stop.click();
}

TEST_F(SynchronizerPreview, ATestedDelayPlaysTheSoundThatMuchLater) {
    TForm6 form(link());
    form.Edit1.setText(path);
    form.sign.setText("+");
    form.NewStart.setText("400");
    form.SetNewClick();
    ASSERT_TRUE(form.Previewing);
    // The sound now ends 400 ms after the video: the movie is that much longer.
    EXPECT_GE(form.preview()->duration(), 2300 * Ms);
    EXPECT_EQ(form.avil.caption(), "00:00:02");
    form.Stop.click();
}

TEST_F(SynchronizerPreview, ClosingTheVideoWindowStopsThePreviewAndKeepsItsPlace) {
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Play.click();
    ASSERT_TRUE(form.Previewing);
    auto* renderer = graphFilter<filters::VideoRendererFilter>(form, u"Video Renderer");
    ASSERT_NE(renderer, nullptr);
    renderer->window()->move(30, 40);
    renderer->window()->close();
    form.Timer1Timer();
    EXPECT_FALSE(form.Previewing);
    EXPECT_EQ(form.preview(), nullptr);
    EXPECT_EQ(form.PreviewLeft, 30);
    EXPECT_EQ(form.PreviewTop, 40);
}

TEST_F(SynchronizerPreview, ClosingTheWindowDuringPlayIsSafe) {
    auto form = std::make_unique<TForm6>(link());
    form->Edit1.setTextSilent(path);
    form->Play.click();
    ASSERT_TRUE(form->Previewing);
    pump(200);
    form.reset();
    pump(50);
}

TEST_F(SynchronizerPreview, AMissingDecoderIsReportedAndTheSoundStillPlays) {
    ASSERT_TRUE(kes::test::setVideoFourcc(path, "WMV3")); // no decoder here
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Play.click();
    ASSERT_EQ(script.texts("error").size(), 1u);
    EXPECT_EQ(script.texts("error")[0], "No decoder for the video format WMV3 !");
    ASSERT_TRUE(form.Previewing);
    EXPECT_NE(graphFilter<filters::SoundRendererFilter>(form, u"Sound Renderer"), nullptr);
    form.Stop.click();
}

} // namespace
} // namespace tools::synchronizer
