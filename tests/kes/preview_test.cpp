// The "m2a.bat" first-line parser, the preview with a fake converter, and the command lines built
// from the main window's controls.
#include "rip_form_fixture.h"

#include "kes/m2a_bat.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

TEST(M2aBatLine, WorkedExample) {
    const OnScreenSizes s =
        parseM2aFirstLine("m2apx3g.exe -b \"/dvd/vob.lst\" -1 016 008 -3X 640 -3Y 352 -o6");
    EXPECT_EQ(s.xCrop, "016");
    EXPECT_EQ(s.yCrop, "008");
    EXPECT_EQ(s.xSize, "640");
    EXPECT_EQ(s.ySize, "352");

    const OnScreenSizes crop = parseM2aFirstLine("-1 720 432");
    EXPECT_EQ(crop.xCrop, "720");
    EXPECT_EQ(crop.yCrop, "432");
    EXPECT_FALSE(crop.xSize || crop.ySize);
}

TEST(M2aBatLine, OnlyWholeItemsCount) {
    // "-1" inside a path, or "-3X" glued to its value, is no item.
    OnScreenSizes s = parseM2aFirstLine("x.exe -b \"/m/vts-1 2/vob.lst\" -3X640 -3Y\t352");
    EXPECT_FALSE(s.xCrop || s.yCrop || s.xSize);
    EXPECT_EQ(s.ySize, "352");
    // Wider or narrower numbers are taken whole; anything else is refused.
    s = parseM2aFirstLine("-3X 1024 -3Y 96 -1 704");
    EXPECT_EQ(s.xSize, "1024");
    EXPECT_EQ(s.ySize, "96");
    EXPECT_FALSE(s.xCrop || s.yCrop); // the crop needs both values
    s = parseM2aFirstLine("-3X -3Y 64a -1 16 x8");
    EXPECT_FALSE(s.xSize || s.ySize || s.xCrop || s.yCrop);
    s = parseM2aFirstLine("-3X 123456 -3Y");
    EXPECT_FALSE(s.xSize || s.ySize);
    EXPECT_FALSE(parseM2aFirstLine("").xSize);
}

class PreviewTest : public test::RipFormTest {
protected:
    PreviewTest() {
        folder.installFake("m2apx3g.exe", "kes_fake_tool");
        vob = make("dvd/VTS_01_1.VOB", "VOB");
        form->Vobfile.setText(vob);
        form->fps.setText("25");
        form->PostFilter.setText("High Quality");
        form->RefQuality.setText("32-bit MMX32 IDCT");
        form->prevstart.setChecked(false);
        form->ForceDeint.setChecked(false);
        for (ui::CheckBox* box : {&form->DownX, &form->DownY, &form->Crop, &form->Halfres, &form->IVTC})
            box->setChecked(false);
        script.clearShown();
    }
    void fakeWrites(const std::string& firstLine) {
        writeBytes(folder.externDir() / "m2apx3g.exe.fake",
                   "write m2a.bat " + firstLine + "\\r\\nrem\\r\\n\n");
    }
    // The arguments of each run of the fake ("[cwd] [program] [args]...").
    std::string runs() const {
        const fs::path log = folder.externDir() / "m2apx3g.exe.log";
        return fs::exists(log) ? readBytes(log) : std::string();
    }
    std::string cwd() const { return "[" + fs::canonical(folder.externDir()).string() + "]"; }

    std::string vob;
};

TEST_F(PreviewTest, SizesChosenOnScreenAreTakenBack) {
    fakeWrites("m2apx3g.exe -1 016 008 -3X 640 -3Y 352");
    form->PreviewVidClick();

    EXPECT_EQ(runs(), cwd() + " [" + form->externDir() + "m2apx3g.exe] [-b] [" + folderOfData() +
                          "dvd/vob.lst] [-f2] [-q0] [-r1] [-o6]\n");
    EXPECT_TRUE(fs::exists(data.path() / "dvd" / "vob.lst"));
    EXPECT_TRUE(form->DownX.checked());
    EXPECT_TRUE(form->DownY.checked());
    EXPECT_TRUE(form->Crop.checked());
    EXPECT_EQ(form->XSize.text(), "640");
    EXPECT_EQ(form->YSize.text(), "352");
    EXPECT_EQ(form->XCrop.text(), "016");
    EXPECT_EQ(form->YCrop.text(), "008");
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(PreviewTest, SizesOfAnEarlierRunAreNotTaken) {
    writeBytes(folder.externDir() / "M2A.BAT", "-3X 640 -3Y 352\r\n");
    form->PreviewVidClick(); // the fake writes nothing
    EXPECT_FALSE(fs::exists(folder.externDir() / "M2A.BAT"));
    EXPECT_FALSE(form->DownX.checked() || form->DownY.checked() || form->Crop.checked());
    EXPECT_EQ(form->XSize.text(), "0");
}

TEST_F(PreviewTest, MistypedFirstVobRunsNothingOnTheFoldersOldList) {
    // The folder's list names an earlier title; the first VOB box names a file that is not there.
    const std::string oldList = "/other/title/VTS_02_1.VOB\r\n";
    writeBytes(data.path() / "dvd" / "vob.lst", oldList);
    writeBytes(folder.externDir() / "m2a.bat", "-3X 640 -3Y 352\r\n");
    form->Vobfile.setText(data.path().string() + "/dvd/VTS_01_9.VOB");
    script.clearShown();
    form->PreviewVidClick();
    form->directadjustClick();
    EXPECT_EQ(runs(), "");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"<20>", "<20>"}));
    EXPECT_EQ(readBytes(data.path() / "dvd" / "vob.lst"), oldList);
    EXPECT_FALSE(form->DownX.checked() || form->DownY.checked() || form->Crop.checked());
}

TEST_F(PreviewTest, UnreadableRangeIsLeftOut) {
    form->Range.setChecked(true);
    form->Range1.setText("00:01:00");
    form->Range2.setText("00:02");
    form->PreviewVidClick();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"<47> - <2>"});
    EXPECT_NE(runs().find("[-f2] [-q0] [-r1] [-o6]"), std::string::npos);
    EXPECT_EQ(runs().find("-#"), std::string::npos);
}

TEST_F(PreviewTest, ReversedRangeOrBadStartRunsNothing) {
    form->Range.setChecked(true);
    form->Range1.setText("00:02:00");
    form->Range2.setText("00:01:00");
    form->PreviewVidClick();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"<47>\r\n00:02:00 > 00:01:00"});
    EXPECT_EQ(runs(), "");

    script.clearShown();
    form->Range.setChecked(false);
    form->prevstart.setChecked(true);
    form->Min.setText("1O");
    form->PreviewVidClick();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"'1O' is not a valid integer value"});
    EXPECT_EQ(runs(), "");
}

TEST_F(PreviewTest, AdjustingRunWithARange) {
    fakeWrites("-1 720 432");
    form->Range.setChecked(true);
    form->Range1.setText("00:01:00");
    form->Range2.setText("00:02:00");
    form->ForceDeint.setChecked(true); // the adjusting run keeps its own program
    form->SetPrevParam(1);
    EXPECT_EQ(runs(), cwd() + " [" + form->externDir() + "m2apx3g.exe] [-b] [" + folderOfData() +
                          "dvd/vob.lst] [-#] [1500] [3000] [-f2] [-q0] [-r1] [-df] [-o6]\n");
    EXPECT_TRUE(form->ReadOnScreenSizes());
    EXPECT_TRUE(form->Crop.checked());
    EXPECT_EQ(form->XCrop.text(), "720");
    EXPECT_EQ(form->YCrop.text(), "432");
}

// The command lines take each control as it stands.
TEST_F(PreviewTest, CommandLinesFromTheControls) {
    form->AVIFile.setText("/out/movie.avi");
    form->px3gui.setChecked(true);
    form->fps.setText("29.970");
    form->Range.setChecked(true);
    form->Range1.setText("0:01:00");
    form->Range2.setText("00:02:00");
    form->Crop.setChecked(true);
    form->XCrop.setText("704");
    form->YCrop.setText("400");
    form->Output.setText("AVI - YUY2 - 4:2:2 ");
    EXPECT_EQ(form->TreatVidParams(),
              form->externDir() + "m2apx3g.exe -b \"" + folderOfData() +
                  "dvd/vob.lst\" -a -# 1798 3596 -f6 -q0 -r1 -1 704 400 -o9 \"/out\"");

    form->RipAll.setChecked(false);
    form->Samplerate.setText("44.1");
    form->WavFileEdit.setText("/w/one.wav");
    form->Wav2.setText("/w/two.wav");
    EXPECT_EQ(form->TreatAC3Dec("0x81", 2),
              "ac3dec.exe \"" + vob + "\" -substream 0x81 -overwrite -44100  -pcmwav \"/w/two.wav\"");

    form->Codec.setText("Low Motion");
    form->pass2.setText("DivX 4.x");
    form->DivFR.setText("653");
    form->DualBR.setText("1500");
    form->kframe.setText("10");
    form->D4VBR.setText("1-pass");
    form->FinalFile.setText("/f/Film.avi");
    ASSERT_TRUE(form->SetAutoDivXParam(2));
    EXPECT_EQ(ExtCommand, StartDir +
                              "/extern/divxauto.exe WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: "
                              "WI01: ED00:1500 ED06:250 \"CB01:1-pass\"  \"ED07:/out/Film.log\" BT00: WI00: "
                              "BT02: QU00:");
}

TEST_F(PreviewTest, KeyFrameTextThatIsNoIntegerStopsTheDivX4Line) {
    form->Codec.setText("DivX 4.x");
    form->kframe.setText("ten");
    ExtCommand = "before";
    EXPECT_FALSE(form->SetAutoDivXParam(1));
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"'ten' is not a valid integer value"});
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(ExtCommand, "before");

    // A multi-rip shows nothing: the text goes into its log and the rip ends.
    script.clearShown();
    RipAborted = false;
    {
        const TForm1::Unattended unattended(*form);
        EXPECT_FALSE(form->SetAutoDivXParam(1));
        EXPECT_EQ(unattended.said(), std::vector<std::string>{"'ten' is not a valid integer value"});
    }
    EXPECT_TRUE(script.shown().empty());
    EXPECT_TRUE(RipAborted);

    // The DivX 3 line takes the text as it stands.
    form->Codec.setText("Fast Motion");
    EXPECT_TRUE(form->SetAutoDivXParam(1));
}

} // namespace
} // namespace kes
