#pragma once

// The stream extractor window: finds the AC3, MPEG or LPCM audio streams of a VOB set by building the
// audio stream graph by hand, extracts the chosen one into a WAV file, swaps the byte order of a
// WAV's samples ("Fix") and plays a WAV. Every graph step is logged in its debug pane. It minimises
// the main window while it is open and restores it when it closes.

#include "tools/stream_graph/audio_stream_graph.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/memo.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <functional>
#include <string>

namespace tools::stream_extractor {

namespace ui = platform::ui;
namespace sg = tools::stream_graph;

// What the window takes from the main window, which fills it in when it opens the tool.
struct MainWindowLink {
    // The main program's folder (filter files are taken from its "extern" folder); empty: the folder
    // of the running program file.
    std::string programFolder;
    // The main window's first VOB, read once at creation.
    std::function<std::string()> vobFile;
    std::function<void()> minimize;
    std::function<void()> restore;
};

class TForm8 : public ui::Form, private sg::StreamGraphSink {
public:
    explicit TForm8(MainWindowLink link = {});
    ~TForm8() override;

    ui::RichEdit DebugWin{*this};
    ui::GroupBox ActionBox{*this, "Action"};
    ui::RadioButton Method1{ActionBox, "Search AC3"};
    ui::RadioButton Method2{ActionBox, "Search MP2"};
    ui::RadioButton Method3{ActionBox, "Search PCM"};
    ui::Button Stop{*this, "Stop"};
    ui::Button Button3{*this, "Extract !"};
    ui::Button Button4{*this, "Exit"};
    ui::GroupBox FilesBox{*this, "Files"};
    ui::Label SourceLabel{FilesBox, "Source File(s) :"};
    ui::Edit SourceFN{FilesBox};
    ui::Button Button1{FilesBox, "../.."};
    ui::Label DestLabel{FilesBox, "Destination file :"};
    ui::Edit DestFN{FilesBox};
    ui::Button Button2{FilesBox, "../.."};
    ui::GroupBox StreamsBox{*this, "Streams"};
    ui::Label StreamsLabel{StreamsBox, "Nb of streams :"};
    ui::Label nbstreams{StreamsBox, "0"};
    ui::Label StreamLabel{StreamsBox, "Stream :"};
    ui::Edit AC3Choose{StreamsBox};
    ui::GroupBox FoundBox{*this, "Current search found"};
    ui::ListBox pinlist{FoundBox};
    ui::GroupBox PlayBox{*this, "Play WAV"};
    ui::Button Button6{PlayBox, "play"};
    ui::Label PlayLabel1{PlayBox, "the destination WAV"};
    ui::Label PlayLabel2{PlayBox, "file. If you only hear noisy sound"};
    ui::Label PlayLabel3{PlayBox, "click on this :"};
    ui::Button Button5{PlayBox, "Fix"};
    ui::ProgressBar pb{PlayBox};
    ui::Timer Timer1{1000};

    sg::AudioStreamGraph& graph() { return graph_; }
    const std::string& programFolder() const { return programFolder_; }
    // An extraction is running and Timer1 waits for its end.
    bool extracting() const { return extracting_; }

    void FormCreate();
    void FormClose(ui::CloseAction& action);
    void SourceFNChange();
    void MethodClick();
    // The stream search of the chosen method: lists the streams and enables "Extract !".
    void findaudiostreams();
    void pinlistClick();
    void Button3Click();
    void Timer1Timer();
    void setpcm();
    void StopClick();
    void Button5Click();
    void PlayBoxClick();
    void flip();
    void Button6Click();
    void Button4Click();
    void Button1Click();
    void Button2Click();

private:
    // A folder of the program folder, resolved without regard to case, with its trailing "/".
    std::string programSubfolder(const char* name) const;
    void layOut();
    void connectHandlers();
    sg::GraphMode searchMode() const;
    // Ends a running extraction ("Break !") before the graph is used for something else.
    void breakExtraction();
    void endPlay();
    void log(const std::string& line);

    // StreamGraphSink
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    void logLine(const std::string& line) override;
    void streamReset() override;
    void processMessages() override;

    MainWindowLink link_;
    std::string programFolder_;
    bool extracting_ = false;
    bool playing_ = false;
    bool swapping_ = false;
    bool mainRestored_ = false;
    int progressShift_ = 0; // file sizes beyond the progress bar's range are scaled down
    sg::AudioStreamGraph graph_;
};

// The latest stream extractor window.
extern TForm8* Form8;

} // namespace tools::stream_extractor
