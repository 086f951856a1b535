// The report step of the main window: the log file's name and content, the box, the shutdown requested
// once instead of the box, the multi-rip that shows nothing, and a log that cannot be written.
#include "kes/rip_record.h"
#include "kes/rip_report.h"
#include "tests/kes/rip_form_fixture.h"

#include "platform/core/clock.h"

#include <chrono>
#include <thread>

namespace kes {
namespace {

namespace fs = std::filesystem;
namespace core = platform::core;
using test::readBytes;
using test::writeBytes;

class ReportStepTest : public test::RipFormTest {
protected:
    ReportStepTest() {
        RipRecord = TRipRecord{};
        RipRecord.RipStart = core::encodeDateTime(2026, 3, 14, 10, 5, 7);
        RipRecord.RipEnd = core::encodeDateTime(2026, 3, 14, 11, 0, 0);
        form->log.setChecked(true);
        form->Shut.setChecked(false);
        form->ProfileEdit.setText("My:Movie/1");
    }
    ~ReportStepTest() override { RipRecord = TRipRecord{}; }

    std::vector<fs::path> logFiles() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder.path() / "Logs"))
            files.push_back(entry.path());
        return files;
    }
    std::vector<platform::ui::testing::ShownBox> reports() const {
        std::vector<platform::ui::testing::ShownBox> found;
        for (const auto& box : script.shown()) {
            if (box.caption == "Kestrova LOG")
                found.push_back(box);
        }
        return found;
    }
    static size_t shutdownsIn(const std::string& text) {
        size_t n = 0;
        for (size_t at = text.find("[shutdown]"); at != std::string::npos;
             at = text.find("[shutdown]", at + 1))
            ++n;
        return n;
    }
    static std::string recorderLog() {
        const char* log = std::getenv("KES_RECORDER_LOG");
        return log && fs::exists(log) ? readBytes(log) : std::string();
    }
};

TEST_F(ReportStepTest, LogIsWrittenAndTheReportShown) {
    form->Statistics();
    const auto shown = reports();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "plain");
    EXPECT_TRUE(shown[0].text.starts_with("My:Movie/1\r\n"));
    EXPECT_TRUE(shown[0].text.ends_with("00:54:53"));

    const auto files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    std::string date = core::shortDateText(core::now());
    for (char& ch : date) {
        if (ch == '/' || ch == ':')
            ch = '_';
    }
    EXPECT_EQ(files[0].filename().string(), "My_Movie_1_D" + date + "_T10_05_07.log");
    EXPECT_EQ(readBytes(files[0]), shown[0].text);
}

TEST_F(ReportStepTest, ShutdownIsRequestedOnceAndNothingShown) {
    const std::string before = recorderLog();
    form->Shut.setChecked(true);
    form->Statistics();
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(logFiles().size(), 1u); // the log is written before the machine goes off

    std::string after = recorderLog();
    for (int i = 0; i < 100 && shutdownsIn(after) == shutdownsIn(before); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        after = recorderLog();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // room for a second request to show
    EXPECT_EQ(shutdownsIn(recorderLog()) - shutdownsIn(before), 1u);
}

TEST_F(ReportStepTest, MultiRipShowsNothing) {
    form->log.setChecked(false);
    {
        const TForm1::Unattended unattended(*form); // as during a multi-rip
        form->Statistics();
        EXPECT_TRUE(unattended.said().empty());
    }
    EXPECT_TRUE(script.shown().empty());
    EXPECT_TRUE(logFiles().empty());

    // "Use that list" ticked alone is no multi-rip: the single rip shows its report.
    form->usemulti.setCheckedSilent(true);
    form->Statistics();
    EXPECT_EQ(script.shown().size(), 1u);
}

TEST_F(ReportStepTest, LogThatCannotBeWrittenStopsTheBoxAndTheShutdown) {
    const std::string before = recorderLog();
    fs::remove_all(folder.path() / "Logs");
    writeBytes(folder.path() / "Logs", "a file where the folder was");
    form->Shut.setChecked(true);
    form->Statistics();
    EXPECT_EQ(script.texts("error").size(), 1u);
    EXPECT_TRUE(reports().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(shutdownsIn(recorderLog()), shutdownsIn(before));
}

TEST_F(ReportStepTest, FinishedRipReportsAndAnAbortedOneDoesNot) {
    form->log.setChecked(false);
    form->Launchrip();
    EXPECT_EQ(reports().size(), 1u);

    script.clearShown();
    form->Vobfile.setTextSilent(at("missing/VTS_01_1.VOB"));
    form->RipVid.setChecked(true); // the rip needs its first VOB, which is missing
    form->LaunchClick();
    EXPECT_TRUE(RipAborted);
    EXPECT_TRUE(reports().empty());
}

TEST_F(ReportStepTest, EncodingSpeedReadsTheAviFrameCount) {
    std::string avi(56, '\0');
    const uint32_t frames = 3300; // over the rip's 3293 seconds
    for (int i = 0; i < 4; ++i)
        avi[static_cast<size_t>(AviTotalFramesOffset + i)] = static_cast<char>(frames >> (8 * i) & 0xFF);
    form->AVIFile.setText(make("movie.avi", avi));
    form->fps.setText("25");
    EXPECT_EQ(form->ReadFrameRate(), "1.0");
    form->AVIFile.setText(at("none.avi"));
    EXPECT_EQ(form->ReadFrameRate(), "");
}

} // namespace
} // namespace kes
