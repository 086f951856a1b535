// The stream extractor window: its controls, their places, its creation and closing, and what the
// graph builder asks of the window.

#include "tools/stream_extractor/tform8.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace tools::stream_extractor {

TForm8* Form8 = nullptr;

namespace {

constexpr int kClientWidth = 420;
constexpr int kClientHeight = 540;
constexpr const char* kCaption = "Stream Extractor";
constexpr const char* kFontFamily = "MS Sans Serif";
constexpr int kFontSize = 8;

std::string withoutTrailingDelim(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string programFolderOf(const MainWindowLink& link) {
    if (!link.programFolder.empty())
        return withoutTrailingDelim(link.programFolder);
    return withoutTrailingDelim(platform::core::extractFilePath(ui::programFile()));
}

} // namespace

TForm8::TForm8(MainWindowLink link)
    : link_(std::move(link)), programFolder_(programFolderOf(link_)),
      graph_(sg::streamExtractorPolicy(programFolder_), *this) {
    Form8 = this;
    setCaption(kCaption);
    setBorderStyle(ui::BorderStyle::Single);
    setPosition(ui::FormPosition::ScreenCenter);
    setFont(ui::Font{kFontFamily, kFontSize, ui::Colors::WindowText, {}});
    layOut();
    connectHandlers();
    create();
}

TForm8::~TForm8() {
    Timer1.setEnabled(false);
    graph_.CloseDSPlayer();
    // Destroyed while open: the main window comes back as if the window had been closed.
    if (!mainRestored_ && link_.restore)
        link_.restore();
    if (Form8 == this)
        Form8 = nullptr;
}

void TForm8::layOut() {
    setClientSize(kClientWidth, kClientHeight);
    ActionBox.setBounds(8, 8, 150, 88);
    Method1.setBounds(10, 20, 130, 18);
    Method2.setBounds(10, 40, 130, 18);
    Method3.setBounds(10, 60, 130, 18);
    Button3.setBounds(168, 16, 90, 28);
    Stop.setBounds(168, 56, 90, 28);
    Button4.setBounds(320, 16, 90, 28);

    FilesBox.setBounds(8, 100, 404, 104);
    SourceLabel.setBounds(10, 18, 200, 16);
    SourceFN.setBounds(10, 34, 330, 22);
    Button1.setBounds(346, 34, 48, 22);
    DestLabel.setBounds(10, 58, 200, 16);
    DestFN.setBounds(10, 74, 330, 22);
    Button2.setBounds(346, 74, 48, 22);

    StreamsBox.setBounds(8, 208, 200, 76);
    StreamsLabel.setBounds(10, 20, 90, 16);
    nbstreams.setBounds(104, 20, 40, 16);
    StreamLabel.setBounds(10, 46, 50, 16);
    AC3Choose.setBounds(64, 44, 100, 22);

    FoundBox.setBounds(216, 208, 196, 76);
    pinlist.setBounds(10, 18, 176, 50);

    PlayBox.setBounds(8, 288, 404, 92);
    Button6.setBounds(10, 18, 60, 24);
    PlayLabel1.setBounds(78, 22, 200, 16);
    PlayLabel2.setBounds(10, 48, 200, 16);
    PlayLabel3.setBounds(212, 48, 80, 16);
    Button5.setBounds(300, 44, 60, 24);
    pb.setBounds(10, 72, 384, 12);
    pb.setMin(0);
    pb.setMax(100);

    DebugWin.setBounds(8, 386, 404, 146);
    DebugWin.setScrollBars(ui::ScrollBars::Vertical);
    DebugWin.setReadOnly(true);
    DebugWin.setLines({"DebugWin", "-----------------"});

    Button3.setEnabled(false);
}

void TForm8::connectHandlers() {
    onCreate = [this] { FormCreate(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    SourceFN.onChange = [this] { SourceFNChange(); };
    Method1.onClick = [this] { MethodClick(); };
    Method2.onClick = [this] { MethodClick(); };
    Method3.onClick = [this] { MethodClick(); };
    pinlist.onClick = [this] { pinlistClick(); };
    Button3.onClick = [this] { Button3Click(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    Stop.onClick = [this] { StopClick(); };
    Button5.onClick = [this] { Button5Click(); };
    PlayBox.onClick = [this] { PlayBoxClick(); };
    Button6.onClick = [this] { Button6Click(); };
    Button4.onClick = [this] { Button4Click(); };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { Button2Click(); };
}

void TForm8::FormCreate() {
    // The program folder is known from construction on, so a search started here finds the filters.
    const std::string vob = link_.vobFile ? link_.vobFile() : std::string();
    if (!vob.empty() && platform::core::fileExists(vob))
        SourceFN.setText(vob);
    if (link_.minimize)
        link_.minimize();
    graph_.StopRequested = false;
}

void TForm8::FormClose(ui::CloseAction&) {
    // A running extraction, play or "Fix" ends with the window.
    graph_.StopRequested = true;
    Timer1.setEnabled(false);
    extracting_ = false;
    graph_.CloseDSPlayer();
    if (link_.restore)
        link_.restore();
    mainRestored_ = true;
}

void TForm8::log(const std::string& line) {
    DebugWin.addLine(line);
    DebugWin.scrollToEnd();
}

void TForm8::showMessage(const std::string& text) {
    ui::showMessage(text);
}

void TForm8::showError(const std::string& text) {
    ui::errorBox(text);
}

void TForm8::logLine(const std::string& line) {
    log(line);
}

void TForm8::streamReset() {
    AC3Choose.setText({});
}

void TForm8::processMessages() {
    ui::processMessages();
}

} // namespace tools::stream_extractor
