#pragma once

// The muxer window "DivX Mux". Batch use (the rip): set Split, sih, saft, splitsize, the Vexlor box
// (checked and enabled alike), Autosynch and LogoPrefix; show(); set SourceEdit, WavSourceEdit and
// TargetEdit; MuxStreams(true); read AudioSeconds, NewFps, AudioByteRate, Label9, ClipFrames and UserBreak,
// and treat JobFailed like a set UserBreak (the job ended on an error box and wrote nothing); with a split,
// MuxStreams(false) for the second part. Audio extraction: set SourceEdit and TargetEdit, check demux,
// show(), SaveWave(), then read UserBreak and JobFailed the same way.

#include "tools/muxer/demux_engine.h"
#include "tools/muxer/mux_engine.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <cstdint>
#include <string>

namespace tools::muxer {

namespace ui = platform::ui;

class TForm5 : public ui::Form, private MuxSink {
public:
    TForm5();
    ~TForm5() override;

    ui::GroupBox modeBox{*this};
    ui::RadioButton mux{modeBox, "Mux audio and video"};
    ui::RadioButton demux{modeBox, "Demux audio"};
    ui::Label Label1{*this, "Source AVI :"};
    ui::Edit SourceEdit{*this};
    ui::Button BitBtn1{*this, "..."};
    ui::Label Label2{*this, "Source WAV :"};
    ui::Edit WavSourceEdit{*this};
    ui::Button BitBtn2{*this, "..."};
    ui::Label Label3{*this, "Destination file :"};
    ui::Edit TargetEdit{*this};
    ui::Button BitBtn3{*this, "..."};
    ui::GroupBox splitBox{*this};
    ui::CheckBox Split{splitBox, "Split"};
    ui::RadioButton sih{splitBox, "equaly"};
    ui::RadioButton saft{splitBox, "after (MB) :"};
    ui::ComboBox splitsize{splitBox};
    ui::CheckBox Vexlor{*this, "Add Vexlor logo"};
    ui::Label Label9{*this, ""};
    ui::Label Label5{*this, "Preload :"};
    ui::TrackBar PreloadTB{*this};
    ui::Label Label6{*this, "500 msec"};
    ui::Label Label7{*this, "Delay (sec.) :"};
    ui::Edit temps{*this, "0.0"};
    ui::ComboBox sens{*this, ui::ComboStyle::DropDownList};
    ui::CheckBox Autosynch{*this, "Auto synch (frame rate)"};
    ui::Gauge vpb{*this};
    ui::Label VideoTime{*this, ""};
    ui::Gauge apb{*this};
    ui::Label AudioTime{*this, ""};
    ui::Button go{*this, "Go !"};
    ui::Button Stop{*this, "Stop"};
    ui::Button Button1{*this, "Exit"};
    ui::Timer Timer1{1000};
    ui::SaveDialog SaveDialog1;

    std::string TargetPath;
    std::string SourcePath;
    int64_t ElapsedTicks = 0;
    int64_t VideoBytes = 0;
    int64_t AudioBytes = 0;
    double VideoPercent = 0;
    double AudioPercent = 0;
    bool UserBreak = false;
    bool JobFailed = false;   // the last job ended on an error box; its target was not written
    bool PartWritten = false; // the last mux wrote its part (a part without frames writes nothing)
    double VideoSeconds = 0;
    double AudioSeconds = 0;
    double VideoFps = 0;
    double AudioRate = 0;
    double NewFps = 0;
    int64_t ClipFrames = 0; // frames of the clip the last first-part job appended; 0 without one
    int32_t AudioByteRate = 0;
    std::string LogoPrefix;
    // Cleared by a batch caller whose target is a finished movie: a stopped mux then writes nothing.
    bool KeepStoppedTarget = true;

    void MuxStreams(bool firstPart);
    void SaveWave();
    void goClick();
    void muxClick();
    void demuxClick();
    void SplitClick();
    void splitsizeKeyPress(char& key);
    void PreloadTBChange();
    void SourceEditChange();
    void WavSourceEditChange();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void StopClick();
    void Button1Click();
    void Timer1Timer();

private:
    void layOut();
    void connectHandlers();
    bool busy() const { return muxEngine_.running() || demuxEngine_.running(); }
    MuxSettings settings();
    // MuxSink
    void errorBox(const std::string& text) override;
    void clipMissing(const std::string& notice) override;
    void timerOn() override;
    void timerOff() override;
    void progress(double videoPercent, double audioPercent) override;
    void processMessages() override;

    MuxEngine muxEngine_{*this};
    DemuxEngine demuxEngine_{*this};
};

// The latest muxer window.
extern TForm5* Form5;

} // namespace tools::muxer
