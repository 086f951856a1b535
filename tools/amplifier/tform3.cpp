#include "tools/amplifier/tform3.h"

#include "tools/amplifier/amplifier_time.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialogs.h"

#include <algorithm>
#include <climits>

namespace tools::amplifier {

namespace core = platform::core;

TForm3* Form3 = nullptr;

namespace {

constexpr int GainMin = 10;
constexpr int GainMax = 300;
constexpr int GainDefault = 150;
constexpr int64_t MillisecondsPerSecond = 1000;

} // namespace

TForm3::TForm3() {
    setCaption("Amplify");
    layOut();
    connectHandlers();
    Form3 = this;
    create();
}

TForm3::~TForm3() {
    UserBreak = true;
    if (Form3 == this)
        Form3 = nullptr;
}

void TForm3::layOut() {
    setClientSize(440, 200);
    setBorderStyle(ui::BorderStyle::Single);
    Label1.setBounds(8, 12, 80, 16);
    Edit1.setBounds(90, 8, 290, 22);
    Button1.setBounds(388, 8, 44, 24);
    Label2.setBounds(8, 42, 80, 16);
    Edit2.setBounds(90, 38, 290, 22);
    Button3.setBounds(388, 38, 44, 24);
    same.setBounds(90, 66, 150, 20);
    Label3.setBounds(8, 98, 80, 16);
    TB.setBounds(90, 92, 260, 28);
    TB.setRange(GainMin, GainMax);
    TB.setPositionSilent(GainDefault);
    Label6.setBounds(360, 98, 70, 16);
    gauge.setBounds(8, 128, 424, 18);
    Label4.setBounds(8, 152, 300, 16);
    go.setBounds(90, 168, 80, 26);
    Stop.setBounds(180, 168, 80, 26);
    Button2.setBounds(352, 168, 80, 26);
}

void TForm3::connectHandlers() {
    onClose = [this](ui::CloseAction&) { UserBreak = true; };
    go.onClick = [this] { goClick(); };
    Button1.onClick = [this] { Button1Click(); };
    Button3.onClick = [this] { Button3Click(); };
    same.onClick = [this] { sameClick(); };
    TB.onChange = [this] { TBChange(); };
    Stop.onClick = [this] { StopClick(); };
    Button2.onClick = [this] { Button2Click(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
}

void TForm3::AmplifyWav() {
    if (engine_.running())
        return;
    AmplifyRequest request;
    request.source = Edit1.text();
    request.destination = Edit2.text();
    request.same = same.checked();
    TB.setEnabled(false);
    go.setEnabled(false);
    request.position = TB.position();
    gauge.setProgress(0);
    const AmplifyResult result = engine_.run(request, UserBreak);
    JobFailed = result.failed;
    Timer1.setEnabled(false);
    TB.setEnabled(true);
    go.setEnabled(true);
}

void TForm3::goClick() {
    if (!core::fileExists(Edit1.text()))
        ui::errorBox("Source File Does not exist");
    else if (!same.checked() && Edit2.text().empty())
        ui::errorBox("Please choose a destination file");
    else
        AmplifyWav();
}

void TForm3::Button1Click() {
    ui::OpenDialog dialog;
    dialog.filter = "Wave Files|*.wav";
    if (dialog.execute(this))
        Edit1.setText(dialog.fileName);
}

void TForm3::Button3Click() {
    ui::SaveDialog dialog;
    dialog.defaultExt = "*.wav";
    if (dialog.execute(this))
        Edit2.setText(dialog.fileName);
}

void TForm3::sameClick() {
    Edit2.setEnabled(!same.checked());
    Button3.setEnabled(!same.checked());
}

void TForm3::TBChange() {
    Label6.setCaption(gainText(TB.position()));
}

void TForm3::StopClick() {
    UserBreak = true;
}

void TForm3::Button2Click() {
    close();
}

void TForm3::Timer1Timer() {
    const int64_t elapsed = (core::monotonicMs() - engine_.startMs()) / MillisecondsPerSecond;
    Label4.setCaption(progressText(elapsed, engine_.count(), engine_.processed()));
}

void TForm3::errorBox(const std::string& text) {
    ui::errorBox(text);
}

void TForm3::jobStarted(int64_t count) {
    progressScale_ = std::max<int64_t>(1, count / INT_MAX + 1);
    gauge.setMax(static_cast<int>(count / progressScale_));
    Timer1.setEnabled(true);
}

void TForm3::progressStep(int64_t bytes) {
    gauge.addProgress(static_cast<int>(bytes / progressScale_));
}

void TForm3::jobEnded() {
    Timer1.setEnabled(false);
}

void TForm3::processMessages() {
    ui::processMessages();
}

} // namespace tools::amplifier
