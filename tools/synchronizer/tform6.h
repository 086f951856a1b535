#pragma once

// The synchronizer window: corrects the audio/video synchronisation of a finished AVI file. "File"
// chooses the file and shows its frame rate and delay, "Preview" plays it, "Synch" tests a new frame
// rate and delay by patching the stream headers in place and evaluates two measured points,
// "Autotest" steps through a series of delays or frame rates, "Split Wizard" marks split points on key
// frames in the built-in player, "Remux AVI" and "Join AVI" write new files. Its texts come from the
// "----Synchronizer----" section of the language file. It minimises the main window while it is open
// and restores it when it closes.

#include "tools/synchronizer/autotest.h"
#include "tools/synchronizer/preview_graph.h"

#include "platform/vfw/vfw.h"
#include "tools/synchronizer/synch_engine.h"
#include "tools/synchronizer/tform30.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tools::synchronizer {

// One entry of the language section: its number and its text (already converted for display).
struct SectionText {
    int number = 0;
    std::string text;
};

// Number of texts of the window's language table.
inline constexpr int SynchTableSize = 300;

// What the window takes from the main window, which fills it in when it opens the tool.
struct MainWindowLink {
    // The main program's folder; empty: the folder of the running program file.
    std::string programFolder;
    std::function<void()> minimize;
    std::function<void()> restore;
    // Reads the "----Synchronizer----" section of the language file that "LANG/default.ini" names
    // (creating that file with "English.lng" when it is missing) into entries, in file order. False,
    // and nothing read, when the language file does not exist or cannot be read. The main window
    // answers with its own language section reader.
    std::function<bool(std::vector<SectionText>& entries)> loadLanguageSection;
};

class TForm6 : public ui::Form {
public:
    explicit TForm6(MainWindowLink link = {});
    ~TForm6() override;

    ui::PageControl PageControl1{*this};
    ui::TabSheet TabSheet1{PageControl1, "File"};
    ui::TabSheet TabSheet2{PageControl1, "Preview"};
    ui::TabSheet TabSheet3{PageControl1, "Synch"};
    ui::TabSheet TabSheet4{PageControl1, "Autotest"};
    ui::TabSheet TabSheet5{PageControl1, "Split Wizard"};
    ui::TabSheet TabSheet6{PageControl1, "Remux AVI"};
    ui::TabSheet TabSheet7{PageControl1, "Join AVI"};
    // Receives the video window's keys in full screen.
    ui::Button ms{*this, "ms"};

    // "File"
    ui::GroupBox GroupBox1{TabSheet1, "Choose AVI File"};
    ui::Edit Edit1{GroupBox1};
    ui::Button Button1{GroupBox1, "../.."};
    ui::GroupBox GroupBox4{TabSheet1, "Original Settings"};
    ui::Label Label3{GroupBox4, "Audio delay (ms) :"};
    ui::Label position{GroupBox4, "0"};
    ui::Label Label5{GroupBox4, "Video frame rate :"};
    ui::Label VFredit{GroupBox4, "0"};
    ui::Label Label4{GroupBox4, "Video stream length (s) :"};
    ui::Label vsl{GroupBox4, "0"};
    ui::Label laberl6{GroupBox4, "Audio stream length (s) :"};
    ui::Label asl{GroupBox4, "0"};
    ui::Label Label6{GroupBox4, "Suggested video fps :"};
    ui::Label svfps{GroupBox4, "0"};
    ui::Button Button3{TabSheet1, "Quit"};
    ui::Label Label40{TabSheet1, "Language file :"};
    ui::Edit Edit2{TabSheet1};
    ui::Button Button21{TabSheet1, "../.."};

    // "Preview"
    ui::GroupBox GroupBox2{TabSheet2, "Preview"};
    ui::Button Play{GroupBox2, "Play"};
    ui::Button Stop{GroupBox2, "Stop"};
    ui::SpeedButton full{GroupBox2, "[ ]"};
    ui::Button Button18{GroupBox2, "Properties"};
    ui::ScrollBar ScrollBar1{GroupBox2};
    ui::TrackBar tb2{GroupBox2};
    ui::Label Label28{GroupBox2, "0%"};
    ui::Label Label26{GroupBox2, "Position :"};
    ui::Label curp{GroupBox2, "00:00:00"};
    ui::Label Label9{GroupBox2, "Length :"};
    ui::Label avil{GroupBox2, "00:00:00"};
    ui::CheckBox freeplay{GroupBox2, "Free play"};
    ui::GroupBox GroupBox7{TabSheet2, "Set range"};
    ui::Label Label10{GroupBox7, "00:00:00.00 <="};
    ui::Label Label11{GroupBox7, "=> 00:00:00.00"};
    ui::Button range1{GroupBox7, "set ["};
    ui::Button range2{GroupBox7, "] set"};
    ui::Button bReset{GroupBox7, "Reset"};
    ui::Button Button14{GroupBox7, "Add"};
    ui::Button Button15{GroupBox7, "Delete"};
    ui::Button Button16{GroupBox7, "Clear"};
    ui::Label Label38{GroupBox7, "Ranges :"};
    ui::ListBox ranges{GroupBox7};
    ui::Label Label8{GroupBox7, "Selected range :"};
    ui::Label sel{GroupBox7, "***"};

    // "Synch"
    ui::GroupBox GroupBox3{TabSheet3, "New Settings"};
    ui::Label Label2{GroupBox3, "New video frame rate :"};
    ui::ComboBox NewVFrate{GroupBox3};
    ui::Label Label1{GroupBox3, "Audio delay (ms) :"};
    ui::ComboBox sign{GroupBox3};
    ui::ComboBox NewStart{GroupBox3};
    ui::Label Label7{GroupBox3, "Suggested fps :"};
    ui::Label sug{GroupBox3, "0"};
    ui::Button Button2{GroupBox3, "copy"};
    ui::Button SetNew{GroupBox3, "Test"};
    ui::GroupBox GroupBox15{TabSheet3, "Synch evaluator"};
    ui::Label Label30{GroupBox15, "Point 1 :"};
    ui::Label TimeDelay1{GroupBox15, "00:00:00.00"};
    ui::Label Label31{GroupBox15, "Delay (ms) :"};
    ui::Label fpsdelay1{GroupBox15, "0"};
    ui::Button Button10{GroupBox15, "copy"};
    ui::Label Label32{GroupBox15, "Point 2 :"};
    ui::Label Timedelay2{GroupBox15, "00:00:00.00"};
    ui::Label Label33{GroupBox15, "Delay (ms) :"};
    ui::Label fpsdelay2{GroupBox15, "0"};
    ui::Button Button11{GroupBox15, "copy"};
    ui::Button Button17{GroupBox15, "Evaluate"};
    ui::GroupBox GroupBox17{TabSheet3, "Suggestions"};
    ui::Label Label34{GroupBox17, "New fps :"};
    ui::Label nf{GroupBox17, "0"};
    ui::Label Label35{GroupBox17, "New delay (ms) :"};
    ui::Label nd{GroupBox17, "0"};
    ui::Label Label36{GroupBox17, "New fps (no delay) :"};
    ui::Label nfo{GroupBox17, "0"};
    ui::Button Button19{GroupBox17, "Test"};
    ui::Button Button20{GroupBox17, "Test"};
    ui::GroupBox GroupBox5{TabSheet3, "Ranges"};
    ui::Label Label39{GroupBox5, "Ranges :"};
    ui::ListBox copyranges{GroupBox5};
    ui::Label Label37{GroupBox5, "Selected range :"};
    ui::Label csel{GroupBox5, "***"};

    // "Autotest"
    ui::GroupBox GroupBox16{TabSheet4, "Autotest series"};
    ui::CheckBox Autosynch{GroupBox16, "Use autotest"};
    ui::RadioButton autofps{GroupBox16, "Auto FPS :"};
    ui::RadioButton autodelay{GroupBox16, "Auto delay (in msec !) :"};
    ui::Label Label14{GroupBox16, "from :"};
    ui::Label Label16{GroupBox16, "to :"};
    ui::Label Label13{GroupBox16, "step :"};
    ui::Edit fps1{GroupBox16};
    ui::Edit fps2{GroupBox16};
    ui::Edit fpsstep{GroupBox16};
    ui::Edit delay1{GroupBox16};
    ui::Edit delay2{GroupBox16};
    ui::Edit delaystep{GroupBox16};
    ui::Button Next{GroupBox16, "Play/Next"};

    // "Split Wizard"
    ui::GroupBox GroupBox9{TabSheet5, "End of part 1"};
    ui::Label Label12{GroupBox9, "Frame :"};
    ui::Label endp1{GroupBox9, "0"};
    ui::Label Label21{GroupBox9, "Size :"};
    ui::Label P1Size{GroupBox9, "0 Mb"};
    ui::Button Set1{GroupBox9, "Set"};
    ui::GroupBox GroupBox10{TabSheet5, "Start of part 2"};
    ui::Label Label15{GroupBox10, "Frame :"};
    ui::Label begp2{GroupBox10, "0"};
    ui::Label Label22{GroupBox10, "Size :"};
    ui::Label P2Size{GroupBox10, "0 Mb"};
    ui::Button Set2{GroupBox10, "Set"};
    ui::Button Button4{TabSheet5, "Play"};
    ui::Button Button5{TabSheet5, "Stop"};
    ui::Button Button6{TabSheet5, "Pause"};
    ui::Label Label17{TabSheet5, "Delay (ms) :"};
    ui::Label delay{TabSheet5, "0"};
    ui::Button Button7{TabSheet5, "+"};
    ui::Button Button8{TabSheet5, "-"};
    ui::GroupBox GroupBox12{TabSheet5, "Direct access"};
    ui::RadioButton timeb{GroupBox12, "Time "};
    ui::RadioButton frameb{GroupBox12, "Frame"};
    ui::Edit gototime{GroupBox12, "00:00:00"};
    ui::Edit gotoframe{GroupBox12};
    ui::Button Button9{GroupBox12, "Go to"};

    // "Remux AVI"
    ui::GroupBox GroupBox8{TabSheet6, "Destination AVI File"};
    ui::Edit davi{GroupBox8};
    ui::Button dest{GroupBox8, "../.."};
    ui::CheckBox Split{GroupBox8, "Split"};
    ui::GroupBox Splitway{TabSheet6, "Split"};
    ui::RadioButton saft{Splitway, "after (Mb) :"};
    ui::RadioButton sih{Splitway, "equaly"};
    ui::RadioButton Wizard{Splitway, "Split wizard"};
    ui::ComboBox splitsize{Splitway};
    ui::Button go{TabSheet6, "Mux"};
    ui::Button breakstop{TabSheet6, "Stop"};
    ui::GroupBox GroupBox6{TabSheet6, "Mux Progress"};
    ui::Label Label18{GroupBox6, "Video :"};
    ui::Gauge vpb{GroupBox6};
    ui::Label VideoTime{GroupBox6, "-"};
    ui::Label Label19{GroupBox6, "Audio :"};
    ui::Gauge apb{GroupBox6};
    ui::Label AudioTime{GroupBox6, "-"};

    // "Join AVI"
    ui::GroupBox GroupBox14{TabSheet7, "Files to join"};
    ui::ListBox memo2{GroupBox14};
    ui::SpeedButton SpeedButton2{GroupBox14, "Up"};
    ui::SpeedButton SpeedButton3{GroupBox14, "Down"};
    ui::SpeedButton erase{GroupBox14, "Delete"};
    ui::Button AddFile{GroupBox14, "add"};
    ui::GroupBox GroupBox13{TabSheet7, "Destination AVI"};
    ui::Edit Destjoin{GroupBox13};
    ui::Button Button12{GroupBox13, "../.."};
    ui::Button JoinAll{GroupBox13, "Join all"};
    ui::Button Button13{GroupBox13, "Stop"};
    ui::Label Label23{GroupBox13, "Adding file :"};
    ui::Label Label24{GroupBox13, "Progress : "};
    ui::Label Label25{GroupBox13, "File :"};

    ui::Timer Timer1{1000};
    ui::Timer Timer2{1000};
    ui::OpenDialog OpenDialog1; // the AVI in work
    ui::OpenDialog OpenDialog2; // files to join
    ui::OpenDialog OpenDialog3; // language files
    ui::SaveDialog SaveDialog1; // remux destination

    // Window fields.
    bool Paused = false;
    // Stop request of the preview and the built-in player (and set by each job's "Stop" too).
    bool StopFlag = false;
    // The remux or join that runs, if any: one at a time, each stopped only by its own "Stop" (or by
    // closing the window) through JobStopFlag, which neither the preview nor the player clear.
    enum class Job { None, Remux, Join };
    Job RunningJob = Job::None;
    bool JobStopFlag = false;
    bool Previewing = false;
    bool Untouched = false;
    // The stream header fields of the file as it was chosen (or as the last remux left it): closing
    // offers to put them back whenever the file differs from them.
    std::optional<std::vector<FieldWrite>> OriginalHeader;
    std::string OriginalFile;
    bool PrevKeyFrameFlag = false;
    bool NextKeyFrameFlag = false;
    int32_t FramePos = 0;
    int32_t FrameCount = 0;
    int32_t PreviewLeft = 8;
    int32_t PreviewTop = 8;

    // Module state (header positions, rates, byte counts), the autotest series and the split wizard's
    // choices.
    SynchState Synch;
    AutotestSeries Autotest;
    int32_t Part1End = 0;
    int32_t Part2Begin = 0;

    // Message n of the language section ("" when the section does not set it).
    const std::string& message(int n) const;
    const std::string& programFolder() const { return programFolder_; }

    // The open preview, or null.
    PreviewGraphState* preview() const { return preview_.get(); }
    int64_t RangeStart = 0; // 100-ns units, 0 = unset
    int64_t RangeStop = 0;
    int32_t PreviewHeight = 0;
    int32_t PreviewWidth = 0;

    // The built-in player: milliseconds slept after each frame, frame rate, and the first frame.
    int32_t FrameDelay = 0;
    double PlayerFps = 0;
    // The video stream the built-in player plays (null while it does not run).
    platform::vfw::PAVISTREAM PlayerStream = nullptr;
    // Called after every frame of the built-in player, once its window shows the frame.
    std::function<void()> onPlayerFrame;

    // Creation and closing, language.
    void FormCreate();
    void FormClose(ui::CloseAction& action);
    void FormDestroy();
    void Button3Click();
    void AssignLangage();
    void Button21Click();
    void Edit2Change();

    // File choice, test and evaluator.
    void Button1Click();
    void Edit1Change();
    void ReadInfos(const std::string& fileName);
    // Patches the file in place; true when the file could be opened for writing and was patched.
    bool setinfo(const std::string& fileName);
    void GetStreamsInfo(const std::string& fileName);
    double converttosec(const std::string& text);
    void SetNewClick();
    void Button2Click();
    void Button10Click();
    void Button11Click();
    void Button17Click();
    void Button19Click();
    void Button20Click();
    void FormCloseQuery(bool& canClose);
    void NewStartChange();

    // Autotest.
    void AutosynchClick();
    void GetAllDelay();
    void GetAllFPS();
    void NextClick();

    // Preview.
    bool CreatePreviewGraph();
    bool DSPlayerPlayFile(const std::string& fileName);
    void CloseDSPlayer();
    void PlayClick();
    void StopClick();
    void Timer1Timer();
    void ScrollBar1Scroll();
    void tb2Change();
    void fullClick();
    void msKeyPress(char& key);
    void Button18Click();
    void range1Click();
    void range2Click();
    void bResetClick();
    void Button14Click();
    void Button15Click();
    void Button16Click();
    void rangesClick();
    void copyrangesClick();

    // Built-in player and split wizard.
    void Button4Click();
    void Player();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Set1Click();
    void Set2Click();
    void Button9Click();
    void timebClick();
    void framebClick();
    void SplitClick();
    void breakstopClick();
    void destClick();

    // Remux and join jobs.
    void goClick();
    void Timer2Timer();
    void JoinAllClick();
    int32_t ElapsedSeconds = 0;
    double VideoPercent = 0;
    double AudioPercent = 0;

    // Join list.
    void AddFileClick();
    void eraseClick();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void Button12Click();
    void Button13Click();

    // The pause buttons of the wizard and of the player window get the same caption.
    void setPauseCaptions(const std::string& caption, bool playerWindowToo);

private:
    void layOut();
    void layOutFileAndPreview();
    void layOutSynchAndAutotest();
    void layOutWizardRemuxJoin();
    void fillItems();
    void connectHandlers();
    void connectPreviewAndPlayer();
    void assignCaptions();
    void showError(int n);
    // The integer of NewStart, negated when `sign` reads "-".
    int32_t signedNewStart();
    // Sets a text from code (not counted as the user's change of NewStart).
    void setNewStartText(const std::string& text);
    // One player step's labels.
    void showPlayerPosition(int32_t start);
    // Shows the "Preview" tab, ticks "Free play" and tests (the evaluator's two "Test" buttons).
    void testSuggestion();
    // Marks a split point at the player's frame when it is a key frame.
    bool playerOnKeyFrame();
    void updateWizardChoice();

    MainWindowLink link_;
    std::string programFolder_;
    std::vector<std::string> texts_ = std::vector<std::string>(SynchTableSize);
    std::unique_ptr<PreviewGraphState> preview_;
    std::unique_ptr<TForm30> player_;
    bool mainRestored_ = false;
};

// The latest synchronizer window.
extern TForm6* Form6;

} // namespace tools::synchronizer
