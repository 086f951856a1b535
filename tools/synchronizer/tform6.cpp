// The synchronizer window: its controls, their places and items, its creation and closing, and its
// texts from the language section.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/fit_to_text.h"

#include <array>
#include <initializer_list>

namespace tools::synchronizer {

TForm6* Form6 = nullptr;

namespace core = platform::core;

namespace {

constexpr const char* Caption = "Synchronizer - v0.08b";
constexpr int ClientWidth = 472;
constexpr int ClientHeight = 392;
constexpr const char* LanguageFolder = "Lang";

std::string withoutTrailingDelim(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

TForm6::TForm6(MainWindowLink link) : link_(std::move(link)) {
    Form6 = this;
    setCaption(Caption);
    setBorderStyle(ui::BorderStyle::Single);
    setPosition(ui::FormPosition::ScreenCenter);
    layOut();
    fillItems();
    connectHandlers();
    connectPreviewAndPlayer();
    create();
}

TForm6::~TForm6() {
    FormDestroy();
    // Destroyed while open: the main window comes back as if the window had been closed.
    if (!mainRestored_ && link_.restore)
        link_.restore();
    if (Form6 == this)
        Form6 = nullptr;
}

const std::string& TForm6::message(int n) const {
    static const std::string none;
    return n >= 1 && n <= SynchTableSize ? texts_[static_cast<size_t>(n - 1)] : none;
}

void TForm6::showError(int n) {
    ui::errorBox(message(n));
}

void TForm6::layOut() {
    setClientSize(ClientWidth, ClientHeight);
    PageControl1.setBounds(0, 0, ClientWidth, ClientHeight);
    ms.setBounds(ClientWidth - 1, ClientHeight - 1, 1, 1);
    layOutFileAndPreview();
    layOutSynchAndAutotest();
    layOutWizardRemuxJoin();
}

void TForm6::layOutFileAndPreview() {
    GroupBox1.setBounds(8, 8, 448, 56);
    Edit1.setBounds(10, 22, 370, 22);
    Button1.setBounds(388, 22, 50, 22);
    GroupBox4.setBounds(8, 72, 448, 140);
    const std::array<ui::Label*, 5> names{&Label3, &Label5, &Label4, &laberl6, &Label6};
    const std::array<ui::Label*, 5> values{&position, &VFredit, &vsl, &asl, &svfps};
    for (size_t i = 0; i < names.size(); ++i) {
        const int top = 22 + static_cast<int>(i) * 22;
        names[i]->setBounds(12, top, 180, 16);
        values[i]->setBounds(200, top, 120, 16);
    }
    Label40.setBounds(8, 226, 100, 16);
    Edit2.setBounds(110, 222, 200, 22);
    Button21.setBounds(316, 222, 50, 22);
    Button3.setBounds(376, 330, 80, 26);

    GroupBox2.setBounds(8, 8, 448, 160);
    Play.setBounds(10, 20, 70, 26);
    Stop.setBounds(86, 20, 70, 26);
    full.setBounds(162, 20, 26, 26);
    full.setHint("Full screen - ESC to exit");
    Button18.setBounds(194, 20, 80, 26);
    freeplay.setBounds(290, 24, 140, 18);
    freeplay.setCheckedSilent(true);
    ScrollBar1.setBounds(10, 56, 428, 18);
    ScrollBar1.setRange(0, 100);
    Label26.setBounds(10, 84, 70, 16);
    curp.setBounds(84, 84, 80, 16);
    Label9.setBounds(180, 84, 60, 16);
    avil.setBounds(244, 84, 80, 16);
    tb2.setBounds(10, 108, 300, 30);
    tb2.setRange(100, 200);
    tb2.setPositionSilent(100);
    Label28.setBounds(320, 114, 60, 16);
    GroupBox7.setBounds(8, 172, 448, 180);
    Label10.setBounds(10, 22, 110, 16);
    Label11.setBounds(130, 22, 110, 16);
    range1.setBounds(10, 44, 60, 24);
    range2.setBounds(76, 44, 60, 24);
    bReset.setBounds(142, 44, 60, 24);
    Button14.setBounds(10, 74, 60, 24);
    Button15.setBounds(76, 74, 60, 24);
    Button16.setBounds(142, 74, 60, 24);
    Label8.setBounds(10, 110, 100, 16);
    sel.setBounds(10, 128, 200, 16);
    Label38.setBounds(250, 18, 100, 16);
    ranges.setBounds(250, 36, 188, 134);
}

void TForm6::layOutSynchAndAutotest() {
    GroupBox3.setBounds(8, 8, 448, 100);
    Label2.setBounds(10, 22, 140, 16);
    NewVFrate.setBounds(156, 20, 90, 22);
    Label1.setBounds(10, 48, 140, 16);
    sign.setBounds(156, 46, 40, 22);
    NewStart.setBounds(200, 46, 80, 22);
    Label7.setBounds(10, 74, 140, 16);
    sug.setBounds(156, 74, 80, 16);
    Button2.setBounds(256, 20, 60, 22);
    SetNew.setBounds(330, 46, 80, 26);
    GroupBox15.setBounds(8, 112, 448, 96);
    Label30.setBounds(10, 22, 60, 16);
    TimeDelay1.setBounds(74, 22, 90, 16);
    Label31.setBounds(170, 22, 80, 16);
    fpsdelay1.setBounds(254, 22, 60, 16);
    Button10.setBounds(320, 18, 50, 22);
    Label32.setBounds(10, 48, 60, 16);
    Timedelay2.setBounds(74, 48, 90, 16);
    Label33.setBounds(170, 48, 80, 16);
    fpsdelay2.setBounds(254, 48, 60, 16);
    Button11.setBounds(320, 44, 50, 22);
    Button17.setBounds(320, 68, 80, 24);
    GroupBox17.setBounds(8, 212, 260, 100);
    Label34.setBounds(10, 22, 120, 16);
    nf.setBounds(134, 22, 60, 16);
    Label35.setBounds(10, 46, 120, 16);
    nd.setBounds(134, 46, 60, 16);
    Label36.setBounds(10, 70, 120, 16);
    nfo.setBounds(134, 70, 60, 16);
    Button19.setBounds(200, 34, 50, 22);
    Button20.setBounds(200, 66, 50, 22);
    GroupBox5.setBounds(276, 212, 180, 140);
    Label39.setBounds(8, 18, 100, 16);
    copyranges.setBounds(8, 36, 164, 60);
    Label37.setBounds(8, 100, 100, 16);
    csel.setBounds(8, 118, 164, 16);

    GroupBox16.setBounds(8, 8, 448, 150);
    Autosynch.setBounds(10, 20, 160, 18);
    Label14.setBounds(190, 44, 60, 16);
    Label16.setBounds(260, 44, 60, 16);
    Label13.setBounds(330, 44, 60, 16);
    autofps.setBounds(10, 64, 170, 18);
    fps1.setBounds(190, 62, 64, 22);
    fps2.setBounds(260, 62, 64, 22);
    fpsstep.setBounds(330, 62, 64, 22);
    autodelay.setBounds(10, 92, 170, 18);
    delay1.setBounds(190, 90, 64, 22);
    delay2.setBounds(260, 90, 64, 22);
    delaystep.setBounds(330, 90, 64, 22);
    Next.setBounds(330, 118, 100, 26);
    Next.setEnabled(false);
}

void TForm6::layOutWizardRemuxJoin() {
    GroupBox9.setBounds(8, 8, 216, 90);
    GroupBox10.setBounds(232, 8, 224, 90);
    for (auto [labels, button] :
         {std::pair{std::array<ui::Label*, 4>{&Label12, &endp1, &Label21, &P1Size}, &Set1},
          std::pair{std::array<ui::Label*, 4>{&Label15, &begp2, &Label22, &P2Size}, &Set2}}) {
        labels[0]->setBounds(10, 22, 60, 16);
        labels[1]->setBounds(74, 22, 80, 16);
        labels[2]->setBounds(10, 44, 60, 16);
        labels[3]->setBounds(74, 44, 100, 16);
        button->setBounds(150, 60, 56, 24);
        button->setEnabled(false);
    }
    Button4.setBounds(8, 108, 70, 26);
    Button5.setBounds(84, 108, 70, 26);
    Button6.setBounds(160, 108, 70, 26);
    Label17.setBounds(250, 112, 80, 16);
    delay.setBounds(334, 112, 40, 16);
    Button7.setBounds(380, 108, 30, 26);
    Button8.setBounds(414, 108, 30, 26);
    for (ui::Button* button : {&Button5, &Button6})
        button->setEnabled(false);
    GroupBox12.setBounds(8, 144, 448, 84);
    timeb.setBounds(10, 22, 80, 18);
    gototime.setBounds(96, 20, 90, 22);
    frameb.setBounds(10, 52, 80, 18);
    gotoframe.setBounds(96, 50, 90, 22);
    Button9.setBounds(220, 34, 80, 26);
    timeb.setCheckedSilent(true);
    gotoframe.setEnabled(false);
    Button9.setEnabled(false);

    GroupBox8.setBounds(8, 8, 448, 80);
    davi.setBounds(10, 22, 370, 22);
    dest.setBounds(388, 22, 50, 22);
    Split.setBounds(10, 52, 100, 18);
    Splitway.setBounds(8, 92, 448, 76);
    saft.setBounds(10, 20, 110, 18);
    splitsize.setBounds(124, 18, 70, 22);
    sih.setBounds(10, 46, 110, 18);
    Wizard.setBounds(210, 20, 140, 18);
    for (ui::Control* control : std::initializer_list<ui::Control*>{&saft, &sih, &Wizard, &splitsize})
        control->setEnabled(false);
    go.setBounds(8, 176, 80, 26);
    breakstop.setBounds(96, 176, 80, 26);
    GroupBox6.setBounds(8, 210, 448, 100);
    Label18.setBounds(10, 22, 50, 16);
    vpb.setBounds(64, 20, 370, 16);
    VideoTime.setBounds(64, 38, 370, 16);
    Label19.setBounds(10, 58, 50, 16);
    apb.setBounds(64, 56, 370, 16);
    AudioTime.setBounds(64, 74, 370, 16);

    GroupBox14.setBounds(8, 8, 448, 200);
    memo2.setBounds(10, 20, 360, 170);
    SpeedButton2.setBounds(378, 20, 60, 24);
    SpeedButton3.setBounds(378, 50, 60, 24);
    erase.setBounds(378, 80, 60, 24);
    AddFile.setBounds(378, 166, 60, 24);
    GroupBox13.setBounds(8, 212, 448, 140);
    Destjoin.setBounds(10, 22, 370, 22);
    Button12.setBounds(388, 22, 50, 22);
    JoinAll.setBounds(10, 52, 80, 26);
    Button13.setBounds(96, 52, 80, 26);
    Label23.setBounds(10, 86, 420, 16);
    Label24.setBounds(10, 104, 420, 16);
    Label25.setBounds(10, 122, 420, 16);
    JoinAll.setEnabled(false);
    memo2.setMultiSelect(true);
    ranges.setMultiSelect(true);
    copyranges.setMultiSelect(true);
}

void TForm6::fillItems() {
    NewVFrate.setItems({"23.970", "23.976", "23.980", "24.000", "25.000", "29.970", "30.000"});
    sign.setStyle(ui::ComboStyle::DropDown);
    sign.setItems({"+", "-"});
    sign.setTextSilent("+");
    std::vector<std::string> delays;
    constexpr int DelayItemStep = 500;
    constexpr int LastSteppedDelay = 7500;
    for (int delayMs = 0; delayMs <= LastSteppedDelay; delayMs += DelayItemStep)
        delays.push_back(std::to_string(delayMs));
    for (const char* delayMs : {"10000", "12000", "15000", "18000", "20000"})
        delays.emplace_back(delayMs);
    NewStart.setItems(delays);
    NewStart.setTextSilent("0");
    splitsize.setItems({"650", "700"});
    splitsize.setTextSilent("650");
    OpenDialog1.filter = "Avi Files|*.avi";
    OpenDialog1.defaultExt = "*.avi";
    OpenDialog2.filter = "Avi files|*.avi";
    OpenDialog2.multiSelect = true;
    OpenDialog3.filter = "LNG files|*.lng";
    OpenDialog3.defaultExt = ".lng";
    SaveDialog1.filter = "AVI files|*.avi|All files|*.*";
    SaveDialog1.defaultExt = ".avi";
}

void TForm6::connectHandlers() {
    onCreate = [this] { FormCreate(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    onCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    Button3.onClick = [this] { Button3Click(); };
    Button21.onClick = [this] { Button21Click(); };
    Edit2.onChange = [this] { Edit2Change(); };
    Button1.onClick = [this] { Button1Click(); };
    Edit1.onChange = [this] { Edit1Change(); };
    SetNew.onClick = [this] { SetNewClick(); };
    Button2.onClick = [this] { Button2Click(); };
    Button10.onClick = [this] { Button10Click(); };
    Button11.onClick = [this] { Button11Click(); };
    Button17.onClick = [this] { Button17Click(); };
    Button19.onClick = [this] { Button19Click(); };
    Button20.onClick = [this] { Button20Click(); };
    NewStart.onChange = [this] { NewStartChange(); };
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&NewStart, &NewVFrate, &fps1, &fps2, &fpsstep})
        control->onKeyPress = rateKeyFilter;
    for (ui::Edit* edit : {&delay1, &delay2, &delaystep})
        edit->onKeyPress = delayKeyFilter;
    sign.onKeyPress = signKeyFilter;
    gototime.onKeyPress = gotoTimeKeyFilter;
    gotoframe.onKeyPress = gotoFrameKeyFilter;

    Autosynch.onClick = [this] { AutosynchClick(); };
    for (ui::Edit* edit : {&fps1, &fps2, &fpsstep})
        edit->onChange = [this] { GetAllFPS(); };
    for (ui::Edit* edit : {&delay1, &delay2, &delaystep})
        edit->onChange = [this] { GetAllDelay(); };
    Next.onClick = [this] { NextClick(); };

    AddFile.onClick = [this] { AddFileClick(); };
    erase.onClick = [this] { eraseClick(); };
    SpeedButton2.onClick = [this] { SpeedButton2Click(); };
    SpeedButton3.onClick = [this] { SpeedButton3Click(); };
    Button12.onClick = [this] { Button12Click(); };
    Button13.onClick = [this] { Button13Click(); };
}

void TForm6::connectPreviewAndPlayer() {
    Play.onClick = [this] { PlayClick(); };
    Stop.onClick = [this] { StopClick(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
    ScrollBar1.onScroll = [this] { ScrollBar1Scroll(); };
    tb2.onChange = [this] { tb2Change(); };
    full.onClick = [this] { fullClick(); };
    ms.onKeyPress = [this](char& key) { msKeyPress(key); };
    Button18.onClick = [this] { Button18Click(); };
    range1.onClick = [this] { range1Click(); };
    range2.onClick = [this] { range2Click(); };
    bReset.onClick = [this] { bResetClick(); };
    Button14.onClick = [this] { Button14Click(); };
    Button15.onClick = [this] { Button15Click(); };
    Button16.onClick = [this] { Button16Click(); };
    ranges.onClick = [this] { rangesClick(); };
    copyranges.onClick = [this] { copyrangesClick(); };

    Button4.onClick = [this] { Button4Click(); };
    Button5.onClick = [this] { Button5Click(); };
    Button6.onClick = [this] { Button6Click(); };
    Button7.onClick = [this] { Button7Click(); };
    Button8.onClick = [this] { Button8Click(); };
    Set1.onClick = [this] { Set1Click(); };
    Set2.onClick = [this] { Set2Click(); };
    Button9.onClick = [this] { Button9Click(); };
    timeb.onClick = [this] { timebClick(); };
    frameb.onClick = [this] { framebClick(); };
    Split.onClick = [this] { SplitClick(); };
    breakstop.onClick = [this] { breakstopClick(); };
    dest.onClick = [this] { destClick(); };
    go.onClick = [this] { goClick(); };
    Timer2.onTimer = [this] { Timer2Timer(); };
    JoinAll.onClick = [this] { JoinAllClick(); };
}

void TForm6::FormCreate() {
    programFolder_ = core::withTrailingDelim(
        link_.programFolder.empty() ? core::extractFilePath(ui::programFile()) : link_.programFolder);
    OpenDialog3.initialDir = programFolder_ + LanguageFolder;
    PreviewLeft = 8;
    PreviewTop = 8;
    Previewing = false;
    if (link_.minimize)
        link_.minimize();
    const std::string folder = withoutTrailingDelim(programFolder_);
    OpenDialog1.initialDir = folder;
    OpenDialog2.initialDir = folder;
    SaveDialog1.initialDir = folder;
    AssignLangage();
    // The key receiver keeps its single pixel.
    ui::fitToText(*this, {ms.widget()});
    Timer1.setEnabled(true);
}

void TForm6::FormClose(ui::CloseAction&) {
    StopFlag = true;
    JobStopFlag = true;
    CloseDSPlayer();
    if (link_.restore)
        link_.restore();
    mainRestored_ = true;
}

void TForm6::FormDestroy() {
    StopFlag = true;
    JobStopFlag = true;
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    CloseDSPlayer();
}

void TForm6::Button3Click() {
    close();
}

} // namespace tools::synchronizer
