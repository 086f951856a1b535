#pragma once

// The wizard: twelve steps that ask a new user for the choices that matter for one rip (title, TV
// standard, number of CDs, length, codec, picture size, interlacing, audio stream and format, split,
// subtitles, shutdown). It reads the main window when it opens; OK writes the choices into the main
// window's controls and saves them as a profile. Create it with new and show it: closing it frees it.

#include "kes/language_section.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"

#include <string>
#include <vector>

namespace kes {

namespace ui = platform::ui;

class TKeswizard : public ui::Form {
public:
    // Reads the main window Form1, which must exist.
    TKeswizard();
    ~TKeswizard() override;

    void FormCreate();
    void AssignLangage();
    void FormClose(ui::CloseAction& action);

    void Edit2Change();
    void cd1Click();
    void cd2Click();
    void CodecChange();
    void presetsChange();
    void Button1Click();
    void SubStreamChange();
    void PreAudClick();
    void mp3wmaChange();
    void lnglistChange();
    void Button3Click();
    void Button2Click();

    // The wizard's section of the language file, entries 1 to 100.
    SectionTable Texts{WizardTableSize};

    // ============================ Controls ======================================================
    ui::PageControl main{*this};
    ui::TabSheet Step0{main, "Step0"};
    ui::TabSheet Step1{main, "Step1"};
    ui::TabSheet Step2{main, "Step2"};
    ui::TabSheet step3{main, "step3"};
    ui::TabSheet Step4{main, "Step4"};
    ui::TabSheet Step5{main, "Step5"};
    ui::TabSheet Step6{main, "Step6"};
    ui::TabSheet Step7{main, "Step7"};
    ui::TabSheet Step8{main, "Step8"};
    ui::TabSheet Step9{main, "Step9"};
    ui::TabSheet Step10{main, "Step10"};
    ui::TabSheet Step11{main, "Step11"};

    ui::Label Label1{*this, "Welcome to Kestrova Wizard"};
    ui::Label Label2{*this, "Here is a summary of the most important settings you must choose."};
    ui::Button Button3{*this, "OK"};
    ui::Button Button2{*this, "Quit"};

    // Step 0
    ui::Label Label27{Step0, "Initial information"};
    ui::Label Label8{Step0, "Movie title :"};
    ui::Edit Edit2{Step0, "None"};
    // Step 1
    ui::Label Label21{Step1, "Step 1 (video)"};
    ui::Label Label20{Step1, "Choose a movie format :"};
    ui::RadioButton pal{Step1, "PAL (Europe)"};
    ui::RadioButton ntsc{Step1, "NTSC (USA - Canada)"};
    // Step 2
    ui::Label Label12{Step2, "Step 2 (video)"};
    ui::Label Label14{Step2, "The final result will hold on :"};
    ui::RadioButton cd1{Step2, "1 CD"};
    ui::RadioButton cd2{Step2, "2 CD"};
    // Step 3
    ui::Label Label15{step3, "Step 3 (video)"};
    ui::Label Label4{step3, "Enter current movie length :"};
    ui::Edit movielength{step3, "90"};
    ui::Label lblMin{step3, "min."};
    ui::Edit sec{step3, "00"};
    ui::Label lblSec{step3, "sec."};
    // Step 4
    ui::Label Label16{Step4, "Step 4 (video)"};
    ui::Label Label6{Step4, "Choose a compression CODEC :"};
    ui::ComboBox Codec{Step4, ui::ComboStyle::DropDownList};
    ui::RadioButton pass1{Step4, "1-pass"};
    ui::RadioButton pass2{Step4, "2-pass"};
    ui::RadioButton pass1HQ{Step4, "1-pass quality based"};
    // Step 5
    ui::Label Label17{Step5, "Step 5 (video)"};
    ui::Label Label3{Step5, "Select the video output resolution :"};
    ui::ComboBox presets{Step5, ui::ComboStyle::DropDownList};
    ui::Button Button1{Step5, "preview"};
    // Step 6
    ui::Label Label24{Step6, "Step 6 (video)"};
    ui::Label Label9{Step6, "Did you see horizontal lines in the preview (interlaced) ?"};
    ui::RadioButton no{Step6, "No"};
    ui::RadioButton yes{Step6, "Yes"};
    // Step 7
    ui::Label Label18{Step7, "Step 7 (audio)"};
    ui::Label Label7{Step7, "Choose an audio stream :"};
    ui::ComboBox SubStream{Step7, ui::ComboStyle::DropDown};
    ui::Button PreAud{Step7, "Play"};
    // Step 8
    ui::Label Label22{Step8, "Step 8 (audio)"};
    ui::Label lblAudioCodec{Step8, "Audio Codec :"};
    ui::ComboBox mp3wma{Step8, ui::ComboStyle::DropDownList};
    ui::Label lblSampleRate{Step8, "Sample Rate (kHz) :"};
    ui::ComboBox Samplerate{Step8, ui::ComboStyle::DropDownList};
    ui::Label lblBitrate{Step8, "BitRate (kbs) :"};
    ui::ComboBox Bitrate{Step8, ui::ComboStyle::DropDownList};
    // Step 9
    ui::Label Label23{Step9, "Step 9 (muxing)"};
    ui::CheckBox split{Step9, "Split final AVI"};
    // Step 10
    ui::Label Label19{Step10, "Step 10 (subtitles)"};
    ui::CheckBox extractsub{Step10, "Extract subtitles"};
    ui::Label Label11{Step10, "Language :"};
    ui::ComboBox lnglist{Step10, ui::ComboStyle::DropDownList};
    // Step 11
    ui::Label Label26{Step11, "Step 11 (final)"};
    ui::CheckBox Shutdown{Step11, "Shutdown when finished"};

    // "Next >>" buttons N0 (on Step0) to N10 (on Step10), back buttons P1 (on Step1) to P11 (on Step11).
    ui::Button N0{Step0, "Next >>"}, N1{Step1, "Next >>"}, N2{Step2, "Next >>"}, N3{step3, "Next >>"},
        N4{Step4, "Next >>"}, N5{Step5, "Next >>"}, N6{Step6, "Next >>"}, N7{Step7, "Next >>"},
        N8{Step8, "Next >>"}, N9{Step9, "Next >>"}, N10{Step10, "Next >>"};
    ui::Button P1{Step1, "<< Previous"}, P2{Step2, "<< Previous"}, P3{step3, "<< Previous"},
        P4{Step4, "<< Previous"}, P5{Step5, "<< Previous"}, P6{Step6, "<< Previous"},
        P7{Step7, "<< Previous"}, P8{Step8, "<< Previous"}, P9{Step9, "<< Previous"},
        P10{Step10, "<< Previous"}, P11{Step11, "<< Previous"};

private:
    void buildWindow();
    void connectHandlers();
    std::vector<ui::TabSheet*> steps();
    std::vector<ui::Button*> nextButtons();
    std::vector<ui::Button*> previousButtons();

    // The main window's position when the wizard opened, put back when it closes.
    int mainLeft_ = 0;
    int mainTop_ = 0;
};

// The wizard opened last (null when none is open).
extern TKeswizard* Keswizard;

} // namespace kes
