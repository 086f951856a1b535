// The synchronizer window's "Remux AVI" and "Join AVI" tabs: the checks and messages around the remux
// and join jobs, their progress, and the join list.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/join_engine.h"
#include "tools/synchronizer/remux_engine.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <cmath>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr const char* CrLf = "\r\n";

enum Msg {
    AddingFileMsg = 74,
    ProgressMsg = 75,
    FileCounterMsg = 76,
    InvalidNumberMsg = 83,
    CannotOpenSourceMsg = 88,
    NoVideoMsg = 89,
    CannotCreateOutputMsg = 90,
    CannotCreateVideoMsg = 91,
    NoAudioMsg = 92,
    CannotCreateAudioMsg = 93,
    PlayerRunningMsg = 94,
    FolderMissingMsg = 95,
    CreateFolderMsg = 96,
    NoFolderMsg = 97,
    NoDestinationMsg = 98,
    NothingToRemuxMsg = 99,
    StoppedMsg = 100,
    DoneMsg = 101,
    EmptyListMsg = 106,
    NoJoinDestinationMsg = 107,
    OverwriteMsg = 108,
    DifferMsg = 109,
    DifferFirstMsg = 110,
    DifferAndMsg = 111,
    DifferEndMsg = 112,
};

// The window's side of a job: its stop flag is the window's, progress goes to the gauges or the join
// labels, and the event loop runs between steps.
class WindowJobSink : public JobSink {
public:
    WindowJobSink(TForm6& form, bool joining) : form_(form), joining_(joining) {}

    bool stopFlag() const override { return form_.JobStopFlag; }
    void setStopFlag(bool value) override { form_.JobStopFlag = value; }

    void progress(double videoPercent, double audioPercent) override {
        form_.VideoPercent = videoPercent;
        form_.AudioPercent = audioPercent;
        if (joining_) {
            form_.Label24.setCaption(form_.message(ProgressMsg) +
                                     core::intToStr(core::truncToInt(videoPercent)) + "%");
            return;
        }
        form_.vpb.setPosition(static_cast<int>(core::roundHalfEven(videoPercent)));
        form_.apb.setPosition(static_cast<int>(core::roundHalfEven(audioPercent)));
    }
    void processEvents() override { ui::processMessages(); }
    void muxStarted() override {
        form_.go.setEnabled(false);
        form_.vpb.setPosition(0);
        form_.apb.setPosition(0);
        form_.Timer2.setEnabled(true);
    }
    void muxEnded() override { form_.Timer2.setEnabled(false); }
    void joinFileStarted(int index, int count, const std::string& path) override {
        form_.Label25.setCaption(form_.message(FileCounterMsg) + " [" + std::to_string(index + 1) + "/" +
                                 std::to_string(count) + "]");
        form_.Label23.setCaption(form_.message(AddingFileMsg) + path);
    }

private:
    TForm6& form_;
    bool joining_;
};

// The error a job's status stands for; nothing for a status that is no failure.
void showJobFailure(const TForm6& form, MuxStatus status) {
    switch (status) {
    case MuxStatus::Done:
    case MuxStatus::Stopped:
        return;
    case MuxStatus::CannotOpenSource:
        ui::errorBox(form.message(CannotOpenSourceMsg));
        return;
    case MuxStatus::NoVideo:
        ui::errorBox(form.message(NoVideoMsg));
        return;
    case MuxStatus::CannotCreateOutput:
        ui::errorBox(form.message(CannotCreateOutputMsg));
        return;
    case MuxStatus::CannotCreateVideo:
        ui::errorBox(form.message(CannotCreateVideoMsg));
        return;
    case MuxStatus::NoAudio:
        ui::errorBox(form.message(NoAudioMsg));
        return;
    case MuxStatus::CannotCreateAudio:
        ui::errorBox(form.message(CannotCreateAudioMsg));
        return;
    case MuxStatus::ReadFailed:
        ui::errorBox(SourceReadFailedText);
        return;
    case MuxStatus::WriteFailed:
        ui::errorBox(OutputWriteFailedText);
        return;
    }
}

void showPartEnd(const TForm6& form, const MuxResult& part, const std::string& delayText) {
    if (part.delayTextInvalid)
        ui::errorBox(delayText + form.message(InvalidNumberMsg));
    showJobFailure(form, part.status);
    if (part.status == MuxStatus::Stopped && !part.outputKept)
        ui::informationBox(StoppedFileKeptText);
}

// Marks the window's job as running for as long as it lives; the other job's button is disabled
// meanwhile.
class JobScope {
public:
    JobScope(TForm6& form, TForm6::Job job) : form_(form) {
        form_.RunningJob = job;
        form_.JobStopFlag = false;
        form_.go.setEnabled(false);
        form_.JoinAll.setEnabled(false);
    }
    ~JobScope() {
        form_.RunningJob = TForm6::Job::None;
        form_.go.setEnabled(true);
        form_.JoinAll.setEnabled(form_.memo2.itemCount() > 0);
    }
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

private:
    TForm6& form_;
};

SplitWay splitWayOf(const TForm6& form) {
    if (!form.Split.checked())
        return SplitWay::None;
    if (form.Wizard.checked())
        return SplitWay::Wizard;
    return form.saft.checked() ? SplitWay::BySize : SplitWay::Halves;
}

} // namespace

void TForm6::goClick() {
    if (RunningJob != Job::None)
        return;
    if (Button5.enabled()) {
        showError(PlayerRunningMsg);
        return;
    }
    JobScope scope(*this, Job::Remux);
    bool failed = false;
    bool wholeFile = false;
    const std::string kept = NewStart.text();
    setNewStartText("0");
    setinfo(Edit1.text());
    setNewStartText(kept);
    ElapsedSeconds = 0;
    const std::string destination = davi.text();
    if (kept == "0" && !Split.checked()) {
        ui::informationBox(message(NothingToRemuxMsg));
    } else if (destination.empty()) {
        showError(NoDestinationMsg);
    } else {
        const std::string folder = core::extractFilePath(destination);
        if (!folder.empty() && !core::directoryExists(folder)) {
            if (ui::messageBox(ui::MessageKind::Error,
                               message(FolderMissingMsg) + folder + CrLf + message(CreateFolderMsg),
                               ui::Buttons::YesNo) != ui::Answer::Yes) {
                showError(NoFolderMsg);
                return;
            }
            // Only the one folder; a failure shows up when the output cannot be created.
            static_cast<void>(core::createDirectory(folder));
        }
        RemuxRequest request;
        request.source = Edit1.text();
        request.destination = destination;
        request.later = sign.text() != "-";
        request.delayText = kept;
        request.split = splitWayOf(*this);
        request.splitSizeText = splitsize.text();
        request.videoBytes = Synch.VideoBytes;
        request.audioBytes = Synch.AudioBytes;
        request.part1End = Part1End;
        request.part2Begin = Part2Begin;
        WindowJobSink sink(*this, false);
        const RemuxJobResult result = runRemuxJob(request, sink);
        showPartEnd(*this, result.part1, kept);
        if (result.part2)
            showPartEnd(*this, *result.part2, kept);
        failed = sink.failed();
        wholeFile = result.part1.wholeFile && !failed && !JobStopFlag;
    }
    if (failed) {
        ui::informationBox(RemuxFailedText);
    } else if (JobStopFlag) {
        ui::informationBox(message(StoppedMsg));
    } else {
        if (wholeFile)
            ui::informationBox(NoSecondPartText);
        Untouched = true;
        // What the remux left in the source is what the user chose: closing no longer resets it.
        if (Edit1.text() == OriginalFile)
            OriginalHeader = readHeaderValues(OriginalFile);
        ui::informationBox(message(DoneMsg));
    }
    Timer2.setEnabled(false);
}

void TForm6::Timer2Timer() {
    ++ElapsedSeconds;
    VideoTime.setCaption(jobTimeText(ElapsedSeconds, VideoPercent));
    AudioTime.setCaption(jobTimeText(ElapsedSeconds, AudioPercent));
}

void TForm6::breakstopClick() {
    StopFlag = true;
    if (RunningJob == Job::Remux)
        JobStopFlag = true;
    setPauseCaptions("Pause", Button5.enabled());
}

void TForm6::destClick() {
    if (SaveDialog1.execute(this))
        davi.setText(SaveDialog1.fileName);
}

void TForm6::SplitClick() {
    const bool on = Split.checked();
    sih.setEnabled(on);
    saft.setEnabled(on);
    splitsize.setEnabled(on);
    if (!on)
        Wizard.setEnabled(false);
}

void TForm6::JoinAllClick() {
    if (RunningJob != Job::None)
        return;
    JobStopFlag = false;
    if (memo2.itemCount() == 0) {
        showError(EmptyListMsg);
        return;
    }
    if (Destjoin.text().empty()) {
        showError(NoJoinDestinationMsg);
        return;
    }
    Destjoin.setText(joinDestinationName(Destjoin.text()));
    const std::string destination = Destjoin.text();
    if (core::fileExists(destination) && !ui::askYesNo(message(OverwriteMsg)))
        return;
    const std::vector<std::string> files = memo2.items();
    JobScope scope(*this, Job::Join);
    WindowJobSink sink(*this, true);
    const JoinResult result = synchronizer::JoinAll(files, destination, sink);
    switch (result.check.status) {
    case JoinCheckStatus::Agree:
        break;
    case JoinCheckStatus::CannotOpen:
        showError(CannotOpenSourceMsg);
        return;
    case JoinCheckStatus::NoVideo:
        showError(NoVideoMsg);
        return;
    case JoinCheckStatus::NoAudio:
        showError(NoAudioMsg);
        return;
    case JoinCheckStatus::Differ:
        for (const std::size_t index : result.check.differing)
            if (index < files.size())
                ui::errorBox(message(DifferMsg) + files.front() + message(DifferFirstMsg) + CrLf +
                             message(DifferAndMsg) + files[index] + message(DifferEndMsg));
        return;
    }
    showJobFailure(*this, result.status);
    if (sink.failed()) {
        ui::informationBox(JoinFailedText);
        return;
    }
    if (result.status == MuxStatus::Stopped) {
        if (!result.outputKept)
            ui::informationBox(StoppedFileKeptText);
        ui::informationBox(message(StoppedMsg));
        return;
    }
    ui::informationBox(message(DoneMsg));
}

void TForm6::AddFileClick() {
    if (!OpenDialog2.execute(this))
        return;
    for (const std::string& file : OpenDialog2.files)
        memo2.addItem(file);
    JoinAll.setEnabled(true);
}

namespace {

int firstSelectedItem(const ui::ListBox& list) {
    for (int i = 0; i < list.itemCount(); ++i)
        if (list.selected(i))
            return i;
    return -1;
}

// Makes one item the only selected one.
void selectOnly(ui::ListBox& list, int index) {
    for (int i = 0; i < list.itemCount(); ++i)
        list.setSelected(i, i == index);
}

void swapItems(ui::ListBox& list, int a, int b) {
    const std::string first = list.item(a);
    list.setItem(a, list.item(b));
    list.setItem(b, first);
}

} // namespace

void TForm6::eraseClick() {
    const int index = firstSelectedItem(memo2);
    if (index < 0)
        return;
    memo2.deleteItem(index);
    if (memo2.itemCount() == 0) {
        JoinAll.setEnabled(false);
        return;
    }
    selectOnly(memo2, index > 0 ? index - 1 : 0);
}

void TForm6::SpeedButton2Click() {
    const int index = firstSelectedItem(memo2);
    if (index <= 0)
        return;
    swapItems(memo2, index, index - 1);
    selectOnly(memo2, index - 1);
}

void TForm6::SpeedButton3Click() {
    const int index = firstSelectedItem(memo2);
    if (index < 0 || index >= memo2.itemCount() - 1)
        return;
    swapItems(memo2, index, index + 1);
    selectOnly(memo2, index + 1);
}

void TForm6::Button12Click() {
    if (OpenDialog1.execute(this))
        Destjoin.setText(OpenDialog1.fileName);
}

void TForm6::Button13Click() {
    StopFlag = true;
    if (RunningJob == Job::Join)
        JobStopFlag = true;
}

} // namespace tools::synchronizer
