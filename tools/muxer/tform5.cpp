#include "tools/muxer/tform5.h"

#include "tools/muxer/mux_sizes.h"
#include "tools/muxer/mux_text.h"

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace tools::muxer {

TForm5* Form5 = nullptr;

namespace {

constexpr int PreloadMin = 50;
constexpr int PreloadMax = 100;
constexpr const char* AviFilter = "AVI files|*.avi";
constexpr const char* WavFilter = "Wav files|*.wav|mp3 files|*.mp3";

} // namespace

TForm5::TForm5() {
    setCaption("DivX Mux");
    layOut();
    connectHandlers();
    Form5 = this;
    create();
}

TForm5::~TForm5() {
    UserBreak = true;
    if (Form5 == this)
        Form5 = nullptr;
}

void TForm5::layOut() {
    setClientSize(480, 400);
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
    BitBtn3.setEnabled(false);
    splitBox.setBounds(8, 142, 464, 48);
    Split.setBounds(12, 18, 70, 20);
    sih.setBounds(90, 18, 90, 20);
    saft.setBounds(190, 18, 110, 20);
    splitsize.setBounds(306, 16, 80, 22);
    splitsize.setItems({"650", "700"});
    splitsize.setTextSilent("650");
    sih.setCheckedSilent(true);
    Vexlor.setBounds(8, 198, 160, 20);
    Label9.setBounds(176, 200, 296, 16);
    Label5.setBounds(8, 230, 70, 16);
    PreloadTB.setBounds(80, 224, 200, 28);
    PreloadTB.setRange(PreloadMin, PreloadMax);
    PreloadTB.setPositionSilent(PreloadMin);
    Label6.setBounds(290, 230, 80, 16);
    Label7.setBounds(8, 262, 90, 16);
    temps.setBounds(100, 258, 60, 22);
    sens.setBounds(168, 258, 90, 22);
    sens.setItems({"earlier", "later"});
    sens.setItemIndexSilent(1);
    Autosynch.setBounds(280, 260, 190, 20);
    vpb.setBounds(8, 290, 464, 16);
    VideoTime.setBounds(8, 308, 464, 16);
    apb.setBounds(8, 328, 464, 16);
    AudioTime.setBounds(8, 346, 464, 16);
    go.setBounds(8, 368, 90, 26);
    go.setEnabled(false);
    Stop.setBounds(108, 368, 90, 26);
    Button1.setBounds(382, 368, 90, 26);
    SaveDialog1.filter = AviFilter;
    SaveDialog1.defaultExt = ".avi";
    SplitClick();
}

void TForm5::connectHandlers() {
    onClose = [this](ui::CloseAction&) { UserBreak = true; };
    mux.onClick = [this] { muxClick(); };
    demux.onClick = [this] { demuxClick(); };
    Split.onClick = [this] { SplitClick(); };
    splitsize.onKeyPress = [this](char& key) { splitsizeKeyPress(key); };
    PreloadTB.onChange = [this] { PreloadTBChange(); };
    SourceEdit.onChange = [this] { SourceEditChange(); };
    WavSourceEdit.onChange = [this] { WavSourceEditChange(); };
    BitBtn1.onClick = [this] { BitBtn1Click(); };
    BitBtn2.onClick = [this] { BitBtn2Click(); };
    BitBtn3.onClick = [this] { BitBtn3Click(); };
    go.onClick = [this] { goClick(); };
    Stop.onClick = [this] { StopClick(); };
    Button1.onClick = [this] { Button1Click(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
}

void TForm5::muxClick() {
    SaveDialog1.filter = AviFilter;
    SaveDialog1.defaultExt = ".avi";
    if (!mux.checked())
        return;
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&WavSourceEdit, &BitBtn2, &Label2, &Split, &PreloadTB, &Label6})
        control->setEnabled(true);
}

void TForm5::demuxClick() {
    SaveDialog1.filter = WavFilter;
    SaveDialog1.defaultExt = ".wav";
    if (!demux.checked())
        return;
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&WavSourceEdit, &BitBtn2, &Label2, &Split, &PreloadTB, &Label6})
        control->setEnabled(false);
}

void TForm5::SplitClick() {
    const bool on = Split.checked();
    sih.setEnabled(on);
    saft.setEnabled(on);
    splitsize.setEnabled(on);
}

void TForm5::splitsizeKeyPress(char& key) {
    if (key > ' ' && (key < '0' || key > '9'))
        key = 0;
}

void TForm5::PreloadTBChange() {
    Label6.setCaption(preloadCaption(PreloadTB.position()));
}

void TForm5::SourceEditChange() {
    VideoBytes = getVideoSize(SourceEdit.text());
}

void TForm5::WavSourceEditChange() {
    int64_t bytes = 0;
    if (measureAudioSource(WavSourceEdit.text(), bytes))
        AudioBytes = bytes;
}

void TForm5::BitBtn1Click() {
    ui::OpenDialog dialog;
    dialog.filter = "avi files|*.avi";
    if (dialog.execute(this))
        SourceEdit.setText(dialog.fileName);
}

void TForm5::BitBtn2Click() {
    ui::OpenDialog dialog;
    dialog.filter = "Audio Files|*.wav;*.mp3|Avi Files|*.avi";
    if (dialog.execute(this))
        WavSourceEdit.setText(dialog.fileName);
}

void TForm5::BitBtn3Click() {
    if (SaveDialog1.execute(this))
        TargetEdit.setText(SaveDialog1.fileName);
}

void TForm5::StopClick() {
    UserBreak = true;
}

void TForm5::Button1Click() {
    close();
}

void TForm5::errorBox(const std::string& text) {
    ui::errorBox(text);
}

void TForm5::clipMissing(const std::string& notice) {
    Label9.setFontColor(ui::Colors::Red);
    Label9.setCaption(notice);
    Vexlor.setChecked(false);
}

void TForm5::timerOn() {
    Timer1.setEnabled(true);
}

void TForm5::timerOff() {
    Timer1.setEnabled(false);
}

void TForm5::progress(double videoPercent, double audioPercent) {
    VideoPercent = videoPercent;
    AudioPercent = audioPercent;
    vpb.setProgress(static_cast<int>(videoPercent));
    apb.setProgress(static_cast<int>(audioPercent));
}

void TForm5::processMessages() {
    ui::processMessages();
}

} // namespace tools::muxer
