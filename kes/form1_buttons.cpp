// The paths page's check of the chosen files, the file choosers of the paths and extras pages, the
// output-name changes that refresh the status lights, and the connection of the page column's tool
// launchers and the extras.
#include "kes/form1.h"

#include "kes/form1_unit.h"
#include "kes/free_space.h"
#include "kes/ifo_files.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/volumes.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* CrLf = "\r\n";
constexpr int MsgFirstVobMissing = 20;
constexpr int MsgFileExists = 22;
constexpr int MsgFilesWillBeReplaced = 55;
constexpr int MsgFoldersMissing = 56;

// Runs a file dialog in the folder of the edit's path (or in the dialog's own folder when
// fromEditFolder is false) and puts the chosen file into the edit. A cancel changes nothing.
void chooseInto(ui::OpenDialog& dialog, ui::Edit& edit, bool fromEditFolder, ui::Form* owner) {
    if (fromEditFolder)
        dialog.initialDir = core::extractFilePath(edit.text());
    if (dialog.execute(owner))
        edit.setText(dialog.fileName);
}

} // namespace

void TForm1::connectButtonHandlers() {
    SpeedButton4.onClick = [this] { SpeedButton4Click(); };
    OpenVOB.onClick = [this] { OpenVOBClick(); };
    openavi.onClick = [this] { OpenAviClick(); };
    openMP3.onClick = [this] { OpenMP3Click(); };
    SpeedButton1.onClick = [this] { SpeedButton1Click(); };
    button2.onClick = [this] { Button2Click(); };
    button5.onClick = [this] { Button5Click(); };
    Button1.onClick = [this] { Button1Click(); };
    button3.onClick = [this] { Button3Click(); };
    button4.onClick = [this] { Button4Click(); };
    button6.onClick = [this] { Button6Click(); };
    for (ui::Edit* output : {&AVIFile, &WavFileEdit, &Wav2, &compaudiofile, &compressedSS2, &AviSS2})
        output->onChange = [this] { isfileok(); };
    FinalFile.onChange = [this] { FinalFileChange(); };

    AudExtr.onClick = [this] { AudExtrClick(); };
    AddVexlor.onClick = [this] { AddVexlorClick(); };
    SynchButton.onClick = [this] { SynchButtonClick(); };
    usebutton.onClick = [this] { usebuttonClick(); };
    coverbutton.onClick = [this] { coverbuttonClick(); };
    Button7.onClick = [this] { Button7Click(); };
    wizard.onClick = [this] { wizardClick(); };
    tilbo.onClick = [this] { tilboClick(); };
}

void TForm1::SpeedButton4Click() {
    if (!core::fileExists(Vobfile.text()))
        ui::errorBox(MessageTable[MsgFirstVobMissing]);
    std::string existing;
    std::string missingFolders;
    for (const ui::Edit* edit :
         {&AVIFile, &WavFileEdit, &Wav2, &compaudiofile, &compressedSS2, &FinalFile, &AviSS2}) {
        const std::string path = edit->text();
        // A box left empty names no file and no folder.
        if (path.empty())
            continue;
        if (core::fileExists(path))
            existing += path + MessageTable[MsgFileExists] + CrLf;
        const std::string folder = core::extractFilePath(path);
        if (!core::directoryExists(folder.empty() ? std::string(".") : folder))
            missingFolders += folder + CrLf;
    }
    if (!existing.empty())
        ui::warningBox(existing + CrLf + MessageTable[MsgFilesWillBeReplaced]);
    if (!missingFolders.empty())
        ui::warningBox(MessageTable[MsgFoldersMissing] + CrLf + missingFolders);
    HD.setText(FixedDrivesText());
    isfileok();
}

void TForm1::FinalFileChange() {
    ifofile.setText(IfoNameOfVob(Vobfile.text()));
    destsub.setText(SubNameOfAvi(FinalFile.text()));
    isfileok();
}

void TForm1::OpenVOBClick() {
    chooseInto(OpenDialog1, Vobfile, true, this);
}
void TForm1::OpenAviClick() {
    chooseInto(OpenDialog2, AVIFile, true, this);
}
void TForm1::OpenMP3Click() {
    chooseInto(OpenDialog3, WavFileEdit, true, this);
}
void TForm1::SpeedButton1Click() {
    if (twostreams.checked())
        chooseInto(OpenDialog3, Wav2, true, this);
}
void TForm1::Button2Click() {
    chooseInto(OpenDialog3, compaudiofile, true, this);
}
void TForm1::Button5Click() {
    if (twostreams.checked())
        chooseInto(OpenDialog3, compressedSS2, true, this);
}
void TForm1::Button1Click() {
    chooseInto(OpenDialog2, savi, false, this);
}
void TForm1::Button3Click() {
    chooseInto(OpenDialog3, Daudio, false, this);
}
void TForm1::Button4Click() {
    chooseInto(OpenDialog2, SVexlor, false, this);
}
void TForm1::Button6Click() {
    chooseInto(OpenDialog2, DVexlor, false, this);
}

} // namespace kes
