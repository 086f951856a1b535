// The window of Tonegrab: its controls, their places, and what the builder asks of the window.

#include "trovel/tform1.h"

#include "trovel/exit_status.h"

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace trovel {

TForm1* Form1 = nullptr;

namespace {

constexpr int kClientWidth = 420;
constexpr const char* kFontFamily = "MS Sans Serif";
constexpr int kFontSize = 8;

} // namespace

TForm1::TForm1(std::string ownFolder, std::vector<std::string> arguments)
    : ExitStatus(kExitFailed), ownFolder_(std::move(ownFolder)), arguments_(std::move(arguments)),
      parameters_(parseParameters(arguments_)), graph_(sg::tonegrabPolicy(ownFolder_), *this) {
    Form1 = this;
    setCaption("Audio Extractor");
    setBorderStyle(ui::BorderStyle::ToolWindow);
    setPosition(ui::FormPosition::ScreenCenter);
    setFont(ui::Font{kFontFamily, kFontSize, ui::Colors::WindowText, {}});
    layOut();
    connectHandlers();
    create();
}

TForm1::~TForm1() {
    graph_.CloseDSPlayer();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::layOut() {
    setClientSize(kClientWidth, kHeightWithoutDebug);
    ActionBox.setBounds(8, 8, 200, 88);
    WriteFile.setBounds(10, 20, 180, 18);
    Render.setBounds(10, 40, 180, 18);
    dw.setBounds(10, 60, 180, 18);
    Button3.setBounds(216, 16, 90, 28);
    Stop.setBounds(216, 52, 90, 28);
    Button4.setBounds(316, 16, 90, 28);

    FilesBox.setBounds(8, 100, 404, 104);
    SourceLabel.setBounds(10, 18, 200, 16);
    SourceFN.setBounds(10, 34, 330, 22);
    Button1.setBounds(346, 34, 48, 22);
    DestLabel.setBounds(10, 58, 200, 16);
    DestFN.setBounds(10, 74, 330, 22);
    Button2.setBounds(346, 74, 48, 22);

    StreamsBox.setBounds(8, 208, 250, 96);
    StreamsLabel.setBounds(10, 20, 90, 16);
    nbstreams.setBounds(104, 20, 40, 16);
    StreamLabel.setBounds(10, 44, 50, 16);
    ac3choose.setBounds(64, 42, 100, 22);
    flip.setBounds(10, 70, 230, 18);

    SeekBox.setBounds(266, 208, 146, 96);
    bck.setBounds(10, 20, 60, 26);
    fwd.setBounds(76, 20, 60, 26);
    SeekLabel.setBounds(10, 56, 130, 16);

    DebugWin.setBounds(8, 316, 404, 152);
    DebugWin.setScrollBars(ui::ScrollBars::Vertical);
    DebugWin.setLines({"DebugWin", "-----------------"});

    WriteFile.setCheckedSilent(true);
    bck.setEnabled(false);
    fwd.setEnabled(false);
}

void TForm1::connectHandlers() {
    onCreate = [this] { FormCreate(); };
    onShow = [this] { FormShow(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    SourceFN.onChange = [this] { SourceFNChange(); };
    Timer2.onTimer = [this] { Timer2Timer(); };
    Stop.onClick = [this] { StopClick(); };
    Button4.onClick = [this] { Button4Click(); };
    Button3.onClick = [this] { Button3Click(); };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { Button2Click(); };
    dw.onClick = [this] { dwClick(); };
    WriteFile.onClick = [this] { WriteFileClick(); };
    Render.onClick = [this] { RenderClick(); };
    bck.onClick = [this] { bckClick(); };
    fwd.onClick = [this] { fwdClick(); };
}

void TForm1::FormCreate() {
    // The window is never used without its parameters.
    if (arguments_.size() < kParameterCount) {
        ExitStatus = kExitUsage;
        close();
    }
}

void TForm1::FormShow() {
    if (shown_)
        return;
    shown_ = true;
    if (!applyParameters()) {
        finish(kExitUsage);
        return;
    }
    if (listFailed_) {
        finish(kExitFailed);
        return;
    }
    graph_.SourcePath = SourceFN.text();
    graph_.DestinationPath = DestFN.text();
    if (parameters_->streamDigit) {
        startPictureSearch(graph_.SourcePath);
        Timer2.setEnabled(true);
    } else
        findaudiostreams();
}

bool TForm1::applyParameters() {
    const auto& parameters = parameters_;
    if (!parameters)
        return false;
    SourceFN.setText(parameters->source);
    if (parameters->destination) {
        DestFN.setText(*parameters->destination);
        WriteFile.setChecked(true);
    } else {
        Render.setChecked(true);
        WriteFile.setChecked(false);
    }
    if (parameters->streamDigit) {
        ac3choose.setText("0x8" + std::to_string(*parameters->streamDigit));
        graph_.StreamIndex = *parameters->streamDigit;
    }
    sampleRate_ = parameters->sampleRate;
    if (parameters->flip)
        flip.setChecked(true);
    return true;
}

void TForm1::FormClose(ui::CloseAction&) {
    // Closing while a run waits ends the run; a second close finds nothing left to release.
    graph_.StopRequested = true;
    graph_.CloseDSPlayer();
    Timer2.setEnabled(false);
    if (running_)
        ExitStatus = kExitStopped;
}

void TForm1::finish(int status) {
    ExitStatus = status;
    close();
}

void TForm1::showMessage(const std::string& text) {
    ui::showMessage(text);
}

void TForm1::showError(const std::string& text) {
    ui::errorBox(text);
}

void TForm1::streamReset() {
    ac3choose.setText(kFirstStreamText);
}

bool TForm1::flipStreams() {
    return flip.checked();
}

void TForm1::processMessages() {
    ui::processMessages();
}

} // namespace trovel
