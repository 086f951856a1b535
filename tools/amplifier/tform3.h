#pragma once

// The amplifier window "Amplify". Batch use: set Edit1, and either Edit2 with same unchecked or same
// checked; set TB's position; show(); AmplifyWav(); then read UserBreak, and treat JobFailed like a
// set UserBreak: the job ended on a check or an I/O error and changed nothing.

#include "tools/amplifier/amplify_engine.h"

#include "platform/ui/buttons.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

namespace tools::amplifier {

namespace ui = platform::ui;

class TForm3 : public ui::Form, private AmplifySink {
public:
    TForm3();
    ~TForm3() override;

    ui::Label Label1{*this, "Source :"};
    ui::Edit Edit1{*this};
    ui::Button Button1{*this, "../.."};
    ui::Label Label2{*this, "Destination :"};
    ui::Edit Edit2{*this};
    ui::Button Button3{*this, "../.."};
    ui::CheckBox same{*this, "Same as source"};
    ui::Label Label3{*this, "Amplify : "};
    ui::TrackBar TB{*this};
    ui::Label Label6{*this, "15.0 dB"};
    ui::Button go{*this, "Go !"};
    ui::Button Stop{*this, "Stop"};
    ui::Button Button2{*this, "Exit"};
    ui::Gauge gauge{*this};
    ui::Label Label4{*this, ""};
    ui::Timer Timer1{1000};

    bool UserBreak = false;
    bool JobFailed = false;

    void AmplifyWav();
    void goClick();
    void Button1Click();
    void Button3Click();
    void sameClick();
    void TBChange();
    void StopClick();
    void Button2Click();
    void Timer1Timer();

private:
    void layOut();
    void connectHandlers();
    // AmplifySink
    void errorBox(const std::string& text) override;
    void jobStarted(int64_t count) override;
    void progressStep(int64_t bytes) override;
    void jobEnded() override;
    void processMessages() override;

    AmplifyEngine engine_{*this};
    int64_t progressScale_ = 1;
};

// The latest amplifier window.
extern TForm3* Form3;

} // namespace tools::amplifier
