#pragma once

// The main window: a column of page buttons and tool launchers beside the page control `main`, whose
// pages hold every option of a rip. Controls are public members under their designer names, so that
// the tool windows, the wizard and the rip sequence reach them through Form1. Each page is built by
// its own file (form1_<page>_page.cpp); start-up, close and the clock are in form1.cpp, the outside
// program runner and the VOB list in form1_runner.cpp.

#include "kes/ext_runner.h"
#include "kes/profile_list.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/edit.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/image.h"
#include "platform/ui/lists.h"
#include "platform/ui/memo.h"
#include "platform/ui/menu.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes {

namespace ui = platform::ui;

struct ProfileSettings;

class TForm1 : public ui::Form {
public:
    TForm1();
    ~TForm1() override;

    // Folders of the program: ProgDir is StartDir + "/", ExternDir is ProgDir + "extern/".
    const std::string& progDir() const { return ProgDir; }
    const std::string& externDir() const { return ExternDir; }

    // --- Start-up, close and clock --------------------------------------------------------------
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormClose(ui::CloseAction& action);
    void Timer1Timer();
    void HDSPACEClick();
    // The free space of every fixed volume, one line each.
    std::string FixedDrivesText() const;
    void MakeWorkFolders();
    // Labels of the helper files missing from extern/, empty when all are there.
    std::string AreSoftsThere() const;

    // --- Outside programs -----------------------------------------------------------------------
    // Runs ExtCommand with extern/ as the current directory and waits for its end while the window
    // stays alive. False when the program could not be started (an error box names the command line,
    // except in multi-rip mode).
    bool RunExtProg();
    // RunExtProg, with the box of a failed start only when reportFailedStart is set.
    bool runExternal(bool reportFailedStart);
    // Asks the platform to switch the machine off; true when the request went out.
    bool ShutdownWindows();
    // The outcome of the last RunExtProg (slice used, exit code).
    const RunOutcome& lastRun() const { return lastRun_; }
    // True while the multi-rip list runs: nothing may wait for a person then, and every box goes into
    // the list's log instead of being shown.
    bool unattended() const { return unattended_ > 0; }
    // While one lives, the window works as in a multi-rip: unattended, and what a box would have said
    // (the old-AVI notice aside) is kept, one line per box, instead of being shown.
    class Unattended {
    public:
        explicit Unattended(TForm1& form);
        ~Unattended();
        Unattended(const Unattended&) = delete;
        Unattended& operator=(const Unattended&) = delete;
        const std::vector<std::string>& said() const { return said_; }

    private:
        TForm1& form_;
        std::vector<std::string> said_;
        ui::BoxDiversion diversion_;
    };

    // --- VOB list -------------------------------------------------------------------------------
    // False when the list could not be written: whatever "vob.lst" holds then belongs to another
    // title, and the rip that asked for it must not run.
    bool MakeList(const std::string& firstVob);

    // --- Converter, decoder and automation command lines; preview -------------------------------
    // The complete converter line of the rip.
    std::string TreatVidParams();
    // The AC3 decoder line for a sub-stream ("0x80" to "0x87") and stream 1 or 2, without its folder.
    std::string TreatAC3Dec(const std::string& subStream, int stream);
    // Sets ExtCommand to the codec automation line of output 1 or 2. False when the line cannot be
    // built (a key-frame text that is no integer): a single rip has shown the error and set
    // RipAborted; in multi-rip mode nothing is shown and the caller ends the rip.
    bool SetAutoDivXParam(int output);
    // Builds the preview line (flag 0: the program the options say; else the on-screen adjusting
    // program) in ExtCommand and runs it.
    void SetPrevParam(int flag);
    void PreviewVidClick();
    // Ticks and fills the resize and crop boxes from extern/m2a.bat; false when there is no such file.
    bool ReadOnScreenSizes();
    // Before a preview or an on-screen adjust: this title's "vob.lst" and no "m2a.bat" of an earlier
    // run. False, after its box, when either cannot be had.
    bool prepareOnScreenRun();

    // --- Rip ------------------------------------------------------------------------------------
    void LaunchClick();
    // One rip: the checks, then the work steps.
    void Launchrip();

    // --- Jobs that pump the window (rips, previews, counts) -------------------------------------
    // While a job runs, the controls that start another job are disabled and a close waits for its end.
    class JobGuard {
    public:
        explicit JobGuard(TForm1& form);
        ~JobGuard();
        JobGuard(const JobGuard&) = delete;
        JobGuard& operator=(const JobGuard&) = delete;

    private:
        TForm1& form_;
    };
    bool jobRunning() const { return jobDepth_ > 0; }

    // --- Routines of the language, profile and page code, called at start -----------------------
    void GetAllLng();
    void AssignLangage(const std::string& name);
    void GetAllProfiles();
    void InitFields();
    void InitPath();
    void ReadProFile(const std::string& path);
    void CopyFromProfile();
    void setautoparam();

    // --- Languages (form1_language.cpp) ---------------------------------------------------------
    // The "Language" menu's own click: asks once per user for a translation.
    void LangageClick();
    // The click of the language menu item s<index> (s0Click to s14Click): loads the language it names.
    void LanguageItemClick(int index);
    // Sets every caption of the window from CaptionTable.
    void AssignCaptions();

    // --- Profiles (form1_profile.cpp) -----------------------------------------------------------
    // Writes the profile to SaveDialog1's file name; with exportOnly the path keys are left out.
    void CreateProfile(bool exportOnly);
    // The value of a key of the profile last read, the key given with its "=" ("profiletitle=").
    std::string SeekItem(const std::string& key) const;
    // Reads a profile and returns its title ("profiletitle="), empty when it has none.
    std::string FindPflName(const std::string& path);
    // The name of the first title VOB in a folder, empty when there is none.
    std::string searchvob(const std::string& folder) const;
    // The profile last read: its lines (at most 100), the lines each followed by CR LF, upper-cased.
    std::vector<std::string> ProfileLines;
    std::string ProfileText;
    std::string ProfileTextUpper;

    // --- Profile list, export and multi-rip list (form1_profile_list.cpp, form1_multi_rip.cpp) ---
    void memo1Click();
    void ProfileEditChange();
    void ProfileEditKeyPress(char& key);
    void SaveProfileClick();
    void ExportprofClick();
    void Allexport();
    void ReinitClick();
    void OpenFinalClick();
    void Chooseaviss2Click();
    void addtomultiClick();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void eraseClick();
    void usemultiClick();
    void LaunchMultiClick();
    // The listed profiles, in memo1's order (rebuilt by GetAllProfiles).
    const std::vector<ProfileListItem>& profileTable() const { return profileTable_; }

    // --- Small helpers (form1_helpers.cpp) ------------------------------------------------------
    // Installs the subtitle filter into the system folder and registers it; true on success.
    bool RegisterFilter();
    // Updates the status lights of the paths page.
    void isfileok();
    void About1Click();

    // --- Rip report (form1_report.cpp) ---------------------------------------------------------
    // Builds the report of a finished rip, writes the log file when asked, then shows the report,
    // requests the shutdown or (multi-rip) does nothing more.
    void Statistics();
    // Frames per second of the video step, for the report; empty when the AVI cannot be read.
    std::string ReadFrameRate();

    // --- Video page: size, bit rate, presets, IFO (form1_video.cpp) -----------------------------
    int bitratecalc(const std::string& sizeText, const std::string& minutesText, bool divx4, bool aspect,
                    const std::string& audioBitrate);
    void FinalSizeChange();
    void MovieLengthChange();
    void BitrateChange();
    void RadioButton1Click();
    void wideClick();
    void SBitRateChange();
    void lock1cdClick();
    void presetsChange();
    void changepres();
    void fixval(int step);
    void FixClick();
    void addresClick();
    void HalfresClick();
    void XSizeChange();
    void YSizeChange();
    void XCropChange();
    void YCropChange();
    void VidInfo(unsigned char attributeA, unsigned char attributeB);

    // --- Video page: codec settings and description (form1_codec.cpp) ---------------------------
    void pass2Change();
    void D4VBRChange();
    void dualClick();
    void ForceDeintClick();
    void px3guiClick();
    void IVTCClick();
    void vkiClick();
    void RangeClick();
    void Range1Change();
    void Range2Change();
    void prevstartClick();
    void directadjustClick();
    void DescripChange();
    void Button9Click();
    void encqualChange();
    void pplChange();
    // Writes the DivX 4 settings page into the codec's registry key; false when nothing was written.
    bool setD4settings();
    // Fills the DivX 4 settings page from the codec's registry key.
    void readD4settings();

    // --- Option-page routines that the profile loader and the defaults call ---------------------
    void CodecChange();
    void DispatchSampleBitParams();
    void DispatchBitParams();

    // --- Audio page (form1_audio.cpp) -----------------------------------------------------------
    // A new first VOB: the IFO file, the subtitle destination, and the audio streams from the IFO or
    // from the extractor's count.
    void VobfileChange();
    void aripChange();
    // Appends a stream's block of IFO audio attributes to audioinfo.
    void decodeaudioinfo(int index, uint8_t attributes, uint8_t mode, uint8_t dolby, const std::string& name);
    void PreAudClick();
    void Audio2playClick();
    void mp3wmaChange();
    void ModeChange();
    void SamplerateChange();
    void GainTrackChange();
    void RipAudioClick();
    void normalClick();
    void compressClick();
    void AudioRangeClick();
    void MergeClick();
    void SplitClick();
    void twostreamsClick();
    void splitsizeChange();

    // --- Subtitle page (form1_subtitles.cpp) ----------------------------------------------------
    void ifofileChange();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void extractsubClick();
    // Shows the video attributes and movie length of the IFO file named by ifofile ("???", "120" and
    // "00" when there is none): the video page's part of an IFO change.
    void ShowIfoTitleInfo();
    // Shows that an IFO file is damaged, once for each time a new file is read.
    void reportDamagedIfo(const std::string& ifo, const std::string& text);

    // --- Page buttons ---------------------------------------------------------------------------
    void AllUp();
    void OptionsButtonClick();
    void MovieButtonClick();
    void AudioButtonClick();
    void PathsButtonClick();
    void ProfilesButtonClick();
    void ExtrasButtonClick();
    void subbuttonClick();
    void Button8Click();
    void SortirClick();

    // --- Path check, file choosers, extras and tool launchers (form1_buttons.cpp,
    // form1_launchers.cpp) -------------------------------------------------------------------------
    // Reports missing inputs, existing outputs and missing folders of the paths page.
    void SpeedButton4Click();
    void FinalFileChange();
    void OpenVOBClick();
    void OpenAviClick();
    void OpenMP3Click();
    void SpeedButton1Click();
    void Button2Click();
    void Button5Click();
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Button6Click();
    // Extras: the audio of an AVI to a WAV file; the logo clip appended to an AVI.
    void AudExtrClick();
    void AddVexlorClick();
    // Tool launchers: each click opens a new window without waiting for it.
    void SynchButtonClick();
    void usebuttonClick();
    void coverbuttonClick();
    void Button7Click();
    void wizardClick();
    void tilboClick();

    // ============================ Controls ======================================================
    ui::MainMenu MainMenu1{*this};
    ui::MenuItem Config1{MainMenu1, "Config"};
    ui::MenuItem Langage{Config1, "Language"};
    ui::MenuItem s0{Langage, "Language 1"};
    ui::MenuItem s1{Langage, "Language 2"};
    ui::MenuItem s2{Langage, "Language 3"};
    ui::MenuItem s3{Langage, "Language 4"};
    ui::MenuItem s4{Langage, "Language 5"};
    ui::MenuItem s5{Langage, "Language 6"};
    ui::MenuItem s6{Langage, "Language 7"};
    ui::MenuItem s7{Langage, "Language 8"};
    ui::MenuItem s8{Langage, "Language 9"};
    ui::MenuItem s9{Langage, "Language 10"};
    ui::MenuItem s10{Langage, "Language 11"};
    ui::MenuItem s11{Langage, "Language 12"};
    ui::MenuItem s12{Langage, "Language 13"};
    ui::MenuItem s13{Langage, "Language 14"};
    ui::MenuItem s14{Langage, "Language 15"};
    ui::MenuItem About1{MainMenu1, "About"};

    ui::Timer Timer1{1000};

    ui::OpenDialog OpenDialog1; // first VOB
    ui::OpenDialog OpenDialog2; // AVI files
    ui::OpenDialog OpenDialog3; // WAV files
    ui::OpenDialog OpenDialog4; // profiles
    ui::OpenDialog OpenDialog5; // final AVI
    ui::OpenDialog OpenDialog6; // output folder
    ui::SaveDialog SaveDialog1; // profiles

    // Containers first: they outlive the controls placed on them.
    ui::PageControl main{*this};
    ui::TabSheet MainPage{main, "Main"};
    ui::TabSheet VideoPage{main, "Video"};
    ui::TabSheet AudioPage{main, "Audio"};
    ui::TabSheet PathsPage{main, "Paths"};
    ui::TabSheet profilesPage{main, "Profiles"};
    ui::TabSheet extrasPage{main, "Extras"};
    ui::TabSheet subsheet{main, "Subtitles"};
    ui::TabSheet D4settings{main, "DivX4 codec configuration"};

    // Page buttons and tool launchers (left column).
    ui::SpeedButton OptionsButton{*this, "Main"};
    ui::SpeedButton MovieButton{*this, "Video"};
    ui::SpeedButton AudioButton{*this, "Audio"};
    ui::SpeedButton PathsButton{*this, "Paths"};
    ui::SpeedButton ProfilesButton{*this, "Profiles"};
    ui::SpeedButton ExtrasButton{*this, "Extras"};
    ui::SpeedButton subbutton{*this, "Subtitles"};
    ui::Button wizard{*this, "Wizard"};
    ui::Button SynchButton{*this, "Synchronizer"};
    ui::Button usebutton{*this, "Stream extractor"};
    ui::Button coverbutton{*this, "CD Cover Printer"};
    ui::Button tilbo{*this, "Tilbo !"};
    ui::Label mytime{*this, "Time :"};
    ui::Button sortir{*this, "Exit"};

    // ---- Main page ----
    ui::GroupBox Actions{MainPage, "Actions"};
    ui::GroupBox grcurset{MainPage, "Current Settings"};
    ui::CheckBox RipVid{Actions, "Rip Video"};
    ui::CheckBox DivxAuto{Actions, "DivX Auto"};
    ui::CheckBox RipAll{Actions, "Rip all VOBs"};
    ui::CheckBox RipAudio{Actions, "Rip Audio :"};
    ui::ComboBox arip{Actions, ui::ComboStyle::DropDown};
    ui::CheckBox normal{Actions, "Normalize audio"};
    ui::CheckBox compress{Actions, "Compress Audio"};
    ui::CheckBox DelWav{Actions, "Delete Wav/AC3 file"};
    ui::CheckBox Merge{Actions, "Merge A/V"};
    ui::CheckBox Autosynch{Actions, "Autosynch"};
    ui::CheckBox Split{Actions, "Split final AVI"};
    ui::RadioButton sih{Actions, "equaly"};
    ui::RadioButton Saft{Actions, "after (MB) :"};
    ui::ComboBox splitsize{Actions, ui::ComboStyle::DropDown};
    ui::CheckBox Vexlor{Actions, "Add Vexlor logo"};
    ui::CheckBox twostreams{Actions, "2nd audio"};
    ui::CheckBox extractsub{Actions, "Extract  subtitles"};
    ui::CheckBox log{Actions, "Write a log file"};
    ui::CheckBox Shut{Actions, "Shutdown when finished"};
    ui::Memo curset{grcurset};
    ui::Button Reinit{grcurset, "Reset"};
    ui::Label Label9{MainPage, "Tick the steps of the rip, check the other pages, then launch it."};
    ui::Label Label19{MainPage, "New to ripping? The Wizard asks for the few choices that matter."};
    ui::Label Label29{MainPage, "The rip runs the ticked steps one after the other."};
    ui::Label sugg{MainPage, "Suggestion : save your settings as a profile before a long rip."};
    ui::Button Launch{MainPage, "Launch rip !"};

    // ---- Video page ----
    ui::GroupBox gbv{VideoPage, "Video"};
    ui::GroupBox gbf{VideoPage, "Size and bitrate"};
    ui::GroupBox Video{VideoPage, "Video"};
    ui::GroupBox gbcropdown{VideoPage, "Resize and crop"};
    ui::GroupBox PreVid{VideoPage, "Preview"};
    ui::GroupBox gbvinfo{VideoPage, "Video Info"};
    // Codec and bit rates.
    ui::Label lblCodec{gbv, "Codec :"};
    ui::ComboBox Codec{gbv, ui::ComboStyle::DropDownList};
    ui::CheckBox dual{gbv, "Dual Output"};
    ui::Label Label41{gbv, "DivX Codec 2"};
    ui::ComboBox pass2{gbv, ui::ComboStyle::DropDownList};
    ui::Label Label36{gbv, "DivX 4.0 VBR :"};
    ui::ComboBox D4VBR{gbv, ui::ComboStyle::DropDownList};
    ui::CheckBox proceed2{gbv, "Proceed with 2nd pass"};
    ui::SpeedButton Button8{gbv, ">> config."};
    ui::Label lblBitrate{gbv, "Bitrate :"};
    ui::Edit DivFR{gbv, "653"};
    ui::RadioButton br1{gbv, "gets the suggestion"};
    ui::Label Label12{gbv, "Bitrate 2"};
    ui::Edit DualBR{gbv, "1500"};
    ui::RadioButton br2{gbv, "gets the suggestion"};
    ui::Label lblKframe{gbv, "Key Frame /sec."};
    ui::Edit kframe{gbv, "10"};
    ui::CheckBox vki{gbv, "VKI"};
    ui::Label lblCrisp{gbv, "Crispness :"};
    ui::Edit Crisp{gbv, "100"};
    // Size and bit-rate suggestion.
    ui::Label Label1{gbf, "Final size (MB) :"};
    ui::ComboBox finalsize{gbf, ui::ComboStyle::DropDown};
    ui::Label Label2{gbf, "Movie length :"};
    ui::Edit movielength{gbf, "120"};
    ui::Label lblMin{gbf, "min."};
    ui::Edit sec{gbf, "00"};
    ui::Label lblSec{gbf, "sec."};
    ui::Label Label3{gbf, "Suggested bitrate :"};
    ui::Edit SBitRate{gbf, "653"};
    ui::Label Label4{gbf, "Picture :"};
    ui::RadioButton RadioButton1{gbf, "4/3"};
    ui::RadioButton wide{gbf, "16/9"};
    ui::CheckBox lock1cd{gbf, "lock CD number"};
    // Converter.
    ui::CheckBox px3gui{Video, "Use latest PX3 Mpeg2Avi "};
    ui::CheckBox ForceDeint{Video, "Force deinterlace"};
    ui::CheckBox IVTC{Video, "IVTC (deinterlace)"};
    ui::ComboBox IVTCnb{Video, ui::ComboStyle::DropDownList};
    ui::Label Label26{Video, "Frame rate :"};
    ui::ComboBox fps{Video, ui::ComboStyle::DropDownList};
    ui::Label Label30{Video, "Decoding :"};
    ui::ComboBox PostFilter{Video, ui::ComboStyle::DropDownList};
    ui::ComboBox RefQuality{Video, ui::ComboStyle::DropDown};
    ui::ComboBox Output{Video, ui::ComboStyle::DropDown};
    // Resize and crop.
    // Editable so that it can show its caption, which is not among its items.
    ui::ComboBox presets{gbcropdown, ui::ComboStyle::DropDown};
    ui::CheckBox DownX{gbcropdown, "Downsize X =>"};
    ui::Edit XSize{gbcropdown, "0"};
    ui::CheckBox DownY{gbcropdown, "Downsize Y =>"};
    ui::Edit YSize{gbcropdown, "0"};
    ui::CheckBox Crop{gbcropdown, "Cropping =>"};
    ui::Edit XCrop{gbcropdown, "0"};
    ui::Edit YCrop{gbcropdown, "0"};
    ui::CheckBox lockcrop{gbcropdown, "Lock cropping values"};
    ui::CheckBox Halfres{gbcropdown, "Half Res Mode"};
    ui::Button fix{gbcropdown, "Fix"};
    ui::Button addres{gbcropdown, "Add"};
    // Preview and range.
    ui::Button PreviewVid{PreVid, "Preview"};
    ui::Button directadjust{PreVid, "On screen"};
    ui::CheckBox prevstart{PreVid, "Preview starts at : "};
    ui::Edit Min{PreVid, "0"};
    ui::CheckBox Range{PreVid, "Range from :"};
    ui::Edit Range1{PreVid, "00:00:00"};
    ui::Label Label8{PreVid, "to"};
    ui::Edit Range2{PreVid, "00:00:00"};
    // Video information of the title's IFO file.
    ui::Label vl1{gbvinfo, "Coding :"};
    ui::Label vl2{gbvinfo, "Standard :"};
    ui::Label vl3{gbvinfo, "Aspect :"};
    ui::Label vl4{gbvinfo, "Bitrate :"};
    ui::Label vl5{gbvinfo, "Resolution :"};
    ui::Label vl6{gbvinfo, "Letterboxed :"};
    ui::Label _v1{gbvinfo, "???"};
    ui::Label _v2{gbvinfo, "???"};
    ui::Label _V3{gbvinfo, "???"};
    ui::Label _v4{gbvinfo, "???"};
    ui::Label _v5{gbvinfo, "???"};
    ui::Label _v6{gbvinfo, "???"};

    // ---- Audio page ----
    ui::GroupBox GroupBox11{AudioPage, "Audio streams"};
    ui::GroupBox gba{AudioPage, "Audio"};
    ui::GroupBox GroupBox6{AudioPage, "Compression"};
    ui::GroupBox GroupBox12{AudioPage, "Normalization"};
    ui::GroupBox AudioRangeGB{AudioPage, "Audio range"};
    ui::Label Label7{GroupBox11, "1st SubStream"};
    ui::ComboBox SubStream{GroupBox11, ui::ComboStyle::DropDown};
    ui::Button PreAud{GroupBox11, "Play 1"};
    ui::Label Label14{GroupBox11, "2nd SubStream"};
    ui::ComboBox SecSubStream{GroupBox11, ui::ComboStyle::DropDown};
    ui::Button Audio2Play{GroupBox11, "Play 2"};
    ui::CheckBox flip{GroupBox11, "flip audio streams list"};
    ui::Memo audioinfo{gba};
    ui::Label Label23{GroupBox6, "Codec :"};
    ui::ComboBox mp3wma{GroupBox6, ui::ComboStyle::DropDownList};
    ui::Label Label31{GroupBox6, "Mode :"};
    ui::ComboBox Mode{GroupBox6, ui::ComboStyle::DropDownList};
    ui::Label Label32{GroupBox6, "Sample rate (kHz) :"};
    ui::ComboBox Samplerate{GroupBox6, ui::ComboStyle::DropDownList};
    ui::Label Label33{GroupBox6, "Bitrate (kbs) :"};
    ui::ComboBox Bitrate{GroupBox6, ui::ComboStyle::DropDownList};
    ui::Label Label22{GroupBox12, "Gain :"};
    ui::TrackBar GainTrack{GroupBox12};
    ui::Label Gain{GroupBox12, "10 dB"};
    ui::CheckBox Norm2Other{GroupBox12, "Normalize to another file"};
    ui::CheckBox AudioRange{AudioRangeGB, "Range from :"};
    ui::Edit ARange1{AudioRangeGB, "00:00:00"};
    ui::Label Label39{AudioRangeGB, "to"};
    ui::Edit ARange2{AudioRangeGB, "00:00:00"};

    // ---- Paths page ----
    ui::GroupBox GroupBox2{PathsPage, "Choose first .VOB"};
    ui::GroupBox GroupBox4{PathsPage, "Destination AVI (video only)"};
    ui::GroupBox GroupBox5{PathsPage, "Extracted WAV"};
    ui::GroupBox GroupBox8{PathsPage, "Compressed Audio"};
    ui::GroupBox GroupBox1{PathsPage, "Choose Final AVI(s)"};
    ui::GroupBox GroupBox9{PathsPage, "Free Space"};
    ui::Edit Vobfile{GroupBox2};
    ui::SpeedButton OpenVOB{GroupBox2};
    ui::Image p1{GroupBox2};
    ui::Edit AVIFile{GroupBox4};
    ui::SpeedButton openavi{GroupBox4};
    ui::Image p2{GroupBox4};
    ui::Edit WavFileEdit{GroupBox5};
    ui::SpeedButton openMP3{GroupBox5};
    ui::Image p3{GroupBox5};
    ui::Label Label11{GroupBox5, "Substream 2"};
    ui::Edit Wav2{GroupBox5};
    ui::SpeedButton SpeedButton1{GroupBox5};
    ui::Image p4{GroupBox5};
    ui::Edit compaudiofile{GroupBox8};
    ui::SpeedButton button2{GroupBox8};
    ui::Image p5{GroupBox8};
    ui::Label ss2path{GroupBox8, "Substream 2 (compressed)"};
    ui::Edit compressedSS2{GroupBox8};
    ui::SpeedButton button5{GroupBox8};
    ui::Image p6{GroupBox8};
    ui::Edit FinalFile{GroupBox1};
    ui::SpeedButton openfinal{GroupBox1};
    ui::Image p7{GroupBox1};
    ui::Label Label20{GroupBox1, "Final (substream2)"};
    ui::Edit AviSS2{GroupBox1};
    ui::SpeedButton chooseaviss2{GroupBox1};
    ui::Image p8{GroupBox1};
    ui::Memo HD{GroupBox9};
    ui::SpeedButton SpeedButton4{PathsPage, "Refresh"};
    ui::Image canvastrue{PathsPage};
    ui::Image canvasfalse{PathsPage};

    // ---- Profiles page ----
    ui::GroupBox GBComment{profilesPage, "Comment"};
    ui::Label label21{profilesPage, "Available profiles list:"};
    ui::ListBox memo1{profilesPage};
    ui::SpeedButton addtomulti{profilesPage, "+"};
    ui::Label Addtolist{profilesPage, "Add to the multi-rip list"};
    ui::Label Label27{profilesPage, "Movie name"};
    ui::Edit ProfileEdit{profilesPage, "None"};
    ui::Label Label28{profilesPage, "Description"};
    ui::Edit Descrip{profilesPage};
    ui::Memo Comment{GBComment};
    ui::Button SaveProfile{profilesPage, "Save as"};
    ui::Button Exportprof{profilesPage, "Export"};
    ui::RadioButton Exportcurrent{profilesPage, "Export current profile"};
    ui::RadioButton exportall{profilesPage, "Export all profiles"};

    // ---- Extras page ----
    ui::GroupBox GroupBox13{extrasPage, "Extract Audio from AVI"};
    ui::GroupBox GroupBox7{extrasPage, "Add Vexlor to an existing AVI"};
    ui::GroupBox GroupBox10{extrasPage, "Multi RIP"};
    ui::Label Label34{GroupBox13, "Source AVI :"};
    ui::Edit savi{GroupBox13};
    ui::SpeedButton Button1{GroupBox13};
    ui::Label Label35{GroupBox13, "Destination WAV :"};
    ui::Edit Daudio{GroupBox13};
    ui::SpeedButton button3{GroupBox13};
    ui::Button AudExtr{GroupBox13, "Extract"};
    ui::Label Label37{GroupBox7, "Source AVI :"};
    ui::Edit SVexlor{GroupBox7};
    ui::SpeedButton button4{GroupBox7};
    ui::Label Label38{GroupBox7, "Destination AVI :"};
    ui::Edit DVexlor{GroupBox7};
    ui::SpeedButton button6{GroupBox7};
    ui::Button AddVexlor{GroupBox7, "Add"};
    ui::ListBox memo2{GroupBox10};
    ui::SpeedButton SpeedButton2{GroupBox10, "Up"};
    ui::SpeedButton SpeedButton3{GroupBox10, "Down"};
    ui::SpeedButton erase{GroupBox10, "Delete"};
    ui::CheckBox usemulti{GroupBox10, "Use that list"};
    ui::Button LaunchMulti{GroupBox10, "Launch rip !"};

    // ---- Subtitles page ----
    ui::GroupBox GroupBox16{subsheet, "Subtitles extraction"};
    ui::GroupBox GroupBox17{subsheet, "Adjust existing sub index"};
    ui::Label Label42{GroupBox16, "IFO file :"};
    ui::Edit ifofile{GroupBox16, "NONE"};
    ui::Label Label45{GroupBox16, "Available languages :"};
    ui::ListBox IFOlngList{GroupBox16};
    ui::SpeedButton SpeedButton5{GroupBox16, ">>"};
    ui::SpeedButton SpeedButton6{GroupBox16, "<<"};
    ui::Label Label43{GroupBox16, "Selected languages :"};
    ui::ListBox selectedlng{GroupBox16};
    ui::Label Label44{GroupBox16, "Destination sub :"};
    ui::Edit destsub{GroupBox16};
    ui::Button Button7{GroupBox17, "VobSubAdjust"};

    // ---- DivX 4 settings page ----
    ui::GroupBox gbd4general{D4settings, "General"};
    ui::GroupBox gbd4onepass{D4settings, "1-pass parameters"};
    ui::Label lblPerfqual{gbd4general, "Performance/quality"};
    ui::ComboBox perfqual{gbd4general, ui::ComboStyle::DropDownList};
    ui::CheckBox maxcpu{gbd4general, "Max CPU usage"};
    ui::Edit cpuusage{gbd4general, "100"};
    ui::Label lblPercent{gbd4general, "%"};
    ui::CheckBox DI{gbd4general, "Deinterlace"};
    ui::Label lblEncqual{gbd4general, "Encoding quality"};
    ui::TrackBar encqual{gbd4general};
    ui::Label eqtxt{gbd4general, "85%"};
    ui::Label lblPpl{gbd4general, "Default postprocessing level :"};
    ui::TrackBar ppl{gbd4general};
    ui::Label Label58{gbd4general, "3"};
    ui::Label lblMaxQ{gbd4onepass, "Maximum quantizer"};
    ui::Edit MaxQ{gbd4onepass};
    ui::Label lblMinQ{gbd4onepass, "Minimum quantizer"};
    ui::Edit MinQ{gbd4onepass};
    ui::Label lblRateavg{gbd4onepass, "Rate control averaging period, frames"};
    ui::Edit rateavg{gbd4onepass};
    ui::Label lblRperiod{gbd4onepass, "Reaction period, frames"};
    ui::Edit rperiod{gbd4onepass};
    ui::Label lblDownup{gbd4onepass, "Rate control down/up reaction"};
    ui::Edit downup{gbd4onepass};
    ui::Button Button9{D4settings, "Apply"};

private:
    friend class JobGuard;

    void buildWindow();
    void buildButtonColumn();
    void buildMainPage();
    void buildVideoPage();
    void buildAudioPage();
    void buildPathsPage();
    void buildProfilesPage();
    void buildExtrasPage();
    void buildSubtitlePage();
    void buildD4SettingsPage();
    void connectHandlers();
    // The handlers of the language menu and the about item.
    void connectLanguageHandlers();
    // The settings a profile is written from, as the controls hold them now.
    ProfileSettings gatherProfileSettings();
    // Sets a codec list from a "VCodec=" value; "4" needs the DivX 4 codec files in the system folder.
    void loadCodec(ui::ComboBox& codecList, const std::string& value);
    // The language menu's file names, in menu order.
    std::vector<std::string> languageNames_;
    void connectRipHandlers();
    void connectAudioHandlers();
    void connectSubtitleHandlers();
    // The page column's tool launchers, the file choosers and the extras.
    void connectButtonHandlers();
    void connectProfileListHandlers();
    // Asks whether an existing profile file may be replaced (always yes for a new file).
    bool mayWriteProfile(const std::string& path, const std::string& shownName);
    // Rebuilds the profile list while keeping the name box's text.
    void rebuildProfileList();
    // Loads one multi-rip entry's profile and rips it; false when it was not ripped (the reason is one
    // of the boxes the entry would have shown, or it is given in why).
    bool ripMultiEntry(const std::string& entry, bool last, std::string& why);
    // Writes what a multi-rip list could not rip, and what its rips would have shown, into a log
    // file of its own.
    void logMultiRip(const std::string& notRipped, const std::string& messages);
    std::vector<ProfileListItem> profileTable_;
    // Runs a stream count of the extractor and fills both stream lists from "sn.fnd".
    void countAudioStreams(const std::string& commandLine);
    // Lists the audio streams of an IFO file with their attributes.
    void listIfoAudioStreams(const std::string& ifo);
    // Plays the stream a stream box names.
    void playStream(const ui::ComboBox& stream);
    // The handlers and key filters of the video page and the DivX 4 settings page.
    void connectVideoHandlers();
    void connectCodecHandlers();

    // The work steps of a rip after its checks, each running only while RipAborted is clear: the
    // audio steps (extraction, normalisation, compression), then the video, mux, subtitle and
    // closing steps.
    void RipAudioSteps();
    void RipVideoSteps();

    // Shows a page with its button pressed (flat, bold caption).
    void showPage(ui::TabSheet& page, ui::SpeedButton& button);
    std::vector<ui::SpeedButton*> pageButtons();
    // The controls that start a rip, a preview or a stream count.
    std::vector<ui::Control*> jobStarters();
    void jobEnded();

    std::string ProgDir;
    std::string ExternDir;
    RunOutcome lastRun_;
    int jobDepth_ = 0;
    std::vector<bool> startersEnabled_;
    bool closePending_ = false;
    // Set when a report requested the shutdown, so that a multi-rip list requests it only once.
    bool shutdownRequested_ = false;
    int unattended_ = 0;
    // The IFO file whose damage has been shown since it was chosen.
    std::string damagedIfoShown_;
    // Creation sets the codec several times (the defaults, then the default profile): a missing
    // DivX 4 codec is reported once there, not once per set.
    void codecMissingBox(const char* prefix);
    bool startingUp_ = false;
    bool codecBoxShownAtStart_ = false;
};

// The main window, created by the program block.
extern TForm1* Form1;

} // namespace kes
