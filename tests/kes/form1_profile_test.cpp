// Profiles in the main window: saving the controls, loading them back, the defaults, the default paths
// and the profile read at start.
#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/core/files.h"
#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class ProfileWindowTest : public ::testing::Test {
protected:
    ProfileWindowTest() {
        folder.copyFromBuild("LANG/English.lng");
        for (const char* work : {"VOBS", "Profiles"})
            fs::create_directories(folder.path() / work);
        for (const char* name : {"divxdec.ax", "divx.dll"})
            writeBytes(folder.path() / "system" / name, "");
    }
    ~ProfileWindowTest() override {
        fs::current_path(previous);
        CaptionTable.clear();
        MessageTable.clear();
    }
    void start() {
        fs::current_path(folder.path());
        form = std::make_unique<TForm1>();
        fs::current_path(previous);
        MessageTable.set(21, "Name of the profile ?");
        MessageTable.set(43, "codec not installed");
        script.clearShown();
    }
    std::string profile(const std::string& name) const {
        return (folder.path() / "Profiles" / name).string();
    }
    // Saves the window into a profile and loads it back the way every load runs.
    void saveAndReload(bool exportOnly = false) {
        form->SaveDialog1.fileName = profile("trip.pfl");
        form->CreateProfile(exportOnly);
        load(profile("trip.pfl"));
    }
    void load(const std::string& path) {
        form->InitFields();
        form->InitPath();
        form->ReadProFile(path);
        form->CopyFromProfile();
    }
    void loadText(const std::string& text) {
        writeBytes(profile("given.pfl"), text);
        load(profile("given.pfl"));
    }

    fs::path previous = fs::current_path();
    platform::ui::testing::DialogScript script;
    test::ProgramFolder folder;
    std::unique_ptr<TForm1> form;
};

TEST_F(ProfileWindowTest, DefaultsAfterStartWithoutProfile) {
    start();
    TForm1& f = *form;
    EXPECT_EQ(f.Codec.text(), "DivX 4.x");
    EXPECT_EQ(f.arip.text(), "Azid");
    EXPECT_TRUE(f.arip.enabled());
    EXPECT_EQ(f.ProfileEdit.text(), "None");
    EXPECT_FALSE(f.normal.checked());
    EXPECT_FALSE(f.extractsub.enabled());
    EXPECT_EQ(f.RefQuality.text(), "32bit mmx iDCT");
    EXPECT_EQ(f.Output.text(), "AVI - YV12 - 4:2:0");
    EXPECT_EQ(f.GainTrack.position(), 100);
    EXPECT_FALSE(f.Wav2.enabled());
    EXPECT_EQ(f.Vobfile.text(), f.progDir() + "VOBS/");
    EXPECT_EQ(f.AVIFile.text(), f.progDir() + "Wtemp/movie.avi");
    EXPECT_EQ(f.AviSS2.text(), f.progDir() + "Output/finalss2.avi");
    EXPECT_EQ(f.SaveDialog1.initialDir, f.progDir() + "Profiles/");
    EXPECT_EQ(f.OpenDialog6.initialDir, f.progDir() + "Output/");
}

TEST_F(ProfileWindowTest, FirstVobOfTheVobsFolderIsTheDefault) {
    for (const char* name : {"VTS_03_1.VOB", "VTS_02_3.VOB", "menu.vob"})
        writeBytes(folder.path() / "VOBS" / name, "");
    start();
    EXPECT_EQ(form->Vobfile.text(), form->progDir() + "VOBS/VTS_02_3.VOB");
    EXPECT_EQ(form->searchvob(form->progDir() + "VOBS/"), "VTS_02_3.VOB");
    EXPECT_EQ(form->OpenDialog1.initialDir, form->progDir() + "VOBS/");
}

TEST_F(ProfileWindowTest, EveryControlSurvivesSaveAndLoad) {
    start();
    TForm1& f = *form;
    // The name first: a new name makes the description again.
    f.ProfileEdit.setText("Matrix");
    f.Descrip.setText("2 CD DivX 4 [640x272]");
    f.Comment.setText("Region 2");
    f.Vobfile.setText("/dvd/VTS_01_1.VOB");
    f.AVIFile.setText("/w/m.avi");
    f.WavFileEdit.setText("/w/a.wav");
    f.compaudiofile.setText("/w/c.wav");
    f.FinalFile.setText("/o/f.avi");
    f.twostreams.setChecked(true);
    f.Wav2.setText("/w/a2.wav");
    f.compressedSS2.setText("/w/c2.wav");
    f.AviSS2.setText("/o/f2.avi");
    f.RipVid.setChecked(false);
    f.arip.setText("AC3Dec");
    f.compress.setChecked(false);
    f.DelWav.setChecked(true);
    f.Merge.setChecked(false);
    f.RipAll.setChecked(false);
    f.log.setChecked(false);
    f.Vexlor.setChecked(true);
    f.Shut.setChecked(true);
    f.selectedlng.addItem("fr");
    f.selectedlng.addItem("en");
    f.extractsub.setChecked(true);
    f.Split.setChecked(true);
    f.Saft.setChecked(true);
    f.splitsize.setText("700");
    f.lock1cd.setChecked(true);
    f.Codec.setText("DivX 4.x");
    f.D4VBR.setText("2-pass, first pass");
    f.dual.setChecked(true);
    f.pass2.setText("Fast Motion");
    f.kframe.setText("5");
    f.vki.setChecked(true);
    f.Crisp.setText("80");
    f.finalsize.setText("1300");
    f.movielength.setText("0"); // no length: no bit-rate suggestion overwrites the rates below
    f.sec.setText("05");
    f.RadioButton1.setChecked(true);
    f.DivFR.setText("812");
    f.DualBR.setText("1400");
    f.proceed2.setEnabled(true);
    f.proceed2.setChecked(true);
    f.ForceDeint.setChecked(false); // forced deinterlace would untick the dual output
    f.px3gui.setChecked(false);
    f.fps.setText("29.970");
    f.PostFilter.setText("Fast");
    f.RefQuality.setText("3DNOW AP-922float IDCT");
    f.Output.setText("AVI - RGB24 - 4:4:4");
    f.IVTC.setChecked(true);
    f.IVTCnb.setText("3");
    f.DownX.setChecked(true);
    f.XSize.setText("704");
    f.DownY.setChecked(true);
    f.YSize.setText("400");
    // After the resize, whose boxes copy themselves into the crop boxes.
    f.Crop.setChecked(true);
    f.XCrop.setText("640");
    f.YCrop.setText("272");
    f.Halfres.setChecked(false); // half resolution would untick the resize and crop boxes
    f.Range.setChecked(true);
    f.Range1.setText("00:01:00");
    f.Range2.setText("01:30:00");
    f.mp3wma.setText("WMA");
    f.SubStream.setText("0x81");
    f.SecSubStream.setText("0x82");
    f.flip.setChecked(true);
    f.Mode.setText("Mono");
    // The choice the compression table offers for WMA mono.
    f.Samplerate.setText("32");
    f.Bitrate.setText("32");
    f.AudioRange.setChecked(true);
    f.ARange1.setText("00:00:10");
    f.ARange2.setText("01:00:00");
    f.normal.setChecked(true);
    f.Norm2Other.setChecked(true);
    f.GainTrack.setPosition(125);

    saveAndReload();

    // The description is made again from the loaded choices, keeping the locked CD count.
    EXPECT_EQ(f.Descrip.text(), "2CD/VKI-NTSC-640x272-WMA/32/32- DivX 4 [2-pass]");
    EXPECT_EQ(f.Comment.text(), "Region 2");
    EXPECT_EQ(f.ProfileEdit.text(), "Matrix");
    EXPECT_EQ(f.Vobfile.text(), "/dvd/VTS_01_1.VOB");
    EXPECT_EQ(f.OpenDialog1.initialDir, "/dvd/");
    EXPECT_EQ(f.AVIFile.text(), "/w/m.avi");
    EXPECT_EQ(f.WavFileEdit.text(), "/w/a.wav");
    EXPECT_EQ(f.compaudiofile.text(), "/w/c.wav");
    EXPECT_EQ(f.FinalFile.text(), "/o/Matrix.avi"); // named after the profile
    EXPECT_EQ(f.OpenDialog5.initialDir, "/o/");
    EXPECT_TRUE(f.twostreams.checked());
    EXPECT_EQ(f.Wav2.text(), "/w/a2.wav");
    EXPECT_EQ(f.compressedSS2.text(), "/w/c2.wav");
    EXPECT_EQ(f.AviSS2.text(), "/o/Matrix_stream2.avi");
    EXPECT_FALSE(f.RipVid.checked());
    EXPECT_TRUE(f.RipAudio.checked());
    EXPECT_EQ(f.arip.text(), "AC3Dec");
    EXPECT_FALSE(f.compress.checked());
    EXPECT_TRUE(f.DelWav.checked());
    EXPECT_FALSE(f.Merge.checked());
    EXPECT_TRUE(f.RipAll.checked()); // the subtitle step ticked by the load ticks it again
    EXPECT_FALSE(f.log.checked());
    EXPECT_TRUE(f.Vexlor.checked());
    EXPECT_TRUE(f.Shut.checked());
    EXPECT_TRUE(f.extractsub.checked());
    EXPECT_TRUE(f.extractsub.enabled());
    EXPECT_EQ(f.selectedlng.items(), (std::vector<std::string>{"fr", "en"}));
    EXPECT_TRUE(f.Split.checked());
    EXPECT_TRUE(f.Saft.checked());
    EXPECT_EQ(f.splitsize.text(), "700");
    EXPECT_TRUE(f.lock1cd.checked());
    EXPECT_TRUE(f.DivxAuto.checked());
    EXPECT_EQ(f.Codec.text(), "DivX 4.x");
    EXPECT_TRUE(f.D4VBR.enabled());
    EXPECT_EQ(f.D4VBR.text(), "2-pass, first pass");
    EXPECT_TRUE(f.dual.checked());
    EXPECT_EQ(f.pass2.text(), "Fast Motion");
    EXPECT_EQ(f.kframe.text(), "9999"); // ticking the box again sets its own value
    EXPECT_TRUE(f.vki.checked());
    EXPECT_EQ(f.Crisp.text(), "80");
    EXPECT_EQ(f.finalsize.text(), "1300");
    EXPECT_EQ(f.movielength.text(), "0");
    EXPECT_EQ(f.sec.text(), "05");
    EXPECT_TRUE(f.RadioButton1.checked());
    EXPECT_FALSE(f.wide.checked());
    EXPECT_EQ(f.DivFR.text(), "812");
    EXPECT_EQ(f.DualBR.text(), "1400");
    EXPECT_TRUE(f.proceed2.checked());
    EXPECT_TRUE(f.proceed2.enabled());
    EXPECT_FALSE(f.ForceDeint.checked());
    EXPECT_TRUE(f.px3gui.checked()); // the dual output, loaded after it, ticks it
    EXPECT_EQ(f.fps.text(), "29.970");
    EXPECT_EQ(f.PostFilter.text(), "Fast");
    EXPECT_EQ(f.RefQuality.text(), "3DNOW AP-922float IDCT");
    EXPECT_EQ(f.Output.text(), "AVI - RGB24 - 4:4:4");
    EXPECT_TRUE(f.Crop.checked());
    EXPECT_EQ(f.XCrop.text(), "640");
    EXPECT_EQ(f.YCrop.text(), "272");
    EXPECT_TRUE(f.IVTC.checked());
    EXPECT_TRUE(f.IVTCnb.enabled());
    EXPECT_EQ(f.IVTCnb.text(), "3");
    EXPECT_TRUE(f.DownX.checked());
    EXPECT_EQ(f.XSize.text(), "704");
    EXPECT_TRUE(f.DownY.checked());
    EXPECT_EQ(f.YSize.text(), "400");
    EXPECT_FALSE(f.Halfres.checked());
    EXPECT_TRUE(f.Range.checked());
    EXPECT_EQ(f.Range1.text(), "00:01:00");
    EXPECT_EQ(f.Range2.text(), "01:30:00");
    EXPECT_EQ(f.mp3wma.text(), "WMA");
    EXPECT_EQ(f.SubStream.text(), "0x81");
    EXPECT_EQ(f.SecSubStream.text(), "0x82");
    EXPECT_TRUE(f.flip.checked());
    EXPECT_EQ(f.Mode.text(), "Mono");
    EXPECT_EQ(f.Samplerate.text(), "32");
    EXPECT_EQ(f.Bitrate.text(), "32");
    EXPECT_TRUE(f.AudioRange.checked());
    EXPECT_EQ(f.ARange1.text(), "00:00:10");
    EXPECT_EQ(f.ARange2.text(), "01:00:00");
    EXPECT_TRUE(f.normal.checked());
    EXPECT_TRUE(f.Norm2Other.checked());
    EXPECT_EQ(f.GainTrack.position(), 125);
    EXPECT_EQ(f.Gain.caption(), " 12.5 db"); // the track's change handler writes the label last
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(ProfileWindowTest, DefaultsReloadWithTheFormatsOwnMappings) {
    start();
    saveAndReload();
    EXPECT_EQ(form->RefQuality.text(), "32-bit MMX32 IDCT");
    EXPECT_EQ(form->Output.text(), "AVI - YV12 - 4:2:0 ");
    EXPECT_EQ(form->arip.text(), "Azid");
    EXPECT_EQ(form->Mode.text(), "Stereo");
    EXPECT_EQ(form->ProfileEdit.text(), "None");
}

TEST_F(ProfileWindowTest, InternalAudioMethodIsKept) {
    start();
    form->arip.setText("Internal");
    saveAndReload();
    EXPECT_EQ(form->arip.text(), "Internal");
}

TEST_F(ProfileWindowTest, ExportHasNoPathsAndLoadsWithTheDefaultPaths) {
    start();
    form->Vobfile.setText("/dvd/VTS_01_1.VOB");
    form->FinalFile.setText("/o/f.avi");
    saveAndReload(true);
    const std::string text = readBytes(profile("trip.pfl"));
    EXPECT_EQ(text.find("path"), std::string::npos);
    EXPECT_EQ(form->Vobfile.text(), form->progDir() + "VOBS/");
    EXPECT_EQ(form->FinalFile.text(), form->progDir() + "Output/final.avi");
}

TEST_F(ProfileWindowTest, ListEntryIsSavedUnderItsTitleAndAnEmptyNameIsAskedFor) {
    start();
    form->ProfileEdit.setText("Movie (movie.pfl)");
    form->SaveDialog1.fileName = profile("a.pfl");
    form->CreateProfile(false);
    EXPECT_TRUE(readBytes(profile("a.pfl")).starts_with("[Options]\r\nProfileTitle=Movie\r\n"));

    form->ProfileEdit.setText("");
    form->SaveDialog1.fileName = profile("a.pfl"); // emptying the name emptied the save name
    script.answer("");
    script.answer("Alien");
    form->CreateProfile(false);
    EXPECT_EQ(script.shown().size(), 2u);
    EXPECT_EQ(script.shown()[0].caption, "Oops !");
    EXPECT_EQ(script.shown()[0].text, "Name of the profile ?");
    EXPECT_TRUE(readBytes(profile("a.pfl")).starts_with("[Options]\r\nProfileTitle=Alien\r\n"));
    EXPECT_EQ(form->FindPflName(profile("a.pfl")), "Alien");
}

TEST_F(ProfileWindowTest, RelativeSaveNameGoesToTheProfilesFolder) {
    start();
    form->SaveDialog1.fileName = "rel.pfl";
    form->CreateProfile(false);
    EXPECT_TRUE(fs::exists(profile("rel.pfl")));
}

TEST_F(ProfileWindowTest, FailedWriteRaisesAndLeavesNothingHalfWritten) {
    start();
    form->SaveDialog1.fileName = (folder.path() / "nowhere" / "x.pfl").string();
    EXPECT_THROW(form->CreateProfile(false), std::runtime_error);
    EXPECT_FALSE(fs::exists(folder.path() / "nowhere"));
    EXPECT_THROW(form->ReadProFile(profile("missing.pfl")), std::runtime_error);
}

TEST_F(ProfileWindowTest, ProfileWithoutDivXSectionKeepsTheVideoDefaults) {
    start();
    form->DivxAuto.setChecked(false);
    form->kframe.setText("3");
    form->DivFR.setText("900"); // not among the defaults: the value of before stays
    saveAndReload();
    EXPECT_FALSE(form->DivxAuto.checked());
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");
    EXPECT_EQ(form->kframe.text(), "10");
    EXPECT_EQ(form->DivFR.text(), form->SBitRate.text()); // the defaults' suggestion replaced it
    EXPECT_EQ(form->finalsize.text(), "650");
    EXPECT_EQ(form->movielength.text(), "120");
}

TEST_F(ProfileWindowTest, AudioRangeAloneLeavesTheVideoRange) {
    start();
    loadText("[Audio]\r\nARange1=00:00:05\r\nARange2=00:10:00\r\n");
    EXPECT_FALSE(form->Range.checked());
    EXPECT_EQ(form->Range1.text(), "00:00:00");
    EXPECT_TRUE(form->AudioRange.checked());
    EXPECT_EQ(form->ARange1.text(), "00:00:05");
    EXPECT_EQ(form->ARange2.text(), "00:10:00");
}

TEST_F(ProfileWindowTest, KeysCountOnlyAtTheStartOfALine) {
    start();
    loadText("[Options]\r\nDescription=fps=30 Refq=1\r\nComment= kf=9999\r\n");
    EXPECT_EQ(form->fps.text(), "25");
    EXPECT_NE(form->Descrip.text().find("-PAL-"), std::string::npos);
    EXPECT_FALSE(form->vki.checked());
    EXPECT_EQ(form->kframe.text(), "10");
}

TEST_F(ProfileWindowTest, LanguageListNeedsItsLastSlash) {
    start();
    loadText("Sub=1\r\nslng=fr/en");
    EXPECT_EQ(form->selectedlng.items(), (std::vector<std::string>{"fr"}));
    EXPECT_TRUE(form->extractsub.enabled());
    loadText("Sub=1\r\nslng=fr/en/");
    EXPECT_EQ(form->selectedlng.items(), (std::vector<std::string>{"fr", "en"}));
}

TEST_F(ProfileWindowTest, NoKeyFramesTicksTheBox) {
    start();
    loadText("[DivX]\r\nkf=9999\r\n");
    EXPECT_EQ(form->kframe.text(), "9999");
    EXPECT_TRUE(form->vki.checked());
    form->vki.setChecked(true);
    loadText("[DivX]\r\nkf=12\r\n");
    EXPECT_FALSE(form->vki.checked());
}

TEST_F(ProfileWindowTest, StrictKeysClearTheirBoxesWhenMissingTheOthersKeepThem) {
    start();
    TForm1& f = *form;
    ui::CheckBox* strict[] = {&f.IVTC, &f.DownX,      &f.DownY,  &f.Crop, &f.DivxAuto,  &f.extractsub,
                              &f.flip, &f.ForceDeint, &f.px3gui, &f.dual, &f.Norm2Other};
    ui::CheckBox* lenient[] = {&f.RipVid, &f.twostreams, &f.RipAudio, &f.compress, &f.DelWav,
                               &f.normal, &f.Merge,      &f.RipAll,   &f.log,      &f.Split,
                               &f.Vexlor, &f.Shut,       &f.Halfres};
    for (ui::CheckBox* box : strict)
        box->setChecked(true);
    for (ui::CheckBox* box : lenient)
        box->setChecked(true);
    writeBytes(profile("empty.pfl"), "[Options]\r\n");
    f.ReadProFile(profile("empty.pfl"));
    f.CopyFromProfile();
    for (ui::CheckBox* box : strict)
        EXPECT_FALSE(box->checked()) << box->caption();
    for (ui::CheckBox* box : lenient)
        EXPECT_TRUE(box->checked()) << box->caption();
}

TEST_F(ProfileWindowTest, ValuesThatAreNoNumbersAreSkippedAndTheLoadGoesOn) {
    start();
    loadText("[Video]\r\nRefq=fast\r\noutput=x\r\nIVTC=4\r\n[Audio]\r\nGain=loud\r\nNorm2Other=1\r\n"
             "[DivX]\r\nfrate=999\r\nRefq2=1\r\n");
    EXPECT_EQ(form->RefQuality.text(), "32bit mmx iDCT");
    EXPECT_EQ(form->Output.text(), "AVI - YV12 - 4:2:0");
    EXPECT_TRUE(form->IVTC.checked());
    EXPECT_FALSE(form->normal.checked());
    EXPECT_EQ(form->GainTrack.position(), 100);
    EXPECT_TRUE(form->Norm2Other.checked());
    EXPECT_EQ(form->DivFR.text(), "999");
    loadText("Refq=0\r\noutput=9\r\n");
    EXPECT_EQ(form->RefQuality.text(), "32bit mmx iDCT");
    EXPECT_EQ(form->Output.text(), "AVI - YV12 - 4:2:0");
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(ProfileWindowTest, LockedCdCountGoesIntoTheDescription) {
    start();
    // The loaded controls make the description again; the lock then puts its count first.
    loadText("Description=1 CD DivX\r\nLock1CD=2\r\n");
    EXPECT_EQ(form->Descrip.text(), "2CD-PAL-MP3/48/96- DivX 4 [1-pass]");
    EXPECT_TRUE(form->lock1cd.checked());
    loadText("Lock1CD=3\r\n");
    EXPECT_EQ(form->Descrip.text(), "3CD-PAL-MP3/48/96- DivX 4 [1-pass]");
    form->DivFR.setText("653"); // a refresh keeps the locked count
    EXPECT_EQ(form->Descrip.text(), "3CD-PAL-MP3/48/96- DivX 4 [1-pass]");
    loadText("Description=1 CD\r\nLock1CD=0\r\n");
    EXPECT_EQ(form->Descrip.text(), "1CD-PAL-MP3/48/96- DivX 4 [1-pass]");
    EXPECT_FALSE(form->lock1cd.checked());
}

TEST_F(ProfileWindowTest, AudioMethodKeysOtherThanOneGiveTheFirstMethod) {
    start();
    loadText("RipAud=1\r\nUseAzid=0\r\n");
    EXPECT_EQ(form->arip.text(), "Internal");
    loadText("RipAud=0\r\nUseAC3Dec=1\r\n");
    EXPECT_EQ(form->arip.text(), "AC3Dec");
    EXPECT_FALSE(form->arip.enabled());
}

TEST_F(ProfileWindowTest, MissingDivX4CodecIsReportedAndTheCodecKept) {
    start();
    fs::remove(folder.path() / "system" / "divx.dll");
    form->Codec.setText("Low Motion");
    writeBytes(profile("d4.pfl"), "VCodec=4\r\nVCodec2=F\r\n");
    form->ReadProFile(profile("d4.pfl"));
    form->CopyFromProfile();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"V. 4.x codec not installed"}));
    EXPECT_EQ(form->Codec.text(), "Low Motion");
    EXPECT_EQ(form->pass2.text(), "Fast Motion");
}

TEST_F(ProfileWindowTest, LinesBeyondTheHundredthAreNotRead) {
    start();
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "x" + std::to_string(i) + "=\r\n";
    loadText(text + "fps=30\r\n");
    EXPECT_EQ(form->ProfileLines.size(), 100u);
    EXPECT_EQ(form->fps.text(), "25");
}

TEST_F(ProfileWindowTest, StartUpLoadsTheDefaultProfile) {
    writeBytes(folder.path() / "Profiles" / "default.pfl",
               "[Options]\r\nProfileTitle=Start\r\nRipVid=0\r\n\r\n[Video]\r\nfps=29.970\r\n");
    start();
    EXPECT_EQ(form->ProfileEdit.text(), "Start");
    EXPECT_FALSE(form->RipVid.checked());
    EXPECT_EQ(form->fps.text(), "29.970");
    EXPECT_FALSE(form->DivxAuto.checked());
    EXPECT_EQ(form->SaveDialog1.fileName, "default.pfl");
}

} // namespace
} // namespace kes
