// The video page in the main window: the bit-rate handlers and where the suggestion goes, presets,
// sizes and user presets, the title's video information, the codec chains, the DivX 4 settings page
// and the settings description with the output names.
#include "kes/divx4_settings.h"
#include "tests/kes/rip_form_fixture.h"

#include "platform/core/registry.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
namespace reg = platform::core::registry;
using platform::core::RootKey;
using test::readBytes;
using test::writeBytes;

class VideoPageTest : public test::RipFormTest {
protected:
    VideoPageTest() {
        for (const char* codecFile : {"divxdec.ax", "divx.dll"})
            writeBytes(folder.path() / "system" / codecFile, "");
        reg::deleteKey(RootKey::CurrentUser, DivX4Key);
        TForm1& f = *form;
        f.Codec.setText("Low Motion");
        f.D4VBR.setText("1-pass");
        f.Bitrate.setTextSilent("128");
        f.finalsize.setText("650");
        f.sec.setText("0");
        f.movielength.setText("120");
        script.clearShown();
    }
    ~VideoPageTest() override { reg::deleteKey(RootKey::CurrentUser, DivX4Key); }
};

TEST_F(VideoPageTest, SuggestionGoesToTheChosenOutput) {
    TForm1& f = *form;
    EXPECT_EQ(f.SBitRate.text(), "612");
    EXPECT_EQ(f.DivFR.text(), "612");
    // The codec and its rate mode change nothing: each gets the rate that fills the CD.
    f.Codec.setText("DivX 4.x");
    f.D4VBR.setText("2-pass, first pass");
    EXPECT_EQ(f.DivFR.text(), "612");
    f.Codec.setText("Low Motion");
    // 300 < 612 < 650 with a DivX 3 codec: the advice is shown.
    f.movielength.setText("121");
    EXPECT_EQ(script.texts("information"), (std::vector<std::string>{"<40>\r\n<41>"}));

    f.dual.setChecked(true);
    f.br2.setChecked(true);
    f.movielength.setText("60");
    EXPECT_EQ(f.DualBR.text(), f.SBitRate.text());
    EXPECT_NE(f.DivFR.text(), f.SBitRate.text());

    // A zero length leaves the suggestion as it was.
    const std::string before = f.SBitRate.text();
    f.movielength.setText("0");
    EXPECT_EQ(f.SBitRate.text(), before);
}

TEST_F(VideoPageTest, FinalSizeAbove2000IsRefused) {
    form->finalsize.setText("2500");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"<57>"}));
    EXPECT_EQ(form->finalsize.text(), "2000");
}

TEST_F(VideoPageTest, PresetsSizesAndFix) {
    TForm1& f = *form;
    f.lockcrop.setChecked(false);
    f.presets.setText("640x344 => 640x264 [1.85*]");
    EXPECT_TRUE(f.DownX.checked() && f.DownY.checked() && f.Crop.checked());
    EXPECT_TRUE(f.XSize.enabled() && f.XCrop.enabled());
    EXPECT_EQ(f.XSize.text() + f.YSize.text() + f.XCrop.text() + f.YCrop.text(), "640344640264");

    // Unlocked crop follows the resize; a size off the step of 8 is red.
    f.XSize.setText("612");
    EXPECT_EQ(f.XCrop.text(), "612");
    EXPECT_EQ(f.YCrop.text(), "344");
    EXPECT_EQ(f.XSize.fontColor(), platform::ui::Colors::Red);
    f.XSize.setText("");
    EXPECT_EQ(f.XSize.text(), "0");
    EXPECT_EQ(f.XSize.fontColor(), platform::ui::Colors::Green);

    f.lockcrop.setChecked(true);
    f.XSize.setText("4");
    f.YSize.setText("12");
    f.XCrop.setText("20");
    f.YCrop.setText("720");
    f.FixClick();
    EXPECT_EQ(f.XSize.text() + "," + f.YSize.text() + "," + f.XCrop.text() + "," + f.YCrop.text(),
              "0,16,16,720");

    f.presets.setText("*user selection");
    EXPECT_FALSE(f.DownX.checked() || f.DownY.checked() || f.Crop.checked());
    EXPECT_FALSE(f.XSize.enabled());
}

TEST_F(VideoPageTest, UserPresetIsAddedAndTheFileRewritten) {
    TForm1& f = *form;
    f.addresClick(); // the boxes are not ticked: nothing happens
    const int items = f.presets.itemCount();
    f.lockcrop.setChecked(true);
    for (ui::CheckBox* box : {&f.DownX, &f.DownY, &f.Crop})
        box->setChecked(true);
    f.XSize.setText("1024");
    f.YSize.setText("576");
    f.XCrop.setText("1024");
    f.YCrop.setText("432");
    f.addresClick();
    f.XSize.setText("704");
    f.addresClick();
    ASSERT_EQ(f.presets.itemCount(), items + 2);
    EXPECT_EQ(readBytes(folder.path() / "Profiles" / "user.res"),
              "1024x576 => 1024x432 #\r\n704x576 => 1024x432 #\r\n");
    // Its fifth character moved the mark: selecting it unticks the boxes.
    f.presets.setItemIndex(items);
    EXPECT_FALSE(f.DownX.checked());
}

TEST_F(VideoPageTest, TitleInformationFromTheIfo) {
    TForm1& f = *form;
    std::string ifo(2048 + 32, '\0');
    ifo[0x200] = 0x4D; // MPEG-2, NTSC, 16:9, not letterboxed
    ifo[0x201] = 0x14; // CBR, 704 wide
    ifo[0xCF] = 1;
    ifo[2049] = 1;
    ifo[2048 + 15] = 16;
    ifo[2048 + 20] = 0x01;
    ifo[2048 + 21] = 0x52;
    ifo[2048 + 22] = 0x07;
    ifo[2048 + 23] = static_cast<char>(0xC0);
    f.ifofile.setTextSilent(make("VTS_01_0.IFO", ifo));
    f.RadioButton1.setChecked(true);
    f.ShowIfoTitleInfo();
    EXPECT_EQ(f._v1.caption() + f._v2.caption() + f._V3.caption() + f._v4.caption() + f._v5.caption() +
                  f._v6.caption(),
              "Mpeg-2NTSC16:9CBR704x480No");
    EXPECT_TRUE(f.wide.checked());
    EXPECT_EQ(f.movielength.text(), "112");
    EXPECT_EQ(f.sec.text(), "7");
    EXPECT_EQ(f.fps.text(), "23.976");

    f.ifofile.setTextSilent(at("none.ifo"));
    f.ShowIfoTitleInfo();
    EXPECT_EQ(f._v1.caption(), "???");
    EXPECT_EQ(f.movielength.text(), "120");
    EXPECT_EQ(f.sec.text(), "00");
}

TEST_F(VideoPageTest, DivX4CodecAndItsTwoPassFlow) {
    TForm1& f = *form;
    f.Codec.setText("DivX 4.x");
    EXPECT_TRUE(f.D4VBR.enabled());
    EXPECT_TRUE(f.Button8.enabled());
    EXPECT_FALSE(f.proceed2.enabled());

    f.D4VBR.setText("2-pass, first pass");
    EXPECT_TRUE(f.proceed2.enabled());
    EXPECT_TRUE(f.proceed2.checked());
    EXPECT_TRUE(f.Descrip.text().ends_with("- DivX 4 [2-pass]"));
    EXPECT_EQ(reg::readDword(RootKey::CurrentUser, DivX4Key, "RC Reaction Period"), 10u);

    f.D4VBR.setText("2-pass, second pass");
    const std::string log = f.AVIFile.text().substr(0, f.AVIFile.text().rfind('/') + 1) + "final.log";
    EXPECT_EQ(script.texts("information"),
              (std::vector<std::string>{"<60>\r\n<61>" + log + "\r\n<62>\r\n<63>\r\n"}));
    EXPECT_FALSE(f.proceed2.enabled());
    EXPECT_FALSE(f.proceed2.checked());

    // With the first pass's log there, the second pass goes without a word.
    script.clearShown();
    writeBytes(log, "log");
    f.D4VBR.setText("2-pass, first pass");
    f.D4VBR.setText("2-pass, second pass");
    EXPECT_TRUE(script.shown().empty());

    f.D4VBR.setText("1-pass quality-based");
    EXPECT_FALSE(f.DivFR.enabled());
    EXPECT_TRUE(f.Descrip.text().ends_with(" [1-pass HQ]"));
    EXPECT_EQ(reg::readDword(RootKey::CurrentUser, DivX4Key, "VBR Quality"), 90u);

    f.Codec.setText("Fast Motion");
    EXPECT_FALSE(f.D4VBR.enabled());
    EXPECT_FALSE(f.Button8.enabled());
    EXPECT_TRUE(f.Descrip.text().ends_with("- DivX 3"));
}

TEST_F(VideoPageTest, MissingDivX4FilesChangeNothing) {
    TForm1& f = *form;
    fs::remove(folder.path() / "system" / "divx.dll");
    f.Codec.setText("DivX 4.x");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"V 4.x <43>"}));
    EXPECT_EQ(f.Codec.text(), "DivX 4.x");
    EXPECT_FALSE(f.D4VBR.enabled());
    EXPECT_FALSE(f.Button8.enabled());
}

TEST_F(VideoPageTest, DualOutputAndConverterVariants) {
    TForm1& f = *form;
    f.ForceDeint.setChecked(true);
    EXPECT_FALSE(f.px3gui.checked());
    f.dual.setChecked(true);
    EXPECT_TRUE(f.pass2.enabled() && f.DualBR.enabled() && f.br2.enabled());
    EXPECT_FALSE(f.ForceDeint.checked());
    EXPECT_TRUE(f.px3gui.checked());
    f.br2.setChecked(true);
    f.dual.setChecked(false);
    EXPECT_TRUE(f.br1.checked());
    EXPECT_FALSE(f.pass2.enabled());

    f.IVTC.setChecked(true);
    EXPECT_TRUE(f.IVTCnb.enabled());
    f.ForceDeint.setChecked(true);
    EXPECT_FALSE(f.IVTC.checked());

    f.vki.setChecked(true);
    EXPECT_EQ(f.kframe.text(), "9999");
    EXPECT_NE(f.Descrip.text().find("1CD/VKI-PAL"), std::string::npos);
    f.vki.setChecked(false);
    EXPECT_EQ(f.kframe.text(), "10");

    f.Range.setChecked(true);
    EXPECT_TRUE(f.AudioRange.checked());
    EXPECT_TRUE(f.Range1.enabled());
    f.Range1.setText("0:10:00");
    EXPECT_EQ(f.ARange1.text(), "0:10:00");
    EXPECT_EQ(f.Range1.fontColor(), platform::ui::Colors::Red);
    f.Range1.setText("00:10:00");
    EXPECT_EQ(f.Range1.fontColor(), platform::ui::Colors::Green);
}

TEST_F(VideoPageTest, ProfileNameGivesTheFinalNames) {
    TForm1& f = *form;
    f.FinalFile.setText("/out/final.avi");
    f.AviSS2.setText("/out2/finalss2.avi");
    f.ProfileEdit.setTextSilent("My Movie");
    f.setautoparam();
    EXPECT_EQ(f.FinalFile.text(), "/out/My_Movie.avi");
    EXPECT_EQ(f.AviSS2.text(), "/out2/My_Movie_stream2.avi");
    EXPECT_EQ(f.curset.text(), f.Descrip.text());
    f.ProfileEdit.setTextSilent(std::string(51, 'x'));
    f.setautoparam();
    EXPECT_EQ(f.FinalFile.text(), "/out/My_Movie.avi");

    // A "/" in the title is no folder: the names stay in their folders however often they are made.
    f.ProfileEdit.setText("Face/Off");
    for (int i = 0; i < 3; ++i)
        f.setautoparam();
    EXPECT_EQ(f.FinalFile.text(), "/out/Face_Off.avi");
    EXPECT_EQ(f.AviSS2.text(), "/out2/Face_Off_stream2.avi");
    EXPECT_EQ(f.SaveDialog1.fileName, "Face_Off");
    f.ProfileEdit.setText("Tab\tand\\back");
    EXPECT_EQ(f.FinalFile.text(), "/out/Tab_and_back.avi");
}

TEST_F(VideoPageTest, SettingsPageReadsAndWritesTheCodecKey) {
    TForm1& f = *form;
    f.ppl.setPosition(45);
    EXPECT_EQ(f.ppl.position(), 40);
    EXPECT_EQ(f.Label58.caption(), "4");
    f.encqual.setPosition(70);
    EXPECT_EQ(f.eqtxt.caption(), "70%");

    // Apply with the one-pass boxes empty, as on a new install, writes nothing and says so only:
    // the page stays for the boxes to be filled.
    f.Button8Click();
    f.Button9Click();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"1-pass Encoding parameters ERROR"}));
    EXPECT_TRUE(script.texts("plain").empty());
    EXPECT_EQ(f.main.activePage(), &f.D4settings);
    EXPECT_FALSE(reg::keyExists(RootKey::CurrentUser, DivX4Key));

    // Away from the page nothing is written either.
    f.MaxQ.setText("16");
    f.MinQ.setText("2");
    f.rateavg.setText("2000");
    f.rperiod.setText("10");
    f.downup.setText("20");
    f.OptionsButtonClick();
    EXPECT_FALSE(f.setD4settings());
    EXPECT_FALSE(reg::keyExists(RootKey::CurrentUser, DivX4Key));

    // Filled in, Apply writes the key, says so and returns to the main page.
    script.clearShown();
    f.Button8Click();
    f.perfqual.setText("Medium");
    f.DI.setChecked(true);
    f.Button9Click();
    EXPECT_TRUE(script.texts("error").empty());
    EXPECT_EQ(script.texts("plain"), (std::vector<std::string>{"<66>"}));
    EXPECT_EQ(f.main.activePage(), &f.MainPage);
    const auto value = [](const char* name) { return reg::readDword(RootKey::CurrentUser, DivX4Key, name); };
    EXPECT_EQ(value("Quality"), 3u);
    EXPECT_EQ(value("Deinterlace"), 1u);
    EXPECT_EQ(value("Have CPU limit"), 0u);
    EXPECT_EQ(value("CPU limit"), 100u);
    EXPECT_EQ(value("Max Quantizer"), 16u);
    EXPECT_EQ(value("RC Period"), 2000u);
    EXPECT_EQ(value("VBR Quality"), 70u);
    EXPECT_EQ(value("Postprocessing"), 40u);

    // Opening the page shows what the codec holds; a quality out of range leaves the choice.
    reg::writeDword(RootKey::CurrentUser, DivX4Key, "Quality", 9);
    reg::writeDword(RootKey::CurrentUser, DivX4Key, "Deinterlace", 2);
    reg::writeDword(RootKey::CurrentUser, DivX4Key, "Min Quantizer", 4);
    reg::writeDword(RootKey::CurrentUser, DivX4Key, "Postprocessing", 60);
    f.Button8Click();
    EXPECT_EQ(f.perfqual.text(), "Medium");
    EXPECT_FALSE(f.DI.checked());
    EXPECT_EQ(f.MinQ.text(), "4");
    EXPECT_EQ(f.Label58.caption(), "6");
}

} // namespace
} // namespace kes
