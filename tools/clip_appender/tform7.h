#pragma once

// The clip appender window "Vexlor". Use (the main window's Extras button): set SourceEdit, TargetEdit
// and LogoPrefix; show(); MuxStreams(true); free the window. JobFailed tells that the job ended on an
// error box and wrote nothing.

#include "tools/clip_appender/clip_engine.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <cstdint>
#include <string>

namespace tools::clip_appender {

namespace ui = platform::ui;

class TForm7 : public ui::Form, private ClipSink {
public:
    TForm7();
    ~TForm7() override;

    ui::GroupBox modeBox{*this};
    ui::RadioButton mux{modeBox, "Mux audio and video"};
    ui::RadioButton demux{modeBox, "Demux audio"};
    ui::Label Label1{*this, "Source AVI :"};
    ui::Edit SourceEdit{*this};
    ui::Button BitBtn1{*this, "..."};
    ui::Label Label2{*this, "Vexlor File :"};
    ui::Edit WavSourceEdit{*this};
    ui::Button BitBtn2{*this, "..."};
    ui::Label Label3{*this, "Destination file :"};
    ui::Edit TargetEdit{*this};
    ui::Button BitBtn3{*this, "..."};
    ui::CheckBox Split{*this, "Split"};
    ui::Label Label5{*this, "Preload :"};
    ui::TrackBar PreloadTB{*this};
    ui::Label Label6{*this, "500 msec"};
    ui::Label Label7{*this, "Delay (sec.) :"};
    ui::Edit temps{*this, "0.0"};
    ui::ComboBox sens{*this, ui::ComboStyle::DropDownList};
    ui::Gauge vpb{*this};
    ui::Label VideoTime{*this, ""};
    ui::Gauge apb{*this};
    ui::Label AudioTime{*this, ""};
    ui::Button go{*this, "Go !"};
    ui::Button Stop{*this, "Stop"};
    ui::Button Button1{*this, "Exit"};
    ui::Timer Timer1{1000};

    int64_t ElapsedTicks = 0;
    bool UserBreak = false;
    bool JobFailed = false; // the last job ended on an error box and wrote nothing
    double VideoPercent = 0;
    double AudioPercent = 0;
    std::string TargetPath;
    std::string SourcePath;
    std::string LogoPrefix;

    void MuxStreams(bool firstPart);
    void Timer1Timer();
    void StopClick();
    void PreloadTBChange();
    void Button1Click();

private:
    void layOut();
    // ClipSink
    void errorBox(const std::string& text) override;
    void showClipPath(const std::string& path) override;
    void timerOn() override;
    void timerOff() override;
    void progress(double videoPercent, double audioPercent) override;
    void processMessages() override;

    ClipEngine engine_{*this};
};

// The latest clip appender window.
extern TForm7* Form7;

} // namespace tools::clip_appender
