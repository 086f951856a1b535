#pragma once

// The window "Audio Extractor" of Tonegrab. It is driven by the five command-line parameters: in find
// mode it counts the audio streams of a VOB set into "sn.fnd" and closes; in extract mode it decodes
// one stream into a WAV file (or plays it) and closes at the end of the stream. ExitStatus tells the
// program's caller how the run ended (see exit_status.h).

#include "tools/stream_graph/audio_stream_graph.h"
#include "trovel/command_line.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/memo.h"
#include "platform/ui/timer.h"

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace trovel {

namespace ui = platform::ui;
namespace sg = tools::stream_graph;

class TForm1 : public ui::Form, private sg::StreamGraphSink {
public:
    // ownFolder ends with '/'; arguments are the command-line parameters without the program name.
    TForm1(std::string ownFolder, std::vector<std::string> arguments);
    ~TForm1() override;

    ui::RichEdit DebugWin{*this};
    ui::Button Stop{*this, "Stop"};
    ui::GroupBox ActionBox{*this, "Action"};
    ui::RadioButton WriteFile{ActionBox, "Write to file"};
    ui::RadioButton Render{ActionBox, "Render stream"};
    ui::CheckBox dw{ActionBox, "Debug Win"};
    ui::Button Button3{*this, "Extract !"};
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
    ui::ComboBox ac3choose{StreamsBox};
    ui::CheckBox flip{StreamsBox, "flip audio streams list"};
    ui::Button Button4{*this, "Exit"};
    ui::GroupBox SeekBox{*this, "Seek"};
    ui::Button bck{SeekBox, "<<"};
    ui::Button fwd{SeekBox, ">>"};
    ui::Label SeekLabel{SeekBox, "Needs a few seconds !"};
    ui::Timer Timer2{0}; // the extraction starts as soon as the window is up

    int ExitStatus;

    static constexpr int kHeightWithDebug = 477;
    static constexpr int kHeightWithoutDebug = 313;
    static constexpr const char* kFirstStreamText = "0x80";

    sg::AudioStreamGraph& graph() { return graph_; }
    const std::string& ownFolder() const { return ownFolder_; }

    void FormCreate();
    void FormShow();
    void FormClose(ui::CloseAction& action);
    void SourceFNChange();
    void findaudiostreams();
    void Timer2Timer();
    void GO();
    void StopClick();
    void Button4Click();
    void Button3Click();
    void Button1Click();
    void Button2Click();
    void dwClick();
    void WriteFileClick();
    void RenderClick();
    void bckClick();
    void fwdClick();

private:
    void layOut();
    void connectHandlers();
    // Applies the five parameters to the controls; false when they are refused.
    bool applyParameters();
    void seek(int direction);
    void finish(int status);
    // Starts the search for where the extraction of this source begins (picture_start.h), on a thread
    // of its own; the run takes its result once its graph is built.
    void startPictureSearch(const std::string& source);

    // StreamGraphSink
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    void streamReset() override;
    bool flipStreams() override;
    void processMessages() override;

    std::string ownFolder_;
    std::vector<std::string> arguments_;
    std::optional<Parameters> parameters_;
    std::string sampleRate_;
    bool shown_ = false;
    // The VOB list of the source could not be written.
    bool listFailed_ = false;
    bool running_ = false;
    std::string pictureSearchSource_;
    std::future<double> pictureSearch_;
    sg::AudioStreamGraph graph_;
};

// The program's one window.
extern TForm1* Form1;

} // namespace trovel
