// The profiles page: the list of profile files, loading the one clicked, saving and exporting, the
// name box, the "Reset" button of the main page and the choosers of the final AVI names.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/profile_format.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <stdexcept>

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgExists = 22;
constexpr int MsgReplace = 23;
constexpr int MsgAllExported = 49;
constexpr const char* ProfilesFolder = "profiles";
constexpr const char* ExportFolder = "Export";
constexpr const char* DefaultProfileName = "default.pfl";

// A folder of the program folder in the spelling it has on disk.
std::string programFolder(const std::string& progDir, const char* name) {
    return core::resolvePath(progDir + name);
}

// The folder part of a path without its final "/", as a dialog's starting folder.
std::string folderOf(const std::string& path) {
    std::string folder = core::extractFilePath(path);
    if (folder.size() > 1 && folder.back() == core::PathDelim)
        folder.pop_back();
    return folder;
}

} // namespace

void TForm1::connectProfileListHandlers() {
    memo1.onClick = [this] { memo1Click(); };
    memo1.onDblClick = [this] { addtomultiClick(); };
    memo2.onClick = [this] { memo1Click(); };
    ProfileEdit.onChange = [this] { ProfileEditChange(); };
    ProfileEdit.onKeyPress = [this](char& key) { ProfileEditKeyPress(key); };
    SaveProfile.onClick = [this] { SaveProfileClick(); };
    Exportprof.onClick = [this] { ExportprofClick(); };
    Reinit.onClick = [this] { ReinitClick(); };
    openfinal.onClick = [this] { OpenFinalClick(); };
    chooseaviss2.onClick = [this] { Chooseaviss2Click(); };
    addtomulti.onClick = [this] { addtomultiClick(); };
    SpeedButton2.onClick = [this] { SpeedButton2Click(); };
    SpeedButton3.onClick = [this] { SpeedButton3Click(); };
    erase.onClick = [this] { eraseClick(); };
    usemulti.onClick = [this] { usemultiClick(); };
    LaunchMulti.onClick = [this] { LaunchMultiClick(); };
}

// ---- The list ----

void TForm1::GetAllProfiles() {
    profileTable_.clear();
    memo1.clearItems();
    const std::string folder = core::withTrailingDelim(programFolder(ProgDir, ProfilesFolder));
    // Listed by file name, as the file system of the original platform enumerates them.
    for (const std::string& name : core::listFilesWithExt(folder, ProfileExtension)) {
        const std::string path = folder + name;
        std::string title;
        try {
            title = FindPflName(path);
        } catch (const std::runtime_error&) {
            continue; // a file that cannot be read has no title and is not listed
        }
        if (title.empty())
            continue;
        ProfileListItem item{profileListEntry(title, name), path};
        memo1.addItem(item.entry);
        profileTable_.push_back(std::move(item));
    }
}

void TForm1::memo1Click() {
    if (const int selected = memo1.itemIndex(); selected >= 0)
        ProfileEdit.setText(memo1.item(selected));
    const ProfileListItem* item = findProfileItem(profileTable_, ProfileEdit.text());
    if (!item)
        return;
    const std::string path = item->path;
    SaveDialog1.fileName = core::extractFileName(path);
    InitFields();
    InitPath();
    ReadProFile(path);
    Descrip.setText({});
    CopyFromProfile();
    setautoparam();
    setCaption(caption() + " (* " + curset.text() + " *)");
}

void TForm1::ProfileEditChange() {
    setCaption(captionWithProfile(caption(), ProfileEdit.text()));
    SaveDialog1.fileName = saveNameOfProfile(ProfileEdit.text());
    setautoparam();
}

void TForm1::ProfileEditKeyPress(char& /*key*/) {
    // A new name makes the old description meaningless; the key itself still reaches the box.
    Descrip.setText({});
}

// ---- Saving and exporting ----

bool TForm1::mayWriteProfile(const std::string& path, const std::string& shownName) {
    if (!core::fileExists(path))
        return true;
    return ui::messageBox(ui::MessageKind::Question,
                          shownName + MessageTable[MsgExists] + "\r\n" + MessageTable[MsgReplace],
                          ui::Buttons::YesNo) == ui::Answer::Yes;
}

void TForm1::rebuildProfileList() {
    const std::string name = ProfileEdit.text();
    ProfileEdit.setText({});
    GetAllProfiles();
    ProfileEdit.setText(name);
}

void TForm1::SaveProfileClick() {
    SaveDialog1.initialDir = programFolder(ProgDir, ProfilesFolder);
    if (SaveDialog1.execute(this)) {
        const std::string path = SaveDialog1.fileName;
        if (mayWriteProfile(path, core::extractFileName(path)))
            CreateProfile(false);
    }
    rebuildProfileList();
}

void TForm1::ExportprofClick() {
    if (exportall.checked()) {
        Allexport();
        ui::showMessage(MessageTable[MsgAllExported]);
        return;
    }
    SaveDialog1.initialDir = programFolder(ProgDir, ExportFolder);
    if (SaveDialog1.execute(this)) {
        const std::string path = SaveDialog1.fileName;
        if (mayWriteProfile(path, path))
            CreateProfile(true);
    }
    rebuildProfileList();
}

void TForm1::Allexport() {
    // Each export goes to the export folder under the profile's own file name. (Replacing a
    // "/profiles/" inside the whole path would pick a folder above the program folder when one of
    // those has that name.)
    const std::string exportFolder = core::withTrailingDelim(programFolder(ProgDir, ExportFolder));
    const std::vector<ProfileListItem> table = profileTable_;
    for (const std::string& entry : memo1.items()) {
        const ProfileListItem* item = findProfileItem(table, entry);
        if (!item || !core::fileExists(item->path))
            continue;
        InitFields();
        InitPath();
        ReadProFile(item->path);
        CopyFromProfile();
        ui::processMessages();
        SaveDialog1.fileName = exportFolder + core::extractFileName(item->path);
        CreateProfile(true);
    }
}

// ---- Reset ----

void TForm1::ReinitClick() {
    for (ui::CheckBox* box : {&dual, &ForceDeint}) {
        box->setChecked(false);
        box->setEnabled(true);
    }
    memo2.clearItems();
    usemulti.setChecked(false);
    usemulti.setEnabled(false);
    LaunchMulti.setEnabled(false);
    InitFields();
    InitPath();
    const std::string defaultProfile = ProgDir + ProfilesFolder + core::PathDelim + DefaultProfileName;
    if (core::fileExists(defaultProfile)) {
        ReadProFile(defaultProfile);
        CopyFromProfile();
        ProfileEdit.setText(ProfileEdit.text() + " (" + DefaultProfileName + ")");
        SaveDialog1.fileName = DefaultProfileName;
    }
    ifofileChange();
}

// ---- Final AVI choosers ----

void TForm1::OpenFinalClick() {
    OpenDialog5.initialDir = folderOf(FinalFile.text());
    if (OpenDialog5.execute(this))
        FinalFile.setText(OpenDialog5.fileName);
}

void TForm1::Chooseaviss2Click() {
    OpenDialog5.initialDir = folderOf(AviSS2.text());
    if (twostreams.checked() && OpenDialog5.execute(this))
        AviSS2.setText(OpenDialog5.fileName);
}

} // namespace kes
