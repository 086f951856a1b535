#pragma once

// The audio converter window "AudioComp". Batch use: set Edit1, Edit2, ACMParams[1] ("WF=..."), and
// optionally Range, Range1 and Range2; show(); Conversion(); then read SourceSeconds, TargetSeconds,
// TargetByteRate and UserBreak, and treat JobFailed like a set UserBreak: the job ended without a
// complete destination file.

#include "tools/audio_converter/conversion_engine.h"
#include "tools/audio_converter/wf_preset.h"

#include "platform/acm/wave_format.h"
#include "platform/ui/buttons.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <array>
#include <string>

namespace tools::audio_converter {

namespace ui = platform::ui;

class TForm2 : public ui::Form, private ConversionSink {
public:
    // externDir: the folder of the MP3 encoder library; by default extern/ of the current directory,
    // which is the program folder at start.
    explicit TForm2(std::string externDir = {});
    ~TForm2() override;

    static constexpr int ACMParamMax = 20;

    // Controls.
    ui::Label Label1{*this, "Source :"};
    ui::Edit Edit1{*this};
    ui::Button Source{*this, "Source"};
    ui::Label Label6{*this, "Target :"};
    ui::Edit Edit2{*this};
    ui::Button Target{*this, "Target"};
    ui::Label Label2{*this, "-"};
    ui::Label Label3{*this, "-"};
    ui::Label Label4{*this, ""};
    ui::Button Choose{*this, "Choose"};
    ui::CheckBox Range{*this, "Range from :"};
    ui::Edit Range1{*this, "00:00:00"};
    ui::Label Label8{*this, "to"};
    ui::Edit Range2{*this, "00:00:00"};
    ui::ProgressBar PB{*this};
    ui::Label Label9{*this, "Elapsed :"};
    ui::Label Label5{*this, "00:00:00"};
    ui::Label Label10{*this, "Total :"};
    ui::Label Label7{*this, "00:00:00"};
    ui::Button Convert{*this, "Convert"};
    ui::Button STOP{*this, "Stop"};
    ui::Button Button2{*this, "Exit"};
    ui::Timer Timer1{1000};

    // Fields the caller sets and reads. ACMParams is 1-based: entries 1..20.
    std::array<std::string, ACMParamMax + 1> ACMParams{};
    int ACMParamCount = 0;
    bool UserBreak = false;
    bool JobFailed = false;
    double SourceSeconds = 0;
    double TargetSeconds = 0;
    int32_t TargetByteRate = 0;

    void FormShow();
    void GetACMParam();
    std::string GetNext(int index);
    void Conversion();
    void GetSourceFmt();
    bool ChooseFormat(platform::acm::WaveFormat& format, std::string& description, std::string& tagName);

    void ConvertClick();
    void STOPClick();
    void Button2Click();
    void Timer1Timer();

    const platform::acm::WaveFormat& targetFormat() const { return target_; }
    const std::string& externDir() const { return externDir_; }
    void setExternDir(const std::string& dir) { externDir_ = dir; }

private:
    void layOut();
    void connectHandlers();
    // ConversionSink
    void errorBox(const std::string& text) override;
    void messageBox(const std::string& text) override;
    void jobStarted(int64_t total) override;
    void progressMaximum(int64_t total) override;
    void progressStep(int64_t bytes) override;
    void jobEnded() override;
    void processMessages() override;

    ConversionEngine engine_{*this};
    platform::acm::WaveFormat target_{};
    WfTexts preset_;
    std::string externDir_;
    int64_t progressScale_ = 1; // bytes per progress bar step, so that the bar's int range suffices
};

// The latest converter window.
extern TForm2* Form2;

} // namespace tools::audio_converter
