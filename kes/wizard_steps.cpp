// The wizard's steps: the choices copied to the main window at once (title, preset, audio stream,
// subtitle language, preview and play), the audio format lists, and OK, which writes every choice into
// the main window and saves it as a profile.
#include "kes/wizard.h"

#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/text_helpers.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgClosing1 = 34;
constexpr int MsgClosing2 = 35;
// A longer movie is previewed from 10 x 5000 sectors on, past the opening titles.
constexpr int LongMovieMinutes = 90;
constexpr const char* PreviewStartBlocks = "10";
constexpr const char* ProfilesFolder = "profiles/";

} // namespace

void TKeswizard::Edit2Change() {
    Form1->ProfileEdit.setText(Edit2.text());
}

void TKeswizard::cd1Click() {
    if (cd1.checked())
        split.setChecked(false);
}

void TKeswizard::cd2Click() {
    split.setChecked(cd2.checked());
}

void TKeswizard::CodecChange() {
    const bool divx4 = contains(Codec.text(), "4");
    for (ui::RadioButton* pass : {&pass1, &pass2, &pass1HQ})
        pass->setEnabled(divx4);
}

void TKeswizard::presetsChange() {
    TForm1& f = *Form1;
    // The wizard lists only the presets that fit the picture, so its index is found again by text in
    // the main window's full list.
    const int index = f.presets.indexOf(presets.text());
    if (index >= 0)
        f.presets.setItemIndexSilent(index);
    else
        f.presets.setTextSilent(presets.text());
    f.changepres();
}

void TKeswizard::Button1Click() {
    TForm1& f = *Form1;
    f.MovieButtonClick();
    if (core::fileExists(f.ifofile.text()) && core::strToIntDef(movielength.text(), 0) > LongMovieMinutes &&
        contains(presets.text(), "[")) {
        f.prevstart.setChecked(true);
        f.Min.setText(PreviewStartBlocks);
    } else {
        f.prevstart.setChecked(false);
    }
    f.PreviewVidClick();
}

void TKeswizard::SubStreamChange() {
    Form1->SubStream.setText(SubStream.text());
}

void TKeswizard::PreAudClick() {
    Form1->AudioButtonClick();
    Form1->PreAudClick();
}

void TKeswizard::mp3wmaChange() {
    if (mp3wma.text() == "MP3") {
        Samplerate.setItems({"48", "44.1"});
        Bitrate.setItems({"96", "112", "128", "160", "192"});
        Bitrate.setText("96");
    } else {
        Samplerate.setItems({"44.1", "32", "22.05"});
        Bitrate.setItems({"64"});
        Bitrate.setText("64");
    }
    Samplerate.setText("44.1");
}

void TKeswizard::lnglistChange() {
    Form1->selectedlng.clearItems();
    Form1->selectedlng.addItem(lnglist.text());
}

void TKeswizard::Button3Click() {
    TForm1& f = *Form1;
    // 1.
    if (extractsub.checked())
        f.extractsub.setEnabled(true);
    f.OptionsButtonClick();

    // 2.
    for (ui::CheckBox* step :
         {&f.RipAll, &f.RipAudio, &f.normal, &f.compress, &f.DelWav, &f.log, &f.DivxAuto, &f.px3gui})
        step->setChecked(true);
    f.Shut.setChecked(Shutdown.checked());
    f.RipVid.setChecked(true);

    // 3.
    f.fps.setText(pal.checked() ? "25" : "23.976");
    f.finalsize.setText(cd1.checked() ? "650" : "1300");

    // 4.
    f.movielength.setText(movielength.text());
    f.sec.setText(sec.text());
    f.Codec.setText(Codec.text());
    f.CodecChange();

    // 5.
    const bool divx4 = contains(f.Codec.text(), "4");
    if (divx4) {
        if (pass1.checked()) {
            f.D4VBR.setText("1-pass");
        } else if (pass1HQ.checked()) {
            f.D4VBR.setText("1-pass quality-based");
        } else {
            f.proceed2.setEnabled(true);
            f.D4VBR.setText("2-pass, first pass");
            f.proceed2.setChecked(true);
        }
    }

    // 6. Without DivX 4 the key frames are left to the codec.
    f.vki.setChecked(false);
    if (divx4)
        f.kframe.setText(contains(f.D4VBR.text(), "2-pass") ? "10" : "3");
    else
        f.vki.setChecked(true);

    // 7.
    if (yes.checked())
        f.ForceDeint.setChecked(true);

    // 8.
    f.SubStream.setText(SubStream.text());
    f.mp3wma.setText(mp3wma.text());
    f.Samplerate.setText(Samplerate.text());
    f.Bitrate.setText(Bitrate.text());

    // 9.
    f.Merge.setChecked(true);
    f.Split.setChecked(split.checked());
    f.extractsub.setChecked(extractsub.checked());
    if (extractsub.checked())
        f.extractsub.setEnabled(true);

    // 10. A profile that cannot be written is reported there and leaves the wizard open.
    f.SaveDialog1.fileName = f.progDir() + ProfilesFolder + fileNameOfTitle(Edit2.text()) + ".pfl";
    f.CreateProfile(false);
    f.GetAllProfiles(); // the new profile is in the list at once

    // 11, 12.
    ui::showMessage(Texts.text(MsgClosing1) + "\r\n" + Texts.text(MsgClosing2));
    close();
}

void TKeswizard::Button2Click() {
    close();
}

} // namespace kes
