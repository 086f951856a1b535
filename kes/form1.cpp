// The main window's life: creation in its fixed order of steps, show, close, and the one-second clock.
#include "kes/form1.h"

#include "kes/form1_unit.h"
#include "kes/free_space.h"
#include "kes/work_folders.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/core/text.h"
#include "platform/core/volumes.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdlib>

namespace kes {

namespace core = platform::core;

TForm1* Form1 = nullptr;

namespace {

constexpr const char* ProgramVersion = "1.24";
constexpr const char* KeyKestrova = "Software\\Kestrova";
constexpr const char* KeyLanguageChosen = "Software\\Kestrova\\Lang1.24";
constexpr const char* EnglishLanguageFile = "LANG/English.lng";
constexpr const char* LanguageChoiceFile = "LANG/default.ini";
constexpr const char* DefaultProfile = "profiles/default.pfl";
constexpr const char* DefaultProfileName = "default.pfl";
constexpr const char* UserPresetsFile = "profiles/user.res";
constexpr const char* DivX3Codec = "divxc32.dll";
constexpr const char* DivX3CodecF = "divxc32f.dll";
constexpr const char* DivX4Only = "DivX 4.x";
// A user preset file is a short list of picture sizes; more lines than this are not presets.
constexpr size_t MaxUserPresets = 1000;
constexpr int64_t MaxUserPresetsBytes = int64_t{MaxUserPresets} * 256; // lines of a picture size or so

// Messages of the language file used here.
constexpr int MsgFreeMb = 38;
constexpr int MsgTotal = 39;
constexpr int MsgTimePrefix = 42;
constexpr int MsgDotInPath = 64;
constexpr int MsgPathWithoutDot = 65;

std::string systemFolder(const std::string& startDir) {
    if (const char* dir = std::getenv("KESTROVA_SYSTEM_DIR"); dir && *dir)
        return dir;
    return core::joinPath(startDir, "system");
}

} // namespace

TForm1::TForm1() {
    Form1 = this;
    buildWindow();
    connectHandlers();
    create();
}

TForm1::~TForm1() {
    Timer1.setEnabled(false);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::connectHandlers() {
    onCreate = [this] { FormCreate(); };
    onShow = [this] { FormShow(); };
    onCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    Timer1.onTimer = [this] { Timer1Timer(); };

    OptionsButton.onClick = [this] { OptionsButtonClick(); };
    MovieButton.onClick = [this] { MovieButtonClick(); };
    AudioButton.onClick = [this] { AudioButtonClick(); };
    PathsButton.onClick = [this] { PathsButtonClick(); };
    ProfilesButton.onClick = [this] { ProfilesButtonClick(); };
    ExtrasButton.onClick = [this] { ExtrasButtonClick(); };
    subbutton.onClick = [this] { subbuttonClick(); };
    Button8.onClick = [this] { Button8Click(); };
    sortir.onClick = [this] { SortirClick(); };
    connectRipHandlers();
    connectLanguageHandlers();
    connectVideoHandlers();
    connectCodecHandlers();
    connectAudioHandlers();
    connectSubtitleHandlers();
    connectProfileListHandlers();
    connectButtonHandlers();
}

void TForm1::FormCreate() {
    // 1. The program folder is the current directory at start, not the program file's folder.
    StartDir = core::currentDir();
    SystemDir = systemFolder(StartDir);
    startingUp_ = true;
    ProgDir = core::withTrailingDelim(StartDir);
    ExternDir = ProgDir + "extern" + core::PathDelim;

    // 2. Every browse button shows the folder glyph of the first one.
    for (ui::SpeedButton* browse : {&openavi, &openMP3, &SpeedButton1, &Button1, &button2, &button3, &button4,
                                    &button5, &button6, &openfinal, &chooseaviss2})
        browse->setGlyph(OpenVOB.glyph());
    tilbo.setEnabled(false);

    // 3.
    MakeWorkFolders();

    // 4.
    WinFamily = "NT/2000/XP";
    setCaption(std::string("Kestrova v") + ProgramVersion + " [Win " + WinFamily + "]");

    // 5. A missing extern folder simply gets no control files; the helper check below reports it.
    if (!writeNulFiles(ExternDir) && core::directoryExists(ExternDir))
        ui::errorBox("Can't write " + ExternDir + std::string(NulBinName) + " !");

    // 6. Without the English file the program ends once creation is over.
    const bool englishMissing = !core::fileExists(ProgDir + EnglishLanguageFile);
    if (englishMissing)
        ui::errorBox("English language file not found - please reinstall !");

    // 7. A language choice of an older version is forgotten.
    if (!core::registry::keyExists(core::RootKey::CurrentUser, KeyLanguageChosen))
        core::deleteFile(ProgDir + LanguageChoiceFile);

    // 8, 9.
    GetAllLng();
    AssignLangage("DEF");
    GetAllProfiles();

    // 10.
    if (const std::string missing = AreSoftsThere(); !missing.empty())
        ui::warningBox(missingHelpersWarning(missing));

    // 11, 12, 13.
    InitFields();
    InitPath();
    if (core::fileExists(ProgDir + DefaultProfile)) {
        ReadProFile(ProgDir + DefaultProfile);
        CopyFromProfile();
        SaveDialog1.fileName = DefaultProfileName;
    }
    setautoparam();

    // 14.
    // Only the lines that can be taken are read: a file of more bytes than they could fill is cut.
    if (auto head = core::readFileHead(ProgDir + UserPresetsFile, MaxUserPresetsBytes)) {
        const std::vector<std::string> lines = core::splitLines(*head);
        for (size_t i = 0; i < lines.size() && i < MaxUserPresets; ++i)
            presets.addItem(lines[i]);
    }

    // 15.
    if (const int dot = core::pos(".", ProgDir); dot > 0) {
        ui::errorBox(MessageTable[MsgDotInPath] + " " + ProgDir + "\r\n" + MessageTable[MsgPathWithoutDot] +
                     " " + core::deleteText(ProgDir, dot, 1));
    }

    startingUp_ = false;
    Timer1.setEnabled(true);
    if (englishMissing)
        QTimer::singleShot(0, window(), [this] { close(); });
}

void TForm1::FormShow() {
    if (!core::fileExists(core::joinPath(SystemDir, DivX3Codec)) ||
        !core::fileExists(core::joinPath(SystemDir, DivX3CodecF))) {
        // The text stays "DivX 4.x" when it already was: emptying the list is no change of codec.
        const bool unchanged = Codec.text() == DivX4Only;
        Codec.clearItems();
        Codec.addItem(DivX4Only);
        if (unchanged)
            Codec.setTextSilent(DivX4Only);
        else
            Codec.setText(DivX4Only);
    }
    if (!core::registry::keyExists(core::RootKey::CurrentUser, KeyKestrova)) {
        ui::informationBox("It seems this is the first time you use Kestrova.\r\n"
                           "If you're new in ripping I suggest you to use the WIZARD ! Good rip ;-)");
        // A store that cannot be written only means the box shows again at the next start.
        core::registry::createKey(core::RootKey::CurrentUser, KeyKestrova);
    }
}

void TForm1::FormCloseQuery(bool& canClose) {
    // A close during a rip waits for its end: the rip's loops run inside this window's handlers.
    if (jobRunning()) {
        closePending_ = true;
        canClose = false;
    }
}

void TForm1::FormClose(ui::CloseAction& /*action*/) {
    Timer1.setEnabled(false);
    deleteCloseFiles(ExternDir);
}

std::string TForm1::FixedDrivesText() const {
    return fixedDrivesText(core::fixedVolumes(), MessageTable[MsgFreeMb], MessageTable[MsgTotal]);
}

void TForm1::Timer1Timer() {
    HD.setText(FixedDrivesText());
    mytime.setCaption(MessageTable[MsgTimePrefix] + core::timeText(core::now()));
}

void TForm1::HDSPACEClick() {
    ui::showMessage(FixedDrivesText());
}

void TForm1::MakeWorkFolders() {
    makeWorkFolders(ProgDir);
}

std::string TForm1::AreSoftsThere() const {
    return missingHelpers(ExternDir);
}

} // namespace kes
