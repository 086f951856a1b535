#include "tools/clip_appender/tform7.h"

#include "tools/muxer/mux_text.h"

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace tools::clip_appender {

using namespace tools::muxer;

TForm7* Form7 = nullptr;

namespace {

constexpr int PreloadMin = 50;
constexpr int PreloadMax = 100;

} // namespace

TForm7::TForm7() {
    setCaption("Vexlor");
    layOut();
    onClose = [this](ui::CloseAction&) { UserBreak = true; };
    PreloadTB.onChange = [this] { PreloadTBChange(); };
    Stop.onClick = [this] { StopClick(); };
    Button1.onClick = [this] { Button1Click(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    Form7 = this;
    create();
}

TForm7::~TForm7() {
    UserBreak = true;
    if (Form7 == this)
        Form7 = nullptr;
}

void TForm7::layOut() {
    setClientSize(480, 346);
    setBorderStyle(ui::BorderStyle::Single);
    modeBox.setBounds(8, 4, 464, 44);
    mux.setBounds(12, 16, 200, 20);
    demux.setBounds(240, 16, 200, 20);
    mux.setCheckedSilent(true);
    Label1.setBounds(8, 60, 110, 16);
    SourceEdit.setBounds(120, 56, 310, 22);
    BitBtn1.setBounds(436, 56, 36, 24);
    Label2.setBounds(8, 88, 110, 16);
    WavSourceEdit.setBounds(120, 84, 310, 22);
    BitBtn2.setBounds(436, 84, 36, 24);
    Label3.setBounds(8, 116, 110, 16);
    TargetEdit.setBounds(120, 112, 310, 22);
    BitBtn3.setBounds(436, 112, 36, 24);
    Split.setBounds(8, 144, 80, 20);
    Label5.setBounds(8, 176, 70, 16);
    PreloadTB.setBounds(80, 170, 200, 28);
    PreloadTB.setRange(PreloadMin, PreloadMax);
    PreloadTB.setPositionSilent(PreloadMin);
    Label6.setBounds(290, 176, 80, 16);
    Label7.setBounds(8, 208, 90, 16);
    temps.setBounds(100, 204, 60, 22);
    sens.setBounds(168, 204, 90, 22);
    sens.setItems({"earlier", "later"});
    sens.setItemIndexSilent(1);
    vpb.setBounds(8, 236, 464, 16);
    VideoTime.setBounds(8, 254, 464, 16);
    apb.setBounds(8, 274, 464, 16);
    AudioTime.setBounds(8, 292, 464, 16);
    go.setBounds(8, 314, 90, 26);
    go.setEnabled(false);
    Stop.setBounds(108, 314, 90, 26);
    Button1.setBounds(382, 314, 90, 26);
}

void TForm7::MuxStreams(bool firstPart) {
    if (engine_.running())
        return;
    ClipSettings s;
    s.source = SourceEdit.text();
    s.target = TargetEdit.text();
    s.logoPrefix = LogoPrefix;
    s.split = Split.checked();
    const DelayNumber delay = signedDelayOf(temps.text(), sens.text());
    if (!delay.valid)
        ui::errorBox(temps.text() + NotNumericalSuffix);
    s.delaySeconds = delay.value;
    s.preloadSeconds = preloadSecondsOf(PreloadTB.position());
    go.setEnabled(false);
    if (firstPart)
        ElapsedTicks = 0;
    vpb.setProgress(0);
    apb.setProgress(0);
    SourcePath = s.source;
    const ClipResult result = engine_.run(s, firstPart, UserBreak);
    TargetPath = result.targetPath;
    JobFailed = result.outcome == MuxOutcome::Failed;
    go.setEnabled(true);
    if (result.outcome == MuxOutcome::Done && !UserBreak)
        ui::showMessage("Vexlor added");
}

void TForm7::Timer1Timer() {
    ++ElapsedTicks;
    AudioTime.setCaption(elapsedText(ElapsedTicks, totalSecondsNearest(ElapsedTicks, AudioPercent)));
    if (mux.checked())
        VideoTime.setCaption(elapsedText(ElapsedTicks, totalSecondsNearest(ElapsedTicks, VideoPercent)));
}

void TForm7::StopClick() {
    UserBreak = true;
}

void TForm7::PreloadTBChange() {
    Label6.setCaption(preloadCaption(PreloadTB.position()));
}

void TForm7::Button1Click() {
    close();
}

void TForm7::errorBox(const std::string& text) {
    ui::errorBox(text);
}

void TForm7::showClipPath(const std::string& path) {
    WavSourceEdit.setText(path);
}

void TForm7::timerOn() {
    Timer1.setEnabled(true);
}

void TForm7::timerOff() {
    Timer1.setEnabled(false);
}

void TForm7::progress(double videoPercent, double audioPercent) {
    VideoPercent = videoPercent;
    AudioPercent = audioPercent;
    vpb.setProgress(static_cast<int>(videoPercent));
    apb.setProgress(static_cast<int>(audioPercent));
}

void TForm7::processMessages() {
    ui::processMessages();
}

} // namespace tools::clip_appender
