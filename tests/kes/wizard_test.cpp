// The wizard: what it copies from the main window when it opens, its language texts, the choices it
// passes on at once, and OK, which writes the main window's controls and saves a profile.
#include "kes/wizard.h"
#include "tests/kes/rip_form_fixture.h"

#include <QCoreApplication>
#include <algorithm>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class WizardTest : public test::RipFormTest {
protected:
    ~WizardTest() override {
        if (Keswizard)
            delete Keswizard;
        QCoreApplication::processEvents(); // frees a wizard that closed
    }
    TKeswizard& open() {
        auto* wizard = new TKeswizard();
        return *wizard;
    }
    fs::path profiles() const { return folder.path() / "Profiles"; }
};

TEST_F(WizardTest, OpeningCopiesTheMainWindow) {
    form->fps.setText("25");
    form->movielength.setText("104");
    form->sec.setText("33");
    form->SubStream.setItems({"0x80 [en]", "0x81 [fr]"});
    form->SubStream.setText("0x80 [en]");
    form->IFOlngList.setItems({"en"});
    form->setLeft(300);
    form->setTop(200);
    TKeswizard& w = open();
    EXPECT_EQ(w.caption(), form->wizard.caption());
    EXPECT_TRUE(w.pal.checked());
    EXPECT_TRUE(w.no.checked());
    EXPECT_EQ(w.movielength.text(), "104");
    EXPECT_EQ(w.sec.text(), "33");
    EXPECT_EQ(w.Codec.items(), form->Codec.items());
    EXPECT_EQ(w.Codec.text(), form->Codec.text());
    EXPECT_EQ(w.SubStream.items(), form->SubStream.items());
    EXPECT_EQ(w.SubStream.text(), "0x80 [en]");
    EXPECT_FALSE(w.extractsub.enabled()); // one subtitle language only
    EXPECT_EQ(form->left(), 78);
    EXPECT_EQ(w.top(), 240);

    // Closing puts the main window back and shows its main page.
    form->ExtrasButtonClick();
    w.Button2Click();
    EXPECT_EQ(form->left(), 300);
    EXPECT_EQ(form->top(), 200);
    EXPECT_EQ(form->main.activePage(), &form->MainPage);
}

TEST_F(WizardTest, NtscAnswersInterlacedAndTwoLanguagesPreselectTheFirst) {
    form->fps.setText("29.970");
    form->IFOlngList.setItems({"de", "en"});
    form->selectedlng.setItems({"fr", "it"});
    TKeswizard& w = open();
    EXPECT_TRUE(w.ntsc.checked());
    EXPECT_TRUE(w.yes.checked());
    EXPECT_TRUE(w.extractsub.enabled());
    EXPECT_EQ(w.lnglist.text(), "de");
    EXPECT_EQ(form->selectedlng.items(), std::vector<std::string>{"de"});
    w.lnglist.setText("en");
    EXPECT_EQ(form->selectedlng.items(), std::vector<std::string>{"en"});
}

TEST_F(WizardTest, PresetsFollowThePictureShape) {
    form->presets.setItems(
        {"[4:3] 640x480", "[1.85] 640x352", "[2.35] 640x272", "[1.66] 640x384", "512x384"});
    form->_V3.setCaption("4:3");
    EXPECT_EQ(open().presets.items(), (std::vector<std::string>{"[4:3] 640x480", "512x384"}));
    delete Keswizard;

    form->_V3.setCaption("16:9");
    const std::string before = form->presets.text();
    TKeswizard& w = open();
    EXPECT_EQ(w.presets.items(),
              (std::vector<std::string>{"[1.85] 640x352", "[2.35] 640x272", "[1.66] 640x384", "512x384"}));
    EXPECT_EQ(w.presets.text(), "[1.85] 640x352");
    EXPECT_EQ(form->presets.text(), before); // opening changes nothing in the main window

    // The main window takes the chosen preset by its text, not by its place in the shorter list.
    w.presets.setItemIndex(3);
    EXPECT_EQ(form->presets.text(), "512x384");
    EXPECT_EQ(form->presets.itemIndex(), 4);
}

TEST_F(WizardTest, TextsComeFromTheWizardSection) {
    // Language files are code page 1252.
    writeBytes(folder.path() / "LANG" / "Deutsch.lng",
               "1.24\r\n----Messages----\r\n----Wizard----\r\n#1=Willkommen\r\n#5=Weiter\r\n#6=Zur\xFC"
               "ck\r\n#32=Herunterfahren\r\n#34=Fertig.\r\n#35=Viel Gl\xFC"
               "ck\r\n#36=unused\r\n----Synchronizer----\r\n#2=not the wizard's\r\n");
    writeBytes(folder.path() / "LANG" / "default.ini", "Deutsch.lng\r\n");
    TKeswizard& w = open();
    EXPECT_EQ(w.Label1.caption(), "Willkommen");
    EXPECT_EQ(w.Label2.caption(), "Here is a summary of the most important settings you must choose.");
    EXPECT_EQ(w.N0.caption(), "Weiter");
    EXPECT_EQ(w.N10.caption(), "Weiter");
    EXPECT_EQ(w.P11.caption(), "Zurück");
    EXPECT_EQ(w.Shutdown.caption(), "Herunterfahren");
    EXPECT_EQ(w.Texts.text(36), "unused");

    w.Edit2.setText("Film");
    w.Button3Click();
    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"Fertig.\r\nViel Glück"});
}

TEST_F(WizardTest, MissingLanguageFileKeepsTheDesignTexts) {
    writeBytes(folder.path() / "LANG" / "default.ini", "Missing.lng\r\n");
    TKeswizard& w = open();
    EXPECT_EQ(w.Label1.caption(), "Welcome to Kestrova Wizard");
    EXPECT_EQ(w.P1.caption(), "<< Previous");
}

TEST_F(WizardTest, StepsPassChoicesOn) {
    TKeswizard& w = open();
    w.Edit2.setText("My Movie");
    EXPECT_EQ(form->ProfileEdit.text(), "My Movie");

    w.cd2.setChecked(true);
    EXPECT_TRUE(w.split.checked());
    w.cd1.setChecked(true);
    EXPECT_FALSE(w.split.checked());

    w.Codec.setText("Low Motion");
    EXPECT_FALSE(w.pass2.enabled());
    w.Codec.setText("DivX 4.x");
    EXPECT_TRUE(w.pass2.enabled());

    w.SubStream.setText("0x81");
    EXPECT_EQ(form->SubStream.text(), "0x81");

    w.mp3wma.setText("WMA");
    EXPECT_EQ(w.Samplerate.items(), (std::vector<std::string>{"44.1", "32", "22.05"}));
    EXPECT_EQ(w.Samplerate.text(), "44.1");
    EXPECT_EQ(w.Bitrate.items(), std::vector<std::string>{"64"});
    EXPECT_EQ(w.Bitrate.text(), "64");
    w.mp3wma.setText("MP3");
    EXPECT_EQ(w.Samplerate.items(), (std::vector<std::string>{"48", "44.1"}));
    EXPECT_EQ(w.Bitrate.text(), "96");

    // Navigation: next and back.
    w.N0.click();
    EXPECT_EQ(w.main.activePage(), &w.Step1);
    w.N1.click();
    w.N2.click();
    EXPECT_EQ(w.main.activePage(), &w.step3);
    w.P3.click();
    EXPECT_EQ(w.main.activePage(), &w.Step2);
}

TEST_F(WizardTest, SecondsKeepTwoDigitsUpTo59) {
    TKeswizard& w = open();
    w.sec.setText("75");
    EXPECT_EQ(w.sec.text(), "59");
    char key = 'a';
    w.movielength.onKeyPress(key);
    EXPECT_EQ(key, 0);
    key = '7';
    w.sec.onKeyPress(key); // two digits already
    EXPECT_EQ(key, 0);
}

TEST_F(WizardTest, OkWithDivX3OnOneCdSavesTheProfile) {
    form->ForceDeint.setChecked(false);
    TKeswizard& w = open();
    w.Edit2.setText("Small");
    w.Codec.setText("Low Motion");
    w.cd1.setChecked(true);
    w.movielength.setText("95");
    w.sec.setText("12");
    w.no.setChecked(true);
    w.Shutdown.setChecked(false);
    w.SubStream.setText("0x81");
    w.mp3wma.setText("MP3");
    w.Samplerate.setText("48");
    w.Bitrate.setText("128");
    w.Button3Click();

    EXPECT_EQ(form->finalsize.text(), "650");
    EXPECT_EQ(form->fps.text(), "25");
    EXPECT_EQ(form->Codec.text(), "Low Motion");
    EXPECT_TRUE(form->vki.checked());
    EXPECT_EQ(form->kframe.text(), "9999");
    EXPECT_EQ(form->movielength.text(), "95");
    EXPECT_EQ(form->sec.text(), "12");
    EXPECT_FALSE(form->ForceDeint.checked());
    EXPECT_FALSE(form->Shut.checked());
    for (ui::CheckBox* box : {&form->RipAll, &form->RipAudio, &form->RipVid, &form->normal, &form->compress,
                              &form->DelWav, &form->log, &form->DivxAuto, &form->px3gui, &form->Merge})
        EXPECT_TRUE(box->checked()) << box->caption();
    EXPECT_EQ(form->SubStream.text(), "0x81");
    EXPECT_EQ(form->Samplerate.text(), "48");
    EXPECT_EQ(form->Bitrate.text(), "128");

    const std::string saved = readBytes(profiles() / "Small.pfl");
    EXPECT_TRUE(saved.starts_with("[Options]\r\nProfileTitle=Small\r\n"));
    for (const char* line : {"vobpath=", "VCodec=L\r\n", "kf=9999\r\n", "FinalSize=650\r\n", "SDown=0\r\n",
                             "MovieLength=95\r\n", "Substream=0x81\r\n", "Bitrate=128\r\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    // Listed on the Profiles page at once.
    const auto items = form->memo1.items();
    EXPECT_NE(std::find(items.begin(), items.end(), "Small (Small.pfl)"), items.end());
    QCoreApplication::processEvents();
    EXPECT_EQ(Keswizard, nullptr); // closed and freed
}

TEST_F(WizardTest, OkWithDivX4TwoPassOnTwoCds) {
    TKeswizard& w = open();
    w.Edit2.setText("AC/DC live");
    w.Codec.setText("DivX 4.x");
    w.cd2.setChecked(true);
    w.pass2.setChecked(true);
    w.ntsc.setChecked(true);
    w.yes.setChecked(true);
    w.Button3Click();

    EXPECT_EQ(form->finalsize.text(), "1300");
    EXPECT_EQ(form->fps.text(), "23.976");
    EXPECT_EQ(form->D4VBR.text(), "2-pass, first pass");
    EXPECT_TRUE(form->proceed2.checked());
    EXPECT_FALSE(form->vki.checked());
    EXPECT_EQ(form->kframe.text(), "10");
    EXPECT_TRUE(form->ForceDeint.checked());
    EXPECT_TRUE(form->Split.checked());
    EXPECT_TRUE(form->Shut.checked());
    // A "/" in the title stays inside the profiles folder.
    EXPECT_NE(readBytes(profiles() / "AC_DC live.pfl").find("ProfileTitle=AC/DC live\r\n"),
              std::string::npos);
}

TEST_F(WizardTest, OkWithOnePassVariantsSetsThreeKeyFrames) {
    TKeswizard& w = open();
    w.Codec.setText("DivX 4.x");
    w.pass1HQ.setChecked(true);
    w.Button3Click();
    EXPECT_EQ(form->D4VBR.text(), "1-pass quality-based");
    EXPECT_EQ(form->kframe.text(), "3");
}

TEST_F(WizardTest, QuitWritesNothing) {
    form->fps.setText("25");
    TKeswizard& w = open();
    w.ntsc.setChecked(true);
    w.Button2Click();
    EXPECT_EQ(form->fps.text(), "25");
    EXPECT_TRUE(fs::is_empty(profiles()));
}

} // namespace
} // namespace kes
