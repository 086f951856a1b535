// The extras that work on an existing AVI (its audio to a WAV file; the logo clip appended) and the
// launchers of the tool windows. A launcher creates a new window on every click and shows it without
// waiting; the window frees itself when it closes. The extras create, run and free their window within
// one click.
#include "kes/form1.h"

#include "kes/form1_unit.h"
#include "kes/language_file.h"
#include "kes/language_section.h"
#include "kes/wizard.h"

#include "cover/tcoverprint.h"
#include "tools/clip_appender/tform7.h"
#include "tools/muxer/tform5.h"
#include "tools/stream_extractor/tform8.h"
#include "tools/synchronizer/tform6.h"
#include "tools/vobsub_adjuster/tvsub.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

#include <memory>
#include <optional>
#include <vector>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* AviExt = ".avi";
constexpr const char* LogoClipPrefix = "Vexlor/Vexlor";
constexpr const char* CrLf = "\r\n";
constexpr const char* NoProfile = "None";
constexpr int MsgFirstVobMissing = 20;
constexpr int MsgSourceMissing = 46;
constexpr int MsgWizardNeedsVob = 59;

// Shows a tool window made with new; closing it frees it, whatever its own close handler does.
template <typename Window>
Window* openTool(Window* window) {
    std::function<void(ui::CloseAction&)> ownClose = window->onClose;
    window->onClose = [ownClose](ui::CloseAction& action) {
        if (ownClose)
            ownClose(action);
        action = ui::CloseAction::Free;
    };
    window->show();
    return window;
}

// The main window goes to the task bar while a tool that asks for it is open. The hooks reach it
// through Form1, so that a tool outliving it finds nothing to restore.
void minimizeMain() {
    if (Form1 != nullptr)
        Form1->minimize();
}
void restoreMain() {
    if (Form1 != nullptr)
        Form1->restore();
}

// The synchronizer's section of the language file the tool windows read, in file order.
bool synchronizerSection(const std::string& programDir,
                         std::vector<tools::synchronizer::SectionText>& entries) {
    const std::optional<std::string> bytes = readLanguageFile(sectionLanguageFile(programDir));
    if (!bytes)
        return false;
    for (LanguageEntry& entry : readSection(splitLanguageLines(*bytes), 0, SynchronizerSection).entries)
        entries.push_back({entry.number, std::move(entry.text)});
    return true;
}

// An extra that would write over its own source would lose the user's file.
bool writesOverSource(const std::string& source, const std::string& target) {
    if (!core::sameFile(source, target))
        return false;
    ui::errorBox("The destination " + target + " is the source file !");
    return true;
}

} // namespace

void TForm1::AudExtrClick() {
    JobGuard job(*this);
    const std::string source = savi.text();
    auto muxer = std::make_unique<tools::muxer::TForm5>();
    muxer->SourceEdit.setText(source);
    muxer->TargetEdit.setText(Daudio.text());
    muxer->demux.setChecked(true);
    muxer->show();
    if (!core::fileExists(source))
        ui::errorBox(MessageTable[MsgSourceMissing]);
    else if (!writesOverSource(source, Daudio.text()))
        muxer->SaveWave();
}

void TForm1::AddVexlorClick() {
    if (!core::equalsIgnoreCase(core::extractFileExt(DVexlor.text()), AviExt))
        DVexlor.setText(DVexlor.text() + AviExt);
    const std::string source = SVexlor.text();
    if (!core::fileExists(source)) {
        ui::errorBox(MessageTable[MsgSourceMissing]);
        return;
    }
    if (writesOverSource(source, DVexlor.text()))
        return;
    JobGuard job(*this);
    auto appender = std::make_unique<tools::clip_appender::TForm7>();
    appender->SourceEdit.setText(source);
    appender->TargetEdit.setText(DVexlor.text());
    appender->LogoPrefix = ProgDir + LogoClipPrefix;
    appender->show();
    appender->MuxStreams(true);
}

void TForm1::SynchButtonClick() {
    tools::synchronizer::MainWindowLink link;
    link.programFolder = ProgDir;
    link.minimize = minimizeMain;
    link.restore = restoreMain;
    link.loadLanguageSection = [dir = ProgDir](std::vector<tools::synchronizer::SectionText>& entries) {
        return synchronizerSection(dir, entries);
    };
    openTool(new tools::synchronizer::TForm6(std::move(link)));
}

void TForm1::usebuttonClick() {
    tools::stream_extractor::MainWindowLink link;
    link.programFolder = ProgDir;
    link.vobFile = [] { return Form1 != nullptr ? Form1->Vobfile.text() : std::string(); };
    link.minimize = minimizeMain;
    link.restore = restoreMain;
    openTool(new tools::stream_extractor::TForm8(std::move(link)));
}

void TForm1::coverbuttonClick() {
    // Without a profile ("None") the printer opens empty; with one it takes the movie name, the length
    // (only with "DivX Auto"), the settings description and the comment.
    cover::MainWindowLink link;
    link.programFolder = ProgDir;
    link.minimize = minimizeMain;
    link.restore = restoreMain;
    if (ProfileEdit.text() == NoProfile) {
        openTool(new cover::TCoverPrint(std::move(link)));
        return;
    }
    // The hooks reach the main window through Form1, so that a printer outliving it reads nothing.
    link.profileName = [] { return Form1 != nullptr ? Form1->ProfileEdit.text() : std::string(NoProfile); };
    link.movieLength = []() -> std::optional<std::string> {
        if (Form1 == nullptr || !Form1->DivxAuto.checked())
            return std::nullopt;
        return Form1->movielength.text();
    };
    link.settings = [] { return Form1 != nullptr ? Form1->curset.text() : std::string(); };
    link.comment = [] { return Form1 != nullptr ? Form1->Comment.text() : std::string(); };
    openTool(new cover::TCoverPrint(std::move(link)));
}

void TForm1::Button7Click() {
    // The adjuster minimises and restores the main window itself.
    openTool(new tools::vobsub_adjuster::TVSUB());
}

void TForm1::wizardClick() {
    const std::string vob = Vobfile.text();
    if (!core::fileExists(vob)) {
        ui::errorBox(MessageTable[MsgFirstVobMissing] + CrLf + MessageTable[MsgWizardNeedsVob] + CrLf +
                     core::extractFilePath(vob));
        return;
    }
    // The wizard frees itself when it closes.
    (new TKeswizard())->show();
    PathsButtonClick();
}

void TForm1::tilboClick() {}

} // namespace kes
