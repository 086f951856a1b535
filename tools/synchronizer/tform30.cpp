#include "tools/synchronizer/tform30.h"

#include "tools/synchronizer/tform6.h"

namespace tools::synchronizer {

TForm30* Form30 = nullptr;

namespace {

constexpr const char* Caption = "AVI Player";
constexpr int FrameTop = 70;
constexpr int ControlRows = 100;
constexpr int MinimumWidth = 360;
constexpr int InitialFrameWidth = 320;
constexpr int InitialFrameHeight = 240;

} // namespace

TForm30::TForm30(TForm6& owner) : owner_(owner) {
    Form30 = this;
    setCaption(Caption);
    setBorderStyle(ui::BorderStyle::ToolWindow);
    Button5.setBounds(4, 4, 60, 24);
    Button6.setBounds(68, 4, 70, 24);
    Button1.setBounds(142, 4, 40, 24);
    Button1.setCaption("<< KF");
    Button2.setBounds(186, 4, 60, 24);
    Button3.setBounds(250, 4, 80, 24);
    SBAvi.setBounds(4, 32, 340, 16);
    Label2.setBounds(4, 52, 40, 16);
    Label1.setBounds(46, 52, 130, 16);
    Label3.setBounds(180, 52, 40, 16);
    AviTime.setBounds(222, 52, 200, 16);
    fitFrame(InitialFrameWidth, InitialFrameHeight);
    Button5.onClick = [this] { Button5Click(); };
    Button6.onClick = [this] { Button6Click(); };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { Button2Click(); };
    Button3.onClick = [this] { Button3Click(); };
    SBAvi.onChange = [this] { SBAviChange(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    create();
}

TForm30::~TForm30() {
    owner_.StopFlag = true;
    if (Form30 == this)
        Form30 = nullptr;
}

void TForm30::fitFrame(int width, int height) {
    Screen.setBounds(0, FrameTop, width, height);
    setClientSize(std::max(width, MinimumWidth), height + ControlRows);
}

void TForm30::Button5Click() {
    owner_.StopFlag = true;
}

void TForm30::Button6Click() {
    owner_.Button6Click();
}

void TForm30::Button1Click() {
    owner_.PrevKeyFrameFlag = true;
}

void TForm30::Button2Click() {
    owner_.NextKeyFrameFlag = true;
}

void TForm30::Button3Click() {
    owner_.FramePos = owner_.FrameCount / 2;
}

void TForm30::SBAviChange() {
    owner_.FramePos = SBAvi.position();
}

void TForm30::FormClose(ui::CloseAction&) {
    owner_.StopFlag = true;
}

} // namespace tools::synchronizer
