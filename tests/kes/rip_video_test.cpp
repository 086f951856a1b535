// The video step of a rip with fakes of the converters and the codec automation: the command lines,
// one and two passes, the automation started beside the converter, the rename of the converter's
// output, and the failures that end the rip without a report.
#include "rip_video_support.h"

#include <algorithm>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

class RipVideoTest : public test::RipVideoFixture {
protected:
    void SetUp() override {
        RipVideoFixture::SetUp();
        form->RipVid.setChecked(true);
    }
    // A converter fake that writes its output under the given name into the output folder.
    void converter(const std::string& program, const std::string& output, const std::string& more = {}) {
        fake(program, "write " + out + output + " converted\n" + more);
    }
};

TEST_F(RipVideoTest, OnePassConvertsAndRenamesTheOutput) {
    converter("mpeg2avipx3.exe", "movie.avi");
    launch();
    EXPECT_FALSE(RipAborted);
    const Lines converterRuns = runs("mpeg2avipx3.exe");
    ASSERT_EQ(converterRuns.size(), 1u);
    EXPECT_EQ(ExtCommand, form->TreatVidParams());
    EXPECT_TRUE(endsWith(converterRuns[0], loggedArguments(ExtCommand)));
    // The converter writes into the folder of the video AVI, named without its trailing "/".
    EXPECT_TRUE(endsWith(converterRuns[0], " [" + out.substr(0, out.size() - 1) + "]"));

    EXPECT_EQ(readBytes(out + "video.avi"), "converted");
    EXPECT_FALSE(fs::exists(out + "movie.avi"));
    EXPECT_GT(RipRecord.VideoStart, 0);
    EXPECT_GE(RipRecord.VideoEnd, RipRecord.VideoStart);
    EXPECT_EQ(RipRecord.RipStart, RipRecord.VideoStart);
    EXPECT_FALSE(RipRecord.freeBefore(FreeSlot::Video).empty());
    EXPECT_FALSE(RipRecord.freeAfter(FreeSlot::Video).empty());
    EXPECT_EQ(runs("divxauto.exe"), Lines{});
    EXPECT_EQ(reports(), 1u);
}

TEST_F(RipVideoTest, LatestConverterOutputIsTakenAndOtherFilesStay) {
    form->px3gui.setChecked(true);
    converter("m2apx3g.exe", "movie_1.avi");
    test::writeBytes(out + "movie.avi", "older movie");
    launch();
    EXPECT_EQ(runs("m2apx3g.exe").size(), 1u);
    EXPECT_EQ(readBytes(out + "video.avi"), "converted");
    EXPECT_EQ(readBytes(out + "movie.avi"), "older movie");
    EXPECT_EQ(reports(), 1u);
}

// A converter that ended without its output, or with a failing status, ends the rip naming itself
// and the file; nothing is renamed and no report follows.
TEST_F(RipVideoTest, AConverterThatLeftNoOutputEndsTheRip) {
    fake("mpeg2avipx3.exe");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_FALSE(fs::exists(out + "video.avi"));
    EXPECT_EQ(shown(),
              Lines{"error: The program mpeg2avipx3.exe ended without writing " + out + "movie.avi !"});
    EXPECT_EQ(reports(), 0u);

    script.clearShown();
    fake("mpeg2avipx3.exe", "write " + out + "movie.avi half a movie\nexit 2\n");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_FALSE(fs::exists(out + "video.avi"));
    EXPECT_EQ(shown(), Lines{"error: The program mpeg2avipx3.exe failed (exit status 2) : " + out +
                             "movie.avi can't be used !"});
}

TEST_F(RipVideoTest, DualOutputStartsBothAutomationsBesideTheConverter) {
    form->DivxAuto.setChecked(true);
    form->dual.setChecked(true);
    form->Codec.setTextSilent("DivX 4.x");
    form->pass2.setTextSilent("Low Motion");
    fake("divxauto.exe");
    fake("delayer.exe");
    // The dual output takes the latest converter's dual variant. The automations run while it does
    // (they are ended with its run).
    fake("m2apx3go.exe", "sleep 700\nwrite " + out + "movie_1.avi converted\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});

    ASSERT_TRUE(form->SetAutoDivXParam(1));
    const std::string first = ExtCommand;
    ASSERT_TRUE(form->SetAutoDivXParam(2));
    const std::string second = ExtCommand;
    const Lines automation = detachedRuns("divxauto.exe", 1);
    ASSERT_EQ(automation.size(), 1u);
    EXPECT_TRUE(endsWith(automation[0], loggedArguments(first)));
    // The second line reaches the delayer with its quotes turned into "@".
    const Lines delayed = detachedRuns("delayer.exe", 1);
    ASSERT_EQ(delayed.size(), 1u);
    std::string atSigns = second;
    std::replace(atSigns.begin(), atSigns.end(), '"', '@');
    EXPECT_TRUE(endsWith(delayed[0], loggedArguments(atSigns)));
    EXPECT_NE(delayed[0].find("@CB00:DivX"), std::string::npos);

    const Lines converterRuns = runs("m2apx3go.exe");
    ASSERT_EQ(converterRuns.size(), 1u);
    EXPECT_NE(converterRuns[0].find(" [-7] "), std::string::npos);
    EXPECT_EQ(readBytes(out + "video.avi"), "converted");
}

TEST_F(RipVideoTest, TwoPassesLeaveTheFirstPassChosen) {
    form->Codec.setTextSilent("DivX 4.x");
    form->pass2.setTextSilent("Low Motion");
    form->dual.setChecked(true);
    form->D4VBR.setText("2-pass, first pass");
    ASSERT_TRUE(form->proceed2.enabled());
    ASSERT_TRUE(form->proceed2.checked());
    fake("divxauto.exe");
    fake("delayer.exe");
    // The first pass leaves the codec's log, which the second pass needs.
    const std::string log = out + "final.log";
    converter("m2apx3go.exe", "movie_1.avi", "write " + log + " passes\n");
    // The second pass's automation runs while its converter does (it is ended with the run).
    converter("m2apx3g.exe", "movie_1.avi", "sleep 700\n");
    script.clearShown();
    launch();
    EXPECT_FALSE(RipAborted);

    const Lines firstPass = runs("m2apx3go.exe");
    ASSERT_EQ(firstPass.size(), 1u);
    EXPECT_NE(firstPass[0].find(" [-7] "), std::string::npos);
    // Only two DivX 4 outputs make a second pass each: this one makes one output.
    const Lines secondPass = runs("m2apx3g.exe");
    ASSERT_EQ(secondPass.size(), 1u);
    EXPECT_EQ(secondPass[0].find(" [-7] "), std::string::npos);
    EXPECT_FALSE(form->dual.checked());
    // The automation of the second pass starts although "DivX Auto" is not ticked.
    EXPECT_EQ(detachedRuns("divxauto.exe", 1).size(), 1u);
    EXPECT_EQ(runs("delayer.exe"), Lines{});
    EXPECT_EQ(form->D4VBR.text(), "2-pass, first pass");
    EXPECT_EQ(readBytes(out + "video.avi"), "converted");
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(reports(), 1u);
}

TEST_F(RipVideoTest, TwoDivX4OutputsKeepDualForTheSecondPass) {
    form->Codec.setTextSilent("DivX 4.x");
    form->pass2.setTextSilent("DivX 4.x");
    form->dual.setChecked(true);
    form->D4VBR.setText("2-pass, first pass");
    fake("divxauto.exe");
    fake("delayer.exe");
    converter("m2apx3go.exe", "movie_1.avi", "write " + out + "final.log passes\n");
    launch();
    EXPECT_TRUE(form->dual.checked());
    EXPECT_EQ(detachedRuns("delayer.exe", 1).size(), 1u);
    const Lines converterRuns = runs("m2apx3go.exe");
    ASSERT_EQ(converterRuns.size(), 2u);
    EXPECT_NE(converterRuns[1].find(" [-7] "), std::string::npos);
    EXPECT_EQ(readBytes(out + "video.avi"), "converted");
}

TEST_F(RipVideoTest, AutomationThatCannotStartEndsTheRip) {
    form->DivxAuto.setChecked(true);
    form->Codec.setTextSilent("DivX 4.x");
    converter("mpeg2avipx3.exe", "movie.avi");
    // extern/ holds an empty "DivxAuto.exe": nothing that can run.
    launch();
    EXPECT_TRUE(RipAborted);
    ASSERT_EQ(script.texts("error").size(), 1u);
    EXPECT_EQ(script.texts("error")[0].rfind("Can't start the program :\r\n", 0), 0u);
    EXPECT_EQ(runs("mpeg2avipx3.exe"), Lines{});
    EXPECT_EQ(reports(), 0u);
}

TEST_F(RipVideoTest, KeyFramesThatAreNoNumberEndTheRipBeforeAnyStart) {
    form->DivxAuto.setChecked(true);
    form->Codec.setTextSilent("DivX 4.x");
    form->kframe.setText("ten");
    fake("divxauto.exe");
    converter("mpeg2avipx3.exe", "movie.avi");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error").size(), 1u);
    EXPECT_EQ(runs("mpeg2avipx3.exe"), Lines{});
    EXPECT_EQ(runs("divxauto.exe"), Lines{});
    EXPECT_EQ(reports(), 0u);

    // A multi-rip ends the same way, without a box.
    clearLogs();
    script.clearShown();
    {
        const TForm1::Unattended unattended(*form);
        launch();
        EXPECT_EQ(unattended.said().size(), 1u);
    }
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(runs("mpeg2avipx3.exe"), Lines{});
}

TEST_F(RipVideoTest, ConverterThatCannotStartEndsTheRip) {
    // extern/ holds an empty "mpeg2avipx3.exe": nothing that can run.
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(reports(), 0u);
}

} // namespace
} // namespace kes
